// The debug dump: a list of the stream's codes with their byte positions and
// the headers of the main blocks, for looking into a stream by hand.
#pragma once

#include <cstdint>

#include "tdr/decode_tdr_file.h"

namespace vandrel {
namespace detail {

// Reads context.in_path from start_offset on, on its own, and writes the
// dump to context.debug_dump_path (the platform's fixed path when empty),
// printing each listed position on the console. Does nothing when the dump
// file cannot be created. Leaves in_ctd_cast as its CTD pairing left it.
void write_debug_dump(tdr_context& context, int32_t start_offset);

}  // namespace detail
}  // namespace vandrel
