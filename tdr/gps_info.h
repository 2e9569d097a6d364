// Two self-contained blocks: the GPS record (code 0xF2) and the info block
// (code 0xF6). Both return the stream byte that follows the block.
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

// GPS record after 0xF2: year - 1900, month, day, hour, minute, second (one
// byte each), a satellite count n, then n entries of an identifier byte and
// a 16-bit value. Becomes one line of the GPS data file.
uint8_t decode_gps_record(tdr_decoder_state& st);

// Info block after 0xF6: a length byte and that many bytes holding the
// firmware version, the sampling intervals and the calibration.
uint8_t decode_info_block(tdr_decoder_state& st);

}  // namespace detail
}  // namespace vandrel
