// Accelerometer bursts (code 0xF8 ... 0xF9) and the ACC data file.
//
// After 0xF8: one absolute sample of x, y and z (16-bit each), then relative
// samples of three delta fields, until 0xF9 and one more byte. The burst is
// recorded before the TDR sample that follows it, so its samples are placed
// to end at the current TDR time.
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

// Decodes one burst, writes its rows and returns the byte after its closing
// 0xF9, or the code that ended it otherwise. A burst of more than
// acc_buffer_samples samples is an overflow: decoding stops.
uint8_t stream_acc(tdr_decoder_state& st, double block_end_time);

}  // namespace detail
}  // namespace vandrel
