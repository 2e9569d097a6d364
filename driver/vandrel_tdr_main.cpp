// vandrel-tdr: decodes a TDR stream file into its TDR, CTD, GPS and ACC
// data files.
//
//   vandrel-tdr [OPTIONS] INPUT
//   vandrel-tdr --batch [OPTIONS] INPUT...
//
// Standard output gets one summary line at the end; errors, the usage text
// and the progress bar go to standard error. Exit status 0 on success, 1
// when decoding reported an error (or an accelerometer block overflowed), 2
// for a bad command line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "dives/dive_detector.h"
#include "dives/dive_record.h"
#include "dives/dive_table.h"
#include "driver/batch.h"
#include "driver/command_line.h"
#include "driver/earlier_outputs.h"
#include "driver/out_name.h"
#include "driver/output_options.h"
#include "driver/progress_bar.h"
#include "netcdf/tdr_netcdf_writer.h"
#include "platform/arguments.h"
#include "platform/child_process.h"
#include "platform/file_names.h"
#include "platform/interrupt.h"
#include "report/report_writer.h"
#include "tdr/tdr_record_fanout.h"
#include "text/decode_tdr_file.h"

namespace {

constexpr int exit_decode_error = 1;
using vandrel::exit_usage;

// --skip becomes the decoder's signed 32-bit start offset.
constexpr uint64_t max_skip = 2147483647;

struct options {
    std::string input;
    std::string prefix;  // empty: derived from input
    int32_t skip = 0;
    bool debug_dump = false;
    std::string debug_dump_path;  // empty: the platform's fixed path
    bool quiet = false;
    bool help = false;
    bool version = false;
    vandrel::output_options outputs;
    vandrel::batch_options batch;
    std::vector<std::string> inputs;   // one, or with --batch any number
    std::vector<std::string> forward;  // the single-file options, for each run of a batch
};

void print_help() {
    std::printf(
        "usage: vandrel-tdr [--output PREFIX | --output-dir DIR] [--skip N] [--debug-dump]\n"
        "                   [--debug-dump-path PATH] [--quiet] [--netcdf] [--report]\n"
        "                   [--position LAT,LON | --track FILE] [--metadata FILE]\n"
        "                   [--dives [--dive-threshold M] [--zero-offset M]] [--threads N]\n"
        "                   [--] INPUT\n"
        "       vandrel-tdr --batch [OPTIONS] [--jobs N] [--summary FILE] [--recursive] INPUT...\n"
        "\n"
        "Decodes the TDR stream file INPUT into PREFIX_tdr.txt, PREFIX_ctd.txt,\n"
        "PREFIX_gps.txt and PREFIX_acc.txt, each written only when the stream holds\n"
        "such blocks.\n"
        "\n"
        "  --output PREFIX        prefix of the output files; by default INPUT's file\n"
        "                         name cut at \"_compressed.dat\", else at \"_debug.txt\",\n"
        "                         else at its last '.'; ending in '/', a folder as for\n"
        "                         --output-dir\n"
        "  --output-dir DIR       write the outputs in DIR (made if missing), named from\n"
        "                         the input's file name alone\n"
        "  --skip N               start decoding N bytes into INPUT (0 to %llu)\n"
        "  --debug-dump           also list the stream's codes and their positions in\n"
        "                         %s\n"
        "  --debug-dump-path PATH list them in PATH instead\n"
        "  --quiet                no progress bar\n"
        "  --netcdf               also write each table as a CF netCDF file, PREFIX_tdr.nc,\n"
        "                         PREFIX_events.nc, PREFIX_ctd.nc, PREFIX_gps.nc,\n"
        "                         PREFIX_acc.nc (and PREFIX_dives.nc with --dives)\n"
        "  --position LAT,LON     the deployment position, for the netCDF files\n"
        "  --track FILE           positions from a CSV track (time,latitude,longitude)\n"
        "  --metadata FILE        the deployment's attributes (name = value lines) for the\n"
        "                         netCDF files and the report\n"
        "  --report               also write the quick-look page PREFIX_report.html\n"
        "  --dives                also write the dive table PREFIX_dives.txt\n"
        "  --dive-threshold M     depth in metres below which a dive begins (default 4)\n"
        "  --zero-offset M        metres taken off every depth first (default 0)\n"
        "  --threads N            threads that decode and write at once (default: one for\n"
        "                         the decoding and one per output, at least one per\n"
        "                         processor; 1 does all in one)\n"
        "  --batch                decode every INPUT; a folder stands for the files in\n"
        "                         it, sorted by name\n"
        "  --jobs N               with --batch, N inputs at a time (default: one per processor)\n"
        "  --summary FILE         with --batch, also write a CSV line per input to FILE\n"
        "  --recursive            with --batch, also the files in the folders of a folder\n"
        "  --help                 show this text\n"
        "  --version              show the versions of vandrel-tdr, netCDF-C and uPlot\n"
        "\n"
        "At the end one line goes to standard output:\n"
        "  tdr=ROWS ctd=ROWS gps=FIXES acc=ROWS end_offset=BYTES [dives=N]\n"
        "Exit status: 0 decoded, 1 decoding error (with --batch: of an input), 2 bad\n"
        "command line, 130 interrupted.\n",
        static_cast<unsigned long long>(max_skip), vandrel::default_debug_dump_path().c_str());
}

// A non-negative decimal number of at most max_skip: digits only, no sign,
// no blanks.
bool parse_skip(const char* s, int32_t& out) {
    if (*s == '\0') return false;
    uint64_t v = 0;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9') return false;
        v = v * 10 + static_cast<uint64_t>(*s - '0');
        if (v > max_skip) return false;
    }
    out = static_cast<int32_t>(v);
    return true;
}

