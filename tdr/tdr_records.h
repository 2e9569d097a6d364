// What the TDR stream decoder hands to its writers: one plain record per
// finished row or event, in stream order. The text tables are one writer of
// these records; the netCDF files, the report and the dive table are others.
// A writer knows nothing of the stream's coding, and the decoder nothing of
// the files its writers make.
//
// Times are seconds since 1970-01-01 00:00:00 UTC, as doubles, before the
// rounding that the text tables apply when they print them. Every value is in
// physical units (metres, degrees Celsius, microtesla, dbar, mS/cm, standard
// gravity), converted here once, so that no writer scales a raw count itself;
// a value a row does not hold is NaN (no_value), never 0. TDR rows keep their
// raw counts beside the physical values: the TDR table prints from them.
//
// Records refer to memory of the decoder's that stays valid only for the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "coding/no_value.h"

namespace vandrel {

// The tables of a TDR stream. Each begins with the first block of its kind;
// a writer that keeps a table in a file of its own may refuse it (the file
// cannot be made), and then no writer gets that table's rows.
enum class tdr_table_kind { tdr, ctd, gps, acc };

// ---- TDR sample runs ----------------------------------------------------

// Channel mask bits: which values a TDR row holds.
constexpr unsigned channel_depth = 0x01;          // raw counts of depth_unit metres
constexpr unsigned channel_temperature = 0x02;    // raw * 0.05 - 273.15 degrees Celsius
constexpr unsigned channel_photo = 0x04;          // n_photo raw light counts
constexpr unsigned channel_odo = 0x08;            // raw * 0.12 metres
constexpr unsigned channel_magnetometer = 0x10;   // x, y, z signed * 0.1 uT and a signed temperature byte
constexpr unsigned channel_wetdry_column = 0x20;  // no stream field: shows the wet/dry state
constexpr unsigned channel_wetdry_byte = 0x40;    // a wet/dry byte in every sample

// The photo channel count is one byte of the info block.
constexpr std::size_t max_photo_channels = 255;

// The TDR table begins: the header follows the regime of its first run.
struct tdr_table_info {
    uint8_t regime;   // 1..7 known; any other value gives the "unknown regime" header
    uint8_t n_photo;  // photo columns of a regime-3 header
};

// Depth is counted in decimetres, except in regime 5, whose loggers count
// millimetres (its table prints "DEPTH (cm)"). The regime decides the unit
// here and nowhere else.
constexpr uint8_t millimetre_depth_regime = 5;
constexpr double depth_unit_for(uint8_t regime) { return regime == millimetre_depth_regime ? 0.001 : 0.1; }

// The physical values of the raw TDR counts.
constexpr double tdr_temperature_celsius(uint16_t raw) { return raw * 0.05 - 273.15; }
constexpr double odometer_metres(uint16_t raw) { return raw * 0.12; }
constexpr double magnetometer_microtesla(int16_t raw) { return raw * 0.1; }

// A run of TDR samples begins: after a wet start (code 0xFB), or the
// temperature-only samples after a dry start (code 0xFE) in regime 1. Its
// rows follow, then tdr_run_end. Runs never nest.
struct tdr_run_info {
    uint32_t run;          // ordinal of the run in the stream, from 0
    uint8_t regime;        // regime of the run (for a dry run, of the wet run before it)
    unsigned mask;         // channels of its rows
    double depth_unit;     // metres per raw depth count of its rows
    bool dry;              // samples taken on land after a dry start
    double start_time;     // time of its first row
    uint16_t interval;     // hundredths of a second between rows
    uint8_t n_photo;       // photo channels of its rows
    uint32_t byte_offset;  // input position after the run's header
};

// One row of the TDR table. Physical values the mask does not select are
// no_value; raw counts it does not select are 0.
struct tdr_row {
    uint32_t run;
    double time;
    unsigned mask;
    double depth;        // metres
    double temperature;  // degrees Celsius
    double odo;          // metres
    double mag[3];       // microtesla
    double mag_temp;     // degrees Celsius
    uint8_t wetdry;      // wet/dry state shown in the row (with a wet/dry mask bit)
    uint8_t n_photo;
    const uint16_t* photo;  // n_photo raw light counts
    // The raw counts as the stream holds them.
    uint16_t raw_depth;        // in units of the run's depth_unit
    uint16_t raw_temperature;  // tdr_temperature_celsius(raw)
    uint16_t raw_odo;          // odometer_metres(raw)
    int16_t raw_mag[3];        // magnetometer_microtesla(raw)
    int8_t raw_mag_temp;       // whole degrees Celsius
};

// A haul-out: the animal was on land from start to end. The TDR table
// prints it as a "HAULOUT:" line before the first row of the next wet run.
struct haulout_event {
    double start;
    double end;
    uint32_t byte_offset;
};

// A wet/dry change (code 0xF7): the new state, at the time of the TDR row
// last read (the change lies between that row and the next).
struct wetdry_event {
    double time;
    uint8_t state;
    uint32_t byte_offset;
};

// ---- CTD casts ------------------------------------------------------------

// A bit-mask configuration can ask for up to six extra channels (fluorometer,
// phase, three photo channels, internal temperature).
constexpr int max_ctd_extra_channels = 6;
constexpr int ctd_fixed_channels = 3;  // pressure, temperature, conductivity
constexpr int max_ctd_channels = ctd_fixed_channels + max_ctd_extra_channels;

// What an extra CTD channel measures.
enum class ctd_channel_kind : uint8_t { fluorescence, oxygen, phase, photo, ppfd, internal_temperature };

// One extra channel of a cast: it reads (raw - offset) * scale in units.
struct ctd_channel {
    const char* label;  // the CTD table's column name, the logger's own
    const char* units;  // UDUNITS-2 units of the value ("1" for a count)
    double scale;
    double offset;
    ctd_channel_kind kind;
};

// The extra channels of a cast, in the order of its samples.
struct ctd_channel_set {
    uint8_t count;
    ctd_channel channel[max_ctd_extra_channels];
};

// A CTD cast begins (code 0xFC); its rows follow. The first cast's channels
// give the CTD table its header.
struct ctd_cast_info {
    uint32_t cast;           // ordinal of the cast in the stream, from 0
    uint8_t ctd_regime;      // the cast's configuration byte
    double start_time;       // time of its first row
    uint16_t interval;       // hundredths of a second between rows
    uint16_t pressure_zero;  // raw pressure of 0 dbar
    const ctd_channel_set* channels;
    uint32_t byte_offset;  // input position after the cast's header
};

struct ctd_row {
    uint32_t cast;
    double time;
    double pressure;      // dbar
    double temperature;   // degrees Celsius
    double conductivity;  // mS/cm
    double salinity;      // practical salinity of the lag-filtered conductivity
    int n_extra;
    double extra[max_ctd_extra_channels];  // in the units of the cast's channels
    bool time_valid;
};

// ---- Accelerometer bursts -------------------------------------------------

// A burst (code 0xF8 ... 0xF9) is complete; its rows follow.
struct acc_burst_info {
    uint32_t burst;  // ordinal of the burst in the stream, from 0
    uint32_t samples;
    double end_time;  // the burst's samples end at this TDR time
    uint32_t byte_offset;
};

struct acc_row {
    uint32_t burst;
    double time;
    double x, y, z;  // units of standard gravity
};

// ---- GPS records and the info block ---------------------------------------

struct gps_record {
    uint8_t time_fields[6];  // year - 1900, month 1..12, day, hour, minute, second, as stored
    double time;             // the same in seconds since 1970 (-1 before 1970)
    uint8_t satellites;
    const uint8_t* entries;  // satellites entries of 3 bytes: id, 16-bit value (big-endian)
    uint32_t byte_offset;
};

// The decoder's calibration once an info block (code 0xF6) has been applied.
struct info_values {
    uint32_t fw_version;
    uint16_t tdr_interval;  // hundredths of a second
    uint16_t ctd_interval;  // hundredths of a second
    double pressure_scale;  // counts per dbar
    double temp_offset;
    double temp_scale;  // counts per degree
    double cond_offset;
    double cond_scale;    // counts per mS/cm
    double cond_lag_tau;  // milliseconds
    uint8_t n_photo;
    double acc_interval_ms;
    double acc_scale;   // units of standard gravity per count
    double acc_offset;  // units of standard gravity
    uint32_t byte_offset;
};

// ---- The writer interface -------------------------------------------------

// Receives the records of one decoding, in stream order. Every method does
// nothing by default, so a writer overrides what it uses.
//
// A table-begin method answers whether the table's rows are kept: false
// from a writer that keeps the table in a file of its own and could not
// make it (refusal() then says why). The decoder then hands none of that
// table's rows on, and begins the table again at its next block.
class tdr_record_sink {
public:
    virtual ~tdr_record_sink() = default;

