#include "tdr/ctd_stream.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "packet/salinity.h"
#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "tdr/decoder_state.h"
#include "tdr/stream_reader.h"
#include "tdr/time_text.h"

namespace vandrel {
namespace detail {

namespace {

// Configuration bytes below this pick a preset channel set; from it on the
// byte is a bit mask of channels.
constexpr uint8_t first_ctd_mask_regime = 8;

constexpr uint8_t ctd_bit_fluoro = 0x01;
constexpr uint8_t ctd_bit_phase = 0x02;
constexpr uint8_t ctd_bit_light = 0x04;
constexpr uint8_t ctd_bit_internal_temp = 0x10;

// The light bit gives three raw photo channels on older firmware, one PPFD
// channel from this version on.
constexpr uint32_t first_ppfd_firmware = 151;
// On firmware up to this one a raw PPFD value of ppfd_saturated means the
// sensor saturated and reads ppfd_saturated_value.
constexpr uint32_t last_ppfd_marker_firmware = 167;
constexpr uint16_t ppfd_saturated = 0xFFF2;
constexpr double ppfd_saturated_value = -14.0;

// Whole chunks of this many rows keep the logger's header time; any other
// chunk length means the next cast continues the previous time line.
constexpr uint32_t rows_per_timed_chunk = 60;

// A console marker some operators watch for at this row count.
constexpr uint32_t stop_marker_row = 14168;

constexpr std::size_t max_ctd_row = 64 + (5 + max_ctd_extra_channels) * max_fixed_chars;

constexpr ctd_channel_set preset(const char* header, uint8_t count, double scale0) {
    ctd_channel_set s{};
    for (std::size_t i = 0; header[i] != '\0'; ++i) s.header[i] = header[i];
    s.count = count;
    for (double& sc : s.scale) sc = 1.0;
    s.scale[0] = scale0;
    return s;
}

constexpr ctd_channel_set ctd_channel_presets[first_ctd_mask_regime] = {
    preset("unused", 0, 1.0),          preset("", 0, 1.0),
    preset("\tFluoro(V)", 1, 0.001),   preset("\tDOxy(umol/l)", 1, 1 / 31.9988),
    preset("\tDOxy(umol/l)", 1, 0.01), preset("\tBPhase(deg)", 1, 0.01),
    preset("unused", 0, 1.0),          preset("unused", 0, 1.0),
};

void add_channel(ctd_channel_set& s, const char* name, double offset, double scale, uint8_t kind) {
    std::strncat(s.header, name, sizeof s.header - std::strlen(s.header) - 1);
    s.offset[s.count] = offset;
    s.scale[s.count] = scale;
    s.kind[s.count] = kind;
    ++s.count;
}

void write_ctd_header(output_file& f, const ctd_channel_set& channels) {
    f.write("DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)");
    if (channels.count > 0) f.write(channels.header);
    f.write("\tTIME_VALID");
    f.end_line();
}

// Converts one raw sample and writes its row.
void write_ctd_record(output_file* file, const uint16_t* ctd_data, const ctd_channel_set& channels, bool time_valid) {
    if (file == nullptr) return;
    const double pressure = (ctd_data[0] - static_cast<double>(state.ctd_pressure_zero)) / state.pressure_scale;
    const double temperature = (ctd_data[1] - state.temp_offset) / state.temp_scale;
    const double conductivity = (ctd_data[2] - state.cond_offset) / state.cond_scale;
    // First-order lag on conductivity, to match the slower temperature
    // sensor; the salinity uses the lagged value, the COND column the raw one.
    if (state.cond_lagged < 0.0 || state.cond_lag_alpha == 0.0)
        state.cond_lagged = conductivity;
    else
        state.cond_lagged = (1 - state.cond_lag_alpha) * conductivity + state.cond_lag_alpha * state.cond_lagged;
    const double salinity = practical_salinity(pressure, state.cond_lagged, temperature);

    char* const start = file->reserve(max_ctd_row);
    // Rounded to the hundredth, then cut to the second.
    char* p = format_utc(start, whole_seconds(state.ctd_time + 0.005), '/');
    *p++ = '\t';
    p = format_fixed(p, pressure, 2);
    *p++ = '\t';
    p = format_fixed(p, temperature, 3);
    *p++ = '\t';
    p = format_fixed(p, conductivity, 4);
    *p++ = '\t';
    p = format_fixed(p, salinity, 4);
    for (int i = 0; i < channels.count; ++i) {
        const uint16_t raw = ctd_data[ctd_fixed_channels + i];
        double value = (raw - channels.offset[i]) * channels.scale[i];
        if (i == state.ppfd_channel && raw == ppfd_saturated) value = ppfd_saturated_value;
        *p++ = '\t';
        p = format_fixed(p, value, 4);
    }
    *p++ = '\t';
    *p++ = time_valid ? 'Y' : 'N';
    *p++ = '\r';
    *p++ = '\n';
    file->commit(p);
    ++state.ctd_record_count;
}

// The relative samples of a cast, up to the code that ends it.
uint8_t stream_ctd(const ctd_channel_set& channels, double dt, uint16_t* ctd_data, tdr_context& context) {
    const int fields = ctd_fixed_channels + channels.count;
    uint8_t r;
    for (;;) {
        if ((r = read_rel(ctd_data[0], context, false)) != 0) break;
        if (state.ctd_record_count == stop_marker_row) std::printf("Stop");
        state.ctd_time += dt;
        // A code in a later field ends nothing: that field keeps its value.
        for (int i = 1; i < fields; ++i) read_rel(ctd_data[i], context, false);
        write_ctd_record(state.ctd_file.get(), ctd_data, channels, state.ctd_time_valid);
    }
    if (r != TDRCODE_END_CTD) return r;

    // The end of a chunk. A chunk of exactly rows_per_timed_chunk rows means
    // the logger's clock is in step, so the next header time is used.
    state.in_ctd_cast = false;
    state.ctd_time_valid = state.ctd_record_count - state.ctd_last_end_count == rows_per_timed_chunk;
    state.ctd_last_end_count = state.ctd_record_count;
    uint8_t next = TDRCODE_END_CTD;
    read_bytes("end_ctd", &next, 1);
    return next;
}

}  // namespace

ctd_channel_set ctd_channels_for(uint8_t ctd_regime, uint32_t fw_version) {
    if (ctd_regime < first_ctd_mask_regime) return ctd_channel_presets[ctd_regime];
    ctd_channel_set s = preset("", 0, 1.0);
    if (ctd_regime & ctd_bit_fluoro) add_channel(s, "\tFLUORO(V)", 0.0, 0.001, 0);
    if (ctd_regime & ctd_bit_phase) add_channel(s, "\tBPhase(deg)", 0.0, 0.01, 0);
    if (ctd_regime & ctd_bit_light) {
        if (fw_version < first_ppfd_firmware) {
            // The header names are the logger's own.
            add_channel(s, "\tPhoto2", 0.0, 1.0, 0);
            add_channel(s, "\tPhoto2", 0.0, 1.0, 0);
            add_channel(s, "\tPhoto3", 0.0, 1.0, 0);
        } else {
            if (fw_version <= last_ppfd_marker_firmware) state.ppfd_channel = s.count;
            add_channel(s, "\tPPFD(umol/m2/s)", 14000.0, 0.001, 1);
        }
    }
    if (ctd_regime & ctd_bit_internal_temp) add_channel(s, "\tINTERNAL_TEMP(C)", 5000.0, 0.001, 0);
    return s;
}

uint8_t begin_ctd_cast(tdr_context& context) {
    state.in_ctd_cast = true;
    uint8_t ctd_regime;
    // The end of the input inside the header ends the cast without a row.
    if (!read_bytes("start_ctd", &ctd_regime, 1)) return TDRCODE_END;
    const ctd_channel_set channels = ctd_channels_for(ctd_regime, context.fw_version);

    if (!state.ctd_file) {
        state.ctd_file = create_data_file(context.ctd_path);
        if (state.ctd_file) {
            // The header describes the first cast's channels.
            write_ctd_header(*state.ctd_file, channels);
        } else {
            report_error(context, "Can't create CTD data file %s\n", context.ctd_path.c_str());
        }
    }

    double new_time = 0.0;
    if (!read_time(new_time) || !read_unint(state.ctd_interval)) return TDRCODE_END;
    // After a chunk of another length than a whole timed chunk, the cast
    // continues the previous time line instead of the header time.
    if (!state.ctd_time_valid) new_time = state.ctd_time + state.ctd_interval * 0.01;
    state.ctd_time = new_time;

    if (!read_unint(state.ctd_pressure_zero)) return TDRCODE_END;
    uint16_t ctd_data[max_ctd_channels] = {};
    for (int i = 0; i < ctd_fixed_channels + channels.count; ++i)
        if (!read_unint(ctd_data[i])) return TDRCODE_END;

    // Lag filter weight exp(-dt / tau), dt in seconds, tau in milliseconds.
    if (state.cond_lag_tau != 0.0) state.cond_lag_alpha = std::exp(state.ctd_interval * -10.0 / state.cond_lag_tau);
    state.cond_lagged = -1.0;
    // The first row of every cast is taken at its own header time.
    write_ctd_record(state.ctd_file.get(), ctd_data, channels, true);
    return stream_ctd(channels, state.ctd_interval * 0.01, ctd_data, context);
}

}  // namespace detail
}  // namespace vandrel
