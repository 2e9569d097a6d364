// The file driver of the decoder: one run over one TDR stream file.

#include "tdr/decode_tdr_stream.h"

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

decode_outcome decode_tdr_stream(const tdr_stream_request& request, tdr_record_sink& out) {
    using namespace detail;
    decode_outcome outcome;
    // Every run starts from the load values of the whole decoder state; the
    // accelerometer buffer makes it too large for the stack.
    auto owned = std::make_unique<tdr_decoder_state>(request, outcome, out);
    tdr_decoder_state& st = *owned;

    if (!st.input.open(request.in_path, request.read_buffer_size)) {
        outcome.open_error = true;
        report_error(st, "Can't open TDR data file %s\n", request.in_path.c_str());
        return outcome;
    }

    // A negative count of bytes to skip is taken as none.
    const uint32_t skip = request.start_offset > 0 ? static_cast<uint32_t>(request.start_offset) : 0;
    if (request.debug_dump) write_debug_dump(st, static_cast<int32_t>(skip));

    st.byte_offset = skip;
    if (skip > 0) skip_to(st.input, skip);

    uint8_t x = 0;
    while (read_bytes(st, &x, 1) && !is_start_code(x)) {
    }
    while (!st.end_of_input) x = dispatch_code(st, x);

    // A read that failed with an error rather than at the end of the file
    // ended decoding early: that is not a complete decoding.
    if (st.input.error()) {
        outcome.read_error = true;
        report_error(st, "Can't read TDR data file %s\n", request.in_path.c_str());
    }
    // What decoding left unread: erased flash (0xFF) is the normal end of a
    // logger's memory, anything else is data that was not decoded.
    for (uint8_t rest = 0; !outcome.stopped_early && st.input.get(rest);) outcome.stopped_early = rest != TDRCODE_END;
    st.input.close();
    outcome.end_offset = st.byte_offset;
    return outcome;
}

}  // namespace vandrel
