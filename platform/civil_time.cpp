#include "platform/civil_time.h"

#include <cstring>

namespace vandrel {
namespace {

constexpr int64_t seconds_per_day = 86400;

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Inverse of days_from_civil: the civil date of a day count.
void civil_from_days(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const int64_t era = floor_div(z, 146097);
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

char* put2(char* out, unsigned v) {
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
    return out + 2;
}

}  // namespace

// Howard Hinnant's days-from-civil algorithm: eras of 400 years, with the
// year starting in March so that the leap day falls at its end.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = floor_div(year, 400);
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t utc_from_fields(const civil_fields& f) {
    // Months roll into years first; everything below the month is a plain
    // count of seconds from the first of the (normalised) month.
    const int64_t months = f.month;
    const int64_t year = 1900 + f.year_since_1900 + floor_div(months, 12);
    const auto month = static_cast<unsigned>(months - floor_div(months, 12) * 12) + 1;
    const int64_t days = days_from_civil(year, month, 1) + (f.day - 1);
    return days * seconds_per_day + f.hour * 3600 + f.minute * 60 + f.second;
}

namespace {

// The date text of one day, "YYYY-MM-DD " with its separator.
struct date_text {
    int64_t day = INT64_MIN;
    char sep = 0;
    char text[32] = {};
    int len = 0;
    // The last second written, whole: a burst of samples shares it.
    int64_t second = INT64_MIN;
    char second_text[32] = {};
    int second_len = 0;
};

void make_date_text(date_text& d, int64_t day, char date_sep) {
    int64_t year = 0;
    unsigned month = 0;
    unsigned mday = 0;
    civil_from_days(day, year, month, mday);
    char* out = d.text;
    if (year >= 1000 && year <= 9999) {
        const auto y = static_cast<unsigned>(year);
        out = put2(out, y / 100);
        out = put2(out, y % 100);
    } else {
        // Outside four digits, print the year as strftime's %Y does: plain
        // decimal, with a sign when negative.
        char tmp[24];
        int n = 0;
        uint64_t mag = year < 0 ? static_cast<uint64_t>(-(year + 1)) + 1 : static_cast<uint64_t>(year);
        do {
            tmp[n++] = static_cast<char>('0' + mag % 10);
            mag /= 10;
        } while (mag != 0);
        if (year < 0) *out++ = '-';
        while (n > 0) *out++ = tmp[--n];
    }
    *out++ = date_sep;
    out = put2(out, month);
    *out++ = date_sep;
    out = put2(out, mday);
    *out++ = ' ';
    d.day = day;
    d.sep = date_sep;
    d.len = static_cast<int>(out - d.text);
}

}  // namespace

char* format_utc(char* out, int64_t t, char date_sep) {
    // Tables hold many rows per day: the date text is kept from one call to
    // the next and only the time of day is formatted each time.
    thread_local date_text last;
    // The texts are copied whole, 32 bytes, which the caller's buffer
    // holds: a copy of known size takes a few instructions, not a call.
    if (t == last.second && date_sep == last.sep) {
        std::memcpy(out, last.second_text, sizeof last.second_text);
        return out + last.second_len;
    }
    char* const start = out;
    const int64_t day = floor_div(t, seconds_per_day);
    const auto secs = static_cast<unsigned>(t - day * seconds_per_day);
    if (day != last.day || date_sep != last.sep) make_date_text(last, day, date_sep);
    std::memcpy(out, last.text, sizeof last.text);
    out += last.len;
    out = put2(out, secs / 3600);
    *out++ = ':';
    out = put2(out, secs / 60 % 60);
    *out++ = ':';
    out = put2(out, secs % 60);
    last.second = t;
    last.second_len = static_cast<int>(out - start);
    std::memcpy(last.second_text, start, sizeof last.second_text);
    return out;
}

}  // namespace vandrel
