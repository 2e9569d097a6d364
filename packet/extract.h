#pragma once

#include <cstdint>
#include <string>

#include "packet/packet.h"
#include "packet/packet_records.h"

namespace vandrel {

// Results of extract_packet_file other than a row count.
constexpr int extract_write_error = -1;  // writing the table failed
constexpr int extract_read_error = -2;   // reading the input failed (not at its end)

// The packet header's year is only stored modulo the logger's four-year
// cycle in practice, so the year is moved on in steps of four years until
// the packet's start lies no more than this long before the run.
constexpr int64_t max_start_age_seconds = 126130400;  // 1461 days less 100000 s

// Sets msg.jan1_time and msg.start_time from msg.year and msg.year_secs,
// moving the year forward four years at a time while the start lies more
// than max_start_age_seconds before now (seconds since 1970 UTC).
void compute_start_time(int64_t now, packet_header& msg);

// Turns a packet file into the extracted table and returns the number of
// rows written: 0 when the input cannot be opened (nothing is created), when
// the output cannot be created, or when no packet yields a sample;
// extract_write_error or extract_read_error when writing or reading fails
// part-way (the rows already written stay). `now` dates the packets. Every
// packet, row and skipped packet also goes to writers, when given, while
// the table is written.
int extract_packet_file(const std::string& in_fname, const std::string& out_fname, int64_t now,
                        packet_record_sink* writers = nullptr);

// The same records handed to writers alone, no table written: the number
// of samples, or extract_read_error. Without values the rows carry only
// their ID and time, for a reading that only counts them.
int extract_packet_records(const std::string& in_fname, int64_t now, packet_record_sink& writers, bool values);

// The same as extract_packet_file, dated by the computer's clock.
int extract_packet_file(const std::string& in_fname, const std::string& out_fname);

}  // namespace vandrel
