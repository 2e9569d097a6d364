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

// What every file of the stream has: the file and the extent of its data.
struct part_base {
    nc_output file;
    bool begun = false;
    nc_coverage coverage;
};

template <class T>
using column_ptr = std::unique_ptr<nc_column<T>>;

// ---- PREFIX_tdr.nc ------------------------------------------------------

struct tdr_part : part_base {
    // Channel bits whose columns exist: a column begins with the first run
    // that has its channel, the rows before it filled.
    unsigned channels = 0;
    nc_column<double> time{file};
    nc_column<int> run{file};
    nc_column<float> depth{file}, temperature{file}, odo{file}, mag_x{file}, mag_y{file}, mag_z{file};
    nc_column<short> mag_temp{file}, wetdry{file};
    std::vector<column_ptr<int>> photo;  // one per photo channel
    sample_positions positions{file};    // along a track
};

// ---- PREFIX_events.nc ---------------------------------------------------

struct events_part : part_base {
    nc_column<double> run_start{file};
    nc_column<int> run_interval{file};
    nc_column<short> run_regime{file}, run_dry{file};
    nc_column<double> haulout_start{file}, haulout_end{file}, wetdry_time{file};
    nc_column<short> wetdry_state{file};
};

// ---- PREFIX_dives.nc ----------------------------------------------------

// A column of the dive table, in the type of its kind: counts as integers,
// flags as shorts, times and measures as doubles.
struct dive_part_column {
    column_ptr<double> real;
    column_ptr<int> count;
    column_ptr<short> flag;
};

struct dives_part : part_base {
    std::vector<dive_part_column> columns;  // as dive_columns
};

// ---- PREFIX_ctd.nc ------------------------------------------------------

// An extra channel: its label, units and kind, and which of the channels
// of that label it is (a cast may have two channels alike).
struct ctd_extra {
    std::string name;
    const char* units;
    ctd_channel_kind kind;
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
    instance_positions positions{file};  // per burst at a fixed position
    sample_positions track{file};        // per sample along a track
};

// ---- PREFIX_gps.nc ------------------------------------------------------

struct gps_part : part_base {
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
    events_part events;
    dives_part dives;
    ctd_part ctd;
    acc_part acc;
    gps_part gps;
    bool have_info = false;
    info_values info{};

    bool along_track() const { return meta.positions.kind == position_source::track; }
    // Every file, in the order they are completed.
    std::vector<part_base*> parts() { return {&tdr, &events, &dives, &ctd, &acc, &gps}; }
};

