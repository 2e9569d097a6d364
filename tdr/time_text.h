// The time column of the data files is "YYYY/MM/DD HH:MM:SS" in UTC
// (format_utc with '/'), of a time in seconds since 1970 held as a double.
#pragma once

#include <cmath>
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

}  // namespace detail
}  // namespace vandrel
