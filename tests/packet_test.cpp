#include "packet/packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using vandrel::sample;

std::vector<uint8_t> payload_of(std::initializer_list<uint8_t> head) {
    std::vector<uint8_t> p(vandrel::payload_size, 0x00);
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

int unpack(const std::vector<uint8_t>& p, sample* out) {
    return vandrel::unpack_samples(p.data(), static_cast<int>(p.size()), out, 0);
}

TEST(ParsePacketHeader, AcceptsOnlyDataPackets) {
    struct row {
        std::vector<uint8_t> header;
        bool accepted;
    };
    const row rows[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false},
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false},
        {{0xEE, 0xEE, 0xEE, 0xEE, 0x38, 0x00, 0x00, 0x0E, 0x10}, false},
        {{0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00, 0x00}, false},
        {{0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00, 0x01}, true},
        {{0xEE, 0xEE, 0xEE, 0xEF, 0x38, 0x00, 0x00, 0x0E, 0x10}, true},
    };
    for (const row& r : rows) {
        uint8_t blk[vandrel::packet_size] = {};
        std::memcpy(blk, r.header.data(), r.header.size());
        vandrel::packet_header h;
        EXPECT_EQ(vandrel::parse_packet_header(blk, h), r.accepted) << int(r.header[4]);
    }
    const uint8_t blk[vandrel::packet_size] = {0x80, 0x00, 0x00, 0x01, 0xFE, 0x01, 0xE1, 0x33, 0x80};
    vandrel::packet_header h;
    ASSERT_TRUE(vandrel::parse_packet_header(blk, h));
    EXPECT_EQ(h.ID, 2147483649u);
    EXPECT_EQ(h.year, 2224);
    EXPECT_EQ(h.year_secs, 31536000u);
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

TEST(UnpackSamples, WorkedPayload) {
    const auto p = payload_of({0x00, 0x00, 0x01, 0x03, 0x0E, 0x10, 0xFC, 0x05, 0xDC, 0x4E, 0x20, 0xA7, 0xA2,
                               0x04, 0xD2, 0xFF, 0xFF, 0x0A, 0x79, 0x00, 0xFA, 0x00, 0x00, 0xF1, 0xFD});
    sample s[vandrel::max_samples];
    ASSERT_EQ(unpack(p, s), 2);
    const uint16_t want[2][6] = {{1500, 20000, 42914, 1234, 65535, 3600}, {1510, 19999, 42914, 0, 65535, 3600}};
    for (int i = 0; i < 2; ++i) {
        const uint16_t got[6] = {s[i].mbar, s[i].temp, s[i].cond, s[i].f, s[i].logl, s[i].mV};
        for (int k = 0; k < 6; ++k) EXPECT_EQ(got[k], want[i][k]) << "sample " << i << " field " << k;
        EXPECT_EQ(s[i].packet, 1u);
    }
}

TEST(UnpackSamples, CountsAndMarkers) {
    sample s[vandrel::max_samples];
    // End code right after the first sample: one sample, no mV.
    auto p = payload_of({0, 0, 0, 0xFC, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xFD});
    EXPECT_EQ(unpack(p, s), 1);
    EXPECT_EQ(s[0].mV, 0);
    // Zeros after the first sample: further samples at 14, 19, ... 109.
    p = payload_of({0, 0, 0, 0xFC, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_EQ(unpack(p, s), 21);
    EXPECT_EQ(s[20].logl, s[0].logl);
    p = payload_of({0, 0, 0, 3, 0x0E, 0x10, 0xFC});
    ASSERT_EQ(unpack(p, s), 20);
    EXPECT_EQ(s[19].mV, 3600);
    // Missing start marker.
    testing::internal::CaptureStdout();
    p = payload_of({0, 0, 0, 0xEE});
    EXPECT_EQ(unpack(p, s), 0);
    p = payload_of({0, 0, 0, 3, 0x0E, 0x10, 0x00});
    EXPECT_EQ(unpack(p, s), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: TDRCODE b[3] =ee\nError: TDRCODE b[6] =0\n");
}

// A further sample whose codes run past the payload is not applied.
TEST(UnpackSamples, IncompleteLastSampleIsDropped) {
    sample s[vandrel::max_samples];
    auto p = payload_of({0, 0, 0, 0xFC, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(unpack(p, s), 21);
    // Escapes from offset 109 on: the sample there would need bytes up to 123.
    for (std::size_t i = 109; i < p.size(); ++i) p[i] = 0xFA;
    EXPECT_EQ(unpack(p, s), 20);
    // Escapes in the last sample that still fit inside the payload.
    p.assign(p.size(), 0x00);
    p[3] = 0xFC;
    p[109] = 0x01;
    p[113] = 0xFA;  // fifth field of the sample at 109 needs offsets 114, 115
    p[114] = 0x12;
    p[115] = 0x34;
    ASSERT_EQ(unpack(p, s), 21);
    EXPECT_EQ(s[20].logl, 0x1234);
    p[113] = 0x00;
    p[117] = 0xFA;  // now the sample at 109 is 0,0,0,0,0 and nothing starts at 114
    EXPECT_EQ(unpack(p, s), 21);
    // Escapes that would reach offset 119: the sample at 104 stops short.
    p.assign(p.size(), 0x00);
    p[3] = 0xFC;
    p[104] = 0xFA;
    p[107] = 0xFA;
    p[110] = 0xFA;
    p[113] = 0xFA;
    p[116] = 0xFA;  // needs offsets 117 and 118: fits exactly
    ASSERT_EQ(unpack(p, s), 20);
    p[116] = 0x00;
    p[117] = 0x00;
    p[104] = 0xFA;
    p[107] = 0xFA;
    p[110] = 0xFA;
    p[113] = 0xFA;
    p[116] = 0x05;  // fifth field is one byte: sample ends at 117
    EXPECT_EQ(unpack(p, s), 20);
}

TEST(UnpackSamples, TraceLines) {
    const auto p = payload_of({0x00, 0x00, 0x01, 0x03, 0x0E, 0x10, 0xFC, 0x05, 0xDC, 0x4E, 0x20, 0xA7, 0xA2,
                               0x04, 0xD2, 0xFF, 0xFF, 0x0A, 0x79, 0x00, 0xFA, 0x00, 0x00, 0xF1, 0xFD});
    sample s[vandrel::max_samples];
    testing::internal::CaptureStdout();
    vandrel::unpack_samples(p.data(), static_cast<int>(p.size()), s, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "pkt 1: 000001 03 0e10\n"
              "Version and mV  030e10\n"
              "@17: mV=3600 packet=1 mbar=1500  temp=20000 cond=42914 f=1234 logl=65535\n"
              "@24: mV=3600 packet=1 mbar=1510  temp=19999 cond=42914 f=0 logl=65535\n"
              "TDRCODE_END_CTD at byte 24\n");
}

}  // namespace
