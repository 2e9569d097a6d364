// The field readers of the TDR stream. Every byte that decoding consumes
// passes through read_bytes, which keeps the input position, notices the end
// of the input and reports progress.
//
// Fields:
//   unsigned integer  2 bytes, high byte first
//   time              7 bytes: year - 1900, month 1..12, day, hour, minute,
//                     second, hundredths (the hundredths are dropped)
//   delta field       one byte changing a 16-bit value kept by the caller:
//                     0..120 add, 121..240 subtract (byte - 120), 0xFA then
//                     a 2-byte absolute value. In absolute mode (firmware
//                     132/133) every field is a 2-byte value instead. Other
//                     bytes from 0xF1 up are codes (see read_rel).
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

void report_progress(const tdr_decoder_state& st);

// Reads count bytes into buffer. On a short read the bytes that did arrive
// are in buffer, end_of_input is set and byte_offset is not advanced at all;
// received (when given) tells how many arrived. The progress callback fires
// only when a whole read ends exactly on a multiple of progress_step.
inline bool read_bytes(tdr_decoder_state& st, uint8_t* buffer, uint32_t count, uint32_t* received = nullptr) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!st.input.get(buffer[i])) {
            st.end_of_input = true;
            if (received != nullptr) *received = i;
            return false;
        }
    }
    if (received != nullptr) *received = count;
    st.byte_offset += count;
    if (st.request.progress != nullptr && st.byte_offset % progress_step == 0) report_progress(st);
    return true;
}

// A 16-bit big-endian integer; value unchanged at the end of the input.
inline bool read_unint(tdr_decoder_state& st, uint16_t& value) {
    uint8_t b[2];
    if (!read_bytes(st, b, 2)) return false;
    value = static_cast<uint16_t>(b[0] << 8 | b[1]);
    return true;
}

// Seconds since 1970 UTC of the six calendar bytes of a stream time.
// Out-of-range fields roll into the neighbouring units (month 0 is December
// of the year before, day 0 the last day of the month before, second 60 the
// next minute); a time before 1970 gives -1.0.
double stream_time_seconds(const uint8_t fields[6]);

// A 7-byte time; time unchanged at the end of the input.
bool read_time(tdr_decoder_state& st, double& time);

// The code-handling part of read_rel, next to dispatch_code (dispatch.cpp).
uint8_t read_rel_code(tdr_decoder_state& st, uint8_t x, uint16_t& value, bool force_abs);

// Applies one delta field to value. Returns 0 when it did; 0xFF at the end
// of the input or at code 0xFF; 0xF9 (inside an accelerometer burst), 0xFB,
// 0xFD (inside a CTD cast) or 0xFE when that code ends the caller's samples,
// value unchanged. Other codes in front of the field are skipped or decoded
// as whole blocks first (see dispatch.cpp).
inline uint8_t read_rel(tdr_decoder_state& st, uint16_t& value, bool force_abs) {
    uint8_t x;
    if (!read_bytes(st, &x, 1)) return TDRCODE_END;
    if (x < first_code && !force_abs) {
        // The common case: a one-byte change, modulo 65536.
        value = apply_delta(value, x);
        return 0;
    }
    return read_rel_code(st, x, value, force_abs);
}

}  // namespace detail
}  // namespace vandrel
