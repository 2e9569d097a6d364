#include "tdr/gps_info.h"

#include "tdr/decoder_state.h"
#include "tdr/stream_reader.h"

namespace vandrel {
namespace detail {

namespace {

// The satellite count is one byte, each entry three bytes.
constexpr uint32_t gps_entry_bytes = 3;
constexpr uint32_t max_gps_satellites = 255;

// The info block's length is one byte.
constexpr uint32_t max_info_block = 255;

// Positions of the info block's fields; 16-bit fields are big-endian.
constexpr uint32_t info_fw_version = 0;
constexpr uint32_t info_tdr_interval = 2;
constexpr uint32_t info_ctd_interval = 4;
constexpr uint32_t info_pressure_scale = 6;
constexpr uint32_t info_temp_offset = 8;
constexpr uint32_t info_temp_scale = 10;
constexpr uint32_t info_cond_offset = 12;
constexpr uint32_t info_cond_scale = 14;
constexpr uint32_t info_cond_lag_tau = 16;
constexpr uint32_t info_n_photo = 18;  // 8-bit
constexpr uint32_t info_acc_interval = 19;
constexpr uint32_t info_acc_counts = 21;  // counts per unit; 0 keeps the scale
constexpr uint32_t info_acc_offset = 23;  // 8-bit

// Loggers with these firmware versions code every TDR value as a two-byte
// absolute value instead of a delta.
constexpr uint16_t first_abs_mode_firmware = 132;
constexpr uint16_t last_abs_mode_firmware = 133;

// The fields that lie wholly inside the part of the block that was read;
// a field past the end keeps its previous value.
struct info_reader {
    const uint8_t* block;
    uint32_t length;

    bool get16(uint32_t pos, uint16_t& v) const {
        if (pos + 2 > length) return false;
        v = static_cast<uint16_t>(block[pos] << 8 | block[pos + 1]);
        return true;
    }
    bool get16(uint32_t pos, double& v) const {
        uint16_t u;
        if (!get16(pos, u)) return false;
        v = u;
        return true;
    }
    bool get8(uint32_t pos, uint8_t& v) const {
        if (pos + 1 > length) return false;
        v = block[pos];
        return true;
    }
};

}  // namespace

uint8_t decode_gps_record(tdr_decoder_state& st) {
    // The GPS table is created at the first record (tried again at each
    // record while it cannot be).
    if (!is_kept(st, tdr_table_kind::gps)) table_begun(st, tdr_table_kind::gps, st.out.gps_table());
    const bool open = is_kept(st, tdr_table_kind::gps);
    // The time (no hundredths) and the satellite count.
    uint8_t t[7];
    if (!read_bytes(st, t, 7)) return TDRCODE_END;
    const uint32_t n = t[6];
    uint8_t entries[max_gps_satellites * gps_entry_bytes];
    if (!read_bytes(st, entries, n * gps_entry_bytes)) return TDRCODE_END;

    if (open) {
        gps_record record{};
        for (int i = 0; i < 6; ++i) record.time_fields[i] = t[i];
        record.time = stream_time_seconds(t);
        record.satellites = t[6];
        record.entries = entries;
        record.byte_offset = st.byte_offset;
        st.out.gps(record);
    }
    ++st.outcome.gps_fixes;

    uint8_t next = TDRCODE_END;
    read_bytes(st, &next, 1);
    return next;
}

uint8_t decode_info_block(tdr_decoder_state& st) {
    uint8_t n_to_come;
    if (!read_bytes(st, &n_to_come, 1)) return TDRCODE_END;
    uint8_t block[max_info_block];
    uint32_t received = 0;
    read_bytes(st, block, n_to_come, &received);

    // Every field is applied, 0 included, when it lies wholly inside the
    // block; a later info block replaces the calibration of an earlier one.
    const info_reader r{block, received};
    uint16_t fw;
    if (r.get16(info_fw_version, fw)) st.outcome.fw_version = fw;
    r.get16(info_tdr_interval, st.tdr_interval);
    r.get16(info_ctd_interval, st.ctd_interval);
    r.get16(info_pressure_scale, st.pressure_scale);
    r.get16(info_temp_offset, st.temp_offset);
    r.get16(info_temp_scale, st.temp_scale);
    r.get16(info_cond_offset, st.cond_offset);
    r.get16(info_cond_scale, st.cond_scale);
    r.get16(info_cond_lag_tau, st.cond_lag_tau);
    r.get8(info_n_photo, st.n_photo);
    r.get16(info_acc_interval, st.acc_interval_ms);
    uint16_t acc_counts = 0;
    if (r.get16(info_acc_counts, acc_counts) && acc_counts != 0) st.acc_scale = 1.0 / acc_counts;
    uint8_t acc_offset;
    if (r.get8(info_acc_offset, acc_offset)) st.acc_offset = acc_offset;

    st.abs_mode = st.outcome.fw_version == first_abs_mode_firmware || st.outcome.fw_version == last_abs_mode_firmware;
    st.out.info({st.outcome.fw_version, st.tdr_interval, st.ctd_interval, st.pressure_scale, st.temp_offset,
                 st.temp_scale, st.cond_offset, st.cond_scale, st.cond_lag_tau, st.n_photo, st.acc_interval_ms,
                 st.acc_scale, st.acc_offset, st.byte_offset});

    uint8_t next = TDRCODE_END;
    read_bytes(st, &next, 1);
    return next;
}

}  // namespace detail
}  // namespace vandrel
