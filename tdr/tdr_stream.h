// Runs of TDR samples (code 0xFB, wet start; code 0xFE, dry start) and the
// TDR data file.
#pragma once

#include <cstdint>

#include "tdr/decode_tdr_file.h"
#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

// Channel mask bits: which values a TDR sample holds.
constexpr unsigned channel_depth = 0x01;
constexpr unsigned channel_temperature = 0x02;
constexpr unsigned channel_photo = 0x04;  // n_photo values
constexpr unsigned channel_odo = 0x08;
constexpr unsigned channel_magnetometer = 0x10;   // x, y, z and a temperature byte
constexpr unsigned channel_wetdry_column = 0x20;  // no stream field: shows wetdry_state
constexpr unsigned channel_wetdry_byte = 0x40;    // a wet/dry byte in every sample

// Text room of format_time_text.
constexpr std::size_t time_text_size = 40;

// One TDR sample, raw. The photo channels come last so that a copy can stop
// after the ones in use.
struct tdr_sample {
    uint16_t depth;
    uint16_t temperature;
    uint16_t odo;
    uint16_t mag[3];    // signed on output
    uint16_t mag_temp;  // one byte, signed on output
    uint16_t photo[max_photo_channels];
};

// The channel mask of a TDR regime; 0 for a regime without one.
unsigned tdr_channel_mask(uint8_t regime);

// Writes time (seconds since 1970 UTC) as "YYYY/MM/DD HH:MM:SS", rounded to
// the millisecond and then cut to the second, into text (time_text_size
// bytes); returns the end of the text (no terminator).
char* format_time_text(double time, char* text);

// Reads the samples of one run with the given mask and interval dt in
// seconds, writes a row for each, and returns the code that ended the run.
uint8_t stream_tdr(unsigned mask, double dt, tdr_context& context);

// Code 0xFB: regime, time of the first sample, interval, then the samples.
uint8_t decode_wet_start(tdr_context& context);

// Code 0xFE: interval of the haul-out, then by regime dry samples, one byte,
// or nothing.
uint8_t decode_dry_start(tdr_context& context);

}  // namespace detail
}  // namespace vandrel
