// vandrel-tdr: decodes a TDR stream file into its TDR, CTD, GPS and ACC
// data files.
//
//   vandrel-tdr [--output PREFIX] [--skip N] [--debug-dump]
//               [--debug-dump-path PATH] [--quiet] INPUT
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
#include <string>
#include <system_error>
#include <vector>

#include "driver/out_name.h"
#include "driver/progress_bar.h"
#include "platform/arguments.h"
#include "platform/file_names.h"
#include "tdr/decode_tdr_file.h"

namespace {

constexpr int exit_decode_error = 1;
constexpr int exit_usage = 2;

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
};

void print_usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: vandrel-tdr [--output PREFIX] [--skip N] [--debug-dump]\n"
                 "                   [--debug-dump-path PATH] [--quiet] INPUT\n"
                 "\n"
                 "Decodes the TDR stream file INPUT into PREFIX_tdr.txt, PREFIX_ctd.txt,\n"
                 "PREFIX_gps.txt and PREFIX_acc.txt, each written only when the stream holds\n"
                 "such blocks.\n"
                 "\n"
                 "  --output PREFIX        prefix of the output files; by default INPUT cut at\n"
                 "                         \"_compressed.dat\", else at \"_debug.txt\", else at its\n"
                 "                         last '.'\n"
                 "  --skip N               start decoding N bytes into INPUT (0 to %llu)\n"
                 "  --debug-dump           also list the stream's codes and their positions in\n"
                 "                         %s\n"
                 "  --debug-dump-path PATH list them in PATH instead\n"
                 "  --quiet                no progress bar\n"
                 "  --help                 show this text\n"
                 "\n"
                 "At the end one line goes to standard output:\n"
                 "  tdr=ROWS ctd=ROWS gps=FIXES acc=ROWS end_offset=BYTES\n"
                 "Exit status: 0 decoded, 1 decoding error, 2 bad command line.\n",
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

// Fills o from the command line; on a bad one, says why in `error`.
bool parse_command_line(const std::vector<std::string>& args, options& o, std::string& error) {
    bool only_operands = false;
    bool have_input = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!only_operands && a.size() > 1 && a[0] == '-') {
            if (a == "--") {
                only_operands = true;
                continue;
            }
            if (a == "--help") {
                o.help = true;
                continue;
            }
            if (a == "--debug-dump") {
                o.debug_dump = true;
                continue;
            }
            if (a == "--quiet") {
                o.quiet = true;
                continue;
            }
            if (a == "--output" || a == "--skip" || a == "--debug-dump-path") {
                if (i + 1 >= args.size()) {
                    error = "option " + a + " needs a value";
                    return false;
                }
                const std::string& value = args[++i];
                if (value.empty()) {
                    error = "option " + a + " needs a non-empty value";
                    return false;
                }
                if (a == "--output") {
                    o.prefix = value;
                } else if (a == "--debug-dump-path") {
                    o.debug_dump = true;
                    o.debug_dump_path = value;
                } else if (!parse_skip(value.c_str(), o.skip)) {
                    error = "--skip takes a byte count from 0 to 2147483647, not '" + value + "'";
                    return false;
                }
                continue;
            }
            error = "unknown option " + a;
            return false;
        }
        if (have_input) {
            error = "only one INPUT may be given";
            return false;
        }
        o.input = a;
        have_input = true;
    }
    if (!have_input && !o.help) {
        error = "no INPUT given";
        return false;
    }
    return true;
}

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

}  // namespace

int main(int argc, char** argv) {
    options o;
    std::string error;
    if (!parse_command_line(vandrel::utf8_arguments(argc, argv), o, error)) {
        std::fprintf(stderr, "vandrel-tdr: %s\n", error.c_str());
        print_usage(stderr);
        return exit_usage;
    }
    if (o.help) {
        print_usage(stdout);
        return 0;
    }

    vandrel::tdr_context context;
    const std::string prefix = o.prefix.empty() ? vandrel::make_out_fname("", o.input) : o.prefix;
    context.in_path = o.input;
    context.tdr_path = prefix + "_tdr.txt";
    context.ctd_path = prefix + "_ctd.txt";
    context.gps_path = prefix + "_gps.txt";
    context.acc_path = prefix + "_acc.txt";
    if (o.debug_dump) {
        context.debug_dump_path = o.debug_dump_path.empty() ? vandrel::default_debug_dump_path() : o.debug_dump_path;
    }

    // An output named like the input would be truncated before it is read.
    for (const std::string* out :
         {&context.tdr_path, &context.ctd_path, &context.gps_path, &context.acc_path, &context.debug_dump_path}) {
        if (!out->empty() && same_file(*out, o.input)) {
            std::fprintf(stderr, "vandrel-tdr: output %s is the input file\n", out->c_str());
            print_usage(stderr);
            return exit_usage;
        }
    }
    for (const std::string* out : {&context.tdr_path, &context.ctd_path, &context.gps_path, &context.acc_path}) {
        if (o.debug_dump && (*out == context.debug_dump_path || same_file(*out, context.debug_dump_path))) {
            std::fprintf(stderr, "vandrel-tdr: the debug dump path %s is also an output file\n", out->c_str());
            print_usage(stderr);
            return exit_usage;
        }
    }

    vandrel::progress_fn callback = nullptr;
    vandrel::progress_bar bar(input_size(o.input));
    if (!o.quiet && vandrel::stderr_is_terminal()) {
        active_bar = &bar;
        callback = show_progress;
    }
    const bool ok = vandrel::decode_tdr_file(context, callback, o.skip, o.debug_dump);
    bar.clear();
    active_bar = nullptr;

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
    std::printf("tdr=%lu ctd=%lu gps=%lu acc=%lu end_offset=%lu\n", static_cast<unsigned long>(context.tdr_records),
                static_cast<unsigned long>(context.ctd_records), static_cast<unsigned long>(context.gps_fixes),
                static_cast<unsigned long>(context.acc_records), static_cast<unsigned long>(context.end_offset));
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vandrel-tdr: cannot write the summary to standard output\n");
        return exit_decode_error;
    }
    if (!ok) {
        const void* nul = std::memchr(context.message, '\0', sizeof context.message);
        const std::size_t n = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - context.message)
                                             : sizeof context.message;
        std::string message(context.message, n);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
        if (message.empty()) message = "decoding failed";
        std::fprintf(stderr, "vandrel-tdr: %s\n", message.c_str());
        return exit_decode_error;
    }
    return 0;
}
