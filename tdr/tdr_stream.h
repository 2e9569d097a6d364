// Runs of TDR samples (code 0xFB, wet start; code 0xFE, dry start) and the
// TDR data file.
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

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

// Reads the samples of one run with the given mask and interval dt in
// seconds, writes a row for each, and returns the code that ended the run.
uint8_t stream_tdr(tdr_decoder_state& st, unsigned mask, double dt, bool dry);

// Code 0xFB: regime, time of the first sample, interval, then the samples.
uint8_t decode_wet_start(tdr_decoder_state& st);

// Code 0xFE: interval of the haul-out, then by regime dry samples, one byte,
// or nothing.
uint8_t decode_dry_start(tdr_decoder_state& st);

}  // namespace detail
}  // namespace vandrel
