// The file driver and the code dispatcher, through decode_tdr_file.
#include <gtest/gtest.h>

#include <filesystem>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

const stream_time one_pm{2019, 7, 1, 13, 0, 0};

// n zero bytes (byte by byte: g++ 12 sees a false array overrun in an
// insertion of a vector of them).
enc zeros(std::size_t n) {
    enc s;
    for (std::size_t i = 0; i < n; ++i) s.byte(0);
    return s;
}

std::string unknown_regime(int regime) {
    return lines({"***Unknown TDR regime " + std::to_string(regime) + " ***", "Illegal stream contents (0)"});
}

TEST(Dispatch, Streams) {
    const std::string regime_2 = "DATE (UTC)\tDEPTH (m)\r\n";
    const std::string wetdry_6 = "DATE (UTC)\tDEPTH (m)\tWETDRY\r\n";
    const std::string regime_1 = "DATE (UTC)\tDEPTH (m)\tTEMP (C)\r\n";
    enc two_regimes, haul, wetdry, nested, deep;
    two_regimes.wet_start(2, noon, 100).u16(10).delta(10, 20).wet_start(1, one_pm, 100).u16(30).u16(5863).end();
    // Dry rows carry the temperature only; the haul-out line goes before the
    // next run.
    haul.wet_start(1, noon, 100).u16(50).u16(5863).dry_start(100).u16(5864).delta(5864, 5866);
    haul.wet_start(1, one_pm, 200).u16(60).u16(5863).end();
    // 0xF9 and 0xFD with nothing open each read the next byte and hand it on;
    // a row shows the wet/dry state one sample later.
    wetdry.gps(noon, {}).acc_end().ctd_end().wetdry(3).wet_start(6, noon, 100).u16(10).byte(0x02);
    wetdry.wetdry(1).byte(0x05).end();
    // A cast between two samples ends at its 0xFD and the samples go on with
    // the byte after it.
    nested.info({}).wet_start(1, noon, 100).u16(100).u16(5863).ctd_start(1, noon, 100, 30);
    nested.u16(330).u16(23000).u16(36000).ctd_end().byte(0x01).byte(0x00).end();
    // 1000 nested bursts of 7 bytes after a 13-byte run header and sample.
    deep.wet_start(2, noon, 100).u16(1);
    for (int i = 0; i < 100000; ++i) deep.acc_start().u16(1).u16(2).u16(3);
    const std::string zero = "tdr=0 ctd=0 gps=0 acc=0 end=";
    check_runs(
        {
            {"bytes before the first start code are passed over",
             enc().raw({0x00, 0x41, 0xFF}).wet_start(2, noon, 100).u16(1234).end().bytes,
             "tdr=1 ctd=0 gps=0 acc=0 end=17 made=t", regime_2 + "2019/07/01 12:00:00\t123.4\r\n"},
            {"no start code", {0x00, 0xF1, 0xF9, 0xFD, 0xFF, 0x12}, zero + "6 made=", absent},
            {"only end codes", std::vector<uint8_t>(4096, 0xFF), zero + "4096 made=", absent},
            // Outside regimes 1, 2, 3 and 5 a dry start hands itself back.
            {"dry starts", std::vector<uint8_t>(100001, 0xFE), zero + "100001 made=", absent},
            {"unknown code f3", zeros(1225).gps(noon, {}).raw({0xF3, 0xFB}).wet_start(1, noon, 1).bytes,
             "tdr=0 ctd=0 gps=1 acc=0 end=1234 made=g Unknown code f3 at byte 1234", absent},
            {"filler at the top", enc().gps(noon, {}).raw({0xF1, 0xFB}).bytes,
             "tdr=0 ctd=0 gps=1 acc=0 end=9 made=g Unknown code f1 at byte 9", absent},
            {"escape at the top", enc().gps(noon, {}).raw({0xFA, 0xFB}).bytes,
             "tdr=0 ctd=0 gps=1 acc=0 end=9 made=g Unknown code fa at byte 9", absent},
            {"zero at the top", enc().gps(noon, {}).raw({0x00, 0xFB}).bytes,
             "tdr=0 ctd=0 gps=1 acc=0 end=9 made=g Unknown code 0 at byte 9", absent},
            {"regime 0", enc().wet_start(0, noon, 100).u16(1).end().bytes, zero + "11 made=t", unknown_regime(0)},
            {"regime 4", enc().wet_start(4, noon, 100).u16(1).end().bytes, zero + "11 made=t", unknown_regime(4)},
            {"regime 8", enc().wet_start(8, noon, 100).u16(1).end().bytes, zero + "11 made=t", unknown_regime(8)},
            {"the header follows the first regime", two_regimes.bytes, "tdr=3 ctd=0 gps=0 acc=0 end=30 made=t",
             regime_2 +
                 lines({"2019/07/01 12:00:00\t1.0", "2019/07/01 12:00:01\t2.0", "2019/07/01 13:00:00\t3.0\t20.00"})},
            {"haul-out", haul.bytes, "tdr=4 ctd=0 gps=0 acc=0 end=37 made=t",
             regime_1 + lines({"2019/07/01 12:00:00\t5.0\t20.00", "2019/07/01 12:00:00\t0.0\t20.05",
                               "2019/07/01 12:00:01\t0.0\t20.15", "HAULOUT: 2019/07/01 11:59:02 2019/07/01 12:59:58",
                               "2019/07/01 13:00:00\t6.0\t20.00"})},
            // Regimes 2, 3, 5: the interval, then one byte handed back.
            {"dry start in regime 2", enc().wet_start(2, noon, 100).u16(10).dry_start(100).byte(0x41).bytes,
             "tdr=1 ctd=0 gps=0 acc=0 end=17 made=t Unknown code 41 at byte 17",
             regime_2 + "2019/07/01 12:00:00\t1.0\r\n"},
            // Other regimes: the interval only; 0xFE comes back and is
            // dispatched again on the following bytes.
            {"dry start in regime 6",
             enc().wet_start(6, noon, 100).u16(10).dry_start(100).raw({0x00, 0x64, 0x00, 0x64, 0xFF}).bytes,
             "tdr=1 ctd=0 gps=0 acc=0 end=20 made=t", wetdry_6 + "2019/07/01 12:00:00\t1.0\t0\r\n"},
            {"wet/dry changes and stray end codes", wetdry.bytes, "tdr=3 ctd=0 gps=1 acc=0 end=30 made=tg",
             wetdry_6 +
                 lines({"2019/07/01 12:00:00\t1.0\t3", "2019/07/01 12:00:01\t1.2\t1", "2019/07/01 12:00:02\t1.7\t1"})},
            {"end right after a wet/dry code",
             enc().wet_start(6, noon, 100).u16(10).wetdry(4).byte(0x01).code(0xF7).bytes,
             "tdr=2 ctd=0 gps=0 acc=0 end=17 made=t",
             wetdry_6 + lines({"2019/07/01 12:00:00\t1.0\t4", "2019/07/01 12:00:01\t1.1\t4"})},
            {"nested cast", nested.bytes, "tdr=2 ctd=1 gps=0 acc=0 end=64 made=tc",
             regime_1 + lines({"2019/07/01 12:00:00\t10.0\t20.00", "2019/07/01 12:00:01\t10.1\t20.00"})},
            {"too deeply nested", deep.bytes,
             "tdr=1 ctd=0 gps=0 acc=1000 end=7014 made=ta Blocks nested too deeply at byte 7014",
             regime_2 + "2019/07/01 12:00:00\t0.1\r\n"},
        },
        &decode_result::tdr);
}

