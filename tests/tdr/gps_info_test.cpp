// GPS records and the info block.
#include <gtest/gtest.h>

#include <cstdio>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

std::vector<uint8_t> gps_then_run(const std::vector<uint8_t>& record) {
    return enc().code(0xF2).raw(record).wet_start(2, noon, 100).u16(1).end().bytes;
}

TEST(Gps, Lines) {
    std::vector<uint8_t> forty{0x77, 0x07, 0x01, 0x0C, 0x1E, 0x05, 40};
    std::string forty_line = "2019/07/01 12:30:05 40 3 0";
    for (int i = 0; i < 40; ++i) {
        forty.insert(forty.end(), {static_cast<uint8_t>(i), 0xAB, static_cast<uint8_t>(i)});
        char entry[16];
        std::snprintf(entry, sizeof entry, " %d ab%02x", i, i);
        forty_line += entry;
    }
    // A record cut short writes no line, whatever the cut.
    std::vector<run_row> rows;
    for (std::size_t keep : {1u, 6u, 7u, 8u, 7u + 3u * 255u}) {
        std::vector<uint8_t> cut = enc().gps(noon, std::vector<vandrel::encode::gps_satellite>(255)).bytes;
        cut.resize(keep);
        rows.push_back(
            {"cut", cut, "tdr=0 ctd=0 gps=0 acc=0 end=" + std::to_string(keep >= 8 ? 8 : 1) + " made=g", ""});
    }
    rows.push_back({"two satellites",
                    gps_then_run({0x77, 0x07, 0x01, 0x0C, 0x1E, 0x05, 0x02, 0x11, 0x01, 0xA0, 0x05, 0x00, 0x7F}),
                    "tdr=1 ctd=0 gps=1 acc=0 end=28 made=tg", "2019/07/01 12:30:05 2 3 0 17 01a0 5 007f\r\n"});
    rows.push_back({"none", gps_then_run({0x77, 0x07, 0x01, 0x0C, 0x1E, 0x05, 0x00}),
                    "tdr=1 ctd=0 gps=1 acc=0 end=22 made=tg", "2019/07/01 12:30:05 0 3 0\r\n"});
    // Fields are printed as stored, without any check.
    rows.push_back({"unchecked", gps_then_run({0xFF, 0xF0, 0x00, 0x63, 0xC8, 0xEF, 0x00}),
                    "tdr=1 ctd=0 gps=1 acc=0 end=22 made=tg", "2155/240/00 99:200:239 0 3 0\r\n"});
    rows.push_back({"forty", gps_then_run(forty), "tdr=1 ctd=0 gps=1 acc=0 end=142 made=tg", forty_line + "\r\n"});
    check_runs(rows, &decode_result::gps);
}

TEST(Info, CalibrationReachesTheBlocks) {
    info_fields f;
    f.pressure_scale = 10;
    f.acc_counts_per_unit = 0x0200;
    f.acc_offset = 0;
    f.acc_interval_ms = 500;
    enc s;
    s.info(f, 32);  // bytes 24..31 are read and ignored
    // A block cut inside the pressure scale keeps the scale before it.
    info_fields cut;
    cut.pressure_scale = 0xFFFF;
    s.info(cut, 7);
    s.wet_start(2, noon, 100).u16(100);
    s.ctd_start(1, noon, 100, 0).u16(100).u16(8000).u16(200).ctd_end().byte(0x00);
    s.acc_start().u16(512).u16(1024).u16(0).acc_end().byte(0x00);
    // A later block with a zero accelerometer scale keeps the earlier one.
    f.acc_counts_per_unit = 0;
    s.info(f).byte(0x00);
    s.acc_start().u16(512).u16(0).u16(0).acc_end().byte(0x00).end();
    const decode_result r = decode_stream(s);
    EXPECT_EQ(r.ctd, ctd_header + "2019/07/01 12:00:00\t10.00\t0.000\t0.0000\t0.0000\tY\r\n");
    // Each burst ends at the TDR time of the sample it stands in front of.
    EXPECT_EQ(r.acc, acc_header + lines({"2019/07/01 12:00:00.750\t1.0000\t2.0000\t0.0000",
                                         "2019/07/01 12:00:02.750\t1.0000\t0.0000\t0.0000"}));
}

