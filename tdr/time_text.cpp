#include "tdr/time_text.h"

#include <cstring>

#include "platform/civil_time.h"

namespace vandrel {
namespace detail {

namespace {

constexpr int64_t seconds_per_day = 86400;

// "HH:MM:SS" is the last part of the text.
constexpr std::size_t clock_length = 8;

char* put2(char* out, unsigned v) {
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
    return out + 2;
}

}  // namespace

char* put_time_text(char* out, int64_t seconds, time_text_cache& cache) {
    int64_t day = seconds / seconds_per_day;
    if (seconds % seconds_per_day < 0) --day;
    if (day != cache.day) {
        char text[40];
        const char* end = format_utc(text, day * seconds_per_day, '/');
        cache.date_length = static_cast<std::size_t>(end - text) - clock_length;
        std::memcpy(cache.date, text, cache.date_length);
        cache.day = day;
    }
    std::memcpy(out, cache.date, cache.date_length);
    out += cache.date_length;
    const auto clock = static_cast<unsigned>(seconds - day * seconds_per_day);
    out = put2(out, clock / 3600);
    *out++ = ':';
    out = put2(out, clock / 60 % 60);
    *out++ = ':';
    return put2(out, clock % 60);
}

}  // namespace detail
}  // namespace vandrel
