// Writes small TDR streams that between them use every block kind, as seeds
// for the TDR fuzz target: each one short, so that mutations of it stay
// fast, and each reaching a different part of the decoder. The files carry
// the fuzz target's three switch bytes in front of the stream.
//
//   make_tdr_seeds DIR
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/tdr_stream_encoder.h"

namespace {

using vandrel::encode::gps_satellite;
using vandrel::encode::info_fields;
using vandrel::encode::stream_encoder;
using vandrel::encode::stream_time;

const stream_time t0{2019, 7, 1, 12, 0, 0, 0};

// A run of TDR samples of `channels` values each, walking up and down with
// one escape in the middle.
void samples(stream_encoder& s, std::size_t channels, int count) {
    std::vector<uint16_t> prev(channels, 1000);
    for (uint16_t& v : prev) s.u16(v);
    for (int i = 1; i < count; ++i) {
        std::vector<uint16_t> next = prev;
        for (std::size_t c = 0; c < channels; ++c)
            next[c] = static_cast<uint16_t>(prev[c] + (i == count / 2 ? 500 : (i % 3) * 7 - 5 + c));
        s.deltas(prev, next);
    }
}

void ctd_cast(stream_encoder& s, uint8_t ctd_regime, std::size_t channels, int count) {
    s.ctd_start(ctd_regime, t0, 100, 300);
    samples(s, channels, count);
    s.ctd_end();
}

void acc_burst(stream_encoder& s, int count) {
    s.acc_start();
    samples(s, 3, count);
    s.acc_end();
}

struct seed {
    std::string name;
    std::vector<uint8_t> switches;
    stream_encoder s;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tdr_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<seed> seeds;
    auto add = [&seeds](const char* name, std::vector<uint8_t> switches) -> stream_encoder& {
        seeds.push_back(seed{name, std::move(switches), stream_encoder{}});
        return seeds.back().s;
    };
    const std::vector<uint8_t> plain = {0, 0, 0};
    const std::vector<uint8_t> with_dump = {0x01, 0, 0};

    for (uint8_t regime : {1, 2, 3, 5, 6, 7, 9}) {
        info_fields f;
        f.n_photo = regime == 3 ? 3 : 0;
        const std::size_t channels[] = {0, 2, 1, 4, 0, 1, 2, 6, 0, 1};
        stream_encoder& s = add(("regime" + std::to_string(regime)).c_str(), plain);
        s.info(f).wet_start(regime, t0, 100);
        samples(s, channels[regime], 12);
        s.end();
    }
    {
        stream_encoder& s = add("nested_ctd_acc", with_dump);
        s.info(info_fields{}).gps(t0, {{3, 0x1234}, {7, 0x00FF}}).wet_start(1, t0, 100);
        samples(s, 2, 5);
        s.ctd_start(0, t0, 100, 300);
        samples(s, 3, 4);
        acc_burst(s, 6);
        s.raw({3, 4, 5}).ctd_end();
        s.raw({1, 2}).wetdry(1).raw({1, 130});
        s.end();
    }
    for (uint8_t ctd_regime : {0, 1, 2, 3, 4, 5, 6, 7, 0x0F, 0xFF & 0xEF}) {
        stream_encoder& s = add(("ctd" + std::to_string(ctd_regime)).c_str(), plain);
        info_fields f;
        f.fw_version = ctd_regime == 0x0F ? 150 : 140;
        s.info(f);
        ctd_cast(s, ctd_regime, 3 + (ctd_regime >= 8 ? 4 : 2), 8);
        s.end();
    }
    {
        stream_encoder& s = add("haulout", plain);
        s.info(info_fields{}).wet_start(1, t0, 400);
        samples(s, 2, 4);
        s.dry_start(6000);
        samples(s, 1, 4);
        s.wet_start(1, stream_time{2019, 7, 1, 14, 0, 0, 0}, 400);
        samples(s, 2, 3);
        s.dry_start(6000).raw({1, 2}).dry_start(6000);
        s.end();
    }
    {
        info_fields f;
        f.fw_version = 132;
        stream_encoder& s = add("absolute_mode", plain);
        s.info(f).wet_start(1, t0, 100);
        for (uint16_t v : {1000, 1010, 0xFA01, 990, 2000, 5000}) s.abs_value(v).abs_value(v);
        s.end();
    }
    {
        stream_encoder& s = add("acc_overflow", plain);
        s.info(info_fields{}).wet_start(1, t0, 100).u16(1).u16(2);
        s.acc_start().u16(100).u16(200).u16(300);
        for (int i = 0; i < 1000; ++i) s.raw({1, 0, 121});
        s.acc_end().end();
    }
    {
        stream_encoder& s = add("short_info_gps_many", {0x13, 0, 2});
        s.raw({0x55, 0x66}).info(info_fields{}, 10).gps(t0, std::vector<gps_satellite>(12, {5, 0xABCD}));
        s.wet_start(2, t0, 50).u16(100).raw({1, 0xF1, 2, 0xF3, 3, 0xFD, 4, 0xF9, 5});
        s.end();
    }
    {
        // A cast in a run, bursts opened inside bursts in the cast, deeper
        // than the decoder allows (a thousand levels).
        stream_encoder& s = add("deep_nesting", plain);
        s.info(info_fields{}).wet_start(1, t0, 100).u16(10).u16(20).raw({1, 1});
        s.ctd_start(0, t0, 100, 300).u16(400).u16(500).u16(600).raw({1, 2, 3});
        for (int i = 0; i < 1005; ++i) s.acc_start().u16(100).u16(200).u16(300);
        s.end();
    }
    {
        stream_encoder& s = add("unknown_code", {0x21, 0, 0});
        s.wet_start(1, t0, 100).u16(1).u16(2).raw({1, 1}).code(0xFF).raw({0xF4, 0xF5});
        s.wet_start(1, t0, 100);
        s.code(0xF3);
    }

    for (const seed& sd : seeds) {
        stream_encoder out;
        out.raw(sd.switches).raw(sd.s.bytes);
        const std::string path = dir + "/" + sd.name;
        if (!out.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
