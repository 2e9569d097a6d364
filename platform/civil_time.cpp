#include "platform/civil_time.h"

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

char* format_utc(char* out, int64_t t, char date_sep) {
    const int64_t days = floor_div(t, seconds_per_day);
    const auto secs = static_cast<unsigned>(t - days * seconds_per_day);
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_from_days(days, year, month, day);
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
    out = put2(out, day);
    *out++ = ' ';
    out = put2(out, secs / 3600);
    *out++ = ':';
    out = put2(out, secs / 60 % 60);
    *out++ = ':';
    out = put2(out, secs % 60);
    return out;
}

}  // namespace vandrel
