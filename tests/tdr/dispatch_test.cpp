// The file driver and the code dispatcher, through decode_tdr_file.
#include <gtest/gtest.h>

#include <filesystem>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

using vandrel::encode::stream_encoder;

const stream_time noon{2019, 7, 1, 12, 0, 0};

TEST(Driver, MissingInput) {
    temp_dir dir;
    vandrel::tdr_context c;
    c.in_path = dir.file("nothing.dat");
    c.tdr_path = dir.file("tdr.txt");
    c.debug_dump_path = dir.file("dump.txt");
    EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, true));
    EXPECT_EQ(std::string(c.message), ("Can't open TDR data file " + c.in_path + "\n").substr(0, 59));
    EXPECT_FALSE(exists(c.tdr_path));
    EXPECT_FALSE(exists(c.debug_dump_path));
    EXPECT_EQ(c.end_offset, 0u);
}

#ifndef _WIN32
// A read error is not the end of the stream: the run reports it.
TEST(Driver, ReadErrorIsReported) {
    temp_dir dir;
    vandrel::tdr_context c;
    c.in_path = "/proc/self/mem";  // opens, but reading at offset 0 fails
    c.tdr_path = dir.file("tdr.txt");
    EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, false));
    EXPECT_EQ(std::string(c.message), "Can't read TDR data file /proc/self/mem\n");
}
#endif

TEST(Driver, LongMessageIsCutTo59Characters) {
    vandrel::tdr_context c;
    c.in_path = "/no/such/directory/with/a/rather/long/name/for/the/input/file.dat";
    EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, false));
    const std::string full = "Can't open TDR data file " + c.in_path + "\n";
    EXPECT_EQ(std::string(c.message), full.substr(0, 59));
}

TEST(Driver, PassesOverEverythingBeforeTheFirstStartCode) {
    temp_dir dir;
    stream_encoder s;
    s.raw({0x00, 0x41, 0xFF}).wet_start(2, noon, 100).u16(1234).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t123.4"}));
    EXPECT_EQ(r.context.tdr_records, 1u);
    EXPECT_EQ(r.context.end_offset, 17u);
    EXPECT_EQ(r.context.regime, 2);
    EXPECT_EQ(r.ctd, absent);
    EXPECT_EQ(r.gps, absent);
    EXPECT_EQ(r.acc, absent);
}

TEST(Driver, NoStartCode) {
    temp_dir dir;
    const decode_result r = decode_bytes(dir, {0x00, 0xF1, 0xF9, 0xFD, 0xFF, 0x12});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.context.end_offset, 6u);
    EXPECT_EQ(r.context.regime, 9);
    EXPECT_EQ(r.tdr, absent);
}

TEST(Driver, StartOffsetCountsFromTheStartOfTheFile) {
    temp_dir dir;
    stream_encoder s;
    for (int i = 0; i < 100; ++i) s.byte(0xFB);  // would be start codes if not skipped
    s.wet_start(2, noon, 100).u16(10).end();
    decode_options opt;
    opt.start_offset = 100;
    const decode_result r = decode_stream(dir, s, opt);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t1.0"}));
    EXPECT_EQ(r.context.end_offset, 114u);
    opt.start_offset = -5;  // taken as no skip: the first 0xFB starts, regime 0xFB
    const decode_result n = decode_stream(dir, s, opt);
    EXPECT_EQ(n.context.end_offset, 11u);
    EXPECT_EQ(n.tdr, lines({"***Unknown TDR regime 251 ***", "Illegal stream contents (0)"}));
}

TEST(Dispatch, UnknownCodesEndDecoding) {
    struct row {
        std::vector<uint8_t> tail;  // after a GPS record
        std::string message;
    };
    const row rows[] = {
        {{0xF3, 0xFB}, "Unknown code f3 at byte 1234\n"}, {{0x41}, "Unknown code 41 at byte 1234\n"},
        {{0xF1}, "Unknown code f1 at byte 1234\n"},       {{0xFA}, "Unknown code fa at byte 1234\n"},
        {{0x00}, "Unknown code 0 at byte 1234\n"},
    };
    for (const row& rw : rows) {
        temp_dir dir;
        stream_encoder s;
        s.raw(std::vector<uint8_t>(1225, 0)).gps(noon, {}).raw(rw.tail).wet_start(1, noon, 1).u16(1).u16(2);
        const decode_result r = decode_stream(dir, s);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(std::string(r.context.message), rw.message);
        EXPECT_EQ(r.context.end_offset, 1234u);
        EXPECT_EQ(r.tdr, absent);
        EXPECT_EQ(r.context.gps_fixes, 1u);
    }
}

