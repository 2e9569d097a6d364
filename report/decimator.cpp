#include "report/decimator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vandrel {

namespace {
// The finest bucket: about a millisecond of time, a millimetre of depth. The
// width only grows from here, by doubling, so edges stay on exact binary
// fractions.
constexpr double finest_width = 1.0 / 1024;

bool finite(const series_point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// floor(v), but for the sign of a zero, without the library call of
// processors that have no rounding instruction. Beyond 2^52 every double is
// a whole number already.
double floor_of(double v) {
    if (!(std::fabs(v) < 4503599627370496.0)) return std::floor(v);
    const auto t = static_cast<double>(static_cast<int64_t>(v));
    return t > v ? t - 1 : t;
}

// The cell of v along an axis of width 1 / inverse. + 0.0 makes a key of
// -0.0 the same as 0.0. The widths are powers of two: multiplying by the
// inverse is exact, the same as dividing (an inverse of 0, of a width grown
// past the largest double, gives 0 as x / inf).
double cell_of(double v, double inverse) { return floor_of(v * inverse) + 0.0; }
}  // namespace

// ---- min_max_decimator ------------------------------------------------------

min_max_decimator::min_max_decimator(std::size_t max_buckets)
    : max_buckets_(std::max<std::size_t>(max_buckets, 2)),
      width_(finest_width),
      inverse_width_(1 / finest_width),
      step_(std::numeric_limits<double>::infinity()) {}

void min_max_decimator::begin_line(double max_step) {
    ++line_;
    step_ = max_step;
}

namespace {
template <typename Stretch>
void extend(Stretch& s, const series_point& p) {
    if (p.y < s.low.y) s.low = p;
    if (p.y >= s.high.y) s.high = p;
    s.first_x = std::min(s.first_x, p.x);
    s.last_x = std::max(s.last_x, p.x);
    ++s.n;
}

// The samples of s added to into (s lying after it), the ends' joins left.
template <typename Stretch>
void combine(Stretch& into, const Stretch& s) {
    if (s.low.y < into.low.y) into.low = s.low;
    if (s.high.y >= into.high.y) into.high = s.high;
    into.first_x = std::min(into.first_x, s.first_x);
    into.last_x = std::max(into.last_x, s.last_x);
    into.n += s.n;
}

// Two stretches as one that is no single line: the samples between them
// are unknown.
template <typename Stretch>
void absorb(Stretch& into, const Stretch& s) {
    combine(into, s);
    into.one_line = false;
}

bool same_sample(const series_point& a, const series_point& b) { return a.x == b.x && a.y == b.y; }
}  // namespace

void min_max_decimator::add_any(const series_point& p) {
    if (!finite(p)) return;
    ++count_;
    const std::size_t before = stretches_.size();
    if (stretches_.empty() || p.x >= max_x_) {
        // Streams arrive in time order almost always: most points fall in
        // the last bucket, then come new ones after it.
        const bool in_last = p.x >= last_low_ && p.x < last_high_ && !stretches_.empty();
        add_in_order(p, in_last ? stretches_.back().key : std::floor(p.x * inverse_width_));
    } else {
        add_out_of_order(p, std::floor(p.x * inverse_width_));
    }
    if (stretches_.size() == before) return;
    if (buckets_ > max_buckets_) merge();
    last_low_ = stretches_.back().key * width_;
    last_high_ = last_low_ + width_;
}

void min_max_decimator::add_in_order(const series_point& p, double key) {
    const bool joins = line_ == 0 || (!stretches_.empty() && line_ == max_line_ && p.x - max_x_ <= step_);
    max_x_ = p.x;
    max_line_ = line_;
    if (joins && !stretches_.empty() && stretches_.back().key == key) {  // most points
        extend(stretches_.back(), p);
        return;
    }
    const stretch alone{key, p, p, p.x, p.x, 1, joins, true, true};
    if (stretches_.empty() || stretches_.back().key != key) {
        stretches_.push_back(alone);
        ++buckets_;
        return;
    }
    stretches_.back().open_end = false;
    stretches_.push_back(alone);
    stretches_.back().open_start = false;
    std::size_t start = stretches_.size() - 1;
    while (start > 0 && stretches_[start - 1].key == key) --start;
    squeeze(start);
}

// A point before the greatest x: its neighbours are not known, so it goes
// into the stretch it lies in or next to, or stands alone in its bucket or
// between the bucket's first and last stretch. Before any begin_line all
// points are one line, and it joins whatever lies beside it.
void min_max_decimator::add_out_of_order(const series_point& p, double key) {
    const auto by_key = [](const stretch& s, double k) { return s.key < k; };
    const auto lo = static_cast<std::size_t>(std::lower_bound(stretches_.begin(), stretches_.end(), key, by_key) -
                                             stretches_.begin());
    std::size_t hi = lo;
    while (hi < stretches_.size() && stretches_[hi].key == key) ++hi;
    const bool one_line = line_ == 0;
    const stretch alone{key, p, p, p.x, p.x, 1, one_line, one_line, true};
    if (lo == hi) {
        stretches_.insert(stretches_.begin() + static_cast<std::ptrdiff_t>(lo), alone);
        ++buckets_;
    } else if (p.x <= stretches_[lo].last_x) {
        extend(stretches_[lo], p);
    } else if (p.x >= stretches_[hi - 1].first_x) {
        extend(stretches_[hi - 1], p);
    } else if (hi - lo == 2) {
        stretches_.insert(stretches_.begin() + static_cast<std::ptrdiff_t>(lo + 1), alone);
    } else {
        stretch& middle = stretches_[lo + 1];
        if (p.x >= middle.first_x && p.x <= middle.last_x) {
            extend(middle, p);
        } else {
            absorb(middle, alone);
        }
    }
}

// Keeps a bucket (from bucket_start to the end) at three stretches: all
// between its first and its last become one.
void min_max_decimator::squeeze(std::size_t bucket_start) {
    while (stretches_.size() - bucket_start > 3) {
        absorb(stretches_[bucket_start + 1], stretches_[bucket_start + 2]);
        stretches_.erase(stretches_.begin() + static_cast<std::ptrdiff_t>(bucket_start + 2));
    }
}

// Merges until at most three quarters of the budget is used, so that sparse
// data, where a doubling joins few buckets, do not merge again at every point.
void min_max_decimator::merge() {
    // Keys of -1 and 0 never merge: two buckets are always allowed.
    const std::size_t target = std::max<std::size_t>(max_buckets_ / 4 * 3, 2);
    while (buckets_ > target) {
        width_ *= 2;
        inverse_width_ /= 2;
        std::size_t out = 0, start = 0;
        buckets_ = 0;
        for (std::size_t i = 0; i < stretches_.size(); ++i) {
            stretch s = stretches_[i];
            // From a point of the stretch rather than its old key: a key
            // that overflowed to infinity at a fine width comes back.
            s.key = std::floor(s.first_x * inverse_width_);
            if (out == 0 || stretches_[out - 1].key != s.key) {
                start = out;
                stretches_[out++] = s;
                ++buckets_;
                continue;
            }
            stretch& before = stretches_[out - 1];
            if (before.open_end && s.open_start) {  // the line goes on from one old bucket into the next
                combine(before, s);
                before.open_end = s.open_end;
                continue;
            }
            before.open_end = false;
            s.open_start = false;
            stretches_[out++] = s;
            if (out - start > 3) {
                absorb(stretches_[start + 1], stretches_[start + 2]);
                stretches_[start + 2] = stretches_[start + 3];
                --out;
            }
        }
        stretches_.resize(out);
    }
}

std::vector<series_point> min_max_decimator::points() const {
    std::vector<series_point> out;
    out.reserve(stretches_.size() * 3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto mark = [&](double next_x) { out.push_back({(out.back().x + next_x) / 2, nan, nan, nan}); };
    for (std::size_t i = 0; i < stretches_.size(); ++i) {
        const stretch& s = stretches_[i];
        const bool low_first = s.low.x <= s.high.x;
        const series_point& a = low_first ? s.low : s.high;
        const series_point& b = low_first ? s.high : s.low;
        if (i > 0 && !(stretches_[i - 1].open_end && s.open_start)) mark(a.x);
        out.push_back(a);
        if (same_sample(a, b)) continue;
        if (!s.one_line) mark(b.x);
        out.push_back(b);
    }
    return out;
}

bool min_max_decimator::decimated() const {
    uint64_t kept = 0;
    for (const stretch& s : stretches_) kept += same_sample(s.low, s.high) ? 1 : 2;
    return count_ > kept;
}

// ---- scatter_thinner --------------------------------------------------------

namespace {
constexpr double free_slot = std::numeric_limits<double>::quiet_NaN();

// A bijection of 64 bits in which every bit of the input moves about half
// of the output's.
uint64_t mix_bits(uint64_t h) {
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBu;
    return h ^ (h >> 31);
}

std::size_t slots_for(std::size_t max_points) {
    std::size_t n = 16;
    while (n < 2 * (max_points + 1)) n *= 2;
    return n;
}
}  // namespace

scatter_thinner::grid::grid(std::size_t slots) : keys(slots, cell_key{free_slot, free_slot}), points(slots) {}

// Keys are whole numbers held in doubles (-0.0 never occurs, see add()), so
// their bit patterns are equal exactly when the keys are.
std::size_t scatter_thinner::grid::slot(double kx, double ky) const {
    uint64_t a = 0, b = 0;
    std::memcpy(&a, &kx, sizeof a);
    std::memcpy(&b, &ky, sizeof b);
    // A whole number's bits vary at the top (exponent, leading mantissa):
    // each key is mixed through all 64 bits before the next joins it.
    const uint64_t h = mix_bits(mix_bits(a) ^ b);
    const std::size_t mask = keys.size() - 1;
    for (auto i = static_cast<std::size_t>(h) & mask;; i = (i + 1) & mask) {
        if ((keys[i].kx == kx && keys[i].ky == ky) || !used(i)) return i;
    }
}

scatter_thinner::scatter_thinner(std::size_t max_points)
    : max_points_(std::max<std::size_t>(max_points, 4)),
      wx_(finest_width),
      wy_(finest_width),
      inverse_wx_(1 / finest_width),
      inverse_wy_(1 / finest_width),
      grid_(slots_for(max_points_)) {}

void scatter_thinner::add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    ++count_;
    const double kx = cell_of(x, inverse_wx_);
    const double ky = cell_of(y, inverse_wy_);
    if (have_last_ && kx == last_x_ && ky == last_y_) return;
    last_x_ = kx;
    last_y_ = ky;
    have_last_ = true;
    const std::size_t bit = occupied_.bit(kx, ky);
    if (bit != occupancy::none && occupied_.test(bit)) return;  // the cell keeps its first point
    const std::size_t i = grid_.slot(kx, ky);
    if (grid_.used(i)) return;
    grid_.keys[i] = cell_key{kx, ky};
    grid_.points[i] = series_point{x, y, 0, 0};
    if (++cells_ > max_points_) {
        coarsen();
    } else if (bit != occupancy::none) {
        occupied_.set(bit);
    } else {
        widen_box(kx, ky);
    }
}

namespace {
// The box's bits are made only while it holds at most this many cells
// (512 KiB of bits: a sparse curve of a few thousand cells may span a
// box of millions).
constexpr double max_box_cells = 1 << 22;
}  // namespace

void scatter_thinner::widen_box(double kx, double ky) {
    if (cells_ == 1) {
        box_x_lo_ = box_x_hi_ = kx;
        box_y_lo_ = box_y_hi_ = ky;
    } else {
        box_x_lo_ = std::min(box_x_lo_, kx);
        box_x_hi_ = std::max(box_x_hi_, kx);
        box_y_lo_ = std::min(box_y_lo_, ky);
        box_y_hi_ = std::max(box_y_hi_, ky);
    }
    cover_box();
}

void scatter_thinner::cover_box() {
    occupied_ = occupancy{};
    if (cells_ == 0) return;
    // A margin of a quarter of the box on every side: cells added near its
    // edge seldom make the bits again.
    const double mx = std::floor((box_x_hi_ - box_x_lo_) / 4) + 1;
    const double my = std::floor((box_y_hi_ - box_y_lo_) / 4) + 1;
    const double width = box_x_hi_ - box_x_lo_ + 1 + 2 * mx;
    const double height = box_y_hi_ - box_y_lo_ + 1 + 2 * my;
    if (!(width * height <= max_box_cells)) return;
    occupied_.x0 = box_x_lo_ - mx;
    occupied_.y0 = box_y_lo_ - my;
    occupied_.width = static_cast<std::size_t>(width);
    occupied_.height = static_cast<std::size_t>(height);
    occupied_.bits.assign((occupied_.width * occupied_.height + 63) / 64, 0);
    for (std::size_t i = 0; i < grid_.keys.size(); ++i)
        if (grid_.used(i)) occupied_.set(occupied_.bit(grid_.keys[i].kx, grid_.keys[i].ky));
}

void scatter_thinner::coarsen() {
    dropped_ = true;
    have_last_ = false;
    // Down to three quarters of the budget, so a thin curve of points, where
    // a doubling joins few cells, does not coarsen again at every point.
    // Keys of -1 and 0 never merge: four cells are always allowed.
    const std::size_t target = std::max<std::size_t>(max_points_ / 4 * 3, 4);
    grid merged(grid_.keys.size());
    while (cells_ > target) {
        // Double the cells along the axis that spans more of them.
        find_box();
        const bool along_x = box_x_hi_ - box_x_lo_ >= box_y_hi_ - box_y_lo_;
        if (along_x) {
            wx_ *= 2;
            inverse_wx_ = 1 / wx_;
        } else {
            wy_ *= 2;
            inverse_wy_ = 1 / wy_;
        }
        std::fill(merged.keys.begin(), merged.keys.end(), cell_key{free_slot, free_slot});
        cells_ = 0;
        for (std::size_t i = 0; i < grid_.keys.size(); ++i) {
            if (!grid_.used(i)) continue;
            const series_point& p = grid_.points[i];
            // From the cell's point rather than its old key, as in merge().
            const double kx = along_x ? cell_of(p.x, inverse_wx_) : grid_.keys[i].kx;
            const double ky = along_x ? grid_.keys[i].ky : cell_of(p.y, inverse_wy_);
            const std::size_t at = merged.slot(kx, ky);
            // A merged cell keeps the point of least x (then y) of the cells
            // it joins, whatever order the table holds them in.
            series_point& kept = merged.points[at];
            if (!merged.used(at)) {
                merged.keys[at] = cell_key{kx, ky};
                kept = p;
                ++cells_;
            } else if (p.x < kept.x || (p.x == kept.x && p.y < kept.y)) {
                kept = p;
            }
        }
        std::swap(grid_, merged);
    }
    find_box();
    cover_box();
}

void scatter_thinner::find_box() {
    bool first = true;
    for (std::size_t i = 0; i < grid_.keys.size(); ++i) {
        if (!grid_.used(i)) continue;
        const cell_key& k = grid_.keys[i];
        if (first || k.kx < box_x_lo_) box_x_lo_ = k.kx;
        if (first || k.kx > box_x_hi_) box_x_hi_ = k.kx;
        if (first || k.ky < box_y_lo_) box_y_lo_ = k.ky;
        if (first || k.ky > box_y_hi_) box_y_hi_ = k.ky;
        first = false;
    }
}

std::vector<series_point> scatter_thinner::points() const {
    std::vector<std::size_t> used;
    used.reserve(cells_);
    for (std::size_t i = 0; i < grid_.keys.size(); ++i)
        if (grid_.used(i)) used.push_back(i);
    std::sort(used.begin(), used.end(), [this](std::size_t a, std::size_t b) {
        const cell_key& ka = grid_.keys[a];
        const cell_key& kb = grid_.keys[b];
        return ka.kx < kb.kx || (ka.kx == kb.kx && ka.ky < kb.ky);
    });
    std::vector<series_point> out;
    out.reserve(used.size());
    for (const std::size_t i : used) out.push_back(grid_.points[i]);
    return out;
}

// ---- doubling_histogram -----------------------------------------------------

doubling_histogram::doubling_histogram(std::size_t bins, double initial_width)
    : bins_(std::max<std::size_t>(bins, 2)), width_(initial_width > 0 ? initial_width : 1) {}

void doubling_histogram::add(double value) {
    if (!std::isfinite(value)) return;
    ++total_;
    if (value < 0) value = 0;
    while (value / width_ >= static_cast<double>(bins_)) {
        width_ *= 2;
        for (std::size_t i = 0; i < counts_.size(); ++i) {
            if (i % 2 == 0) {
                counts_[i / 2] = counts_[i];
            } else {
                counts_[i / 2] += counts_[i];
            }
        }
        counts_.resize((counts_.size() + 1) / 2);
    }
    const auto bin = static_cast<std::size_t>(value / width_);
    if (counts_.size() <= bin) counts_.resize(bin + 1, 0);
    ++counts_[bin];
}

}  // namespace vandrel
