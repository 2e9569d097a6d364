// The four text tables of a TDR stream: the TDR, CTD, GPS and ACC data
// files. Tab-separated with a header line (the GPS file: space-separated, no
// header), CR LF line ends, numbers exactly as printf prints them.
//
// Each file is created when its table begins (tdr_table(), ctd_table(),
// acc_table(), gps_table()); a file that cannot be created refuses its
// table, and refusal() says so in the decoder's words. The files may be
// created apart from the rest, by open() in the decoder's thread, while
// each table's rows are formatted and written in a thread of its own: the
// tables share no state, and a table's rows are handed on only after its
// beginning.
#pragma once

#include <memory>
#include <string>

#include "pipeline/tdr_batch.h"
#include "platform/number_format.h"
#include "platform/output_file.h"
#include "tdr/tdr_records.h"

namespace vandrel {

// Room for the longest ACC row: the time and three numbers at their widest.
constexpr std::size_t max_acc_row_chars = 64 + 3 * max_fixed_chars;

// One row of the ACC table at p; returns its end.
char* format_acc_row(char* p, const acc_row& row);

// The lines of the ACC table in a batch, its header included where the
// table begins, for writers that format the ACC table apart (the largest
// table by far in most streams) and hand it to write_rows() in batch order.
void format_acc_text(const tdr_batch& batch, batch_text& text);

class tdr_text_tables final : public tdr_record_sink {
public:
    struct paths {
        std::string tdr, ctd, gps, acc;
    };
    explicit tdr_text_tables(paths p) : paths_(std::move(p)) {}

    const std::string& path(tdr_table_kind kind) const;
    bool is_open(tdr_table_kind kind) const { return file(kind) != nullptr; }
    // Creates the table's file unless it was: false when it cannot be made.
    // The header is written when the table begins.
    bool open(tdr_table_kind kind);

    bool tdr_table(const tdr_table_info& info) override;
    void tdr_sample(const tdr_row& s) override;
    void haulout(const haulout_event& event) override;
    void tdr_table_line(const char* text) override;

    bool ctd_table(const ctd_channel_set& channels) override;
    void ctd_sample(const ctd_row& row) override;

    bool acc_table() override;
    void acc_sample(const acc_row& row) override;

    bool gps_table() override;
    void gps(const gps_record& r) override;

    std::string refusal(tdr_table_kind kind) const override;

    // Lines formatted elsewhere, appended to the table's file as they are
    // (the table was begun: its file made).
    void write_rows(tdr_table_kind kind, const batch_text& text);

    // Flushes the table's buffer (the process is about to stop).
    void flush(tdr_table_kind kind);
    // Closes the table's file; false when any write to it failed, with the
    // decoder's words for it in error. A table that was never opened closes
    // without error.
    bool close(tdr_table_kind kind, std::string& error);

private:
    output_file* file(tdr_table_kind kind) const {
        switch (kind) {
            case tdr_table_kind::tdr:
                return tdr_.get();
            case tdr_table_kind::ctd:
                return ctd_.get();
            case tdr_table_kind::gps:
                return gps_.get();
            case tdr_table_kind::acc:
            default:
                return acc_.get();
        }
    }
    std::unique_ptr<output_file>& slot(tdr_table_kind kind);
    // The table's file once its table has begun, else nullptr.
    output_file* begun(tdr_table_kind kind) const { return begun_[static_cast<int>(kind)] ? file(kind) : nullptr; }
    output_file* begin(tdr_table_kind kind);

    paths paths_;
    std::unique_ptr<output_file> tdr_, ctd_, gps_, acc_;
    // Set in the table's own thread, when the table begins.
    bool begun_[4] = {};
};

// The text tables' part in a decoding whose writers run in threads: in the
// decoder's thread, the tables' files are created as each table begins
// (the decoder needs the answer), and refusals told. The rest goes to the
// tables in the writers' threads.
class tdr_text_tables_gate final : public tdr_record_sink {
public:
    explicit tdr_text_tables_gate(tdr_text_tables& tables) : tables_(tables) {}
    bool tdr_table(const tdr_table_info& /*info*/) override { return tables_.open(tdr_table_kind::tdr); }
    bool ctd_table(const ctd_channel_set& /*channels*/) override { return tables_.open(tdr_table_kind::ctd); }
    bool acc_table() override { return tables_.open(tdr_table_kind::acc); }
    bool gps_table() override { return tables_.open(tdr_table_kind::gps); }
    std::string refusal(tdr_table_kind kind) const override { return tables_.refusal(kind); }

private:
    tdr_text_tables& tables_;
};

}  // namespace vandrel