// The options that take a value, for "--name=value".
std::vector<std::string> value_options() {
    std::vector<std::string> v = {"--output", "--skip",           "--debug-dump-path", "--position",
                                  "--track",  "--dive-threshold", "--zero-offset",     "--threads"};
    for (const std::string& b : vandrel::batch_value_options()) v.push_back(b);
    return v;
}

// Fills o from the command line; on a bad one, says why in `error`.
bool parse_command_line(const std::vector<std::string>& args, options& o, std::string& error) {
    bool only_operands = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (only_operands || a.size() < 2 || a[0] != '-') {
            o.inputs.push_back(a);
            continue;
        }
        const std::size_t start = i;
        const vandrel::option_result r =
            vandrel::take_shared_option(args, i, true, o.outputs, o.batch, o.forward, error);
        if (r == vandrel::option_result::bad) return false;
        if (r == vandrel::option_result::taken) continue;
        if (a == "--") {
            only_operands = true;
            continue;
        }
        bool* flag = a == "--help" || a == "-h" ? &o.help
                     : a == "--version"         ? &o.version
                     : a == "--debug-dump"      ? &o.debug_dump
                     : a == "--quiet"           ? &o.quiet
                                                : nullptr;
        if (flag != nullptr) {
            *flag = true;
        } else if (a == "--output" || a == "--skip" || a == "--debug-dump-path") {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (value.empty()) {
                error = "option " + a + " needs a non-empty value";
                return false;
            }
            if (a == "--output" && (value.back() == '/' || value.back() == '\\')) {
                o.batch.output_dir = value;  // a folder: as --output-dir
            } else if (a == "--output") {
                o.prefix = value;
            } else if (a == "--debug-dump-path") {
                o.debug_dump = true;
                o.debug_dump_path = value;
            } else if (!parse_skip(value.c_str(), o.skip)) {
                error = "--skip takes a byte count from 0 to 2147483647, not '" + value + "'";
                return false;
            }
        } else {
            error = "unknown option " + a;
            return false;
        }
        o.forward.insert(o.forward.end(), args.begin() + static_cast<std::ptrdiff_t>(start),
                         args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    if (o.help || o.version) return true;
    if (o.inputs.empty()) {
        error = "no INPUT given";
        return false;
    }
    if (o.inputs.size() > 1 && !o.batch.batch) {
        error = "only one INPUT may be given (--batch takes several)";
        return false;
    }
    if (!o.prefix.empty() && (o.batch.batch || !o.batch.output_dir.empty())) {
        error = o.batch.batch ? "--output names the outputs of one INPUT: use --output-dir with --batch"
                              : "--output and --output-dir exclude each other";
        return false;
    }
    if (error = vandrel::check_output_options(o.outputs); !error.empty()) return false;
    error = vandrel::check_batch_options(o.batch);
    return error.empty();
}

std::vector<std::string> outputs_of(const std::string& input, const std::string& dir) {
    return vandrel::tdr_output_names(vandrel::make_out_fname("", vandrel::name_in_output_dir(input, dir)));
}

// The value of "NAME=" in the summary line, the last line of the console.
std::string summary_value(const std::string& console, const std::string& name) {
    const std::size_t line = console.rfind("tdr=");
    if (line == std::string::npos) return std::string();
    std::istringstream fields(console.substr(line, console.find_first_of("\r\n", line) - line));
    for (std::string field; fields >> field;)
        if (field.compare(0, name.size() + 1, name + "=") == 0) return field.substr(name.size() + 1);
    return std::string();
}

std::vector<std::string> rows_of(const std::string& console) {
    std::vector<std::string> rows;
    for (const char* name : {"tdr", "ctd", "gps", "acc", "dives"}) rows.push_back(summary_value(console, name));
    return rows;
}

std::string end_offset_of(const std::string& console) { return summary_value(console, "end_offset"); }

// True when both paths exist and are one file (hard links and symbolic
// links included).
bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::u8path(a), std::filesystem::u8path(b), ec) && !ec;
}

