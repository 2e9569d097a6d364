// CTD casts and the CTD data file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "science/salinity.h"
#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

const std::string fixed_header = "DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)";

std::string fmt4(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.4f", v);
    return b;
}

// Raw conductivity of c mS/cm with the default calibration.
uint16_t raw_cond(double c) { return static_cast<uint16_t>(c * 800 + 200); }

enc with_firmware(uint16_t fw) {
    enc s;
    info_fields f;
    f.fw_version = fw;
    s.info(f);
    return s;
}

TEST(CtdStream, ChannelSets) {
    struct row {
        uint8_t ctd_regime;
        uint16_t fw;
        std::vector<uint16_t> extra;  // raw extra channels of the one sample
        std::string header;           // after the fixed columns
        std::string values;           // extra columns of the row
    };
    const std::string all_four = "\tFLUORO(V)\tBPhase(deg)\tPPFD(umol/m2/s)\tINTERNAL_TEMP(C)";
    const std::string photo = "\tFLUORO(V)\tBPhase(deg)\tPhoto2\tPhoto2\tPhoto3\tINTERNAL_TEMP(C)";
    const row rows[] = {
        {0, 140, {}, "", ""},
        {1, 140, {}, "", ""},
        {6, 140, {}, "", ""},
        {7, 140, {}, "", ""},
        {2, 140, {1500}, "\tFluoro(V)", "\t1.5000"},
        {3, 140, {32000}, "\tDOxy(umol/l)", "\t1000.0375"},
        {4, 140, {32000}, "\tDOxy(umol/l)", "\t320.0000"},
        {5, 140, {4500}, "\tBPhase(deg)", "\t45.0000"},
        // Bits 0x08, 0x20, 0x40 and 0x80 add no channel.
        {0xE8, 140, {}, "", ""},
        {0x1F, 160, {1000, 2000, 0xFFF2, 6000}, all_four, "\t1.0000\t20.0000\t-14.0000\t1.0000"},
        {0x1F, 168, {1000, 2000, 0xFFF2, 6000}, all_four, "\t1.0000\t20.0000\t51.5220\t1.0000"},
        // Before firmware 151 the light bit gives three channels named by the logger.
        {0x1F, 150, {1, 2, 3, 4, 5, 6}, photo, "\t0.0010\t0.0200\t3.0000\t4.0000\t5.0000\t-4.9940"},
        {0x14, 151, {0xFFF2, 5000}, "\tPPFD(umol/m2/s)\tINTERNAL_TEMP(C)", "\t-14.0000\t0.0000"},
    };
    for (const row& r : rows) {
        enc s = with_firmware(r.fw);
        s.ctd_start(r.ctd_regime, noon, 100, 30).u16(330).u16(23000).u16(36000);
        for (uint16_t v : r.extra) s.u16(v);
        s.ctd_end().end();
        const decode_result d = decode_stream(s);
        const double sal = vandrel::practical_salinity(10.0, 44.75, 15.0);
        EXPECT_EQ(d.ctd, fixed_header + r.header + "\tTIME_VALID\r\n" +
                             "2019/07/01 12:00:00\t10.00\t15.000\t44.7500\t" + fmt4(sal) + r.values + "\tY\r\n")
            << int(r.ctd_regime) << " fw " << r.fw;
        EXPECT_EQ(summary(d), "tdr=0 ctd=1 gps=0 acc=0 end=" + std::to_string(s.bytes.size()) + " made=c");
    }
}

TEST(CtdStream, LagFilterFeedsOnlyTheSalinity) {
    enc s = with_firmware(140);
    s.ctd_start(1, noon, 100, 0).u16(300).u16(23000).u16(raw_cond(40.0));
    s.byte(0).byte(0).delta(raw_cond(40.0), raw_cond(50.0)).ctd_end();
    // A negative conductivity leaves the filter unprimed for the next row.
    s.ctd_start(1, noon, 100, 0).u16(300).u16(23000).u16(100);
    s.byte(0).byte(0).delta(100, raw_cond(40.0)).ctd_end().end();
    const decode_result d = decode_stream(s);
    const double lagged = (1 - std::exp(-1.0)) * 50.0 + std::exp(-1.0) * 40.0;
    // The second cast continues the time line of the first (2 rows, not 60).
    const std::string expect =
        ctd_header + "2019/07/01 12:00:00\t10.00\t15.000\t40.0000\t" + fmt4(vandrel::practical_salinity(10, 40.0, 15)) +
        "\tY\r\n" + "2019/07/01 12:00:01\t10.00\t15.000\t50.0000\t" +
        fmt4(vandrel::practical_salinity(10, lagged, 15)) + "\tY\r\n" +
        "2019/07/01 12:00:02\t10.00\t15.000\t-0.1250\t" + fmt4(vandrel::practical_salinity(10, -0.125, 15)) +
        "\tY\r\n" + "2019/07/01 12:00:03\t10.00\t15.000\t40.0000\t" + fmt4(vandrel::practical_salinity(10, 40.0, 15)) +
        "\tN\r\n";
    EXPECT_EQ(d.ctd, expect);
}