namespace {

std::string feature_name(const netcdf_metadata& meta) {
    return meta.source_name.empty() ? std::string("logger") : meta.source_name;
}

// The name of the single station or trajectory of the TDR file (defined
// here, written by write_feature_name), and its latitude and longitude: a
// scalar at a fixed position, per sample along a track.
struct single_feature {
    int name = -1, lat = -1, lon = -1;
};

single_feature define_single_feature(nc_output& f, const netcdf_metadata& meta, nc_feature feature, int obs) {
    single_feature s;
    if (feature == nc_feature::none) return s;
    const std::string name = feature_name(meta);
    const int strlen_dim = nc_dim(f, "name_strlen", name.size());
    const bool track = feature == nc_feature::trajectory;
    s.name = nc_var(f, track ? "trajectory_name" : "station_name", NC_CHAR, {strlen_dim});
    nc_text_att(f, s.name, "long_name", "logger input the data were decoded from");
    nc_text_att(f, s.name, "cf_role", track ? "trajectory_id" : "timeseries_id");
    nc_lat_lon_vars(f, track ? obs : -1, track, s.lat, s.lon, track ? NC_FLOAT : NC_DOUBLE);
    return s;
}

void write_feature_name(nc_output& f, const netcdf_metadata& meta, const single_feature& s, nc_feature feature) {
    if (feature == nc_feature::none || !f.ok()) return;
    const std::string name = feature_name(meta);
    f.check(nc_put_var_text(f.ncid, s.name, name.c_str()), "nc_put_var");
    if (feature != nc_feature::time_series) return;
    if (f.ok()) f.check(nc_put_var_double(f.ncid, s.lat, &meta.positions.lat), "nc_put_var");
    if (f.ok()) f.check(nc_put_var_double(f.ncid, s.lon, &meta.positions.lon), "nc_put_var");
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

// NaN, a record's "none", as the fill value.
double or_fill(double v) { return std::isnan(v) ? NC_FILL_DOUBLE : v; }
float or_fill_float(double v) { return std::isnan(v) ? NC_FILL_FLOAT : static_cast<float>(v); }

constexpr nc_description tdr_description = {
    "TDR samples",
    "Time-depth records of an animal-borne logger, decoded from its compressed stream: depth and the further channels "
    "of each sampling regime.",
    "animal-borne logger, time-depth recorder, depth, temperature, light, magnetometer, wet/dry", "m"};
constexpr nc_description events_description = {
    "TDR events",
    "The sample runs, haul-outs and wet/dry changes of an animal-borne logger, decoded from its compressed stream.",
    "animal-borne logger, sampling regime, haul-out, wet/dry", nullptr};
constexpr nc_description dives_description = {
    "Dives",
    "The dives found in the time-depth records of an animal-borne logger: start, end, depth, bottom time, descent and "
    "ascent of each.",
    "animal-borne logger, dive, dive depth, dive duration, bottom time", nullptr};
constexpr nc_description ctd_description = {
    "CTD casts",
    "CTD casts of an animal-borne logger, decoded from its compressed stream: pressure, temperature, conductivity, "
    "practical salinity of the lag-filtered conductivity and the cast's extra channels, one profile per cast.",
    "animal-borne logger, CTD, sea water pressure, sea water temperature, sea water electrical conductivity, sea water "
    "practical salinity",
    "dbar"};
constexpr nc_description acc_description = {
    "Accelerometer bursts",
    "Accelerometer bursts of an animal-borne logger, decoded from its compressed stream: acceleration on three axes "
    "in units of standard gravity, one series per burst.",
    "animal-borne logger, accelerometer, acceleration", nullptr};
constexpr nc_description gps_description = {
    "GPS records",
    "GPS records of an animal-borne logger as decoded from its compressed stream: per fix the time and the number of "
    "satellites, and per satellite its identifier and a stored value. These are satellite readings, not positions.",
    "animal-borne logger, GPS, satellite readings", nullptr};

// The coordinates of a file's samples: their time, and the latitude and
// longitude when the file has positions.
std::string sample_coordinates(nc_feature feature, const char* time) {
    return std::string(time) + (feature == nc_feature::none ? "" : " lat lon");
}

// ---- TDR ----------------------------------------------------------------

// Begins the columns of the channel bits in add (and of photo channels up
// to n_photo) that do not exist yet, filled for the rows before.
void add_tdr_channels(tdr_part& p, unsigned add, std::size_t n_photo) {
    const std::size_t rows = p.time.size();
    const unsigned wetdry_bits = channel_wetdry_column | channel_wetdry_byte;
    if (add & wetdry_bits) add |= wetdry_bits;
    const unsigned added = add & ~p.channels;
    if (added & channel_temperature) p.temperature.push_fill(NC_FILL_FLOAT, rows);
    if (added & channel_odo) p.odo.push_fill(NC_FILL_FLOAT, rows);
    if (added & channel_magnetometer) {
        for (auto* m : {&p.mag_x, &p.mag_y, &p.mag_z}) m->push_fill(NC_FILL_FLOAT, rows);
        p.mag_temp.push_fill(NC_FILL_SHORT, rows);
    }
    if (added & wetdry_bits) p.wetdry.push_fill(NC_FILL_SHORT, rows);
    if (add & channel_photo) {
        while (p.photo.size() < n_photo) {
            p.photo.push_back(std::make_unique<nc_column<int>>(p.file));
            p.photo.back()->push_fill(NC_FILL_INT, rows);
        }
    }
    p.channels |= add & ~channel_photo;
}

void define_tdr(tdr_netcdf_state& s) {
    tdr_part& p = s.tdr;
    nc_output& f = p.file;
    const nc_feature feature = sample_feature(s.meta.positions);
    const std::string coordinates = sample_coordinates(feature, "time");
    const int obs = nc_sized_dim(f, "obs", p.time.length());
    const single_feature station = define_single_feature(f, s.meta, feature, obs);
    p.positions.lat.var = station.lat;
    p.positions.lon.var = station.lon;
    p.time.var = nc_time_var(f, "time", obs, "time of the sample");
    p.run.var = nc_index_var(f, "run_index", obs, "index of the sample's run in dimension run of the events file");
    nc_text_att(f, p.run.var, "coordinates", coordinates);
    p.depth.var = nc_data_var(f, "depth", NC_FLOAT, {obs}, "m", "depth", "depth", coordinates);
    if (p.channels & channel_temperature) {
        p.temperature.var =
            nc_data_var(f, "temperature", NC_FLOAT, {obs}, "degree_C", "temperature", nullptr, coordinates);
        nc_text_att(f, p.temperature.var, "comment", "water or air temperature, as the logger was wet or dry");
    }
    for (std::size_t i = 0; i < p.photo.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        p.photo[i]->var = nc_data_var(f, "photo_" + number, NC_INT, {obs}, "1", "light sensor count, channel " + number,
                                      nullptr, coordinates, p.photo[i]->gaps);
        nc_text_att(f, p.photo[i]->var, "coverage_content_type", "physicalMeasurement");
    }
    if (p.channels & channel_odo)
        p.odo.var = nc_data_var(f, "odometer", NC_FLOAT, {obs}, "m", "odometer distance since the previous sample",
                                nullptr, coordinates);
    if (p.channels & channel_magnetometer) {
        nc_column<float>* mag[3] = {&p.mag_x, &p.mag_y, &p.mag_z};
        for (int i = 0; i < 3; ++i)
            mag[i]->var = nc_data_var(
                f, std::string("magnetometer_") + "xyz" [i], NC_FLOAT, { obs }, "uT",
                std::string("magnetic flux density, ") + "xyz"[i] + " axis", nullptr, coordinates);
        p.mag_temp.var = nc_data_var(f, "magnetometer_temperature", NC_SHORT, {obs}, "degree_C",
                                     "temperature of the magnetometer", nullptr, coordinates, p.mag_temp.gaps);
        nc_text_att(f, p.mag_temp.var, "coverage_content_type", "physicalMeasurement");
    }
    if (p.channels & channel_wetdry_column) {
        p.wetdry.var =
            nc_flag_var(f, "wetdry", obs, "wet/dry state shown in the row", "wet dry", coordinates, p.wetdry.gaps);
        nc_text_att(f, p.wetdry.var, "comment", "the logger's wet/dry byte as stored");
    }
    nc_global_atts(f, s.meta, tdr_description, feature, true, p.coverage);
    info_atts(f, s);
    if (nc_end_define(f)) write_feature_name(f, s.meta, station, feature);
}

// ---- Events -------------------------------------------------------------

void define_events(tdr_netcdf_state& s) {
    events_part& p = s.events;
    nc_output& f = p.file;
    if (p.run_start.length() > 0) {
        const int run = nc_dim(f, "run", p.run_start.length());
        p.run_start.var = nc_time_var(f, "run_start_time", run, "time of the run's first sample");
        p.run_regime.var = nc_data_var(f, "run_regime", NC_SHORT, {run}, "1", "sampling regime of the run", nullptr,
                                       "run_start_time", false);
        p.run_dry.var = nc_flag_var(f, "run_dry", run, "samples taken on land after a dry start", "wet dry",
                                    "run_start_time", false);
        p.run_interval.var = nc_data_var(f, "run_interval", NC_INT, {run}, "0.01 s", "time between samples", nullptr,
                                         "run_start_time", false);
    }
    if (p.haulout_start.length() > 0) {
        const int dim = nc_dim(f, "haulout", p.haulout_start.length());
        p.haulout_start.var = nc_time_var(f, "haulout_start_time", dim, "start of the haul-out: on land from here");
        p.haulout_end.var = nc_time_var(f, "haulout_end_time", dim, "end of the haul-out");
        nc_text_att(f, p.haulout_end.var, "coordinates", "haulout_start_time");
    }
    if (p.wetdry_time.length() > 0) {
        const int dim = nc_dim(f, "wetdry_change", p.wetdry_time.length());
        p.wetdry_time.var = nc_time_var(f, "wetdry_change_time", dim, "time of the sample before the wet/dry change");
        p.wetdry_state.var = nc_flag_var(f, "wetdry_change_state", dim, "wet/dry state after the change", "wet dry",
                                         "wetdry_change_time", false);
        nc_text_att(f, p.wetdry_state.var, "comment", "the logger's wet/dry byte as stored");
    }
    nc_global_atts(f, s.meta, events_description, nc_feature::none, false, p.coverage);
    info_atts(f, s);
    nc_end_define(f);
}

// ---- Dives --------------------------------------------------------------

void define_dives(tdr_netcdf_state& s) {
    dives_part& p = s.dives;
    nc_output& f = p.file;
    const int dim = nc_sized_dim(f, "dive", p.columns.empty() ? 0 : p.columns[0].count->length());
    const char* start = "dive_start_time";
    for (std::size_t i = 0; i < dive_column_count; ++i) {
        const dive_column& c = dive_columns[i];
        dive_part_column& col = p.columns[i];
        const std::string coordinates = std::strcmp(c.name, start) == 0 ? std::string() : start;
        switch (c.kind) {
            case dive_value::count:
                col.count->var =
                    nc_data_var(f, c.name, NC_INT, {dim}, c.units, c.long_name, nullptr, coordinates, false);
                break;
            case dive_value::flag:
                col.flag->var = nc_flag_var(f, c.name, dim, c.long_name, "incomplete complete", coordinates, false);
                break;
            case dive_value::time:
                col.real->var = nc_time_var(f, c.name, dim, c.long_name);
                if (!coordinates.empty()) nc_text_att(f, col.real->var, "coordinates", coordinates);
                break;
            default:
                col.real->var = nc_data_var(f, c.name, NC_DOUBLE, {dim}, c.units, c.long_name, nullptr, coordinates);
                break;
        }
    }
    nc_global_atts(f, s.meta, dives_description, nc_feature::none, false, p.coverage);
    info_atts(f, s);
    nc_end_define(f);
}

// ---- CTD ----------------------------------------------------------------

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
            const ctd_channel& c = channels.channel[channel];
            p.extras.push_back(
                {names[channel], c.units, c.kind, occurrence, std::make_unique<nc_column<double>>(p.file)});
            p.extras.back().values->push_fill(NC_FILL_DOUBLE, p.time.size());
            p.channel_of_extra.push_back(-1);
        }
        p.channel_of_extra[column] = static_cast<int>(channel);
    }
}

