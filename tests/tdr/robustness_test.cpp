// Hostile input: every prefix of a stream with every kind of block decodes
// to an end without a crash, a hang or a read out of bounds (the sanitizer
// build watches). Random and mutated streams are the fuzz target's, whose
// corpus the suite replays.
#include <gtest/gtest.h>

#include <cstring>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

// A stream with every kind of block, nested the way loggers nest them.
enc sample_stream() {
    enc s;
    info_fields f;
    f.n_photo = 2;
    s.raw({0x00, 0x13}).info(f).gps({2019, 7, 1, 11, 59, 0}, {{3, 0x0102}, {9, 0xFFFF}});
    s.wet_start(1, {2019, 7, 1, 12, 0, 0}, 100).u16(100).u16(5863);
    std::vector<uint16_t> prev{100, 5863};
    for (uint16_t i = 0; i < 40; ++i)
        s.deltas(prev, {static_cast<uint16_t>(100 + i * 7), static_cast<uint16_t>(5863 - i)});
    s.ctd_start(0x13, {2019, 7, 1, 12, 0, 40}, 100, 30).u16(330).u16(23000).u16(36000).u16(1).u16(2).u16(3);
    for (int i = 0; i < 5; ++i) s.raw({0x02, 0x01, 0x79, 0x01, 0x01, 0x7A});
    s.acc_start().u16(4096).u16(4352).u16(0).raw({0x01, 0x02, 0x03, 0xFA, 0x10, 0x00, 0x00, 0x00}).acc_end();
    s.raw({0x01, 0x01, 0x01, 0x01, 0x01, 0x01}).ctd_end();
    s.raw({0x01, 0x00}).wetdry(1).raw({0x00, 0x7A}).byte(0xF1).raw({0x05, 0x00});
    s.dry_start(100).u16(5870).raw({0x01, 0x02});
    s.wet_start(3, {2019, 7, 1, 13, 0, 0}, 100).u16(10).u16(1).u16(2).raw({0x01, 0x01, 0x01});
    s.wet_start(7, {2019, 7, 1, 13, 1, 0}, 100).u16(1).u16(5863).u16(1).u16(2).u16(3).u16(4).byte(5);
    s.raw({0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x09}).end();
    return s;
}

TEST(Robustness, SampleStreamDecodesCompletely) {
    const decode_result r = decode_stream(sample_stream());
    // The cast: its absolute sample, five relative ones, and one after the
    // burst nested in it. Regime 1: 44 samples; the haul-out: 3; regimes 3
    // and 7: 2 each.
    EXPECT_EQ(summary(r),
              "tdr=51 ctd=7 gps=1 acc=3 end=" + std::to_string(sample_stream().bytes.size()) + " made=tcga");
    EXPECT_NE(r.tdr.find("HAULOUT: 2019/07/01 11:59:45 2019/07/01 12:59:59\r\n"), std::string::npos);
}

TEST(Robustness, EveryPrefixOfTheSampleStream) {
    const std::vector<uint8_t> full = sample_stream().bytes;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const decode_result r = decode_bytes(std::vector<uint8_t>(full.begin(), full.begin() + n));
        SCOPED_TRACE(n);
        EXPECT_LE(r.context.end_offset, n);
        EXPECT_TRUE(r.ok) << r.context.message;
        for (const std::string* file : {&r.tdr, &r.ctd, &r.gps, &r.acc}) {
            if (*file != absent && !file->empty()) {
                EXPECT_EQ(file->substr(file->size() - 2), "\r\n");
            }
        }
    }
}

}  // namespace
}  // namespace vandrel_test