// Rows of a cast with constant values, for the TIME_VALID test.
std::string cast_rows(int first_second, int n, bool later_valid) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        const int t = first_second + i;
        char line[96];
        std::snprintf(line, sizeof line, "2019/07/01 %02d:%02d:%02d\t0.00\t0.000\t0.0000\t0.0000\t%c\r\n",
                      12 + t / 3600, t / 60 % 60, t % 60, i == 0 || later_valid ? 'Y' : 'N');
        out += line;
    }
    return out;
}

TEST(CtdStream, TimeValidFollowsTheChunkLength) {
    enc s;
    auto cast = [&s](const stream_time& t, int relative_samples) {
        s.ctd_start(1, t, 100, 0).u16(0).u16(8000).u16(200);
        for (int i = 0; i < relative_samples; ++i) s.raw({0, 0, 0});
        s.ctd_end();
    };
    cast(noon, 1);                     // 2 rows, all Y; the chunk is not 60 long
    cast({2019, 7, 1, 13, 0, 0}, 1);   // continues at 12:00:02; second row N
    cast({2019, 7, 1, 14, 0, 0}, 59);  // continues at 12:00:04; 60 rows
    cast({2019, 7, 1, 15, 0, 0}, 2);   // the header time again, all Y
    s.end();
    const decode_result d = decode_stream(s);
    const std::string expect = ctd_header + cast_rows(0, 2, true) + cast_rows(2, 2, false) + cast_rows(4, 60, false) +
                               cast_rows(3 * 3600, 3, true);
    EXPECT_EQ(d.ctd, expect);
    EXPECT_EQ(summary(d), "tdr=0 ctd=67 gps=0 acc=0 end=" + std::to_string(s.bytes.size()) + " made=c");
}

TEST(CtdStream, CodesInsideSamples) {
    enc s;
    s.ctd_start(1, noon, 100, 0).u16(30).u16(8000).u16(200);
    // A code in a later field is consumed and that field keeps its value; a
    // GPS record in front of a field is decoded in passing. (The salinity of
    // the last row uses the lagged conductivity.)
    s.raw({0x1E, 0xFB, 0x00}).gps(noon, {}).raw({0x01, 0x02, 0x03});
    s.ctd_end().end();
    const decode_result d = decode_stream(s);
    EXPECT_EQ(d.ctd, ctd_header + "2019/07/01 12:00:00\t1.00\t0.000\t0.0000\t0.0000\tY\r\n" +
                         "2019/07/01 12:00:01\t2.00\t0.000\t0.0000\t0.0000\tY\r\n" +
                         "2019/07/01 12:00:02\t2.03\t0.002\t" + fmt4(3 / 800.0) + "\t" +
                         fmt4(vandrel::practical_salinity(61 / 30.0, (1 - std::exp(-1.0)) * (3 / 800.0), 0.002)) +
                         "\tY\r\n");
    EXPECT_EQ(d.gps, "2019/07/01 12:00:00 0 3 0\r\n");
}

TEST(CtdStream, CastCutShort) {
    const std::vector<uint8_t> full = enc().ctd_start(1, noon, 100, 0).u16(30).u16(8000).u16(200).bytes;
    auto cut = [&full](std::size_t keep) { return std::vector<uint8_t>(full.begin(), full.begin() + keep); };
    const std::string& ctd = ctd_header;
    check_runs(
        {
            {"in the regime byte", cut(1), "tdr=0 ctd=0 gps=0 acc=0 end=1 made=", absent},
            {"in the time", cut(2), "tdr=0 ctd=0 gps=0 acc=0 end=2 made=c", ctd},
            {"in the pressure zero", cut(12), "tdr=0 ctd=0 gps=0 acc=0 end=11 made=c", ctd},
            {"in the first sample", cut(16), "tdr=0 ctd=0 gps=0 acc=0 end=15 made=c", ctd},
            {"in the last field", cut(18), "tdr=0 ctd=0 gps=0 acc=0 end=17 made=c", ctd},
            {"whole", cut(19), "tdr=0 ctd=1 gps=0 acc=0 end=19 made=c",
             ctd + "2019/07/01 12:00:00\t1.00\t0.000\t0.0000\t0.0000\tY\r\n"},
        },
        &decode_result::ctd);
}

}  // namespace
}  // namespace vandrel_test
