// Which of the outputs a command may write for one input this run wrote,
// and which are left from an earlier run: a rerun that writes fewer tables
// (a stream without CTD casts now, no --netcdf) would otherwise leave the
// earlier run's files beside the new ones without a word. They are the
// user's files, so they are named, never removed.
#pragma once

#include <string>
#include <vector>

namespace vandrel {

struct output_state {
    std::string path;
    bool exists = false;
    long long time = 0;
    unsigned long long size = 0;
};

// How each path looks now.
std::vector<output_state> look_at_outputs(const std::vector<std::string>& paths);

// Compares the paths as they look now with `before`: a path that exists and
// was created, replaced or written since goes to written; one that exists
// unchanged to earlier.
void sort_outputs(const std::vector<output_state>& before, std::vector<std::string>& written,
                  std::vector<std::string>& earlier);

// "warning: NAME, NAME are from an earlier run; this run did not write them"
// for a non-empty list; empty otherwise.
std::string earlier_outputs_warning(const std::vector<std::string>& earlier);

}  // namespace vandrel
