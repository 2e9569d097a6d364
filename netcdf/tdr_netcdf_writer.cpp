#include "netcdf/tdr_netcdf_writer.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "dives/dive_columns.h"
#include "netcdf/nc_file.h"

namespace vandrel {
namespace detail {

namespace {

// What every file of the stream has: the file and the span of its times.
struct part_base {
    nc_output file;
    bool begun = false;
    time_span times;
};

// The single station of the TDR and GPS files: named after the input, its
// position at the first time.
struct single_station {
    int name = -1, lat = -1, lon = -1;
    position_bounds bounds;
};

template <class T>
using column_ptr = std::unique_ptr<nc_column<T>>;

// ---- PREFIX_tdr.nc ------------------------------------------------------

struct tdr_part : part_base {
    single_station station;
    // Channel bits whose columns exist: a column begins with the first run
    // that has its channel, the rows before it filled.
    unsigned channels = 0;
    nc_column<double> time{file};
    nc_column<int> run{file};
    nc_column<float> depth{file}, temperature{file}, odo{file}, mag_x{file}, mag_y{file}, mag_z{file};
    nc_column<short> mag_temp{file}, wetdry{file};
    std::vector<column_ptr<int>> photo;  // one per photo channel
    // Per run, per event, per dive.
    nc_column<double> run_start{file};
    nc_column<int> run_regime{file}, run_dry{file}, run_interval{file};
    nc_column<double> haulout_start{file}, haulout_end{file}, wetdry_time{file};
    nc_column<short> wetdry_state{file};
    std::vector<column_ptr<double>> dives;  // as dive_columns
};

// ---- PREFIX_ctd.nc ------------------------------------------------------

// An extra channel: its label and units, and which of the channels of that
// label it is (a cast may have two channels alike).
struct ctd_extra {
    std::string name;
    const char* units;
    int occurrence;
    column_ptr<double> values;
};

struct ctd_part : part_base {
    nc_column<double> time{file}, pressure{file}, temperature{file}, conductivity{file}, salinity{file};
    nc_column<short> time_valid{file};
    std::vector<ctd_extra> extras;
    std::vector<int> channel_of_extra;  // the current cast's channel of each extra, or -1
    // Per cast; a cast's row count is added when the next begins.
    nc_column<int> cast_id{file}, row_size{file}, pressure_zero{file};
    nc_column<short> cast_regime{file};
    nc_column<double> cast_time{file}, cast_interval{file};
    instance_positions positions{file};
    std::size_t cast_rows = 0;
};

// ---- PREFIX_acc.nc ------------------------------------------------------

struct acc_part : part_base {
    nc_column<double> time{file}, x{file}, y{file}, z{file};
    nc_column<int> burst_index{file};
    nc_column<int> burst_id{file}, burst_samples{file};
    nc_column<double> burst_end{file};
    instance_positions positions{file};
};

// ---- PREFIX_gps.nc ------------------------------------------------------

struct gps_part : part_base {
    single_station station;
    nc_column<int> fix_index{file}, satellite_value{file};
    nc_column<short> satellite_id{file};
    nc_column<double> fix_time{file};
    nc_column<short> fix_satellites{file};
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

std::string station_name(const netcdf_metadata& meta) {
    return meta.source_name.empty() ? std::string("logger") : meta.source_name;
}

void define_single_station(nc_output& f, const netcdf_metadata& meta, single_station& s, const time_span& times) {
    const std::string name = station_name(meta);
    const int strlen_dim = nc_dim(f, "name_strlen", name.size());
    s.name = nc_var(f, "station_name", NC_CHAR, {strlen_dim});
    nc_text_att(f, s.name, "long_name", "logger input the data were decoded from");
    nc_text_att(f, s.name, "cf_role", "timeseries_id");
    nc_lat_lon_vars(f, -1, s.lat, s.lon);
    double lat = 0, lon = 0;
    if (times.any && position_at(meta.positions, times.first, lat, lon)) s.bounds.add(lat, lon);
}

// The name and position of a single station, after define mode: the
// position at its first time, or _FillValue.
void write_single_station(nc_output& f, const netcdf_metadata& meta, const single_station& s) {
    const std::string name = station_name(meta);
    const bool known = s.bounds.lat_min <= s.bounds.lat_max;
    const double lat = known ? s.bounds.lat_min : NC_FILL_DOUBLE, lon = known ? s.bounds.lon_min : NC_FILL_DOUBLE;
    if (f.ok()) f.check(nc_put_var_text(f.ncid, s.name, name.c_str()), "nc_put_var");
    if (f.ok()) f.check(nc_put_var_double(f.ncid, s.lat, &lat), "nc_put_var");
    if (f.ok()) f.check(nc_put_var_double(f.ncid, s.lon, &lon), "nc_put_var");
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

constexpr nc_description tdr_description = {
    "TDR samples",
    "Time-depth records of an animal-borne logger, decoded from its compressed stream: depth and the further channels "
    "of each sampling regime, the sample runs, haul-outs, wet/dry changes and, when detected, dives.",
    "timeSeries", keywords};
constexpr nc_description ctd_description = {
    "CTD casts",
    "CTD casts of an animal-borne logger, decoded from its compressed stream: pressure, temperature, conductivity, "
    "practical salinity of the lag-filtered conductivity and the cast's extra channels, one profile per cast.",
    "profile", keywords};
constexpr nc_description acc_description = {
    "Accelerometer bursts",
    "Accelerometer bursts of an animal-borne logger, decoded from its compressed stream: acceleration on three axes "
    "in units of standard gravity, one time series per burst.",
    "timeSeries", keywords};
constexpr nc_description gps_description = {
    "GPS records",
    "GPS records of an animal-borne logger as decoded from its compressed stream: per fix the time and the number of "
    "satellites, and per satellite its identifier and a stored value.",
    "timeSeries", keywords};

// ---- TDR ----------------------------------------------------------------

constexpr const char* tdr_coordinates = "time lat lon";

// Begins the columns of the channel bits in add (and of photo channels up
// to n_photo) that do not exist yet, filled for the rows before.
void add_tdr_channels(tdr_part& p, unsigned add, std::size_t n_photo) {
    const std::size_t rows = p.time.size();
    const unsigned wetdry_bits = channel_wetdry_column | channel_wetdry_byte;
    if (add & wetdry_bits) add |= wetdry_bits;
    const unsigned added = add & ~p.channels;
    if (added & channel_temperature) p.temperature.push_n(NC_FILL_FLOAT, rows);
    if (added & channel_odo) p.odo.push_n(NC_FILL_FLOAT, rows);
    if (added & channel_magnetometer) {
        for (auto* m : {&p.mag_x, &p.mag_y, &p.mag_z}) m->push_n(NC_FILL_FLOAT, rows);
        p.mag_temp.push_n(NC_FILL_SHORT, rows);
    }
    if (added & wetdry_bits) p.wetdry.push_n(NC_FILL_SHORT, rows);
    if (add & channel_photo) {
        while (p.photo.size() < n_photo) {
            p.photo.push_back(std::make_unique<nc_column<int>>(p.file));
            p.photo.back()->push_n(NC_FILL_INT, rows);
        }
    }
    p.channels |= add & ~channel_photo;
}

void define_tdr(tdr_netcdf_state& s) {
    tdr_part& p = s.tdr;
    nc_output& f = p.file;
    const int obs = nc_sized_dim(f, "obs", p.time.length());
    define_single_station(f, s.meta, p.station, p.times);
    p.time.var = nc_time_var(f, "time", obs, "time of the sample");
    p.run.var = nc_index_var(f, "run", obs, "index of the sample's run in dimension run");
    p.depth.var = nc_data_var(f, "depth", NC_FLOAT, {obs}, "m", "depth", "depth", tdr_coordinates);
    nc_text_att(f, p.depth.var, "positive", "down");
    if (p.channels & channel_temperature) {
        p.temperature.var =
            nc_data_var(f, "temperature", NC_FLOAT, {obs}, "degree_C", "temperature", nullptr, tdr_coordinates);
        nc_text_att(f, p.temperature.var, "comment", "water or air temperature, as the logger was wet or dry");
    }
    for (std::size_t i = 0; i < p.photo.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        p.photo[i]->var = nc_data_var(f, "photo_" + number, NC_INT, {obs}, "1", "light sensor count, channel " + number,
                                      nullptr, tdr_coordinates);
    }
    if (p.channels & channel_odo)
        p.odo.var = nc_data_var(f, "odometer", NC_FLOAT, {obs}, "m", "odometer distance since the previous sample",
                                nullptr, tdr_coordinates);
    if (p.channels & channel_magnetometer) {
        nc_column<float>* mag[3] = {&p.mag_x, &p.mag_y, &p.mag_z};
        for (int i = 0; i < 3; ++i)
            mag[i]->var = nc_data_var(
                f, std::string("magnetometer_") + "xyz" [i], NC_FLOAT, { obs }, "uT",
                std::string("magnetic flux density, ") + "xyz"[i] + " axis", nullptr, tdr_coordinates);
        p.mag_temp.var = nc_data_var(f, "magnetometer_temperature", NC_SHORT, {obs}, "degree_C",
                                     "temperature of the magnetometer", nullptr, tdr_coordinates);
    }
    if (p.channels & channel_wetdry_column)
        p.wetdry.var =
            nc_data_var(f, "wetdry", NC_SHORT, {obs}, "1", "wet/dry state shown in the row", nullptr, tdr_coordinates);
    if (p.run_start.length() > 0) {
        const int run = nc_dim(f, "run", p.run_start.length());
        p.run_start.var = nc_time_var(f, "run_start_time", run, "time of the run's first sample");
        p.run_regime.var = nc_data_var(f, "run_regime", NC_INT, {run}, "1", "sampling regime of the run", nullptr);
        p.run_dry.var =
            nc_data_var(f, "run_dry", NC_INT, {run}, nullptr, "samples taken on land after a dry start", nullptr);
        nc_double_att(f, p.run_dry.var, "flag_values", NC_INT, {0, 1});
        nc_text_att(f, p.run_dry.var, "flag_meanings", "wet dry");
        p.run_interval.var = nc_data_var(f, "run_interval", NC_INT, {run}, "0.01 s", "time between samples", nullptr);
    }
    if (p.haulout_start.length() > 0) {
        const int dim = nc_dim(f, "haulout", p.haulout_start.length());
        p.haulout_start.var = nc_time_var(f, "haulout_start", dim, "start of the haul-out: on land from here");
        p.haulout_end.var = nc_time_var(f, "haulout_end", dim, "end of the haul-out");
    }
    if (p.wetdry_time.length() > 0) {
        const int dim = nc_dim(f, "wetdry_change", p.wetdry_time.length());
        p.wetdry_time.var = nc_time_var(f, "wetdry_change_time", dim, "time of the sample before the wet/dry change");
        p.wetdry_state.var =
            nc_data_var(f, "wetdry_change_state", NC_SHORT, {dim}, "1", "wet/dry state after the change", nullptr);
    }
    if (!p.dives.empty() && p.dives[0]->length() > 0) {
        const int dim = nc_dim(f, "dive", p.dives[0]->length());
        for (std::size_t i = 0; i < dive_column_count; ++i) {
            const dive_column& c = dive_columns[i];
            p.dives[i]->var = c.units == nullptr
                                  ? nc_time_var(f, c.name, dim, c.long_name)
                                  : nc_data_var(f, c.name, NC_DOUBLE, {dim}, c.units, c.long_name, nullptr);
        }
    }
    nc_global_atts(f, s.meta, tdr_description, p.times, p.station.bounds);
    info_atts(f, s);
    if (nc_end_define(f)) write_single_station(f, s.meta, p.station);
}

// ---- CTD ----------------------------------------------------------------

constexpr const char* ctd_coordinates = "time lat lon pressure";

// The decoder names extra channels from a small fixed set; more distinct
// names than this are not kept.
constexpr std::size_t max_extra_columns = 32;

// Maps the channels of a cast to the extra columns by header name, beginning
// a column (filled for the rows before) for a name not seen yet. A name that
// appears k times in a header names k columns.
void map_extra_channels(ctd_part& p, const ctd_channel_set& channels) {
    std::vector<std::string> names;
    names.reserve(channels.count);
    for (int i = 0; i < channels.count; ++i) names.emplace_back(channels.channel[i].label);
    p.channel_of_extra.assign(p.extras.size(), -1);
    for (std::size_t channel = 0; channel < names.size(); ++channel) {
        int occurrence = 0;
        for (std::size_t j = 0; j < channel; ++j) occurrence += names[j] == names[channel] ? 1 : 0;
        std::size_t column = 0;
        while (column < p.extras.size() &&
               !(p.extras[column].name == names[channel] && p.extras[column].occurrence == occurrence))
            ++column;
        if (column == max_extra_columns) continue;
        if (column == p.extras.size()) {
            p.extras.push_back({names[channel], channels.channel[channel].units, occurrence,
                                std::make_unique<nc_column<double>>(p.file)});
            p.extras.back().values->push_n(NC_FILL_DOUBLE, p.time.size());
            p.channel_of_extra.push_back(-1);
        }
        p.channel_of_extra[column] = static_cast<int>(channel);
    }
}

void define_ctd(tdr_netcdf_state& s) {
    ctd_part& p = s.ctd;
    nc_output& f = p.file;
    const int obs = nc_sized_dim(f, "obs", p.time.length());
    p.time.var = nc_time_var(f, "sample_time", obs, "time of the sample");
    p.pressure.var =
        nc_data_var(f, "pressure", NC_DOUBLE, {obs}, "dbar", "sea pressure", "sea_water_pressure_due_to_sea_water");
    nc_text_att(f, p.pressure.var, "positive", "down");
    nc_text_att(f, p.pressure.var, "axis", "Z");
    p.temperature.var = nc_data_var(f, "temperature", NC_DOUBLE, {obs}, "degree_C", "temperature",
                                    "sea_water_temperature", ctd_coordinates);
    p.conductivity.var = nc_data_var(f, "conductivity", NC_DOUBLE, {obs}, "mS cm-1", "conductivity",
                                     "sea_water_electrical_conductivity", ctd_coordinates);
    p.salinity.var = nc_data_var(f, "salinity", NC_DOUBLE, {obs}, "1",
                                 "practical salinity (PSS-78) of the lag-filtered conductivity",
                                 "sea_water_practical_salinity", ctd_coordinates);
    // The extra channels under names made from the header's.
    std::vector<std::string> taken = {"sample_time", "pressure",   "temperature", "conductivity",
                                      "salinity",    "time_valid", "time",        "lat",
                                      "lon",         "profile",    "row_size",    "crs"};
    for (ctd_extra& e : p.extras)
        e.values->var =
            nc_data_var(f, nc_name_from(e.name, taken), NC_DOUBLE, {obs}, e.units, e.name, nullptr, ctd_coordinates);
    p.time_valid.var = nc_var(f, "time_valid", NC_SHORT, {obs});
    nc_text_att(f, p.time_valid.var, "long_name", "the sample's time is valid (TIME_VALID)");
    nc_double_att(f, p.time_valid.var, "flag_values", NC_SHORT, {0, 1});
    nc_text_att(f, p.time_valid.var, "flag_meanings", "time_not_valid time_valid");
    nc_default_fill(f, p.time_valid.var, NC_SHORT);
    if (p.cast_id.length() > 0) {
        const int dim = nc_dim(f, "profile", p.cast_id.length());
        p.cast_id.var = nc_var(f, "profile", NC_INT, {dim});
        nc_text_att(f, p.cast_id.var, "long_name", "ordinal of the cast in the stream, from 0");
        nc_text_att(f, p.cast_id.var, "cf_role", "profile_id");
        p.row_size.var = nc_var(f, "row_size", NC_INT, {dim});
        nc_text_att(f, p.row_size.var, "long_name", "number of samples of the cast");
        nc_text_att(f, p.row_size.var, "sample_dimension", "obs");
        p.cast_time.var = nc_time_var(f, "time", dim, "time of the cast's first sample");
        p.cast_regime.var =
            nc_data_var(f, "configuration", NC_SHORT, {dim}, "1", "the cast's configuration byte", nullptr);
        p.cast_interval.var = nc_data_var(f, "interval", NC_DOUBLE, {dim}, "s", "time between samples", nullptr);
        p.pressure_zero.var =
            nc_data_var(f, "pressure_zero", NC_INT, {dim}, "1", "raw pressure count of 0 dbar", nullptr);
        nc_lat_lon_vars(f, dim, p.positions.lat.var, p.positions.lon.var);
    }
    nc_global_atts(f, s.meta, ctd_description, p.times, p.positions.bounds);
    info_atts(f, s);
    nc_end_define(f);
}

// ---- ACC ----------------------------------------------------------------

void define_acc(tdr_netcdf_state& s) {
    acc_part& p = s.acc;
    nc_output& f = p.file;
    const int obs = nc_sized_dim(f, "obs", p.time.length());
    p.time.var = nc_time_var(f, "time", obs, "time of the sample");
    p.burst_index.var = nc_index_var(f, "burst_index", obs, "index of the sample's burst in dimension burst");
    nc_text_att(f, p.burst_index.var, "instance_dimension", "burst");
    nc_column<double>* axes[3] = {&p.x, &p.y, &p.z};
    const char* names[3] = {"acceleration_x", "acceleration_y", "acceleration_z"};
    for (int i = 0; i < 3; ++i)
        axes[i]->var = nc_data_var(f, names[i], NC_DOUBLE, {obs}, "standard_free_fall",
                                   std::string("acceleration, ") + "xyz"[i] + " axis", nullptr, "time lat lon");
    if (p.burst_id.length() > 0) {
        const int dim = nc_dim(f, "burst", p.burst_id.length());
        p.burst_id.var = nc_var(f, "burst", NC_INT, {dim});
        nc_text_att(f, p.burst_id.var, "long_name", "ordinal of the burst in the stream, from 0");
        nc_text_att(f, p.burst_id.var, "cf_role", "timeseries_id");
        p.burst_samples.var = nc_data_var(f, "burst_samples", NC_INT, {dim}, "1", "samples of the burst", nullptr);
        p.burst_end.var = nc_time_var(f, "burst_end_time", dim, "time at which the burst's samples end");
        nc_lat_lon_vars(f, dim, p.positions.lat.var, p.positions.lon.var);
    }
    nc_global_atts(f, s.meta, acc_description, p.times, p.positions.bounds);
    info_atts(f, s);
    nc_end_define(f);
}

// ---- GPS ----------------------------------------------------------------

void define_gps(tdr_netcdf_state& s) {
    gps_part& p = s.gps;
    nc_output& f = p.file;
    const int obs = nc_sized_dim(f, "reading", p.fix_index.length());
    define_single_station(f, s.meta, p.station, p.times);
    p.fix_index.var = nc_index_var(f, "fix_index", obs, "index of the reading's fix in dimension fix");
    p.satellite_id.var = nc_data_var(f, "satellite_id", NC_SHORT, {obs}, "1", "satellite identifier", nullptr);
    p.satellite_value.var = nc_data_var(f, "satellite_value", NC_INT, {obs}, "1",
                                        "16-bit value the logger stored for the satellite", nullptr);
    if (p.fix_time.length() > 0) {
        const int dim = nc_dim(f, "fix", p.fix_time.length());
        p.fix_time.var = nc_time_var(f, "time", dim, "time of the fix (_FillValue when stored before 1970)");
        p.fix_satellites.var =
            nc_data_var(f, "satellites", NC_SHORT, {dim}, "1", "number of satellites of the fix", nullptr);
    }
    nc_global_atts(f, s.meta, gps_description, p.times, p.station.bounds);
    nc_text_att(f, NC_GLOBAL, "comment",
                "These are satellite readings (satellite identifiers and values), not positions; the fixes' "
                "positions must be computed from them elsewhere. The readings of fix i are the satellites[i] "
                "readings after those of the fixes before it.");
    info_atts(f, s);
    if (nc_end_define(f)) write_single_station(f, s.meta, p.station);
}

// A table begins; in the second reading its file is created and defined.
// False when it had begun already.
bool begin_part(tdr_netcdf_state& s, part_base& p, const char* suffix, void (*define)(tdr_netcdf_state&)) {
    if (p.begun) return false;
    p.begun = true;
    if (p.file.writing && nc_begin(p.file, s.prefix + suffix)) define(s);
    return true;
}

// The last cast's row count, once its rows are over.
void close_cast(ctd_part& p) {
    if (!p.cast_id.empty()) p.row_size.push(static_cast<int>(p.cast_rows));
    p.cast_rows = 0;
}

}  // namespace
}  // namespace detail

tdr_netcdf_writer::tdr_netcdf_writer(std::string prefix, netcdf_metadata meta, bool with_dives)
    : state_(std::make_unique<detail::tdr_netcdf_state>()) {
    state_->prefix = std::move(prefix);
    state_->meta = std::move(meta);
    state_->with_dives = with_dives;
}

tdr_netcdf_writer::~tdr_netcdf_writer() {
    if (state_->finished) return;
    for (auto* f : {&state_->tdr.file, &state_->ctd.file, &state_->acc.file, &state_->gps.file}) detail::nc_abandon(*f);
}

bool tdr_netcdf_writer::tdr_table(const tdr_table_info& /*info*/) {
    detail::tdr_part& p = state_->tdr;
    if (state_->with_dives && p.dives.empty())
        for (std::size_t i = 0; i < dive_column_count; ++i)
            p.dives.push_back(std::make_unique<detail::nc_column<double>>(p.file));
    detail::begin_part(*state_, p, "_tdr.nc", detail::define_tdr);
    return true;
}

void tdr_netcdf_writer::tdr_run(const tdr_run_info& run) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    detail::add_tdr_channels(p, run.mask & ~channel_depth, run.n_photo);
    // Runs are numbered from 0 in stream order, so a run's values go to
    // index run; an ordinal out of that order is not recorded.
    if (run.run == p.run_start.size()) {
        p.run_start.push(run.start_time);
        p.run_regime.push(run.regime);
        p.run_dry.push(run.dry ? 1 : 0);
        p.run_interval.push(run.interval);
    }
}

void tdr_netcdf_writer::tdr_sample(const tdr_row& row) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    p.times.add(row.time);
    p.time.push(row.time);
    p.run.push(static_cast<int>(row.run));
    const auto value = [](double v) { return std::isnan(v) ? NC_FILL_FLOAT : static_cast<float>(v); };
    p.depth.push(value(row.depth));
    const auto has = [&row](unsigned bit) { return (row.mask & bit) != 0; };
    if (p.channels & channel_temperature) p.temperature.push(value(row.temperature));
    const bool photo = has(channel_photo) && row.photo != nullptr;
    for (std::size_t i = 0; i < p.photo.size(); ++i)
        p.photo[i]->push(photo && i < row.n_photo ? row.photo[i] : NC_FILL_INT);
    if (p.channels & channel_odo) p.odo.push(value(row.odo));
    if (p.channels & channel_magnetometer) {
        p.mag_x.push(value(row.mag[0]));
        p.mag_y.push(value(row.mag[1]));
        p.mag_z.push(value(row.mag[2]));
        p.mag_temp.push(has(channel_magnetometer) ? short{row.raw_mag_temp} : short{NC_FILL_SHORT});
    }
    if (p.channels & channel_wetdry_column)
        p.wetdry.push(has(channel_wetdry_column | channel_wetdry_byte) ? short{row.wetdry} : short{NC_FILL_SHORT});
}

void tdr_netcdf_writer::haulout(const haulout_event& event) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun) return;
    p.haulout_start.push(event.start);
    p.haulout_end.push(event.end);
}

