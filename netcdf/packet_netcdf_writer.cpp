#include "netcdf/packet_netcdf_writer.h"

#include <unordered_map>
#include <vector>

#include "netcdf/nc_file.h"

namespace vandrel {
namespace detail {

struct packet_netcdf_state {
    nc_output file;
    netcdf_metadata meta;
    bool begun = false;
    bool finished = false;
    nc_column<double> time{file}, pressure{file}, temperature{file}, conductivity{file}, salinity{file},
        fluorescence{file}, light{file};
    nc_column<int> station_index{file}, supply_voltage{file};
    // The stations in order of their first sample: ID, and the position at
    // its first time.
    std::unordered_map<uint32_t, int> station_of_id;
    // The station of the last sample: a packet's samples share its ID.
    int last_station = -1;
    uint32_t last_id = 0;
    nc_column<int> station_ids{file};
    instance_positions positions{file};
    time_span times;
};

namespace {

constexpr const char* data_coordinates = "time lat lon";

constexpr nc_description description = {
    "Samples of the packet file",
    "Samples decoded from the packets of an oceanographic logger: pressure, temperature, conductivity, practical "
    "salinity, fluorescence, light and supply voltage, one time series per packet identifier.",
    "timeSeries",
    "sea water pressure, sea water temperature, sea water electrical conductivity, sea water practical salinity, "
    "fluorescence, light"};

void define(packet_netcdf_state& s) {
    nc_output& f = s.file;
    const int obs = nc_sized_dim(f, "obs", s.time.length());
    s.time.var = nc_time_var(f, "time", obs, "time of the sample");
    s.station_index.var = nc_index_var(f, "station_index", obs, "index of the station (packet ID) of the sample");
    nc_text_att(f, s.station_index.var, "instance_dimension", "station");
    s.pressure.var = nc_data_var(f, "pressure", NC_DOUBLE, {obs}, "dbar", "sea pressure",
                                 "sea_water_pressure_due_to_sea_water", data_coordinates);
    nc_text_att(f, s.pressure.var, "positive", "down");
    s.temperature.var = nc_data_var(f, "temperature", NC_DOUBLE, {obs}, "degree_C", "temperature",
                                    "sea_water_temperature", data_coordinates);
    s.conductivity.var = nc_data_var(f, "conductivity", NC_DOUBLE, {obs}, "mS cm-1", "conductivity",
                                     "sea_water_electrical_conductivity", data_coordinates);
    s.salinity.var = nc_data_var(f, "salinity", NC_DOUBLE, {obs}, "1", "practical salinity (PSS-78)",
                                 "sea_water_practical_salinity", data_coordinates);
    s.fluorescence.var = nc_data_var(f, "fluorescence", NC_DOUBLE, {obs}, "1", "fluorescence: raw count x 0.001",
                                     nullptr, data_coordinates);
    s.light.var =
        nc_data_var(f, "light", NC_DOUBLE, {obs}, "1", "light: e^(raw count x 0.001)", nullptr, data_coordinates);
    nc_text_att(f, s.light.var, "comment", "_FillValue where the logger recorded no reading (raw 0xFFFF)");
    s.supply_voltage.var =
        nc_data_var(f, "supply_voltage", NC_INT, {obs}, "mV", "supply voltage of the packet (0 in packets without one)",
                    nullptr, data_coordinates);
    if (s.station_ids.length() > 0) {
        const int station = nc_dim(f, "station", s.station_ids.length());
        s.station_ids.var = nc_var(f, "station_id", NC_INT, {station});
        nc_text_att(f, s.station_ids.var, "long_name", "packet identifier (signed 32-bit)");
        nc_text_att(f, s.station_ids.var, "cf_role", "timeseries_id");
        nc_lat_lon_vars(f, station, s.positions.lat.var, s.positions.lon.var);
    }
    nc_global_atts(f, s.meta, description, s.times, s.positions.bounds);
    nc_end_define(f);
}

}  // namespace
}  // namespace detail

packet_netcdf_writer::packet_netcdf_writer(std::string path, netcdf_metadata meta)
    : state_(std::make_unique<detail::packet_netcdf_state>()) {
    state_->file.final_path = std::move(path);
    state_->meta = std::move(meta);
}

packet_netcdf_writer::~packet_netcdf_writer() {
    if (!state_->finished) detail::nc_abandon(state_->file);
}

void packet_netcdf_writer::sample(const packet_row& row) {
    detail::packet_netcdf_state& s = *state_;
    if (!s.begun) {
        s.begun = true;
        if (s.file.writing && detail::nc_begin(s.file, s.file.final_path)) detail::define(s);
    }
    if (!s.file.ok()) return;
    const auto t = static_cast<double>(row.time);
    if (s.last_station < 0 || row.id != s.last_id) {
        const auto found = s.station_of_id.find(row.id);
        if (found == s.station_of_id.end()) {
            s.last_station = static_cast<int>(s.station_ids.size());
            s.station_of_id.emplace(row.id, s.last_station);
            s.station_ids.push(static_cast<int>(row.id));  // the ID as the table prints it: signed
            s.positions.add(s.meta.positions, t);
        } else {
            s.last_station = found->second;
        }
        s.last_id = row.id;
    }
    s.times.add(t);
    s.time.push(t);
    s.station_index.push(s.last_station);
    s.pressure.push(row.pressure);
    s.temperature.push(row.temperature);
    s.conductivity.push(row.conductivity);
    s.salinity.push(row.salinity);
    s.fluorescence.push(row.fluorescence);
    s.light.push(row.raw_light == no_light ? NC_FILL_DOUBLE : row.light);
    s.supply_voltage.push(row.mV);
}

void packet_netcdf_writer::start_writing() {
    detail::packet_netcdf_state& s = *state_;
    detail::nc_start_writing(s.file);
    s.begun = false;
    // The stations are numbered again, in the same order.
    s.station_of_id.clear();
    s.last_station = -1;
}

bool packet_netcdf_writer::finish(bool table_written, std::string& error) {
    detail::packet_netcdf_state& s = *state_;
    s.finished = true;
    if (!table_written || !s.file.writing) {
        detail::nc_abandon(s.file);
        return true;
    }
    if (!s.begun && detail::nc_begin(s.file, s.file.final_path)) detail::define(s);
    if (s.file.ok() && detail::nc_commit(s.file)) return true;
    detail::nc_abandon(s.file);
    error = s.file.error;
    return false;
}

}  // namespace vandrel