// The variable name of an extra channel: what it measures, the same in
// every file (a second channel alike gets "_2").
const char* extra_channel_name(ctd_channel_kind kind) {
    switch (kind) {
        case ctd_channel_kind::fluorescence:
            return "fluorescence";
        case ctd_channel_kind::oxygen:
            return "oxygen";
        case ctd_channel_kind::phase:
            return "phase";
        case ctd_channel_kind::photo:
            return "photo";
        case ctd_channel_kind::ppfd:
            return "ppfd";
        default:
            return "internal_temperature";
    }
}

void define_ctd(tdr_netcdf_state& s) {
    ctd_part& p = s.ctd;
    nc_output& f = p.file;
    const nc_feature feature = profile_feature(s.meta.positions);
    const bool dsg = feature != nc_feature::none;
    // In the profiles' ragged array a sample's time, latitude and longitude
    // are its profile's; without profiles, its own time.
    const std::string coordinates = dsg ? "time lat lon pressure" : "sample_time pressure";
    const int obs = nc_sized_dim(f, "obs", p.time.length());
    p.time.var = nc_time_var(f, "sample_time", obs, "time of the sample");
    if (dsg) nc_text_att(f, p.time.var, "coordinates", coordinates);
    p.pressure.var = nc_data_var(f, "pressure", NC_DOUBLE, {obs}, "dbar", "sea pressure",
                                 "sea_water_pressure_due_to_sea_water", {}, false);
    nc_text_att(f, p.pressure.var, "positive", "down");
    nc_text_att(f, p.pressure.var, "axis", "Z");
    p.temperature.var = nc_data_var(f, "temperature", NC_DOUBLE, {obs}, "degree_C", "temperature",
                                    "sea_water_temperature", coordinates);
    p.conductivity.var = nc_data_var(f, "conductivity", NC_DOUBLE, {obs}, "mS cm-1", "conductivity",
                                     "sea_water_electrical_conductivity", coordinates);
    p.salinity.var = nc_data_var(f, "salinity", NC_DOUBLE, {obs}, "1",
                                 "practical salinity (PSS-78) of the lag-filtered conductivity",
                                 "sea_water_practical_salinity", coordinates);
    // The extra channels named after what they measure, their header names
    // as long names.
    std::vector<std::string> taken = {"sample_time", "pressure", "temperature", "conductivity",  "salinity",
                                      "time_valid",  "time",     "lat",         "lon",           "profile",
                                      "row_size",    "crs",      "interval",    "pressure_zero", "configuration"};
    for (ctd_extra& e : p.extras)
        e.values->var = nc_data_var(f, nc_name_from(extra_channel_name(e.kind), taken), NC_DOUBLE, {obs}, e.units,
                                    e.name, nullptr, coordinates);
    p.time_valid.var = nc_flag_var(f, "time_valid", obs, "the sample's time is valid (TIME_VALID)",
                                   "time_not_valid time_valid", coordinates, false);
    nc_text_att(f, p.time_valid.var, "coverage_content_type", "qualityInformation");
    nc_text_att(f, p.time.var, "ancillary_variables", "time_valid");
    if (p.cast_id.length() > 0) {
        const int dim = nc_dim(f, "profile", p.cast_id.length());
        p.cast_id.var = nc_index_var(f, "profile", dim, "ordinal of the cast in the stream, from 0");
        if (dsg) nc_text_att(f, p.cast_id.var, "cf_role", "profile_id");
        p.row_size.var = nc_index_var(f, "row_size", dim, "number of samples of the cast");
        if (dsg)
            nc_text_att(f, p.row_size.var, "sample_dimension", "obs");
        else
            nc_text_att(f, p.row_size.var, "coordinates", "time");
        p.cast_time.var = nc_time_var(f, "time", dim, "time of the cast's first sample");
        const std::string cast_coordinates = dsg ? "time lat lon" : "time";
        p.cast_regime.var = nc_data_var(f, "configuration", NC_SHORT, {dim}, "1", "the cast's configuration byte",
                                        nullptr, cast_coordinates, false);
        p.cast_interval.var =
            nc_data_var(f, "interval", NC_DOUBLE, {dim}, "s", "time between samples", nullptr, cast_coordinates, false);
        p.pressure_zero.var = nc_data_var(f, "pressure_zero", NC_INT, {dim}, "1", "raw pressure count of 0 dbar",
                                          nullptr, cast_coordinates, false);
        if (dsg)
            nc_lat_lon_vars(f, dim, s.meta.positions.kind == position_source::track, p.positions.lat.var,
                            p.positions.lon.var);
    }
    p.coverage.bounds = p.positions.bounds;
    nc_global_atts(f, s.meta, ctd_description, feature, true, p.coverage);
    info_atts(f, s);
    nc_end_define(f);
}

