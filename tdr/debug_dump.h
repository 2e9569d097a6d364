// The debug dump: a list of the stream's codes with their byte positions and
// the headers of the main blocks, for looking into a stream by hand.
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

// Reads the context's in_path from start_offset on, on its own, and writes
// the dump to its debug_dump_path (the platform's fixed path when empty),
// printing each listed position on the console. Does nothing when the dump
// file cannot be created.
void write_debug_dump(tdr_decoder_state& st, int32_t start_offset);

}  // namespace detail
}  // namespace vandrel
