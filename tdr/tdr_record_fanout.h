// Hands each record of a TDR decoding to several writers, in the order they
// were added. One of them may be the gate: the writer whose files decide
// whether a table's rows are kept (the text tables). The gate hears of a
// table first; when it refuses the table, no other writer hears of it, so
// every writer holds the rows the gate's tables hold, no more and no fewer.
// Without a gate every table is kept.
#pragma once

#include <vector>

#include "tdr/tdr_records.h"

namespace vandrel {

class tdr_record_fanout final : public tdr_record_sink {
public:
    // A gate that only decides (its tables take their rows elsewhere) is
    // handed no other record.
    void set_gate(tdr_record_sink* gate, bool takes_records = true) {
        gate_ = gate;
        if (gate != nullptr && takes_records) sinks_.insert(sinks_.begin(), gate);
    }
    void add(tdr_record_sink* s) { sinks_.push_back(s); }
    bool empty() const { return sinks_.empty(); }
    // True once a TDR table was begun and kept.
    bool tdr_table_begun() const { return tdr_table_begun_; }

    bool tdr_table(const tdr_table_info& r) override {
        if (!begin([&](tdr_record_sink& s) { return s.tdr_table(r); })) return false;
        tdr_table_begun_ = true;
        return true;
    }
    bool ctd_table(const ctd_channel_set& r) override {
        return begin([&](tdr_record_sink& s) { return s.ctd_table(r); });
    }
    bool acc_table() override {
        return begin([](tdr_record_sink& s) { return s.acc_table(); });
    }
    bool gps_table() override {
        return begin([](tdr_record_sink& s) { return s.gps_table(); });
    }
    std::string refusal(tdr_table_kind kind) const override { return gate_ != nullptr ? gate_->refusal(kind) : ""; }

    void tdr_run(const tdr_run_info& r) override { each(&tdr_record_sink::tdr_run, r); }
    void tdr_sample(const tdr_row& r) override { each(&tdr_record_sink::tdr_sample, r); }
    void tdr_samples(const tdr_row* rows, std::size_t n) override {
        for (tdr_record_sink* s : sinks_) s->tdr_samples(rows, n);
    }
    void tdr_run_end() override {
        for (tdr_record_sink* s : sinks_) s->tdr_run_end();
    }
    void haulout(const haulout_event& r) override { each(&tdr_record_sink::haulout, r); }
    void wetdry(const wetdry_event& r) override { each(&tdr_record_sink::wetdry, r); }
    void ctd_cast(const ctd_cast_info& r) override { each(&tdr_record_sink::ctd_cast, r); }
    void ctd_sample(const ctd_row& r) override { each(&tdr_record_sink::ctd_sample, r); }
    void acc_burst(const acc_burst_info& r) override { each(&tdr_record_sink::acc_burst, r); }
    void acc_sample(const acc_row& r) override { each(&tdr_record_sink::acc_sample, r); }
    void acc_samples(const acc_row* rows, std::size_t n) override {
        for (tdr_record_sink* s : sinks_) s->acc_samples(rows, n);
    }
    void gps(const gps_record& r) override { each(&tdr_record_sink::gps, r); }
    void info(const info_values& r) override { each(&tdr_record_sink::info, r); }
    void tdr_table_line(const char* text) override { each(&tdr_record_sink::tdr_table_line, text); }
    void message(uint32_t byte_offset, const char* text) override {
        for (tdr_record_sink* s : sinks_) s->message(byte_offset, text);
    }

private:
    // The gate decides; the others follow a kept table. Every writer but a
    // gate keeps what it is given.
    template <typename Begin>
    bool begin(Begin call) {
        if (gate_ != nullptr && !call(*gate_)) return false;
        for (tdr_record_sink* s : sinks_)
            if (s != gate_) call(*s);  // a gate among them has answered
        return true;
    }
    // The record's type is deduced from the method alone.
    template <typename Record>
    void each(void (tdr_record_sink::*method)(Record), std::enable_if_t<true, Record> r) {
        for (tdr_record_sink* s : sinks_) (s->*method)(r);
    }
    std::vector<tdr_record_sink*> sinks_;
    tdr_record_sink* gate_ = nullptr;
    bool tdr_table_begun_ = false;
};

}  // namespace vandrel