// ---- ACC ----------------------------------------------------------------

void define_acc(tdr_netcdf_state& s) {
    acc_part& p = s.acc;
    nc_output& f = p.file;
    const nc_feature feature = sample_feature(s.meta.positions);
    const bool dsg = feature != nc_feature::none;
    const std::string coordinates = sample_coordinates(feature, "time");
    const int obs = nc_sized_dim(f, "obs", p.time.length());
    p.time.var = nc_time_var(f, "time", obs, "time of the sample");
    p.burst_index.var = nc_index_var(f, "burst_index", obs, "index of the sample's burst in dimension burst");
    if (dsg)
        nc_text_att(f, p.burst_index.var, "instance_dimension", "burst");
    else
        nc_text_att(f, p.burst_index.var, "coordinates", coordinates);
    nc_column<double>* axes[3] = {&p.x, &p.y, &p.z};
    const char* names[3] = {"acceleration_x", "acceleration_y", "acceleration_z"};
    for (int i = 0; i < 3; ++i)
        axes[i]->var = nc_data_var(f, names[i], NC_DOUBLE, {obs}, "standard_free_fall",
                                   std::string("acceleration, ") + "xyz"[i] + " axis", nullptr, coordinates);
    const bool track = feature == nc_feature::trajectory;
    if (track) nc_lat_lon_vars(f, obs, true, p.track.lat.var, p.track.lon.var, NC_FLOAT);
    if (p.burst_id.length() > 0) {
        const int dim = nc_dim(f, "burst", p.burst_id.length());
        p.burst_id.var = nc_index_var(f, "burst", dim, "ordinal of the burst in the stream, from 0");
        if (dsg) nc_text_att(f, p.burst_id.var, "cf_role", track ? "trajectory_id" : "timeseries_id");
        p.burst_samples.var = nc_data_var(f, "burst_samples", NC_INT, {dim}, "1", "samples of the burst", nullptr,
                                          "burst_end_time", false);
        p.burst_end.var = nc_time_var(f, "burst_end_time", dim, "time at which the burst's samples end");
        if (feature == nc_feature::time_series)
            nc_lat_lon_vars(f, dim, false, p.positions.lat.var, p.positions.lon.var);
    }
    p.coverage.bounds = track ? p.track.bounds : p.positions.bounds;
    nc_global_atts(f, s.meta, acc_description, feature, true, p.coverage);
    info_atts(f, s);
    nc_end_define(f);
}