void tdr_netcdf_writer::wetdry(const wetdry_event& event) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun) return;
    p.wetdry_time.push(event.time);
    p.wetdry_state.push(event.state);
}

void tdr_netcdf_writer::dive(const dive_record& record) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    for (std::size_t i = 0; i < p.dives.size(); ++i) p.dives[i]->push(detail::or_fill(dive_columns[i].get(record)));
}

bool tdr_netcdf_writer::ctd_table(const ctd_channel_set& channels) {
    detail::ctd_part& p = state_->ctd;
    if (p.begun) return true;
    // The first header's channels come first, in its order.
    detail::map_extra_channels(p, channels);
    detail::begin_part(*state_, p, "_ctd.nc", detail::define_ctd);
    return true;
}

void tdr_netcdf_writer::ctd_cast(const ctd_cast_info& cast) {
    detail::ctd_part& p = state_->ctd;
    if (!p.begun || !p.file.ok()) return;
    detail::close_cast(p);
    if (cast.channels != nullptr) detail::map_extra_channels(p, *cast.channels);
    p.cast_id.push(static_cast<int>(cast.cast));
    p.cast_time.push(cast.start_time);
    p.cast_regime.push(cast.ctd_regime);
    p.cast_interval.push(cast.interval / 100.0);
    p.pressure_zero.push(cast.pressure_zero);
    p.positions.add(state_->meta.positions, cast.start_time);
}

