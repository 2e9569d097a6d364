#include "report/decimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using vandrel::doubling_histogram;
using vandrel::min_max_decimator;
using vandrel::scatter_thinner;
using vandrel::series_point;
using vandrel::stride_sample;

using xy = std::pair<double, double>;

std::vector<xy> xys(const std::vector<series_point>& points) {
    std::vector<xy> out;
    for (const series_point& p : points) out.emplace_back(p.x, p.y);
    return out;
}

TEST(MinMaxDecimator, SmallInputsComeOutWholeAndInOrder) {
    const std::pair<std::vector<xy>, std::vector<xy>> rows[] = {
        {{}, {}},
        {{{1, 5}, {2, 6}, {3, 4}}, {{1, 5}, {2, 6}, {3, 4}}},
        {{{3, 4}, {1, 5}, {2, 6}}, {{1, 5}, {2, 6}, {3, 4}}},  // sorted
        {{{1, NAN}, {NAN, 2}, {2, 7}}, {{2, 7}}},              // not finite dropped
        {{{-2.5, 1}, {-1, 0}}, {{-2.5, 1}, {-1, 0}}}};         // negative times
    for (const auto& [in, out] : rows) {
        min_max_decimator d(100);
        for (const xy& p : in) d.add(p.first, p.second);
        EXPECT_EQ(xys(d.points()), out);
        EXPECT_FALSE(d.decimated());
    }
}

TEST(MinMaxDecimator, KeepsEveryExtremeInBoundedOrderedOutput) {
    // A day of one-second depth samples with one-sample spikes at odd times.
    min_max_decimator d(100);
    const std::vector<xy> spikes = {{12345, 950}, {40000, -3}, {86399, 700}};
    for (int t = 0; t < 86400; ++t) {
        double y = 50 + 40 * std::sin(t / 900.0);
        for (const xy& s : spikes) y = s.first == t ? s.second : y;
        d.add(1.7e9 + t, y);
    }
    const std::vector<xy> out = xys(d.points());
    EXPECT_EQ(d.count(), 86400u);
    EXPECT_TRUE(d.decimated());
    EXPECT_TRUE(out.size() >= 100 && out.size() <= 200) << out.size();
    EXPECT_EQ(std::adjacent_find(out.begin(), out.end(), [](xy a, xy b) { return a.first >= b.first; }), out.end());
    for (const xy& s : spikes)
        EXPECT_NE(std::find(out.begin(), out.end(), xy{1.7e9 + s.first, s.second}), out.end()) << s.first;
}

// The points out as text: "x:y" each, "|" for a break.
std::string drawn(const min_max_decimator& d) {
    std::string out;
    for (const series_point& p : d.points()) {
        if (!out.empty()) out += ' ';
        out +=
            std::isnan(p.y) ? "|" : std::to_string(static_cast<int>(p.x)) + ":" + std::to_string(static_cast<int>(p.y));
    }
    return out;
}

TEST(MinMaxDecimator, LinesBreakWhereSamplesAreMissingAtEveryZoom) {
    // Lines of step 1 over x = from..to (y = x % 5, NaN at x = hole), a
    // bucket budget, what is drawn.
    struct line {
        int from, to, hole;
    };
    const std::tuple<std::vector<line>, std::size_t, const char*> rows[] = {
        {{{0, 2, -1}, {5, 6, -1}}, 100, "0:0 1:1 2:2 | 5:0 6:1"},                     // a gap
        {{{0, 1, -1}, {2, 3, -1}}, 100, "0:0 1:1 | 2:2 3:3"},                         // a new line, one step on
        {{{0, 4, 2}}, 100, "0:0 1:1 | 3:3 4:4"},                                      // a value missing
        {{{0, 1, -1}, {5, 5, -1}, {9, 10, -1}}, 100, "0:0 1:1 | 5:0 | 9:4 10:0"},     // a sample alone
        {{{0, 63, 21}}, 4, "0:0 14:4 19:4 20:0 | 25:0 29:4 35:0 44:4 50:0 59:4"},     // in a bucket
        {{{0, 7, -1}, {8, 15, -1}}, 2, "0:0 4:4 | 10:0 14:4"},                        // on its edge
        {{{0, 15, -1}, {32, 47, -1}}, 4, "0:0 4:4 10:0 14:4 | 35:0 39:4 40:0 44:4"},  // empty buckets between
        // Stretches between the first and the last of a bucket are merged
        // into one, drawn as points alone: the samples between are unknown.
        {{{0, 40, -1}, {42, 42, -1}, {44, 44, -1}, {46, 63, -1}}, 2, "0:0 29:4 35:0 39:4 | 42:2 | 44:4 | 50:0 59:4"},
        {{{0, 40, -1}, {42, 42, -1}, {44, 44, -1}, {46, 46, -1}, {48, 48, -1}, {50, 63, -1}},
         2,
         "0:0 29:4 35:0 39:4 | 44:4 | 46:1 | 50:0 59:4"},
    };
    for (const auto& [lines, buckets, out] : rows) {
        min_max_decimator d(buckets);
        for (const line& l : lines) {
            d.begin_line(1);
            for (int x = l.from; x <= l.to; ++x) d.add(x, x == l.hole ? NAN : x % 5);
        }
        EXPECT_EQ(drawn(d), out) << out;
        EXPECT_EQ(d.decimated(), buckets < 100) << out;
    }
}

