// Hands each decoded record to several writers, in the order they were
// added: the command's netCDF files, report and dive detector all see the
// same records.
#pragma once

#include <type_traits>
#include <vector>

#include "dives/dive_record.h"
#include "packet/packet_records.h"
#include "tdr/tdr_records.h"

namespace vandrel {

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
    void skipped(packet_skip why, uint64_t byte_offset) override {
        for (packet_record_sink* s : sinks_) s->skipped(why, byte_offset);
    }

private:
    std::vector<packet_record_sink*> sinks_;
};

class tdr_record_fanout final : public tdr_record_sink {
public:
    void add(tdr_record_sink* s) { sinks_.push_back(s); }
    bool empty() const { return sinks_.empty(); }
    // True once the decoder began the TDR table.
    bool tdr_table_begun() const { return tdr_table_begun_; }

    void tdr_table(const tdr_table_info& r) override {
        tdr_table_begun_ = true;
        each(&tdr_record_sink::tdr_table, r);
    }
    void tdr_run(const tdr_run_info& r) override { each(&tdr_record_sink::tdr_run, r); }
    void tdr_sample(const tdr_row& r) override { each(&tdr_record_sink::tdr_sample, r); }
    void tdr_run_end() override {
        for (tdr_record_sink* s : sinks_) s->tdr_run_end();
    }
    void haulout(const haulout_event& r) override { each(&tdr_record_sink::haulout, r); }
    void wetdry(const wetdry_event& r) override { each(&tdr_record_sink::wetdry, r); }
    void ctd_table(const ctd_channel_set& r) override { each(&tdr_record_sink::ctd_table, r); }
    void ctd_cast(const ctd_cast_info& r) override { each(&tdr_record_sink::ctd_cast, r); }
    void ctd_sample(const ctd_row& r) override { each(&tdr_record_sink::ctd_sample, r); }
    void acc_table() override {
        for (tdr_record_sink* s : sinks_) s->acc_table();
    }
    void acc_burst(const acc_burst_info& r) override { each(&tdr_record_sink::acc_burst, r); }
    void acc_sample(const acc_row& r) override { each(&tdr_record_sink::acc_sample, r); }
    void gps_table() override {
        for (tdr_record_sink* s : sinks_) s->gps_table();
    }
    void gps(const gps_record& r) override { each(&tdr_record_sink::gps, r); }
    void info(const info_values& r) override { each(&tdr_record_sink::info, r); }
    void tdr_table_line(const char* text) override { each(&tdr_record_sink::tdr_table_line, text); }
    void message(uint32_t byte_offset, const char* text) override {
        for (tdr_record_sink* s : sinks_) s->message(byte_offset, text);
    }

private:
    // The record's type is deduced from the method alone.
    template <typename Record>
    void each(void (tdr_record_sink::*method)(Record), std::enable_if_t<true, Record> r) {
        for (tdr_record_sink* s : sinks_) (s->*method)(r);
    }
    std::vector<tdr_record_sink*> sinks_;
    bool tdr_table_begun_ = false;
};

class dive_fanout final : public dive_sink {
public:
    void add(dive_sink* s) { sinks_.push_back(s); }
    void dive(const dive_record& r) override {
        for (dive_sink* s : sinks_) s->dive(r);
    }

private:
    std::vector<dive_sink*> sinks_;
};

}  // namespace vandrel
