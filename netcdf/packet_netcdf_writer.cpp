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
    nc_column<int> packet_index{file}, supply_voltage{file};
    // The packet IDs in order of their first sample.
    std::unordered_map<uint32_t, int> index_of_id;
    // The ID of the last sample: a packet's samples share it.
    int last_index = -1;
    uint32_t last_id = 0;
    nc_column<int> packet_ids{file};
    // Per ID at a fixed position, per sample along a track.
    instance_positions positions{file};
    sample_positions track{file};
    nc_coverage coverage;
    // The IDs in order of their first sample, and its time.
    std::vector<std::pair<uint32_t, double>> first_seen;

    // The columns with a value per sample.
    std::vector<nc_column_base*> per_sample() {
        return {&time,  &pressure,     &temperature,    &conductivity, &salinity, &fluorescence,
                &light, &packet_index, &supply_voltage, &track.lat,    &track.lon};
    }
    // Numbers an ID first met at time t.
    void new_id(uint32_t id, double t) {
        last_index = static_cast<int>(packet_ids.size());
        index_of_id.emplace(id, last_index);
        first_seen.emplace_back(id, t);
        packet_ids.push(static_cast<int>(id));  // the ID as the table prints it: signed
        if (meta.positions.kind == position_source::fixed) positions.add(meta.positions, t);
    }
};

