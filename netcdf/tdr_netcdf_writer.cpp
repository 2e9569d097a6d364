#include "netcdf/tdr_netcdf_writer.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "netcdf/nc_file.h"
#include "platform/atomic_file.h"
#include "platform/input_file.h"
#include "platform/output_file.h"

namespace vandrel {
namespace detail {

namespace {

// Depths are stored in decimetres; regime 5 tables print the same number as
// centimetres, so there a count is a millimetre.
constexpr uint8_t centimetre_regime = 5;
constexpr double metres_per_count = 0.1;
constexpr double metres_per_count_centimetre_regime = 0.001;

// What every file of the stream shares: the station, its position.
struct part_base {
    nc_output file;
    bool begun = false;
    int obs = -1;
    int crs = -1;
    std::size_t rows_written = 0;
    time_span times;
};

// The single station of the TDR and GPS files: named after the input, its
// position scalar.
struct single_station {
    int name = -1, lat = -1, lon = -1;
};

// ---- PREFIX_tdr.nc ------------------------------------------------------

struct tdr_part : part_base {
    single_station station;
    unsigned channels = 0;  // channel bits whose variables exist
    std::size_t photo_width = 0;
    double metres_per_count = metres_per_count;
    nc_column<double> time;
    nc_column<int> run;
    nc_column<float> depth, temperature, odo, mag[3];
    nc_column<int> photo;
    nc_column<short> mag_temp, wetdry;
    // Per run, per event, per dive: written at the end.
    std::vector<int> run_regime, run_dry, run_interval;
    std::vector<double> run_start;
    std::vector<double> haulout_start, haulout_end;
    std::vector<double> wetdry_time;
    std::vector<short> wetdry_state;
    // The dives wait in a file beside the output until the end: a long
    // stream has many (a million in 1 GB), too many to keep in memory.
    output_file dive_spill;
    std::string dive_spill_path;
    std::size_t dives = 0;
};

// ---- PREFIX_ctd.nc ------------------------------------------------------

struct ctd_part : part_base {
    nc_column<double> time, pressure, temperature, conductivity, salinity;
    nc_column<double> extra[max_ctd_extra_channels];
    int n_extra = 0;
    nc_column<short> time_valid;
    std::vector<int> cast_id, row_size, pressure_zero;
    std::vector<short> cast_regime;
    std::vector<double> cast_time, cast_interval;
};

// ---- PREFIX_acc.nc ------------------------------------------------------

struct acc_part : part_base {
    nc_column<double> time, x, y, z;
    nc_column<int> burst_index;
    std::vector<int> burst_id, burst_samples;
    std::vector<double> burst_end;
};

// ---- PREFIX_gps.nc ------------------------------------------------------

struct gps_part : part_base {
    single_station station;
    nc_column<int> fix_index, satellite_value;
    nc_column<short> satellite_id;
    std::vector<double> fix_time;
    std::vector<short> fix_satellites;
};

}  // namespace

struct tdr_netcdf_state {
    std::string prefix;
    netcdf_metadata meta;
    bool with_dives = false;
    bool finished = false;
    tdr_part tdr;
    ctd_part ctd;
    acc_part acc;
    gps_part gps;
    bool have_info = false;
    info_values info{};
};

namespace {

// Creates the file and its record dimension; the caller defines the rest.
bool begin_part(part_base& p, const std::string& path, const char* record_dim) {
    p.begun = true;
    if (!nc_begin(p.file, path)) return false;
    p.obs = nc_dim(p.file, record_dim, NC_UNLIMITED);
    p.crs = nc_crs_var(p.file);
    return p.file.ok();
}

// The share of the input's size reserved for each file's instance values,
// from generated streams: per GB of input the dives take 132 MB, the bursts
// 31 MB, the casts 27 MB, runs and events 7 MB, the GPS fixes 4 MB.
constexpr uint64_t tdr_share_with_dives = 6;
constexpr uint64_t tdr_share = 64;
constexpr uint64_t ctd_share = 24;
constexpr uint64_t acc_share = 24;
constexpr uint64_t gps_share = 128;

void end_first_define(part_base& p, const netcdf_metadata& meta, uint64_t share) {
    if (nc_end_first_define(p.file, meta.source_size, share))
        p.file.check(nc_put_var_int(p.file.ncid, p.crs, &p.crs), "nc_put_var");
}

void define_single_station(nc_output& f, const netcdf_metadata& meta, single_station& s) {
    const std::string name = meta.source_name.empty() ? std::string("logger") : meta.source_name;
    const int strlen_dim = nc_dim(f, "name_strlen", name.size());
    s.name = nc_var(f, "station_name", NC_CHAR, {strlen_dim});
    nc_text_att(f, s.name, "long_name", "logger input the data were decoded from");
    nc_text_att(f, s.name, "cf_role", "timeseries_id");
    nc_lat_lon_vars(f, -1, s.lat, s.lon);
}

// The time a single station's position is taken at: its first.
std::vector<double> station_time(const time_span& times) {
    return times.any ? std::vector<double>{times.first} : std::vector<double>{};
}

// The name and position of a single station, after the first define mode.
void write_single_station(nc_output& f, const netcdf_metadata& meta, const single_station& s, const time_span& times) {
    const std::string name = meta.source_name.empty() ? std::string("logger") : meta.source_name;
    if (f.ok()) f.check(nc_put_var_text(f.ncid, s.name, name.c_str()), "nc_put_var");
    const double fill = NC_FILL_DOUBLE;
    if (f.ok()) f.check(nc_put_var_double(f.ncid, s.lat, &fill), "nc_put_var");
    if (f.ok()) f.check(nc_put_var_double(f.ncid, s.lon, &fill), "nc_put_var");
    nc_put_positions(f, s.lat, s.lon, meta.positions, station_time(times));
}

void info_atts(nc_output& f, const tdr_netcdf_state& s) {
    if (!s.have_info) return;
    const info_values& v = s.info;
    nc_double_att(f, NC_GLOBAL, "logger_firmware_version", NC_INT, {static_cast<double>(v.fw_version)});
    nc_double_att(f, NC_GLOBAL, "logger_tdr_interval_seconds", NC_DOUBLE, {v.tdr_interval / 100.0});
    nc_double_att(f, NC_GLOBAL, "logger_ctd_interval_seconds", NC_DOUBLE, {v.ctd_interval / 100.0});
    nc_double_att(f, NC_GLOBAL, "logger_pressure_scale_counts_per_dbar", NC_DOUBLE, {v.pressure_scale});
    nc_double_att(f, NC_GLOBAL, "logger_temperature_offset", NC_DOUBLE, {v.temp_offset});
    nc_double_att(f, NC_GLOBAL, "logger_temperature_scale_counts_per_degree", NC_DOUBLE, {v.temp_scale});
    nc_double_att(f, NC_GLOBAL, "logger_conductivity_offset", NC_DOUBLE, {v.cond_offset});
    nc_double_att(f, NC_GLOBAL, "logger_conductivity_scale_counts_per_mS_cm", NC_DOUBLE, {v.cond_scale});
    nc_double_att(f, NC_GLOBAL, "logger_conductivity_lag_milliseconds", NC_DOUBLE, {v.cond_lag_tau});
    nc_double_att(f, NC_GLOBAL, "logger_photo_channels", NC_INT, {static_cast<double>(v.n_photo)});
    nc_double_att(f, NC_GLOBAL, "logger_acc_interval_milliseconds", NC_DOUBLE, {v.acc_interval_ms});
    nc_double_att(f, NC_GLOBAL, "logger_acc_scale_g_per_count", NC_DOUBLE, {v.acc_scale});
    nc_double_att(f, NC_GLOBAL, "logger_acc_offset_g", NC_DOUBLE, {v.acc_offset});
}

// NaN, the dive table's "none", as the fill value.
double or_fill(double v) { return std::isnan(v) ? NC_FILL_DOUBLE : v; }

constexpr const char* keywords =
    "animal-borne logger, depth, temperature, sea water pressure, sea water practical salinity, acceleration";

// ---- TDR ----------------------------------------------------------------

constexpr const char* tdr_coordinates = "time lat lon";

// Defines the variables of the channel bits in add (in define mode).
void define_tdr_channels(tdr_part& p, unsigned add, std::size_t n_photo) {
    nc_output& f = p.file;
    if (add & channel_temperature) {
        p.temperature.var =
            nc_data_var(f, "temperature", NC_FLOAT, {p.obs}, "degree_C", "temperature", nullptr, tdr_coordinates);
        nc_text_att(f, p.temperature.var, "comment", "water or air temperature, as the logger was wet or dry");
    }
    if ((add & channel_photo) && n_photo > 0) {
        p.photo_width = n_photo;
        const int photo_dim = nc_dim(f, "photo", n_photo);
        p.photo.var = nc_data_var(f, "photo", NC_INT, {p.obs, photo_dim}, "1", "light sensor count per channel",
                                  nullptr, tdr_coordinates);
        p.photo.width = n_photo;
    }
    if (add & channel_odo) {
        p.odo.var = nc_data_var(f, "odometer", NC_FLOAT, {p.obs}, "m", "odometer distance since the previous sample",
                                nullptr, tdr_coordinates);
    }
    if (add & channel_magnetometer) {
        const char* names[3] = {"magnetometer_x", "magnetometer_y", "magnetometer_z"};
        for (int i = 0; i < 3; ++i)
            p.mag[i].var =
                nc_data_var(f, names[i], NC_FLOAT, {p.obs}, "uT",
                            std::string("magnetic flux density, ") + "xyz"[i] + " axis", nullptr, tdr_coordinates);
        p.mag_temp.var = nc_data_var(f, "magnetometer_temperature", NC_SHORT, {p.obs}, "degree_C",
                                     "temperature of the magnetometer", nullptr, tdr_coordinates);
    }
    if (add & (channel_wetdry_column | channel_wetdry_byte)) {
        p.wetdry.var = nc_data_var(f, "wetdry", NC_SHORT, {p.obs}, "1", "wet/dry state shown in the row", nullptr,
                                   tdr_coordinates);
    }
    p.channels |= add;
    if (add & (channel_wetdry_column | channel_wetdry_byte)) p.channels |= channel_wetdry_column | channel_wetdry_byte;
    if (p.photo_width == 0) p.channels &= ~channel_photo;
}

void flush_tdr(tdr_part& p) {
    const std::size_t first = p.rows_written;
    p.rows_written += p.time.values.size();
    p.time.flush(p.file, first);
    p.run.flush(p.file, first);
    for (auto* c : {&p.depth, &p.temperature, &p.odo, &p.mag[0], &p.mag[1], &p.mag[2]}) c->flush(p.file, first);
    p.photo.flush(p.file, first);
    p.mag_temp.flush(p.file, first);
    p.wetdry.flush(p.file, first);
}

// Channels that rows of the file so far did not have: their variables are
// added (the library then moves the records), and the earlier rows filled.
void add_tdr_channels(tdr_part& p, unsigned add, std::size_t n_photo) {
    flush_tdr(p);
    nc_output& f = p.file;
    if (!f.ok() || !f.check(nc_redef(f.ncid), "nc_redef")) return;
    const unsigned before = p.channels;
    define_tdr_channels(p, add, n_photo);
    if (!f.ok() || !f.check(nc_enddef(f.ncid), "nc_enddef")) return;
    const unsigned added = p.channels & ~before;
    const std::size_t n = p.rows_written;
    if (added & channel_temperature) nc_fill_rows(f, p.temperature.var, 0, n, 1, NC_FILL_FLOAT);
    if (added & channel_photo) nc_fill_rows(f, p.photo.var, 0, n, p.photo_width, NC_FILL_INT);
    if (added & channel_odo) nc_fill_rows(f, p.odo.var, 0, n, 1, NC_FILL_FLOAT);
    if (added & channel_magnetometer) {
        for (auto& m : p.mag) nc_fill_rows(f, m.var, 0, n, 1, NC_FILL_FLOAT);
        nc_fill_rows(f, p.mag_temp.var, 0, n, 1, static_cast<short>(NC_FILL_SHORT));
    }
    if (added & channel_wetdry_column) nc_fill_rows(f, p.wetdry.var, 0, n, 1, static_cast<short>(NC_FILL_SHORT));
}

void begin_tdr(tdr_netcdf_state& s) {
    tdr_part& p = s.tdr;
    if (!begin_part(p, s.prefix + "_tdr.nc", "obs")) return;
    nc_output& f = p.file;
    define_single_station(f, s.meta, p.station);
    p.time.var = nc_time_var(f, "time", p.obs, "time of the sample");
    p.run.var = nc_index_var(f, "run", p.obs, "index of the sample's run in dimension run");
    p.depth.var = nc_data_var(f, "depth", NC_FLOAT, {p.obs}, "m", "depth", "depth", tdr_coordinates);
    nc_text_att(f, p.depth.var, "positive", "down");
    nc_global_atts(f, s.meta, "TDR samples",
                   "Time-depth records of an animal-borne logger, decoded from its compressed stream: depth and the "
                   "further channels of each sampling regime, the sample runs, haul-outs, wet/dry changes and, when "
                   "detected, dives.",
                   "timeSeries", keywords);
    end_first_define(p, s.meta, s.with_dives ? tdr_share_with_dives : tdr_share);
}

void finish_tdr(tdr_netcdf_state& s) {
    tdr_part& p = s.tdr;
    nc_output& f = p.file;
    flush_tdr(p);
    if (!f.ok() || !f.check(nc_redef(f.ncid), "nc_redef")) return;
    int run_regime = -1, run_dry = -1, run_interval = -1, run_start = -1;
    if (!p.run_start.empty()) {
        const int run = nc_dim(f, "run", p.run_start.size());
        run_start = nc_time_var(f, "run_start_time", run, "time of the run's first sample");
        run_regime = nc_data_var(f, "run_regime", NC_INT, {run}, "1", "sampling regime of the run", nullptr);
        run_dry = nc_data_var(f, "run_dry", NC_INT, {run}, nullptr, "samples taken on land after a dry start", nullptr);
        nc_double_att(f, run_dry, "flag_values", NC_INT, {0, 1});
        nc_text_att(f, run_dry, "flag_meanings", "wet dry");
        run_interval = nc_data_var(f, "run_interval", NC_INT, {run}, "0.01 s", "time between samples", nullptr);
    }
    int haul_start = -1, haul_end = -1;
    if (!p.haulout_start.empty()) {
        const int dim = nc_dim(f, "haulout", p.haulout_start.size());
        haul_start = nc_time_var(f, "haulout_start", dim, "start of the haul-out: on land from here");
        haul_end = nc_time_var(f, "haulout_end", dim, "end of the haul-out");
    }
    int wd_time = -1, wd_state = -1;
    if (!p.wetdry_time.empty()) {
        const int dim = nc_dim(f, "wetdry_change", p.wetdry_time.size());
        wd_time = nc_time_var(f, "wetdry_change_time", dim, "time of the sample before the wet/dry change");
        wd_state =
            nc_data_var(f, "wetdry_change_state", NC_SHORT, {dim}, "1", "wet/dry state after the change", nullptr);
    }
    // The dive table's columns, in its order.
    struct dive_column {
        const char* name;
        const char* units;
        const char* long_name;
        bool time;
        double (*get)(const dive_record&);
        int var;
    };
    dive_column dive_columns[] = {
        {"dive_number", "1", "dive number, from 1 over the stream", false,
         [](const dive_record& d) { return static_cast<double>(d.number); }, -1},
        {"dive_run", "1", "index of the dive's run in dimension run", false,
         [](const dive_record& d) { return static_cast<double>(d.run); }, -1},
        {"dive_start_time", nullptr, "start of the dive", true, [](const dive_record& d) { return d.start_time; }, -1},
        {"dive_end_time", nullptr, "end of the dive", true, [](const dive_record& d) { return d.end_time; }, -1},
        {"dive_max_depth_time", nullptr, "time of the first sample at the greatest depth", true,
         [](const dive_record& d) { return d.max_depth_time; }, -1},
        {"dive_max_depth", "m", "greatest depth of the dive", false,
         [](const dive_record& d) { return static_cast<double>(d.max_depth_dm) * 0.1; }, -1},
        {"dive_samples", "1", "samples in the dive", false,
         [](const dive_record& d) { return static_cast<double>(d.samples); }, -1},
        {"dive_duration", "s", "duration of the dive", false, [](const dive_record& d) { return d.duration; }, -1},
        {"dive_bottom_time", "s", "time spent at the bottom", false, [](const dive_record& d) { return d.bottom_time; },
         -1},
        {"dive_bottom_depth_mean", "m", "mean depth at the bottom", false,
         [](const dive_record& d) { return d.bottom_depth_mean; }, -1},
        {"dive_descent_time", "s", "duration of the descent", false,
         [](const dive_record& d) { return d.descent_time; }, -1},
        {"dive_descent_rate", "m s-1", "rate of descent", false, [](const dive_record& d) { return d.descent_rate; },
         -1},
        {"dive_ascent_time", "s", "duration of the ascent", false, [](const dive_record& d) { return d.ascent_time; },
         -1},
        {"dive_ascent_rate", "m s-1", "rate of ascent", false, [](const dive_record& d) { return d.ascent_rate; }, -1},
        {"dive_temperature_mean", "degree_C", "mean temperature of the dive", false,
         [](const dive_record& d) { return d.temp_mean; }, -1},
        {"dive_postdive", "s", "time to the next dive of the run", false,
         [](const dive_record& d) { return d.postdive; }, -1},
        {"dive_complete", "1", "1 when the dive is neither the first nor the last sample of its run", false,
         [](const dive_record& d) { return d.complete ? 1.0 : 0.0; }, -1},
    };
    const bool dives = s.with_dives && p.dives > 0;
    if (dives && !p.dive_spill.close() && f.ok()) f.error = "cannot write " + p.dive_spill_path;
    if (dives) {
        const int dim = nc_dim(f, "dive", p.dives);
        for (dive_column& c : dive_columns)
            c.var = c.time ? nc_time_var(f, c.name, dim, c.long_name)
                           : nc_data_var(f, c.name, NC_DOUBLE, {dim}, c.units, c.long_name, nullptr);
    }
    nc_final_global_atts(f, s.meta, p.times, station_time(p.times));
    info_atts(f, s);
    if (!f.ok() || !f.check(nc_enddef(f.ncid), "nc_enddef")) return;
    write_single_station(f, s.meta, p.station, p.times);
    nc_put_all(f, run_start, p.run_start);
    nc_put_all(f, run_regime, p.run_regime);
    nc_put_all(f, run_dry, p.run_dry);
    nc_put_all(f, run_interval, p.run_interval);
    nc_put_all(f, haul_start, p.haulout_start);
    nc_put_all(f, haul_end, p.haulout_end);
    nc_put_all(f, wd_time, p.wetdry_time);
    nc_put_all(f, wd_state, p.wetdry_state);
    if (!dives) return;
    // Column by column, each read from the dive file in blocks.
    input_file in;
    if (!in.open(p.dive_spill_path)) f.error = "cannot read " + p.dive_spill_path;
    std::vector<dive_record> block(rows_per_write);
    std::vector<double> column(rows_per_write);
    for (const dive_column& c : dive_columns) {
        if (!f.ok() || !in.seek(0)) break;
        for (std::size_t first = 0; first < p.dives && f.ok(); first += rows_per_write) {
            const std::size_t n = std::min(rows_per_write, p.dives - first);
            if (in.read(block.data(), n * sizeof(dive_record)) != n * sizeof(dive_record)) {
                f.error = "cannot read " + p.dive_spill_path;
                break;
            }
            for (std::size_t i = 0; i < n; ++i) column[i] = or_fill(c.get(block[i]));
            nc_put_rows(f, c.var, first, n, 1, column.data());
        }
    }
}

void remove_dive_spill(tdr_part& p) {
    if (p.dive_spill.is_open()) p.dive_spill.close();
    if (!p.dive_spill_path.empty()) remove_file(p.dive_spill_path);
}

// ---- CTD ----------------------------------------------------------------

constexpr const char* ctd_coordinates = "time lat lon pressure";

// The units of a CTD header name's parenthesised part, as UDUNITS-2 reads
// them; "1" for names without units or with units it would not read.
const char* ctd_units(const std::string& header_name) {
    const std::size_t open = header_name.find('(');
    const std::size_t close = header_name.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return "1";
    const std::string text = header_name.substr(open + 1, close - open - 1);
    static const std::pair<const char*, const char*> known[] = {
        {"V", "V"}, {"deg", "degree"}, {"C", "degree_C"}, {"umol/l", "umol L-1"}, {"umol/m2/s", "umol m-2 s-1"},
    };
    for (const auto& k : known)
        if (text == k.first) return k.second;
    return "1";
}

void begin_ctd(tdr_netcdf_state& s, const ctd_channel_set& channels) {
    ctd_part& p = s.ctd;
    if (!begin_part(p, s.prefix + "_ctd.nc", "obs")) return;
    nc_output& f = p.file;
    p.time.var = nc_time_var(f, "sample_time", p.obs, "time of the sample");
    p.pressure.var =
        nc_data_var(f, "pressure", NC_DOUBLE, {p.obs}, "dbar", "sea pressure", "sea_water_pressure_due_to_sea_water");
    nc_text_att(f, p.pressure.var, "positive", "down");
    nc_text_att(f, p.pressure.var, "axis", "Z");
    p.temperature.var = nc_data_var(f, "temperature", NC_DOUBLE, {p.obs}, "degree_C", "temperature",
                                    "sea_water_temperature", ctd_coordinates);
    p.conductivity.var = nc_data_var(f, "conductivity", NC_DOUBLE, {p.obs}, "mS cm-1", "conductivity",
                                     "sea_water_electrical_conductivity", ctd_coordinates);
    p.salinity.var = nc_data_var(f, "salinity", NC_DOUBLE, {p.obs}, "1",
                                 "practical salinity (PSS-78) of the lag-filtered conductivity",
                                 "sea_water_practical_salinity", ctd_coordinates);
    // The extra channels under names made from the header's.
    std::vector<std::string> taken = {"sample_time", "pressure",   "temperature", "conductivity",
                                      "salinity",    "time_valid", "time",        "lat",
                                      "lon",         "profile",    "row_size",    "crs"};
    const std::size_t header_len = strnlen(channels.header, sizeof channels.header);
    const std::string header(channels.header, header_len);
    std::size_t pos = 0;
    while (p.n_extra < max_ctd_extra_channels && p.n_extra < channels.count && pos < header.size()) {
        if (header[pos] == '\t') ++pos;
        const std::size_t tab = header.find('\t', pos);
        const std::string name = header.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos);
        pos = tab == std::string::npos ? header.size() : tab;
        p.extra[p.n_extra].var = nc_data_var(f, nc_name_from(name, taken), NC_DOUBLE, {p.obs}, ctd_units(name), name,
                                             nullptr, ctd_coordinates);
        ++p.n_extra;
    }
    p.time_valid.var = nc_var(f, "time_valid", NC_SHORT, {p.obs});
    nc_text_att(f, p.time_valid.var, "long_name", "the sample's time is valid (TIME_VALID)");
    nc_double_att(f, p.time_valid.var, "flag_values", NC_SHORT, {0, 1});
    nc_text_att(f, p.time_valid.var, "flag_meanings", "time_not_valid time_valid");
    nc_default_fill(f, p.time_valid.var, NC_SHORT);
    nc_global_atts(f, s.meta, "CTD casts",
                   "CTD casts of an animal-borne logger, decoded from its compressed stream: pressure, temperature, "
                   "conductivity, practical salinity of the lag-filtered conductivity and the cast's extra "
                   "channels, one profile per cast.",
                   "profile", keywords);
    end_first_define(p, s.meta, ctd_share);
}

void flush_ctd(ctd_part& p) {
    const std::size_t first = p.rows_written;
    p.rows_written += p.time.values.size();
    for (auto* c : {&p.time, &p.pressure, &p.temperature, &p.conductivity, &p.salinity}) c->flush(p.file, first);
    for (auto& c : p.extra) c.flush(p.file, first);
    p.time_valid.flush(p.file, first);
}

void finish_ctd(tdr_netcdf_state& s) {
    ctd_part& p = s.ctd;
    nc_output& f = p.file;
    flush_ctd(p);
    if (!f.ok() || !f.check(nc_redef(f.ncid), "nc_redef")) return;
    int id = -1, rows = -1, time = -1, regime = -1, interval = -1, zero = -1, lat = -1, lon = -1;
    if (!p.cast_id.empty()) {
        const int dim = nc_dim(f, "profile", p.cast_id.size());
        id = nc_var(f, "profile", NC_INT, {dim});
        nc_text_att(f, id, "long_name", "ordinal of the cast in the stream, from 0");
        nc_text_att(f, id, "cf_role", "profile_id");
        rows = nc_var(f, "row_size", NC_INT, {dim});
        nc_text_att(f, rows, "long_name", "number of samples of the cast");
        nc_text_att(f, rows, "sample_dimension", "obs");
        time = nc_time_var(f, "time", dim, "time of the cast's first sample");
        regime = nc_data_var(f, "configuration", NC_SHORT, {dim}, "1", "the cast's configuration byte", nullptr);
        interval = nc_data_var(f, "interval", NC_DOUBLE, {dim}, "s", "time between samples", nullptr);
        zero = nc_data_var(f, "pressure_zero", NC_INT, {dim}, "1", "raw pressure count of 0 dbar", nullptr);
        nc_lat_lon_vars(f, dim, lat, lon);
    }
    nc_final_global_atts(f, s.meta, p.times, p.cast_time);
    info_atts(f, s);
    if (!f.ok() || !f.check(nc_enddef(f.ncid), "nc_enddef")) return;
    nc_put_all(f, id, p.cast_id);
    nc_put_all(f, rows, p.row_size);
    nc_put_all(f, time, p.cast_time);
    nc_put_all(f, regime, p.cast_regime);
    nc_put_all(f, interval, p.cast_interval);
    nc_put_all(f, zero, p.pressure_zero);
    nc_put_positions(f, lat, lon, s.meta.positions, p.cast_time);
}

// ---- ACC ----------------------------------------------------------------

void begin_acc(tdr_netcdf_state& s) {
    acc_part& p = s.acc;
    if (!begin_part(p, s.prefix + "_acc.nc", "obs")) return;
    nc_output& f = p.file;
    p.time.var = nc_time_var(f, "time", p.obs, "time of the sample");
    p.burst_index.var = nc_index_var(f, "burst_index", p.obs, "index of the sample's burst in dimension burst");
    nc_text_att(f, p.burst_index.var, "instance_dimension", "burst");
    const char* names[3] = {"acceleration_x", "acceleration_y", "acceleration_z"};
    nc_column<double>* columns[3] = {&p.x, &p.y, &p.z};
    for (int i = 0; i < 3; ++i)
        columns[i]->var = nc_data_var(f, names[i], NC_DOUBLE, {p.obs}, "standard_free_fall",
                                      std::string("acceleration, ") + "xyz"[i] + " axis", nullptr, "time lat lon");
    nc_global_atts(f, s.meta, "Accelerometer bursts",
                   "Accelerometer bursts of an animal-borne logger, decoded from its compressed stream: "
                   "acceleration on three axes in units of standard gravity, one time series per burst.",
                   "timeSeries", keywords);
    end_first_define(p, s.meta, acc_share);
}

void flush_acc(acc_part& p) {
    const std::size_t first = p.rows_written;
    p.rows_written += p.time.values.size();
    for (auto* c : {&p.time, &p.x, &p.y, &p.z}) c->flush(p.file, first);
    p.burst_index.flush(p.file, first);
}

void finish_acc(tdr_netcdf_state& s) {
    acc_part& p = s.acc;
    nc_output& f = p.file;
    flush_acc(p);
    if (!f.ok() || !f.check(nc_redef(f.ncid), "nc_redef")) return;
    int id = -1, samples = -1, end = -1, lat = -1, lon = -1;
    if (!p.burst_id.empty()) {
        const int dim = nc_dim(f, "burst", p.burst_id.size());
        id = nc_var(f, "burst", NC_INT, {dim});
        nc_text_att(f, id, "long_name", "ordinal of the burst in the stream, from 0");
        nc_text_att(f, id, "cf_role", "timeseries_id");
        samples = nc_data_var(f, "burst_samples", NC_INT, {dim}, "1", "samples of the burst", nullptr);
        end = nc_time_var(f, "burst_end_time", dim, "time at which the burst's samples end");
        nc_lat_lon_vars(f, dim, lat, lon);
    }
    nc_final_global_atts(f, s.meta, p.times, p.burst_end);
    info_atts(f, s);
    if (!f.ok() || !f.check(nc_enddef(f.ncid), "nc_enddef")) return;
    nc_put_all(f, id, p.burst_id);
    nc_put_all(f, samples, p.burst_samples);
    nc_put_all(f, end, p.burst_end);
    nc_put_positions(f, lat, lon, s.meta.positions, p.burst_end);
}

// ---- GPS ----------------------------------------------------------------

void begin_gps(tdr_netcdf_state& s) {
    gps_part& p = s.gps;
    if (!begin_part(p, s.prefix + "_gps.nc", "reading")) return;
    nc_output& f = p.file;
    define_single_station(f, s.meta, p.station);
    p.fix_index.var = nc_index_var(f, "fix_index", p.obs, "index of the reading's fix in dimension fix");
    p.satellite_id.var = nc_data_var(f, "satellite_id", NC_SHORT, {p.obs}, "1", "satellite identifier", nullptr);
    p.satellite_value.var = nc_data_var(f, "satellite_value", NC_INT, {p.obs}, "1",
                                        "16-bit value the logger stored for the satellite", nullptr);
    nc_global_atts(f, s.meta, "GPS records",
                   "GPS records of an animal-borne logger as decoded from its compressed stream: per fix the time "
                   "and the number of satellites, and per satellite its identifier and a stored value.",
                   "timeSeries", keywords);
    nc_text_att(f, NC_GLOBAL, "comment",
                "These are satellite readings (satellite identifiers and values), not positions; the fixes' "
                "positions must be computed from them elsewhere. The readings of fix i are the satellites[i] "
                "readings after those of the fixes before it.");
    end_first_define(p, s.meta, gps_share);
}

void flush_gps(gps_part& p) {
    const std::size_t first = p.rows_written;
    p.rows_written += p.fix_index.values.size();
    p.fix_index.flush(p.file, first);
    p.satellite_id.flush(p.file, first);
    p.satellite_value.flush(p.file, first);
}

void finish_gps(tdr_netcdf_state& s) {
    gps_part& p = s.gps;
    nc_output& f = p.file;
    flush_gps(p);
    if (!f.ok() || !f.check(nc_redef(f.ncid), "nc_redef")) return;
    int time = -1, count = -1;
    if (!p.fix_time.empty()) {
        const int dim = nc_dim(f, "fix", p.fix_time.size());
        time = nc_time_var(f, "time", dim, "time of the fix (_FillValue when stored before 1970)");
        count = nc_data_var(f, "satellites", NC_SHORT, {dim}, "1", "number of satellites of the fix", nullptr);
    }
    nc_final_global_atts(f, s.meta, p.times, station_time(p.times));
    info_atts(f, s);
    if (!f.ok() || !f.check(nc_enddef(f.ncid), "nc_enddef")) return;
    write_single_station(f, s.meta, p.station, p.times);
    nc_put_all(f, time, p.fix_time);
    nc_put_all(f, count, p.fix_satellites);
}

}  // namespace
}  // namespace detail