// ---- GPS ----------------------------------------------------------------

void define_gps(tdr_netcdf_state& s) {
    gps_part& p = s.gps;
    nc_output& f = p.file;
    const int obs = nc_sized_dim(f, "reading", p.fix_index.length());
    p.fix_index.var = nc_index_var(f, "fix_index", obs, "index of the reading's fix in dimension fix");
    p.satellite_id.var =
        nc_data_var(f, "satellite_id", NC_SHORT, {obs}, "1", "satellite identifier", nullptr, {}, false);
    p.satellite_value.var = nc_data_var(f, "satellite_value", NC_INT, {obs}, "1",
                                        "16-bit value the logger stored for the satellite", nullptr, {}, false);
    if (p.fix_time.length() > 0) {
        const int dim = nc_dim(f, "fix", p.fix_time.length());
        // A fix stored before 1970 has no time here: this is no coordinate.
        p.fix_time.var = nc_data_var(f, "fix_time", NC_DOUBLE, {dim}, "seconds since 1970-01-01T00:00:00Z",
                                     "time of the fix (_FillValue when stored before 1970)", "time");
        nc_text_att(f, p.fix_time.var, "calendar", "standard");
        p.fix_satellites.var =
            nc_data_var(f, "satellites", NC_SHORT, {dim}, "1", "number of satellites of the fix", nullptr, {}, false);
    }
    nc_global_atts(f, s.meta, gps_description, nc_feature::none, false, p.coverage);
    nc_text_att(f, NC_GLOBAL, "comment",
                "These are satellite readings (satellite identifiers and values), not positions; the fixes' "
                "positions must be computed from them elsewhere. The readings of fix i are the satellites[i] "
                "readings after those of the fixes before it.");
    info_atts(f, s);
    nc_end_define(f);
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
    if (!with_dives) return;
    detail::dives_part& p = state_->dives;
    for (const dive_column& c : dive_columns) {
        p.columns.emplace_back();
        detail::dive_part_column& col = p.columns.back();
        if (c.kind == dive_value::count) {
            col.count = std::make_unique<detail::nc_column<int>>(p.file);
        } else if (c.kind == dive_value::flag) {
            col.flag = std::make_unique<detail::nc_column<short>>(p.file);
        } else {
            col.real = std::make_unique<detail::nc_column<double>>(p.file);
        }
    }
}

