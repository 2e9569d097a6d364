// What the packet-file extraction hands to its writers: each accepted
// packet, each of its samples in engineering units, and each packet passed
// over with the reason. The extracted text table is one writer of these
// records; the netCDF file and the report are others.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "coding/no_value.h"

namespace vandrel {

// Light is stored as 1000 times its natural logarithm; all ones means none.
constexpr uint16_t no_light = 0xFFFF;

// A packet whose header was accepted; its samples follow.
struct packet_info {
    uint32_t id;           // printed as a signed 32-bit number
    int64_t start_time;    // seconds since 1970 UTC of its first sample
    int header_year;       // the year its header stores
    int year;              // the year used: header_year moved on by whole four-year steps
    int samples;           // samples that follow (0 when the start marker is missing)
    uint64_t byte_offset;  // position of the packet in the file
};

// One sample: the numbers of one table row before the table rounds them.
struct packet_row {
    uint32_t id;
    int64_t time;         // seconds since 1970 UTC
    double pressure;      // dbar, sea pressure
    double temperature;   // degrees Celsius
    double conductivity;  // mS/cm
    double salinity;      // practical salinity
    double fluorescence;
    double light;  // NaN (no_value) when raw_light is no_light
    uint16_t raw_light;
    uint16_t mV;
};

// Why a packet gave no rows.
enum class packet_skip {
    erased,          // year byte 0x00 or 0xFF: erased flash
    blank_id,        // ID EE EE EE EE
    zero_time,       // seconds into the year 0
    missing_marker,  // no start marker where the samples should begin
    truncated,       // the file ends inside the packet (a piece shorter than a packet)
};

// Receives the records of one extraction, in file order. A writer that
// cannot go on (its table's disk is full) says so by stopped(): the
// extraction then ends after the packet in hand.
class packet_record_sink {
public:
    virtual ~packet_record_sink() = default;
    virtual void packet(const packet_info& /*info*/) {}
    virtual void sample(const packet_row& /*row*/) {}
    // The rows of one packet, in order: each to sample() unless the writer
    // takes them at once.
    virtual void samples(const packet_row* rows, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) sample(rows[i]);
    }
    virtual void skipped(packet_skip /*why*/, uint64_t /*byte_offset*/) {}
    virtual bool stopped() const { return false; }
};

// Hands each record to several writers, in the order they were added; the
// extraction stops when any of them has.
class packet_record_fanout final : public packet_record_sink {
public:
    void add(packet_record_sink* s) { sinks_.push_back(s); }
    bool empty() const { return sinks_.empty(); }
    void packet(const packet_info& r) override {
        for (packet_record_sink* s : sinks_) s->packet(r);
    }
    void sample(const packet_row& r) override {
        for (packet_record_sink* s : sinks_) s->sample(r);
    }
    void samples(const packet_row* rows, std::size_t n) override {
        for (packet_record_sink* s : sinks_) s->samples(rows, n);
    }
    void skipped(packet_skip why, uint64_t byte_offset) override {
        for (packet_record_sink* s : sinks_) s->skipped(why, byte_offset);
    }
    bool stopped() const override {
        return std::any_of(sinks_.begin(), sinks_.end(), [](const packet_record_sink* s) { return s->stopped(); });
    }

private:
    std::vector<packet_record_sink*> sinks_;
};

}  // namespace vandrel
