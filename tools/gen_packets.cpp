// Writes a realistic packet file: simulated CTD casts (pressure down to a few
// hundred dbar and back, temperature and conductivity of water near salinity
// 35, light falling with depth, a fluorescence maximum near the surface),
// split into 128-byte packets with delta-coded samples, 0xFA escapes where a
// change exceeds 120, version-3 payloads with an mV value, and erased or
// refused packets in between.
//
//   gen_packets OUT [--bytes N] [--casts N] [--seed N] [--start EPOCH]
//                   [--max-depth DBAR]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/civil_time.h"

namespace {

constexpr std::size_t packet_size = 128;
constexpr std::size_t header_size = 9;
constexpr std::size_t payload_size = packet_size - header_size;
constexpr std::size_t sample_limit = payload_size - 9;

struct raw_sample {
    uint16_t v[5];  // mbar, temp, cond, f, logl
};

struct options {
    std::string out;
    uint64_t bytes = 0;
    unsigned casts = 3;
    unsigned seed = 1;
    int64_t start = 1772323200;  // 2026-03-01 00:00:00 UTC
    double max_depth = 300.0;
};

// Conductivity ratio of standard seawater at temperature T to that at 15
// degrees (the PSS-78 rt polynomial). Water with Rt = 1 has salinity 35.
double rt_of(double T) { return 0.6766097 + T * (2.00564e-2 + T * (1.104259e-4 + T * (-6.9698e-7 + T * 1.0031e-9))); }

class cast_model {
public:
    explicit cast_model(unsigned seed) : rng_(seed) {}

    // The samples of one cast: surface soak, descent, ascent.
    void cast(double max_depth, std::vector<raw_sample>& out) {
        std::uniform_real_distribution<double> u(0.0, 1.0);
        const double bottom = max_depth * (0.6 + 0.4 * u(rng_));
        const double speed = 0.7 + 0.4 * u(rng_);  // dbar per second
        double depth = 0.0;
        for (int i = 0; i < 20; ++i) out.push_back(at(depth, u));
        while (depth < bottom) {
            depth += speed * (0.8 + 0.4 * u(rng_));
            // Now and then the winch jerks: a jump that needs an escape.
            if (u(rng_) < 0.01) depth += 1.5 + 2.0 * u(rng_);
            out.push_back(at(depth, u));
        }
        while (depth > 0.0) {
            depth -= speed * (0.8 + 0.4 * u(rng_));
            if (depth < 0.0) depth = 0.0;
            out.push_back(at(depth, u));
        }
    }

private:
    template <class U>
    raw_sample at(double depth, U& u) {
        std::normal_distribution<double> noise(0.0, 1.0);
        const double thermo = 1.0 / (1.0 + std::exp((depth - 60.0) / 12.0));
        const double T = 6.0 + 14.0 * thermo + 0.01 * noise(rng_);
        const double S = 34.6 + 0.5 * (1.0 - thermo) + 0.005 * noise(rng_);
        const double Rt = 1.0 + (S - 35.0) / 37.0;  // close to PSS-78 near 35
        const double P = depth;
        const double Rp = 1.0 + P * (2.070e-5 - 6.370e-10 * P) / (1.0 + 3.426e-2 * T + 4.464e-4 * T * T + 0.42);
        const double C = 42.914 * Rt * rt_of(T) * Rp;
        const double light = 1500.0 * std::exp(-0.045 * depth);
        const double fluoro = 0.2 + 2.5 * std::exp(-std::pow((depth - 25.0) / 12.0, 2.0));
        raw_sample s;
        s.v[0] = clamp(1000.0 + depth * 100.0 + 3.0 * noise(rng_));
        s.v[1] = clamp((T + 5.0) * 1000.0);
        s.v[2] = clamp(C * 1000.0);
        s.v[3] = clamp(fluoro * 1000.0 + 5.0 * noise(rng_));
        s.v[4] = light < 1.0 ? 0xFFFF : clamp(std::log(light) * 1000.0);
        (void)u;
        return s;
    }

    static uint16_t clamp(double x) {
        if (x < 0.0) return 0;
        if (x > 65534.0) return 65534;
        return static_cast<uint16_t>(std::lround(x));
    }

    std::mt19937 rng_;
};

// Bytes of the code for a change from `from` to `to`.
std::size_t code_field(uint16_t from, uint16_t to, uint8_t* out) {
    const int d = static_cast<int>(to) - static_cast<int>(from);
    if (d >= 0 && d <= 120) {
        out[0] = static_cast<uint8_t>(d);
        return 1;
    }
    if (d < 0 && d >= -120) {
        out[0] = static_cast<uint8_t>(120 - d);
        return 1;
    }
    out[0] = 0xFA;
    out[1] = static_cast<uint8_t>(to >> 8);
    out[2] = static_cast<uint8_t>(to & 0xFF);
    return 3;
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v & 0xFF);
}

void put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

class packet_writer {
public:
    packet_writer(std::FILE* f, int64_t start, unsigned seed) : f_(f), t_(start), rng_(seed + 7) {}

