#include "report/decimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

TEST(MinMaxDecimator, LinesBreakBetweenBurstsOnly) {
    // Three bursts of a hundred samples an hour apart, then a sparse stretch.
    min_max_decimator d(64);
    for (int burst = 0; burst < 3; ++burst)
        for (int i = 0; i < 100; ++i) d.add(burst * 3600 + i * 0.02, i % 7);
    for (int i = 0; i < 20; ++i) d.add(8000 + i * 60, 1);
    const auto breaks = [](const std::vector<series_point>& pts) {
        return std::count_if(pts.begin(), pts.end(), [](const series_point& p) { return std::isnan(p.y); });
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
    EXPECT_TRUE(t.points().size() >= 10 && t.points().size() <= 50) << t.points().size();
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
}

TEST(StrideSample, KeepsEveryStrideThItemOverTheWholeStream) {
    stride_sample<int> s(10);
    for (int i = 0; i < 100; ++i) s.add(i);
    EXPECT_EQ(s.seen(), 100u);
    EXPECT_EQ(s.stride(), 16u);
    EXPECT_EQ(s.items(), (std::vector<int>{0, 16, 32, 48, 64, 80, 96}));
}

}  // namespace
