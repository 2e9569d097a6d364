// Bounded pictures of unbounded record streams, for the report's plots.
//
// The records of a stream arrive one by one and the span they will cover is
// known only at the end, so each summary here keeps a fixed number of cells
// whose width doubles when the data outgrow them: two neighbouring cells
// merge into one, keeping what the plot must still show. Memory and page size
// then stay the same whether the input holds a thousand records or a billion.
//
// Cell edges lie on multiples of a power of two, so the cells a value falls
// into do not depend on the order of arrival or on the platform: the same
// records give the same picture, byte for byte, everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vandrel {

// One sample of a series, with two values carried along unchanged (a
// profile's temperature and salinity beside its pressure).
struct series_point {
    double x = 0;
    double y = 0;
    double u = 0;
    double v = 0;
};

// Keeps, per bucket of x, the points of least and greatest y, so every
// extreme stays visible at any zoom of the overview: a line through the
// kept points covers the same vertical extent per bucket as the full series.
class min_max_decimator {
public:
    // At most max_buckets buckets (at least 2) are kept; the points out are
    // at most twice that.
    explicit min_max_decimator(std::size_t max_buckets = 1000);

    // Points with a non-finite x or y are ignored. Points may arrive in any
    // order of x.
    void add(const series_point& p);
    void add(double x, double y) { add(series_point{x, y, 0, 0}); }

    // The kept points in order of x: per bucket its least and greatest y in
    // the order they lie in x (one point when they are the same sample).
    // With break_at_gaps, once the series is decimated, a point of NaN y lies
    // where the data pause (empty buckets, many more than between the
    // neighbouring buckets), so that a line through the points breaks there
    // (between accelerometer bursts, over a haul-out).
    std::vector<series_point> points(bool break_at_gaps = false) const;

    uint64_t count() const { return count_; }    // points accepted
    bool decimated() const { return dropped_; }  // some accepted point is not among points()
    std::size_t max_buckets() const { return max_buckets_; }

private:
    struct bucket {
        double key;  // floor(x / width)
        series_point low;
        series_point high;
        uint64_t n;
    };
    void merge();
    bool is_pause(std::size_t i) const;

    std::size_t max_buckets_;
    double width_;
    double inverse_width_;                 // exact: the width is a power of two
    double last_low_ = 0, last_high_ = 0;  // x range of buckets_.back()
    std::vector<bucket> buckets_;          // ascending key
    uint64_t count_ = 0;
    bool dropped_ = false;
};

// Thins a scatter of points to one per occupied cell of a grid, so a cloud
// of millions of samples keeps its shape in a bounded number of points. The
// grid coarsens along the axis with more cells whenever the cells in use
// exceed the budget.
class scatter_thinner {
public:
    explicit scatter_thinner(std::size_t max_points = 8000);

    void add(double x, double y);  // non-finite points are ignored

    // The kept points (the first of each cell), in cell order: by x cell,
    // then y cell.
    std::vector<series_point> points() const;
    uint64_t count() const { return count_; }
    // True once the grid has been coarsened; points repeated within a cell
    // of the finest grid (a thousandth of a unit) are not counted as such.
    bool decimated() const { return dropped_; }

private:
    using cell_key = std::pair<double, double>;  // floor(x / wx), floor(y / wy)
    struct key_hash {
        std::size_t operator()(const cell_key& k) const noexcept;
    };
    void coarsen();

    std::size_t max_points_;
    double wx_, wy_;
    cell_key last_{0, 0};  // the cell of the last point, met again by most points
    bool have_last_ = false;
    std::unordered_map<cell_key, series_point, key_hash> cells_;  // sorted on output
    uint64_t count_ = 0;
    bool dropped_ = false;
};

// Counts of non-negative values in bins of equal width from 0; the width
// doubles (neighbouring bins summed) when a value lies beyond the last bin.
class doubling_histogram {
public:
    doubling_histogram(std::size_t bins, double initial_width);

    void add(double value);  // negative values count in the first bin; NaN is ignored

    double width() const { return width_; }
    const std::vector<uint64_t>& counts() const { return counts_; }  // trailing empty bins trimmed
    uint64_t total() const { return total_; }

private:
    std::vector<uint64_t> counts_;
    std::size_t bins_;
    double width_;
    uint64_t total_ = 0;
};

// Keeps every stride-th item of a stream, the stride doubling whenever more
// than max_items are kept, so the items kept spread over the whole stream.
template <typename T>
class stride_sample {
public:
    explicit stride_sample(std::size_t max_items) : max_items_(max_items < 2 ? 2 : max_items) {}

    // True when item is kept: it is then back() until the next add().
    bool add(const T& item) {
        const uint64_t index = seen_++;
        if (index % stride_ != 0) return false;
        items_.push_back(item);
        if (items_.size() <= max_items_) return true;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < items_.size(); i += 2) items_[kept++] = std::move(items_[i]);
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(kept), items_.end());
        stride_ *= 2;
        return index % stride_ == 0;
    }

    const std::vector<T>& items() const { return items_; }
    T& back() { return items_.back(); }
    uint64_t seen() const { return seen_; }
    uint64_t stride() const { return stride_; }

private:
    std::vector<T> items_;
    std::size_t max_items_;
    uint64_t stride_ = 1;
    uint64_t seen_ = 0;
};

}  // namespace vandrel