void tdr_netcdf_writer::ctd_sample(const ctd_row& row) {
    detail::ctd_part& p = state_->ctd;
    if (!p.begun || !p.file.ok() || p.cast_id.empty()) return;
    ++p.cast_rows;
    p.times.add(row.time);
    p.time.push(row.time);
    p.pressure.push(row.pressure);
    p.temperature.push(row.temperature);
    p.conductivity.push(row.conductivity);
    p.salinity.push(row.salinity);
    for (std::size_t i = 0; i < p.extras.size(); ++i) {
        const int channel = p.channel_of_extra[i];
        p.extras[i].values->push(channel >= 0 && channel < row.n_extra ? row.extra[channel] : NC_FILL_DOUBLE);
    }
    p.time_valid.push(row.time_valid ? 1 : 0);
}

bool tdr_netcdf_writer::acc_table() {
    detail::begin_part(*state_, state_->acc, "_acc.nc", detail::define_acc);
    return true;
}

void tdr_netcdf_writer::acc_burst(const acc_burst_info& burst) {
    detail::acc_part& p = state_->acc;
    if (!p.begun || !p.file.ok()) return;
    p.burst_id.push(static_cast<int>(burst.burst));
    p.burst_samples.push(static_cast<int>(burst.samples));
    p.burst_end.push(burst.end_time);
    p.positions.add(state_->meta.positions, burst.end_time);
}

