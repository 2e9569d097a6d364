// vandrel: turns a logger's packet file into a tab-separated table, and on
// request also a CF netCDF file and a quick-look report.
//   vandrel [--netcdf] [--report] [--position LAT,LON | --track FILE] [--metadata FILE] [--] filename {offset}
// Options are recognised only before the file name; the offset argument is
// accepted for compatibility and has no effect.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "driver/out_name.h"
#include "driver/output_options.h"
#include "netcdf/packet_netcdf_writer.h"
#include "packet/packet_records.h"
#include "platform/arguments.h"
#include "platform/file_names.h"
#include "report/report_writer.h"
#include "text/extract_packet_file.h"

namespace {

void print_usage() { std::printf("\n\nUsage: vandrel filename {offset}\n"); }

// A usage error in the further outputs' options: the historic usage text
// on standard output, the error and the options on standard error.
void option_error(const std::string& error) {
    std::fprintf(stderr, "vandrel: %s\nvandrel: %s\n", error.c_str(), vandrel::output_options_usage);
    print_usage();
}

// The further outputs of a run, each a writer of the extraction's records.
struct packet_outputs {
    std::unique_ptr<vandrel::packet_netcdf_writer> netcdf;
    std::string netcdf_path;
    std::unique_ptr<vandrel::packet_report_writer> report;
    std::string report_path;
    vandrel::packet_record_fanout fanout;
};

}  // namespace

int main(int argc, char** argv) {
    std::printf("\nvandrel v2");
    const std::vector<std::string> args = vandrel::utf8_arguments(argc, argv);

    vandrel::output_options o;
    std::size_t first = 1;
    for (; first < args.size() && args[first].size() > 2 && args[first].compare(0, 2, "--") == 0; ++first) {
        std::string error;
        const vandrel::option_result r = vandrel::take_output_option(args, first, false, o, error);
        if (r == vandrel::option_result::not_mine) error = "unknown option " + args[first];
        if (r != vandrel::option_result::taken) {
            option_error(error);
            return 1;
        }
    }
    if (first < args.size() && args[first] == "--") ++first;
    if (first >= args.size()) {
        print_usage();
        return 1;
    }
    if (const std::string error = vandrel::check_output_options(o); !error.empty()) {
        option_error(error);
        return 1;
    }

    const std::string& in_fname = args[first];
    const std::string out_fname = vandrel::make_out_fname("_extracted.txt", in_fname);

    packet_outputs out;
    if (o.netcdf || o.report) {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        const vandrel::run_description run = vandrel::describe_run("vandrel", rest, in_fname);
        if (o.netcdf) {
            vandrel::netcdf_metadata meta;
            std::string error;
            if (!vandrel::netcdf_metadata_for(o, run, meta, error)) {
                option_error(error);
                return 1;
            }
            if (meta.positions.kind == vandrel::position_source::none)
                std::fprintf(stderr, "vandrel: %s\n", vandrel::no_positions_note);
            out.netcdf_path = vandrel::make_out_fname("_extracted.nc", in_fname);
            out.netcdf = std::make_unique<vandrel::packet_netcdf_writer>(out.netcdf_path, meta);
            out.fanout.add(out.netcdf.get());
        }
        if (o.report) {
            out.report_path = vandrel::make_out_fname("_report.html", in_fname);
            out.report =
                std::make_unique<vandrel::packet_report_writer>(out.report_path, vandrel::report_metadata_for(run, o));
            out.fanout.add(out.report.get());
        }
    }

    std::printf("\nProcessing %s", in_fname.c_str());
    const int64_t now = vandrel::current_utc_seconds();
    if (out.netcdf) {
        // The netCDF file is shaped by a first reading of the input, which
        // needs the samples' IDs and times only.
        vandrel::extract_packet_records(in_fname, now, *out.netcdf, false);
        out.netcdf->start_writing();
    }
    const int n = vandrel::extract_packet_file(in_fname, out_fname, now, out.fanout.empty() ? nullptr : &out.fanout);
    int status = 0;
    if (n == vandrel::extract_write_error) {
        std::printf("\nError: cannot write %s\n", out_fname.c_str());
        status = 1;
    } else if (n == vandrel::extract_read_error) {
        std::printf("\nError: cannot read %s\n", in_fname.c_str());
        status = 1;
    } else if (n != 0) {
        std::printf("\nCompleted: Wrote %d samples to %s\n", n, out_fname.c_str());
    } else {
        std::printf("\nNo data found\n");
    }

    // The further outputs describe the rows the table holds: none when no
    // row was written.
    const bool table_written = n != 0;
    std::string error;
    if (out.netcdf && !out.netcdf->finish(table_written, error)) {
        std::fprintf(stderr, "Error: cannot write %s: %s\n", out.netcdf_path.c_str(), error.c_str());
        status = 1;
    }
    if (out.report && !out.report->finish(table_written, error)) {
        std::fprintf(stderr, "Error: cannot write %s: %s\n", out.report_path.c_str(), error.c_str());
        status = 1;
    }
    return status;
}
