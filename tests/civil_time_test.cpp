#include "platform/civil_time.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string text(int64_t t, char sep = '-') {
    char buf[40];
    return std::string(buf, vandrel::format_utc(buf, t, sep));
}

TEST(CivilTime, FormatsKnownInstants) {
    EXPECT_EQ(text(0), "1970-01-01 00:00:00");
    EXPECT_EQ(text(-1, '/'), "1969/12/31 23:59:59");
    EXPECT_EQ(text(951782400), "2000-02-29 00:00:00");
    EXPECT_EQ(text(1767229200), "2026-01-01 01:00:00");
    EXPECT_EQ(text(1798761599), "2026-12-31 23:59:59");
    EXPECT_EQ(text(1798761600), "2027-01-01 00:00:00");
    EXPECT_EQ(text(-2208988800, '/'), "1900/01/01 00:00:00");
    EXPECT_EQ(text(7983792000), "2222-12-31 00:00:00");
}

// Every day over four centuries round-trips through both conversions.
TEST(CivilTime, DaysRoundTrip) {
    int64_t expected = vandrel::days_from_civil(1800, 1, 1);
    for (int64_t y = 1800; y < 2200; ++y) {
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        const unsigned lengths[] = {31, leap ? 29u : 28u, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        for (unsigned m = 1; m <= 12; ++m) {
            for (unsigned d = 1; d <= lengths[m - 1]; ++d) {
                ASSERT_EQ(vandrel::days_from_civil(y, m, d), expected) << y << "-" << m << "-" << d;
                ++expected;
            }
        }
    }
}

TEST(CivilTime, NormalisesOutOfRangeFields) {
    struct row {
        vandrel::civil_fields f;
        const char* text;
    };
    const row rows[] = {
        {{119, 6, 1, 12, 0, 0}, "2019/07/01 12:00:00"},
        {{119, -1, 15, 0, 0, 0}, "2018/12/15 00:00:00"},  // month before January
        {{119, 2, 0, 0, 0, 0}, "2019/02/28 00:00:00"},    // day 0
        {{119, 0, 1, 0, 0, 60}, "2019/01/01 00:01:00"},   // second 60
        {{119, 12, 1, 0, 0, 0}, "2020/01/01 00:00:00"},   // month 12
        {{100, 0, 255, 255, 255, 255}, "2000/09/21 19:19:15"},
    };
    for (const row& r : rows) EXPECT_EQ(text(vandrel::utc_from_fields(r.f), '/'), r.text);
}

}  // namespace
