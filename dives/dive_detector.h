// Dive detection in the TDR rows, in one pass as they are decoded.
//
// Depths are the rows' raw depths D, counted in the run's depth unit u (a
// decimetre, or a millimetre in regime 5), less a zero offset Z: d = D - Z.
// The threshold T and Z are given in whole decimetres and taken in the run's
// unit (times 100 for millimetres), so that every measure keeps its integer
// form and only its final scaling by u depends on the unit. A dive is a maximal series of consecutive rows
// i..j of one run with d above the threshold T; runs without a depth channel
// (the dry rows of a haul-out) hold no dives, and a dive never spans two runs.
// Its greatest depth m is taken at the first row that has it; its bottom phase
// runs from the first row k1 to the last row k2 with 100 d >= 85 m; descent
// is i..k1 and ascent k2..j. A dive is complete when it neither begins with
// its run's first row nor ends with its last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dives/dive_record.h"
#include "tdr/tdr_records.h"

namespace vandrel {

struct dive_settings {
    int32_t threshold_dm = 40;   // T, decimetres; a negative value counts as 0
    int32_t zero_offset_dm = 0;  // Z, decimetres
};

// Reads a length in metres from the command line and rounds it to whole
// decimetres: M * 10 in doubles, halves away from zero. The text is an
// optional sign, digits with an optional fraction (".5", "5." and "5.25" are
// numbers), and an optional exponent ("e" or "E", an optional sign, digits),
// with a point for the decimals whatever the locale; nothing else, not even
// spaces. Refused: any other text (empty, "nan", "inf", "0x10", "4m", "1,5"),
// a value too large or too small for a double, a value whose decimetres lie
// outside int32_t, and a value below zero when allow_negative is false ("-0"
// is zero). On refusal decimetres is left unchanged.
bool parse_dive_metres(const std::string& text, bool allow_negative, int32_t& decimetres);

namespace detail {

// A row of the open dive that may still bound its bottom phase once the
// dive's greatest depth is known.
struct depth_mark {
    uint64_t index;  // position of the row in its run, from 0
    uint64_t sum;    // sum of d over the dive's rows up to and including this one (mod 2^64)
    uint16_t depth;  // raw D
};

// The dive being read. Its rows' raw depths are gathered, and a dive that
// ends within one batch is measured from them directly. A longer dive folds
// each full batch into two short lists: the rows deeper than all rows before
// them in the dive (where the bottom phase can begin, since k1 is deeper than
// every row before it) and the rows deeper than all rows after them so far
// (where it can end). Each list holds at most one row per raw depth value, so
// the memory of a dive is bounded however long it lasts, and the running sums
// give the bottom mean.
struct open_dive {
    uint64_t first = 0;  // i
    double start_time = 0.0;
    double end_time = 0.0;
    double max_time = 0.0;
    uint16_t first_depth = 0;
    int32_t max_depth = -1;        // raw (-1 before the first row)
    double temp_sum = 0.0;         // degrees Celsius, summed in row order
    std::vector<uint16_t> recent;  // raw depths of the rows not folded yet
    uint64_t folded = 0;           // index of the first of them
    uint64_t sum = 0;  // running sum of d (mod 2^64), over this dive and those before: only differences count
    std::vector<depth_mark> rises;  // strictly deeper than all rows before
    std::vector<depth_mark> falls;  // strictly deeper than all rows after, so far
};

}  // namespace detail

class dive_detector : public tdr_record_sink {
public:
    // Rows of a dive gathered before they are folded into its lists (two
    // bytes each): memory against speed, since most dives end within one
    // batch and are measured by plain scans. Any value from 1 gives the same
    // dives.
    static constexpr std::size_t default_fold_rows = 4096;

    dive_detector(const dive_settings& settings, dive_sink& sink, std::size_t fold_rows = default_fold_rows);

    void tdr_run(const tdr_run_info& run) override;
    void tdr_sample(const tdr_row& row) override;
    void tdr_samples(const tdr_row* rows, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) dive_detector::tdr_sample(rows[i]);
    }
    void tdr_run_end() override;
    void acc_samples(const acc_row* /*rows*/, std::size_t /*n*/) override {}  // dives are of depth alone

    // Ends a run that the decoder left open (as tdr_run_end does; nothing
    // when no run is open). Call once the decoding is over.
    void finish() { tdr_run_end(); }

    // Dives found so far, including the one waiting for its surface interval.
    uint32_t dives() const { return count_; }

private:
    void begin_dive(uint64_t index, const tdr_row& row);
    void fold();
    void close_dive(bool run_ended);
    void emit_pending(double postdive);

    int64_t zero_dm_;        // Z, decimetres
    int64_t threshold_dm_;   // T, decimetres
    int64_t zero_;           // Z in the run's depth unit
    int64_t surface_limit_;  // T + Z in the run's depth unit: rows with a raw depth above it are in a dive
    double unit_ = 0.1;      // u, metres per raw depth count of the run
    dive_sink& sink_;
    std::size_t fold_rows_;

    bool in_run_ = false;  // between tdr_run and tdr_run_end of a run with depths
    bool has_temperature_ = false;
    uint32_t run_ = 0;
    double dt_ = 0.0;        // seconds between rows
    uint64_t position_ = 0;  // rows of the run so far

    bool diving_ = false;
    detail::open_dive dive_;

    // The last dive found, sent once its surface interval is known.
    bool pending_ = false;
    uint64_t pending_last_ = 0;
    dive_record pending_record_{};

    uint32_t count_ = 0;
};

}  // namespace vandrel
