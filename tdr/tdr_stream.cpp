#include "tdr/tdr_stream.h"

#include <cstring>

#include "tdr/stream_reader.h"

namespace vandrel {
namespace detail {

namespace {

// A relative depth that steps below zero wraps to a value near 65535; raw
// depths above this are taken as 0.
constexpr uint16_t max_raw_depth = 21000;

// Channel masks of the regimes 1..7; every other regime is unknown and has
// none.
constexpr unsigned regime_masks[] = {0x00, 0x03, 0x01, 0x05, 0x00, 0x01, 0x21, 0x3B};
constexpr uint8_t regime_count = sizeof regime_masks / sizeof regime_masks[0];

// Hands one row on, in physical units beside its raw counts, while the TDR
// table is kept.
void emit_row(tdr_decoder_state& st, const tdr_sample& s, unsigned mask) {
    // After an overflow the blocks unwind, but "ACC OVERFLOW" stays last.
    if (!is_kept(st, tdr_table_kind::tdr) || st.outcome.acc_overflow) return;
    tdr_row row;
    row.run = st.run_count - 1;
    row.time = st.tdr_time;
    row.mask = mask;
    // Fields the mask does not select were never read: their raw counts are 0.
    row.raw_depth = s.depth;
    row.raw_temperature = s.temperature;
    row.raw_odo = s.odo;
    for (int i = 0; i < 3; ++i) row.raw_mag[i] = static_cast<int16_t>(s.mag[i]);
    row.raw_mag_temp = static_cast<int8_t>(s.mag_temp & 0xFF);
    // Most runs hold depth, and temperature or nothing else: the rarer
    // channels are converted behind one test.
    row.depth = mask & channel_depth ? s.depth * st.depth_unit : no_value;
    row.temperature = mask & channel_temperature ? tdr_temperature_celsius(s.temperature) : no_value;
    row.odo = no_value;
    row.mag[0] = row.mag[1] = row.mag[2] = row.mag_temp = no_value;
    if (mask & (channel_odo | channel_magnetometer)) {
        if (mask & channel_odo) row.odo = odometer_metres(s.odo);
        if (mask & channel_magnetometer) {
            for (int i = 0; i < 3; ++i) row.mag[i] = magnetometer_microtesla(row.raw_mag[i]);
            row.mag_temp = row.raw_mag_temp;
        }
    }
    row.wetdry = st.wetdry_state;
    row.n_photo = mask & channel_photo ? st.n_photo : 0;
    row.photo = s.photo;
    st.out.tdr_sample(row);
    ++st.outcome.tdr_rows;
}

// The absolute first sample of a run. False at the end of the input.
bool read_first_sample(tdr_decoder_state& st, tdr_sample& s, unsigned mask) {
    if ((mask & channel_depth) && !read_unint(st, s.depth)) return false;
    if ((mask & channel_temperature) && !read_unint(st, s.temperature)) return false;
    if (mask & channel_photo) {
        for (unsigned i = 0; i < st.n_photo; ++i)
            if (!read_unint(st, s.photo[i])) return false;
    }
    if ((mask & channel_odo) && !read_unint(st, s.odo)) return false;
    if (mask & channel_magnetometer) {
        for (uint16_t& axis : s.mag)
            if (!read_unint(st, axis)) return false;
        uint8_t b;
        if (!read_bytes(st, &b, 1)) return false;
        s.mag_temp = b;
    }
    if (mask & channel_wetdry_byte) {
        uint8_t b;
        if (!read_bytes(st, &b, 1)) return false;
        st.wetdry_state = b;
    }
    return true;
}

// One relative sample, updating s in place. Returns 0, or the code (or 0xFF
// at the end of the input) that stopped it; the fields after it keep their
// values. photo_used grows to the highest photo channel ever touched.
uint8_t read_relative_sample(tdr_decoder_state& st, tdr_sample& s, unsigned mask, unsigned& photo_used) {
    uint8_t r;
    if (mask & channel_depth) {
        if ((r = read_rel(st, s.depth, st.abs_mode)) != 0) return r;
        if (s.depth > max_raw_depth) s.depth = 0;
    }
    if ((mask & channel_temperature) && (r = read_rel(st, s.temperature, st.abs_mode)) != 0) return r;
    if (mask & channel_photo) {
        // A nested info block may change n_photo while the sample is read.
        for (unsigned i = 0; i < st.n_photo; ++i) {
            if (i >= photo_used) photo_used = i + 1;
            if ((r = read_rel(st, s.photo[i], st.abs_mode)) != 0) return r;
        }
    }
    if (mask & channel_wetdry_byte) {
        uint8_t b;
        if (!read_bytes(st, &b, 1)) return TDRCODE_END;
        st.wetdry_state = b;
    }
    if ((mask & channel_odo) && (r = read_rel(st, s.odo, st.abs_mode)) != 0) return r;
    if (mask & channel_magnetometer) {
        for (uint16_t& axis : s.mag)
            if ((r = read_rel(st, axis, st.abs_mode)) != 0) return r;
        uint8_t b;
        if (!read_bytes(st, &b, 1)) return TDRCODE_END;
        s.mag_temp = b;
    }
    return 0;
}

void copy_sample(tdr_sample& to, const tdr_sample& from, unsigned photo_used) {
    std::memcpy(&to, &from, offsetof(tdr_sample, photo) + photo_used * sizeof(uint16_t));
}

}  // namespace

unsigned tdr_channel_mask(uint8_t regime) { return regime < regime_count ? regime_masks[regime] : 0; }

uint8_t stream_tdr(tdr_decoder_state& st, unsigned mask, double dt, bool dry) {
    if (mask == 0) {
        // No regime gives a sample without fields: the stream cannot be in step.
        st.outcome.unknown_regime = true;
        if (is_kept(st, tdr_table_kind::tdr)) st.out.tdr_table_line("Illegal stream contents (0)");
        return TDRCODE_END;
    }
    // Every value the mask does not select stays 0. The row of a sample is
    // written once the next sample has been read, so that a code that ends
    // the run in the middle of a sample leaves its fields read so far in the
    // last row.
    tdr_sample sample{};
    tdr_sample previous{};
    unsigned photo_used = mask & channel_photo ? st.n_photo : 0;
    const uint32_t header_end = st.byte_offset;
    if (!read_first_sample(st, sample, mask)) return TDRCODE_END;

    // The run has at least this first row.
    ++st.run_count;
    const bool table_open = is_kept(st, tdr_table_kind::tdr);
    st.depth_unit = depth_unit_for(st.outcome.regime);
    if (table_open) {
        // dt is the run's interval in seconds, which no block can have
        // changed while the absolute first sample was read.
        st.out.tdr_run({st.run_count - 1, st.outcome.regime, mask, st.depth_unit, dry, st.tdr_time, st.tdr_interval,
                        mask & channel_photo ? st.n_photo : uint8_t{0}, header_end});
    }
    uint8_t r;
    for (;;) {
        copy_sample(previous, sample, photo_used);
        if ((r = read_relative_sample(st, sample, mask, photo_used)) != 0) break;
        emit_row(st, previous, mask);
        st.tdr_time += dt;
    }
    emit_row(st, sample, mask);
    if (table_open) st.out.tdr_run_end();
    return r;
}

uint8_t decode_wet_start(tdr_decoder_state& st) {
    // Regime, time of the first sample, interval in hundredths of a second.
    read_bytes(st, &st.outcome.regime, 1);
    read_time(st, st.tdr_time);
    read_unint(st, st.tdr_interval);
    if (!is_kept(st, tdr_table_kind::tdr)) {
        // The header follows the regime of the run that begins the table.
        table_begun(st, tdr_table_kind::tdr, st.out.tdr_table({st.outcome.regime, st.n_photo}));
    }
    if (st.haulout_start != 0.0) {
        // The haul-out ends one interval before the first sample of this run.
        if (is_kept(st, tdr_table_kind::tdr))
            st.out.haulout({st.haulout_start, st.tdr_time - st.tdr_interval * 0.01, st.byte_offset});
        st.haulout_start = 0.0;
    }
    return stream_tdr(st, tdr_channel_mask(st.outcome.regime), st.tdr_interval * 0.01, false);
}

uint8_t decode_dry_start(tdr_decoder_state& st) {
    // The haul-out began a minute before the last row, less two intervals.
    st.haulout_start = st.tdr_interval * 0.02 + st.tdr_time - 60.0;
    read_unint(st, st.tdr_interval);
    switch (st.outcome.regime) {
        case 1:
            // On land only the temperature is recorded.
            return stream_tdr(st, channel_temperature, st.tdr_interval * 0.01, true);
        case 2:
        case 3:
        case 5: {
            uint8_t next = TDRCODE_END;
            read_bytes(st, &next, 1);
            return next;
        }
        default:
            // Returned as it is: the caller dispatches 0xFE again on the bytes
            // that follow. Stored streams rely on this.
            return TDRCODE_DRY_START;
    }
}

}  // namespace detail
}  // namespace vandrel
