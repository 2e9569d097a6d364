#include "driver/output_options.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/civil_time.h"
#include "platform/file_names.h"

namespace vandrel {

namespace {

// Seconds since 1970 from SOURCE_DATE_EPOCH: digits only, as the
// reproducible-builds convention has it; -1 when unset or not a number.
int64_t source_date_epoch() {
    const char* s = std::getenv("SOURCE_DATE_EPOCH");
    if (s == nullptr || *s == '\0') return -1;
    int64_t v = 0;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9') return -1;
        if (v > (INT64_MAX - 9) / 10) return -1;
        v = v * 10 + (*s - '0');
    }
    return v;
}

// More threads than this would only wait on each other.
constexpr int max_threads = 64;

}  // namespace

int run_threads(const output_options& o, int writers) {
    if (o.threads > 0) return o.threads;
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    const int n = processors > writers + 1 ? processors : writers + 1;
    return n < max_threads ? n : max_threads;
}

option_result take_output_option(const std::vector<std::string>& args, std::size_t& i, bool with_dives,
                                 output_options& o, std::string& error) {
    const std::string& a = args[i];
    if (a == "--netcdf") {
        o.netcdf = true;
        return option_result::taken;
    }
    if (a == "--report") {
        o.report = true;
        return option_result::taken;
    }
    if (with_dives && a == "--dives") {
        o.dives = true;
        return option_result::taken;
    }
    const bool dive_value = with_dives && (a == "--dive-threshold" || a == "--zero-offset");
    if (a != "--position" && a != "--track" && a != "--metadata" && a != "--threads" && !dive_value)
        return option_result::not_mine;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "option " + a + " needs a value";
        return option_result::bad;
    }
    const std::string& value = args[++i];
    if (a == "--position") {
        o.position = value;
    } else if (a == "--track") {
        o.track = value;
    } else if (a == "--metadata") {
        o.metadata = value;
    } else if (a == "--threads") {
        int n = 0;
        for (char c : value) n = c >= '0' && c <= '9' && n <= max_threads ? n * 10 + (c - '0') : max_threads + 1;
        if (n < 1 || n > max_threads) {
            error = "--threads takes a number of threads from 1 to " + std::to_string(max_threads) + ", not '" + value +
                    "'";
            return option_result::bad;
        }
        o.threads = n;
    } else if (a == "--dive-threshold") {
        o.dive_settings_given = true;
        if (!parse_dive_metres(value, false, o.dive.threshold_dm)) {
            error =
                "--dive-threshold takes a depth in metres, a finite decimal number not below 0, not '" + value + "'";
            return option_result::bad;
        }
    } else if (o.dive_settings_given = true; !parse_dive_metres(value, true, o.dive.zero_offset_dm)) {
        error = "--zero-offset takes a depth in metres, a finite decimal number, not '" + value + "'";
        return option_result::bad;
    }
    return option_result::taken;
}

std::string check_output_options(output_options& o) {
    if (!o.position.empty() && !o.track.empty()) return "--position and --track exclude each other";
    if ((!o.position.empty() || !o.track.empty()) && !o.netcdf) return "--position and --track go with --netcdf";
    if (!o.metadata.empty() && !o.netcdf && !o.report) return "--metadata goes with --netcdf or --report";
    if (o.dive_settings_given && !o.dives) return "--dive-threshold and --zero-offset go with --dives";
    std::string error;
    if (!o.metadata.empty() && !load_deployment_metadata(o.metadata, o.attributes, error)) return "--metadata " + error;
    return std::string();
}

run_description describe_run(const std::string& tool, const std::vector<std::string>& args, const std::string& input) {
    run_description d;
    d.source_name = input;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(input), ec);
    d.source_size = ec ? 0 : static_cast<uint64_t>(size);
    const int64_t epoch = source_date_epoch();
    d.date_created = epoch >= 0 ? epoch : static_cast<int64_t>(current_utc_seconds());
    // The history attribute's convention: a time stamp, then the command.
    char stamp[40];
    char* end = format_utc(stamp, d.date_created, '-');
    stamp[10] = 'T';
    *end++ = 'Z';
    d.history.assign(stamp, end);
    d.history += ' ';
    d.history += tool;
    // The thread count changes no output, so the outputs do not record it.
    bool operands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        operands = operands || args[i] == "--";
        if (!operands && args[i] == "--threads") {
            ++i;
            continue;
        }
        d.history += ' ';
        d.history += args[i];
    }
    return d;
}

bool netcdf_metadata_for(const output_options& o, const run_description& run, netcdf_metadata& meta,
                         std::string& error) {
    meta.source_name = run.source_name;
    meta.source_size = run.source_size;
    meta.history = run.history;
    meta.date_created = run.date_created;
    meta.version = std::string("vandrel ") + vandrel_version;
    meta.attributes = o.attributes;
    if (!o.position.empty()) return parse_position(o.position, meta.positions, error);
    if (!o.track.empty()) return load_track(o.track, meta.positions, error);
    return true;
}

report_metadata report_metadata_for(const run_description& run, const output_options& o) {
    report_metadata meta;
    meta.title = metadata_value(o.attributes, "title");
    meta.creator = metadata_value(o.attributes, "creator_name");
    meta.source_name = run.source_name;
    meta.source_size = run.source_size;
    meta.version = std::string("vandrel ") + vandrel_version;
    meta.date_created = run.date_created;
    return meta;
}

}  // namespace vandrel