info_fields firmware(uint16_t version) {
    info_fields f;
    f.fw_version = version;
    return f;
}

TEST(Info, Blocks) {
    const std::string depth = "DATE (UTC)\tDEPTH (m)\r\n";
    info_fields photo, slow;
    photo.n_photo = slow.n_photo = 2;
    slow.tdr_interval = 300;
    // An info block inside the samples: a new interval, used by the haul-out,
    // which began 60 s before the last row less two intervals.
    enc interval;
    interval.info(photo).wet_start(3, noon, 100).u16(10).u16(7).u16(8).raw({0x01, 0x01, 0x7A}).info(slow);
    interval.raw({0x00, 0x00, 0x00}).dry_start(100).byte(0xFB).byte(3).time({2019, 7, 1, 13, 0, 0});
    interval.u16(100).u16(1).u16(2).u16(3).end();
    // A second info block switches back. (A dry start in regime 2 hands back
    // the byte after its interval: the info block's code.)
    enc back;
    back.info(firmware(132)).wet_start(2, noon, 100).u16(1).raw({0x00, 0x05}).dry_start(100);
    back.info(firmware(200)).wet_start(2, {2019, 7, 1, 12, 0, 10}, 100).u16(1).byte(0x02).end();
    // Seven bytes: version, both intervals and half of the pressure scale.
    enc short_block;
    short_block.info(firmware(140)).info(firmware(132), 7).wet_start(2, noon, 100).u16(1).raw({0x00, 0x05}).end();
    const std::string two_rows = depth + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.5"});
    check_runs(
        {
            {"interval and photo channels", interval.bytes, "tdr=4 ctd=0 gps=0 acc=0 end=96 made=t",
             lines({"DATE (UTC)\tDEPTH (m)\tPHOTO0\tPHOTO1", "2019/07/01 12:00:00\t1.0\t    7\t    8",
                    "2019/07/01 12:00:01\t1.1\t    8\t    6", "2019/07/01 12:00:02\t1.1\t    8\t    6",
                    "HAULOUT: 2019/07/01 11:59:08 2019/07/01 12:59:59", "2019/07/01 13:00:00\t0.1\t    2\t    3"})},
            // Firmware 132 and 133: every field two bytes, high byte first;
            // 0xFA is a high byte.
            {"firmware 132",
             enc().info(firmware(132)).wet_start(2, noon, 100).u16(1).raw({0, 100, 0xFA, 0}).end().bytes,
             "tdr=3 ctd=0 gps=0 acc=0 end=44 made=t",
             depth + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t10.0", "2019/07/01 12:00:02\t0.0"})},
            {"firmware 133", enc().info(firmware(133)).wet_start(2, noon, 100).u16(1).raw({0x01, 0x00}).end().bytes,
             "tdr=2 ctd=0 gps=0 acc=0 end=42 made=t",
             depth + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t25.6"})},
            {"firmware 134", enc().info(firmware(134)).wet_start(2, noon, 100).u16(1).raw({0x01, 0x00}).end().bytes,
             "tdr=3 ctd=0 gps=0 acc=0 end=42 made=t",
             depth + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.2", "2019/07/01 12:00:02\t0.2"})},
            {"firmware switched back", back.bytes, "tdr=4 ctd=0 gps=0 acc=0 end=85 made=t",
             depth + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.5",
                            "HAULOUT: 2019/07/01 11:59:03 2019/07/01 12:00:09", "2019/07/01 12:00:10\t0.1",
                            "2019/07/01 12:00:11\t0.3"})},
            {"short block", short_block.bytes, "tdr=2 ctd=0 gps=0 acc=0 end=51 made=t", two_rows},
            // An empty block changes nothing; a huge length runs into the end.
            {"empty block", enc().info(firmware(132)).raw({0xF6, 0}).wet_start(2, noon, 100).u16(1).raw({0, 5}).bytes,
             "tdr=2 ctd=0 gps=0 acc=0 end=43 made=t", two_rows},
            {"huge block", enc().info(firmware(132)).raw({0xF6, 255, 0xFC}).bytes,
             "tdr=0 ctd=0 gps=0 acc=0 end=28 made=", absent},
        },
        &decode_result::tdr);
}

}  // namespace
}  // namespace vandrel_test
