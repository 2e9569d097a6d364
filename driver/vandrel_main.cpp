// vandrel: turns a logger's packet file into a tab-separated table, and on
// request also a CF netCDF file and a quick-look report.
//   vandrel [OPTIONS] [--] filename {offset}
//   vandrel --batch [OPTIONS] INPUT...
// In a single-file run options are recognised only before the file name;
// the offset argument is accepted for compatibility and has no effect. The
// historic console lines go to standard output; new messages go to
// standard error.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/batch.h"
#include "driver/command_line.h"
#include "driver/earlier_outputs.h"
#include "driver/out_name.h"
#include "driver/output_options.h"
#include "driver/progress_bar.h"
#include "netcdf/packet_netcdf_writer.h"
#include "packet/packet_records.h"
#include "platform/arguments.h"
#include "platform/child_process.h"
#include "platform/file_names.h"
#include "platform/interrupt.h"
#include "report/report_writer.h"
#include "text/extract_packet_file.h"

namespace {

constexpr char help_text[] =
    "usage: vandrel [--netcdf [--position LAT,LON | --track FILE]] [--metadata FILE] [--report]\n"
    "               [--output-dir DIR] [--threads N] [--quiet] [--] FILE [OFFSET]\n"
    "       vandrel --batch [OPTIONS] [--jobs N] [--summary FILE] [--recursive] INPUT...\n"
    "\n"
    "Turns the packet file FILE into the table NAME_extracted.txt, NAME being FILE\n"
    "with its file name cut at \"_compressed.dat\", else at \"_debug.txt\", else at\n"
    "its last '.'. OFFSET is accepted and has no effect.\n"
    "\n"
    "  --netcdf               also write the table as a CF netCDF file, NAME_extracted.nc\n"
    "  --position LAT,LON     the deployment position, for the netCDF file\n"
    "  --track FILE           positions from a CSV track (time,latitude,longitude)\n"
    "  --metadata FILE        the deployment's attributes (name = value lines) for the\n"
    "                         netCDF file and the report\n"
    "  --report               also write the quick-look page NAME_report.html\n"
    "  --output-dir DIR       write the outputs in DIR (made if missing), named from\n"
    "                         the input's file name alone\n"
    "  --threads N            threads that decode and write at once (default: one for\n"
    "                         the decoding and one per output, at least one per\n"
    "                         processor; 1 does all in one)\n"
    "  --quiet                no progress bar\n"
    "  --batch                process every INPUT as FILE; a folder stands for the\n"
    "                         files in it, sorted by name\n"
    "  --jobs N               with --batch, N inputs at a time (default: one per processor)\n"
    "  --summary FILE         with --batch, also write a CSV line per input to FILE\n"
    "  --recursive            with --batch, also the files in the folders of a folder\n"
    "  --help                 show this text\n"
    "  --version              show the versions of vandrel, netCDF-C and uPlot\n"
    "\n"
    "Exit status: 0 done (also when no data was found), 1 failure (with --batch: of\n"
    "an input), 2 inputs of a batch that cannot run together, 130 interrupted.\n";

void print_usage() { std::printf("\n\nUsage: vandrel filename {offset}\n"); }

// The further outputs of a run, each a writer of the extraction's records.
struct packet_outputs {
    std::unique_ptr<vandrel::packet_netcdf_writer> netcdf;
    std::string netcdf_path;
    vandrel::netcdf_metadata netcdf_meta;
    std::unique_ptr<vandrel::packet_report_writer> report;
    std::string report_path;
};

// The netCDF file's first reading. With threads, the second half of the
// packets is read at the same time, in a thread and a writer of its own:
// the other writers wait for this reading, so it may take both processors.
void shape_netcdf(const vandrel::packet_file_request& request, packet_outputs& out) {
    vandrel::packet_netcdf_writer& netcdf = *out.netcdf;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(request.in_fname), ec);
    const uint64_t half = ec || request.threads <= 1 ? 0 : size / vandrel::packet_size / 2 * vandrel::packet_size;
    if (half == 0) {
        vandrel::extract_packet_records(request.in_fname, request.now, netcdf, false);
    } else {
        vandrel::packet_netcdf_writer later(out.netcdf_path, out.netcdf_meta);
        std::thread second(
            [&] { vandrel::count_packet_records(request.in_fname, request.now, later, half, UINT64_MAX); });
        vandrel::count_packet_records(request.in_fname, request.now, netcdf, 0, half);
        second.join();
        netcdf.add_counts(later);
    }
    netcdf.start_writing();
}