void tdr_netcdf_writer::acc_sample(const acc_row& row) {
    detail::acc_part& p = state_->acc;
    if (!p.begun || !p.file.ok() || p.burst_id.empty()) return;
    p.times.add(row.time);
    p.time.push(row.time);
    p.burst_index.push(static_cast<int>(p.burst_id.size() - 1));
    p.x.push(row.x);
    p.y.push(row.y);
    p.z.push(row.z);
}

bool tdr_netcdf_writer::gps_table() {
    detail::begin_part(*state_, state_->gps, "_gps.nc", detail::define_gps);
    return true;
}

void tdr_netcdf_writer::gps(const gps_record& record) {
    detail::gps_part& p = state_->gps;
    if (!p.begun || !p.file.ok()) return;
    const auto fix = static_cast<int>(p.fix_time.size());
    if (record.time >= 0) p.times.add(record.time);
    p.fix_time.push(record.time >= 0 ? record.time : NC_FILL_DOUBLE);
    p.fix_satellites.push(record.satellites);
    for (unsigned i = 0; i < record.satellites && record.entries != nullptr; ++i) {
        const uint8_t* e = record.entries + std::size_t{3} * i;
        p.fix_index.push(fix);
        p.satellite_id.push(e[0]);
        p.satellite_value.push(e[1] << 8 | e[2]);
    }
}

