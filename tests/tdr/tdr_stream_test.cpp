// Runs of TDR samples and the rows of the TDR data file.
#include <gtest/gtest.h>

#include <algorithm>

#include "tdr/tdr_stream.h"
#include "tdr/time_text.h"
#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

TEST(TdrStream, TimeText) {
    struct row {
        double time;
        const char* text;
    };
    const double t0 = 1561982400.0;  // 2019/07/01 12:00:00
    const row rows[] = {
        {t0 + 0.9996, "2019/07/01 12:00:01"}, {t0 + 0.9994, "2019/07/01 12:00:00"},
        {t0 + 0.9995, "2019/07/01 12:00:01"}, {-1.0, "1969/12/31 23:59:59"},
        {-0.0004, "1970/01/01 00:00:00"},     {-0.0006, "1969/12/31 23:59:59"},
        {0.0, "1970/01/01 00:00:00"},
    };
    for (const row& r : rows) {
        char text[vandrel::detail::time_text_size];
        char* end = vandrel::detail::format_time_text(r.time, text);
        EXPECT_EQ(std::string(text, end), r.text) << r.time;
    }
}

TEST(TdrStream, Rows) {
    info_fields six;
    six.n_photo = 6;
    enc photo;
    photo.info(six).wet_start(3, noon, 50).u16(1);
    for (uint16_t v : {1, 22, 333, 4444, 55555, 65535}) photo.u16(v);
    photo.raw({0x00, 0x01, 0x02, 0xF1, 0x03, 0x04, 0x05, 0xFA, 0x00, 0x00}).end();
    enc regime_7;  // the wet/dry state before the start code is passed over
    regime_7.wetdry(2).gps(noon, {}).wetdry(5).wet_start(7, noon, 100).u16(1234).u16(5863).u16(100).u16(0xFFF6);
    regime_7.u16(0x0064).u16(0).byte(0xF0).raw({0x01, 0x00, 0x79, 0x01, 0x7A, 0x00, 0x7F}).end();
    check_runs(
        {
            // Depth, temperature, ODO, magnetometer and its temperature byte,
            // and the dryness column from the wet/dry state.
            {"regime 7", regime_7.bytes, "tdr=2 ctd=0 gps=1 acc=0 end=44 made=tg",
             lines({"DATE (UTC)\tDEPTH (m)\tTEMP (C)\tODO_DELTA (m)\tMAGX (uT)\tMAGY (uT)\tMAGZ (uT)"
                    "\tMAG_TEMP (C)\tDRYNESS",
                    "2019/07/01 12:00:00\t123.4\t20.00\t12.00\t-1.0\t10.0\t0.0\t-16\t5",
                    "2019/07/01 12:00:01\t123.5\t20.00\t11.88\t-0.9\t9.8\t0.0\t127\t5"})},
            // A depth stepping below zero wraps near 65535 and reads as 0.
            {"depth clamp", enc().wet_start(2, noon, 100).u16(3).byte(125).byte(0x05).end().bytes,
             "tdr=3 ctd=0 gps=0 acc=0 end=16 made=t",
             lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.3", "2019/07/01 12:00:01\t0.0",
                    "2019/07/01 12:00:02\t0.5"})},
            {"one row", enc().wet_start(5, noon, 100).u16(3).end().bytes, "tdr=1 ctd=0 gps=0 acc=0 end=14 made=t",
             lines({"DATE (UTC)\tDEPTH (cm)", "2019/07/01 12:00:00\t0.3"})},
            // A code in the temperature of a sample ends the run there: the
            // last row holds the new depth and the temperature before it.
            {"code mid-sample", enc().wet_start(1, noon, 100).u16(10).u16(5863).raw({0x01, 0x02, 0x01}).end().bytes,
             "tdr=2 ctd=0 gps=0 acc=0 end=19 made=t",
             lines({"DATE (UTC)\tDEPTH (m)\tTEMP (C)", "2019/07/01 12:00:00\t1.0\t20.00",
                    "2019/07/01 12:00:01\t1.2\t20.10"})},
            // Six photo channels, all decoded and written; fillers ignored.
            {"photo", photo.bytes, "tdr=2 ctd=0 gps=0 acc=0 end=62 made=t",
             lines({"DATE (UTC)\tDEPTH (m)\tPHOTO0\tPHOTO1\tPHOTO2\tPHOTO3\tPHOTO4\tPHOTO5",
                    "2019/07/01 12:00:00\t0.1\t    1\t   22\t  333\t 4444\t55555\t65535",
                    "2019/07/01 12:00:00\t0.1\t    2\t   24\t  336\t 4448\t55560\t    0"})},
            // Before 1970 the time reads as -1 and the rows count on from it.
            {"before 1970", enc().wet_start(2, {1960, 1, 1, 0, 0, 0}, 100).u16(1).byte(0).end().bytes,
             "tdr=2 ctd=0 gps=0 acc=0 end=15 made=t",
             lines({"DATE (UTC)\tDEPTH (m)", "1969/12/31 23:59:59\t0.1", "1970/01/01 00:00:00\t0.1"})},
            // Sub-second intervals accumulate; rows are rounded to the
            // millisecond and then cut to the second.
            {"interval", enc().wet_start(2, noon, 45).u16(1).raw({0, 0, 0}).end().bytes,
             "tdr=4 ctd=0 gps=0 acc=0 end=17 made=t",
             lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:00\t0.1",
                    "2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.1"})},
        },
        &decode_result::tdr);
}

