// Accelerometer bursts and the ACC data file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

// A regime 2 run at noon whose first relative field is preceded by a burst
// of n samples (x counts up from 4096 by one per sample), so that the burst
// ends at 12:00:00.
enc run_with_burst(int n) {
    enc s;
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
        const decode_result d = decode_stream(run_with_burst(n));
        // Sample i sits in the middle of the i-th of n 40 ms slots.
        std::string expect = acc_header;
        for (int i = 0; i < n; ++i) expect += acc_row(40 * (n - i) - 20, i * (1.0 / 256), "1.0000\t-16.0000");
        EXPECT_EQ(d.acc, expect) << n;
        // The run goes on after the burst with the byte after 0xF9.
        EXPECT_EQ(summary(d),
                  "tdr=2 ctd=0 gps=0 acc=" + std::to_string(n) + " end=" + std::to_string(3 * n + 20) + " made=ta");
    }
}

TEST(AccStream, SecondBurstAppendsAndCalibrationApplies) {
    enc s;
    info_fields f;
    f.acc_interval_ms = 100;
    f.acc_counts_per_unit = 100;
    f.acc_offset = 1;
    s.info(f).wet_start(2, noon, 100).u16(1);
    s.acc_start().u16(100).u16(200).u16(0).raw({0xF1, 0x0A, 0xFA, 0x00, 0x00, 0x00}).acc_end().byte(0);
    s.acc_start().u16(0).u16(0).u16(0).acc_end().byte(0).end();
    EXPECT_EQ(decode_stream(s).acc, acc_header + "2019/07/01 11:59:59.850\t0.0000\t1.0000\t-1.0000\r\n" +
                                        "2019/07/01 11:59:59.950\t0.1000\t-1.0000\t-1.0000\r\n" +
                                        "2019/07/01 12:00:00.950\t-1.0000\t-1.0000\t-1.0000\r\n");
}

TEST(AccStream, CutShortAndOverflow) {
    const std::vector<uint8_t> full =
        enc().wet_start(2, noon, 100).u16(1).acc_start().u16(4096).u16(4096).u16(4096).raw({0x01, 0x02}).bytes;
    auto cut = [&full](std::size_t drop) { return std::vector<uint8_t>(full.begin(), full.end() - drop); };
    // More than 998 samples stop decoding, also without a TDR file; the
    // 999th sample ends at byte 13 + 1 + 6 + 998 * 3.
    enc no_run;
    no_run.gps(noon, {}).acc_start().u16(1).u16(1).u16(1).raw(std::vector<uint8_t>(3000, 0));
    check_runs(
        {
            // Inside the relative sample: the sample counts, z kept.
            {"in a relative sample", cut(0), "tdr=1 ctd=0 gps=0 acc=2 end=22 made=ta",
             acc_header + lines({"2019/07/01 11:59:59.940\t0.0000\t0.0000\t0.0000",
                                 "2019/07/01 11:59:59.980\t0.0039\t0.0078\t0.0000"})},
            {"after the absolute sample", cut(2), "tdr=1 ctd=0 gps=0 acc=1 end=20 made=ta",
             acc_header + "2019/07/01 11:59:59.980\t0.0000\t0.0000\t0.0000\r\n"},
            // Inside the absolute sample: no row.
            {"in the absolute sample", cut(3), "tdr=1 ctd=0 gps=0 acc=0 end=18 made=ta", acc_header},
            {"at the code", cut(7), "tdr=1 ctd=0 gps=0 acc=0 end=14 made=ta", acc_header},
            {"overflow", run_with_burst(999).bytes,
             "tdr=0 ctd=0 gps=0 acc=0 end=3014 made=ta ACC OVERFLOW at byte 3014", acc_header},
            {"overflow without a run", no_run.bytes,
             "tdr=0 ctd=0 gps=1 acc=0 end=3009 made=ga ACC OVERFLOW at byte 3009", acc_header},
        },
        &decode_result::acc);
    // "ACC OVERFLOW" is the TDR file's last line.
    const decode_result d = decode_stream(run_with_burst(999));
    EXPECT_TRUE(d.context.acc_overflow);
    EXPECT_EQ(d.tdr, lines({"DATE (UTC)\tDEPTH (m)", "ACC OVERFLOW"}));
}

}  // namespace
}  // namespace vandrel_test
