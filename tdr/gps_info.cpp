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

uint8_t decode_gps_record(tdr_context& context) {
    if (!state.gps_file) {
        state.gps_file = create_data_file(context.gps_path);
        if (!state.gps_file) report_error(context, "Can't create GPS data file %s\n", context.gps_path.c_str());
    }
    // The time (no hundredths) and the satellite count.
    uint8_t t[7];
    if (!read_bytes("gps time", t, 7)) return TDRCODE_END;
    const uint32_t n = t[6];
    uint8_t entries[max_gps_satellites * gps_entry_bytes];
    if (!read_bytes("gps nbytes", entries, n * gps_entry_bytes)) return TDRCODE_END;

    if (state.gps_file) {
        // "year/mm/dd hh:mm:ss n 3 0" then " id value" per satellite.
        output_file& f = *state.gps_file;
        f.printf("%04d/%02hu/%02hu %02hu:%02hu:%02hu %hu 3 0", t[0] + 1900, (unsigned short)t[1], (unsigned short)t[2],
                 (unsigned short)t[3], (unsigned short)t[4], (unsigned short)t[5], (unsigned short)t[6]);
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* e = entries + static_cast<std::size_t>(i) * gps_entry_bytes;
            f.printf(" %hu %04x", (unsigned short)e[0], (unsigned)(e[1] << 8 | e[2]));
        }
        f.end_line();
    }
    ++state.gps_fix_count;

    uint8_t next = TDRCODE_END;
    read_bytes("gps finished", &next, 1);
    return next;
}

uint8_t decode_info_block(tdr_context& context) {
    uint8_t n_to_come;
    if (!read_bytes("tdrcode_info n", &n_to_come, 1)) return TDRCODE_END;
    uint8_t block[max_info_block];
    uint32_t received = 0;
    read_bytes("tdrcode_info block", block, n_to_come, &received);

    // Every field is applied, 0 included, when it lies wholly inside the
    // block; a later info block replaces the calibration of an earlier one.
    const info_reader r{block, received};
    uint16_t fw;
    if (r.get16(info_fw_version, fw)) context.fw_version = fw;
    r.get16(info_tdr_interval, state.tdr_interval);
    r.get16(info_ctd_interval, state.ctd_interval);
    r.get16(info_pressure_scale, state.pressure_scale);
    r.get16(info_temp_offset, state.temp_offset);
    r.get16(info_temp_scale, state.temp_scale);
    r.get16(info_cond_offset, state.cond_offset);
    r.get16(info_cond_scale, state.cond_scale);
    r.get16(info_cond_lag_tau, state.cond_lag_tau);
    r.get8(info_n_photo, state.n_photo);
    r.get16(info_acc_interval, state.acc_interval_ms);
    uint16_t acc_counts = 0;
    if (r.get16(info_acc_counts, acc_counts) && acc_counts != 0) state.acc_scale = 1.0 / acc_counts;
    uint8_t acc_offset;
    if (r.get8(info_acc_offset, acc_offset)) state.acc_offset = acc_offset;

    state.abs_mode = context.fw_version == first_abs_mode_firmware || context.fw_version == last_abs_mode_firmware;

    uint8_t next = TDRCODE_END;
    read_bytes("tdrcode_info complete", &next, 1);
    return next;
}

}  // namespace detail
}  // namespace vandrel
