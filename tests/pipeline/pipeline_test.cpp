// The decoders' writers in threads, through decode_tdr_file and
// extract_packet_file: every writer gets every record in stream order
// whatever the thread count, the text tables are the same bytes, and the
// errors keep their words and order. The counts are 1 (one thread), 2 (one
// writer thread shared by all) and more threads than batches in flight.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "pipeline/writer_threads.h"
#include "test_files.h"
#include "text/decode_tdr_file.h"
#include "text/extract_packet_file.h"
#include "tools/tdr_stream_encoder.h"

namespace vandrel_test {
namespace {

using enc = vandrel::encode::stream_encoder;
const vandrel::encode::stream_time noon{2019, 7, 1, 12, 0, 0};

// Enough writers that a thread count above the batches in flight gives each
// a thread of its own.
constexpr int many_writers = static_cast<int>(vandrel::batches_in_flight) + 3;
const int thread_counts[] = {1, 2, many_writers + 1};

// What a writer was handed, as a digest of every record's every field (so
// that order, copies of the decoder's memory and values all count), and
// the threads it was called in.
struct record_log {
    uint64_t digest = 1469598103934665603ULL;
    uint64_t records = 0;
    std::vector<std::thread::id> threads;

    template <typename... Fields>
    void add(char what, const Fields&... fields) {
        eat(&what, 1);
        (put(fields), ...);
        ++records;
        const std::thread::id me = std::this_thread::get_id();
        if (threads.empty() || threads.back() != me) threads.push_back(me);
    }
    void eat(const void* p, std::size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i) digest = (digest ^ b[i]) * 1099511628211ULL;
    }
    template <typename T>
    void put(const T& v) {
        if constexpr (std::is_same_v<T, std::string>) {
            eat(v.data(), v.size() + 1);
        } else if constexpr (std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*>) {
            eat(v, std::strlen(v) + 1);
        } else {
            static_assert(std::is_arithmetic_v<T>);
            eat(&v, sizeof v);
        }
    }
    bool operator==(const record_log& o) const { return digest == o.digest && records == o.records; }
};

class tdr_log final : public vandrel::tdr_record_sink {
public:
    record_log log;
    bool tdr_table(const vandrel::tdr_table_info& i) override {
        log.add('T', i.regime, i.n_photo);
        return true;
    }
    void tdr_run(const vandrel::tdr_run_info& r) override {
        log.add('R', r.run, r.regime, r.mask, r.depth_unit, r.dry, r.start_time, r.interval, r.n_photo, r.byte_offset);
    }
    void tdr_sample(const vandrel::tdr_row& r) override {
        std::string photo;
        if (r.mask & vandrel::channel_photo)
            for (unsigned i = 0; i < r.n_photo; ++i) photo += " " + std::to_string(r.photo[i]);
        log.add('S', r.run, r.time, r.mask, r.depth, r.temperature, r.odo, r.mag[0], r.mag[1], r.mag[2], r.mag_temp,
                r.wetdry, r.raw_depth, r.raw_temperature, r.raw_odo, r.raw_mag[0], photo);
    }
    void tdr_run_end() override { log.add('E'); }
    void haulout(const vandrel::haulout_event& e) override { log.add('H', e.start, e.end, e.byte_offset); }
    void wetdry(const vandrel::wetdry_event& e) override { log.add('W', e.time, e.state, e.byte_offset); }
    bool ctd_table(const vandrel::ctd_channel_set& c) override {
        log.add('C', labels(c));
        return true;
    }
    void ctd_cast(const vandrel::ctd_cast_info& c) override {
        log.add('K', c.cast, c.ctd_regime, c.start_time, c.interval, c.pressure_zero, c.byte_offset,
                labels(*c.channels));
    }
    void ctd_sample(const vandrel::ctd_row& r) override {
        log.add('c', r.cast, r.time, r.pressure, r.temperature, r.conductivity, r.salinity, r.n_extra,
                r.n_extra > 0 ? r.extra[r.n_extra - 1] : 0.0, r.time_valid);
    }
    bool acc_table() override {
        log.add('A');
        return true;
    }
    void acc_burst(const vandrel::acc_burst_info& b) override {
        log.add('B', b.burst, b.samples, b.end_time, b.byte_offset);
    }
    void acc_sample(const vandrel::acc_row& r) override { log.add('a', r.burst, r.time, r.x, r.y, r.z); }
    bool gps_table() override {
        log.add('G');
        return true;
    }
    void gps(const vandrel::gps_record& g) override {
        std::string entries;
        for (unsigned i = 0; i < 3u * g.satellites; ++i) entries += " " + std::to_string(g.entries[i]);
        log.add('g', g.time, g.time_fields[5], g.satellites, g.byte_offset, entries);
    }
    void info(const vandrel::info_values& v) override {
        log.add('I', v.fw_version, v.tdr_interval, v.acc_scale, v.byte_offset);
    }
    void tdr_table_line(const char* text) override { log.add('L', text); }
    void message(uint32_t at, const char* text) override { log.add('M', at, text); }

private:
    static std::string labels(const vandrel::ctd_channel_set& c) {
        std::string s;
        for (int i = 0; i < c.count; ++i) s += std::string(c.channel[i].label) + "/" + c.channel[i].units + " ";
        return s;
    }
};

// One TDR decoding: the summary, the four tables, and each writer's log.
struct tdr_run {
    bool ok = false;
    std::string summary, tdr, ctd, gps, acc;
    std::vector<record_log> logs;
    std::vector<std::thread::id> prepared_in;
};

tdr_run decode(const std::string& in, const std::string& out_dir, int threads, int writers = many_writers,
               const std::string& tdr_path = "") {
    std::vector<tdr_log> sinks(static_cast<std::size_t>(writers));
    vandrel::tdr_context c;
    c.in_path = in;
    c.tdr_path = tdr_path.empty() ? out_dir + "/tdr.txt" : tdr_path;
    c.ctd_path = out_dir + "/ctd.txt";
    c.gps_path = out_dir + "/gps.txt";
    c.acc_path = out_dir + "/acc.txt";
    c.threads = threads;
    tdr_run r;
    r.prepared_in.resize(sinks.size());
    for (std::size_t i = 0; i < sinks.size(); ++i) {
        c.writers.push_back(&sinks[i]);
        // The first writer's preparation comes before any of its records.
        c.prepare.push_back([&r, &sinks, i] {
            EXPECT_EQ(sinks[i].log.records, 0u);
            r.prepared_in[i] = std::this_thread::get_id();
        });
    }
    testing::internal::CaptureStdout();
    r.ok = vandrel::decode_tdr_file(c, nullptr, 0, false);
    testing::internal::GetCapturedStdout();
    r.summary = std::to_string(c.tdr_records) + " " + std::to_string(c.ctd_records) + " " +
                std::to_string(c.gps_fixes) + " " + std::to_string(c.acc_records) + " " + std::to_string(c.end_offset) +
                " " + std::string(c.message) + " " + std::to_string(c.acc_overflow) + std::to_string(c.tdr_table_begun);
    // (A device such as /dev/full is not read back.)
    r.tdr = exists(c.tdr_path) && !std::filesystem::is_regular_file(c.tdr_path) ? "" : read_text(c.tdr_path);
    r.ctd = read_text(c.ctd_path);
    r.gps = read_text(c.gps_path);
    r.acc = read_text(c.acc_path);
    for (const tdr_log& s : sinks) r.logs.push_back(s.log);
    return r;
}

// Every writer and table as with one thread; with threads to spare, each
// writer in one thread of its own, none the caller's.
void expect_same(const tdr_run& one, const tdr_run& r, int threads, const std::string& name) {
    EXPECT_EQ(r.ok, one.ok) << name << " threads=" << threads;
    EXPECT_EQ(r.summary, one.summary) << name << " threads=" << threads;
    EXPECT_TRUE(r.tdr == one.tdr && r.ctd == one.ctd && r.gps == one.gps && r.acc == one.acc)
        << name << " threads=" << threads;
    std::vector<std::thread::id> seen;
    for (std::size_t i = 0; i < r.logs.size(); ++i) {
        EXPECT_TRUE(r.logs[i] == one.logs[0]) << name << " threads=" << threads << " writer " << i;
        if (threads <= static_cast<int>(r.logs.size()) || r.logs[i].records == 0) continue;
        // (A table that fails as it closes is told to the writers after
        // their threads have ended, in the caller's.)
        EXPECT_NE(r.logs[i].threads[0], std::this_thread::get_id()) << name;
        EXPECT_LE(r.logs[i].threads.size(), 2u) << name;
        EXPECT_EQ(r.prepared_in[i], r.logs[i].threads[0]) << name;
        for (std::thread::id t : seen) EXPECT_NE(t, r.logs[i].threads[0]) << name;
        seen.push_back(r.logs[i].threads[0]);
    }
}

TEST(TdrPipeline, EveryRecordInOrderWhateverTheThreads) {
    temp_dir dir;
    // A generated stream of every kind of block, many batches long, and the
    // fuzz corpus's streams of rare blocks and damage.
    const std::string generated = dir.file("gen.dat");
    const std::string command = std::string(GEN_TDR_STREAM) + " " + generated + " --bytes 1500000 --seed 3";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> inputs = {generated};
    for (const auto& e : std::filesystem::directory_iterator(TDR_CORPUS)) inputs.push_back(e.path().string());
    for (const std::string& in : inputs) {
        std::filesystem::create_directories(dir.file("1"));
        const tdr_run one = decode(in, dir.file("1"), 1);
        if (in == generated) {
            EXPECT_GT(one.logs[0].records, vandrel::batches_in_flight * vandrel::records_per_batch);
        }
        for (int threads : thread_counts) {
            if (threads == 1) continue;
            const std::string out = dir.file(std::to_string(threads));
            std::filesystem::create_directories(out);
            expect_same(one, decode(in, out, threads), threads, in);
        }
    }
}

TEST(TdrPipeline, ErrorsKeepTheirWordsAndOrder) {
    temp_dir dir;
    // A CTD table that cannot be made loses its rows for every writer; an
    // overflowing burst leaves "ACC OVERFLOW" last in the TDR table; a full
    // disk is named; an empty input prepares the writers all the same.
    enc refused;
    refused.wet_start(2, noon, 100).u16(1).delta(1, 2);
    refused.ctd_start(1, noon, 100, 0).u16(1).u16(2).u16(3).ctd_end().byte(0);
    refused.wet_start(2, noon, 100).u16(5).delta(5, 6).end();
    enc overflow;
    overflow.wet_start(2, noon, 100).u16(1).acc_start().u16(1).u16(1).u16(1).raw(std::vector<uint8_t>(3000, 0));
    struct row {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string tdr_path;  // "" for the scratch folder's
        std::string summary_end;
        std::string tdr_end;
    };
    std::vector<row> rows = {
        {"refused", refused.bytes, "", "", "0.6\r\n"},
        {"overflow", overflow.bytes, "", "ACC OVERFLOW at byte 3014\n 11", "ACC OVERFLOW\r\n"},
        {"empty", {}, "", " 00", "(absent)"},
    };
#ifndef _WIN32
    rows.push_back({"full", refused.bytes, "/dev/full", "Can't write TDR data file /dev/full\n 01", ""});
#endif
    for (const row& r : rows) {
        write_bytes(dir.file("in.dat"), r.bytes);
        // The CTD file's folder is missing.
        const std::string out = dir.file(std::string(r.name) + "_missing");
        const std::string made = dir.file(r.name);
        std::filesystem::create_directories(made);
        const std::string& tdr = r.tdr_path.empty() ? made + "/tdr.txt" : r.tdr_path;
        const tdr_run one = decode(dir.file("in.dat"), out, 1, 3, tdr);
        for (std::thread::id t : one.prepared_in) EXPECT_EQ(t, std::this_thread::get_id()) << r.name;
        for (int threads : thread_counts) {
            const tdr_run got = decode(dir.file("in.dat"), out, threads, 3, tdr);
            expect_same(one, got, threads, r.name);
            for (std::thread::id t : got.prepared_in) EXPECT_NE(t, std::thread::id()) << r.name;
            EXPECT_EQ(got.summary.substr(got.summary.size() - std::min(got.summary.size(), r.summary_end.size())),
                      r.summary_end)
                << r.name;
            EXPECT_EQ(got.tdr.substr(got.tdr.size() - std::min(got.tdr.size(), r.tdr_end.size())), r.tdr_end) << r.name;
        }
    }
}

// ---- The packet file.

class packet_log final : public vandrel::packet_record_sink {
public:
    record_log log;
    void packet(const vandrel::packet_info& p) override {
        log.add('P', p.id, p.start_time, p.header_year, p.year, p.samples, p.byte_offset);
    }
    void sample(const vandrel::packet_row& r) override {
        log.add('S', r.id, r.time, r.pressure, r.temperature, r.conductivity, r.salinity, r.fluorescence, r.light,
                r.raw_light, r.mV);
    }
    void skipped(vandrel::packet_skip why, uint64_t at) override { log.add('K', static_cast<int>(why), at); }
};

TEST(PacketPipeline, EveryRecordInOrderAndAFullDisk) {
    temp_dir dir;
    const std::string in = dir.file("p.bin");
    const std::string command = std::string(GEN_PACKETS) + " " + in + " --bytes 1500000 --casts 5 --seed 4";
    ASSERT_EQ(std::system(command.c_str()), 0);
    struct result {
        int rows;
        std::string table;
        std::vector<record_log> logs;
    };
    auto extract = [&](int threads, const std::string& out) {
        std::vector<packet_log> sinks(many_writers);
        vandrel::packet_file_request request;
        request.in_fname = in;
        request.out_fname = out;
        request.now = 1700000000;
        request.threads = threads;
        for (packet_log& s : sinks) request.writers.push_back(&s);
        packet_log progress;
        request.progress = &progress;
        vandrel::decode_outcome outcome;
        result r{vandrel::extract_packet_file(request, &outcome), "", {}};
        if (std::filesystem::is_regular_file(out)) r.table = read_text(out);
        for (const packet_log& s : sinks) r.logs.push_back(s.log);
        // The progress writer runs in the caller's thread.
        if (r.rows > 0) {
            EXPECT_EQ(progress.log.threads, std::vector<std::thread::id>{std::this_thread::get_id()});
        }
        return r;
    };
    const result one = extract(1, dir.file("1.txt"));
    EXPECT_GT(one.logs[0].records, vandrel::batches_in_flight * vandrel::records_per_batch);
    for (int threads : thread_counts) {
        const result r = extract(threads, dir.file(std::to_string(threads) + ".txt"));
        EXPECT_EQ(r.rows, one.rows) << threads;
        EXPECT_TRUE(r.table == one.table) << threads;
        for (const record_log& log : r.logs) EXPECT_TRUE(log == one.logs[0]) << threads;
#ifndef _WIN32
        // A full disk stops the extraction and fails it.
        EXPECT_EQ(extract(threads, "/dev/full").rows, vandrel::extract_write_error) << threads;
#endif
    }
}

}  // namespace
}  // namespace vandrel_test
