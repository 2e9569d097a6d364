// The time column of the data files: "YYYY/MM/DD HH:MM:SS" in UTC.
//
// Rows come one interval apart, so the date part rarely changes; each writer
// keeps the text of its last day and formats only the clock after it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace vandrel {
namespace detail {

// Times stay far inside this (seconds); the bound only keeps the conversion
// to an integer defined for any double.
constexpr double time_limit = 1e13;

// The whole second at or before time (floor, so that a time before 1970
// counts back from the second before it).
inline int64_t whole_seconds(double time) {
    double u = std::floor(time);
    if (!(u > -time_limit)) u = -time_limit;
    if (u > time_limit) u = time_limit;
    return static_cast<int64_t>(u);
}

struct time_text_cache {
    int64_t day = INT64_MIN;  // days since 1970 of the date below
    char date[32] = {};       // "YYYY/MM/DD " of that day
    std::size_t date_length = 0;
};

// Writes seconds (since 1970 UTC) as "YYYY/MM/DD HH:MM:SS" and returns the
// end (at most 32 bytes, no terminator); the same text as format_utc.
char* put_time_text(char* out, int64_t seconds, time_text_cache& cache);

}  // namespace detail
}  // namespace vandrel
