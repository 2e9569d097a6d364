// The platform layer (number text, civil time, e^x), the science and the
// driver's helpers (output names, progress bar).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>

#include "driver/out_name.h"
#include "driver/progress_bar.h"
#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "platform/output_file.h"
#include "platform/portable_exp.h"
#include "science/salinity.h"
#include "test_files.h"

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
}

std::string text(int64_t t, char sep = '-') {
    char buf[40];
    return std::string(buf, vandrel::format_utc(buf, t, sep));
}

// In this order: the text kept from the call before must never leak into
// the next (same second with the other separator, the next second, the same
// time of day on another day).
TEST(CivilTime, FormatsKnownInstants) {
    const std::pair<int64_t, char> calls[] = {{-1, '/'},        {-1, '-'},          {-1, '/'},
                                              {0, '/'},         {951782400, '-'},   {951782400, '-'},
                                              {951868800, '-'}, {-2208988800, '/'}, {7983792000, '-'}};
    const char* const expected[] = {"1969/12/31 23:59:59", "1969-12-31 23:59:59", "1969/12/31 23:59:59",
                                    "1970/01/01 00:00:00", "2000-02-29 00:00:00", "2000-02-29 00:00:00",
                                    "2000-03-01 00:00:00", "1900/01/01 00:00:00", "2222-12-31 00:00:00"};
    for (std::size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(text(calls[i].first, calls[i].second), expected[i]) << "call " << i;
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

// Pieces smaller than the buffer, as large and larger (these go out without
// a copy) reach the file whole and in order, the buffered bytes first.
TEST(OutputFile, PiecesOfEverySizeKeepTheirOrder) {
    const vandrel_test::temp_dir dir;
    const std::string path = dir.file("out.txt");
    vandrel::output_file f;
    ASSERT_TRUE(f.create(path, 4096));
    std::string expected;
    char next = 'a';
    for (const std::size_t n : {10, 5000, 3, 4096, 4095, 9000, 1, 8192}) {
        const std::string piece(n, next);
        next = next == 'z' ? 'a' : static_cast<char>(next + 1);
        f.write(piece);
        expected += piece;
    }
    ASSERT_TRUE(f.close());
    EXPECT_EQ(vandrel_test::read_text(path), expected);
}

// e^x rounded to the nearest double, from a 400-digit decimal computation,
// for arguments that are not light values (k * 0.001: those are compared with
// the Linux build one by one below), and the edges of the range: overflow,
// underflow, the smallest subnormal and the largest finite result.
TEST(PortableExp, CorrectlyRounded) {
    struct row {
        double x;
        double expected;
    };
    const row rows[] = {{0.0, 0x1.0000000000000p+0},
                        {-0x1.0000000000000p+0, 0x1.78b56362cef38p-2},
                        {0x1.b7cdfd9d7bdbbp-34, 0x1.000000006df38p+0},
                        {-0x1.b7cdfd9d7bdbbp-34, 0x1.ffffffff24190p-1},
                        {0x1.62e3d70a3d70ap+9, 0x1.fe9ce5c4c52b4p+1023},
                        {-0x1.6231eb851eb85p+9, 0x1.01a5ff6ed496bp-1022},
                        {0x1.9000000000000p+6, 0x1.3494a9b171bf5p+144},
                        {-0x1.62e42fefa39efp-2, 0x1.6a09e667f3bcdp-1},
                        {-0x1.d7f76037c8ca6p-2, 0x1.42eccb38d73cfp-1},
                        {-0x1.31e0da89a5188p-2, 0x1.7bc9eeecc8faap-1},
                        {0x1.1b97198c3c64ep-1, 0x1.bd70e006e04efp+0},
                        {0x1.9f3f97cc3b960p+5, 0x1.d8a43e4d81cbap+74},
                        {-0x1.6a39948179c72p-1, 0x1.f8b7fd0d25716p-2},
                        {-0x1.3f50f59b20bf8p+7, 0x1.951122c1b87a7p-231},
                        {0x1.288d398cde0aep+9, 0x1.968796fdb59d4p+855},
                        {709.79, INFINITY},
                        {INFINITY, INFINITY},
                        {-746.0, 0.0},
                        {-INFINITY, 0.0},
                        {NAN, NAN},
                        {-745.0, 0x1p-1074},
                        {0x1.62e42fefa39efp+9, 0x1.fffffffffff2ap+1023}};
    for (const row& r : rows) {
        const double y = vandrel::portable_exp(r.x);
        EXPECT_TRUE(y == r.expected || (std::isnan(y) && std::isnan(r.expected)))
            << std::hexfloat << "x = " << r.x << ": " << y;
    }
}

// The other builds take the light values from portable_exp and its table of
// differences; they must be the x86-64 Linux build's, bit for bit.
TEST(PortableExp, LightValuesMatchTheLinuxBuild) {
    if (!vandrel::detail::exp_from_c_library) GTEST_SKIP() << "checked where the C library's exp is used";
    for (unsigned k = 0; k <= 65535; ++k) {
        const auto k16 = static_cast<uint16_t>(k);
        ASSERT_EQ(vandrel::detail::exp_thousandths_portable(k16), std::exp(k16 * 0.001)) << "k=" << k;
    }
}

// Check values of the Practical Salinity Scale 1978 (UNESCO 1983), with the
// ratio R turned into a conductivity through C(35,15,0) = 42.914 mS/cm.
TEST(PracticalSalinity, PublishedCheckValues) {
    struct row {
        double R, T, P, S, tolerance;
    };
    const row rows[] = {{1.0, 15.0, 0.0, 35.000000, 1e-6},
                        {1.2, 20.0, 2000.0, 37.245628, 1e-6},
                        {0.65, 5.0, 1500.0, 27.995347, 1e-6},
                        {1.888091, 40.0, 10000.0, 40.0000, 5e-5}};
    for (const row& r : rows) {
        EXPECT_NEAR(vandrel::practical_salinity(r.P, r.R * 42.914, r.T), r.S, r.tolerance)
            << "R=" << r.R << " T=" << r.T << " P=" << r.P;
    }
}

TEST(PracticalSalinity, DegenerateInputs) {
    // A negative pressure is the surface.
    EXPECT_EQ(vandrel::practical_salinity(-5.0, 40.0, 10.0), vandrel::practical_salinity(0.0, 40.0, 10.0));
    // No conductivity, no salinity, whatever the temperature and pressure.
    for (double t : {-5.0, 0.0, 15.0, 60.535}) {
        for (double p : {0.0, 500.0}) {
            EXPECT_EQ(vandrel::practical_salinity(p, 0.0, t), 0.0);
            EXPECT_EQ(vandrel::practical_salinity(p, -1.0, t), 0.0);
        }
    }
}

TEST(MakeOutFname, CutsAndAppends) {
    const char* rows[][2] = {
        {"dump.bin", "dump_extracted.txt"},
        {"tag12_compressed.dat", "tag12_extracted.txt"},
        {"tag12_debug.txt", "tag12_extracted.txt"},
        {"dump", "dump_extracted.txt"},
        {"a.b.c", "a.b_extracted.txt"},
        {"x_compressed.dat.old", "x_extracted.txt"},
        {"x_debug.txt_compressed.dat", "x_debug.txt_extracted.txt"},
        {"data.old\\dump", "data.old\\dump_extracted.txt"},  // folders never count
        {"..\\dump", "..\\dump_extracted.txt"},
        {"dep.2024/dump", "dep.2024/dump_extracted.txt"},
        {"./dump", "./dump_extracted.txt"},
        {"a_compressed.dat/b_debug.txt/dump", "a_compressed.dat/b_debug.txt/dump_extracted.txt"},
        {"dep.2024/x.y_compressed.dat.1", "dep.2024/x.y_extracted.txt"},
        {"dep.2024/.hidden", "dep.2024/_extracted.txt"},
        {"A_COMPRESSED.DAT", "A_COMPRESSED_extracted.txt"},  // case-sensitive
    };
    for (const auto& r : rows) EXPECT_EQ(vandrel::make_out_fname("_extracted.txt", r[0]), r[1]) << r[0];
    EXPECT_EQ(vandrel::make_out_fname("", "tag12_compressed.dat"), "tag12");
    const std::string long_name(5000, 'n');
    EXPECT_EQ(vandrel::make_out_fname("_extracted.txt", long_name + ".bin"), long_name + "_extracted.txt");
}

std::string line(uint64_t done, uint64_t total, uint64_t rows) {
    char out[vandrel::progress_line_size + 1];
    return std::string(out, vandrel::format_progress_line(out, done, total, rows));
}

TEST(ProgressBar, Lines) {
    struct row {
        uint64_t done, total, rows;
        const char* text;
    };
    const row rows[] = {
        {0, 0, 5, "5 rows"},
        {0, 200, 0, "[..............................]   0%  0 rows"},
        {1, 3, 7, "[##########....................]  33%  7 rows"},
        {67, 100, 12345, "[####################..........]  67%  12345 rows"},
        {199, 200, 1, "[#############################.]  99%  1 rows"},
        {300, 200, 1, "[##############################] 100%  1 rows"},
        {1, 1, 18446744073709551615u, "[##############################] 100%  18446744073709551615 rows"},
    };
    for (const row& r : rows) EXPECT_EQ(line(r.done, r.total, r.rows), r.text) << r.done << " of " << r.total;
}

// Within a fraction of a second the bar is redrawn only when the percent
// changes; a shorter line blanks the tail of the longer one; clear() blanks
// the line once, and so does the end of the bar.
TEST(ProgressBar, RedrawsAndClears) {
    testing::internal::CaptureStderr();
    {
        vandrel::progress_bar bar(0);
        bar.update(1, 12345);
        bar.update(2, 1);
        bar.clear();
        bar.clear();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\r12345 rows\r" + std::string(10, ' ') + "\r");
    testing::internal::CaptureStderr();
    {
        vandrel::progress_bar bar(200);
        bar.update(100, 12345);
        bar.update(101, 2);  // still 50 percent
        bar.update(102, 1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\r[###############...............]  50%  12345 rows"
              "\r[###############...............]  51%  1 rows    \r" +
                  std::string(49, ' ') + "\r");
}

}  // namespace
