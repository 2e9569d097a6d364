// Accelerometer bursts and the ACC data file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

using vandrel::encode::info_fields;
using vandrel::encode::stream_encoder;

const stream_time noon{2019, 7, 1, 12, 0, 0};
const std::string acc_header = "DATE (UTC)\tX\tY\tZ\r\n";

// A regime 2 run at noon whose first relative field is preceded by a burst
// of n samples (x counts up from 4096 by one per sample), so that the burst
// ends at 12:00:00.
stream_encoder run_with_burst(int n) {
    stream_encoder s;
    s.wet_start(2, noon, 100).u16(1);
    s.acc_start().u16(4096).u16(4352).u16(0);
    for (int i = 1; i < n; ++i) s.raw({0x01, 0x00, 0x00});
    s.acc_end().byte(0x00).end();
    return s;
}

std::string acc_row(int ms_of_day_before_noon, double x, const char* yz) {
    const int t = 12 * 3600 * 1000 - ms_of_day_before_noon;
    char b[96];
    std::snprintf(b, sizeof b, "2019/07/01 %02d:%02d:%02d.%03d\t%.4f\t%s\r\n", t / 3600000, t / 60000 % 60,
                  t / 1000 % 60, t % 1000, x, yz);
    return b;
}

TEST(AccStream, BurstsEndAtTheTdrTime) {
    for (int n : {1, 25, 998}) {
        temp_dir dir;
        const decode_result d = decode_stream(dir, run_with_burst(n));
        EXPECT_TRUE(d.ok) << d.context.message;
        // Sample i sits in the middle of the i-th of n 40 ms slots.
        std::string expect = acc_header;
        for (int i = 0; i < n; ++i) expect += acc_row(40 * (n - i) - 20, i * (1.0 / 256), "1.0000\t-16.0000");
        EXPECT_EQ(d.acc, expect) << n;
        EXPECT_EQ(d.context.acc_records, static_cast<uint32_t>(n));
        // The run goes on after the burst with the byte after 0xF9.
        EXPECT_EQ(d.context.tdr_records, 2u);
    }
}

TEST(AccStream, SecondBurstAppendsAndCalibrationApplies) {
    temp_dir dir;
    stream_encoder s;
    info_fields f;
    f.acc_interval_ms = 100;
    f.acc_counts_per_unit = 100;
    f.acc_offset = 1;
    s.info(f).wet_start(2, noon, 100).u16(1);
    s.acc_start().u16(100).u16(200).u16(0).raw({0xF1, 0x0A, 0xFA, 0x00, 0x00, 0x00}).acc_end().byte(0);
    s.acc_start().u16(0).u16(0).u16(0).acc_end().byte(0).end();
    const decode_result d = decode_stream(dir, s);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.acc, acc_header + "2019/07/01 11:59:59.850\t0.0000\t1.0000\t-1.0000\r\n" +
                         "2019/07/01 11:59:59.950\t0.1000\t-1.0000\t-1.0000\r\n" +
                         "2019/07/01 12:00:00.950\t-1.0000\t-1.0000\t-1.0000\r\n");
}

TEST(AccStream, CutShort) {
    struct row {
        std::size_t cut;  // bytes dropped from the end of the full stream
        std::string acc;
    };
    stream_encoder full;
    full.wet_start(2, noon, 100).u16(1).acc_start().u16(4096).u16(4096).u16(4096).raw({0x01, 0x02});
    const row rows[] = {
        // Inside the relative sample: the sample counts, z kept.
        {0, acc_header + "2019/07/01 11:59:59.940\t0.0000\t0.0000\t0.0000\r\n" +
                "2019/07/01 11:59:59.980\t0.0039\t0.0078\t0.0000\r\n"},
        {2, acc_header + "2019/07/01 11:59:59.980\t0.0000\t0.0000\t0.0000\r\n"},
        // Inside the absolute sample: no row.
        {3, acc_header},
        {7, acc_header},
    };
    for (const row& r : rows) {
        temp_dir dir;
        std::vector<uint8_t> bytes = full.bytes;
        bytes.resize(bytes.size() - r.cut);
        const decode_result d = decode_bytes(dir, bytes);
        EXPECT_EQ(d.acc, r.acc) << r.cut;
    }
}

TEST(AccStream, OverflowStopsDecodingWithTheLineLast) {
    temp_dir dir;
    const decode_result d = decode_stream(dir, run_with_burst(999));
    EXPECT_TRUE(d.context.acc_overflow);
    EXPECT_FALSE(d.ok);
    // The 999th sample ends at byte 13 + 1 + 6 + 998 * 3.
    EXPECT_EQ(std::string(d.context.message), "ACC OVERFLOW at byte 3014\n");
    EXPECT_EQ(d.context.end_offset, 3014u);
    EXPECT_EQ(d.tdr, lines({"DATE (UTC)\tDEPTH (m)", "ACC OVERFLOW"}));
    EXPECT_EQ(d.acc, acc_header);
    EXPECT_EQ(d.context.acc_records, 0u);
}

TEST(AccStream, OverflowWithoutTdrFile) {
    temp_dir dir;
    stream_encoder s;
    s.gps(noon, {}).acc_start().u16(1).u16(1).u16(1);
    for (int i = 0; i < 1000; ++i) s.raw({0, 0, 0});
    const decode_result d = decode_stream(dir, s);
    EXPECT_TRUE(d.context.acc_overflow);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.tdr, absent);
}

}  // namespace
}  // namespace vandrel_test
