#include "tdr/ctd_stream.h"

#include <cmath>

#include "science/salinity.h"
#include "tdr/stream_reader.h"

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

// The channels the configurations name. Labels are the logger's own column
// names, two photo channels alike among them.
constexpr ctd_channel fluoro_preset{"Fluoro(V)", "V", 0.001, 0.0, ctd_channel_kind::fluorescence};
constexpr ctd_channel oxygen_preset{"DOxy(umol/l)", "umol L-1", 1 / 31.9988, 0.0, ctd_channel_kind::oxygen};
constexpr ctd_channel oxygen_centi_preset{"DOxy(umol/l)", "umol L-1", 0.01, 0.0, ctd_channel_kind::oxygen};
constexpr ctd_channel phase{"BPhase(deg)", "degree", 0.01, 0.0, ctd_channel_kind::phase};
constexpr ctd_channel fluoro{"FLUORO(V)", "V", 0.001, 0.0, ctd_channel_kind::fluorescence};
constexpr ctd_channel photo2{"Photo2", "1", 1.0, 0.0, ctd_channel_kind::photo};
constexpr ctd_channel photo3{"Photo3", "1", 1.0, 0.0, ctd_channel_kind::photo};
constexpr ctd_channel ppfd{"PPFD(umol/m2/s)", "umol m-2 s-1", 0.001, 14000.0, ctd_channel_kind::ppfd};
constexpr ctd_channel internal_temp{"INTERNAL_TEMP(C)", "degree_C", 0.001, 5000.0,
                                    ctd_channel_kind::internal_temperature};

constexpr ctd_channel_set one_channel(const ctd_channel& c) {
    ctd_channel_set s{};
    s.count = 1;
    s.channel[0] = c;
    return s;
}

// Configurations 0, 6 and 7 are unused and 1 has no extra channel.
constexpr ctd_channel_set ctd_channel_presets[first_ctd_mask_regime] = {
    {},
    {},
    one_channel(fluoro_preset),
    one_channel(oxygen_preset),
    one_channel(oxygen_centi_preset),
    one_channel(phase),
    {},
    {},
};

void add_channel(ctd_channel_set& s, const ctd_channel& c) { s.channel[s.count++] = c; }

// Converts one raw sample and hands its row to the tables and the writers.
void emit_row(tdr_decoder_state& st, const uint16_t* ctd_data, const ctd_channel_set& channels, bool time_valid) {
    // After an overflow the blocks unwind, but no row follows it.
    if (!is_kept(st, tdr_table_kind::ctd) || st.outcome.acc_overflow) return;
    ctd_row row;
    row.cast = st.cast_count - 1;
    row.time = st.ctd_time;
    row.pressure = (ctd_data[0] - static_cast<double>(st.ctd_pressure_zero)) / st.pressure_scale;
    row.temperature = (ctd_data[1] - st.temp_offset) / st.temp_scale;
    row.conductivity = (ctd_data[2] - st.cond_offset) / st.cond_scale;
    // First-order lag on conductivity, to match the slower temperature
    // sensor; the salinity uses the lagged value, the COND column the raw one.
    if (st.cond_lagged < 0.0 || st.cond_lag_alpha == 0.0)
        st.cond_lagged = row.conductivity;
    else
        st.cond_lagged = (1 - st.cond_lag_alpha) * row.conductivity + st.cond_lag_alpha * st.cond_lagged;
    row.salinity = st.request.counting ? no_value : practical_salinity(row.pressure, st.cond_lagged, row.temperature);
    row.n_extra = channels.count;
    for (int i = 0; i < channels.count; ++i) {
        const uint16_t raw = ctd_data[ctd_fixed_channels + i];
        row.extra[i] = (raw - channels.channel[i].offset) * channels.channel[i].scale;
        if (i == st.ppfd_channel && raw == ppfd_saturated) row.extra[i] = ppfd_saturated_value;
    }
    row.time_valid = time_valid;
    st.out.ctd_sample(row);
    ++st.outcome.ctd_rows;
}