tdr_netcdf_writer::~tdr_netcdf_writer() {
    if (state_->finished) return;
    for (detail::part_base* p : state_->parts()) detail::nc_abandon(p->file);
}

std::vector<std::string> tdr_netcdf_writer::file_names(const std::string& prefix, bool with_dives) {
    std::vector<std::string> names;
    for (const char* kind : {"_tdr.nc", "_events.nc", "_ctd.nc", "_gps.nc", "_acc.nc"}) names.push_back(prefix + kind);
    if (with_dives) names.push_back(prefix + "_dives.nc");
    return names;
}

bool tdr_netcdf_writer::tdr_table(const tdr_table_info& /*info*/) {
    detail::tdr_netcdf_state& s = *state_;
    if (detail::begin_part(s, s.tdr, "_tdr.nc", detail::define_tdr)) {
        detail::begin_part(s, s.events, "_events.nc", detail::define_events);
        if (s.with_dives) detail::begin_part(s, s.dives, "_dives.nc", detail::define_dives);
    }
    return true;
}

void tdr_netcdf_writer::tdr_run(const tdr_run_info& run) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    detail::add_tdr_channels(p, run.mask & ~channel_depth, run.n_photo);
    // Runs are numbered from 0 in stream order, so a run's values go to
    // index run; an ordinal out of that order is not recorded.
    detail::events_part& e = state_->events;
    if (run.run == e.run_start.size()) {
        e.coverage.times.add(run.start_time);
        e.run_start.push(run.start_time);
        e.run_regime.push(run.regime);
        e.run_dry.push(run.dry ? 1 : 0);
        e.run_interval.push(run.interval);
    }
}

