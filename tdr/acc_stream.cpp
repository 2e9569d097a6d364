#include "tdr/acc_stream.h"

#include "tdr/stream_reader.h"

namespace vandrel {
namespace detail {

namespace {

// A burst longer than the logger can record: the stream is corrupt.
// Decoding stops here; the line goes to the TDR data file when there is one
// and the caller learns of it from the outcome.
uint8_t acc_overflow(tdr_decoder_state& st) {
    if (is_kept(st, tdr_table_kind::tdr)) st.out.tdr_table_line("ACC OVERFLOW");
    report_error(st, "ACC OVERFLOW at byte %lu\n", static_cast<unsigned long>(st.byte_offset));
    st.outcome.acc_overflow = true;
    stop_input(st);
    st.end_of_input = true;
    return TDRCODE_END;
}

}  // namespace

uint8_t stream_acc(tdr_decoder_state& st, double block_end_time) {
    if (!is_kept(st, tdr_table_kind::acc)) table_begun(st, tdr_table_kind::acc, st.out.acc_table());
    // The absolute first sample; a burst cut off inside it writes nothing.
    acc_sample s;
    if (!read_unint(st, s.x) || !read_unint(st, s.y) || !read_unint(st, s.z)) return TDRCODE_END;
    st.acc_samples[0] = s;
    std::size_t n = 1;

    uint8_t r;
    for (;;) {
        if ((r = read_rel(st, s.x, false)) != 0) break;
        // A code in y or z ends nothing: that axis keeps its value.
        read_rel(st, s.y, false);
        read_rel(st, s.z, false);
        if (n == acc_buffer_samples) return acc_overflow(st);
        st.acc_samples[n++] = s;
    }

    // A burst that an overflow inside it cut short is not written.
    if (is_kept(st, tdr_table_kind::acc) && !st.outcome.acc_overflow) {
        const uint32_t burst = st.burst_count;
        st.out.acc_burst({burst, static_cast<uint32_t>(n), block_end_time, st.byte_offset});
        // Sample i lies in the middle of the i-th of n slots that end at
        // block_end_time.
        const double step = st.acc_interval_ms * 0.001;
        double t = block_end_time - static_cast<double>(n) * step + 0.5 * step;
        for (std::size_t i = 0; i < n; ++i) {
            const acc_sample& a = st.acc_samples[i];
            st.acc_rows[i] = {burst, t, a.x * st.acc_scale - st.acc_offset, a.y * st.acc_scale - st.acc_offset,
                              a.z * st.acc_scale - st.acc_offset};
            t += step;
        }
        st.out.acc_samples(st.acc_rows, n);
        st.outcome.acc_rows += n;
    }
    ++st.burst_count;

    if (r != TDRCODE_END_ACC) return r;
    // in_acc_block stays set: only the dispatcher clears it.
    uint8_t next = TDRCODE_END_ACC;
    read_bytes(st, &next, 1);
    return next;
}

}  // namespace detail
}  // namespace vandrel
