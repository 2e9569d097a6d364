// CTD casts (code 0xFC ... 0xFD) and the CTD data file.
//
// After 0xFC: a configuration byte (ctd_regime), the start time (7 bytes),
// the interval and the raw pressure of 0 dbar (16-bit each), one absolute
// sample of 3 + count 16-bit values (pressure, temperature, conductivity and
// the extra channels), then relative samples of one delta field per value,
// until 0xFD and one more byte.
#pragma once

#include <cstdint>

#include "tdr/decoder_state.h"

namespace vandrel {
namespace detail {

// The channel set of a configuration byte: presets for 0..7, a bit mask from
// 8 on (which channels, and their form, depend on the firmware version).
// On firmware that marks a saturated PPFD sensor, *ppfd_channel (when
// given) is set to the index of the PPFD channel.
ctd_channel_set ctd_channels_for(uint8_t ctd_regime, uint32_t fw_version, int32_t* ppfd_channel = nullptr);

// Code 0xFC: decodes one cast and returns the byte after its closing 0xFD,
// or the code that ended it otherwise.
uint8_t begin_ctd_cast(tdr_decoder_state& st);

}  // namespace detail
}  // namespace vandrel