TEST(ScatterThinner, BoundedAndDropsRepeats) {
    scatter_thinner t(50);
    for (int i = 0; i < 3; ++i) t.add(1, 2);
    EXPECT_EQ(t.points().size(), 1u);
    EXPECT_FALSE(t.decimated());
    for (int i = 0; i < 100000; ++i) t.add(std::fmod(i * 0.37, 30.0), 1000 - (i % 997));
    EXPECT_EQ(t.count(), 100003u);
    EXPECT_TRUE(t.points().size() >= 10 && t.points().size() <= 50) << t.points().size();
    EXPECT_TRUE(t.decimated());
}

// Each cell keeps its first point, and the points come out by x cell, then
// y cell, whatever their order of arrival and the table's.
TEST(ScatterThinner, FirstPointPerCellInCellOrder) {
    scatter_thinner t(50);
    // Cells are 1/1024 wide at first: these pairs share a cell.
    for (const xy& p : std::vector<xy>{{3, -1}, {-2, 5}, {3.0004, -0.9999}, {-0.0001, 0}, {-2, 5.0005}, {0, 0}})
        t.add(p.first, p.second);
    EXPECT_EQ(xys(t.points()), (std::vector<xy>{{-2, 5}, {-0.0001, 0}, {0, 0}, {3, -1}}));
    EXPECT_EQ(t.kept(), 4u);
    EXPECT_FALSE(t.decimated());
}

// When the grid coarsens, a merged cell keeps the point of least x (then
// y) of the cells it joins, whatever order they came in; the grid doubles
// along the axis its cells span more of, until they fit the budget.
TEST(ScatterThinner, CoarseningKeepsTheLeastPointOfEachMergedCell) {
    const std::pair<std::vector<xy>, std::vector<xy>> rows[] = {
        // Five cells along x for a budget of four: cells 2 wide hold three.
        {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}, {{0, 0}, {2, 0}, {4, 0}}},
        {{{1, 0}, {0, 0}, {3, 0}, {2, 0}, {4, 0}}, {{0, 0}, {2, 0}, {4, 0}}},
        // Then cells met again, near and far from those in use, keep their
        // first point.
        {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {100, 0}, {1.5, 0}, {100.5, 0}, {5, 0}},
         {{0, 0}, {2, 0}, {4, 0}, {100, 0}}},
        // The same along y; ties in x go to the least y.
        {{{0, 3}, {0, 2}, {0, 1}, {0, 0}, {0, 4}}, {{0, 0}, {0, 2}, {0, 4}}},
    };
    for (const auto& [in, out] : rows) {
        scatter_thinner t(4);
        for (const xy& p : in) t.add(p.first, p.second);
        EXPECT_EQ(xys(t.points()), out);
        EXPECT_TRUE(t.decimated());
        EXPECT_EQ(t.count(), in.size());
    }
}

TEST(Decimators, HugeValuesEndInBoundedOutput) {
    min_max_decimator d(2);
    scatter_thinner t(4);
    for (int i = 0; i < 1000; ++i) {
        const double v = (i % 2 ? 1 : -1) * 1e308 / (1 + i % 7) + i;
        d.add(v, -v);
        t.add(v, i * 1e300);
    }
    EXPECT_LE(d.points().size(), 4u);
    EXPECT_LE(t.points().size(), 4u);
}

TEST(DoublingHistogram, BinsDoubleToHoldEveryValue) {
    const std::tuple<std::vector<double>, double, std::vector<uint64_t>> rows[] = {
        // values, bin width, counts
        {{0, 0.5, 1.5, 3.9}, 1, {2, 1, 0, 1}},
        {{-1, 9.9}, 4, {1, 0, 1}},  // negative in the first bin; 9.9 needs bins of 4
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}, 4, {4, 4, 1}}};
    for (const auto& [values, width, counts] : rows) {
        doubling_histogram h(4, 1);
        for (const double v : values) h.add(v);
        h.add(NAN);
        EXPECT_EQ(h.counts(), counts);
        EXPECT_EQ(h.width(), width);
        EXPECT_EQ(h.total(), values.size());
    }
    EXPECT_EQ(doubling_histogram(4, 0.5).width(), 0.5);  // a width under 1 is kept
    for (const double none : {0.0, -2.0}) EXPECT_EQ(doubling_histogram(4, none).width(), 1) << none;
}

TEST(StrideSample, KeepsEveryStrideThItemOverTheWholeStream) {
    stride_sample<std::vector<int>> s(10);  // items that a move empties (a cast's profile)
    for (int i = 0; i < 100; ++i) s.add({i});
    EXPECT_EQ(s.seen(), 100u);
    EXPECT_EQ(s.stride(), 16u);
    EXPECT_EQ(s.items(), (std::vector<std::vector<int>>{{0}, {16}, {32}, {48}, {64}, {80}, {96}}));
}

}  // namespace
