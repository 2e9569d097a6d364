// The debug dump and its console positions.
#include <gtest/gtest.h>

#include <filesystem>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

using vandrel::encode::info_fields;
using vandrel::encode::stream_encoder;

const stream_time noon{2019, 7, 1, 12, 0, 0};

struct dumped {
    decode_result result;
    std::string dump;
    std::string console;
};

dumped run_dump(const temp_dir& dir, const std::vector<uint8_t>& bytes, int32_t start_offset = 0,
                const std::string& dump_path = "", bool read_dump = true) {
    decode_options opt;
    opt.debug_dump = true;
    opt.start_offset = start_offset;
    opt.dump_path = dump_path;
    testing::internal::CaptureStdout();
    dumped d;
    d.result = decode_bytes(dir, bytes, opt);
    d.console = testing::internal::GetCapturedStdout();
    if (read_dump) d.dump = read_or_absent(d.result.context.debug_dump_path);
    return d;
}

TEST(DebugDump, Lines) {
    struct row {
        const char* name;
        std::vector<uint8_t> bytes;
        int32_t start_offset;
        std::string dump;
        std::string console;
    };
    stream_encoder info;
    info.info(info_fields{}, 32).end();
    stream_encoder gps;
    gps.gps(noon, {{1, 0xF1F5}}).end();
    stream_encoder ctd;
    ctd.ctd_end().ctd_start(0x1F, noon, 100, 0x1A2B).ctd_end().ctd_end();
    const row rows[] = {
        {"wet start",
         {0xFB, 0x01, 0x77, 0x07, 0x01, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x64, 0xFF},
         0,
         "\r\n       0: FB wet start: Type=1 Time=2019/07/01 12:00:00.00\r\n"
         "\r\n       B: FF :\r\n       C: END OF FILE\r\n",
         "\r       0\r       B"},
        {"skipping",
         [] {
             std::vector<uint8_t> b(100, 0xF3);
             b.push_back(0xF9);
             return b;
         }(),
         100, "Skipping 100 bytes\r\n\r\n      64: F9 End of data:\r\n      65: END OF FILE\r\n", "\r      64"},
        {"info", info.bytes, 0,
         "\r\n       0: F6 info:size=32 ver=140 intvl=100 ctd=100...\r\n"
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
        temp_dir dir;
        const dumped d = run_dump(dir, r.bytes, r.start_offset);
        EXPECT_EQ(d.dump, r.dump) << r.name;
        EXPECT_EQ(d.console, r.console) << r.name;
    }
}

TEST(DebugDump, DataFilesAreTheSameWithAndWithoutIt) {
    temp_dir dir;
    stream_encoder s;
    // The dump's cast pairing ends with a cast open (the last 0xFC); decoding
    // must not inherit it, or the 0xFD inside the samples would end the run.
    s.gps(noon, {}).wet_start(2, noon, 100).u16(1).raw({0xFD, 0x01, 0x02}).code(0xFC);
    const decode_result plain = decode_stream(dir, s);
    const dumped d = run_dump(dir, s.bytes);
    EXPECT_EQ(d.result.tdr, plain.tdr);
    EXPECT_EQ(d.result.gps, plain.gps);
    EXPECT_EQ(d.result.ok, plain.ok);
    EXPECT_EQ(plain.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.2",
                                "2019/07/01 12:00:02\t0.4"}));
    EXPECT_EQ(d.result.context.end_offset, plain.context.end_offset);
}

TEST(DebugDump, UncreatableDumpFile) {
    temp_dir dir;
    stream_encoder s;
    s.wet_start(2, noon, 100).u16(1).end();
    const dumped d = run_dump(dir, s.bytes, 0, dir.file("no/such/dir/dump.txt"));
    EXPECT_TRUE(d.result.ok);
    EXPECT_EQ(d.dump, absent);
    EXPECT_EQ(d.console, "");
    EXPECT_EQ(d.result.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.1"}));
}

TEST(DebugDump, WriteErrorIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    temp_dir dir;
    stream_encoder s;
    s.wet_start(2, noon, 100).u16(1).end();
    const dumped d = run_dump(dir, s.bytes, 0, "/dev/full", false);
    EXPECT_FALSE(d.result.ok);
    EXPECT_EQ(std::string(d.result.context.message), "Can't write debug dump file /dev/full\n");
}

}  // namespace
}  // namespace vandrel_test
