// The TDR decoder through decode_tdr_file and its field readers: streams
// built in the test, decoded in a scratch directory, the four data files and
// the console read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../test_files.h"
#include "science/salinity.h"
#include "tdr/decoder_state.h"
#include "tdr/stream_reader.h"
#include "tdr/tdr_stream.h"
#include "tdr/time_text.h"
#include "text/decode_tdr_file.h"
#include "tools/tdr_stream_encoder.h"

namespace vandrel_test {
namespace {
using vandrel::encode::info_fields;
using enc = vandrel::encode::stream_encoder;
using vandrel::encode::stream_time;

const stream_time noon{2019, 7, 1, 12, 0, 0};
const std::string fixed_header = "DATE (UTC)\tPRESSURE (dbar)\tTEMP (C)\tCOND (mS/cm)\tSAL_LAGGED (PSU)";
const std::string ctd_header = fixed_header + "\tTIME_VALID\r\n";
const std::string depth_header = "DATE (UTC)\tDEPTH (m)\r\n";
const std::string acc_header = "DATE (UTC)\tX\tY\tZ\r\n";

struct decode_result {
    bool ok = false;
    vandrel::tdr_context context;
    std::string tdr, ctd, gps, acc, console, dump;
};

// Decodes bytes in a fresh scratch directory; the console text is kept.
// With debug_dump, the dump goes to dump.txt there unless dump_path is given.
decode_result decode_bytes(const std::vector<uint8_t>& bytes, bool debug_dump = false, int32_t start_offset = 0,
                           const std::string& dump_path = "") {
    temp_dir dir;
    write_bytes(dir.file("in.dat"), bytes);
    decode_result r;
    vandrel::tdr_context& c = r.context;
    c.in_path = dir.file("in.dat");
    c.tdr_path = dir.file("tdr.txt");
    c.ctd_path = dir.file("ctd.txt");
    c.gps_path = dir.file("gps.txt");
    c.acc_path = dir.file("acc.txt");
    c.debug_dump_path = dump_path.empty() ? dir.file("dump.txt") : dump_path;
    testing::internal::CaptureStdout();
    r.ok = vandrel::decode_tdr_file(c, nullptr, start_offset, debug_dump);
    r.console = testing::internal::GetCapturedStdout();
    r.tdr = read_text(c.tdr_path);
    r.ctd = read_text(c.ctd_path);
    r.gps = read_text(c.gps_path);
    r.acc = read_text(c.acc_path);
    // (A dump to a device such as /dev/full is not read back.)
    if (debug_dump && !(exists(c.debug_dump_path) && !std::filesystem::is_regular_file(c.debug_dump_path)))
        r.dump = read_text(c.debug_dump_path);
    return r;
}

// The run's counters, end position, files made (t, c, g, a) and message in
// one line, as a row of a table states them: "tdr=1 ctd=0 gps=0 acc=0 end=17
// made=t", then the message, if any, after a space.
std::string summary(const decode_result& r) {
    const vandrel::tdr_context& c = r.context;
    std::string s = "tdr=" + std::to_string(c.tdr_records) + " ctd=" + std::to_string(c.ctd_records) +
                    " gps=" + std::to_string(c.gps_fixes) + " acc=" + std::to_string(c.acc_records) +
                    " end=" + std::to_string(c.end_offset) + " made=";
    const std::string* files[] = {&r.tdr, &r.ctd, &r.gps, &r.acc};
    for (int i = 0; i < 4; ++i)
        if (*files[i] != absent) s += "tcga"[i];
    std::string message(c.message);
    if (!message.empty() && message.back() == '\n') message.pop_back();
    if (!message.empty()) s += " " + message;
    if (r.ok == !message.empty()) s += " (ok and message disagree)";
    return s;
}

// A row of a decoding table: the stream, the summary, and the text of one of
// the data files (which one the test says).
struct run_row {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string summary;
    std::string text;
};

void check_runs(const std::vector<run_row>& rows, std::string decode_result::*file) {
    for (const run_row& row : rows) {
        const decode_result r = decode_bytes(row.bytes);
        EXPECT_EQ(summary(r), row.summary) << row.name;
        EXPECT_EQ(r.*file, row.text) << row.name;
    }
}

// ---- The field readers, driven directly on a file of test bytes.
using namespace vandrel::detail;

std::vector<uint32_t> progress_calls;
void record_progress(uint32_t offset, uint32_t, uint32_t, uint32_t, uint32_t) { progress_calls.push_back(offset); }

// The decoder's state reading the given bytes from `offset` on.
struct reader_input {
    temp_dir dir;
    vandrel::tdr_stream_request request;
    vandrel::decode_outcome outcome;
    vandrel::tdr_record_sink nowhere;
    std::unique_ptr<tdr_decoder_state> owned = std::make_unique<tdr_decoder_state>(request, outcome, nowhere);
    tdr_decoder_state& st = *owned;

