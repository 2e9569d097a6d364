// The state of the TDR stream decoder, in one place.
//
// The decoder's blocks call each other on one thread (a CTD cast or an
// accelerometer burst can open in the middle of another block's samples), and
// they all share the values below: the input and its position, the output
// files, the calibration that the info block sets, the state of the current
// TDR run and CTD cast, and the accelerometer buffer. Keeping all of it in
// one struct with one instance makes the sharing explicit and lets every run
// start from the same known values: decode_tdr_file rebuilds the whole struct
// at its start, so a second run in the same process decodes exactly as the
// first (counters, calibration and cast state included). One decoding may run
// at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/input_file.h"
#include "platform/output_file.h"
#include "tdr/decode_tdr_file.h"

namespace vandrel {
namespace detail {

// Stream codes. 0xF1..0xFF other than 0xFA are codes; 0xFA is the escape of
// an absolute value inside relative samples.
constexpr uint8_t first_code = 0xF1;
constexpr uint8_t TDRCODE_IGNORE = 0xF1;     // filler, skipped inside samples
constexpr uint8_t TDRCODE_GPS = 0xF2;        // GPS record
constexpr uint8_t TDRCODE_INFO = 0xF6;       // info block (firmware, intervals, calibration)
constexpr uint8_t TDRCODE_WETDRY = 0xF7;     // wet/dry change
constexpr uint8_t TDRCODE_START_ACC = 0xF8;  // accelerometer burst
constexpr uint8_t TDRCODE_END_ACC = 0xF9;    // end of an accelerometer burst
constexpr uint8_t TDRCODE_ABSOLUTE = 0xFA;   // escape: two-byte absolute value follows
constexpr uint8_t TDRCODE_WET_START = 0xFB;  // run of TDR samples
constexpr uint8_t TDRCODE_START_CTD = 0xFC;  // CTD cast
constexpr uint8_t TDRCODE_END_CTD = 0xFD;    // end of a CTD cast
constexpr uint8_t TDRCODE_DRY_START = 0xFE;  // haul-out
constexpr uint8_t TDRCODE_END = 0xFF;        // end of data; also "stop" as a result

// The progress callback fires when a read ends on a multiple of this.
constexpr uint32_t progress_step = 1024;

// An accelerometer burst holds at most this many samples; one more is an
// overflow.
constexpr std::size_t acc_buffer_samples = 998;

// The photo channel count is one byte of the info block.
constexpr std::size_t max_photo_channels = 255;

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
    // Input. byte_offset counts the bytes consumed from the start of the
    // file; end_of_input is set by a short read and by code 0xFF.
    std::unique_ptr<input_file> input;
    uint32_t byte_offset = 0;
    bool end_of_input = false;
    progress_fn progress_callback = nullptr;

    // Results.
    uint32_t tdr_record_count = 0;
    uint32_t ctd_record_count = 0;
    uint32_t gps_fix_count = 0;
    uint32_t acc_record_count = 0;
    bool decode_ok = true;  // false once an error has been put in the message

    // Output files; absent until the first block of their kind creates them.
    std::unique_ptr<output_file> tdr_file;
    std::unique_ptr<output_file> gps_file;
    std::unique_ptr<output_file> ctd_file;
    std::unique_ptr<output_file> acc_file;

    // Depth of blocks opened from inside relative samples.
    int nesting_depth = 0;

    bool in_ctd_cast = false;
    bool in_acc_block = false;

    // TDR runs.
    double tdr_time = 0.0;      // time of the current TDR row, seconds since 1970 UTC
    uint16_t tdr_interval = 0;  // hundredths of a second
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
    uint32_t ctd_last_end_count = 0;
    int32_t ppfd_channel = 999;  // 999: no channel carries PPFD

    // The samples of the accelerometer burst in hand.
    acc_sample acc_samples[acc_buffer_samples];
};

// The one instance.
extern tdr_decoder_state state;

// Restores every load value and closes whatever is still open.
void reset_decoder_state();

// Puts an error text into context.message (cut to fit, always terminated)
// and clears decode_ok.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void report_error(tdr_context& context, const char* fmt, ...);

// Buffer of each data file and of the dump: large enough that writes are
// few, small enough that a run over a short stream costs little.
constexpr std::size_t output_buffer_size = 1 << 16;

// Creates the data file at path; nullptr when it cannot be created.
std::unique_ptr<output_file> create_data_file(const std::string& path);

// Closes the four data files, TDR, ACC, CTD then GPS; a file whose writes
// failed is reported in context.message.
void close_data_files(tdr_context& context);

// Makes every further read fail as at the end of the input, so that decoding
// unwinds through the nested blocks and stops.
void stop_input();

}  // namespace detail
}  // namespace vandrel
