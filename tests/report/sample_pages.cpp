// Writes a packet report and a TDR report from made-up records, for the
// browser check of the page script independent of the decoders:
//   report_sample_pages FOLDER
#include <cmath>
#include <cstdio>
#include <string>

#include "report/report_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: report_sample_pages FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const vandrel::report_metadata meta{"sample", 1000, "vandrel test", 1700000000};
    std::string error;

    vandrel::packet_report_writer packets(folder + "/made_up_packets_report.html", meta);
    for (uint32_t p = 0; p < 40; ++p) {
        const uint32_t id = 100 + p % 3;
        const int64_t start = 1500000000 + p * 600;
        packets.packet({id, start, 2013, 2017, 20, uint64_t{p} * 128});
        for (int i = 0; i < 20; ++i) {
            const double depth = 50 + 45 * std::sin((p * 20 + i) / 40.0);
            packets.sample({id, start + i, depth, 20 - depth / 10, 45, 35 - depth / 100, 0.5 + 0.01 * i,
                            1000 / (1 + depth), 1000, 3300});
        }
    }
    packets.skipped(vandrel::packet_skip::erased, uint64_t{40} * 128);
    if (!packets.finish(true, error)) {
        std::fprintf(stderr, "packet report: %s\n", error.c_str());
        return 1;
    }

    vandrel::tdr_report_writer tdr(folder + "/made_up_tdr_report.html", meta, true);
    tdr.tdr_table({1, 0});
    const double t0 = 1600000000;
    const unsigned mask = vandrel::channel_depth | vandrel::channel_temperature;
    const double pi = 3.14159265358979323846;
    uint32_t dive = 0;
    for (int i = 0; i < 20000; ++i) {
        const double t = t0 + i * 2;
        const double phase = std::fmod(i, 400.0);
        const double depth_m = phase < 200 ? 80 * std::sin(phase / 200 * pi) * (1 + (i / 400) % 3) : 0;
        tdr.tdr_sample({0,
                        t,
                        mask,
                        static_cast<uint16_t>(depth_m * 10),
                        static_cast<uint16_t>((288 - depth_m / 20) / 0.05),
                        0,
                        {0, 0, 0},
                        0,
                        1,
                        0,
                        nullptr});
        if (phase == 199) {
            ++dive;
            tdr.dive({dive, 0, t - 398, t, t - 200, static_cast<int32_t>(1600 * (1 + (i / 400) % 3)), 200, 398, 100,
                      150, 100, 1.5, 100, 1.5, 12, 400, true});
        }
    }
    tdr.wetdry({t0 + 5000, 0, 10});
    tdr.haulout({t0 + 5000, t0 + 9000, 10});
    tdr.wetdry({t0 + 9000, 1, 20});
    vandrel::ctd_channel_set channels{};
    tdr.ctd_table(channels);
    for (uint32_t c = 0; c < 5; ++c) {
        tdr.ctd_cast({c, 1, t0 + c * 7000, 100, 0, &channels, 40});
        for (int i = 0; i < 300; ++i) {
            const double p = i < 150 ? i * 2.0 : (300 - i) * 2.0;
            tdr.ctd_sample({c, t0 + c * 7000 + i, p, 18 - p / 20 + c, 45, 34 + p / 300 + 0.1 * c, 0, {}, true});
        }
    }
    tdr.acc_table();
    tdr.acc_burst({0, 100, t0 + 1000, 50});
    for (int i = 0; i < 100; ++i) tdr.acc_sample({0, t0 + 999 + i * 0.01, std::sin(i / 5.0), std::cos(i / 5.0), 1});
    tdr.gps_table();
    for (int i = 0; i < 6; ++i)
        tdr.gps({{120, 9, 13, 12, 0, 0}, t0 + i * 3600, static_cast<uint8_t>(4 + i), nullptr, 60});
    tdr.info({1234, 200, 100, 10.5, 1000, 50, 0, 100, 150, 0, 20, 0.001, 0, 4});
    tdr.message(812, "Illegal stream contents (0)");
    if (!tdr.finish({20000, 1500, 6, 100, 1000, true, ""}, error)) {
        std::fprintf(stderr, "tdr report: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
