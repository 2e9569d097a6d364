#include "packet/packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using vandrel::sample;

int unpack(const std::vector<uint8_t>& p, sample* out) {
    return vandrel::unpack_samples(p.data(), static_cast<int>(p.size()), out, 0);
}

TEST(DecodeField, AppliesCodes) {
    struct row {
        uint16_t before;
        std::vector<uint8_t> code;
        uint16_t after;
        uint8_t used;
    };
    const row rows[] = {
        {0, {0x79}, 65535, 1},   {65535, {0x01}, 0, 1},   {1000, {0x00}, 1000, 1},
        {1000, {0x78}, 1120, 1}, {1000, {0xF0}, 880, 1},  {7, {0xFA, 0x12, 0x34}, 0x1234, 3},
        {7, {0xF1}, 7, 1},       {7, {0xFD}, 7, 1},       {7, {0xFC}, 7, 1},
        {7, {0xFF}, 7, 1},       {7, {0xFA, 0x12}, 7, 0}, {7, {}, 7, 0},
    };
    for (const row& r : rows) {
        uint16_t v = r.before;
        EXPECT_EQ(vandrel::decode_field(&v, r.code.data(), r.code.size()), r.used);
        EXPECT_EQ(v, r.after);
    }
}

// Samples start after the marker 0xFC at offset 3 (or 6, after a version-3
// header of version and mV); further samples of five one-byte fields follow
// until the end code or until one would run past the payload.
TEST(UnpackSamples, Counts) {
    struct row {
        const char* name;
        std::vector<std::pair<std::size_t, uint8_t>> bytes;  // offset, value over zeros
        int samples;
        uint16_t last_logl, last_mV;
        std::string console;
    };
    const std::vector<std::pair<std::size_t, uint8_t>> first = {{3, 0xFC}, {13, 0x07}};
    auto with = [&first](std::initializer_list<std::pair<std::size_t, uint8_t>> more) {
        auto v = first;
        v.insert(v.end(), more);
        return v;
    };
    const row rows[] = {
        {"end code after the first sample", with({{14, 0xFD}}), 1, 7, 0, ""},
        {"zeros to the end", first, 21, 7, 0, ""},
        {"version 3", {{3, 3}, {4, 0x0E}, {5, 0x10}, {6, 0xFC}}, 20, 0, 3600, ""},
        {"escape that fits", with({{109, 1}, {113, 0xFA}, {114, 0x12}, {115, 0x34}}), 21, 0x1234, 0, ""},
        {"escape after the last sample", with({{109, 1}, {117, 0xFA}}), 21, 7, 0, ""},
        // The sample at 104 needs offsets up to 118: it fits exactly.
        {"escapes to 118", with({{104, 0xFA}, {107, 0xFA}, {110, 0xFA}, {113, 0xFA}, {116, 0xFA}}), 20, 0, 0, ""},
        {"escapes, one-byte fifth field", with({{104, 0xFA}, {107, 0xFA}, {110, 0xFA}, {113, 0xFA}, {116, 5}}), 20, 12,
         0, ""},
        {"missing marker", {{3, 0xEE}}, 0, 0, 0, "Error: TDRCODE b[3] =ee\n"},
        {"missing marker after the header", {{3, 3}, {4, 0x0E}, {5, 0x10}}, 0, 0, 0, "Error: TDRCODE b[6] =0\n"},
    };
    for (const row& r : rows) {
        std::vector<uint8_t> p(vandrel::payload_size, 0x00);
        for (const auto& [at, value] : r.bytes) p[at] = value;
        sample s[vandrel::max_samples] = {};
        testing::internal::CaptureStdout();
        const int n = unpack(p, s);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.console) << r.name;
        ASSERT_EQ(n, r.samples) << r.name;
        if (n == 0) continue;
        EXPECT_EQ(s[n - 1].logl, r.last_logl) << r.name;
        EXPECT_EQ(s[n - 1].mV, r.last_mV) << r.name;
    }
    // Escapes from offset 109 on: the sample there would need bytes up to
    // 123 and is dropped.
    std::vector<uint8_t> p(vandrel::payload_size, 0xFA);
    std::fill(p.begin(), p.begin() + 109, 0x00);
    p[3] = 0xFC;
    sample s[vandrel::max_samples];
    EXPECT_EQ(unpack(p, s), 20);
}

}  // namespace
