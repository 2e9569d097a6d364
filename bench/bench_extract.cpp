// Throughput of the packet-file extraction against a plain loop of fprintf
// calls that writes the same table with the same formats.
//   bench_extract PACKET_FILE OUT_DIR
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "packet/packet.h"
#include "science/salinity.h"
#include "text/extract_packet_file.h"

namespace {

using clock_type = std::chrono::steady_clock;

// The straightforward way: stdio reads, gmtime and strftime for the time,
// one fprintf per row.
long fprintf_loop(const char* in_path, const char* out_path, int64_t now) {
    std::FILE* in = std::fopen(in_path, "rb");
    std::FILE* out = std::fopen(out_path, "wb");
    if (in == nullptr || out == nullptr) return -1;
    std::fprintf(out, "ID\tdt\tPressure\tTemperature\tConductivity\tSalinity\tFluoro\tLight\tmV\r\n");
    long count = 0;
    uint8_t blk[vandrel::packet_size];
    vandrel::sample samples[vandrel::max_samples];
    while (std::fread(blk, 1, sizeof blk, in) == sizeof blk) {
        vandrel::packet_header msg;
        if (!vandrel::parse_packet_header(blk, msg)) continue;
        vandrel::compute_start_time(now, msg);
        const int n = vandrel::unpack_samples(blk + vandrel::packet_header_size,
                                              static_cast<int>(vandrel::payload_size), samples, 0);
        time_t t = static_cast<time_t>(msg.start_time);
        for (int i = 0; i < n; ++i) {
            const vandrel::sample& s = samples[i];
            struct tm tmv;
            gmtime_r(&t, &tmv);
            char tstr[40];
            std::strftime(tstr, sizeof tstr, "%Y-%m-%d %H:%M:%S", &tmv);
            const double p = (s.mbar - 1000.0) * 0.01;
            const double te = s.temp * 0.001 - 5.0;
            const double c = s.cond * 0.001;
            std::fprintf(out, "%ld\t%s\t%.2f\t%.3f\t%.3f\t%.3f\t%.3f\t%.2f\t%4u\r\n",
                         static_cast<long>(static_cast<int32_t>(msg.ID)), tstr, p, te, c,
                         vandrel::practical_salinity(p, c, te), s.f * 0.001,
                         s.logl == 0xFFFF ? 0.0 : std::exp(s.logl * 0.001), static_cast<unsigned>(s.mV));
            ++t;
        }
        count += n;
    }
    std::fclose(in);
    std::fclose(out);
    return count;
}

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_extract PACKET_FILE OUT_DIR\n");
        return 2;
    }
    const std::string in = argv[1];
    const std::string out_dir = argv[2];
    std::FILE* f = std::fopen(in.c_str(), "rb");
    if (f == nullptr) return 1;
    std::fseek(f, 0, SEEK_END);
    const double mb = static_cast<double>(std::ftell(f)) / 1e6;
    std::fclose(f);
    const int64_t now = 1796515200;  // a fixed run date keeps the tables comparable

    double best_ours = 1e30;
    int rows = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = clock_type::now();
        rows = vandrel::extract_packet_file(in, out_dir + "/ours.txt", now);
        const double s = seconds_since(start);
        if (s < best_ours) best_ours = s;
    }
    const auto start = clock_type::now();
    const long ref_rows = fprintf_loop(in.c_str(), (out_dir + "/fprintf.txt").c_str(), now);
    const double ref = seconds_since(start);

    std::printf("input: %.1f MB, %d rows\n", mb, rows);
    std::printf("extract_packet_file: %8.3f s  %12.0f rows/s  %7.1f MB/s\n", best_ours, rows / best_ours,
                mb / best_ours);
    std::printf("fprintf loop:        %8.3f s  %12.0f rows/s  %7.1f MB/s  (%ld rows)\n", ref, ref_rows / ref, mb / ref,
                ref_rows);
    std::printf("speed-up: %.2fx\n", ref / best_ours);
    return rows == ref_rows ? 0 : 1;
}
