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
}  // namespace

// ---- min_max_decimator ------------------------------------------------------

min_max_decimator::min_max_decimator(std::size_t max_buckets)
    : max_buckets_(std::max<std::size_t>(max_buckets, 2)), width_(finest_width), inverse_width_(1 / finest_width) {}

void min_max_decimator::add(const series_point& p) {
    if (!finite(p)) return;
    ++count_;
    // Streams arrive in time order almost always: most points fall in the
    // last bucket, then come new ones after it; anything else is found by
    // binary search.
    if (!buckets_.empty() && p.x >= last_low_ && p.x < last_high_) {
        bucket& b = buckets_.back();
        if (b.n >= 2) dropped_ = true;
        if (p.y < b.low.y) b.low = p;
        if (p.y > b.high.y) b.high = p;
        ++b.n;
        return;
    }
    const double key = std::floor(p.x * inverse_width_);
    auto it = buckets_.end();
    if (buckets_.empty() || buckets_.back().key < key) {
        it = buckets_.insert(buckets_.end(), bucket{key, p, p, 0});
    } else {
        it = std::lower_bound(buckets_.begin(), buckets_.end(), key,
                              [](const bucket& b, double k) { return b.key < k; });
        if (it == buckets_.end() || it->key != key) it = buckets_.insert(it, bucket{key, p, p, 0});
    }
    bucket& b = *it;
    if (b.n >= 2) dropped_ = true;
    if (p.y < b.low.y) b.low = p;
    if (p.y > b.high.y) b.high = p;
    ++b.n;
    if (buckets_.size() > max_buckets_) merge();
    last_low_ = buckets_.back().key * width_;
    last_high_ = last_low_ + width_;
}

// Merges until at most three quarters of the budget is used, so that sparse
// data, where a doubling joins few buckets, do not merge again at every point.
void min_max_decimator::merge() {
    // Keys of -1 and 0 never merge: two buckets are always allowed.
    const std::size_t target = std::max<std::size_t>(max_buckets_ / 4 * 3, 2);
    while (buckets_.size() > target) {
        width_ *= 2;
        inverse_width_ /= 2;
        std::size_t out = 0;
        for (std::size_t i = 0; i < buckets_.size(); ++i) {
            bucket b = buckets_[i];
            // From a point of the bucket rather than its old key: a key
            // that overflowed to infinity at a fine width comes back.
            b.key = std::floor(b.low.x * inverse_width_);
            if (out > 0 && buckets_[out - 1].key == b.key) {
                bucket& into = buckets_[out - 1];
                if (b.low.y < into.low.y) into.low = b.low;
                if (b.high.y > into.high.y) into.high = b.high;
                into.n += b.n;
                dropped_ = dropped_ || into.n > 2;
            } else {
                buckets_[out++] = b;
            }
        }
        buckets_.resize(out);
    }
}

// A pause before bucket i: empty buckets before it, and more than three times
// as many as between its neighbours, so that data sampled more sparsely than
// the buckets (temperature on land) still make one line.
bool min_max_decimator::is_pause(std::size_t i) const {
    const auto gap = [&](std::size_t k) { return buckets_[k].key - buckets_[k - 1].key; };
    const double here = gap(i);
    const double before = i > 1 ? gap(i - 1) : here;
    const double after = i + 1 < buckets_.size() ? gap(i + 1) : here;
    return here > 1 && here > 3 * std::min(before, after);
}

std::vector<series_point> min_max_decimator::points(bool break_at_gaps) const {
    std::vector<series_point> out;
    out.reserve(buckets_.size() * 3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t i = 0; i < buckets_.size(); ++i) {
        const bucket& b = buckets_[i];
        if (break_at_gaps && dropped_ && i > 0 && is_pause(i)) {
            out.push_back({(out.back().x + std::min(b.low.x, b.high.x)) / 2, nan, 0, 0});
        }
        const bool same = b.low.x == b.high.x && b.low.y == b.high.y;
        if (same) {
            out.push_back(b.low);
        } else if (b.low.x <= b.high.x) {
            out.push_back(b.low);
            out.push_back(b.high);
        } else {
            out.push_back(b.high);
            out.push_back(b.low);
        }
    }
    return out;
}

// ---- scatter_thinner --------------------------------------------------------

scatter_thinner::scatter_thinner(std::size_t max_points)
    : max_points_(std::max<std::size_t>(max_points, 4)), wx_(finest_width), wy_(finest_width) {}

void scatter_thinner::add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    ++count_;
    // + 0.0 makes a key of -0.0 the same as 0.0, for the hash as for ==.
    const cell_key key{std::floor(x / wx_) + 0.0, std::floor(y / wy_) + 0.0};
    if (have_last_ && key == last_) return;
    last_ = key;
    have_last_ = true;
    if (!cells_.emplace(key, series_point{x, y, 0, 0}).second) return;
    if (cells_.size() > max_points_) coarsen();
}

void scatter_thinner::coarsen() {
    dropped_ = true;
    have_last_ = false;
    // Down to three quarters of the budget, so a thin curve of points, where
    // a doubling joins few cells, does not coarsen again at every point.
    // Keys of -1 and 0 never merge: four cells are always allowed.
    const std::size_t target = std::max<std::size_t>(max_points_ / 4 * 3, 4);
    while (cells_.size() > target) {
        // Double the cells along the axis that spans more of them.
        double x_lo = 0, x_hi = 0, y_lo = 0, y_hi = 0;
        bool first = true;
        for (const auto& c : cells_) {
            if (first || c.first.first < x_lo) x_lo = c.first.first;
            if (first || c.first.first > x_hi) x_hi = c.first.first;
            if (first || c.first.second < y_lo) y_lo = c.first.second;
            if (first || c.first.second > y_hi) y_hi = c.first.second;
            first = false;
        }
        const bool along_x = x_hi - x_lo >= y_hi - y_lo;
        if (along_x) {
            wx_ *= 2;
        } else {
            wy_ *= 2;
        }
        std::unordered_map<cell_key, series_point, key_hash> merged;
        for (const auto& c : cells_) {
            // From the cell's point rather than its old key, as in merge().
            const cell_key k = along_x ? cell_key{std::floor(c.second.x / wx_) + 0.0, c.first.second}
                                       : cell_key{c.first.first, std::floor(c.second.y / wy_) + 0.0};
            // A merged cell keeps the point of least x (then y) of the cells
            // it joins, whatever order the hash table visits them in.
            const auto [at, inserted] = merged.emplace(k, c.second);
            const series_point& kept = at->second;
            if (!inserted && (c.second.x < kept.x || (c.second.x == kept.x && c.second.y < kept.y))) {
                at->second = c.second;
            }
        }
        cells_.swap(merged);
    }
}

std::vector<series_point> scatter_thinner::points() const {
    std::vector<std::pair<cell_key, series_point>> sorted(cells_.begin(), cells_.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<series_point> out;
    out.reserve(sorted.size());
    for (const auto& c : sorted) out.push_back(c.second);
    return out;
}

// Keys are whole numbers held in doubles (-0.0 never occurs, see add()), so
// their bit patterns are equal exactly when the keys are.
std::size_t scatter_thinner::key_hash::operator()(const cell_key& k) const noexcept {
    uint64_t a = 0, b = 0;
    std::memcpy(&a, &k.first, sizeof a);
    std::memcpy(&b, &k.second, sizeof b);
    uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15u)) * 0xBF58476D1CE4E5B9u;
    h ^= h >> 31;
    return static_cast<std::size_t>(h);
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