// The progress callback has no user argument, so the bar of the run is here.
vandrel::progress_bar* active_bar = nullptr;

void show_progress(uint32_t byte_offset, uint32_t tdr_records, uint32_t ctd_records, uint32_t gps_fixes,
                   uint32_t acc_records) {
    const uint64_t rows = uint64_t{tdr_records} + ctd_records + gps_fixes + acc_records;
    active_bar->update(byte_offset, rows);
}

uint64_t input_size(const std::string& path) {
    std::error_code ec;
    const uintmax_t n = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    return ec ? 0 : static_cast<uint64_t>(n);
}

// The further outputs of a run, each a writer of the decoder's records.
struct tdr_outputs {
    std::unique_ptr<vandrel::tdr_netcdf_writer> netcdf;
    std::unique_ptr<vandrel::tdr_report_writer> report;
    std::unique_ptr<vandrel::dive_table_writer> dive_table;
    std::unique_ptr<vandrel::dive_detector> dives;
    std::string report_path;
    std::string dive_table_path;
    vandrel::dive_fanout dive_writers;
    // With writers in threads of their own, the netCDF writer and the report
    // each take the dives from a detector of their own, in their thread.
    std::unique_ptr<vandrel::dive_detector> netcdf_dives, report_dives;
    vandrel::tdr_record_fanout netcdf_group, report_group;
    std::vector<vandrel::tdr_record_sink*> writers;
};

// The writers of a run: the four text tables and the further outputs.
int writers_of(const vandrel::output_options& want) {
    return 3 + vandrel::acc_table_ways + (want.netcdf ? 1 : 0) + (want.report ? 1 : 0) + (want.dives ? 1 : 0);
}

// Builds the writers that the options ask for; false with the reason in
// error when an option's value cannot be used (a track file that cannot be
// read).
bool build_outputs(const options& o, const std::string& prefix, const std::vector<std::string>& args, tdr_outputs& out,
                   std::string& error) {
    const vandrel::output_options& want = o.outputs;
    if (!want.netcdf && !want.report && !want.dives) return true;
    const vandrel::run_description run = vandrel::describe_run("vandrel-tdr", args, o.input);
    const bool apart = vandrel::run_threads(want, writers_of(want)) > 1;
    // A writer and the detector of its dives, fed in one thread.
    auto group = [&](vandrel::tdr_record_fanout& g, auto& writer, std::unique_ptr<vandrel::dive_detector>& dives) {
        if (!apart) {
            out.writers.push_back(writer.get());
            out.dive_writers.add(writer.get());
            return;
        }
        g.add(writer.get());
        if (want.dives) {
            dives = std::make_unique<vandrel::dive_detector>(want.dive, *writer);
            g.add(dives.get());
        }
        out.writers.push_back(&g);
    };
    if (want.netcdf) {
        vandrel::netcdf_metadata meta;
        if (!vandrel::netcdf_metadata_for(want, run, meta, error)) {
            return false;
        }
        if (meta.positions.kind == vandrel::position_source::none)
            std::fprintf(stderr, "vandrel-tdr: %s\n", vandrel::no_positions_note);
        out.netcdf = std::make_unique<vandrel::tdr_netcdf_writer>(prefix, meta, want.dives);
        group(out.netcdf_group, out.netcdf, out.netcdf_dives);
    }
    if (want.report) {
        out.report_path = prefix + "_report.html";
        out.report = std::make_unique<vandrel::tdr_report_writer>(out.report_path,
                                                                  vandrel::report_metadata_for(run, want), want.dives);
        group(out.report_group, out.report, out.report_dives);
    }
    if (want.dives) {
        out.dive_table_path = prefix + "_dives.txt";
        out.dive_table = std::make_unique<vandrel::dive_table_writer>(out.dive_table_path);
        out.dive_writers.add(out.dive_table.get());
        out.dives = std::make_unique<vandrel::dive_detector>(want.dive, out.dive_writers);
        out.writers.push_back(out.dives.get());
    }
    return true;
}

