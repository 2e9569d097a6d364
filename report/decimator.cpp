#include "report/decimator.h"

#include <algorithm>
#include <cmath>

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
    : max_buckets_(std::max<std::size_t>(max_buckets, 2)), width_(finest_width) {}

void min_max_decimator::add(const series_point& p) {
    if (!finite(p)) return;
    ++count_;
    const double key = std::floor(p.x / width_);
    // Streams arrive in time order almost always: the last bucket or a new
    // one after it; anything else is found by binary search.
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
}

void min_max_decimator::merge() {
    while (buckets_.size() > max_buckets_) {
        width_ *= 2;
        std::size_t out = 0;
        for (std::size_t i = 0; i < buckets_.size(); ++i) {
            bucket b = buckets_[i];
            b.key = std::floor(b.key / 2);
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

void min_max_decimator::halve_budget() {
    max_buckets_ = std::max<std::size_t>(max_buckets_ / 2, 2);
    merge();
}

std::vector<series_point> min_max_decimator::points() const {
    std::vector<series_point> out;
    out.reserve(buckets_.size() * 2);
    for (const bucket& b : buckets_) {
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
    : max_points_(std::max<std::size_t>(max_points, 1)), wx_(finest_width), wy_(finest_width) {}

void scatter_thinner::add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    ++count_;
    const cell_key key{std::floor(x / wx_), std::floor(y / wy_)};
    if (have_last_ && key == last_) {
        dropped_ = true;
        return;
    }
    last_ = key;
    have_last_ = true;
    if (!cells_.emplace(key, series_point{x, y, 0, 0}).second) {
        dropped_ = true;
        return;
    }
    if (cells_.size() > max_points_) coarsen();
}

void scatter_thinner::coarsen() {
    dropped_ = true;
    have_last_ = false;
    while (cells_.size() > max_points_) {
        // Double the cells along the axis that spans more of them.
        double x_lo = cells_.begin()->first.first, x_hi = cells_.rbegin()->first.first;
        double y_lo = x_lo, y_hi = x_lo;
        bool first = true;
        for (const auto& c : cells_) {
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
        std::map<cell_key, series_point> merged;
        for (const auto& c : cells_) {
            const cell_key k = along_x ? cell_key{std::floor(c.first.first / 2), c.first.second}
                                       : cell_key{c.first.first, std::floor(c.first.second / 2)};
            merged.emplace(k, c.second);
        }
        cells_.swap(merged);
    }
}

std::vector<series_point> scatter_thinner::points() const {
    std::vector<series_point> out;
    out.reserve(cells_.size());
    for (const auto& c : cells_) out.push_back(c.second);
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
