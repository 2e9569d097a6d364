// Builder of TDR stream files, for tests and for the sample generator.
//
// A TDR stream is a byte stream of coded blocks. The bytes 0xF1..0xFF other
// than 0xFA are codes; everything else is block data. Multi-byte integers
// are big-endian. This header writes those blocks piece by piece so that a
// test states its stream in a few readable lines:
//
//     vandrel::encode::stream_encoder s;
//     s.info(vandrel::encode::info_fields{});          // 0xF6, length 24, defaults
//     s.wet_start(1, {2019, 7, 1, 12, 0, 0}, 100);       // 0xFB regime time interval
//     s.u16(1234).u16(5863);                             // absolute first sample
//     s.delta(1234, 1240).delta(5863, 5860);             // one relative sample
//     s.end();                                           // 0xFF
//     s.save("/tmp/x.dat");
//
// Interface (stable; every call returns the encoder so calls chain):
//   byte(b) / code(c)        one raw byte / one code byte (same thing, named for intent)
//   raw({..}) / raw(vector)  raw bytes as given
//   u16(v)                   16-bit big-endian value
//   time(t)                  7-byte time: year-1900, month, day, hour, minute,
//                            second, hundredths (from a stream_time)
//   delta(old, new)          one relative field taking old to new: 0..120 for
//                            an increase, 121..240 for a decrease of 1..120,
//                            else the escape 0xFA and the new value big-endian
//   deltas(prev, next)       delta() for each channel, then prev = next
//   abs_value(v)             a field in absolute mode (firmware 132/133): the
//                            two bytes of v; abs_codable(v) tells whether the
//                            decoder can take it back (high byte not a code)
//   info(fields, length=24)  0xF6, the length byte and the block: the fields
//                            at their fixed positions, zero bytes after
//                            position 24, cut when length < 24
//   gps(t, sats)             0xF2, the six time bytes (no hundredths), the
//                            satellite count and 3 bytes per satellite
//   wet_start(regime, t, interval)             0xFB header
//   dry_start(interval)                        0xFE header
//   ctd_start(ctd_regime, t, interval, pzero)  0xFC header (first sample follows with u16)
//   wetdry(state)            0xF7 and the wet/dry byte
//   acc_start() / acc_end()  0xF8 / 0xF9
//   acc_sample(prev, next)   a burst's sample: with prev empty acc_start() and
//                            the three fields absolute, else deltas(prev, next)
//   ctd_end()                0xFD
//   end()                    0xFF
//   bytes (member)           everything written so far
//   save(path)               writes the bytes to a file; false on failure
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vandrel {
namespace encode {

// Stream codes.
constexpr uint8_t code_filler = 0xF1;
constexpr uint8_t code_gps = 0xF2;
constexpr uint8_t code_info = 0xF6;
constexpr uint8_t code_wetdry = 0xF7;
constexpr uint8_t code_acc_start = 0xF8;
constexpr uint8_t code_acc_end = 0xF9;
constexpr uint8_t code_escape = 0xFA;
constexpr uint8_t code_wet_start = 0xFB;
constexpr uint8_t code_ctd_start = 0xFC;
constexpr uint8_t code_ctd_end = 0xFD;
constexpr uint8_t code_dry_start = 0xFE;
constexpr uint8_t code_end = 0xFF;

// Largest change a one-byte relative field carries.
constexpr int max_one_byte_delta = 120;

// A calendar time as the stream stores it (year in full, month 1..12).
struct stream_time {
    int year = 2019;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int hundredths = 0;
};

// The fields of the info block; the defaults are the decoder's own defaults
// (acc_counts_per_unit 256 is an accelerometer scale of 1/256).
struct info_fields {
    uint16_t fw_version = 140;
    uint16_t tdr_interval = 100;   // hundredths of a second
    uint16_t ctd_interval = 100;   // hundredths of a second
    uint16_t pressure_scale = 30;  // counts per dbar
    uint16_t temp_offset = 8000;
    uint16_t temp_scale = 1000;  // counts per degree
    uint16_t cond_offset = 200;
    uint16_t cond_scale = 800;     // counts per mS/cm
    uint16_t cond_lag_tau = 1000;  // milliseconds
    uint8_t n_photo = 0;
    uint16_t acc_interval_ms = 40;
    uint16_t acc_counts_per_unit = 256;  // 0 keeps the decoder's scale
    uint8_t acc_offset = 16;
};

// One satellite entry of a GPS record.
struct gps_satellite {
    uint8_t id = 0;
    uint16_t value = 0;
};

inline bool is_code(uint8_t b) { return b >= 0xF1 && b != code_escape; }

// True when v can be written in absolute mode: its high byte must not be a code.
inline bool abs_codable(uint16_t v) { return !is_code(static_cast<uint8_t>(v >> 8)); }

struct stream_encoder {
    std::vector<uint8_t> bytes;

    stream_encoder& byte(uint8_t b) {
        bytes.push_back(b);
        return *this;
    }
    stream_encoder& code(uint8_t c) { return byte(c); }
    stream_encoder& raw(std::initializer_list<uint8_t> list) {
        bytes.insert(bytes.end(), list.begin(), list.end());
        return *this;
    }
    stream_encoder& raw(const std::vector<uint8_t>& v) {
        bytes.insert(bytes.end(), v.begin(), v.end());
        return *this;
    }
    stream_encoder& u16(uint16_t v) {
        byte(static_cast<uint8_t>(v >> 8));
        return byte(static_cast<uint8_t>(v & 0xFF));
    }
    stream_encoder& time(const stream_time& t) {
        byte(static_cast<uint8_t>(t.year - 1900));
        byte(static_cast<uint8_t>(t.month));
        byte(static_cast<uint8_t>(t.day));
        byte(static_cast<uint8_t>(t.hour));
        byte(static_cast<uint8_t>(t.minute));
        byte(static_cast<uint8_t>(t.second));
        return byte(static_cast<uint8_t>(t.hundredths));
    }

    // One relative field from old_value to new_value (arithmetic modulo 65536).
    stream_encoder& delta(uint16_t old_value, uint16_t new_value) {
        const unsigned up = static_cast<uint16_t>(new_value - old_value);
        const unsigned down = static_cast<uint16_t>(old_value - new_value);
        if (up <= max_one_byte_delta) return byte(static_cast<uint8_t>(up));
        if (down <= max_one_byte_delta) return byte(static_cast<uint8_t>(max_one_byte_delta + down));
        byte(code_escape);
        return u16(new_value);
    }
    // One relative sample: a delta per channel; prev becomes next.
    stream_encoder& deltas(std::vector<uint16_t>& prev, const std::vector<uint16_t>& next) {
        for (std::size_t i = 0; i < next.size() && i < prev.size(); ++i) delta(prev[i], next[i]);
        prev = next;
        return *this;
    }
    // One sample of an accelerometer burst; prev becomes next.
    stream_encoder& acc_sample(std::vector<uint16_t>& prev, const std::vector<uint16_t>& next) {
        if (!prev.empty()) return deltas(prev, next);
        acc_start();
        for (const uint16_t v : next) u16(v);
        prev = next;
        return *this;
    }
    stream_encoder& abs_value(uint16_t v) { return u16(v); }

    stream_encoder& info(const info_fields& f, uint8_t length = 24) {
        std::vector<uint8_t> block;
        auto put16 = [&block](uint16_t v) {
            block.push_back(static_cast<uint8_t>(v >> 8));
            block.push_back(static_cast<uint8_t>(v & 0xFF));
        };
        put16(f.fw_version);
        put16(f.tdr_interval);
        put16(f.ctd_interval);
        put16(f.pressure_scale);
        put16(f.temp_offset);
        put16(f.temp_scale);
        put16(f.cond_offset);
        put16(f.cond_scale);
        put16(f.cond_lag_tau);
        block.push_back(f.n_photo);
        put16(f.acc_interval_ms);
        put16(f.acc_counts_per_unit);
        block.push_back(f.acc_offset);
        block.resize(length, 0);
        code(code_info);
        byte(length);
        return raw(block);
    }

    stream_encoder& gps(const stream_time& t, const std::vector<gps_satellite>& sats) {
        code(code_gps);
        byte(static_cast<uint8_t>(t.year - 1900));
        byte(static_cast<uint8_t>(t.month));
        byte(static_cast<uint8_t>(t.day));
        byte(static_cast<uint8_t>(t.hour));
        byte(static_cast<uint8_t>(t.minute));
        byte(static_cast<uint8_t>(t.second));
        byte(static_cast<uint8_t>(sats.size()));
        for (const gps_satellite& s : sats) {
            byte(s.id);
            u16(s.value);
        }
        return *this;
    }

    stream_encoder& wet_start(uint8_t regime, const stream_time& t, uint16_t interval) {
        code(code_wet_start);
        byte(regime);
        time(t);
        return u16(interval);
    }
    stream_encoder& dry_start(uint16_t interval) {
        code(code_dry_start);
        return u16(interval);
    }
    stream_encoder& ctd_start(uint8_t ctd_regime, const stream_time& t, uint16_t interval, uint16_t pressure_zero) {
        code(code_ctd_start);
        byte(ctd_regime);
        time(t);
        u16(interval);
        return u16(pressure_zero);
    }
    stream_encoder& wetdry(uint8_t state) {
        code(code_wetdry);
        return byte(state);
    }
    stream_encoder& acc_start() { return code(code_acc_start); }
    stream_encoder& acc_end() { return code(code_acc_end); }
    stream_encoder& ctd_end() { return code(code_ctd_end); }
    stream_encoder& end() { return code(code_end); }

    bool save(const std::string& path) const {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return false;
        const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }
};

}  // namespace encode
}  // namespace vandrel