    // Packs samples[from..] into one packet; returns how many it took.
    std::size_t pack(const std::vector<raw_sample>& samples, std::size_t from) {
        uint8_t blk[packet_size] = {};
        std::uniform_real_distribution<double> u(0.0, 1.0);
        // Start time: year byte and seconds into that year.
        const int64_t days = t_ / 86400;
        int year = 1970;
        while (vandrel::days_from_civil(year + 1, 1, 1) <= days) ++year;
        const int64_t jan1 = vandrel::days_from_civil(year, 1, 1) * 86400;
        put32(blk, 0x00010000u + static_cast<uint32_t>(number_ / 1000));
        blk[4] = static_cast<uint8_t>(year - 1970);
        put32(blk + 5, static_cast<uint32_t>(t_ - jan1));

        uint8_t* pl = blk + header_size;
        pl[0] = static_cast<uint8_t>(number_ >> 16);
        pl[1] = static_cast<uint8_t>(number_ >> 8);
        pl[2] = static_cast<uint8_t>(number_);
        std::size_t pos = 3;
        if (number_ % 3 != 0) {
            // Version-3 payload: the logger's supply voltage in mV.
            pl[3] = 3;
            put16(pl + 4, static_cast<uint16_t>(3650 - (number_ / 500) % 400 + (u(rng_) < 0.5 ? 0 : 1)));
            pos = 6;
        }
        pl[pos++] = 0xFC;
        const raw_sample& first = samples[from];
        for (int k = 0; k < 5; ++k) {
            put16(pl + pos, first.v[k]);
            pos += 2;
        }
        std::size_t used = 1;
        while (pos < sample_limit && from + used < samples.size()) {
            uint8_t code[15];
            std::size_t n = 0;
            const raw_sample& prev = samples[from + used - 1];
            const raw_sample& next = samples[from + used];
            for (int k = 0; k < 5; ++k) n += code_field(prev.v[k], next.v[k], code + n);
            if (pos + n > payload_size) break;
            std::memcpy(pl + pos, code, n);
            pos += n;
            ++used;
        }
        if (pos < sample_limit) pl[pos] = 0xFD;
        write(blk);
        ++number_;
        t_ += static_cast<int64_t>(used);
        return used;
    }

    // Packets the logger leaves between its data: erased flash, a blank
    // marker ID, a zero time.
    void filler(unsigned kind) {
        uint8_t blk[packet_size];
        std::memset(blk, 0xFF, sizeof blk);
        if (kind == 1) {
            std::memset(blk, 0x00, sizeof blk);
        } else if (kind == 2) {
            std::memset(blk, 0xEE, 4);
            blk[4] = 56;
        } else if (kind == 3) {
            std::memset(blk, 0x11, sizeof blk);
            blk[4] = 56;
            std::memset(blk + 5, 0, 4);
        }
        write(blk);
    }

    void pause(int64_t seconds) { t_ += seconds; }
    uint64_t written() const { return written_; }

private:
    void write(const uint8_t* blk) {
        if (std::fwrite(blk, 1, packet_size, f_) != packet_size) {
            std::perror("gen_packets");
            std::exit(1);
        }
        written_ += packet_size;
    }

    std::FILE* f_;
    int64_t t_;
    uint32_t number_ = 0;
    uint64_t written_ = 0;
    std::mt19937 rng_;
};

bool parse(int argc, char** argv, options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--bytes" && has_value) {
            o.bytes = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--casts" && has_value) {
            o.casts = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--seed" && has_value) {
            o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--start" && has_value) {
            o.start = std::strtoll(argv[++i], nullptr, 10);
        } else if (a == "--max-depth" && has_value) {
            o.max_depth = std::strtod(argv[++i], nullptr);
        } else if (o.out.empty() && a[0] != '-') {
            o.out = a;
        } else {
            return false;
        }
    }
    return !o.out.empty();
}

}  // namespace

int main(int argc, char** argv) {
    options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: gen_packets OUT [--bytes N] [--casts N] [--seed N] [--start EPOCH] [--max-depth DBAR]\n");
        return 2;
    }
    std::FILE* f = std::fopen(o.out.c_str(), "wb");
    if (f == nullptr) {
        std::perror(o.out.c_str());
        return 1;
    }
    std::vector<char> iobuf(1 << 20);
    std::setvbuf(f, iobuf.data(), _IOFBF, iobuf.size());
    cast_model model(o.seed);
    packet_writer writer(f, o.start, o.seed);
    std::vector<raw_sample> samples;
    unsigned cast = 0;
    for (;;) {
        if (o.bytes != 0 ? writer.written() >= o.bytes : cast >= o.casts) break;
        samples.clear();
        model.cast(o.max_depth, samples);
        std::size_t i = 0;
        while (i < samples.size()) i += writer.pack(samples, i);
        writer.filler(cast % 4);
        writer.pause(1800);
        ++cast;
    }
    if (std::fclose(f) != 0) {
        std::perror(o.out.c_str());
        return 1;
    }
    return 0;
}
