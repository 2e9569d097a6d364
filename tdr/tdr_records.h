// What the TDR stream decoder hands to its writers: one plain record per
// finished row or event, in stream order. The text tables are one writer of
// these records; the netCDF files, the report and the dive table are others.
// A writer knows nothing of the stream's coding, and the decoder nothing of
// the files its writers make.
//
// Times are seconds since 1970-01-01 00:00:00 UTC, as doubles, before the
// rounding that the text tables apply when they print them. Values are raw
// counts where the tables scale them with fixed factors (TDR rows), and
// engineering units where the conversion depends on the stream's calibration
// (CTD and accelerometer rows), exactly the doubles the tables print.
//
// Records refer to memory of the decoder's that stays valid only for the call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vandrel {

// ---- TDR sample runs ----------------------------------------------------

// Channel mask bits: which values a TDR row holds.
constexpr unsigned channel_depth = 0x01;          // decimetres (regime 5 prints it as cm)
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

// A run of TDR samples begins: after a wet start (code 0xFB), or the
// temperature-only samples after a dry start (code 0xFE) in regime 1. Its
// rows follow, then tdr_run_end. Runs never nest.
struct tdr_run_info {
    uint32_t run;          // ordinal of the run in the stream, from 0
    uint8_t regime;        // regime of the run (for a dry run, of the wet run before it)
    unsigned mask;         // channels of its rows
    bool dry;              // samples taken on land after a dry start
    double start_time;     // time of its first row
    uint16_t interval;     // hundredths of a second between rows
    uint8_t n_photo;       // photo channels of its rows
    uint32_t byte_offset;  // input position after the run's header
};

// One row of the TDR table. Fields the mask does not select are 0.
struct tdr_row {
    uint32_t run;
    double time;
    unsigned mask;
    uint16_t depth;        // decimetres
    uint16_t temperature;  // raw; degrees Celsius = raw * 0.05 - 273.15
    uint16_t odo;          // raw; metres = raw * 0.12
    int16_t mag[3];        // tenths of a microtesla
    int8_t mag_temp;       // degrees Celsius
    uint8_t wetdry;        // wet/dry state shown in the row
    uint8_t n_photo;
    const uint16_t* photo;  // n_photo raw values
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

// The extra channels of a cast. Channel i reads (raw - offset[i]) * scale[i].
struct ctd_channel_set {
    char header[80];  // appended to the CTD header line; a tab before each name
    uint8_t count;
    double scale[max_ctd_extra_channels];
    double offset[max_ctd_extra_channels];
    uint8_t kind[max_ctd_extra_channels];  // 1 for a PPFD channel
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
    double extra[max_ctd_extra_channels];  // in the units of the channel set's header names
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
// nothing by default, so a writer overrides what it uses. The rows of a
// table reach the writers only while that table's text file is written, so
// every writer sees the rows the text tables hold, no more and no fewer.
class tdr_record_sink {
public:
    virtual ~tdr_record_sink() = default;

    virtual void tdr_table(const tdr_table_info& /*info*/) {}
    virtual void tdr_run(const tdr_run_info& /*run*/) {}
    virtual void tdr_sample(const tdr_row& /*row*/) {}
    virtual void tdr_run_end() {}
    virtual void haulout(const haulout_event& /*event*/) {}
    virtual void wetdry(const wetdry_event& /*event*/) {}

    virtual void ctd_table(const ctd_channel_set& /*channels*/) {}
    virtual void ctd_cast(const ctd_cast_info& /*cast*/) {}
    virtual void ctd_sample(const ctd_row& /*row*/) {}

    virtual void acc_table() {}
    virtual void acc_burst(const acc_burst_info& /*burst*/) {}
    virtual void acc_sample(const acc_row& /*row*/) {}

    virtual void gps_table() {}
    virtual void gps(const gps_record& /*record*/) {}

    virtual void info(const info_values& /*values*/) {}

    // A line of the TDR table that is no row: "Illegal stream contents (0)",
    // "ACC OVERFLOW".
    virtual void tdr_table_line(const char* /*text*/) {}

    // An error the decoder reported (the text has no line end), with the
    // input position at which it was found.
    virtual void message(uint32_t /*byte_offset*/, const char* /*text*/) {}
};

}  // namespace vandrel