void tdr_netcdf_writer::info(const info_values& values) {
    state_->have_info = true;
    state_->info = values;
}

void tdr_netcdf_writer::start_writing() {
    detail::tdr_netcdf_state& s = *state_;
    detail::close_cast(s.ctd);
    for (detail::part_base* p : {static_cast<detail::part_base*>(&s.tdr), static_cast<detail::part_base*>(&s.ctd),
                                 static_cast<detail::part_base*>(&s.acc), static_cast<detail::part_base*>(&s.gps)}) {
        detail::nc_start_writing(p->file);
        p->begun = false;
    }
}

bool tdr_netcdf_writer::finish(std::string& failed_path, std::string& error) {
    detail::tdr_netcdf_state& s = *state_;
    s.finished = true;
    detail::close_cast(s.ctd);
    bool ok = true;
    for (detail::part_base* p : {static_cast<detail::part_base*>(&s.tdr), static_cast<detail::part_base*>(&s.ctd),
                                 static_cast<detail::part_base*>(&s.acc), static_cast<detail::part_base*>(&s.gps)}) {
        detail::nc_output& f = p->file;
        if (!p->begun || !f.writing) continue;
        if (ok && f.ok() && detail::nc_commit(f)) continue;
        detail::nc_abandon(f);
        if (!ok) continue;
        failed_path = f.final_path;
        error = f.error;
        ok = false;
    }
    return ok;
}

}  // namespace vandrel
