// Classification on small tables: window edges, shared values, echo lines.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "capture.h"

namespace {

struct scan {
    grid g{};
    std::string echo;
};

scan classify_table(const std::vector<float>& readings) {
    scan r;
    fill_nominal(r.g);
    r.echo = capture([&](std::FILE* f) { classify(r.g, readings, f); });
    return r;
}

std::uint32_t total_count(const grid& g) {
    std::uint32_t total = 0;
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            total += g.count[p][d];
    return total;
}

// Setting (p, d) by its nominal value: 300 ohm is position 3 of decade 1.
std::uint32_t count_of(const std::vector<float>& readings, unsigned p, unsigned d) {
    return classify_table(readings).g.count[p][d];
}

} // namespace

TEST(Nominal, IsPositionTimesStep) {
    grid g{};
    fill_nominal(g);
    EXPECT_EQ(0.0, g.nominal[0][4]);
    EXPECT_EQ(30.0, g.nominal[3][0]);
    EXPECT_EQ(300.0, g.nominal[3][1]);
    EXPECT_EQ(1000000.0, g.nominal[10][4]);
}

TEST(Window, HalfWidthIsTenthOhmInFirstDecadeAndStepShareElsewhere) {
    grid g{};
    fill_nominal(g);
    EXPECT_EQ(29.9, window_of(g, 3, 0).low);
    EXPECT_EQ(30.1, window_of(g, 3, 0).high);
    EXPECT_EQ(300 - 0.008 * 100, window_of(g, 3, 1).low);
    EXPECT_EQ(29920.0, window_of(g, 3, 3).low);
    EXPECT_EQ(1000800.0, window_of(g, 10, 4).high);
}

TEST(Classify, AcceptsInsideAndRejectsOutsideTheWindow) {
    EXPECT_EQ(1u, count_of({300.79f}, 3, 1));
    EXPECT_EQ(0u, count_of({300.81f}, 3, 1));
    EXPECT_EQ(1u, count_of({29.95f}, 3, 0));
    EXPECT_EQ(0u, count_of({30.15f}, 3, 0));
    EXPECT_EQ(1u, count_of({29925.0f}, 3, 3));
    EXPECT_EQ(0u, count_of({30085.0f}, 3, 3));
}

TEST(Classify, BoundsAreStrictToTheLastFloat) {
    const float low = 29920.0f, high = 30080.0f; // 30 kilohm, both exact floats
    EXPECT_EQ(0u, count_of({low}, 3, 3));
    EXPECT_EQ(1u, count_of({std::nextafter(low, 1e9f)}, 3, 3));
    EXPECT_EQ(1u, count_of({std::nextafter(high, 0.0f)}, 3, 3));
    EXPECT_EQ(0u, count_of({high}, 3, 3));
}

TEST(Classify, ReadingEqualToNominalIsCountedNowhereAndNotEchoed) {
    scan r = classify_table({300.0f});
    EXPECT_EQ(0u, total_count(r.g));
    EXPECT_EQ("", r.echo);
}

TEST(Classify, SharedValueNearHundredOhmCountsInBothSettings) {
    scan r = classify_table({100.05f});
    EXPECT_EQ(1u, r.g.count[10][0]);
    EXPECT_EQ(1u, r.g.count[1][1]);
    EXPECT_EQ(2u, total_count(r.g));
}

TEST(Classify, WiderWindowAloneTakesHundredPointFive) {
    scan r = classify_table({100.5f});
    EXPECT_EQ(0u, r.g.count[10][0]);
    EXPECT_EQ(1u, r.g.count[1][1]);
}

TEST(Classify, SettingWithoutReadingsHasZeroCountAndNanMean) {
    scan r = classify_table({300.1f});
    EXPECT_EQ(0u, r.g.count[4][1]);
    EXPECT_TRUE(std::isnan(r.g.mean[4][1]));
}

TEST(Classify, NanReadingIsCountedNowhere) {
    scan r = classify_table({std::numeric_limits<float>::quiet_NaN(), 300.1f});
    EXPECT_EQ(1u, total_count(r.g));
    EXPECT_EQ(1u, r.g.count[3][1]);
}

TEST(Classify, MeanIsDoubleSumOverCountAndRowZeroStaysZero) {
    scan r = classify_table({300.1f, 20.01f, 300.3f});
    EXPECT_EQ((static_cast<double>(300.1f) + 300.3f) / 2, r.g.mean[3][1]);
    EXPECT_EQ(2u, r.g.count[3][1]);
    for (unsigned d = 0; d < decade_count; ++d) {
        EXPECT_EQ(0.0, r.g.mean[0][d]);
        EXPECT_EQ(0u, r.g.count[0][d]);
    }
}

TEST(Classify, SettingsNeedNotBeContiguousInTheTable) {
    scan r = classify_table({300.1f, 20.01f, 300.2f, 20.02f, 300.3f});
    EXPECT_EQ(3u, r.g.count[3][1]);
    EXPECT_EQ(2u, r.g.count[2][0]);
}

TEST(Echo, ListsThreeHundredOhmReadingsInTableOrderWithSixDecimals) {
    scan r = classify_table({300.5f, 200.1f, 299.3f, 400.1f, 300.0f, 29.99f});
    EXPECT_EQ("300.500000\r\n299.299988\r\n", r.echo);
}