using detail::rows_per_write;

tdr_netcdf_writer::tdr_netcdf_writer(std::string prefix, netcdf_metadata meta, bool with_dives)
    : state_(std::make_unique<detail::tdr_netcdf_state>()) {
    state_->prefix = std::move(prefix);
    state_->meta = std::move(meta);
    state_->with_dives = with_dives;
}

tdr_netcdf_writer::~tdr_netcdf_writer() {
    detail::remove_dive_spill(state_->tdr);
    if (state_->finished) return;
    for (auto* f : {&state_->tdr.file, &state_->ctd.file, &state_->acc.file, &state_->gps.file}) detail::nc_abandon(*f);
}

void tdr_netcdf_writer::tdr_table(const tdr_table_info& /*info*/) {
    if (!state_->tdr.begun) detail::begin_tdr(*state_);
}

void tdr_netcdf_writer::tdr_run(const tdr_run_info& run) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    const unsigned wanted = run.mask & ~channel_depth;
    const unsigned missing = wanted & ~p.channels;
    if (missing != 0 && !((missing == channel_photo) && run.n_photo == 0))
        detail::add_tdr_channels(p, missing, run.n_photo);
    p.metres_per_count =
        run.regime == detail::centimetre_regime ? detail::metres_per_count_centimetre_regime : detail::metres_per_count;
    // Runs are numbered from 0 in stream order, so a run's values go to
    // index run; an ordinal out of that order is not recorded (it would
    // otherwise size the vectors by its value).
    if (run.run == p.run_start.size()) {
        p.run_start.push_back(run.start_time);
        p.run_regime.push_back(run.regime);
        p.run_dry.push_back(run.dry ? 1 : 0);
        p.run_interval.push_back(run.interval);
    }
}

