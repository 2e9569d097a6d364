// The debug dump and its console positions.
#include <gtest/gtest.h>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

decode_result run_dump(const std::vector<uint8_t>& bytes, int32_t start_offset = 0, const std::string& path = "") {
    decode_options opt;
    opt.debug_dump = true;
    opt.start_offset = start_offset;
    opt.dump_path = path;
    return decode_bytes(bytes, opt);
}

TEST(DebugDump, Lines) {
    struct row {
        const char* name;
        std::vector<uint8_t> bytes;
        int32_t start_offset;
        std::string dump;
        std::string console;
    };
    enc info;
    info.info(info_fields{}, 32).end();
    enc gps;
    gps.gps(noon, {{1, 0xF1F5}}).end();
    enc ctd;
    ctd.ctd_end().ctd_start(0x1F, noon, 100, 0x1A2B).ctd_end().ctd_end();
    const row rows[] = {
        {"wet start",
         {0xFB, 0x01, 0x77, 0x07, 0x01, 0x0C, 0x22, 0x38, 0x4E, 0x00, 0x64, 0xFF},
         0,
         "\r\n       0: FB wet start: Type=1 Time=2019/07/01 12:34:56.78\r\n"
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
        const decode_result d = run_dump(r.bytes, r.start_offset);
        EXPECT_EQ(d.dump, r.dump) << r.name;
        EXPECT_EQ(d.console, r.console) << r.name;
    }
}

TEST(DebugDump, DataFilesAreTheSameWithAndWithoutIt) {
    // The dump's cast pairing ends with a cast open (the last 0xFC); decoding
    // must not inherit it, or the 0xFD inside the samples would end the run.
    enc s;
    s.wet_start(2, noon, 100).u16(1).raw({0xFD, 0x01, 0x02}).code(0xFC);
    const decode_result plain = decode_stream(s);
    const decode_result dumped = run_dump(s.bytes);
    EXPECT_EQ(dumped.tdr, plain.tdr);
    EXPECT_EQ(summary(dumped), summary(plain));
    EXPECT_EQ(plain.tdr, lines({"DATE (UTC)\tDEPTH (m)", "2019/07/01 12:00:00\t0.1", "2019/07/01 12:00:01\t0.2",
                                "2019/07/01 12:00:02\t0.4"}));
}

// A dump that cannot be made changes nothing else; one that cannot be
// written is an error.
TEST(DebugDump, DumpFileThatCannotBeUsed) {
    const std::vector<uint8_t> s = enc().wet_start(2, noon, 100).u16(1).end().bytes;
    temp_dir dir;
    const decode_result d = run_dump(s, 0, dir.file("no/such/dir/dump.txt"));
    EXPECT_EQ(summary(d) + d.console + d.dump, "tdr=1 ctd=0 gps=0 acc=0 end=14 made=t" + absent);
#ifndef _WIN32
    EXPECT_EQ(summary(run_dump(s, 0, "/dev/full")),
              "tdr=1 ctd=0 gps=0 acc=0 end=14 made=t Can't write debug dump file /dev/full");
#endif
}

}  // namespace
}  // namespace vandrel_test
