// A packet file extracted into its text table, the same records handed to
// further writers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "coding/decode_outcome.h"
#include "packet/extract.h"
#include "packet/packet_records.h"

namespace vandrel {

// Results of extract_packet_file other than a row count.
constexpr int extract_write_error = -1;  // writing the table failed
constexpr int extract_read_error = -2;   // reading the input failed (not at its end)

// With writers in threads, the table's rows are formatted by this many
// writers, each in a thread of its own while there are threads enough: the
// table outweighs the extraction itself.
constexpr int packet_table_ways = 2;

// One extraction: the input, the table, and the writers fed besides it.
struct packet_file_request {
    std::string in_fname;
    std::string out_fname;
    int64_t now = 0;  // dates the packets (seconds since 1970 UTC)
    // Writers that receive every packet, row and skipped packet besides the
    // table, in this order.
    std::vector<packet_record_sink*> writers;
    // What a writer needs done before its first record, in its own thread
    // (the netCDF file's first reading), one per writer or none: an empty
    // function for nothing. With one thread, done before extraction begins.
    std::vector<std::function<void()>> prepare;
    // A writer fed in the extraction's own thread (a progress bar).
    packet_record_sink* progress = nullptr;
    // Threads for the table and the writers: with 1 they run in the
    // extraction's thread; with more, each in a thread of its own (they
    // share the threads when there are fewer), fed batches of records while
    // the extraction goes on. The outputs are the same whatever the count.
    int threads = 1;
};

// Turns a packet file into the extracted table and returns the number of
// rows written: 0 when the input cannot be opened (nothing is created), when
// the output cannot be created, or when no packet yields a sample;
// extract_write_error or extract_read_error when writing or reading fails
// part-way (the rows already written stay). The whole outcome goes to
// *outcome when given.
int extract_packet_file(const packet_file_request& request, decode_outcome* outcome = nullptr);

// The same with no further writer, dated by now.
int extract_packet_file(const std::string& in_fname, const std::string& out_fname, int64_t now);

// The same as extract_packet_file, dated by the computer's clock.
int extract_packet_file(const std::string& in_fname, const std::string& out_fname);

}  // namespace vandrel