// The netCDF files are shaped by a first reading of the stream: the same
// records, to the netCDF writer (and the dives it stores) alone, no table
// written.
// first is a copy of the run's context, taken before decoding begins.
void shape_netcdf(const options& o, vandrel::tdr_context first, vandrel::tdr_netcdf_writer& netcdf) {
    first.text_tables = false;
    first.counting = true;
    first.threads = 1;
    first.prepare.clear();
    vandrel::dive_fanout dive_writers;
    dive_writers.add(&netcdf);
    std::unique_ptr<vandrel::dive_detector> dives;
    first.writers = {&netcdf};
    if (o.outputs.dives) {
        dives = std::make_unique<vandrel::dive_detector>(o.outputs.dive, dive_writers);
        first.writers.push_back(dives.get());
    }
    vandrel::decode_tdr_file(first, nullptr, o.skip, false);
    if (dives) dives->finish();
    netcdf.start_writing();
}

// Completes the further outputs; false after printing why one failed.
bool finish_outputs(tdr_outputs& out, const vandrel::tdr_context& context, bool ok, const std::string& message,
                    const std::string& warning) {
    bool all = true;
    std::string error;
    for (vandrel::dive_detector* d : {out.netcdf_dives.get(), out.report_dives.get(), out.dives.get()})
        if (d != nullptr) d->finish();
    if (out.dive_table && !out.dive_table->finish(context.tdr_table_begun, error)) {
        std::fprintf(stderr, "Error: cannot write %s: %s\n", out.dive_table_path.c_str(), error.c_str());
        all = false;
    }
    std::vector<vandrel::netcdf_failure> failures;
    if (out.netcdf && !out.netcdf->finish(failures)) all = false;
    for (const vandrel::netcdf_failure& f : failures)
        std::fprintf(stderr, "Error: cannot write %s: %s\n", f.path.c_str(), f.error.c_str());
    if (out.report) {
        vandrel::tdr_run_summary summary;
        summary.tdr_rows = context.tdr_records;
        summary.ctd_rows = context.ctd_records;
        summary.gps_fixes = context.gps_fixes;
        summary.acc_rows = context.acc_records;
        summary.end_offset = context.end_offset;
        summary.ok = ok;
        summary.error = message;
        summary.warning = warning;
        if (!out.report->finish(summary, error)) {
            std::fprintf(stderr, "Error: cannot write %s: %s\n", out.report_path.c_str(), error.c_str());
            all = false;
        }
    }
    return all;
}

// The decoder's message without its line end.
std::string message_text(const vandrel::tdr_context& context) {
    const void* nul = std::memchr(context.message, '\0', sizeof context.message);
    const std::size_t n = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - context.message)
                                         : sizeof context.message;
    std::string message(context.message, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

}  // namespace