// The progress bar, fed by the extraction's records: the packets' positions
// in the file and the rows.
class progress_writer final : public vandrel::packet_record_sink {
public:
    explicit progress_writer(uint64_t size) : bar_(size) {}
    void packet(const vandrel::packet_info& info) override { bar_.update(info.byte_offset, rows_); }
    void sample(const vandrel::packet_row& /*row*/) override { ++rows_; }
    void clear() { bar_.clear(); }

private:
    vandrel::progress_bar bar_;
    uint64_t rows_ = 0;
};

struct command_line {
    vandrel::output_options outputs;
    vandrel::batch_options batch;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> forward;  // the single-file options, for each run of a batch
    std::vector<std::string> inputs;
};

// Options before the first operand (anywhere with --batch); false with the
// reason in error.
bool parse(const std::vector<std::string>& args, command_line& c, std::string& error) {
    bool only_operands = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool option = !only_operands && a.size() > 1 && a[0] == '-';
        if (!option) {
            c.inputs.push_back(a);
            // A single file: the rest is the ignored offset.
            if (!c.batch.batch) break;
            continue;
        }
        const vandrel::option_result r =
            vandrel::take_shared_option(args, i, false, c.outputs, c.batch, c.forward, error);
        if (r == vandrel::option_result::bad) return false;
        if (r == vandrel::option_result::taken) continue;
        if (a == "--") {
            only_operands = true;
            continue;
        }
        bool* flag = a == "--help" || a == "-h" ? &c.help
                     : a == "--version"         ? &c.version
                     : a == "--quiet"           ? &c.quiet
                                                : nullptr;
        if (flag == nullptr) {
            error = "unknown option " + a;
            return false;
        }
        *flag = true;
        c.forward.push_back(a);
    }
    if (error = vandrel::check_output_options(c.outputs); !error.empty()) return false;
    error = vandrel::check_batch_options(c.batch);
    return error.empty();
}

std::vector<std::string> outputs_of(const std::string& input, const std::string& dir) {
    return vandrel::packet_output_names(vandrel::name_in_output_dir(input, dir));
}

// The samples that a run wrote, from its console text.
std::vector<std::string> samples_of(const std::string& console) {
    const std::string mark = "Completed: Wrote ";
    const std::size_t at = console.rfind(mark);
    if (at == std::string::npos) return {"0"};
    return {console.substr(at + mark.size(), console.find(' ', at + mark.size()) - at - mark.size())};
}

std::string no_end_offset(const std::string& /*console*/) { return std::string(); }

