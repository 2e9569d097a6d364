// The time column of the data files is "YYYY/MM/DD HH:MM:SS" in UTC
// (format_utc with '/'), of a time in seconds since 1970 held as a double.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "platform/civil_time.h"

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

// Text room of format_time_text.
constexpr std::size_t time_text_size = 40;

// Writes time as the TDR table prints it, "YYYY/MM/DD HH:MM:SS": rounded to
// the millisecond, then cut to the second. Returns the end of the text (no
// terminator); text needs time_text_size bytes.
inline char* format_time_text(double time, char* text) { return format_utc(text, whole_seconds(time + 0.0005), '/'); }

}  // namespace detail
}  // namespace vandrel
