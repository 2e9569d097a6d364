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

// Keeps, per bucket of x, the points of least and greatest y (the first of
// least y, the last of greatest, so a bucket of two samples keeps both), so
// every extreme stays visible at any zoom of the overview: a line through
// the kept points covers the same vertical extent per bucket as the full
// series.
//
// The points form lines: a point joins the one before it only when both
// belong to the same line (begin_line) and it lies at most the line's step
// further in x. Everywhere else the line breaks (between two runs of a
// logger, over a missing sample), and the breaks survive decimation: a
// bucket keeps apart its stretch of line before its first break, the one
// after its last break and, merged into one, all that lies between, so a
// gap shows at every zoom.
class min_max_decimator {
public:
    // At most max_buckets buckets (at least 2) are kept; the points out are
    // at most twice that while the lines do not break, and ten times that
    // (marks included) were they to break in every bucket.
    explicit min_max_decimator(std::size_t max_buckets = 1000);

    // The points added from now on form a new line, in which a point joins
    // the one before it when it lies at most max_step further in x. Until
    // the first call all points form one line of unbounded step.
    void begin_line(double max_step);

    // Points with a non-finite x or y are ignored, so they break a line of
    // bounded step. Points arrive in order of x but for a few: one before
    // the greatest x so far joins the stretch of line (or of gap) it falls
    // into and moves no break; before any begin_line it joins whatever lies
    // beside it.
    void add(const series_point& p) {
        // Most points continue the line in the last bucket: they only widen
        // its stretch.
        if (!stretches_.empty() && p.x >= max_x_ && p.x >= last_low_ && p.x < last_high_ &&
            (line_ == 0 || (line_ == max_line_ && p.x - max_x_ <= step_)) && p.y - p.y == 0) {
            ++count_;
            max_x_ = p.x;
            max_line_ = line_;
            stretch& s = stretches_.back();
            if (p.y < s.low.y) s.low = p;
            if (p.y >= s.high.y) s.high = p;
            s.last_x = p.x;  // first_x <= max_x_ <= p.x
            ++s.n;
            return;
        }
        add_any(p);
    }
    void add(double x, double y) { add(series_point{x, y, 0, 0}); }

    // The kept points in order of x: per bucket and stretch of line its
    // least and greatest y in the order they lie in x (one point when it
    // holds one sample). Where the line breaks lies a mark, a point of
    // NaN y, u and v, so a sample alone between two breaks lies between two
    // marks. A stretch merged from several is drawn as two lone points.
    std::vector<series_point> points() const;

    uint64_t count() const { return count_; }  // points accepted
    std::size_t buckets() const { return buckets_; }
    bool decimated() const;  // some accepted point is not among points()

private:
    // Part of a line within one bucket. Only the first stretch of a bucket
    // may join the last one of the bucket before, and only its last one the
    // first of the next.
    struct stretch {
        double key;  // floor(x / width) of its bucket
        series_point low;
        series_point high;
        double first_x, last_x;
        uint64_t n;
        bool open_start;  // joins the stretch before it
        bool open_end;    // joins the stretch after it
        bool one_line;    // false once several stretches were merged into it
    };
    void add_any(const series_point& p);
    void add_in_order(const series_point& p, double key);
    void add_out_of_order(const series_point& p, double key);
    void squeeze(std::size_t bucket_start);
    void merge();

    std::size_t max_buckets_;
    double width_;
    double inverse_width_;                 // exact: the width is a power of two
    double last_low_ = 0, last_high_ = 0;  // x range of the last bucket
    std::vector<stretch> stretches_;       // ascending key, then x
    std::size_t buckets_ = 0;              // distinct keys among stretches_
    uint64_t count_ = 0;
    uint64_t line_ = 0;      // the line points join now
    double step_;            // its step
    double max_x_ = 0;       // greatest x so far
    uint64_t max_line_ = 0;  // the line of the point there
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
    std::size_t kept() const { return cells_; }  // points()'s size
    // True once the grid has been coarsened; points repeated within a cell
    // of the finest grid (a thousandth of a unit) are not counted as such.
    bool decimated() const { return dropped_; }

private:
    // The cells of the grid: keys floor(x / wx), floor(y / wy), whole
    // numbers held in doubles, in an open-addressed table at most half full
    // (a slot of NaN key is free), the cells' points beside it: only the
    // keys are read to find a cell.
    struct cell_key {
        double kx, ky;
    };
    struct grid {
        std::vector<cell_key> keys;
        std::vector<series_point> points;
        explicit grid(std::size_t slots);
        // The slot of key (kx, ky): its own or the free one where it belongs.
        std::size_t slot(double kx, double ky) const;
        bool used(std::size_t i) const { return keys[i].kx == keys[i].kx; }
    };
    // Which cells of a box of the grid are in use, a bit each: most points
    // fall in a cell met before, and a bit in the processor's cache answers
    // for them without the table. The box holds the cells in use, with a
    // margin, when that is small enough; a cell outside it is looked up in
    // the table.
    struct occupancy {
        static constexpr std::size_t none = ~std::size_t{0};
        double x0 = 0, y0 = 0;
        std::size_t width = 0, height = 0;
        std::vector<uint64_t> bits;
        // The bit of cell (kx, ky), or none outside the box.
        std::size_t bit(double kx, double ky) const {
            const double dx = kx - x0;
            const double dy = ky - y0;
            if (!(dx >= 0 && dy >= 0 && dx < static_cast<double>(width) && dy < static_cast<double>(height)))
                return none;
            return static_cast<std::size_t>(dx) * height + static_cast<std::size_t>(dy);
        }
        bool test(std::size_t b) const { return (bits[b / 64] >> (b % 64) & 1) != 0; }
        void set(std::size_t b) { bits[b / 64] |= uint64_t{1} << (b % 64); }
    };
    void coarsen();
    // The box of the cells in use, found again.
    void find_box();
    // The box of the cells in use grew to hold (kx, ky).
    void widen_box(double kx, double ky);
    // The bits made again for the box of the cells in use.
    void cover_box();

    std::size_t max_points_;
    double wx_, wy_;
    double inverse_wx_, inverse_wy_;  // exact: the widths are powers of two
    double last_x_ = 0, last_y_ = 0;  // the cell of the last point, met again by most points
    bool have_last_ = false;
    grid grid_;                                                         // a power of two of slots; sorted on output
    double box_x_lo_ = 0, box_x_hi_ = 0, box_y_lo_ = 0, box_y_hi_ = 0;  // of the cells in use
    occupancy occupied_;                                                // empty while the box is too large
    std::size_t cells_ = 0;                                             // slots in use
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
        std::size_t kept = 1;  // item 0 stays: moved onto itself, a container would be emptied
        for (std::size_t i = 2; i < items_.size(); i += 2) items_[kept++] = std::move(items_[i]);
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
