// GPS records and the info block.
#include <gtest/gtest.h>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

using vandrel::encode::info_fields;
using vandrel::encode::stream_encoder;

const stream_time noon{2019, 7, 1, 12, 0, 0};

TEST(Gps, Lines) {
    struct row {
        std::vector<uint8_t> record;  // after 0xF2
        std::string line;
    };
    std::vector<uint8_t> forty{0x77, 0x07, 0x01, 0x0C, 0x1E, 0x05, 40};
    std::string forty_line = "2019/07/01 12:30:05 40 3 0";
    for (int i = 0; i < 40; ++i) {
        forty.insert(forty.end(), {static_cast<uint8_t>(i), 0xAB, static_cast<uint8_t>(i)});
        char entry[16];
        std::snprintf(entry, sizeof entry, " %d ab%02x", i, i);
        forty_line += entry;
    }
    const row rows[] = {
        {{0x77, 0x07, 0x01, 0x0C, 0x1E, 0x05, 0x02, 0x11, 0x01, 0xA0, 0x05, 0x00, 0x7F},
         "2019/07/01 12:30:05 2 3 0 17 01a0 5 007f"},
        {{0x77, 0x07, 0x01, 0x0C, 0x1E, 0x05, 0x00}, "2019/07/01 12:30:05 0 3 0"},
        // Fields are printed as stored, without any check.
        {{0xFF, 0xF0, 0x00, 0x63, 0xC8, 0xEF, 0x00}, "2155/240/00 99:200:239 0 3 0"},
        // More than 33 satellites: every entry.
        {forty, forty_line},
    };
    for (const row& r : rows) {
        temp_dir dir;
        stream_encoder s;
        s.code(0xF2).raw(r.record).wet_start(2, noon, 100).u16(1).end();
        const decode_result d = decode_stream(dir, s);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.gps, r.line + "\r\n");
        EXPECT_EQ(d.context.gps_fixes, 1u);
        EXPECT_EQ(d.context.tdr_records, 1u);  // the byte after the record was 0xFB
    }
}

TEST(Gps, RecordsCutShortWriteNothing) {
    for (std::size_t keep : {1u, 6u, 7u, 8u, 7u + 3u * 255u}) {
        temp_dir dir;
        stream_encoder s;
        s.gps(noon, std::vector<vandrel::encode::gps_satellite>(255));
        s.bytes.resize(keep);
        const decode_result d = decode_stream(dir, s);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.gps, "");  // created at the record, no line
        EXPECT_EQ(d.context.gps_fixes, 0u);
        EXPECT_EQ(d.context.end_offset, keep >= 8 ? 8u : 1u);  // the time was read whole
    }
}

TEST(Gps, UncreatableFileStillCountsTheRecord) {
    temp_dir dir;
    stream_encoder s;
    s.gps(noon, {{1, 2}}).gps(noon, {}).end();
    write_bytes(dir.file("in.dat"), s.bytes);
    vandrel::tdr_context c;
    c.in_path = dir.file("in.dat");
    c.gps_path = dir.file("no/gps.txt");
    EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, false));
    EXPECT_EQ(std::string(c.message), ("Can't create GPS data file " + c.gps_path + "\n").substr(0, 59));
    EXPECT_EQ(c.gps_fixes, 2u);
}

TEST(Info, CalibrationReachesTheBlocks) {
    temp_dir dir;
    stream_encoder s;
    info_fields f;
    f.pressure_scale = 10;
    f.acc_counts_per_unit = 0x0200;
    f.acc_offset = 0;
    f.acc_interval_ms = 500;
    s.info(f, 32);  // bytes 24..31 are read and ignored
    s.wet_start(2, noon, 100).u16(100);
    s.ctd_start(1, noon, 100, 0).u16(100).u16(8000).u16(200).ctd_end().byte(0x00);
    s.acc_start().u16(512).u16(1024).u16(0).acc_end().byte(0x00);
    // A later block with a zero accelerometer scale keeps the earlier one.
    f.acc_counts_per_unit = 0;
    s.info(f);
    s.byte(0x00);
    s.acc_start().u16(512).u16(0).u16(0).acc_end().byte(0x00).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok) << r.context.message;
    EXPECT_EQ(r.ctd, lines({"DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)\tTIME_VALID",
                            "2019/07/01 12:00:00\t10.00\t0.000\t0.0000\t0.0000\tY"}));
    // Each burst ends at the TDR time of the sample it stands in front of.
    EXPECT_EQ(r.acc, lines({"DATE (UTC)\tX\tY\tZ", "2019/07/01 12:00:00.750\t1.0000\t2.0000\t0.0000",
                            "2019/07/01 12:00:02.750\t1.0000\t0.0000\t0.0000"}));
}

