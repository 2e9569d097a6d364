// Calendar arithmetic in UTC, independent of the TZ variable and of the
// host's time functions. Times are whole seconds since 1970-01-01 00:00:00 UTC
// on the proleptic Gregorian calendar; negative values lie before 1970.
#pragma once

#include <cstdint>

namespace vandrel {

// A broken-down calendar time with the same meaning as the fields of C's
// struct tm: month 0..11, year counted from 1900. Out-of-range fields are
// allowed on input to utc_from_fields and roll into the neighbouring units.
struct civil_fields {
    int64_t year_since_1900 = 70;
    int64_t month = 0;  // 0 = January
    int64_t day = 1;    // day of the month, 1-based
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
};

// Days since 1970-01-01 of the given civil date (month 1..12, day 1..31).
int64_t days_from_civil(int64_t year, unsigned month, unsigned day);

// Seconds since 1970 of a broken-down UTC time, normalised as mktime does:
// month -1 is December of the year before, day 0 the last day of the month
// before, second 60 the next minute, and larger values roll on.
int64_t utc_from_fields(const civil_fields& f);

// Writes t as "YYYY<sep>MM<sep>DD HH:MM:SS" (the strftime pattern
// "%Y-%m-%d %H:%M:%S" with '-' or '/' as the date separator) and returns the
// end of the text. The buffer needs 32 bytes; no terminator is written.
char* format_utc(char* out, int64_t t, char date_sep);

}  // namespace vandrel
