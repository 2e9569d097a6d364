// Lines of the small text files the options name (a track, the deployment's
// metadata), read through input_file with a bound on their length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/input_file.h"

namespace vandrel {
namespace detail {

// s without the blanks (and a CR) around it.
inline std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

// Reads the next line of f into line (without its end). False at the end of
// the file; too_long is set when the line has more than max_line bytes (a
// binary file given by mistake, say), which ends the reading.
inline bool next_line(input_file& f, std::size_t max_line, std::string& line, bool& too_long) {
    line.clear();
    too_long = false;
    uint8_t b;
    bool any = false;
    while (f.get(b)) {
        any = true;
        if (b == '\n') return true;
        if (line.size() == max_line) {
            too_long = true;
            return true;
        }
        line.push_back(static_cast<char>(b));
    }
    return any;
}

}  // namespace detail
}  // namespace vandrel