TEST(Dispatch, RegimesWithoutAChannelMaskStop) {
    for (int regime : {0, 4, 8, 9, 200}) {
        temp_dir dir;
        stream_encoder s;
        s.wet_start(static_cast<uint8_t>(regime), noon, 100).u16(1).u16(2).end();
        const decode_result r = decode_stream(dir, s);
        EXPECT_TRUE(r.ok);
        const std::string header = "***Unknown TDR regime " + std::to_string(regime) + " ***";
        EXPECT_EQ(r.tdr, lines({header.c_str(), "Illegal stream contents (0)"}));
        EXPECT_EQ(r.context.end_offset, 11u);
        EXPECT_EQ(r.context.tdr_records, 0u);
    }
}

TEST(Dispatch, HeaderFollowsTheFirstRegime) {
    temp_dir dir;
    stream_encoder s;
    s.wet_start(2, noon, 100).u16(10).delta(10, 20);
    s.wet_start(1, {2019, 7, 1, 13, 0, 0}, 100).u16(30).u16(5863).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t1.0", "2019/07/01 12:00:01\t2.0",
                            "2019/07/01 13:00:00\t3.0\t20.00"}));
    EXPECT_EQ(r.context.regime, 1);
}

TEST(Dispatch, HaulOutLineAndDrySamples) {
    temp_dir dir;
    stream_encoder s;
    s.wet_start(1, noon, 100).u16(50).u16(5863);   // one row at 12:00:00
    s.dry_start(100).u16(5864).delta(5864, 5866);  // dry rows: temperature only
    s.wet_start(1, {2019, 7, 1, 13, 0, 0}, 200).u16(60).u16(5863).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)\tTEMP (C)", "2019/07/01 12:00:00\t5.0\t20.00",
                            "2019/07/01 12:00:00\t0.0\t20.05", "2019/07/01 12:00:01\t0.0\t20.15",
                            "HAULOUT: 2019/07/01 11:59:02 2019/07/01 12:59:58", "2019/07/01 13:00:00\t6.0\t20.00"}));
    EXPECT_EQ(r.context.tdr_records, 4u);
}

TEST(Dispatch, DryStartOutsideRegimeOne) {
    // Regime 2, 3, 5: the interval, then one byte that is handed back.
    {
        temp_dir dir;
        stream_encoder s;
        s.wet_start(2, noon, 100).u16(10).dry_start(100).byte(0x41);
        const decode_result r = decode_stream(dir, s);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(std::string(r.context.message), "Unknown code 41 at byte 17\n");
    }
    // Other regimes: the interval only; 0xFE comes back and is dispatched
    // again on the following bytes.
    {
        temp_dir dir;
        stream_encoder s;
        s.wet_start(6, noon, 100).u16(10).dry_start(100).raw({0x00, 0x64, 0x00, 0x64, 0xFF});
        const decode_result r = decode_stream(dir, s);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.context.end_offset, 20u);  // the last interval is cut short
    }
}

TEST(Dispatch, WetDryChangeAndStrayEndCodes) {
    temp_dir dir;
    stream_encoder s;
    // 0xF9 and 0xFD with nothing open reach the dispatcher after a GPS
    // record: each reads the next byte and hands it on. Then a wet/dry
    // change at the top level, and one in the middle of the samples.
    s.gps(noon, {}).acc_end().ctd_end().wetdry(3).wet_start(6, noon, 100).u16(10).byte(0x02);
    s.wetdry(1).byte(0x05).end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok) << r.context.message;
    // A row shows the state at the time it is written, one sample later.
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)\tWETDRY", "2019/07/01 12:00:00\t1.0\t3",
                            "2019/07/01 12:00:01\t1.2\t1", "2019/07/01 12:00:02\t1.7\t1"}));
}

TEST(Dispatch, EndOfInputRightAfterWetDryCode) {
    temp_dir dir;
    stream_encoder s;
    s.wet_start(6, noon, 100).u16(10).wetdry(4).byte(0x01).code(0xF7);
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.tdr,
              lines({"DATE (UTC)\tDEPTH (m)\tWETDRY", "2019/07/01 12:00:00\t1.0\t4", "2019/07/01 12:00:01\t1.1\t4"}));
}

