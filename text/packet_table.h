// The extracted table of a packet file: a header line, then one row per
// sample, tab-separated, CR LF line ends, numbers exactly as printf prints
// them ("%ld\t%s\t%.2f\t%.3f\t%.3f\t%.3f\t%.3f\t%.2f\t%4u").
#pragma once

#include <string>

#include "packet/packet_records.h"
#include "platform/output_file.h"

namespace vandrel {

// Longest row: ID, time, six numbers, mV, tabs and line end, with room to
// spare for numbers far outside their usual range.
constexpr std::size_t max_packet_row_chars = 12 + 32 + 6 * 48 + 8 + 16;

// One row of the table at p (room for max_packet_row_chars); returns its end.
char* format_packet_row(char* p, const packet_row& r);

class packet_table_writer final : public packet_record_sink {
public:
    // Creates (or replaces) the table at path and writes its header; false
    // when it cannot be created.
    bool create(const std::string& path);
    void sample(const packet_row& row) override;
    // False once a write has failed.
    bool ok() const { return out_.ok(); }
    bool stopped() const override { return !out_.ok(); }
    // Flushes and closes; false if any write failed.
    bool close() { return out_.close(); }
    // Rows formatted elsewhere (format_packet_row), appended as they are.
    void write_rows(const char* text, std::size_t n) { out_.write(text, n); }

private:
    output_file out_;
};

}  // namespace vandrel
