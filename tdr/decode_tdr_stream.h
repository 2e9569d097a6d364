// The TDR stream decoder.
//
// The TDR stream is a byte stream of coded blocks: the bytes 0xF1..0xFF
// (except 0xFA) are codes that open or close blocks (TDR sample runs, CTD
// casts, accelerometer bursts, GPS records, the info block, wet/dry changes,
// haul-outs); every other byte is block data. decode_tdr_stream turns one
// such file into records, in physical units, handed to one writer (a
// fan-out to several, the text tables among them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "coding/decode_outcome.h"
#include "tdr/tdr_records.h"

namespace vandrel {

// Called with the input position in bytes and the rows handed on so far to
// the TDR, CTD, GPS and ACC tables, each time a read ends exactly on a
// multiple of 1024 bytes of the input.
using progress_fn = void (*)(uint32_t byte_offset, uint32_t tdr_records, uint32_t ctd_records, uint32_t gps_fixes,
                             uint32_t acc_records);

struct tdr_stream_request {
    std::string in_path;                     // TDR stream file to decode
    int32_t start_offset = 0;                // bytes passed over first; a negative count is taken as none
    bool debug_dump = false;                 // first list the stream's codes and their positions
    std::string debug_dump_path;             // where; empty for the platform's fixed path
    std::size_t read_buffer_size = 1 << 16;  // 1 reads one byte per system call (for measurements)
    progress_fn progress = nullptr;
    // A reading that only counts what another one writes: the values no
    // count or extent depends on (salinity) are left out, as no_value.
    bool counting = false;
};

// Decodes request.in_path, handing every record to out in stream order.
// The outcome counts the rows handed on while their tables were kept, and
// lists every error: an input that cannot be opened, a table refused, a read
// error, an accelerometer burst that overflowed its buffer (decoding stops
// there, "ACC OVERFLOW" the last line of the TDR table).
decode_outcome decode_tdr_stream(const tdr_stream_request& request, tdr_record_sink& out);

}  // namespace vandrel