int run_file(const command_line& c, const std::vector<std::string>& args) {
    const std::string& in_fname = c.inputs[0];
    const std::string base = vandrel::name_in_output_dir(in_fname, c.batch.output_dir);
    const std::string out_fname = vandrel::make_out_fname("_extracted.txt", base);
    const vandrel::output_options& o = c.outputs;
    if (o.netcdf && !vandrel::can_read_twice(in_fname)) {
        // The netCDF file is shaped by a first reading, which would use up
        // a pipe and leave the table a header line.
        std::fflush(stdout);
        std::fprintf(stderr,
                     "vandrel: --netcdf reads the input twice, and %s cannot be read twice (a pipe or a "
                     "terminal): give a regular file\n",
                     in_fname.c_str());
        return 1;
    }
    if (!c.batch.output_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::u8path(c.batch.output_dir), ec);
    }
    const std::vector<vandrel::output_state> before = vandrel::look_at_outputs(vandrel::packet_output_names(base));

    packet_outputs out;
    if (o.netcdf || o.report) {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        const vandrel::run_description run = vandrel::describe_run("vandrel", rest, in_fname);
        if (o.netcdf) {
            vandrel::netcdf_metadata meta;
            std::string error;
            if (!vandrel::netcdf_metadata_for(o, run, meta, error)) {
                vandrel::print_usage_error("vandrel", error);
                return 1;
            }
            if (meta.positions.kind == vandrel::position_source::none)
                std::fprintf(stderr, "vandrel: %s\n", vandrel::no_positions_note);
            out.netcdf_path = vandrel::make_out_fname("_extracted.nc", base);
            out.netcdf = std::make_unique<vandrel::packet_netcdf_writer>(out.netcdf_path, meta);
            out.netcdf_meta = meta;
        }
        if (o.report) {
            out.report_path = vandrel::make_out_fname("_report.html", base);
            out.report =
                std::make_unique<vandrel::packet_report_writer>(out.report_path, vandrel::report_metadata_for(run, o));
        }
    }
    std::unique_ptr<progress_writer> progress;
    if (!c.quiet && vandrel::stderr_is_terminal()) {
        std::error_code ec;
        const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(in_fname), ec);
        progress = std::make_unique<progress_writer>(ec ? 0 : static_cast<uint64_t>(size));
    }

    std::printf("\nProcessing %s", in_fname.c_str());
    std::fflush(stdout);
    vandrel::packet_file_request request;
    request.in_fname = in_fname;
    request.out_fname = out_fname;
    request.now = vandrel::current_utc_seconds();
    request.threads = vandrel::run_threads(o, vandrel::packet_table_ways + (out.netcdf ? 1 : 0) + (out.report ? 1 : 0));
    request.progress = progress.get();
    if (out.netcdf) {
        // The netCDF file is shaped by a first reading of the input, which
        // needs the samples' IDs, times and pressures only: in the netCDF
        // writer's own thread while the table is written, or first.
        vandrel::packet_netcdf_writer& netcdf = *out.netcdf;
        auto shape = [&out, &request] { shape_netcdf(request, out); };
        request.writers.push_back(&netcdf);
        request.prepare.push_back(shape);
        if (request.threads <= 1) {
            shape();
            request.prepare.clear();
        }
    }
    if (out.report) request.writers.push_back(out.report.get());
    // An interrupt in a first reading of its own leaves the table as it was.
    const int n = vandrel::interrupt_requested() ? 0 : vandrel::extract_packet_file(request);
    if (progress) progress->clear();
    int status = 0;
    if (vandrel::interrupt_requested()) {
        // The table ends after its last whole row; the further outputs,
        // unfinished, go with their temporary files.
        std::printf("\n");
        std::fflush(stdout);
        std::fprintf(stderr, "vandrel: interrupted after %d samples; %s holds the rows written before it\n",
                     n < 0 ? 0 : n, out_fname.c_str());
        return vandrel::exit_interrupted;
    }
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
        std::printf("Error: cannot write %s: %s\n", out.netcdf_path.c_str(), error.c_str());
        status = 1;
    }
    if (out.report && !out.report->finish(table_written, error)) {
        std::printf("Error: cannot write %s: %s\n", out.report_path.c_str(), error.c_str());
        status = 1;
    }
    std::vector<std::string> written, earlier;
    vandrel::sort_outputs(before, written, earlier);
    if (!earlier.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "vandrel: %s\n", vandrel::earlier_outputs_warning(earlier).c_str());
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    vandrel::catch_interrupts();
    std::vector<std::string> args = vandrel::utf8_arguments(argc, argv);
    command_line c;
    std::string error;
    std::vector<std::string> value_options = {"--position", "--track", "--threads"};
    for (const std::string& v : vandrel::batch_value_options()) value_options.push_back(v);
    // With --batch, options may follow the inputs too.
    const bool options_first = std::find(args.begin(), args.end(), "--batch") == args.end();
    if (!vandrel::split_option_values(args, value_options, options_first, error) || !parse(args, c, error)) {
        std::printf("\nvandrel v2");
        vandrel::print_usage_error("vandrel", error);
        return 1;
    }
    if (c.help || c.version) {
        std::fputs(c.help ? help_text : vandrel::version_text("vandrel").c_str(), stdout);
        return 0;
    }
    if (c.batch.batch) {
        vandrel::batch_command command;
        command.program = "vandrel";
        command.path = vandrel::own_program_path(args[0]);
        command.options = c.forward;
        command.outputs = outputs_of;
        command.row_columns = {"samples"};
        command.rows = samples_of;
        command.end_offset = no_end_offset;
        return vandrel::run_batch(command, c.batch, c.inputs);
    }
    std::printf("\nvandrel v2");
    if (c.inputs.empty()) {
        print_usage();
        return 1;
    }
    return run_file(c, args);
}
