// The packet file decoder: each packet's header and samples, converted to
// engineering units and handed to one writer (a fan-out to several, the
// extracted table among them).
#pragma once

#include <cstdint>
#include <string>

#include "coding/decode_outcome.h"
#include "packet/packet.h"
#include "packet/packet_records.h"
#include "platform/input_file.h"

namespace vandrel {

// The packet header's year is only stored modulo the logger's four-year
// cycle in practice, so the year is moved on in steps of four years until
// the packet's start lies no more than this long before the run.
constexpr int64_t max_start_age_seconds = 126130400;  // 1461 days less 100000 s

// Sets msg.jan1_time and msg.start_time from msg.year and msg.year_secs,
// moving the year forward four years at a time while the start lies more
// than max_start_age_seconds before now (seconds since 1970 UTC).
void compute_start_time(int64_t now, packet_header& msg);

// Decodes the packet file in_fname, dated by now, handing every packet, row
// and skipped packet to out in file order, and stops after a packet once out
// has stopped. Without values the rows carry only their ID, time and
// pressure, for a reading that counts them and finds their extent (the
// netCDF file's shape and vertical extent), and nothing is printed. The
// outcome counts the samples, and tells an input that cannot be opened
// (open_error) or read (read_error).
decode_outcome extract_packet_records(const std::string& in_fname, int64_t now, packet_record_sink& out, bool values);

// The same from an input already open; in_fname names it in errors.
decode_outcome extract_packet_records(input_file& in, const std::string& in_fname, int64_t now, packet_record_sink& out,
                                      bool values);

// The reading without values of the packets that begin at byte offsets from
// `from` (a multiple of the packet size) up to `to`: the parts of one
// counting reading, read at the same time, each into a writer of its own.
decode_outcome count_packet_records(const std::string& in_fname, int64_t now, packet_record_sink& out, uint64_t from,
                                    uint64_t to);

}  // namespace vandrel
