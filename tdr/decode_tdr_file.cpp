// The file driver: one run of the decoder over one TDR stream file.

#include "tdr/decode_tdr_file.h"

#include "tdr/debug_dump.h"
#include "tdr/decoder_state.h"
#include "tdr/dispatch.h"
#include "tdr/stream_reader.h"

namespace vandrel {

namespace {

// Codes that can begin decoding; everything before the first of them (a
// partial block at the cut of a download, say) is passed over.
bool is_start_code(uint8_t b) {
    return b == detail::TDRCODE_WET_START || b == detail::TDRCODE_DRY_START || b == detail::TDRCODE_INFO ||
           b == detail::TDRCODE_START_CTD || b == detail::TDRCODE_GPS;
}

// Moves the input to offset, reading over the bytes when it cannot seek.
void skip_to(input_file& in, uint32_t offset) {
    if (in.seek(offset)) return;
    uint8_t scratch[4096];
    uint32_t left = offset;
    while (left > 0) {
        const uint32_t n = left < sizeof scratch ? left : static_cast<uint32_t>(sizeof scratch);
        if (in.read(scratch, n) != n) return;
        left -= n;
    }
}

}  // namespace

bool decode_tdr_file(tdr_context& context, progress_fn progress_callback, int32_t start_offset, bool debug_dump) {
    using namespace detail;
    // Every run starts from the load values of the whole decoder state.
    reset_decoder_state();
    context.tdr_records = 0;
    context.ctd_records = 0;
    context.gps_fixes = 0;
    context.end_offset = 0;
    context.acc_records = 0;
    context.message[0] = '\0';
    context.regime = 9;  // no regime yet
    state.progress_callback = progress_callback;
    state.decode_ok = true;

    state.input = std::make_unique<input_file>();
    if (!state.input->open(context.in_path, context.read_buffer_size)) {
        state.input.reset();
        report_error(context, "Can't open TDR data file %s\n", context.in_path.c_str());
        state.decode_ok = true;  // the run never started
        return false;
    }
    state.end_of_input = false;

    // A negative count of bytes to skip is taken as none.
    const uint32_t skip = start_offset > 0 ? static_cast<uint32_t>(start_offset) : 0;
    if (debug_dump) {
        write_debug_dump(context, static_cast<int32_t>(skip));
        // The dump pairs 0xFC with 0xFD through the cast flag; decoding must
        // not inherit what it left, so the data files are the same with and
        // without the dump.
        state.in_ctd_cast = false;
    }

    state.byte_offset = skip;
    if (skip > 0) skip_to(*state.input, skip);

    uint8_t x = 0;
    while (read_bytes("look for start", &x, 1) && !is_start_code(x)) {
    }
    while (!state.end_of_input) x = dispatch_code(x, context);

    // A read that failed with an error rather than at the end of the file
    // ended decoding early: that is not a complete decoding.
    if (state.input && state.input->error()) {
        report_error(context, "Can't read TDR data file %s\n", context.in_path.c_str());
    }
    state.input.reset();
    close_data_files(context);

    context.tdr_records = state.tdr_record_count;
    context.ctd_records = state.ctd_record_count;
    context.gps_fixes = state.gps_fix_count;
    context.acc_records = state.acc_record_count;
    context.end_offset = state.byte_offset;
    return state.decode_ok;
}

}  // namespace vandrel
