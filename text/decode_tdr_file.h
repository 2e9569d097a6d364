// A TDR stream file decoded into its text tables: up to four data files,
// TDR, CTD, GPS and ACC, and the same records handed to further writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "coding/decode_outcome.h"
#include "tdr/decode_tdr_stream.h"
#include "tdr/tdr_records.h"

namespace vandrel {

// Room of the message text, terminator included.
constexpr std::size_t tdr_message_size = 60;

// With writers in threads, the ACC table's rows are formatted by this many
// writers, each in a thread of its own while there are threads enough.
constexpr int acc_table_ways = 2;

// One decoding run: the caller fills the paths, the decoder the rest.
struct tdr_context {
    std::string in_path;                  // TDR stream file to decode
    std::string tdr_path;                 // TDR data file (created at the first code 0xFB)
    std::string ctd_path;                 // CTD data file (created at the first cast)
    std::string gps_path;                 // GPS data file (created at the first GPS record)
    std::string acc_path;                 // ACC data file (created at the first accelerometer block)
    char message[tdr_message_size] = {};  // last error; empty when there was none
    uint32_t tdr_records = 0;             // rows written to the TDR data file
    uint32_t ctd_records = 0;             // rows written to the CTD data file
    uint32_t gps_fixes = 0;               // GPS records decoded
    uint32_t end_offset = 0;              // input position at which decoding stopped
    uint8_t regime = 9;                   // regime of the current run of TDR samples
    uint32_t fw_version = 0;              // logger firmware, from the info block
    uint32_t acc_records = 0;             // rows written to the ACC data file
    // Where the debug dump goes; empty for the platform's fixed path.
    std::string debug_dump_path;
    // Input buffer size; 1 reads one byte per system call (for measurements).
    std::size_t read_buffer_size = 1 << 16;
    // Writers that receive the decoded records besides the text tables
    // (netCDF files, a report, the dive detector), in this order.
    std::vector<tdr_record_sink*> writers;
    // Threads for the writers: with 1 every writer runs in the decoder's
    // thread; with more, each text table and each writer above runs in a
    // thread of its own (they share the threads when there are fewer),
    // fed batches of records while the decoder goes on. The outputs are the
    // same whatever the count.
    int threads = 1;
    // What a writer needs done before its first record, in its own thread
    // (the netCDF files' first reading), one per writer or none: an empty
    // function for nothing. With one thread, done before decoding begins.
    std::vector<std::function<void()>> prepare;
    // Set when decoding stopped at an accelerometer burst of more than 998
    // samples; "ACC OVERFLOW" is then the last line of the TDR data file.
    bool acc_overflow = false;
    // Set when a CTD cast printed "Stop" on the console (a relative sample
    // began at row 14168); the console line is then left open.
    bool stop_marker_printed = false;
    // Set when decoding stopped with input left unread that is not erased
    // flash (bytes 0xFF): an end code followed by data, a run of an unknown
    // regime, an error. The bytes from end_offset on were not decoded.
    bool stopped_early = false;
    // Set when a run of an unknown regime stopped decoding (the TDR table
    // then ends with "Illegal stream contents (0)"); regime names it.
    bool unknown_regime = false;
    // False for a reading that hands the records to the writers alone: no
    // data file is made, the paths are not used, and nothing is printed.
    bool text_tables = true;
    // Set for a reading that only counts (the netCDF files' first): values
    // no count or extent depends on are left out (see tdr_stream_request).
    bool counting = false;
    // Set when the TDR table was begun (its file made).
    bool tdr_table_begun = false;
    // How the decoding ended, every error included (the message holds the
    // last one).
    decode_outcome outcome;
};

// Decodes context.in_path into the data files named in context, handing
// every record to context.writers too. Returns false when the input cannot
// be opened or an error was reported in context.message; true otherwise. An
// accelerometer burst that overflows its buffer stops decoding: the tables
// are closed with "ACC OVERFLOW" last in the TDR data file, acc_overflow is
// set and the result is false. With debug_dump set, first writes a list of
// the stream's codes and their byte positions to the debug dump file.
bool decode_tdr_file(tdr_context& context, progress_fn progress_callback, int32_t start_offset, bool debug_dump);

}  // namespace vandrel