void tdr_netcdf_writer::tdr_sample(const tdr_row& row) { tdr_samples(&row, 1); }

void tdr_netcdf_writer::tdr_samples(const tdr_row* rows, std::size_t n) {
    detail::tdr_part& p = state_->tdr;
    if (!p.begun || !p.file.ok()) return;
    if (!p.file.writing) {
        for (std::size_t i = 0; i < n; ++i) {
            p.coverage.times.add(rows[i].time);
            p.coverage.vertical.add(rows[i].depth);
        }
    }
    // The values every row has, column by column; then those a row may
    // lack, row by row.
    p.time.push_each(rows, n, [](const tdr_row& r) { return r.time; });
    if (state_->along_track())
        for (std::size_t i = 0; i < n; ++i) p.positions.add(state_->meta.positions, rows[i].time);
    p.run.push_each(rows, n, [](const tdr_row& r) { return static_cast<int>(r.run); });
    p.depth.push_each(rows, n, [](const tdr_row& r) { return detail::or_fill_float(r.depth); });
    if (p.channels & channel_temperature)
        p.temperature.push_each(rows, n, [](const tdr_row& r) { return detail::or_fill_float(r.temperature); });
    if (p.channels & channel_odo)
        p.odo.push_each(rows, n, [](const tdr_row& r) { return detail::or_fill_float(r.odo); });
    if (p.channels & channel_magnetometer) {
        p.mag_x.push_each(rows, n, [](const tdr_row& r) { return detail::or_fill_float(r.mag[0]); });
        p.mag_y.push_each(rows, n, [](const tdr_row& r) { return detail::or_fill_float(r.mag[1]); });
        p.mag_z.push_each(rows, n, [](const tdr_row& r) { return detail::or_fill_float(r.mag[2]); });
    }
    for (std::size_t r = 0; r < n; ++r) {
        const tdr_row& row = rows[r];
        const auto has = [&row](unsigned bit) { return (row.mask & bit) != 0; };
        const bool photo = has(channel_photo) && row.photo != nullptr;
        for (std::size_t i = 0; i < p.photo.size(); ++i) {
            if (photo && i < row.n_photo) {
                p.photo[i]->push(row.photo[i]);
            } else {
                p.photo[i]->push_fill(NC_FILL_INT);
            }
        }
        if (p.channels & channel_magnetometer) {
            if (has(channel_magnetometer)) {
                p.mag_temp.push(row.raw_mag_temp);
            } else {
                p.mag_temp.push_fill(NC_FILL_SHORT);
            }
        }
        if (p.channels & channel_wetdry_column) {
            if (has(channel_wetdry_column | channel_wetdry_byte)) {
                p.wetdry.push(row.wetdry);
            } else {
                p.wetdry.push_fill(NC_FILL_SHORT);
            }
        }
    }
}

void tdr_netcdf_writer::haulout(const haulout_event& event) {
    detail::events_part& p = state_->events;
    if (!p.begun) return;
    p.coverage.times.add(event.start);
    p.coverage.times.add(event.end);
    p.haulout_start.push(event.start);
    p.haulout_end.push(event.end);
}

void tdr_netcdf_writer::wetdry(const wetdry_event& event) {
    detail::events_part& p = state_->events;
    if (!p.begun) return;
    p.coverage.times.add(event.time);
    p.wetdry_time.push(event.time);
    p.wetdry_state.push(event.state);
}

