#include "dives/dive_detector.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace vandrel {

namespace {

constexpr double not_available = std::numeric_limits<double>::quiet_NaN();

// The bottom phase: the rows within 85 % of the greatest depth m.
constexpr int64_t bottom_percent = 85;

}  // namespace

bool parse_dive_metres(const std::string& text, bool allow_negative, int32_t& decimetres) {
    // from_chars reads the C locale's decimal numbers whatever the user's
    // locale, and the whole text must be one; it takes no plus sign.
    const char* begin = text.data();
    const char* const end = begin + text.size();
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') ++begin;
    double metres = 0.0;
    const auto result = std::from_chars(begin, end, metres);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(metres)) return false;
    if (!allow_negative && metres < 0.0) return false;
    const double rounded = std::round(metres * 10.0);  // halves away from zero
    if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max()) return false;
    decimetres = static_cast<int32_t>(rounded);
    return true;
}

dive_detector::dive_detector(const dive_settings& settings, dive_sink& sink, std::size_t fold_rows)
    : zero_dm_(settings.zero_offset_dm),
      threshold_dm_(std::max<int64_t>(settings.threshold_dm, 0)),
      zero_(zero_dm_),
      surface_limit_(threshold_dm_ + zero_dm_),
      sink_(sink),
      fold_rows_(std::max<std::size_t>(fold_rows, 1)) {
    dive_.recent.reserve(fold_rows_);
}

void dive_detector::tdr_run(const tdr_run_info& run) {
    tdr_run_end();
    in_run_ = (run.mask & channel_depth) != 0;
    has_temperature_ = (run.mask & channel_temperature) != 0;
    // The decoder gives the unit: a decimetre, or a millimetre (100 to the
    // decimetre).
    unit_ = run.depth_unit;
    const int64_t per_dm = std::llround(0.1 / unit_);
    zero_ = zero_dm_ * per_dm;
    surface_limit_ = (threshold_dm_ + zero_dm_) * per_dm;
    run_ = run.run;
    dt_ = run.interval * 0.01;
    position_ = 0;
}

// The one call per row: a comparison outside dives, a few stores inside
// them; the lists keep their memory from dive to dive.
void dive_detector::tdr_sample(const tdr_row& row) {
    if (!in_run_) return;
    const uint64_t index = position_++;
    if (row.raw_depth <= surface_limit_) {
        if (diving_) close_dive(false);
        return;
    }
    if (!diving_) begin_dive(index, row);
    detail::open_dive& d = dive_;
    if (has_temperature_) d.temp_sum += row.temperature;
    if (row.raw_depth > d.max_depth) {
        d.max_depth = row.raw_depth;
        d.max_time = row.time;
    }
    d.end_time = row.time;
    d.recent.push_back(row.raw_depth);
    if (d.recent.size() == fold_rows_) fold();
}

void dive_detector::tdr_run_end() {
    if (!in_run_) return;
    if (diving_) close_dive(true);
    if (pending_) emit_pending(not_available);
    in_run_ = false;
}

void dive_detector::begin_dive(uint64_t index, const tdr_row& row) {
    // The surface interval of the dive before ends here.
    if (pending_) emit_pending(static_cast<double>(index - pending_last_ - 1) * dt_);
    detail::open_dive& d = dive_;
    diving_ = true;
    d.first = index;
    d.start_time = row.time;
    d.first_depth = row.raw_depth;
    d.max_depth = -1;  // below every raw depth
    d.temp_sum = 0.0;
    d.folded = index;
    d.rises.clear();
    d.falls.clear();
}

void dive_detector::fold() {
    detail::open_dive& d = dive_;
    uint64_t index = d.folded;
    uint64_t sum = d.sum;
    for (const uint16_t depth : d.recent) {
        sum += static_cast<uint64_t>(depth - zero_);
        const detail::depth_mark mark{index++, sum, depth};
        if (d.rises.empty() || depth > d.rises.back().depth) d.rises.push_back(mark);
        while (!d.falls.empty() && d.falls.back().depth <= depth) d.falls.pop_back();
        d.falls.push_back(mark);
    }
    d.folded = index;
    d.sum = sum;
    d.recent.clear();
}