    explicit reader_input(const std::vector<uint8_t>& bytes, uint32_t offset = 0) {
        write_bytes(dir.file("in.dat"), bytes);
        EXPECT_TRUE(st.input.open(dir.file("in.dat")));
        st.byte_offset = offset;
        request.progress = record_progress;
        progress_calls.clear();
    }
};

// One reader on one field: 'u' read_unint, 't' read_time, 'r' read_rel (in
// absolute mode with flag 'a', inside a burst with 'A', inside a cast with
// 'C'), from the value 10. Expected: the result, the value and the bytes
// consumed.
TEST(StreamReader, Fields) {
    struct row {
        char reader;
        std::vector<uint8_t> bytes;
        const char* flags;
        const char* expect;
    };
    const row rows[] = {{'u', {0x12, 0x34}, "", "1 4660 2"},
                        {'u', {0xFF, 0xFE}, "", "1 65534 2"},
                        {'u', {0x12}, "", "0 10 0"},  // cut short: value and offset unchanged
                        // 2019-07-01 12:00:00.50: the hundredths are dropped.
                        {'t', {0x77, 0x07, 0x01, 0x0C, 0x00, 0x00, 0x32}, "", "1 1561982400 7"},
                        // Month 0 is December of the year before; day 0 the last day of the
                        // month before; second 60 the next minute.
                        {'t', {0x77, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 1543622400 7"},
                        {'t', {0x77, 0x03, 0x00, 0x00, 0x00, 0x3C, 0x00}, "", "1 1551312060 7"},
                        {'t', {0x77, 0x0D, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 1577836800 7"},  // month 13
                        {'t', {0x64, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, "", "1 969563955 7"},
                        // Before the time base: -1.
                        {'t', {0x45, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 -1 7"},
                        {'t', {0x46, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}, "", "1 0 7"},
                        {'t', {0x77, 0x07, 0x01}, "", "0 10 0"},
                        {'r', {0x05}, "", "0 15 1"},
                        {'r', {0x00}, "", "0 10 1"},
                        {'r', {0x78}, "", "0 130 1"},  // the largest increase
                        {'r', {0x79}, "", "0 9 1"},    // the smallest decrease
                        {'r', {0xF0}, "", "0 65426 1"},
                        {'r', {0xFA, 0x01, 0x02}, "", "0 258 3"},
                        {'r', {0xFA, 0x10}, "a", "0 64016 2"},  // no escape in absolute mode
                        {'r', {0xF1, 0x05}, "", "0 15 2"},      // filler skipped
                        {'r', {0xF3, 0xF4, 0x02}, "", "0 12 3"},
                        {'r', {0xF1, 0x12, 0x34}, "a", "0 4660 3"},
                        {'r', {0xF9, 0x05}, "", "0 15 2"},
                        {'r', {0xF9, 0x05}, "A", "249 10 1"},
                        {'r', {0xFD, 0x05}, "", "0 15 2"},
                        {'r', {0xFD, 0x05}, "C", "253 10 1"},
                        {'r', {0xFB, 0x05}, "", "251 10 1"},
                        {'r', {0xFE, 0x05}, "", "254 10 1"},
                        {'r', {0xFF, 0x05}, "a", "255 10 1"},
                        // Cut inside the escape: the 0xFA counts, the lone byte does not.
                        {'r', {0xFA, 0x01}, "", "255 10 1"},
                        {'r', {0x12}, "a", "255 10 1"},
                        {'r', {0xF1}, "", "255 10 1"},
                        {'r', {}, "", "255 10 0"},
                        // A wet/dry change in front of the field is decoded, then the delta.
                        {'r', {0xF7, 0x02, 0x03}, "", "0 13 3"}};
    for (const row& r : rows) {
        reader_input in(r.bytes);
        const std::string flags = r.flags;
        in.st.in_acc_block = flags == "A";
        in.st.in_ctd_cast = flags == "C";
        uint16_t v = 10;
        double t = 10;
        int result = 0;
        if (r.reader == 'u') result = read_unint(in.st, v);
        if (r.reader == 't') result = read_time(in.st, t);
        if (r.reader == 'r') result = read_rel(in.st, v, flags == "a");
        const std::string value = std::to_string(r.reader == 't' ? static_cast<int64_t>(t) : v);
        EXPECT_EQ(std::to_string(result) + " " + value + " " + std::to_string(in.st.byte_offset), r.expect)
            << r.reader << " " << testing::PrintToString(r.bytes);
        EXPECT_TRUE(progress_calls.empty());
    }
}

// Progress is told when a read ends on a multiple of 1024, a read of nothing
// included, and not for a read that steps over one or comes up short.
TEST(StreamReader, ProgressAtMultiplesOf1024) {
    reader_input at(std::vector<uint8_t>(16, 0), 1023);
    uint8_t b;
    EXPECT_TRUE(read_bytes(at.st, &b, 1));
    EXPECT_TRUE(read_bytes(at.st, &b, 0));
    EXPECT_EQ(progress_calls, (std::vector<uint32_t>{1024, 1024}));
    double t;
    reader_input over(std::vector<uint8_t>(16, 0), 1020);
    EXPECT_TRUE(read_time(over.st, t));
    reader_input short_read(std::vector<uint8_t>(3, 0), 1021);
    EXPECT_FALSE(read_time(short_read.st, t));
    EXPECT_EQ(short_read.st.byte_offset, 1021u);
    EXPECT_TRUE(progress_calls.empty());
}

// ---- The file driver and the code dispatcher, through decode_tdr_file.
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
             "tdr=1 ctd=0 gps=0 acc=0 end=17 made=t", depth_header + "2019/07/01 12:00:00\t123.4\r\n"},
            {"no start code", {0x00, 0xF1, 0xF9, 0xFD, 0xFF, 0x12}, zero + "6 made=", absent},
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
             depth_header +
                 lines({"2019/07/01 12:00:00\t1.0", "2019/07/01 12:00:01\t2.0", "2019/07/01 13:00:00\t3.0\t20.00"})},
            {"haul-out", haul.bytes, "tdr=4 ctd=0 gps=0 acc=0 end=37 made=t",
             regime_1 + lines({"2019/07/01 12:00:00\t5.0\t20.00", "2019/07/01 12:00:00\t0.0\t20.05",
                               "2019/07/01 12:00:01\t0.0\t20.15", "HAULOUT: 2019/07/01 11:59:02 2019/07/01 12:59:58",
                               "2019/07/01 13:00:00\t6.0\t20.00"})},
            // Regimes 2, 3, 5: the interval, then one byte handed back.
            {"dry start in regime 2", enc().wet_start(2, noon, 100).u16(10).dry_start(100).byte(0x41).bytes,
             "tdr=1 ctd=0 gps=0 acc=0 end=17 made=t Unknown code 41 at byte 17",
             depth_header + "2019/07/01 12:00:00\t1.0\r\n"},
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
             depth_header + "2019/07/01 12:00:00\t0.1\r\n"},
        },
        &decode_result::tdr);
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
        {long_name, missing, "Can't open TDR data file " + long_name, 0, 0},
        // One character more than the message holds: its line end is cut.
        {"/no/such/directory/just/so/lon.dat", missing, "Can't open TDR data file /no/such/directory/just/so/lon.dat",
         0, 0},
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
    EXPECT_EQ(decode_bytes(s.bytes).tdr, decode_bytes(s.bytes).tdr);
}

// ---- GPS records and the info block.
std::vector<uint8_t> gps_then_run(const std::vector<uint8_t>& record) {
    return enc().code(0xF2).raw(record).wet_start(2, noon, 100).u16(1).end().bytes;
}

TEST(Gps, Lines) {
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
    const decode_result r = decode_bytes(s.bytes);
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
    const std::string two_rows = depth_header + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.5"});
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
             depth_header +
                 lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t10.0", "2019/07/01 12:00:02\t0.0"})},
            {"firmware 133", enc().info(firmware(133)).wet_start(2, noon, 100).u16(1).raw({0x01, 0x00}).end().bytes,
             "tdr=2 ctd=0 gps=0 acc=0 end=42 made=t",
             depth_header + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t25.6"})},
            {"firmware 134", enc().info(firmware(134)).wet_start(2, noon, 100).u16(1).raw({0x01, 0x00}).end().bytes,
             "tdr=3 ctd=0 gps=0 acc=0 end=42 made=t",
             depth_header +
                 lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.2", "2019/07/01 12:00:02\t0.2"})},
            {"firmware switched back", back.bytes, "tdr=4 ctd=0 gps=0 acc=0 end=85 made=t",
             depth_header + lines({"2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.5",
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

// ---- Runs of TDR samples and the rows of the TDR data file.
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
    const decode_result d = decode_bytes(s.bytes);
    EXPECT_EQ(d.context.tdr_records, 65536u);
    // 65536 rows: report the first line that differs.
    const auto diff = std::mismatch(d.tdr.begin(), d.tdr.end(), expect.begin(), expect.end());
    const auto at = static_cast<std::size_t>(diff.first - d.tdr.begin());
    const std::size_t line = d.tdr.rfind('\n', at) == std::string::npos ? 0 : d.tdr.rfind('\n', at) + 1;
    EXPECT_EQ(d.tdr.substr(line, 120), expect.substr(line, 120));
}

// ---- CTD casts and the CTD data file.
std::string fmt4(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.4f", v);
    return b;
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
        enc s = enc().info(firmware(r.fw));
        s.ctd_start(r.ctd_regime, noon, 100, 30).u16(330).u16(23000).u16(36000);
        for (uint16_t v : r.extra) s.u16(v);
        s.ctd_end().end();
        const decode_result d = decode_bytes(s.bytes);
        const double sal = vandrel::practical_salinity(10.0, 44.75, 15.0);
        EXPECT_EQ(d.ctd, fixed_header + r.header + "\tTIME_VALID\r\n" +
                             "2019/07/01 12:00:00\t10.00\t15.000\t44.7500\t" + fmt4(sal) + r.values + "\tY\r\n")
            << int(r.ctd_regime) << " fw " << r.fw;
        EXPECT_EQ(summary(d), "tdr=0 ctd=1 gps=0 acc=0 end=" + std::to_string(s.bytes.size()) + " made=c");
    }
}

// Rows of a cast with constant values, for the TIME_VALID row of the cast table.
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

TEST(CtdStream, CodesInsideSamples) {
    enc s;
    s.ctd_start(1, noon, 100, 0).u16(30).u16(8000).u16(200);
    // A code in a later field is consumed and that field keeps its value; a
    // GPS record in front of a field is decoded in passing. (The salinity of
    // the last row uses the lagged conductivity.)
    s.raw({0x1E, 0xFB, 0x00}).gps(noon, {}).raw({0x01, 0x02, 0x03});
    s.ctd_end().end();
    const decode_result d = decode_bytes(s.bytes);
    EXPECT_EQ(d.ctd, ctd_header + "2019/07/01 12:00:00\t1.00\t0.000\t0.0000\t0.0000\tY\r\n" +
                         "2019/07/01 12:00:01\t2.00\t0.000\t0.0000\t0.0000\tY\r\n" +
                         "2019/07/01 12:00:02\t2.03\t0.002\t" + fmt4(3 / 800.0) + "\t" +
                         fmt4(vandrel::practical_salinity(61 / 30.0, (1 - std::exp(-1.0)) * (3 / 800.0), 0.002)) +
                         "\tY\r\n");
    EXPECT_EQ(d.gps, "2019/07/01 12:00:00 0 3 0\r\n");
}

TEST(CtdStream, Casts) {
    const std::vector<uint8_t> full = enc().ctd_start(1, noon, 100, 0).u16(30).u16(8000).u16(200).bytes;
    auto cut = [&full](std::size_t keep) { return std::vector<uint8_t>(full.begin(), full.begin() + keep); };
    const std::string& ctd = ctd_header;
    // A negative conductivity leaves the lag filter unprimed for the next row
    // (raw 32200: 40 mS/cm with the default calibration).
    enc negative = enc().info(firmware(140));
    negative.ctd_start(1, noon, 100, 0).u16(300).u16(23000).u16(100);
    negative.byte(0).byte(0).delta(100, 32200).ctd_end().end();
    enc valid;
    auto cast = [&valid](const stream_time& t, int relative_samples) {
        valid.ctd_start(1, t, 100, 0).u16(0).u16(8000).u16(200);
        for (int i = 0; i < relative_samples; ++i) valid.raw({0, 0, 0});
        valid.ctd_end();
    };
    cast(noon, 1);                     // 2 rows, all Y; the chunk is not 60 long
    cast({2019, 7, 1, 13, 0, 0}, 1);   // continues at 12:00:02; second row N
    cast({2019, 7, 1, 14, 0, 0}, 59);  // continues at 12:00:04; 60 rows
    cast({2019, 7, 1, 15, 0, 0}, 2);   // the header time again, all Y
    valid.end();
    check_runs(
        {
            {"negative conductivity", negative.bytes, "tdr=0 ctd=2 gps=0 acc=0 end=52 made=c",
             ctd + "2019/07/01 12:00:00\t10.00\t15.000\t-0.1250\t" + fmt4(vandrel::practical_salinity(10, -0.125, 15)) +
                 "\tY\r\n2019/07/01 12:00:01\t10.00\t15.000\t40.0000\t" +
                 fmt4(vandrel::practical_salinity(10, 40.0, 15)) + "\tY\r\n"},
            {"TIME_VALID follows the chunk length", valid.bytes,
             "tdr=0 ctd=67 gps=0 acc=0 end=" + std::to_string(valid.bytes.size()) + " made=c",
             ctd + cast_rows(0, 2, true) + cast_rows(2, 2, false) + cast_rows(4, 60, false) +
                 cast_rows(3 * 3600, 3, true)},
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

// ---- Accelerometer bursts and the ACC data file.
// A regime 2 run at noon whose first relative field is preceded by a burst
// of n samples (x counts up from 4096 by one per sample), so that the burst
// ends at 12:00:00; sample i sits in the middle of the i-th of n 40 ms slots,
// and the run goes on after the burst with the byte after 0xF9.
run_row burst(int n) {
    enc s;
    s.wet_start(2, noon, 100).u16(1).acc_start().u16(4096).u16(4352).u16(0);
    for (int i = 1; i < n; ++i) s.raw({0x01, 0x00, 0x00});
    s.acc_end().byte(0x00).end();
    std::string rows = acc_header;
    for (int i = 0; i < n; ++i) {
        const int t = 12 * 3600 * 1000 - 40 * (n - i) + 20;
        char b[96];
        std::snprintf(b, sizeof b, "2019/07/01 %02d:%02d:%02d.%03d\t%.4f\t1.0000\t-16.0000\r\n", t / 3600000,
                      t / 60000 % 60, t / 1000 % 60, t % 1000, i / 256.0);
        rows += b;
    }
    const std::string count = "tdr=2 ctd=0 gps=0 acc=" + std::to_string(n);
    return {"burst of " + std::to_string(n), s.bytes, count + " end=" + std::to_string(3 * n + 20) + " made=ta", rows};
}

TEST(AccStream, Bursts) {
    const std::vector<uint8_t> full =
        enc().wet_start(2, noon, 100).u16(1).acc_start().u16(4096).u16(4096).u16(4096).raw({0x01, 0x02}).bytes;
    auto cut = [&full](std::size_t drop) { return std::vector<uint8_t>(full.begin(), full.end() - drop); };
    // More than 998 samples stop decoding, also without a TDR file; the
    // 999th sample ends at byte 13 + 1 + 6 + 998 * 3.
    enc no_run;
    no_run.gps(noon, {}).acc_start().u16(1).u16(1).u16(1).raw(std::vector<uint8_t>(3000, 0));
    check_runs(
        {
            burst(1),
            burst(25),
            burst(998),
            // Inside the relative sample: the sample counts, z kept.
            {"in a relative sample", cut(0), "tdr=1 ctd=0 gps=0 acc=2 end=22 made=ta",
             acc_header + lines({"2019/07/01 11:59:59.940\t0.0000\t0.0000\t0.0000",
                                 "2019/07/01 11:59:59.980\t0.0039\t0.0078\t0.0000"})},
            {"after the absolute sample", cut(2), "tdr=1 ctd=0 gps=0 acc=1 end=20 made=ta",
             acc_header + "2019/07/01 11:59:59.980\t0.0000\t0.0000\t0.0000\r\n"},
            // Inside the absolute sample: no row.
            {"in the absolute sample", cut(3), "tdr=1 ctd=0 gps=0 acc=0 end=18 made=ta", acc_header},
            {"at the code", cut(7), "tdr=1 ctd=0 gps=0 acc=0 end=14 made=ta", acc_header},
            {"overflow", burst(999).bytes, "tdr=0 ctd=0 gps=0 acc=0 end=3014 made=ta ACC OVERFLOW at byte 3014",
             acc_header},
            {"overflow without a run", no_run.bytes,
             "tdr=0 ctd=0 gps=1 acc=0 end=3009 made=ga ACC OVERFLOW at byte 3009", acc_header},
        },
        &decode_result::acc);
}

// ---- The debug dump and its console positions.

TEST(DebugDump, Lines) {
    struct row {
        const char* name;
        std::vector<uint8_t> bytes;
        int32_t start_offset;
        std::string dump;
        std::string console;
    };
    enc info;
    info_fields firmware;
    firmware.fw_version = 258;  // both bytes count
    info.info(firmware, 32).end();
    enc gps;
    gps.gps(noon, {{1, 0xF1F5}}).end();
    std::vector<uint8_t> skipping(100, 0xF3);
    skipping.push_back(0xF9);
    enc ctd;
    ctd.ctd_end().ctd_start(0x1F, noon, 100, 0x1A2B).ctd_end().ctd_end();
    const row rows[] = {
        {"wet start",
         {0xFB, 0x01, 0x77, 0x07, 0x01, 0x0C, 0x22, 0x38, 0x4E, 0x00, 0x64, 0xFF},
         0,
         "\r\n       0: FB wet start: Type=1 Time=2019/07/01 12:34:56.78\r\n"
         "\r\n       B: FF :\r\n       C: END OF FILE\r\n",
         "\r       0\r       B"},
        {"skipping", skipping, 100, "Skipping 100 bytes\r\n\r\n      64: F9 End of data:\r\n      65: END OF FILE\r\n",
         "\r      64"},
        {"info", info.bytes, 0,
         "\r\n       0: F6 info:size=32 ver=258 intvl=100 ctd=100...\r\n"
         "\r\n      22: FF :\r\n      23: END OF FILE\r\n",
         "\r       0\r      22"},
        // The satellite entries are single bytes to the dump: 0xF1 and 0xF5 in
        // them are listed as codes.
        {"gps", gps.bytes, 0,
         "\r\n       0: F2 GPS:2019/07/01 12:00:00 1 sats\r\n       9: F1 Ignore:\r\n       A: F5 unused:"
         "\r\n       B: FF :\r\n       C: END OF FILE\r\n",
         "\r       0\r       9\r       A\r       B"},
        {"ctd pairing", ctd.bytes, 0,
         "\r\n       0: FD CTD end:** Error **\r\n"
         "\r\n       1: FC CTD start: Type=1f Time=2019/07/01 12:00:00.00 Intvl=064 Press=1a2b\r\n"
         "\r\n       E: FD CTD end:OK\r\n\r\n       F: FD CTD end:** Error **\r\n"
         "\r\n      10: END OF FILE\r\n",
         "\r       0\r       1\r       E\r       F"},
        // The input ends inside a header: the bytes not supplied print as 0,
        // and the header counts whole (code at 1, 8 header bytes, then 10).
        {"cut header",
         {0x00, 0xFB, 0x02, 0x77, 0x07},
         0,
         "\r\n       1: FB wet start: Type=2 Time=2019/07/00 00:00:00.00\r\n\r\n       A: END OF FILE\r\n",
         "\r       1"},
        {"empty", {}, 0, "\r\n       0: END OF FILE\r\n", ""},
    };
    for (const row& r : rows) {
        const decode_result d = decode_bytes(r.bytes, true, r.start_offset);
        EXPECT_EQ(d.dump, r.dump) << r.name;
        EXPECT_EQ(d.console, r.console) << r.name;
    }
}

// The dump changes none of the data files; one that cannot be made is an
// error, and a link planted at its path is replaced, not followed.
TEST(DebugDump, DataFilesAreTheSameWithAndWithoutIt) {
    // The dump's cast pairing ends with a cast open (the last 0xFC); decoding
    // must not inherit it, or the 0xFD inside the samples would end the run.
    const std::vector<uint8_t> s = enc().wet_start(2, noon, 100).u16(1).raw({0xFD, 0x01, 0x02}).code(0xFC).bytes;
    const decode_result plain = decode_bytes(s), dumped = decode_bytes(s, true);
    const std::string run = "tdr=3 ctd=0 gps=0 acc=0 end=17 made=t";
    EXPECT_EQ(summary(plain), run);
    EXPECT_EQ(summary(dumped), run);
    EXPECT_EQ(dumped.tdr, plain.tdr);
    EXPECT_EQ(plain.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.2",
                                "2019/07/01 12:00:02\t0.4"}));
    temp_dir dir;
    const std::string missing = dir.file("d/dump.txt");
    const decode_result d = decode_bytes(s, true, 0, missing);
    EXPECT_EQ(summary(d).substr(0, run.size() + 30) + d.tdr, run + " Can't create debug dump file " + plain.tdr);
    EXPECT_FALSE(exists(missing));
#ifndef _WIN32
    std::filesystem::create_symlink(dir.file("target"), dir.file("link"));
    EXPECT_EQ(decode_bytes(s, true, 0, dir.file("link")).dump, dumped.dump);
    EXPECT_FALSE(exists(dir.file("target")));
#endif
}

}  // namespace
}  // namespace vandrel_test