void tdr_netcdf_writer::dive(const dive_record& record) {
    detail::dives_part& p = state_->dives;
    if (!p.begun || !p.file.ok()) return;
    // The dives follow each other start to start; the coverage ends with
    // the last one's end.
    p.coverage.times.add(record.start_time);
    p.coverage.times.reach(record.end_time);
    for (std::size_t i = 0; i < p.columns.size(); ++i) {
        const double v = dive_columns[i].get(record);
        detail::dive_part_column& c = p.columns[i];
        if (c.count) {
            c.count->push(static_cast<int>(v));
        } else if (c.flag) {
            c.flag->push(static_cast<short>(v));
        } else {
            c.real->push(detail::or_fill(v));
        }
    }
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
    if (state_->meta.positions.kind != position_source::none) {
        p.positions.add(state_->meta.positions, cast.start_time);
    }
}

void tdr_netcdf_writer::ctd_sample(const ctd_row& row) {
    detail::ctd_part& p = state_->ctd;
    if (!p.begun || !p.file.ok() || p.cast_id.empty()) return;
    ++p.cast_rows;
    if (!p.file.writing) {
        p.coverage.times.add(row.time);
        p.coverage.vertical.add(row.pressure);
    }
    p.time.push(row.time);
    p.pressure.push(row.pressure);
    p.temperature.push(detail::or_fill(row.temperature));
    p.conductivity.push(detail::or_fill(row.conductivity));
    p.salinity.push(detail::or_fill(row.salinity));
    for (std::size_t i = 0; i < p.extras.size(); ++i) {
        const int channel = p.channel_of_extra[i];
        p.extras[i].values->push(channel >= 0 && channel < row.n_extra ? detail::or_fill(row.extra[channel])
                                                                       : NC_FILL_DOUBLE);
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
    if (state_->meta.positions.kind == position_source::fixed) {
        p.positions.add(state_->meta.positions, burst.end_time);
    }
}

void tdr_netcdf_writer::acc_sample(const acc_row& row) { acc_samples(&row, 1); }

void tdr_netcdf_writer::acc_samples(const acc_row* rows, std::size_t n) {
    detail::acc_part& p = state_->acc;
    if (!p.begun || !p.file.ok() || p.burst_id.empty()) return;
    if (!p.file.writing)
        for (std::size_t i = 0; i < n; ++i) p.coverage.times.add(rows[i].time);
    if (state_->along_track())
        for (std::size_t i = 0; i < n; ++i) p.track.add(state_->meta.positions, rows[i].time);
    const auto burst = static_cast<int>(p.burst_id.size() - 1);
    p.burst_index.push_each(rows, n, [burst](const acc_row&) { return burst; });
    p.time.push_each(rows, n, [](const acc_row& r) { return r.time; });
    p.x.push_each(rows, n, [](const acc_row& r) { return r.x; });
    p.y.push_each(rows, n, [](const acc_row& r) { return r.y; });
    p.z.push_each(rows, n, [](const acc_row& r) { return r.z; });
}

bool tdr_netcdf_writer::gps_table() {
    detail::begin_part(*state_, state_->gps, "_gps.nc", detail::define_gps);
    return true;
}

void tdr_netcdf_writer::gps(const gps_record& record) {
    detail::gps_part& p = state_->gps;
    if (!p.begun || !p.file.ok()) return;
    const auto fix = static_cast<int>(p.fix_time.size());
    if (record.time >= 0) p.coverage.times.add(record.time);
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
    s.tdr.coverage.bounds = s.tdr.positions.bounds;
    if (s.meta.positions.kind == position_source::fixed)
        s.tdr.coverage.bounds.add(s.meta.positions.lat, s.meta.positions.lon);
    for (detail::part_base* p : s.parts()) {
        detail::nc_start_writing(p->file);
        p->begun = false;
    }
}

bool tdr_netcdf_writer::finish(std::vector<netcdf_failure>& failures) {
    detail::tdr_netcdf_state& s = *state_;
    s.finished = true;
    detail::close_cast(s.ctd);
    bool ok = true;
    for (detail::part_base* p : s.parts()) {
        detail::nc_output& f = p->file;
        if (!p->begun || !f.writing) continue;
        if (f.ok() && detail::nc_commit(f)) continue;
        detail::nc_abandon(f);
        failures.push_back({f.final_path, f.error});
        ok = false;
    }
    return ok;
}

}  // namespace vandrel
