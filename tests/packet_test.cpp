// Packet fields and samples, and whole packet files to tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "packet/packet.h"
#include "test_files.h"
#include "text/extract_packet_file.h"

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

using vandrel_test::read_text;
using vandrel_test::temp_dir;
using vandrel_test::write_bytes;

const std::string header = "ID\tdt\tPressure\tTemperature\tConductivity\tSalinity\tFluoro\tLight\tmV\r\n";

constexpr int64_t run_2026_12_06 = 1796515200;  // 2026-12-06 00:00:00 UTC

// A packet from its header fields and the start of its payload.
std::vector<uint8_t> packet(uint32_t id, uint8_t year_byte, uint32_t year_secs, std::vector<uint8_t> payload) {
    std::vector<uint8_t> p;
    for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<uint8_t>(id >> shift));
    p.push_back(year_byte);
    for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<uint8_t>(year_secs >> shift));
    payload.resize(vandrel::payload_size, 0x00);
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

// A one-sample version-3 payload with the given raw values.
std::vector<uint8_t> one_sample(uint16_t mbar, uint16_t temp, uint16_t cond, uint16_t f, uint16_t logl, uint16_t mV) {
    std::vector<uint8_t> p = {0, 0, 1, 3, static_cast<uint8_t>(mV >> 8), static_cast<uint8_t>(mV), 0xFC};
    for (uint16_t v : {mbar, temp, cond, f, logl}) {
        p.push_back(static_cast<uint8_t>(v >> 8));
        p.push_back(static_cast<uint8_t>(v));
    }
    p.push_back(0xFD);
    return p;
}

const std::vector<uint8_t> worked_payload = {0x00, 0x00, 0x01, 0x03, 0x0E, 0x10, 0xFC, 0x05, 0xDC,
                                             0x4E, 0x20, 0xA7, 0xA2, 0x04, 0xD2, 0xFF, 0xFF, 0x0A,
                                             0x79, 0x00, 0xFA, 0x00, 0x00, 0xF1, 0xFD};

struct run_result {
    int rows;
    std::string table;
};

run_result extract(const std::vector<uint8_t>& file, int64_t now = run_2026_12_06) {
    temp_dir dir;
    write_bytes(dir.file("in.bin"), file);
    const int n = vandrel::extract_packet_file(dir.file("in.bin"), dir.file("out.txt"), now);
    return {n, read_text(dir.file("out.txt"))};
}

// The year in the header is moved on four years at a time until the packet
// starts no more than 126130400 s before the run.
TEST(ExtractPacketFile, FourYearRule) {
    struct row {
        uint8_t year_byte;
        uint32_t year_secs;
        int64_t now;
        const char* first_time;
    };
    const int64_t start_2026 = 1767229200;  // 2026-01-01 01:00:00
    const row rows[] = {
        {56, 3600, 1893359600, "2026-01-01 01:00:00"},              // 2029-12-30 21:13:20: still 2026
        {56, 3600, 1893359601, "2030-01-01 01:00:00"},              // one second later: 2030
        {56, 3600, start_2026 + 126130400, "2026-01-01 01:00:00"},  // exactly the limit
        {56, 3600, start_2026 + 126130401, "2030-01-01 01:00:00"},
        {52, 29376000, run_2026_12_06, "2026-12-07 00:00:00"},  // 2022-12-07 becomes a day after the run
        {1, 1, run_2026_12_06, "2023-01-01 00:00:01"},          // 1971 moved on 13 times
        {60, 3600, run_2026_12_06, "2030-01-01 01:00:00"},      // later than the run: kept
        {254, 1, run_2026_12_06, "2224-01-01 00:00:01"},
    };
    for (const row& r : rows) {
        const auto out = extract(packet(7, r.year_byte, r.year_secs, worked_payload), r.now);
        ASSERT_EQ(out.rows, 2);
        EXPECT_EQ(out.table.substr(header.size() + 2, 19), r.first_time) << int(r.year_byte) << " at " << r.now;
    }
}

TEST(ExtractPacketFile, RawValueConversions) {
    struct row {
        uint16_t mbar, temp, cond, f, logl, mV;
        const char* line;
    };
    const row rows[] = {
        {1000, 0, 0, 0, 0, 0, "0.00\t-5.000\t0.000\t0.000\t0.000\t1.00\t   0"},
        {0, 65535, 65535, 65535, 1000, 12345, "-10.00\t60.535\t65.535\t"},
        {1000, 20000, 42914, 1, 0xFFFF, 65535, "0.00\t15.000\t42.914\t35.000\t0.001\t0.00\t65535"},
        {1001, 5000, 1, 0, 65534, 7, "0.01\t0.000\t0.001\t"},
    };
    for (const row& r : rows) {
        const auto out = extract(packet(1, 56, 1, one_sample(r.mbar, r.temp, r.cond, r.f, r.logl, r.mV)));
        ASSERT_EQ(out.rows, 1);
        const std::string line = out.table.substr(header.size() + 22);
        EXPECT_EQ(line.substr(0, std::string(r.line).size()), r.line);
    }
    // Light 1000 is e^1; the ID is signed, and only EE EE EE EE is blank.
    auto out = extract(packet(0xEEEEEEEFu, 56, 1, one_sample(1000, 0, 0, 0, 1000, 0)));
    EXPECT_NE(out.table.find("\t2.72\t   0\r\n"), std::string::npos);
    EXPECT_EQ(out.table.substr(header.size(), 11), "-286331153\t");
}

// Bad inputs: each gives a clear result and writes only the table.
TEST(ExtractPacketFile, DamagedFiles) {
    const std::vector<uint8_t> good = packet(7, 56, 3600, worked_payload);
    const std::vector<uint8_t> all_ff(128, 0xFF), all_00(128, 0x00);
    auto cat = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    struct row {
        const char* name;
        std::vector<uint8_t> file;
        int rows;
        std::string console;
    };
    const row rows[] = {
        {"empty", {}, 0, ""},
        {"shorter than a packet", std::vector<uint8_t>(good.begin(), good.begin() + 100), 0, ""},
        {"200 bytes", cat({good, std::vector<uint8_t>(72, 0x42)}), 2, ""},
        {"refused only",
         cat({all_ff, all_00, packet(7, 0, 3600, worked_payload), packet(7, 255, 3600, worked_payload),
              packet(0xEEEEEEEE, 56, 3600, worked_payload), packet(7, 56, 0, worked_payload)}),
         0, ""},
        {"missing marker", cat({packet(7, 56, 3600, {0, 0, 1, 0xEE}), good}), 2, "Error: TDRCODE b[3] =ee\n"},
    };
    for (const row& r : rows) {
        testing::internal::CaptureStdout();
        const auto out = extract(r.file);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.console) << r.name;
        EXPECT_EQ(out.rows, r.rows) << r.name;
        EXPECT_EQ(out.table.substr(0, header.size()), header) << r.name;
        if (r.rows == 0) {
            EXPECT_EQ(out.table, header) << r.name;
        }
    }
}

}  // namespace
