// The file driver: one run of the decoder over one TDR stream file.

#include "tdr/decode_tdr_file.h"

#include <memory>

#include "tdr/debug_dump.h"
#include "tdr/decoder_state.h"
#include "tdr/dispatch.h"
#include "tdr/stream_reader.h"

namespace vandrel {

namespace {

// Codes that can begin decoding; everything before the first of them (a
// partial block at the cut of a download, say) is passed over.
bool is_start_code(uint8_t b) {
    return b == TDRCODE_WET_START || b == TDRCODE_DRY_START || b == TDRCODE_INFO || b == TDRCODE_START_CTD ||
           b == TDRCODE_GPS;
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
    context.tdr_records = 0;
    context.ctd_records = 0;
    context.gps_fixes = 0;
    context.end_offset = 0;
    context.acc_records = 0;
    context.message[0] = '\0';
    context.regime = 9;  // no regime yet
    context.acc_overflow = false;
    context.stop_marker_printed = false;
    context.stopped_early = false;
    context.unknown_regime = false;

    // Every run starts from the load values of the whole decoder state; the
    // accelerometer buffer makes it too large for the stack.
    auto owned = std::make_unique<tdr_decoder_state>(context);
    tdr_decoder_state& st = *owned;
    st.progress_callback = progress_callback;

    if (!st.input.open(context.in_path, context.read_buffer_size)) {
        report_error(st, "Can't open TDR data file %s\n", context.in_path.c_str());
        return false;
    }

    // A negative count of bytes to skip is taken as none.
    const uint32_t skip = start_offset > 0 ? static_cast<uint32_t>(start_offset) : 0;
    if (debug_dump) write_debug_dump(st, static_cast<int32_t>(skip));

    st.byte_offset = skip;
    if (skip > 0) skip_to(st.input, skip);

    uint8_t x = 0;
    while (read_bytes(st, &x, 1) && !is_start_code(x)) {
    }
    while (!st.end_of_input) x = dispatch_code(st, x);

    // A read that failed with an error rather than at the end of the file
    // ended decoding early: that is not a complete decoding.
    if (st.input.error()) report_error(st, "Can't read TDR data file %s\n", context.in_path.c_str());
    // What decoding left unread: erased flash (0xFF) is the normal end of a
    // logger's memory, anything else is data that was not decoded.
    for (uint8_t rest = 0; !context.stopped_early && st.input.get(rest);) context.stopped_early = rest != TDRCODE_END;
    st.input.close();
    close_tables(st);
    context.end_offset = st.byte_offset;
    return st.decode_ok;
}

}  // namespace vandrel
