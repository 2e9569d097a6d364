#include "tdr/acc_stream.h"

#include <cmath>
#include <cstdlib>

#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "tdr/decoder_state.h"
#include "tdr/stream_reader.h"
#include "tdr/time_text.h"

namespace vandrel {

namespace {

// What an overflow does instead of ending the process; nullptr for the exit.
// A setting of the caller, not decoder state: it outlives the runs.
overflow_exit_fn overflow_exit_hook = nullptr;

}  // namespace

void set_overflow_exit(overflow_exit_fn fn) { overflow_exit_hook = fn; }

namespace detail {

namespace {

constexpr std::size_t max_acc_row = 64 + 3 * max_fixed_chars;

void write_acc_record(output_file* file, double sample_time, const acc_sample& s) {
    if (file == nullptr) return;
    // Round to the millisecond; a carry goes into the seconds.
    const double u = sample_time + 0.0005;
    int64_t seconds = whole_seconds(u);
    const double fraction = u - std::floor(u);  // 0 <= fraction <= 1
    int ms = static_cast<int>(fraction * 1000.0);
    if (ms >= 1000) {  // a fraction that rounded up to 1.0 (a tiny negative u)
        ms -= 1000;
        ++seconds;
    }
    char* const start = file->reserve(max_acc_row);
    char* p = format_utc(start, seconds, '/');
    *p++ = '.';
    *p++ = static_cast<char>('0' + ms / 100);
    *p++ = static_cast<char>('0' + ms / 10 % 10);
    *p++ = static_cast<char>('0' + ms % 10);
    for (uint16_t axis : {s.x, s.y, s.z}) {
        *p++ = '\t';
        p = format_fixed(p, axis * state.acc_scale - state.acc_offset, 4);
    }
    *p++ = '\r';
    *p++ = '\n';
    file->commit(p);
    ++state.acc_record_count;
}

// A burst longer than the logger can record: the stream is corrupt. The
// line goes to the TDR data file when there is one; then the process ends
// with status 1 after the data files are flushed, unless a hook of the
// caller's is in place, in which case decoding stops here.
uint8_t acc_overflow(tdr_context& context) {
    if (state.tdr_file) {
        state.tdr_file->write("ACC OVERFLOW");
        state.tdr_file->end_line();
    }
    if (overflow_exit_hook == nullptr) {
        stop_input();
        close_data_files(context);
        std::exit(1);
    }
    overflow_exit_hook();
    report_error(context, "ACC OVERFLOW at byte %lu\n", static_cast<unsigned long>(state.byte_offset));
    stop_input();
    state.end_of_input = true;
    return TDRCODE_END;
}

}  // namespace

uint8_t stream_acc(double block_end_time, tdr_context& context) {
    if (!state.acc_file) {
        state.acc_file = create_data_file(context.acc_path);
        if (state.acc_file) {
            state.acc_file->write("DATE (UTC)\tX\tY\tZ");
            state.acc_file->end_line();
        } else {
            report_error(context, "Can't create ACC data file %s\n", context.acc_path.c_str());
        }
    }
    // The absolute first sample; a burst cut off inside it writes nothing.
    acc_sample s;
    if (!read_unint(s.x) || !read_unint(s.y) || !read_unint(s.z)) return TDRCODE_END;
    state.acc_samples[0] = s;
    std::size_t n = 1;

    uint8_t r;
    for (;;) {
        if ((r = read_rel(s.x, context, false)) != 0) break;
        // A code in y or z ends nothing: that axis keeps its value.
        read_rel(s.y, context, false);
        read_rel(s.z, context, false);
        if (n == acc_buffer_samples) return acc_overflow(context);
        state.acc_samples[n++] = s;
    }

    // Sample i lies in the middle of the i-th of n slots that end at
    // block_end_time.
    const double step = state.acc_interval_ms * 0.001;
    double t = block_end_time - static_cast<double>(n) * step + 0.5 * step;
    for (std::size_t i = 0; i < n; ++i) {
        write_acc_record(state.acc_file.get(), t, state.acc_samples[i]);
        t += step;
    }

    if (r != TDRCODE_END_ACC) return r;
    // in_acc_block stays set: only the dispatcher clears it.
    uint8_t next = TDRCODE_END_ACC;
    read_bytes("end_acc", &next, 1);
    return next;
}

}  // namespace detail
}  // namespace vandrel