TEST(Driver, StartOffsetCountsFromTheStartOfTheFile) {
    enc s;
    for (int i = 0; i < 100; ++i) s.byte(0xFB);  // would be start codes if not skipped
    s.wet_start(2, noon, 100).u16(10).end();
    decode_options opt;
    opt.start_offset = 100;
    decode_result r = decode_stream(s, opt);
    EXPECT_EQ(summary(r), "tdr=1 ctd=0 gps=0 acc=0 end=114 made=t");
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t1.0"}));
    opt.start_offset = -5;  // no skip: the first 0xFB starts, regime 0xFB
    r = decode_stream(s, opt);
    EXPECT_EQ(r.context.end_offset, 11u);
    EXPECT_EQ(r.tdr, lines({"***Unknown TDR regime 251 ***", "Illegal stream contents (0)"}));
}

// Inputs and outputs that cannot be used: the message names the file (cut to
// 59 characters), every block is still read to its end, no directory made.
TEST(Driver, FilesThatCannotBeUsed) {
    temp_dir dir;
    enc s;
    s.gps(noon, {}).wet_start(2, noon, 100).u16(1).delta(1, 2);
    s.ctd_start(1, noon, 100, 0).u16(1).u16(2).u16(3).ctd_end().byte(0);
    s.acc_start().u16(1).u16(2).u16(3).acc_end().byte(0).end();
    write_bytes(dir.file("in.dat"), s.bytes);
    write_bytes(dir.file("gps.dat"), enc().gps(noon, {{1, 2}}).gps(noon, {}).end().bytes);
    const std::string missing = dir.file("missing/");
    const std::string long_name = "/no/such/directory/with/a/rather/long/name/for/the/input/file.dat";
    struct row {
        std::string in, out, message;
        uint32_t records, end;
    };
    std::vector<row> rows = {
        {dir.file("nothing.dat"), missing, "Can't open TDR data file " + dir.file("nothing.dat"), 0, 0},
        {long_name, missing, "Can't open TDR data file " + long_name, 0, 0},
        {dir.file("in.dat"), missing, "Can't create ACC data file " + missing + "acc.txt", 1,
         static_cast<uint32_t>(s.bytes.size())},
        {dir.file("gps.dat"), missing, "Can't create GPS data file " + missing + "gps.txt", 2, 20},
    };
#ifndef _WIN32
    rows.push_back({"/proc/self/mem", dir.file(""), "Can't read TDR data file /proc/self/mem", 0, 0});
    rows.push_back({dir.file("in.dat"), "/dev/full", "Can't write TDR data file /dev/full", 0, 0});
#endif
    for (const row& r : rows) {
        vandrel::tdr_context c;
        c.in_path = r.in;
        c.tdr_path = r.out == "/dev/full" ? r.out : r.out + "tdr.txt";
        c.ctd_path = r.out + "ctd.txt";
        c.gps_path = r.out + "gps.txt";
        c.acc_path = r.out + "acc.txt";
        c.debug_dump_path = r.out + "dump.txt";
        EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, r.out == missing && r.records == 0));
        EXPECT_EQ(std::string(c.message), (r.message + "\n").substr(0, 59));
        if (r.out != missing) continue;
        EXPECT_FALSE(exists(missing));
        EXPECT_EQ(c.end_offset, r.end) << r.in;
        EXPECT_EQ(c.gps_fixes + c.tdr_records + c.ctd_records + c.acc_records, r.records) << r.in;
    }
}