// The relative samples of a cast, up to the code that ends it.
uint8_t stream_ctd(tdr_decoder_state& st, const ctd_channel_set& channels, double dt, uint16_t* ctd_data) {
    const int fields = ctd_fixed_channels + channels.count;
    uint8_t r;
    for (;;) {
        if ((r = read_rel(st, ctd_data[0], false)) != 0) break;
        if (st.outcome.ctd_rows == stop_marker_row) ++st.outcome.stop_markers;
        st.ctd_time += dt;
        // A code in a later field ends nothing: that field keeps its value.
        for (int i = 1; i < fields; ++i) read_rel(st, ctd_data[i], false);
        emit_row(st, ctd_data, channels, st.ctd_time_valid);
    }
    if (r != TDRCODE_END_CTD) return r;

    // The end of a chunk. A chunk of exactly rows_per_timed_chunk rows means
    // the logger's clock is in step, so the next header time is used.
    st.in_ctd_cast = false;
    st.ctd_time_valid = st.outcome.ctd_rows - st.ctd_last_end_count == rows_per_timed_chunk;
    st.ctd_last_end_count = st.outcome.ctd_rows;
    uint8_t next = TDRCODE_END_CTD;
    read_bytes(st, &next, 1);
    return next;
}

}  // namespace

ctd_channel_set ctd_channels_for(uint8_t ctd_regime, uint32_t fw_version, int32_t* ppfd_channel) {
    if (ctd_regime < first_ctd_mask_regime) return ctd_channel_presets[ctd_regime];
    ctd_channel_set s{};
    if (ctd_regime & ctd_bit_fluoro) add_channel(s, fluoro);
    if (ctd_regime & ctd_bit_phase) add_channel(s, phase);
    if (ctd_regime & ctd_bit_light) {
        if (fw_version < first_ppfd_firmware) {
            add_channel(s, photo2);
            add_channel(s, photo2);
            add_channel(s, photo3);
        } else {
            if (fw_version <= last_ppfd_marker_firmware && ppfd_channel != nullptr) *ppfd_channel = s.count;
            add_channel(s, ppfd);
        }
    }
    if (ctd_regime & ctd_bit_internal_temp) add_channel(s, internal_temp);
    return s;
}

uint8_t begin_ctd_cast(tdr_decoder_state& st) {
    st.in_ctd_cast = true;
    uint8_t ctd_regime;
    // The end of the input inside the header ends the cast without a row.
    if (!read_bytes(st, &ctd_regime, 1)) return TDRCODE_END;
    const ctd_channel_set channels = ctd_channels_for(ctd_regime, st.outcome.fw_version, &st.ppfd_channel);

    // The table's header describes the first cast's channels.
    if (!is_kept(st, tdr_table_kind::ctd)) table_begun(st, tdr_table_kind::ctd, st.out.ctd_table(channels));

    double new_time = 0.0;
    if (!read_time(st, new_time) || !read_unint(st, st.ctd_interval)) return TDRCODE_END;
    // After a chunk of another length than a whole timed chunk, the cast
    // continues the previous time line instead of the header time.
    if (!st.ctd_time_valid) new_time = st.ctd_time + st.ctd_interval * 0.01;
    st.ctd_time = new_time;

    if (!read_unint(st, st.ctd_pressure_zero)) return TDRCODE_END;
    uint16_t ctd_data[max_ctd_channels] = {};
    for (int i = 0; i < ctd_fixed_channels + channels.count; ++i)
        if (!read_unint(st, ctd_data[i])) return TDRCODE_END;

    // Lag filter weight exp(-dt / tau), dt in seconds, tau in milliseconds.
    if (st.cond_lag_tau != 0.0) st.cond_lag_alpha = std::exp(st.ctd_interval * -10.0 / st.cond_lag_tau);
    st.cond_lagged = -1.0;
    ++st.cast_count;
    if (is_kept(st, tdr_table_kind::ctd)) {
        st.out.ctd_cast({st.cast_count - 1, ctd_regime, st.ctd_time, st.ctd_interval, st.ctd_pressure_zero, &channels,
                         st.byte_offset});
    }
    // The first row of every cast is taken at its own header time.
    emit_row(st, ctd_data, channels, true);
    return stream_ctd(st, channels, st.ctd_interval * 0.01, ctd_data);
}

}  // namespace detail
}  // namespace vandrel
