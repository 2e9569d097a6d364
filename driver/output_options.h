// The options that both commands share for their further outputs: the
// netCDF files, the quick-look report and (vandrel-tdr) the dive table, and
// what those outputs say about the run that made them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dives/dive_detector.h"
#include "netcdf/netcdf_metadata.h"
#include "report/report_writer.h"

namespace vandrel {

// The version the outputs name.
constexpr char vandrel_version[] = "2.1.0";

struct output_options {
    bool netcdf = false;   // --netcdf
    bool report = false;   // --report
    bool dives = false;    // --dives (vandrel-tdr)
    std::string position;  // --position LAT,LON
    std::string track;     // --track FILE
    std::string metadata;  // --metadata FILE
    // The attributes read from the metadata file.
    std::vector<metadata_attribute> attributes;
    dive_settings dive;  // --dive-threshold M, --zero-offset M
    bool dive_settings_given = false;
    // --threads N: threads that decode and write at once; 0 for the
    // default.
    int threads = 0;
};

// The threads of a run with `writers` writers (each text table counts as
// one): --threads, else one for the decoding and one per writer, and at
// least one per processor. Writers in threads of their own measured faster
// than writers sharing them even where there are fewer processors: a writer
// waiting on the disk leaves its processor to the others.
int run_threads(const output_options& o, int writers);

enum class option_result { not_mine, taken, bad };

// Looks at args[i]: when it is one of the shared options, takes it and its
// value (moving i onto the value) and returns taken; returns bad with the
// reason in error for a missing or bad value; not_mine for anything else.
// The dive options are recognised only when with_dives is set.
option_result take_output_option(const std::vector<std::string>& args, std::size_t& i, bool with_dives,
                                 output_options& o, std::string& error);

// A usage error among the shared options that only shows once all are read
// (--position together with --track, positions without --netcdf, metadata
// without --netcdf or --report, dive settings without --dives), or a
// metadata file that cannot be used (its name, the line and why). Empty
// when there is none; the attributes are read otherwise.
std::string check_output_options(output_options& o);

// The shared options, for a usage error among them.
constexpr char output_options_usage[] = "options: --netcdf --report --position LAT,LON | --track FILE --metadata FILE";

// What the console says once when the netCDF files get no positions.
constexpr char no_positions_note[] =
    "note: no positions given: the netCDF files have no latitude, longitude or featureType "
    "(--position LAT,LON or --track FILE gives them)";

// What the outputs record of the run.
struct run_description {
    std::string source_name;   // the input as given
    uint64_t source_size = 0;  // bytes; 0 when unknown
    std::string history;       // "YYYY-MM-DDTHH:MM:SSZ vandrel ARGS..."
    int64_t date_created = 0;  // SOURCE_DATE_EPOCH when set to a number, else now
};

// tool is the command's name ("vandrel", "vandrel-tdr"); args are its
// arguments without the program name.
run_description describe_run(const std::string& tool, const std::vector<std::string>& args, const std::string& input);

// What the netCDF files record of the run, with the positions that the
// options give; false with the reason in error when they cannot be read.
bool netcdf_metadata_for(const output_options& o, const run_description& run, netcdf_metadata& meta,
                         std::string& error);

// What the report records of the run, with the deployment's title and
// creator from the metadata file.
report_metadata report_metadata_for(const run_description& run, const output_options& o);

}  // namespace vandrel