// The TDR columns are printed from integers; they must read exactly as C's
// printf prints the scaled doubles, for every raw value.
TEST(TdrStream, ColumnsMatchPrintfForEveryRawValue) {
    enc s;
    s.wet_start(7, noon, 100).u16(65535).u16(0).u16(0).u16(0).u16(0).u16(0).byte(0);
    std::string expect =
        "DATE (UTC)\tDEPTH (m)\tTEMP (C)\tODO_DELTA (m)\tMAGX (uT)\tMAGY (uT)\tMAGZ (uT)\tMAG_TEMP (C)\tDRYNESS\r\n";
    auto row = [&expect](int second, unsigned depth, unsigned raw) {
        char b[160];
        const int t = 12 * 3600 + second;
        std::snprintf(b, sizeof b, "2019/07/%02d %02d:%02d:%02d\t%.1f\t%.2f\t%.2f\t%.1f\t%.1f\t%.1f\t%hd\t0\r\n",
                      1 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60, depth * 0.1, raw * 0.05 - 273.15, raw * 0.12,
                      static_cast<int16_t>(raw) * 0.1, static_cast<int16_t>(raw) * 0.1, static_cast<int16_t>(raw) * 0.1,
                      static_cast<short>(static_cast<int8_t>(raw & 0xFF)));
        expect += b;
    };
    row(0, 65535, 0);
    for (unsigned raw = 1; raw <= 65535; ++raw) {
        const unsigned depth = raw % 21001;  // larger relative depths read as 0
        s.byte(0xFA).u16(static_cast<uint16_t>(depth));
        for (int i = 0; i < 5; ++i) s.byte(0xFA).u16(static_cast<uint16_t>(raw));
        s.byte(static_cast<uint8_t>(raw));
        row(static_cast<int>(raw), depth, raw);
    }
    s.end();
    const decode_result d = decode_stream(s);
    EXPECT_EQ(d.context.tdr_records, 65536u);
    // 65536 rows: report the first line that differs.
    const auto diff = std::mismatch(d.tdr.begin(), d.tdr.end(), expect.begin(), expect.end());
    const auto at = static_cast<std::size_t>(diff.first - d.tdr.begin());
    const std::size_t line = d.tdr.rfind('\n', at) == std::string::npos ? 0 : d.tdr.rfind('\n', at) + 1;
    EXPECT_EQ(d.tdr.substr(line, 120), expect.substr(line, 120));
}

}  // namespace
}  // namespace vandrel_test
