#include "driver/command_line.h"

#include <netcdf.h>

#include <algorithm>
#include <cstdio>

#include "driver/output_options.h"

#ifndef VANDREL_UPLOT_VERSION
#define VANDREL_UPLOT_VERSION "unknown"
#endif

namespace vandrel {

bool split_option_values(std::vector<std::string>& args, const std::vector<std::string>& value_options,
                         bool options_first, std::string& error) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") return true;
        if (a.size() < 2 || a[0] != '-') {
            if (options_first) return true;
            continue;
        }
        const std::size_t eq = a.find('=');
        if (a.compare(0, 2, "--") != 0 || eq == std::string::npos) {
            // The value of an option given apart is no option itself.
            if (std::find(value_options.begin(), value_options.end(), a) != value_options.end()) ++i;
            continue;
        }
        const std::string name = a.substr(0, eq);
        if (std::find(value_options.begin(), value_options.end(), name) == value_options.end()) {
            error = "option " + name + " takes no value";
            return false;
        }
        const std::string value = a.substr(eq + 1);
        args[i] = name;
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, value);
        ++i;
    }
    return true;
}

void print_usage_error(const char* program, const std::string& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, error.c_str(), program);
}

std::string version_text(const char* program) {
    // netCDF-C names its version first: "4.9.0 of Jan  1 2023 ...".
    std::string netcdf = nc_inq_libvers();
    const std::size_t space = netcdf.find(' ');
    if (space != std::string::npos) netcdf.resize(space);
    return std::string(program) + " " + vandrel_version + "\nnetCDF-C " + netcdf + "\nuPlot " + VANDREL_UPLOT_VERSION +
           "\n";
}

}  // namespace vandrel
