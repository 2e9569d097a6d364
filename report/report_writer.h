// The quick-look report: one HTML page of plots and a summary, written
// beside the tables. It opens offline in any current browser: the plotting
// library, the page script and the data are all inside the file.
//
// The writers receive the decoders' records as they stream in and keep only
// bounded summaries of them (decimator.h), so the page stays small and quick
// to open whatever the input size; the page says which plots are decimated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dives/dive_record.h"
#include "packet/packet_records.h"
#include "tdr/tdr_records.h"

namespace vandrel {

struct report_metadata {
    std::string source_name;  // input file name as given
    uint64_t source_size = 0;
    std::string version;       // e.g. "vandrel 2.1.0"
    int64_t date_created = 0;  // seconds since 1970 UTC (SOURCE_DATE_EPOCH when set)
    std::string title;         // the deployment's, when given; else the page names the input
    std::string creator;       // who made the data, when given
};

namespace detail {
struct packet_report_state;
struct tdr_report_state;
}  // namespace detail

// The report of a packet file: pressure, temperature, salinity, fluorescence
// and light against time (a colour per packet ID), temperature and salinity
// against pressure, a temperature-salinity diagram and the summary.
class packet_report_writer : public packet_record_sink {
public:
    packet_report_writer(std::string path, report_metadata meta);
    ~packet_report_writer() override;
    packet_report_writer(const packet_report_writer&) = delete;
    packet_report_writer& operator=(const packet_report_writer&) = delete;

    void packet(const packet_info& info) override;
    void sample(const packet_row& row) override;
    void skipped(packet_skip why, uint64_t byte_offset) override;

    // Writes the page when table_written (atomically: whole or not at all).
    // False with the reason in error when it cannot be written.
    bool finish(bool table_written, std::string& error);

private:
    std::unique_ptr<detail::packet_report_state> state_;
};

struct tdr_run_summary {  // what the command knows at the end
    uint32_t tdr_rows = 0;
    uint32_t ctd_rows = 0;
    uint32_t gps_fixes = 0;
    uint32_t acc_rows = 0;
    uint32_t end_offset = 0;
    bool ok = true;
    std::string error;    // the decoder's final message
    std::string warning;  // a decoding that ended early without an error
};

// The report of a TDR stream: depth (with haul-outs, wet/dry changes and,
// with dives on, each dive's start, end and deepest point), temperature, the
// CTD casts' profiles and temperature-salinity diagram, accelerometer
// bursts, GPS record times, the summary with every message of the decoder,
// and with dives on the dive table and its distributions.
class tdr_report_writer : public tdr_record_sink, public dive_sink {
public:
    tdr_report_writer(std::string path, report_metadata meta, bool with_dives);
    ~tdr_report_writer() override;
    tdr_report_writer(const tdr_report_writer&) = delete;
    tdr_report_writer& operator=(const tdr_report_writer&) = delete;

    bool tdr_table(const tdr_table_info& info) override;
    void tdr_run(const tdr_run_info& info) override;
    void tdr_sample(const tdr_row& row) override;
    void haulout(const haulout_event& event) override;
    void wetdry(const wetdry_event& event) override;
    bool ctd_table(const ctd_channel_set& channels) override;
    void ctd_cast(const ctd_cast_info& info) override;
    void ctd_sample(const ctd_row& row) override;
    bool acc_table() override;
    void acc_burst(const acc_burst_info& info) override;
    void acc_sample(const acc_row& row) override;
    void acc_samples(const acc_row* rows, std::size_t n) override;
    bool gps_table() override;
    void gps(const gps_record& record) override;
    void info(const info_values& values) override;
    void tdr_table_line(const char* text) override;
    void message(uint32_t byte_offset, const char* text) override;
    void dive(const dive_record& d) override;

    // Writes the page when some table was written (atomically). False with
    // the reason in error when it cannot be written.
    bool finish(const tdr_run_summary& summary, std::string& error);

private:
    std::unique_ptr<detail::tdr_report_state> state_;
};

}  // namespace vandrel
