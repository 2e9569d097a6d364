// Hostile input: cut, random and mutated streams must decode to an end
// without a crash, a hang or a read out of bounds (run under the sanitizers).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "tdr_test_support.h"

namespace vandrel_test {
namespace {

using vandrel::encode::info_fields;
using vandrel::encode::stream_encoder;

// A stream with every kind of block, nested the way loggers nest them.
stream_encoder sample_stream() {
    stream_encoder s;
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


// Thousands of runs rewrite the same small files: on a disk file system each
// truncation can cost milliseconds, so use memory-backed storage where the
// system has it.
std::filesystem::path scratch_path() {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    return (std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path()) /
           ("vandrel_tdr_fuzz_" + std::to_string(std::random_device{}()));
}

class scratch_dir {
public:
    scratch_dir() : path_(scratch_path()) { std::filesystem::create_directories(path_); }
    ~scratch_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// What every run must leave, whatever the input.
void check_invariants(const decode_result& r, std::size_t input_size) {
    EXPECT_LE(r.context.end_offset, input_size);
    EXPECT_LT(std::strlen(r.context.message), vandrel::tdr_message_size);
    EXPECT_EQ(r.ok, r.context.message[0] == '\0');
    for (const std::string* file : {&r.tdr, &r.ctd, &r.gps, &r.acc}) {
        if (*file == absent || file->empty()) continue;
        EXPECT_EQ(file->substr(file->size() - 2), "\r\n");
    }
}

TEST(Robustness, SampleStreamDecodesCompletely) {
    temp_dir dir;
    const decode_result r = decode_stream(dir, sample_stream());
    EXPECT_TRUE(r.ok) << r.context.message;
    EXPECT_EQ(r.context.end_offset, sample_stream().bytes.size());
    EXPECT_EQ(r.context.gps_fixes, 1u);
    // The cast: its absolute sample, five relative ones, and one after the
    // burst nested in it.
    EXPECT_EQ(r.context.ctd_records, 7u);
    EXPECT_EQ(r.context.acc_records, 3u);
    // Regime 1: 44 samples; the haul-out: 3; regimes 3 and 7: 2 each.
    EXPECT_EQ(r.context.tdr_records, 44u + 3u + 2u + 2u);
    EXPECT_NE(r.tdr.find("HAULOUT: 2019/07/01 11:59:45 2019/07/01 12:59:59\r\n"), std::string::npos);
}

TEST(Robustness, EveryPrefixOfTheSampleStream) {
    const std::vector<uint8_t> full = sample_stream().bytes;
    scratch_dir dir;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const decode_result r = decode_bytes(dir, prefix);
        SCOPED_TRACE(n);
        check_invariants(r, n);
        EXPECT_TRUE(r.ok) << r.context.message;
    }
}

TEST(Robustness, OnlyEndCodes) {
    temp_dir dir;
    const decode_result r = decode_bytes(dir, std::vector<uint8_t>(4096, 0xFF));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.context.end_offset, 4096u);
    EXPECT_EQ(r.tdr, absent);
    EXPECT_EQ(r.ctd, absent);
    EXPECT_EQ(r.gps, absent);
    EXPECT_EQ(r.acc, absent);
}

TEST(Robustness, RepeatedDryStartsEndWithTheInput) {
    // Outside regimes 1, 2, 3 and 5 a dry start hands itself back: a long
    // run of them is decoded two bytes at a time, to the end.
    temp_dir dir;
    std::vector<uint8_t> bytes{0xFE};
    bytes.resize(100001, 0xFE);
    const decode_result r = decode_bytes(dir, bytes);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.context.end_offset, 100001u);
}

TEST(Robustness, RandomAndMutatedStreams) {
    scratch_dir dir;
    std::mt19937 rng(20190701);
    const std::vector<uint8_t> base = sample_stream().bytes;
    auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    // Bytes drawn mostly from the codes and small deltas, where the decoder's
    // decisions are.
    auto interesting = [&rng]() -> uint8_t {
        switch (rng() % 4) {
            case 0:
                return static_cast<uint8_t>(0xF1 + rng() % 15);
            case 1:
                return static_cast<uint8_t>(rng() % 8);
            default:
                return static_cast<uint8_t>(rng());
        }
    };
    int decoded = 0;
    for (int i = 0; i < 10000; ++i) {
        std::vector<uint8_t> bytes;
        if (i % 2 == 0) {
            bytes.resize(pick(600));
            for (uint8_t& b : bytes) b = interesting();
        } else {
            bytes = base;
            const int edits = 1 + static_cast<int>(pick(8));
            for (int e = 0; e < edits && !bytes.empty(); ++e) {
                const std::size_t at = pick(bytes.size());
                switch (rng() % 4) {
                    case 0:
                        bytes[at] = interesting();
                        break;
                    case 1:
                        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), interesting());
                        break;
                    case 2:
                        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at));
                        break;
                    default:
                        bytes.resize(at);
                        break;
                }
            }
        }
        decode_options opt;
        opt.debug_dump = i % 50 == 0;
        if (opt.debug_dump) testing::internal::CaptureStdout();  // the dump's positions
        const decode_result r = decode_bytes(dir, bytes, opt);
        if (opt.debug_dump) testing::internal::GetCapturedStdout();
        check_invariants(r, bytes.size());
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << "stream " << i;
            break;
        }
        ++decoded;
    }
    EXPECT_EQ(decoded, 10000);
}

}  // namespace
}  // namespace vandrel_test
