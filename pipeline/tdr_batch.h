// A batch of TDR records: a stretch of one decoding copied out of the
// decoder's memory (photo counts, GPS entries, channel sets and texts
// included), so that writers in other threads read it while the decoder
// goes on. Plain vectors, kept between uses: once warm, filling a batch
// allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pipeline/writer_threads.h"
#include "tdr/tdr_records.h"

namespace vandrel {

// The records of a batch in stream order: what each is and where it lies.
enum class tdr_record_type : uint8_t {
    tdr_table,
    tdr_run,
    tdr_sample,
    tdr_run_end,
    haulout,
    wetdry,
    ctd_table,
    ctd_cast,
    ctd_sample,
    acc_table,
    acc_burst,
    acc_sample,
    gps_table,
    gps,
    info,
    table_line,
    message,
};

struct tdr_batch {
    // Rows that follow each other (of a TDR run without photo counts, a
    // cast, a burst) share one entry: handing them on is then a loop.
    struct entry {
        tdr_record_type type;
        uint32_t index;  // into the vector of its type; a message's input position
        uint32_t count;  // records from index on
        uint32_t extra;  // into a pool: photo counts, GPS entries, text
    };
    std::vector<entry> order;
    std::size_t records = 0;
    std::vector<tdr_table_info> tables;
    std::vector<tdr_run_info> runs;
    std::vector<tdr_row> rows;
    std::vector<haulout_event> haulouts;
    std::vector<wetdry_event> wetdry;
    std::vector<ctd_channel_set> channel_sets;  // of ctd_table and of the casts
    std::vector<ctd_cast_info> casts;
    std::vector<ctd_row> ctd_rows;
    std::vector<acc_burst_info> bursts;
    std::vector<acc_row> acc_rows;
    std::vector<gps_record> gps;
    std::vector<info_values> infos;
    std::vector<uint16_t> photo;   // the rows' photo counts
    std::vector<uint8_t> entries;  // the GPS records' satellite entries
    std::vector<char> text;        // table lines and messages, each ended by '\0'

    void clear();
    std::size_t size() const { return records; }
};

// Hands the batch's records to out, in order. A table's beginning is handed
// on as kept: the decision was made when the batch was filled.
void replay(const tdr_batch& batch, tdr_record_sink& out);

// The same for the records of one table alone (its beginning, rows and
// lines), for a writer of that table's file.
void replay_table(const tdr_batch& batch, tdr_table_kind kind, tdr_record_sink& out);

using tdr_writer_threads = writer_threads<tdr_batch>;

// Copies each record into the batches of the writers' threads, handing a
// batch over when it is full. Every table is kept: the decision is the
// fan-out's gate's, before this writer hears of the table.
class tdr_batch_filler final : public tdr_record_sink {
public:
    explicit tdr_batch_filler(tdr_writer_threads& threads) : threads_(threads) {}

    bool tdr_table(const tdr_table_info& info) override;
    void tdr_run(const tdr_run_info& run) override;
    void tdr_sample(const tdr_row& row) override;
    void tdr_run_end() override;
    void haulout(const haulout_event& event) override;
    void wetdry(const wetdry_event& event) override;
    bool ctd_table(const ctd_channel_set& channels) override;
    void ctd_cast(const ctd_cast_info& cast) override;
    void ctd_sample(const ctd_row& row) override;
    bool acc_table() override;
    void acc_burst(const acc_burst_info& burst) override;
    void acc_sample(const acc_row& row) override;
    void acc_samples(const acc_row* rows, std::size_t n) override;
    bool gps_table() override;
    void gps(const gps_record& record) override;
    void info(const info_values& values) override;
    void tdr_table_line(const char* text) override;
    void message(uint32_t byte_offset, const char* text) override;

private:
    // The batch of the next record: a new one when the last is full.
    tdr_batch& batch() {
        if (threads_.fill().size() >= records_per_batch) threads_.hand_over();
        return threads_.fill();
    }
    static void add(tdr_batch& b, tdr_record_type type, std::size_t index, std::size_t extra = 0) {
        ++b.records;
        b.order.push_back({type, static_cast<uint32_t>(index), 1, static_cast<uint32_t>(extra)});
    }
    // n rows from index on, joined to the entry of the rows before them
    // when they follow those.
    static void add_row(tdr_batch& b, tdr_record_type type, std::size_t index, std::size_t n = 1) {
        b.records += n;
        if (!b.order.empty()) {
            tdr_batch::entry& last = b.order.back();
            if (last.type == type && last.index + last.count == index) {
                last.count += static_cast<uint32_t>(n);
                return;
            }
        }
        b.order.push_back(
            {type, static_cast<uint32_t>(index), static_cast<uint32_t>(n), static_cast<uint32_t>(no_pool)});
    }
    static constexpr std::size_t no_pool = 0xFFFFFFFF;
    static std::size_t add_text(tdr_batch& b, const char* text);
    tdr_writer_threads& threads_;
};

}  // namespace vandrel