void tdr_netcdf_writer::tdr_sample(const tdr_row& row) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    p.times.add(row.time);
    p.time.values.push_back(row.time);
    p.run.values.push_back(static_cast<int>(row.run));
    p.depth.values.push_back(static_cast<float>(row.depth * p.metres_per_count));
    const auto has = [](unsigned mask, unsigned bit) { return (mask & bit) != 0; };
    if (p.temperature.var >= 0)
        p.temperature.values.push_back(
            has(row.mask, channel_temperature) ? static_cast<float>(row.temperature * 0.05 - 273.15) : NC_FILL_FLOAT);
    if (p.photo.var >= 0) {
        for (std::size_t i = 0; i < p.photo_width; ++i)
            p.photo.values.push_back(
                has(row.mask, channel_photo) && i < row.n_photo && row.photo != nullptr ? row.photo[i] : NC_FILL_INT);
    }
    if (p.odo.var >= 0)
        p.odo.values.push_back(has(row.mask, channel_odo) ? static_cast<float>(row.odo * 0.12) : NC_FILL_FLOAT);
    if (p.mag_temp.var >= 0) {
        const bool mag = has(row.mask, channel_magnetometer);
        for (int i = 0; i < 3; ++i)
            p.mag[i].values.push_back(mag ? static_cast<float>(row.mag[i] * 0.1) : NC_FILL_FLOAT);
        p.mag_temp.values.push_back(mag ? short{row.mag_temp} : short{NC_FILL_SHORT});
    }
    if (p.wetdry.var >= 0)
        p.wetdry.values.push_back(has(row.mask, channel_wetdry_column | channel_wetdry_byte) ? short{row.wetdry}
                                                                                             : short{NC_FILL_SHORT});
    if (p.time.values.size() == rows_per_write) detail::flush_tdr(p);
}

