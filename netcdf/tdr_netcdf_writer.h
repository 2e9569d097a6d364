// The TDR stream's tables as CF-1.10 netCDF files, one beside each text
// table that was written. The positions decide the files' discrete sampling
// geometry: with a fixed position the sample series are time series, along
// a track trajectories (each sample at the track's position at its time);
// without positions the files make no such claim and have no latitude or
// longitude.
//   PREFIX_tdr.nc     the TDR rows, each channel under a fixed name, and
//                     each row's run (an index into PREFIX_events.nc).
//   PREFIX_events.nc  the runs, haul-outs and wet/dry changes, each on its
//                     own dimension with its time; no featureType.
//   PREFIX_dives.nc   with the dive table, the dives; no featureType.
//   PREFIX_ctd.nc     profile: one profile per cast (at the position of its
//                     first sample), a contiguous ragged array (row_size,
//                     sample_dimension "obs"), pressure the vertical
//                     coordinate.
//   PREFIX_acc.nc     one time series or trajectory per burst, an indexed
//                     ragged array (burst_index, instance_dimension "burst").
//   PREFIX_gps.nc     the GPS records as decoded: time and satellite count
//                     per fix, the (satellite, value) readings on their own
//                     dimension. They are not positions: no featureType.
// The info block's firmware, intervals and calibration become global
// attributes of each file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dives/dive_record.h"
#include "netcdf/netcdf_metadata.h"
#include "tdr/tdr_records.h"

namespace vandrel {

namespace detail {
struct tdr_netcdf_state;
}

// A file that could not be written, and why.
struct netcdf_failure {
    std::string path;
    std::string error;
};

class tdr_netcdf_writer : public tdr_record_sink, public dive_sink {
public:
    tdr_netcdf_writer(std::string prefix, netcdf_metadata meta, bool with_dives);
    ~tdr_netcdf_writer() override;
    tdr_netcdf_writer(const tdr_netcdf_writer&) = delete;
    tdr_netcdf_writer& operator=(const tdr_netcdf_writer&) = delete;

    // Every file the writer may make for prefix.
    static std::vector<std::string> file_names(const std::string& prefix, bool with_dives);

    bool tdr_table(const tdr_table_info& info) override;
    void tdr_run(const tdr_run_info& run) override;
    void tdr_sample(const tdr_row& row) override;
    void tdr_samples(const tdr_row* rows, std::size_t n) override;
    void haulout(const haulout_event& event) override;
    void wetdry(const wetdry_event& event) override;
    bool ctd_table(const ctd_channel_set& channels) override;
    void ctd_cast(const ctd_cast_info& cast) override;
    void ctd_sample(const ctd_row& row) override;
    bool acc_table() override;
    void acc_burst(const acc_burst_info& burst) override;
    void acc_sample(const acc_row& row) override;
    void acc_samples(const acc_row* rows, std::size_t n) override;
    bool gps_table() override;
    void gps(const gps_record& record) override;
    void info(const info_values& values) override;
    void dive(const dive_record& record) override;

    // The input is read twice, its records handed to the writer each time
    // in the same order: the first reading gives the files' shape, the
    // second their values. Call this between the two.
    void start_writing();

    // Completes the files whose tables were begun (tdr_table(), ctd_table(),
    // acc_table(), gps_table() were called). False when any failed: each
    // such file is in failures, and none of it is left on disk.
    bool finish(std::vector<netcdf_failure>& failures);

private:
    std::unique_ptr<detail::tdr_netcdf_state> state_;
};

}  // namespace vandrel
