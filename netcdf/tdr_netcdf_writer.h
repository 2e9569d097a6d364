// The TDR stream's tables as CF-1.10 netCDF files, one beside each text
// table that was written:
//   PREFIX_tdr.nc  timeSeries (one station): the TDR rows with each channel
//                  under a fixed name, the runs, haul-outs and wet/dry
//                  changes on their own dimensions, and the dives when the
//                  dive table is made.
//   PREFIX_ctd.nc  profile: one profile per cast, a contiguous ragged array
//                  (row_size, sample_dimension "obs").
//   PREFIX_acc.nc  timeSeries: one station per burst, an indexed ragged
//                  array (burst_index, instance_dimension "burst").
//   PREFIX_gps.nc  the GPS records as decoded: time and satellite count per
//                  fix, the (satellite, value) readings as a ragged array.
// The info block's firmware, intervals and calibration become global
// attributes of each file.
#pragma once

#include <memory>
#include <string>

#include "dives/dive_record.h"
#include "netcdf/netcdf_metadata.h"
#include "tdr/tdr_records.h"

namespace vandrel {

namespace detail {
struct tdr_netcdf_state;
}

class tdr_netcdf_writer : public tdr_record_sink, public dive_sink {
public:
    tdr_netcdf_writer(std::string prefix, netcdf_metadata meta, bool with_dives);
    ~tdr_netcdf_writer() override;
    tdr_netcdf_writer(const tdr_netcdf_writer&) = delete;
    tdr_netcdf_writer& operator=(const tdr_netcdf_writer&) = delete;

    bool tdr_table(const tdr_table_info& info) override;
    void tdr_run(const tdr_run_info& run) override;
    void tdr_sample(const tdr_row& row) override;
    void haulout(const haulout_event& event) override;
    void wetdry(const wetdry_event& event) override;
    bool ctd_table(const ctd_channel_set& channels) override;
    void ctd_cast(const ctd_cast_info& cast) override;
    void ctd_sample(const ctd_row& row) override;
    bool acc_table() override;
    void acc_burst(const acc_burst_info& burst) override;
    void acc_sample(const acc_row& row) override;
    bool gps_table() override;
    void gps(const gps_record& record) override;
    void info(const info_values& values) override;
    void dive(const dive_record& record) override;

    // The input is read twice, its records handed to the writer each time
    // in the same order: the first reading gives the files' shape, the
    // second their values. Call this between the two.
    void start_writing();

    // Completes the files whose tables were begun (tdr_table(), ctd_table(),
    // acc_table(), gps_table() were called). False on the first error:
    // failed_path is the .nc that failed, error the library's message.
    bool finish(std::string& failed_path, std::string& error);

private:
    std::unique_ptr<detail::tdr_netcdf_state> state_;
};

}  // namespace vandrel
