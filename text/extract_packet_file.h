// A packet file extracted into its text table, the same records handed to
// further writers.
#pragma once

#include <cstdint>
#include <string>

#include "coding/decode_outcome.h"
#include "packet/extract.h"
#include "packet/packet_records.h"

namespace vandrel {

// Results of extract_packet_file other than a row count.
constexpr int extract_write_error = -1;  // writing the table failed
constexpr int extract_read_error = -2;   // reading the input failed (not at its end)

// Turns a packet file into the extracted table and returns the number of
// rows written: 0 when the input cannot be opened (nothing is created), when
// the output cannot be created, or when no packet yields a sample;
// extract_write_error or extract_read_error when writing or reading fails
// part-way (the rows already written stay). `now` dates the packets. Every
// packet, row and skipped packet also goes to writers, when given, while
// the table is written. The whole outcome goes to *outcome when given.
int extract_packet_file(const std::string& in_fname, const std::string& out_fname, int64_t now,
                        packet_record_sink* writers = nullptr, decode_outcome* outcome = nullptr);

// The same as extract_packet_file, dated by the computer's clock.
int extract_packet_file(const std::string& in_fname, const std::string& out_fname);

}  // namespace vandrel
