// The code dispatcher: one stream code in, the block it opens decoded, the
// next stream byte out.
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

// Decodes the block that code (already consumed) opens and returns the next
// stream byte, already consumed, for the caller to examine: the file driver
// dispatches it, read_rel takes it as a delta field or another code. Returns
// 0xFF when decoding must end (end of input, code 0xFF, an unknown code).
uint8_t dispatch_code(tdr_decoder_state& st, uint8_t code);

}  // namespace detail
}  // namespace vandrel
