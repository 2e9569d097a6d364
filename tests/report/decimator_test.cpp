#include "report/decimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct row {
        const char* name;
        std::vector<xy> in;
        std::vector<xy> out;
    };
    const row rows[] = {
        {"empty", {}, {}},
        {"in order", {{1, 5}, {2, 6}, {3, 4}}, {{1, 5}, {2, 6}, {3, 4}}},
        {"out of order", {{3, 4}, {1, 5}, {2, 6}}, {{1, 5}, {2, 6}, {3, 4}}},
        {"not finite dropped", {{1, nan}, {nan, 2}, {2, 7}}, {{2, 7}}},
        {"negative times", {{-2.5, 1}, {-1, 0}}, {{-2.5, 1}, {-1, 0}}},
    };
    for (const row& r : rows) {
        min_max_decimator d(100);
        for (const xy& p : r.in) d.add(p.first, p.second);
        EXPECT_EQ(xys(d.points()), r.out) << r.name;
        EXPECT_FALSE(d.decimated()) << r.name;
    }
}

TEST(MinMaxDecimator, KeepsEveryExtremeInBoundedOrderedOutput) {
    // A day of one-second depth samples with one-sample spikes at odd times.
    min_max_decimator d(100);
    const std::vector<xy> spikes = {{12345, 950}, {40000, -3}, {86399, 700}};
    for (int t = 0; t < 86400; ++t) {
        double y = 50 + 40 * std::sin(t / 900.0);
        for (const xy& s : spikes) {
            if (s.first == t) y = s.second;
        }
        d.add(1.7e9 + t, y);
    }
    const std::vector<series_point> out = d.points();
    EXPECT_EQ(d.count(), 86400u);
    EXPECT_TRUE(d.decimated());
    EXPECT_LE(out.size(), 200u);
    EXPECT_GE(out.size(), 100u);
    for (std::size_t i = 1; i < out.size(); ++i) EXPECT_LT(out[i - 1].x, out[i].x) << i;
    for (const xy& s : spikes) {
        bool found = false;
        for (const series_point& p : out) found = found || (p.x == 1.7e9 + s.first && p.y == s.second);
        EXPECT_TRUE(found) << s.first;
    }
}

TEST(MinMaxDecimator, LinesBreakBetweenBurstsOnly) {
    // Three bursts of a hundred samples an hour apart, then a sparse stretch.
    min_max_decimator d(64);
    for (int burst = 0; burst < 3; ++burst) {
        for (int i = 0; i < 100; ++i) d.add(burst * 3600 + i * 0.02, i % 7);
    }
    for (int i = 0; i < 20; ++i) d.add(8000 + i * 60, 1);
    const auto breaks = [](const std::vector<series_point>& pts) {
        int n = 0;
        for (const series_point& p : pts) n += std::isnan(p.y) ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(d.decimated());
    EXPECT_EQ(breaks(d.points()), 0);
    EXPECT_EQ(breaks(d.points(true)), 3);
}

TEST(ScatterThinner, BoundedAndDropsRepeats) {
    scatter_thinner t(50);
    for (int i = 0; i < 3; ++i) t.add(1, 2);
    EXPECT_EQ(t.points().size(), 1u);
    EXPECT_FALSE(t.decimated());
    for (int i = 0; i < 100000; ++i) t.add(std::fmod(i * 0.37, 30.0), 1000 - (i % 997));
    EXPECT_EQ(t.count(), 100003u);
    EXPECT_LE(t.points().size(), 50u);
    EXPECT_GE(t.points().size(), 10u);
    EXPECT_TRUE(t.decimated());
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
    struct row {
        std::vector<double> values;
        double width;
        std::vector<uint64_t> counts;
    };
    const row rows[] = {
        {{0, 0.5, 1.5, 3.9}, 1, {2, 1, 0, 1}},
        {{-1, 9.9}, 4, {1, 0, 1}},  // negative in the first bin; 9.9 needs bins of 4
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}, 4, {4, 4, 1}},
    };
    for (const row& r : rows) {
        doubling_histogram h(4, 1);
        for (const double v : r.values) h.add(v);
        h.add(std::numeric_limits<double>::quiet_NaN());
        EXPECT_EQ(h.counts(), r.counts);
        EXPECT_EQ(h.width(), r.width);
        EXPECT_EQ(h.total(), r.values.size());
    }
}

TEST(StrideSample, KeepsEveryStrideThItemOverTheWholeStream) {
    stride_sample<int> s(10);
    for (int i = 0; i < 100; ++i) s.add(i);
    EXPECT_EQ(s.seen(), 100u);
    EXPECT_EQ(s.stride(), 16u);
    EXPECT_EQ(s.items(), (std::vector<int>{0, 16, 32, 48, 64, 80, 96}));
}

}  // namespace
