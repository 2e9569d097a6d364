// The byte coding that both logger formats share: the packet file's sample
// payloads and the TDR stream.
//
// A value is an unsigned 16-bit count. After an absolute first value, each
// further value is coded as its change in one byte:
//   0x00..0x78 (0..120)    add the byte
//   0x79..0xF0 (121..240)  subtract the byte less 120 (1..120)
//   0xFA                   escape: a two-byte big-endian absolute value follows
// The bytes 0xF1..0xFF other than 0xFA are codes. In the packet file they
// leave the value unchanged (0xFC and 0xFD mark where a payload's samples
// begin and end); in the TDR stream they open and close blocks.
#pragma once

#include <cstdint>

namespace vandrel {

constexpr uint8_t TDRCODE_IGNORE = 0xF1;     // filler, skipped inside samples
constexpr uint8_t TDRCODE_GPS = 0xF2;        // GPS record
constexpr uint8_t TDRCODE_INFO = 0xF6;       // info block (firmware, intervals, calibration)
constexpr uint8_t TDRCODE_WETDRY = 0xF7;     // wet/dry change
constexpr uint8_t TDRCODE_START_ACC = 0xF8;  // accelerometer burst
constexpr uint8_t TDRCODE_END_ACC = 0xF9;    // end of an accelerometer burst
constexpr uint8_t TDRCODE_ABSOLUTE = 0xFA;   // escape: two-byte absolute value follows
constexpr uint8_t TDRCODE_WET_START = 0xFB;  // run of TDR samples
constexpr uint8_t TDRCODE_START_CTD = 0xFC;  // CTD cast; start marker of a packet's samples
constexpr uint8_t TDRCODE_END_CTD = 0xFD;    // end of a CTD cast; end of a packet's samples
constexpr uint8_t TDRCODE_DRY_START = 0xFE;  // haul-out
constexpr uint8_t TDRCODE_END = 0xFF;        // end of data; also "stop" as a result

// The lowest code byte.
constexpr uint8_t first_code = TDRCODE_IGNORE;
// The largest change of one delta byte, either way.
constexpr uint8_t max_delta = 120;

// True for a byte that is a code rather than a delta or the escape.
constexpr bool is_stream_code(uint8_t b) { return b >= first_code && b != TDRCODE_ABSOLUTE; }

// Applies delta byte b (0..240) to value, modulo 65536.
constexpr uint16_t apply_delta(uint16_t value, uint8_t b) {
    return b <= max_delta ? static_cast<uint16_t>(value + b) : static_cast<uint16_t>(value - (b - max_delta));
}

}  // namespace vandrel
