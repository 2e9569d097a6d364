// Writes a realistic TDR stream, as a diving seal's tag would record it: an
// info block with the logger's firmware, intervals and calibration, a GPS
// fix, then bouts of dives in regime 1 (depth and temperature every 4 s)
// with GPS fixes at some surfacings, an accelerometer burst at the bottom of
// every dive, CTD casts on the ascent of the deeper dives (sent in chunks of
// 60 one-second samples), and haul-outs between the bouts (temperature-only
// samples every minute, then a new wet start). Changes too large for one
// byte are escaped with 0xFA, as the logger does.
//
//   gen_tdr_stream OUT [--bytes N] [--seed N] [--start EPOCH] [--regimes]
//
// With --regimes the stream instead tours every sampling regime that
// decodes (1, 2, 3, 5, 6 and 7), one run of each holding a dive, with a dry
// run after the first, CTD casts of two channel sets, an accelerometer
// burst, wet/dry changes and GPS fixes: a small stream that shows every kind
// of value to every writer.
//
// Without --bytes the stream is the bundled sample: two bouts around one
// haul-out. With --bytes N, bouts and haul-outs follow each other until at
// least N bytes are written. The output depends only on the options.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/tdr_stream_encoder.h"

namespace {

using vandrel::encode::gps_satellite;
using vandrel::encode::stream_encoder;
using vandrel::encode::stream_time;

struct options {
    std::string out;
    uint64_t bytes = 0;
    unsigned seed = 1;
    int64_t start = 1772323200;  // 2026-03-01 00:00:00 UTC
    bool regimes = false;
};

// The logger's settings, written into the info block and the block headers.
constexpr uint16_t tdr_interval = 400;       // hundredths of a second: a sample every 4 s
constexpr uint16_t haulout_interval = 6000;  // one temperature a minute while dry
constexpr uint16_t ctd_interval = 100;       // CTD samples every second
constexpr int tdr_step = tdr_interval / 100;
constexpr int haulout_step = haulout_interval / 100;
constexpr int ctd_chunk = 60;             // samples per CTD chunk
constexpr uint8_t ctd_regime = 2;         // one extra channel: fluorometer
constexpr double pressure_counts = 30.0;  // per dbar
constexpr double acc_counts = 256.0;      // per g
constexpr double acc_offset = 16.0;       // g
constexpr double acc_rate = 25.0;         // samples per second (40 ms)
constexpr double pi = 3.14159265358979323846;

// splitmix64 with two derived distributions: fast, and the same numbers on
// every platform, so that a seed always gives the same stream.
struct random_source {
    uint64_t state;
    explicit random_source(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Close to a standard normal (the sum of four uniforms, scaled to unit
    // variance), which is all that sensor noise needs.
    double gauss() { return (uniform() + uniform() + uniform() + uniform() - 2.0) * 1.7320508075688772; }
};

// Calendar fields of a UTC time (days-from-civil inverted).
stream_time to_stream_time(int64_t t) {
    int64_t days = t / 86400;
    int64_t secs = t % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    stream_time st;
    st.year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    st.month = static_cast<int>(month);
    st.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    st.hour = static_cast<int>(secs / 3600);
    st.minute = static_cast<int>(secs / 60 % 60);
    st.second = static_cast<int>(secs % 60);
    return st;
}

uint16_t clamp16(double x) {
    if (x < 0.0) return 0;
    if (x > 65535.0) return 65535;
    return static_cast<uint16_t>(std::lround(x));
}

// Water column: a warm mixed layer over a thermocline near 50 m, salinity
// rising below it, a fluorescence maximum near 25 m.
double thermo_of(double depth) { return 1.0 / (1.0 + std::exp((depth - 50.0) / 8.0)); }
double water_temp(double depth) { return 7.5 + 12.5 * thermo_of(depth); }
double water_sal(double depth) { return 34.4 + 0.6 * (1.0 - thermo_of(depth)); }

// Conductivity ratio of standard seawater at temperature T to that at 15
// degrees (the PSS-78 rt polynomial).
double rt_of(double T) { return 0.6766097 + T * (2.00564e-2 + T * (1.104259e-4 + T * (-6.9698e-7 + T * 1.0031e-9))); }

// Conductivity (mS/cm) of water of salinity S near 35, close enough for a
// sample file.
double conductivity(double S, double T, double P) {
    const double Rt = 1.0 + (S - 35.0) / 37.0;
    const double Rp = 1.0 + P * (2.070e-5 - 6.370e-10 * P) / (1.0 + 3.426e-2 * T + 4.464e-4 * T * T + 0.42);
    return 42.914 * Rt * rt_of(T) * Rp;
}

class stream_writer {
public:
    stream_writer(std::FILE* f, const options& o) : f_(f), t_(o.start), rng_(o.seed) {}

    void header() {
        vandrel::encode::info_fields info;
        info.fw_version = 140;
        info.tdr_interval = tdr_interval;
        info.ctd_interval = ctd_interval;
        info.pressure_scale = static_cast<uint16_t>(pressure_counts);
        info.acc_interval_ms = static_cast<uint16_t>(1000.0 / acc_rate);
        info.acc_counts_per_unit = static_cast<uint16_t>(acc_counts);
        info.acc_offset = static_cast<uint8_t>(acc_offset);
        s_.info(info);
        gps_fix();
    }

    // A bout of dives: the wet start, then dives separated by surface
    // intervals, all one run of TDR samples.
    void bout(int dives) {
        s_.wet_start(1, to_stream_time(t_), tdr_interval);
        first_ = true;
        depth_ = 0.4;
        for (int i = 0; i < dives; ++i) {
            surface(60 + static_cast<int>(uniform() * 150), i % 3 == 0);
            dive();
        }
        surface(40, false);
    }

    // A haul-out: dry, then a temperature a minute in the sun; it ends at
    // the next wet start (or at the end of the stream).
    void haulout(int minutes) {
        s_.wetdry(1);
        s_.dry_start(haulout_interval);
        // The first dry row shares the time of the last wet one.
        t_ -= tdr_step;
        double air = 14.0 + 6.0 * uniform();
        uint16_t prev = temp_raw(air);
        s_.u16(prev);
        for (int m = 1; m < minutes; ++m) {
            air += 0.05 * gauss() + (m < minutes / 2 ? 0.02 : -0.02);
            const uint16_t next = temp_raw(air);
            if (m == minutes - 1) s_.wetdry(0);
            s_.delta(prev, next);
            prev = next;
        }
        t_ += static_cast<int64_t>(minutes) * haulout_step;
        flush();
    }

    void end() {
        s_.end();
        flush();
    }

    uint64_t written() const { return written_ + s_.bytes.size(); }
    bool failed() const { return failed_; }

private:
    // The surface between dives, with a GPS fix now and then.
    void surface(int seconds, bool fix) {
        const int n = seconds / tdr_step;
        for (int i = 0; i < n; ++i) {
            if (fix && i == n / 2) gps_fix_pending_ = true;
            depth_ = 0.2 + 0.6 * uniform();
            sample();
        }
    }

    void dive() {
        const double bottom = 20.0 + std::min(380.0, 40.0 * std::exp(1.1 * gauss()));
        // Most dives descend at 1 to 2 m/s; some plunge faster than one
        // byte of depth per sample can carry.
        const double down = uniform() < 0.2 ? 3.1 + 0.5 * uniform() : 1.0 + uniform();
        const double up = 0.8 + 0.6 * uniform();
        const int bottom_time = 60 + static_cast<int>(uniform() * 420);
        const bool cast = bottom > 60.0 && uniform() < 0.6;

        std::vector<double> profile;  // depth at every second of the dive
        double d = depth_;
        while (d < bottom) {
            d = std::min(bottom, d + down * (0.9 + 0.2 * uniform()));
            profile.push_back(d);
        }
        const std::size_t bottom_start = profile.size();
        for (int i = 0; i < bottom_time; ++i) {
            profile.push_back(bottom + 4.0 * std::sin(i / 25.0) + 0.3 * gauss());
        }
        const std::size_t ascent_start = profile.size();
        while (d > 1.0) {
            d = std::max(0.5, d - up * (0.9 + 0.2 * uniform()));
            profile.push_back(d);
        }
        if (cast) plan_cast(profile, ascent_start);
        acc_due_ = t_ + static_cast<int64_t>(bottom_start) + bottom_time / 2;

        for (std::size_t i = 0; i < profile.size(); i += tdr_step) {
            depth_ = profile[i];
            sample();
        }
    }

    // One TDR sample at the current time, with the blocks that the logger
    // wrote since the sample before in front of it.
    void sample() {
        const uint16_t depth = clamp16(depth_ * 10.0);
        const uint16_t temp = temp_raw(water_temp(depth_) + 0.02 * gauss());
        if (first_) {
            s_.u16(depth).u16(temp);
            first_ = false;
        } else {
            nested_blocks();
            s_.delta(prev_depth_, depth).delta(prev_temp_, temp);
        }
        prev_depth_ = depth;
        prev_temp_ = temp;
        t_ += tdr_step;
        if (s_.bytes.size() >= (1u << 20)) flush();
    }

    void nested_blocks() {
        // The decoder places a burst so that it ends at the time of the row
        // before this sample.
        const int64_t row_time = t_ - tdr_step;
        if (acc_due_ != 0 && row_time >= acc_due_) {
            acc_burst(100 + static_cast<int>(uniform() * 150));
            acc_due_ = 0;
        }
        while (!chunks_.empty() && row_time >= chunks_.front().end_time) {
            ctd_chunk_block(chunks_.front());
            chunks_.erase(chunks_.begin());
        }
        if (gps_fix_pending_) {
            gps_fix();
            gps_fix_pending_ = false;
        }
        if (++samples_ % 2000 == 0) {
            // Padding at a flash page boundary.
            s_.code(vandrel::encode::code_filler).code(vandrel::encode::code_filler);
        }
    }

    void gps_fix() {
        std::vector<gps_satellite> sats(4 + static_cast<std::size_t>(uniform() * 6));
        for (gps_satellite& sat : sats) {
            sat.id = static_cast<uint8_t>(1 + uniform() * 32);
            sat.value = static_cast<uint16_t>(uniform() * 65536.0);
        }
        s_.gps(to_stream_time(t_), sats);
    }

    // Strokes along x, gravity on z, now and then the jerk of a prey strike.
    void acc_burst(int n) {
        std::vector<uint16_t> prev;
        const double pitch = 0.3 * gauss();
        const double freq = 1.2 + 0.8 * uniform();
        for (int i = 0; i < n; ++i) {
            const double ts = i / acc_rate;
            double x = std::sin(pitch) + 0.35 * std::sin(2.0 * pi * freq * ts) + 0.02 * gauss();
            double y = 0.1 * std::sin(pi * freq * ts) + 0.02 * gauss();
            double z = std::cos(pitch) + 0.08 * std::sin(2.0 * pi * freq * ts) + 0.02 * gauss();
            if (uniform() < 0.01) {
                x += 1.2 * gauss();
                y += 1.2 * gauss();
                z += 0.8 * gauss();
            }
            s_.acc_sample(prev, {acc_raw(x), acc_raw(y), acc_raw(z)});
        }
        s_.acc_end();
    }

    struct ctd_chunk_plan {
        int64_t start_time;
        int64_t end_time;
        uint16_t pressure_zero;
        std::vector<std::vector<uint16_t>> samples;
    };

    // The ascent of a dive as CTD samples at 1 Hz, cut into chunks of 60.
    // Every third cast the logger also sends the short chunk at the end of
    // the cast; the decoder then cannot trust the next chunk's clock.
    void plan_cast(const std::vector<double>& profile, std::size_t ascent_start) {
        const bool send_tail = ++casts_ % 3 == 0;
        const uint16_t pzero = static_cast<uint16_t>(20 + uniform() * 40);
        std::vector<std::vector<uint16_t>> all;
        for (std::size_t i = ascent_start; i < profile.size(); ++i) {
            const double P = profile[i] * 1.005;
            const double T = water_temp(profile[i]) + 0.005 * gauss();
            const double S = water_sal(profile[i]) + 0.003 * gauss();
            const double C = conductivity(S, T, P);
            const double fluoro = 0.15 + 2.2 * std::exp(-std::pow((profile[i] - 25.0) / 10.0, 2.0));
            all.push_back({clamp16(pzero + P * pressure_counts), clamp16(T * 1000.0 + 8000.0),
                           clamp16(C * 800.0 + 200.0), clamp16(fluoro * 1000.0 + 4.0 * gauss())});
        }
        for (std::size_t i = 0; i < all.size(); i += ctd_chunk) {
            const std::size_t n = std::min<std::size_t>(ctd_chunk, all.size() - i);
            if (n < ctd_chunk && !send_tail) break;
            ctd_chunk_plan c;
            c.start_time = t_ + static_cast<int64_t>(ascent_start + i);
            c.end_time = c.start_time + static_cast<int64_t>(n) - 1;
            c.pressure_zero = pzero;
            c.samples.assign(all.begin() + static_cast<std::ptrdiff_t>(i),
                             all.begin() + static_cast<std::ptrdiff_t>(i + n));
            chunks_.push_back(std::move(c));
        }
    }

    void ctd_chunk_block(const ctd_chunk_plan& c) {
        s_.ctd_start(ctd_regime, to_stream_time(c.start_time), ctd_interval, c.pressure_zero);
        std::vector<uint16_t> prev = c.samples.front();
        for (uint16_t v : prev) s_.u16(v);
        for (std::size_t i = 1; i < c.samples.size(); ++i) s_.deltas(prev, c.samples[i]);
        s_.ctd_end();
    }

    static uint16_t temp_raw(double celsius) { return clamp16((celsius + 273.15) / 0.05); }
    static uint16_t acc_raw(double g) { return clamp16((g + acc_offset) * acc_counts); }

    double uniform() { return rng_.uniform(); }
    double gauss() { return rng_.gauss(); }

    void flush() {
        if (!s_.bytes.empty() && std::fwrite(s_.bytes.data(), 1, s_.bytes.size(), f_) != s_.bytes.size()) {
            failed_ = true;
        }
        written_ += s_.bytes.size();
        s_.bytes.clear();
    }

    std::FILE* f_;
    stream_encoder s_;
    int64_t t_;  // time of the next TDR sample
    random_source rng_;
    uint64_t written_ = 0;
    bool failed_ = false;

    bool first_ = true;
    double depth_ = 0.0;
    uint16_t prev_depth_ = 0;
    uint16_t prev_temp_ = 0;
    uint64_t samples_ = 0;
    bool gps_fix_pending_ = false;
    int64_t acc_due_ = 0;
    std::vector<ctd_chunk_plan> chunks_;
    unsigned casts_ = 0;
};

// ---- The regime tour -------------------------------------------------------

// Channel fields of one TDR sample, in the order a regime's samples carry
// them; only the regime's channels are written.
struct tour_sample {
    uint16_t depth, temp, photo[2], odo, mag[3];
    uint8_t mag_temp;
};

void tour_first(stream_encoder& s, uint8_t regime, const tour_sample& v) {
    s.u16(v.depth);
    if (regime == 1 || regime == 7) s.u16(v.temp);
    if (regime == 3) s.u16(v.photo[0]).u16(v.photo[1]);
    if (regime == 7) s.u16(v.odo).u16(v.mag[0]).u16(v.mag[1]).u16(v.mag[2]).byte(v.mag_temp);
}

void tour_next(stream_encoder& s, uint8_t regime, const tour_sample& a, const tour_sample& b) {
    s.delta(a.depth, b.depth);
    if (regime == 1 || regime == 7) s.delta(a.temp, b.temp);
    if (regime == 3) s.delta(a.photo[0], b.photo[0]).delta(a.photo[1], b.photo[1]);
    if (regime == 7) {
        s.delta(a.odo, b.odo).delta(a.mag[0], b.mag[0]).delta(a.mag[1], b.mag[1]).delta(a.mag[2], b.mag[2]);
        s.byte(b.mag_temp);
    }
}

// A cast of n one-second samples of the configuration's channels (the three
// fixed ones and `extra` more).
void tour_cast(stream_encoder& s, uint8_t config, int extra, int64_t t, int n) {
    s.ctd_start(config, to_stream_time(t), 100, 40);
    std::vector<uint16_t> prev;
    for (int i = 0; i < n; ++i) {
        std::vector<uint16_t> v = {static_cast<uint16_t>(40 + 30 * (20 - i)), static_cast<uint16_t>(20000 - 30 * i),
                                   static_cast<uint16_t>(26000 + 10 * i)};
        for (int c = 0; c < extra; ++c) v.push_back(static_cast<uint16_t>(16000 + 100 * c + 7 * i));
        if (i == 0) {
            for (uint16_t x : v) s.u16(x);
            prev = v;
        } else {
            s.deltas(prev, v);
        }
    }
    s.ctd_end();
}

// An accelerometer burst of n samples.
void tour_burst(stream_encoder& s, int n) {
    std::vector<uint16_t> prev;
    for (int i = 0; i < n; ++i)
        s.acc_sample(prev, {static_cast<uint16_t>(4096 + 3 * i), static_cast<uint16_t>(4100 - 2 * i),
                            static_cast<uint16_t>(4352 + (i % 5))});
    s.acc_end();
}

stream_encoder regime_tour(int64_t t) {
    stream_encoder s;
    vandrel::encode::info_fields info;
    info.n_photo = 2;
    s.info(info);
    s.gps(to_stream_time(t), {{3, 0x1234}, {17, 0x00FF}});
    const uint8_t regimes[] = {1, 2, 3, 5, 6, 7};
    for (uint8_t regime : regimes) {
        // Decimetres, millimetres in regime 5: a dive to 12 m and back.
        const int unit = regime == 5 ? 100 : 1;
        s.wet_start(regime, to_stream_time(t), 100);
        tour_sample prev{};
        const int rows = 30;
        for (int i = 0; i < rows; ++i) {
            const int metres_x10 = i < 15 ? 8 * i : 8 * (rows - 1 - i);
            tour_sample v{};
            v.depth = static_cast<uint16_t>(metres_x10 * unit + (regime == 5 ? 7 * (i % 3) : 0));
            v.temp = static_cast<uint16_t>(5800 + 3 * i);
            v.photo[0] = static_cast<uint16_t>(500 + 11 * i);
            v.photo[1] = static_cast<uint16_t>(900 - 13 * i);
            v.odo = static_cast<uint16_t>(i % 4);
            v.mag[0] = static_cast<uint16_t>(-120 + 5 * i);
            v.mag[1] = static_cast<uint16_t>(300 - 7 * i);
            v.mag[2] = static_cast<uint16_t>(40 + i);
            v.mag_temp = static_cast<uint8_t>(250 + i % 10);  // -6 .. 3 degrees
            if (i == 0) {
                tour_first(s, regime, v);
            } else {
                if (i == 10 && regime == 1) tour_cast(s, 2, 1, t + 8, 5);
                if (i == 10 && regime == 7) tour_cast(s, 0x17, 6, t + 8, 4);
                if (i == 12) tour_burst(s, 20 + regime);
                if (i == 20) s.wetdry(static_cast<uint8_t>(i % 2 + regime % 2));
                tour_next(s, regime, prev, v);
            }
            prev = v;
        }
        t += rows + 60;
        if (regime == 1) {
            // Hauled out: a temperature a minute, dry.
            s.dry_start(6000).u16(6000).delta(6000, 6010).delta(6010, 5990);
            t += 600;
        }
        if (regime == 3) s.gps(to_stream_time(t), {{9, 0xBEEF}});
    }
    return s.end();
}

bool parse(int argc, char** argv, options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--bytes" && has_value) {
            o.bytes = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--seed" && has_value) {
            o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--start" && has_value) {
            o.start = std::strtoll(argv[++i], nullptr, 10);
        } else if (a == "--regimes") {
            o.regimes = true;
        } else if (o.out.empty() && !a.empty() && a[0] != '-') {
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
        std::fprintf(stderr, "usage: gen_tdr_stream OUT [--bytes N] [--seed N] [--start EPOCH] [--regimes]\n");
        return 2;
    }
    if (o.regimes) {
        if (regime_tour(o.start).save(o.out)) return 0;
        std::perror(o.out.c_str());
        return 1;
    }
    std::FILE* f = std::fopen(o.out.c_str(), "wb");
    if (f == nullptr) {
        std::perror(o.out.c_str());
        return 1;
    }
    stream_writer w(f, o);
    w.header();
    if (o.bytes == 0) {
        w.bout(10);
        w.haulout(120);
        w.bout(8);
    } else {
        random_source rng(o.seed + 1);
        while (w.written() < o.bytes) {
            w.bout(8 + static_cast<int>(rng.next() % 12));
            if (w.written() >= o.bytes) break;
            w.haulout(60 + static_cast<int>(rng.next() % 300));
        }
    }
    w.end();
    if (std::fclose(f) != 0 || w.failed()) {
        std::perror(o.out.c_str());
        return 1;
    }
    return 0;
}