void tdr_netcdf_writer::haulout(const haulout_event& event) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun) return;
    p.haulout_start.push_back(event.start);
    p.haulout_end.push_back(event.end);
}

void tdr_netcdf_writer::wetdry(const wetdry_event& event) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun) return;
    p.wetdry_time.push_back(event.time);
    p.wetdry_state.push_back(event.state);
}

void tdr_netcdf_writer::dive(const dive_record& record) {
    detail::tdr_part& p = state_->tdr;
    if (!state_->with_dives || !p.begun || !p.file.ok()) return;
    if (!p.dive_spill.is_open()) {
        p.dive_spill_path = p.file.temp_path + ".dives";
        if (!p.dive_spill.create(p.dive_spill_path, std::size_t{1} << 16)) {
            p.file.error = "cannot create " + p.dive_spill_path;
            return;
        }
    }
    p.dive_spill.write(reinterpret_cast<const char*>(&record), sizeof record);
    ++p.dives;
}

void tdr_netcdf_writer::ctd_table(const ctd_channel_set& channels) {
    if (!state_->ctd.begun) detail::begin_ctd(*state_, channels);
}

void tdr_netcdf_writer::ctd_cast(const ctd_cast_info& cast) {
    detail::ctd_part& p = state_->ctd;
    if (!p.begun) return;
    p.cast_id.push_back(static_cast<int>(cast.cast));
    p.row_size.push_back(0);
    p.cast_time.push_back(cast.start_time);
    p.cast_regime.push_back(cast.ctd_regime);
    p.cast_interval.push_back(cast.interval / 100.0);
    p.pressure_zero.push_back(cast.pressure_zero);
}

