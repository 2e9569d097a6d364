#include "driver/earlier_outputs.h"

#include "platform/file_names.h"

namespace vandrel {

std::vector<output_state> look_at_outputs(const std::vector<std::string>& paths) {
    std::vector<output_state> states;
    for (const std::string& path : paths) {
        output_state s;
        s.path = path;
        s.exists = file_stamp(path, s.time, s.size);
        states.push_back(s);
    }
    return states;
}

void sort_outputs(const std::vector<output_state>& before, std::vector<std::string>& written,
                  std::vector<std::string>& earlier) {
    std::vector<std::string> paths;
    paths.reserve(before.size());
    for (const output_state& s : before) paths.push_back(s.path);
    const std::vector<output_state> now = look_at_outputs(paths);
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (!now[i].exists) continue;
        // A file written by the run has a later time stamp (a renamed one a
        // new one); the run leaves the others as they were.
        const bool same = before[i].exists && now[i].time == before[i].time && now[i].size == before[i].size;
        (same ? earlier : written).push_back(now[i].path);
    }
}

std::string earlier_outputs_warning(const std::vector<std::string>& earlier) {
    if (earlier.empty()) return std::string();
    std::string text = "warning: ";
    for (std::size_t i = 0; i < earlier.size(); ++i) text += (i > 0 ? ", " : "") + earlier[i];
    text += earlier.size() == 1 ? " is from an earlier run; this run did not write it"
                                : " are from an earlier run; this run did not write them";
    return text;
}

}  // namespace vandrel
