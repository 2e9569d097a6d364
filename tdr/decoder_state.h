// The state of one run of the TDR stream decoder, in one place.
//
// The decoder's blocks call each other on one thread (a CTD cast or an
// accelerometer burst can open in the middle of another block's samples),
// and they all share the values below: the input and its position, the
// writer of the records and which tables it keeps, the calibration that the
// info block sets, the state of the current TDR run and CTD cast, and the
// accelerometer buffer. decode_tdr_stream owns one instance for the run and
// passes it by reference to every reader and block function, so every run
// starts from the same known values and nothing outlives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "coding/decode_outcome.h"
#include "coding/stream_codes.h"
#include "platform/input_file.h"
#include "tdr/decode_tdr_stream.h"
#include "tdr/tdr_records.h"

namespace vandrel {
namespace detail {

// The progress callback fires when a read ends on a multiple of this.
constexpr uint32_t progress_step = 1024;

// An accelerometer burst holds at most this many samples; one more is an
// overflow.
constexpr std::size_t acc_buffer_samples = 998;

// Blocks nest only through codes met inside relative samples: a CTD cast or
// an accelerometer burst inside TDR samples, a burst inside a cast. Loggers
// nest two or three levels; a stream that nests deeper than this is refused
// so that hostile input cannot exhaust the call stack (a level costs well
// under a kilobyte of stack, so this fits the 1 MiB stacks of Windows too).
constexpr int max_block_nesting = 1000;

struct acc_sample {
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t z = 0;
};

struct tdr_decoder_state {
    tdr_decoder_state(const tdr_stream_request& r, decode_outcome& o, tdr_record_sink& w)
        : request(r), outcome(o), out(w) {}

    const tdr_stream_request& request;
    // Counters, regime, firmware and errors of the run. The counters are the
    // rows handed on while their tables were kept.
    decode_outcome& outcome;

    // Input. byte_offset counts the bytes consumed from the start of the
    // file; end_of_input is set by a short read and by code 0xFF.
    input_file input;
    uint32_t byte_offset = 0;
    bool end_of_input = false;

    // The writer of the records, and the tables it keeps (by
    // tdr_table_kind). A table is begun at its first block, and again at
    // each later block while the writer refuses it.
    tdr_record_sink& out;
    bool kept[4] = {};

    // Depth of blocks opened from inside relative samples.
    int nesting_depth = 0;

    bool in_ctd_cast = false;
    bool in_acc_block = false;

    // Ordinals of the runs, casts and bursts handed to the writers.
    uint32_t run_count = 0;
    uint32_t cast_count = 0;
    uint32_t burst_count = 0;

    // TDR runs.
    double tdr_time = 0.0;      // time of the current TDR row, seconds since 1970 UTC
    uint16_t tdr_interval = 0;  // hundredths of a second
    double depth_unit = 0.1;    // metres per raw depth count of the current run
    uint8_t n_photo = 0;
    bool abs_mode = false;  // firmware 132 and 133 code every TDR value absolutely
    uint8_t wetdry_state = 0;
    double haulout_start = 0.0;  // 0.0: no haul-out pending

    // CTD calibration (from the info block).
    double pressure_scale = 30.0;
    double temp_offset = 8000.0;
    double temp_scale = 1000.0;
    double cond_offset = 200.0;
    double cond_scale = 800.0;
    double cond_lag_tau = 1000.0;  // milliseconds

    // Accelerometer calibration (from the info block).
    double acc_interval_ms = 40.0;
    double acc_scale = 1.0 / 256.0;
    double acc_offset = 16.0;

    // CTD casts.
    uint16_t ctd_interval = 0;  // hundredths of a second
    double ctd_time = 0.0;
    uint16_t ctd_pressure_zero = 0;
    double cond_lagged = -1.0;  // negative: lag filter not primed
    double cond_lag_alpha = 0.0;
    bool ctd_time_valid = true;
    uint64_t ctd_last_end_count = 0;
    int32_t ppfd_channel = 999;  // 999: no channel carries PPFD

    // The samples of the accelerometer burst in hand.
    acc_sample acc_samples[acc_buffer_samples];
    acc_row acc_rows[acc_buffer_samples] = {};  // the burst's rows, handed on at once
};

// Adds an error to the outcome and tells the writer, at the current input
// position.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void report_error(tdr_decoder_state& st, const char* fmt, ...);

inline bool is_kept(const tdr_decoder_state& st, tdr_table_kind kind) { return st.kept[static_cast<int>(kind)]; }

// Records the writer's answer to the beginning of a table; a refusal is
// reported as an error. Returns the answer.
bool table_begun(tdr_decoder_state& st, tdr_table_kind kind, bool kept);

// Makes every further read fail as at the end of the input, so that decoding
// unwinds through the nested blocks and stops.
void stop_input(tdr_decoder_state& st);

}  // namespace detail
}  // namespace vandrel