TEST(Dispatch, NestedBlocksTravelBackUp) {
    temp_dir dir;
    stream_encoder s;
    // Regime 1 samples with a CTD cast between two of them; the cast ends at
    // its 0xFD and the TDR samples go on with the byte after it.
    s.info({}).wet_start(1, noon, 100).u16(100).u16(5863);
    s.ctd_start(1, noon, 100, 30).u16(330).u16(23000).u16(36000).ctd_end();
    s.byte(0x01).byte(0x00);  // +0.1 m, temperature unchanged
    s.end();
    const decode_result r = decode_stream(dir, s);
    EXPECT_TRUE(r.ok) << r.context.message;
    EXPECT_EQ(r.tdr, lines({"DATE (UTC)\tDEPTH (m)\tTEMP (C)", "2019/07/01 12:00:00\t10.0\t20.00",
                            "2019/07/01 12:00:01\t10.1\t20.00"}));
    EXPECT_EQ(r.context.ctd_records, 1u);
}

TEST(Dispatch, TooDeeplyNestedBlocksAreRefused) {
    temp_dir dir;
    stream_encoder s;
    s.wet_start(2, noon, 100).u16(1);
    for (int i = 0; i < 100000; ++i) s.acc_start().u16(1).u16(2).u16(3);
    const decode_result r = decode_stream(dir, s);
    EXPECT_FALSE(r.ok);
    // 13 bytes of run header and first sample, 1000 nested bursts of 7 bytes,
    // and the code that would open one more.
    EXPECT_EQ(std::string(r.context.message), "Blocks nested too deeply at byte 7014\n");
    EXPECT_EQ(r.context.end_offset, 7014u);
}

TEST(Driver, UncreatableOutputs) {
    temp_dir dir;
    stream_encoder s;
    s.gps(noon, {}).wet_start(2, noon, 100).u16(1).delta(1, 2);
    s.ctd_start(1, noon, 100, 0).u16(1).u16(2).u16(3).ctd_end().byte(0);
    s.acc_start().u16(1).u16(2).u16(3).acc_end().byte(0).end();
    write_bytes(dir.file("in.dat"), s.bytes);
    vandrel::tdr_context c;
    c.in_path = dir.file("in.dat");
    c.tdr_path = dir.file("missing/tdr.txt");
    c.ctd_path = dir.file("missing/ctd.txt");
    c.gps_path = dir.file("missing/gps.txt");
    c.acc_path = dir.file("missing/acc.txt");
    EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, false));
    // The last error wins; every block was still read to its end.
    EXPECT_EQ(std::string(c.message), ("Can't create ACC data file " + c.acc_path + "\n").substr(0, 59));
    EXPECT_EQ(c.tdr_records, 0u);
    EXPECT_EQ(c.ctd_records, 0u);
    EXPECT_EQ(c.acc_records, 0u);
    EXPECT_EQ(c.gps_fixes, 1u);
    EXPECT_EQ(c.end_offset, static_cast<uint32_t>(s.bytes.size()));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST(Driver, WriteErrorIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    temp_dir dir;
    stream_encoder s;
    s.wet_start(2, noon, 100).u16(1).end();
    write_bytes(dir.file("in.dat"), s.bytes);
    vandrel::tdr_context c;
    c.in_path = dir.file("in.dat");
    c.tdr_path = "/dev/full";
    EXPECT_FALSE(vandrel::decode_tdr_file(c, nullptr, 0, false));
    EXPECT_EQ(std::string(c.message), "Can't write TDR data file /dev/full\n");
}

TEST(Driver, SecondRunStartsAfresh) {
    temp_dir dir;
    stream_encoder s;
    s.info({}).wet_start(2, noon, 100).u16(1).delta(1, 2).end();
    const decode_result a = decode_stream(dir, s);
    const decode_result b = decode_stream(dir, s);
    EXPECT_EQ(a.tdr, b.tdr);
    EXPECT_EQ(b.context.tdr_records, 2u);
}

std::vector<uint32_t> progress_offsets;
void note_progress(uint32_t offset, uint32_t tdr, uint32_t, uint32_t, uint32_t) {
    progress_offsets.push_back(offset);
    EXPECT_LE(tdr, offset);
}

TEST(Driver, ProgressAtMultiplesOf1024) {
    temp_dir dir;
    stream_encoder s;
    // Regime 2 samples are one byte each: every multiple is the end of a read.
    s.wet_start(2, noon, 100).u16(1);
    while (s.bytes.size() < 5000) s.byte(0);
    for (std::size_t buffer : {std::size_t{1}, std::size_t{1000}, std::size_t{1} << 16}) {
        progress_offsets.clear();
        decode_options opt;
        opt.progress = note_progress;
        opt.read_buffer_size = buffer;
        const decode_result r = decode_stream(dir, s, opt);
        EXPECT_EQ(progress_offsets, (std::vector<uint32_t>{1024, 2048, 3072, 4096}));
        EXPECT_EQ(r.context.end_offset, 5000u);
        EXPECT_EQ(r.context.tdr_records, 4988u);
    }
}

}  // namespace
}  // namespace vandrel_test
