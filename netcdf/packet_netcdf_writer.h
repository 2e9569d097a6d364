// The packet file's samples as a CF-1.10 netCDF file: one time series per
// packet ID at a fixed position, one trajectory per ID along a track (each
// sample at the track's position at its time), or without positions no
// discrete sampling geometry. An ID may recur anywhere in the file, so the
// samples form an indexed ragged array: each sample carries the index of
// its ID (packet_index, instance_dimension "packet").
#pragma once

#include <memory>
#include <string>

#include "netcdf/netcdf_metadata.h"
#include "packet/packet_records.h"

namespace vandrel {

namespace detail {
struct packet_netcdf_state;
}

class packet_netcdf_writer : public packet_record_sink {
public:
    packet_netcdf_writer(std::string path, netcdf_metadata meta);
    ~packet_netcdf_writer() override;
    packet_netcdf_writer(const packet_netcdf_writer&) = delete;
    packet_netcdf_writer& operator=(const packet_netcdf_writer&) = delete;

    void sample(const packet_row& row) override;
    void samples(const packet_row* rows, std::size_t n) override;

    // The input is read twice, its samples handed to the writer each time
    // in the same order: the first reading gives the file's shape, the
    // second its values. Call this between the two.
    void start_writing();

    // The first reading in parts read at once: later, a writer of the same
    // path and metadata, counted the samples that follow this one's. Its
    // counts join this writer's as if it had counted them itself.
    void add_counts(const packet_netcdf_writer& later);

    // Completes and renames the file; when table_written is false (no text
    // table was written) removes what was begun and writes nothing. False on
    // error, with the library's message in error.
    bool finish(bool table_written, std::string& error);

private:
    std::unique_ptr<detail::packet_netcdf_state> state_;
};

}  // namespace vandrel