void tdr_netcdf_writer::ctd_sample(const ctd_row& row) {
    detail::ctd_part& p = state_->ctd;
    if (!p.begun || !p.file.ok() || p.row_size.empty()) return;
    ++p.row_size.back();
    p.times.add(row.time);
    p.time.values.push_back(row.time);
    p.pressure.values.push_back(row.pressure);
    p.temperature.values.push_back(row.temperature);
    p.conductivity.values.push_back(row.conductivity);
    p.salinity.values.push_back(row.salinity);
    for (int i = 0; i < p.n_extra; ++i) p.extra[i].values.push_back(i < row.n_extra ? row.extra[i] : NC_FILL_DOUBLE);
    p.time_valid.values.push_back(row.time_valid ? 1 : 0);
    if (p.time.values.size() == rows_per_write) detail::flush_ctd(p);
}

void tdr_netcdf_writer::acc_table() {
    if (!state_->acc.begun) detail::begin_acc(*state_);
}

void tdr_netcdf_writer::acc_burst(const acc_burst_info& burst) {
    detail::acc_part& p = state_->acc;
    if (!p.begun) return;
    p.burst_id.push_back(static_cast<int>(burst.burst));
    p.burst_samples.push_back(static_cast<int>(burst.samples));
    p.burst_end.push_back(burst.end_time);
}