    virtual bool tdr_table(const tdr_table_info& /*info*/) { return true; }
    virtual void tdr_run(const tdr_run_info& /*run*/) {}
    virtual void tdr_sample(const tdr_row& /*row*/) {}
    // Rows of one run that follow each other, none with photo counts: the
    // same as tdr_sample for each, for a writer that takes them column by
    // column.
    virtual void tdr_samples(const tdr_row* rows, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) tdr_sample(rows[i]);
    }
    virtual void tdr_run_end() {}
    virtual void haulout(const haulout_event& /*event*/) {}
    virtual void wetdry(const wetdry_event& /*event*/) {}

    virtual bool ctd_table(const ctd_channel_set& /*channels*/) { return true; }
    virtual void ctd_cast(const ctd_cast_info& /*cast*/) {}
    virtual void ctd_sample(const ctd_row& /*row*/) {}

    virtual bool acc_table() { return true; }
    virtual void acc_burst(const acc_burst_info& /*burst*/) {}
    virtual void acc_sample(const acc_row& /*row*/) {}
    // The rows of a burst at once, in order: the same as acc_sample for
    // each, for a writer that takes them column by column.
    virtual void acc_samples(const acc_row* rows, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) acc_sample(rows[i]);
    }

    virtual bool gps_table() { return true; }
    virtual void gps(const gps_record& /*record*/) {}

    virtual void info(const info_values& /*values*/) {}

    // A line of the TDR table that is no row: "Illegal stream contents (0)",
    // "ACC OVERFLOW".
    virtual void tdr_table_line(const char* /*text*/) {}

    // An error the decoder reported (the text has no line end), with the
    // input position at which it was found.
    virtual void message(uint32_t /*byte_offset*/, const char* /*text*/) {}

    // Why the last beginning of a table of this kind was refused.
    virtual std::string refusal(tdr_table_kind /*kind*/) const { return {}; }
};

}  // namespace vandrel