TEST(Info, IntervalAndPhotoChannels) {
    temp_dir dir;
    stream_encoder s;
    info_fields f;
    f.n_photo = 2;
    s.info(f).wet_start(3, noon, 100).u16(10).u16(7).u16(8).raw({0x01, 0x01, 0x7A});
    // An info block inside the samples: a new interval, used by the haul-out.
    f.tdr_interval = 300;
    s.info(f).raw({0x00, 0x00, 0x00});
    s.dry_start(100).byte(0xFB).byte(3).time({2019, 7, 1, 13, 0, 0}).u16(100).u16(1).u16(2).u16(3).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok) << r.context.message;
    // The haul-out began 60 s before the last row, less two intervals (3 s).
    EXPECT_EQ(r.tdr,
              lines({"DATE (UTC)\tDEPTH (m)\tPHOTO0\tPHOTO1", "2019/07/01 12:00:00\t1.0\t    7\t    8",
                     "2019/07/01 12:00:01\t1.1\t    8\t    6", "2019/07/01 12:00:02\t1.1\t    8\t    6",
                     "HAULOUT: 2019/07/01 11:59:08 2019/07/01 12:59:59", "2019/07/01 13:00:00\t0.1\t    2\t    3"}));
}

TEST(Info, FirmwareSwitchesAbsoluteMode) {
    struct row {
        uint16_t fw;
        std::vector<uint8_t> samples;  // after the absolute first sample
        std::string rows;
    };
    const row rows[] = {
        // 132 and 133: every field two bytes, high byte first; 0xFA is a high byte.
        {132,
         {0x00, 0x64, 0xFA, 0x00},
         "2019/07/01 12:00:00\t0.1\r\n2019/07/01 12:00:01\t10.0\r\n"
         "2019/07/01 12:00:02\t0.0\r\n"},
        {133, {0x01, 0x00}, "2019/07/01 12:00:00\t0.1\r\n2019/07/01 12:00:01\t25.6\r\n"},
        {134,
         {0x01, 0x00},
         "2019/07/01 12:00:00\t0.1\r\n2019/07/01 12:00:01\t0.2\r\n"
         "2019/07/01 12:00:02\t0.2\r\n"},
    };
    for (const row& rw : rows) {
        temp_dir dir;
        info_fields f;
        f.fw_version = rw.fw;
        stream_encoder s;
        s.info(f).wet_start(2, noon, 100).u16(1).raw(rw.samples).end();
        const decode_result r = decode_stream(dir, s);
        EXPECT_EQ(r.tdr, "DATE (UTC)\tDEPTH (m)\r\n" + rw.rows) << rw.fw;
        EXPECT_EQ(r.context.fw_version, rw.fw);
    }
    // A second info block with another version switches it back. (A dry
    // start in regime 2 hands back the byte after its interval: the info
    // block's code, dispatched at the top level.)
    temp_dir dir;
    info_fields f;
    f.fw_version = 132;
    stream_encoder s;
    s.info(f).wet_start(2, noon, 100).u16(1).raw({0x00, 0x05}).dry_start(100);
    f.fw_version = 200;
    s.info(f).wet_start(2, {2019, 7, 1, 12, 0, 10}, 100).u16(1).byte(0x02).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.5",
                            "HAULOUT: 2019/07/01 11:59:03 2019/07/01 12:00:09", "2019/07/01 12:00:10\t0.1",
                            "2019/07/01 12:00:11\t0.3"}));
}

TEST(Info, ShortBlockKeepsTheFieldsPastItsEnd) {
    temp_dir dir;
    info_fields f;
    f.pressure_scale = 10;
    f.fw_version = 140;
    stream_encoder s;
    s.info(f);
    // Seven bytes: version, both intervals and half of the pressure scale.
    info_fields g;
    g.fw_version = 132;
    g.pressure_scale = 0xFFFF;
    s.info(g, 7);
    s.ctd_start(1, noon, 100, 0).u16(100).u16(8000).u16(200).ctd_end().end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_EQ(r.context.fw_version, 132u);
    EXPECT_EQ(r.ctd, lines({"DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)\tTIME_VALID",
                            "2019/07/01 12:00:00\t10.00\t0.000\t0.0000\t0.0000\tY"}));
    // An empty block changes nothing; a huge length runs into the end.
    for (uint8_t len : {uint8_t{0}, uint8_t{255}}) {
        temp_dir d2;
        stream_encoder t;
        t.info(f).code(0xF6).byte(len).code(0xFC);
        const decode_result q = decode_stream(d2, t);
        EXPECT_TRUE(q.ok);
        EXPECT_EQ(q.context.fw_version, 140u);
    }
}

}  // namespace
}  // namespace vandrel_test
