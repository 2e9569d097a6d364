// CTD casts (code 0xFC ... 0xFD) and the CTD data file.
//
// After 0xFC: a configuration byte (ctd_regime), the start time (7 bytes),
// the interval and the raw pressure of 0 dbar (16-bit each), one absolute
// sample of 3 + count 16-bit values (pressure, temperature, conductivity and
// the extra channels), then relative samples of one delta field per value,
// until 0xFD and one more byte.
#pragma once

#include <cstdint>

#include "tdr/decode_tdr_file.h"

namespace vandrel {
namespace detail {

// A bit-mask configuration can ask for up to six extra channels (fluorometer,
// phase, three photo channels, internal temperature).
constexpr int max_ctd_extra_channels = 6;
constexpr int ctd_fixed_channels = 3;  // pressure, temperature, conductivity
constexpr int max_ctd_channels = ctd_fixed_channels + max_ctd_extra_channels;

// The extra channels of a cast. Channel i reads (raw - offset[i]) * scale[i].
struct ctd_channel_set {
    char header[80];  // appended to the CTD header line; a tab before each name
    uint8_t count;
    double scale[max_ctd_extra_channels];
    double offset[max_ctd_extra_channels];
    uint8_t kind[max_ctd_extra_channels];  // 1 for a PPFD channel
};

// The channel set of a configuration byte: presets for 0..7, a bit mask from
// 8 on (which channels, and their form, depend on the firmware version).
ctd_channel_set ctd_channels_for(uint8_t ctd_regime, uint32_t fw_version);

// Code 0xFC: decodes one cast and returns the byte after its closing 0xFD,
// or the code that ended it otherwise.
uint8_t begin_ctd_cast(tdr_context& context);

}  // namespace detail
}  // namespace vandrel