int main(int argc, char** argv) {
    vandrel::catch_interrupts();
    options o;
    std::string error;
    std::vector<std::string> args = vandrel::utf8_arguments(argc, argv);
    if (!vandrel::split_option_values(args, value_options(), false, error) || !parse_command_line(args, o, error)) {
        vandrel::print_usage_error("vandrel-tdr", error);
        return exit_usage;
    }
    if (o.help || o.version) {
        if (o.help)
            print_help();
        else
            std::fputs(vandrel::version_text("vandrel-tdr").c_str(), stdout);
        return 0;
    }
    if (o.batch.batch) {
        vandrel::batch_command command;
        command.program = "vandrel-tdr";
        command.path = vandrel::own_program_path(args[0]);
        command.options = o.forward;
        command.outputs = outputs_of;
        if (o.debug_dump) {
            command.shared_outputs.push_back(o.debug_dump_path.empty() ? vandrel::default_debug_dump_path()
                                                                       : o.debug_dump_path);
        }
        command.row_columns = {"tdr_rows", "ctd_rows", "gps_fixes", "acc_rows", "dives"};
        command.rows = rows_of;
        command.end_offset = end_offset_of;
        return vandrel::run_batch(command, o.batch, o.inputs);
    }
    o.input = o.inputs[0];
    if (!o.batch.output_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::u8path(o.batch.output_dir), ec);
    }

    vandrel::tdr_context context;
    const std::string prefix =
        o.prefix.empty() ? vandrel::make_out_fname("", vandrel::name_in_output_dir(o.input, o.batch.output_dir))
                         : o.prefix;
    context.in_path = o.input;
    context.tdr_path = prefix + "_tdr.txt";
    context.ctd_path = prefix + "_ctd.txt";
    context.gps_path = prefix + "_gps.txt";
    context.acc_path = prefix + "_acc.txt";
    if (o.debug_dump) {
        context.debug_dump_path = o.debug_dump_path.empty() ? vandrel::default_debug_dump_path() : o.debug_dump_path;
    }

    // An output named like the input would be truncated before it is read.
    std::vector<std::string> outputs = {context.tdr_path, context.ctd_path, context.gps_path, context.acc_path};
    if (o.outputs.netcdf) {
        for (const std::string& nc : vandrel::tdr_netcdf_writer::file_names(prefix, o.outputs.dives))
            outputs.push_back(nc);
    }
    if (o.outputs.report) outputs.push_back(prefix + "_report.html");
    if (o.outputs.dives) outputs.push_back(prefix + "_dives.txt");
    for (const std::string& out : outputs) {
        if (same_file(out, o.input) ||
            (!context.debug_dump_path.empty() && same_file(context.debug_dump_path, o.input))) {
            const std::string& which = same_file(out, o.input) ? out : context.debug_dump_path;
            vandrel::print_usage_error("vandrel-tdr", "output " + which + " is the input file");
            return exit_usage;
        }
        if (o.debug_dump && (out == context.debug_dump_path || same_file(out, context.debug_dump_path))) {
            vandrel::print_usage_error("vandrel-tdr", "the debug dump path " + out + " is also an output file");
            return exit_usage;
        }
    }

    if (o.outputs.netcdf && !vandrel::can_read_twice(o.input)) {
        // The netCDF files are shaped by a first reading, which would use up
        // a pipe and leave nothing for the tables.
        std::fprintf(stderr,
                     "vandrel-tdr: --netcdf reads INPUT twice, and %s cannot be read twice (a pipe or a "
                     "terminal): give a regular file\n",
                     o.input.c_str());
        return exit_decode_error;
    }
    const std::vector<vandrel::output_state> before = vandrel::look_at_outputs(vandrel::tdr_output_names(prefix));

    tdr_outputs out;
    if (!build_outputs(o, prefix, std::vector<std::string>(args.begin() + 1, args.end()), out, error)) {
        vandrel::print_usage_error("vandrel-tdr", error);
        return exit_usage;
    }
    context.writers = out.writers;
    context.threads = vandrel::run_threads(o.outputs, writers_of(o.outputs));

    vandrel::progress_fn callback = nullptr;
    vandrel::progress_bar bar(input_size(o.input));
    if (!o.quiet && vandrel::stderr_is_terminal()) {
        active_bar = &bar;
        callback = show_progress;
    }
    if (out.netcdf) {
        // The netCDF files are shaped by a first reading: in the netCDF
        // writer's own thread while the tables are written, or first.
        vandrel::tdr_netcdf_writer& netcdf = *out.netcdf;
        const vandrel::tdr_context first = context;
        if (context.threads > 1) {
            context.prepare = {[&o, first, &netcdf] { shape_netcdf(o, first, netcdf); }};
        } else {
            shape_netcdf(o, first, netcdf);
        }
    }
    const bool ok =
        !vandrel::interrupt_requested() && vandrel::decode_tdr_file(context, callback, o.skip, o.debug_dump);
    bar.clear();
    active_bar = nullptr;
    if (vandrel::interrupt_requested()) {
        // The tables end after their last whole row; the further outputs,
        // unfinished, go with their temporary files.
        if (o.debug_dump || context.stop_marker_printed) std::printf("\n");
        std::fflush(stdout);
        const uint64_t size = input_size(o.input);
        const std::string of = size > 0 ? " of " + std::to_string(size) : std::string();
        std::fprintf(stderr, "vandrel-tdr: interrupted at byte %lu%s; the tables hold the rows decoded before it\n",
                     static_cast<unsigned long>(context.end_offset), of.c_str());
        return vandrel::exit_interrupted;
    }
    const std::string message = message_text(context);
    // Decoding that stopped with data left undecoded is said so, here and
    // in the report; a run of an unknown regime leaves most of a file
    // undecoded and fails the run.
    std::string stop;
    if (ok && context.stopped_early) {
        stop = "decoding stopped at byte " + std::to_string(context.end_offset) + " of " +
               std::to_string(input_size(o.input)) + ", ";
        stop += context.unknown_regime ? "at a run of unknown TDR regime " + std::to_string(context.regime) +
                                             " (\"Illegal stream contents (0)\")"
                                       : "at the end code 0xFF with data other than erased flash (0xFF) after it";
        stop += "; the rest was not decoded";
    }
    const bool failed_stop = !stop.empty() && context.unknown_regime;
    const bool outputs_ok = finish_outputs(out, context, ok && !failed_stop, failed_stop ? stop : message,
                                           failed_stop ? std::string() : stop);
    std::vector<std::string> written, earlier;
    vandrel::sort_outputs(before, written, earlier);

    if (context.acc_overflow) {
        // The stream is corrupt past this point: the tables end with the
        // "ACC OVERFLOW" line, and no summary is printed.
        std::fflush(stdout);
        std::fprintf(stderr,
                     "vandrel-tdr: an accelerometer block holds more than 998 samples; decoding stopped "
                     "(ACC OVERFLOW in the TDR data file)\n");
        return exit_decode_error;
    }

    // The decoder's own console text has no line end: the positions of the
    // dump pass (one line rewritten with "\r") and the "Stop" marker that a
    // cast prints at row 14168. The summary starts a line.
    if (o.debug_dump || context.stop_marker_printed) std::printf("\n");
    std::printf("tdr=%lu ctd=%lu gps=%lu acc=%lu end_offset=%lu", static_cast<unsigned long>(context.tdr_records),
                static_cast<unsigned long>(context.ctd_records), static_cast<unsigned long>(context.gps_fixes),
                static_cast<unsigned long>(context.acc_records), static_cast<unsigned long>(context.end_offset));
    if (out.dives) std::printf(" dives=%lu", static_cast<unsigned long>(out.dives->dives()));
    std::printf("\n");
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vandrel-tdr: cannot write the summary to standard output\n");
        return exit_decode_error;
    }
    if (!earlier.empty()) std::fprintf(stderr, "vandrel-tdr: %s\n", vandrel::earlier_outputs_warning(earlier).c_str());
    if (!ok) {
        // Every table that was not written completely is named; the last
        // error is the decoder's message.
        const std::vector<std::string>& errors = context.outcome.errors;
        for (std::size_t i = 0; i + 1 < errors.size(); ++i)
            if (errors[i].rfind("Can't write ", 0) == 0) std::fprintf(stderr, "vandrel-tdr: %s\n", errors[i].c_str());
        std::fprintf(stderr, "vandrel-tdr: %s\n", message.empty() ? "decoding failed" : message.c_str());
        return exit_decode_error;
    }
    if (!stop.empty()) std::fprintf(stderr, "vandrel-tdr: %s%s\n", failed_stop ? "" : "warning: ", stop.c_str());
    return outputs_ok && !failed_stop ? 0 : exit_decode_error;
}