TEST(Driver, SecondRunStartsAfresh) {
    enc s;
    s.info({}).wet_start(2, noon, 100).u16(1).delta(1, 2).end();
    EXPECT_EQ(decode_stream(s).tdr, decode_stream(s).tdr);
}

std::vector<uint32_t> progress_offsets;
void note_progress(uint32_t offset, uint32_t tdr, uint32_t, uint32_t, uint32_t) {
    progress_offsets.push_back(offset);
    EXPECT_LE(tdr, offset);
}

// Regime 2 samples are one byte each: every multiple of 1024 is the end of a
// read, whatever the buffer.
TEST(Driver, ProgressAtMultiplesOf1024) {
    enc s;
    s.wet_start(2, noon, 100).u16(1).raw(zeros(5000 - 13).bytes);
    for (std::size_t buffer : {std::size_t{1}, std::size_t{1000}, std::size_t{1} << 16}) {
        progress_offsets.clear();
        decode_options opt;
        opt.progress = note_progress;
        opt.read_buffer_size = buffer;
        EXPECT_EQ(summary(decode_stream(s, opt)), "tdr=4988 ctd=0 gps=0 acc=0 end=5000 made=t");
        EXPECT_EQ(progress_offsets, (std::vector<uint32_t>{1024, 2048, 3072, 4096}));
    }
}

}  // namespace
}  // namespace vandrel_test