void tdr_netcdf_writer::acc_sample(const acc_row& row) {
    detail::acc_part& p = state_->acc;
    if (!p.begun || !p.file.ok() || p.burst_id.empty()) return;
    p.times.add(row.time);
    p.time.values.push_back(row.time);
    p.burst_index.values.push_back(static_cast<int>(p.burst_id.size() - 1));
    p.x.values.push_back(row.x);
    p.y.values.push_back(row.y);
    p.z.values.push_back(row.z);
    if (p.time.values.size() == rows_per_write) detail::flush_acc(p);
}

void tdr_netcdf_writer::gps_table() {
    if (!state_->gps.begun) detail::begin_gps(*state_);
}

void tdr_netcdf_writer::gps(const gps_record& record) {
    detail::gps_part& p = state_->gps;
    if (!p.begun || !p.file.ok()) return;
    const auto fix = static_cast<int>(p.fix_time.size());
    if (record.time >= 0) p.times.add(record.time);
    p.fix_time.push_back(record.time >= 0 ? record.time : NC_FILL_DOUBLE);
    p.fix_satellites.push_back(record.satellites);
    for (unsigned i = 0; i < record.satellites && record.entries != nullptr; ++i) {
        const uint8_t* e = record.entries + std::size_t{3} * i;
        p.fix_index.values.push_back(fix);
        p.satellite_id.values.push_back(e[0]);
        p.satellite_value.values.push_back(e[1] << 8 | e[2]);
        if (p.fix_index.values.size() == rows_per_write) detail::flush_gps(p);
    }
}

void tdr_netcdf_writer::info(const info_values& values) {
    state_->have_info = true;
    state_->info = values;
}

bool tdr_netcdf_writer::finish(std::string& failed_path, std::string& error) {
    detail::tdr_netcdf_state& s = *state_;
    s.finished = true;
    struct part_step {
        detail::part_base* part;
        void (*finish)(detail::tdr_netcdf_state&);
    };
    const part_step steps[] = {{&s.tdr, detail::finish_tdr},
                               {&s.ctd, detail::finish_ctd},
                               {&s.acc, detail::finish_acc},
                               {&s.gps, detail::finish_gps}};
    bool ok = true;
    for (const part_step& step : steps) {
        detail::nc_output& f = step.part->file;
        if (!step.part->begun) continue;
        if (!ok) {
            detail::nc_abandon(f);
            continue;
        }
        if (f.ok()) step.finish(s);
        if (f.ok() && detail::nc_commit(f)) continue;
        detail::nc_abandon(f);
        failed_path = f.final_path;
        error = f.error;
        ok = false;
    }
    detail::remove_dive_spill(s.tdr);
    return ok;
}

}  // namespace vandrel
