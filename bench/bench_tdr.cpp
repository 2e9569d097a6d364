// Throughput of the TDR stream decoder, end to end (input file to the four
// data files), in MB of input per second (1 MB = 1,000,000 bytes).
//
//   bench_tdr [DIR] [--mb N] [--one-byte-mb N]
//
// Generates a realistic stream of N MiB (default 64) with gen_tdr_stream in
// DIR (kept there for the next run) or in a temporary directory (removed at
// the end), and decodes it through the decoder's input buffer;
// then decodes a shorter stream (default 4 MiB) of the same kind with one
// byte per system call, the way the logger's own platform read, and checks
// that both readings of it give the same files. Prints the rates and their
// ratio. Not a test: nothing here is timed against a limit.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "text/decode_tdr_file.h"

#ifndef GEN_TDR_STREAM
#error "GEN_TDR_STREAM must name the gen_tdr_stream executable"
#endif

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr uint64_t mib = 1024 * 1024;

struct run_result {
    double seconds = 0.0;      // wall clock
    double cpu_seconds = 0.0;  // processor time of this process (user and system)
    uint64_t bytes = 0;
    uint64_t rows = 0;
    bool ok = false;
};

bool generate(const fs::path& out, uint64_t bytes) {
    const std::string cmd = std::string("\"") + GEN_TDR_STREAM + "\" \"" + out.string() + "\" --bytes " +
                            std::to_string(bytes) + " --seed 7";
    return std::system(cmd.c_str()) == 0;
}

run_result decode(const fs::path& in, const fs::path& prefix, std::size_t buffer_size) {
    vandrel::tdr_context context;
    context.in_path = in.string();
    context.tdr_path = prefix.string() + "_tdr.txt";
    context.ctd_path = prefix.string() + "_ctd.txt";
    context.gps_path = prefix.string() + "_gps.txt";
    context.acc_path = prefix.string() + "_acc.txt";
    context.read_buffer_size = buffer_size;
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    run_result r;
    r.ok = vandrel::decode_tdr_file(context, nullptr, 0, false);
    r.cpu_seconds = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.bytes = context.end_offset;
    // The decoder prints "Stop" (no line end) when a cast passes row 14168.
    if (context.ctd_records > 14168) std::printf("\n");
    r.rows = uint64_t{context.tdr_records} + context.ctd_records + context.gps_fixes + context.acc_records;
    return r;
}

// On a machine shared with other work the processor time is the fairer
// measure of a single-threaded decoder; both are shown.
double mb_per_s(const run_result& r) { return r.cpu_seconds > 0.0 ? r.bytes / 1e6 / r.cpu_seconds : 0.0; }
double wall_mb_per_s(const run_result& r) { return r.seconds > 0.0 ? r.bytes / 1e6 / r.seconds : 0.0; }

bool same_contents(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return !fa && !fb;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

void report(const char* what, const run_result& r) {
    std::printf("%-22s %6.1f MB  cpu %7.3f s %7.2f MB/s  wall %7.3f s %7.2f MB/s  %9llu rows%s\n", what, r.bytes / 1e6,
                r.cpu_seconds, mb_per_s(r), r.seconds, wall_mb_per_s(r), static_cast<unsigned long long>(r.rows),
                r.ok ? "" : "  (decoder reported an error)");
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t big_mib = 64;
    uint64_t small_mib = 4;
    std::string work_dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--mb" && i + 1 < argc) {
            big_mib = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--one-byte-mb" && i + 1 < argc) {
            small_mib = std::strtoull(argv[++i], nullptr, 10);
        } else if (work_dir.empty() && !a.empty() && a[0] != '-') {
            work_dir = a;
        } else {
            std::fprintf(stderr, "usage: bench_tdr [DIR] [--mb N] [--one-byte-mb N]\n");
            return 2;
        }
    }
    if (big_mib == 0 || small_mib == 0) {
        std::fprintf(stderr, "bench_tdr: sizes must be at least 1 MiB\n");
        return 2;
    }

    std::error_code ec;
    const bool keep = !work_dir.empty();
    const fs::path dir =
        keep ? fs::path(work_dir) : fs::temp_directory_path(ec) / ("vandrel_bench_tdr_" + std::to_string(getpid()));
    fs::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "bench_tdr: cannot create %s\n", dir.string().c_str());
        return 1;
    }
    // A stream already made by an earlier run is used again: the generator
    // gives the same bytes for the same options.
    const fs::path big = dir / ("tdr_" + std::to_string(big_mib) + "mib_compressed.dat");
    const fs::path small = dir / ("tdr_" + std::to_string(small_mib) + "mib_compressed.dat");
    for (const auto& [path, size] : {std::pair{big, big_mib * mib}, std::pair{small, small_mib * mib}}) {
        if (fs::exists(path, ec) && fs::file_size(path, ec) >= size) continue;
        if (!generate(path, size)) {
            std::fprintf(stderr, "bench_tdr: the generator failed\n");
            if (!keep) fs::remove_all(dir, ec);
            return 1;
        }
    }

    std::printf("TDR stream decoding, input %s\n", big.string().c_str());
    // The first pass warms the page cache for the input; the best of the
    // following two is reported.
    decode(big, dir / "big", vandrel::tdr_context().read_buffer_size);
    run_result best;
    for (int i = 0; i < 2; ++i) {
        const run_result r = decode(big, dir / "big", vandrel::tdr_context().read_buffer_size);
        if (i == 0 || r.cpu_seconds < best.cpu_seconds) best = r;
    }
    report("buffered reads", best);

    const run_result small_buffered = decode(small, dir / "small_buffered", vandrel::tdr_context().read_buffer_size);
    const run_result one_byte = decode(small, dir / "small_one_byte", 1);
    report("buffered, short stream", small_buffered);
    report("one byte per read", one_byte);

    bool same = true;
    for (const char* kind : {"_tdr.txt", "_ctd.txt", "_gps.txt", "_acc.txt"}) {
        if (!same_contents(dir / (std::string("small_buffered") + kind),
                           dir / (std::string("small_one_byte") + kind))) {
            std::printf("MISMATCH: %s differs between buffered and one-byte reading\n", kind);
            same = false;
        }
    }
    const double ratio = mb_per_s(one_byte) > 0.0 ? mb_per_s(best) / mb_per_s(one_byte) : 0.0;
    std::printf("buffered / one byte per read (cpu): %.1fx\n", ratio);
    std::printf("targets: >= 20 MB/s buffered (%s), >= 20x one byte per read (%s)\n",
                mb_per_s(best) >= 20.0 ? "met" : "NOT met", ratio >= 20.0 ? "met" : "NOT met");

    // The data files run to a gigabyte; only the streams are kept.
    for (const char* prefix : {"big", "small_buffered", "small_one_byte"}) {
        for (const char* kind : {"_tdr.txt", "_ctd.txt", "_gps.txt", "_acc.txt"}) {
            fs::remove(dir / (std::string(prefix) + kind), ec);
        }
    }
    if (!keep) fs::remove_all(dir, ec);
    return same && best.ok && one_byte.ok ? 0 : 1;
}
