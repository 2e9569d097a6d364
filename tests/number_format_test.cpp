#include "platform/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string fixed(double v, int precision) {
    char buf[vandrel::max_fixed_chars];
    return std::string(buf, vandrel::format_fixed(buf, v, precision));
}

std::string printf_fixed(double v, int precision) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", precision, v);
    return buf;
}

TEST(FormatFixed, KnownValues) {
    struct row {
        double v;
        int precision;
        std::string text;
    };
    const row rows[] = {
        {0.0, 3, "0.000"},
        {-0.0, 2, "-0.00"},
        {-0.0001, 3, "-0.000"},
        {0.125, 2, "0.12"},
        {2.5, 0, "2"},
        {3.5, 0, "4"},
        {1.005, 2, "1.00"},
        {1e300, 2, printf_fixed(1e300, 2)},
        {INFINITY, 3, "inf"},
        {-INFINITY, 2, "-inf"},
        {NAN, 4, "nan"},
        {-NAN, 4, "-nan"},
        {0.1, 20, "0.10000000000000000555"},  // more digits than a double holds
    };
    for (const row& r : rows) {
        EXPECT_EQ(fixed(r.v, r.precision), r.text) << "value " << r.v << " precision " << r.precision;
    }
}

// The fast path must agree with the C library over many values: random
// doubles of every magnitude, negatives, values printing as -0.000, and
// values right next to a halfway point of the last printed digit.
TEST(FormatFixed, AgreesWithPrintf) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exp10(-8, 12);
    std::uniform_int_distribution<int> prec(0, 6);
    for (int i = 0; i < 400000; ++i) {
        const int p = prec(rng);
        double v = 0.0;
        switch (i % 5) {
            case 0:  // any magnitude
                v = unit(rng) * std::pow(10.0, exp10(rng));
                break;
            case 1: {  // halfway points of the printed digit and their neighbours
                const double scale = std::pow(10.0, p);
                const double half = (std::floor(unit(rng) * 1e6) + 0.5) / scale;
                const int steps = static_cast<int>(rng() % 5) - 2;
                v = half;
                for (int s = 0; s < std::abs(steps); ++s) v = std::nextafter(v, steps > 0 ? INFINITY : -INFINITY);
                break;
            }
            case 2:  // tiny negatives that print as -0.000
                v = -std::fabs(unit(rng)) * std::pow(10.0, -p - 1);
                break;
            case 3:  // accelerometer values: exact multiples of 1/256, many exact ties
                v = static_cast<double>(rng() % 65536) / 256.0 - 16.0;
                break;
            default:  // the table's own values: raw 16-bit counts scaled
                v = static_cast<double>(rng() % 65536) * 0.001 - 5.0;
                break;
        }
        ASSERT_EQ(fixed(v, p), printf_fixed(v, p)) << "value " << v << " precision " << p;
    }
}

TEST(FormatIntegers, MatchPrintf) {
    char buf[32];
    const long long ints[] = {0, 7, -1, -2147483647, 2147483647, -2147483648LL, 9223372036854775807LL};
    for (long long v : ints) {
        char want[32];
        std::snprintf(want, sizeof want, "%lld", v);
        EXPECT_EQ(std::string(buf, vandrel::format_int(buf, v)), want);
    }
    const unsigned uints[] = {0, 7, 999, 3600, 12345, 65535};
    for (unsigned v : uints) {
        char want[32];
        std::snprintf(want, sizeof want, "%4u", v);
        EXPECT_EQ(std::string(buf, vandrel::format_uint(buf, v, 4)), want);
    }
}

}  // namespace