namespace {

constexpr nc_description description = {
    "Samples of the packet file",
    "Samples decoded from the packets of an oceanographic logger: pressure, temperature, conductivity, practical "
    "salinity, fluorescence, light and supply voltage, one series per packet identifier.",
    "oceanographic logger, sea water pressure, sea water temperature, sea water electrical conductivity, sea water "
    "practical salinity, fluorescence, light",
    "dbar"};

void define(packet_netcdf_state& s) {
    nc_output& f = s.file;
    const nc_feature feature = sample_feature(s.meta.positions);
    const bool dsg = feature != nc_feature::none, track = feature == nc_feature::trajectory;
    const std::string coordinates = dsg ? "time lat lon" : "time";
    const int obs = nc_sized_dim(f, "obs", s.time.length());
    s.time.var = nc_time_var(f, "time", obs, "time of the sample");
    s.packet_index.var = nc_index_var(f, "packet_index", obs, "index of the sample's packet ID in dimension packet");
    if (dsg)
        nc_text_att(f, s.packet_index.var, "instance_dimension", "packet");
    else
        nc_text_att(f, s.packet_index.var, "coordinates", coordinates);
    if (track) nc_lat_lon_vars(f, obs, true, s.track.lat.var, s.track.lon.var, NC_FLOAT);
    s.pressure.var = nc_data_var(f, "pressure", NC_DOUBLE, {obs}, "dbar", "sea pressure",
                                 "sea_water_pressure_due_to_sea_water", coordinates);
    s.temperature.var = nc_data_var(f, "temperature", NC_DOUBLE, {obs}, "degree_C", "temperature",
                                    "sea_water_temperature", coordinates);
    s.conductivity.var = nc_data_var(f, "conductivity", NC_DOUBLE, {obs}, "mS cm-1", "conductivity",
                                     "sea_water_electrical_conductivity", coordinates);
    s.salinity.var = nc_data_var(f, "salinity", NC_DOUBLE, {obs}, "1", "practical salinity (PSS-78)",
                                 "sea_water_practical_salinity", coordinates);
    s.fluorescence.var =
        nc_data_var(f, "fluorescence", NC_DOUBLE, {obs}, "1", "fluorescence: raw count x 0.001", nullptr, coordinates);
    s.light.var = nc_data_var(f, "light", NC_DOUBLE, {obs}, "1", "light: e^(raw count x 0.001)", nullptr, coordinates);
    nc_text_att(f, s.light.var, "comment", "_FillValue where the logger recorded no reading (raw 0xFFFF)");
    s.supply_voltage.var =
        nc_data_var(f, "supply_voltage", NC_INT, {obs}, "mV", "supply voltage of the packet (0 in packets without one)",
                    nullptr, coordinates, false);
    if (s.packet_ids.length() > 0) {
        const int packet = nc_dim(f, "packet", s.packet_ids.length());
        s.packet_ids.var = nc_index_var(f, "packet_id", packet, "packet identifier (signed 32-bit)");
        if (dsg) nc_text_att(f, s.packet_ids.var, "cf_role", track ? "trajectory_id" : "timeseries_id");
        if (feature == nc_feature::time_series)
            nc_lat_lon_vars(f, packet, false, s.positions.lat.var, s.positions.lon.var);
    }
    s.coverage.bounds = track ? s.track.bounds : s.positions.bounds;
    nc_global_atts(f, s.meta, description, feature, true, s.coverage);
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

void packet_netcdf_writer::sample(const packet_row& row) { samples(&row, 1); }

void packet_netcdf_writer::samples(const packet_row* rows, std::size_t n) {
    detail::packet_netcdf_state& s = *state_;
    if (!s.begun) {
        s.begun = true;
        if (s.file.writing && detail::nc_begin(s.file, s.file.final_path)) detail::define(s);
    }
    if (!s.file.ok()) return;
    const position_source& positions = s.meta.positions;
    // Row by row what depends on the rows before; then the values, column
    // by column.
    for (std::size_t i = 0; i < n; ++i) {
        const packet_row& row = rows[i];
        const auto t = static_cast<double>(row.time);
        if (s.last_index < 0 || row.id != s.last_id) {
            const auto found = s.index_of_id.find(row.id);
            if (found == s.index_of_id.end()) {
                s.new_id(row.id, t);
            } else {
                s.last_index = found->second;
            }
            s.last_id = row.id;
        }
        if (!s.file.writing) {
            s.coverage.times.add(t);
            s.coverage.vertical.add(row.pressure);
        }
        if (positions.kind == position_source::track) s.track.add(positions, t);
        s.packet_index.push(s.last_index);
    }
    s.time.push_each(rows, n, [](const packet_row& r) { return static_cast<double>(r.time); });
    s.pressure.push_each(rows, n, [](const packet_row& r) { return r.pressure; });
    s.temperature.push_each(rows, n, [](const packet_row& r) { return r.temperature; });
    s.conductivity.push_each(rows, n, [](const packet_row& r) { return r.conductivity; });
    s.salinity.push_each(rows, n, [](const packet_row& r) { return r.salinity; });
    s.fluorescence.push_each(rows, n, [](const packet_row& r) { return r.fluorescence; });
    s.light.push_each(rows, n, [](const packet_row& r) { return r.raw_light == no_light ? NC_FILL_DOUBLE : r.light; });
    s.supply_voltage.push_each(rows, n, [](const packet_row& r) { return static_cast<int>(r.mV); });
}

void packet_netcdf_writer::add_counts(const packet_netcdf_writer& later) {
    detail::packet_netcdf_state& s = *state_;
    detail::packet_netcdf_state& l = *later.state_;
    const std::vector<detail::nc_column_base*> mine = s.per_sample(), theirs = l.per_sample();
    for (std::size_t i = 0; i < mine.size(); ++i) mine[i]->add_count(*theirs[i]);
    for (const auto& [id, t] : l.first_seen)
        if (s.index_of_id.find(id) == s.index_of_id.end()) s.new_id(id, t);
    s.last_index = -1;
    s.coverage.times.add(l.coverage.times);
    s.coverage.vertical.add(l.coverage.vertical);
    s.track.bounds.add(l.track.bounds);
}

void packet_netcdf_writer::start_writing() {
    detail::packet_netcdf_state& s = *state_;
    detail::nc_start_writing(s.file);
    s.begun = false;
    // The IDs are numbered again, in the same order.
    s.index_of_id.clear();
    s.first_seen.clear();
    s.last_index = -1;
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
