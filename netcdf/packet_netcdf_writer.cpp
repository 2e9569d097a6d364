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
    int obs = -1;
    int crs = -1;
    std::size_t rows_written = 0;
    nc_column<double> time, pressure, temperature, conductivity, salinity, fluorescence, light;
    nc_column<int> station_index, supply_voltage;
    // The stations in order of their first sample: ID and first time.
    std::unordered_map<uint32_t, int> station_of_id;
    std::vector<int> station_ids;
    std::vector<double> station_first_time;
    time_span times;
};

namespace {

constexpr const char* data_coordinates = "time lat lon";
// Room for the stations' values: a 128-byte packet adds at most one station
// of 20 bytes.
constexpr uint64_t values_share = 6;

void begin(packet_netcdf_state& s) {
    s.begun = true;
    nc_output& f = s.file;
    if (!nc_begin(f, f.final_path)) return;
    s.obs = nc_dim(f, "obs", NC_UNLIMITED);
    s.crs = nc_crs_var(f);
    s.time.var = nc_time_var(f, "time", s.obs, "time of the sample");
    s.station_index.var = nc_index_var(f, "station_index", s.obs, "index of the station (packet ID) of the sample");
    nc_text_att(f, s.station_index.var, "instance_dimension", "station");
    s.pressure.var = nc_data_var(f, "pressure", NC_DOUBLE, {s.obs}, "dbar", "sea pressure",
                                 "sea_water_pressure_due_to_sea_water", data_coordinates);
    nc_text_att(f, s.pressure.var, "positive", "down");
    s.temperature.var = nc_data_var(f, "temperature", NC_DOUBLE, {s.obs}, "degree_C", "temperature",
                                    "sea_water_temperature", data_coordinates);
    s.conductivity.var = nc_data_var(f, "conductivity", NC_DOUBLE, {s.obs}, "mS cm-1", "conductivity",
                                     "sea_water_electrical_conductivity", data_coordinates);
    s.salinity.var = nc_data_var(f, "salinity", NC_DOUBLE, {s.obs}, "1", "practical salinity (PSS-78)",
                                 "sea_water_practical_salinity", data_coordinates);
    s.fluorescence.var = nc_data_var(f, "fluorescence", NC_DOUBLE, {s.obs}, "1", "fluorescence: raw count x 0.001",
                                     nullptr, data_coordinates);
    s.light.var =
        nc_data_var(f, "light", NC_DOUBLE, {s.obs}, "1", "light: e^(raw count x 0.001)", nullptr, data_coordinates);
    nc_text_att(f, s.light.var, "comment", "_FillValue where the logger recorded no reading (raw 0xFFFF)");
    s.supply_voltage.var =
        nc_data_var(f, "supply_voltage", NC_INT, {s.obs}, "mV",
                    "supply voltage of the packet (0 in packets without one)", nullptr, data_coordinates);
    nc_global_atts(f, s.meta, "Samples of the packet file",
                   "Samples decoded from the packets of an oceanographic logger: pressure, temperature, "
                   "conductivity, practical salinity, fluorescence, light and supply voltage, one time series "
                   "per packet identifier.",
                   "timeSeries",
                   "sea water pressure, sea water temperature, sea water electrical conductivity, "
                   "sea water practical salinity, fluorescence, light");
    if (nc_end_first_define(f, s.meta.source_size, values_share))
        f.check(nc_put_var_int(f.ncid, s.crs, &s.crs), "nc_put_var");
}

void flush(packet_netcdf_state& s) {
    const std::size_t first = s.rows_written;
    s.rows_written += s.time.values.size();
    for (auto* c : {&s.time, &s.pressure, &s.temperature, &s.conductivity, &s.salinity, &s.fluorescence, &s.light})
        c->flush(s.file, first);
    s.station_index.flush(s.file, first);
    s.supply_voltage.flush(s.file, first);
}

void write_stations(packet_netcdf_state& s) {
    nc_output& f = s.file;
    if (!f.check(nc_redef(f.ncid), "nc_redef")) return;
    int station_id = -1, lat = -1, lon = -1;
    if (!s.station_ids.empty()) {
        const int station = nc_dim(f, "station", s.station_ids.size());
        station_id = nc_var(f, "station_id", NC_INT, {station});
        nc_text_att(f, station_id, "long_name", "packet identifier (signed 32-bit)");
        nc_text_att(f, station_id, "cf_role", "timeseries_id");
        nc_lat_lon_vars(f, station, lat, lon);
    }
    nc_final_global_atts(f, s.meta, s.times, s.station_first_time);
    if (!f.check(nc_enddef(f.ncid), "nc_enddef")) return;
    nc_put_all(f, station_id, s.station_ids);
    nc_put_positions(f, lat, lon, s.meta.positions, s.station_first_time);
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
    if (!s.begun) detail::begin(s);
    if (!s.file.ok()) return;
    const auto found = s.station_of_id.find(row.id);
    int station = 0;
    if (found == s.station_of_id.end()) {
        station = static_cast<int>(s.station_ids.size());
        s.station_of_id.emplace(row.id, station);
        s.station_ids.push_back(static_cast<int>(row.id));  // the ID as the table prints it: signed
        s.station_first_time.push_back(static_cast<double>(row.time));
    } else {
        station = found->second;
    }
    const auto t = static_cast<double>(row.time);
    s.times.add(t);
    s.time.values.push_back(t);
    s.station_index.values.push_back(station);
    s.pressure.values.push_back(row.pressure);
    s.temperature.values.push_back(row.temperature);
    s.conductivity.values.push_back(row.conductivity);
    s.salinity.values.push_back(row.salinity);
    s.fluorescence.values.push_back(row.fluorescence);
    s.light.values.push_back(row.raw_light == no_light ? NC_FILL_DOUBLE : row.light);
    s.supply_voltage.values.push_back(row.mV);
    if (s.time.values.size() == detail::rows_per_write) detail::flush(s);
}

bool packet_netcdf_writer::finish(bool table_written, std::string& error) {
    detail::packet_netcdf_state& s = *state_;
    s.finished = true;
    if (!table_written) {
        detail::nc_abandon(s.file);
        return true;
    }
    if (!s.begun) detail::begin(s);
    if (s.file.ok()) detail::flush(s);
    if (s.file.ok()) detail::write_stations(s);
    if (s.file.ok() && detail::nc_commit(s.file)) return true;
    detail::nc_abandon(s.file);
    error = s.file.error;
    return false;
}

}  // namespace vandrel
