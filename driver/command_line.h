// What both commands share on their command lines: "--opt=value", the
// one-line usage error, --version.
#pragma once

#include <string>
#include <vector>

namespace vandrel {

// The exit status of a command line that cannot be used (vandrel-tdr).
constexpr int exit_usage = 2;

// Rewrites every "--name=value" among the options as "--name" "value" when
// --name is one of value_options; "--name=..." for any other option is an
// error. Options end at "--", and with options_first also at the first
// operand (what follows is left alone). False with the reason in error.
bool split_option_values(std::vector<std::string>& args, const std::vector<std::string>& value_options,
                         bool options_first, std::string& error);

// "PROGRAM: ERROR" and a hint to --help, on standard error.
void print_usage_error(const char* program, const std::string& error);

// The --version text: "PROGRAM VERSION" and the versions of netCDF-C and of
// the plotting library built in, one line each.
std::string version_text(const char* program);

}  // namespace vandrel