void dive_detector::close_dive(bool run_ended) {
    detail::open_dive& d = dive_;
    diving_ = false;
    const int64_t m = d.max_depth - zero_;
    // The bottom holds the rows with 100 d >= 85 m: raw depths from this on.
    const int64_t bottom_min = zero_ + (bottom_percent * m + 99) / 100;
    detail::depth_mark k1{};
    detail::depth_mark k2{};
    uint64_t bottom_sum = 0;  // of d over k1..k2
    uint64_t last = 0;        // j
    uint16_t last_depth = 0;
    if (d.rises.empty()) {
        // A dive shorter than a batch: its depths are all at hand.
        const std::vector<uint16_t>& v = d.recent;
        std::size_t a = 0;
        while (v[a] < bottom_min) ++a;
        std::size_t b = v.size() - 1;
        while (v[b] < bottom_min) --b;
        uint64_t raw_sum = 0;
        for (std::size_t k = a; k <= b; ++k) raw_sum += v[k];
        bottom_sum = raw_sum - static_cast<uint64_t>(zero_) * (b - a + 1);
        k1 = {d.folded + a, 0, v[a]};
        k2 = {d.folded + b, 0, v[b]};
        last = d.folded + v.size() - 1;
        last_depth = v.back();
    } else {
        // rises grow deeper and falls shallower; the last of rises is the
        // first row at m and the first of falls the last row at m, both in
        // the bottom, and the last row of the dive always ends falls.
        fold();
        const auto shallower = [bottom_min](const detail::depth_mark& k) { return k.depth < bottom_min; };
        const auto in_bottom = [bottom_min](const detail::depth_mark& k) { return k.depth >= bottom_min; };
        k1 = *std::partition_point(d.rises.begin(), d.rises.end(), shallower);
        k2 = *(std::partition_point(d.falls.begin(), d.falls.end(), in_bottom) - 1);
        bottom_sum = k2.sum - k1.sum + static_cast<uint64_t>(k1.depth - zero_);
        last = d.folded - 1;
        last_depth = d.falls.back().depth;
    }
    d.recent.clear();

    dive_record& r = pending_record_;
    r.number = ++count_;
    r.run = run_;
    r.start_time = d.start_time;
    r.end_time = d.end_time;
    r.max_depth_time = d.max_time;
    r.max_depth_counts = m;
    r.depth_unit = unit_;
    r.samples = last - d.first + 1;
    r.duration = static_cast<double>(r.samples) * dt_;

    const uint64_t bottom_rows = k2.index - k1.index + 1;
    r.bottom_time = static_cast<double>(bottom_rows) * dt_;
    r.bottom_depth_mean =
        static_cast<double>(static_cast<int64_t>(bottom_sum)) * unit_ / static_cast<double>(bottom_rows);

    r.descent_time = static_cast<double>(k1.index - d.first) * dt_;
    r.descent_rate =
        r.descent_time == 0.0 ? not_available : static_cast<double>(k1.depth - d.first_depth) * unit_ / r.descent_time;
    r.ascent_time = static_cast<double>(last - k2.index) * dt_;
    r.ascent_rate =
        r.ascent_time == 0.0 ? not_available : static_cast<double>(k2.depth - last_depth) * unit_ / r.ascent_time;
    r.temp_mean = has_temperature_ ? d.temp_sum / static_cast<double>(r.samples) : not_available;
    r.postdive = not_available;
    r.complete = d.first != 0 && !run_ended;

    pending_ = true;
    pending_last_ = last;
}

void dive_detector::emit_pending(double postdive) {
    pending_ = false;
    pending_record_.postdive = postdive;
    sink_.dive(pending_record_);
}

}  // namespace vandrel
