// Deviation statistics on small grids.
#include <cmath>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "analysis/stats.h"

namespace {

// A grid with every setting exactly at nominal.
grid at_nominal() {
    grid g{};
    fill_nominal(g);
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            g.mean[p][d] = g.nominal[p][d];
    return g;
}

} // namespace

TEST(Ppm, HalfPercentAboveNominalIsFiveThousandPpm) {
    grid g = at_nominal();
    g.mean[2][1] = 201;
    compute_ppm(g);
    EXPECT_NEAR(5000, g.ppm[2][1], 1e-9);
    EXPECT_NEAR(0.5, percent(g.ppm[2][1]), 1e-12);
}

TEST(Ppm, MeanAtNominalIsZeroPpmAndZeroOhm) {
    grid g = at_nominal();
    compute_ppm(g);
    EXPECT_EQ(0.0, g.ppm[7][3]);
    EXPECT_EQ(0.0, ohm_deviation(g, 7, 3));
}

TEST(Ppm, RowZeroAndEmptySettingsAreNotANumber) {
    grid g = at_nominal();
    g.mean[4][2] = 0.0 / g.mean[0][0]; // what an empty setting's mean is
    compute_ppm(g);
    for (unsigned d = 0; d < decade_count; ++d)
        EXPECT_TRUE(std::isnan(g.ppm[0][d]));
    EXPECT_TRUE(std::isnan(g.ppm[4][2]));
}

TEST(DecadeAverage, IsTheSumOfTenMeansOverTenWhateverTheCounts) {
    grid g = at_nominal();
    g.count[2][0] = 4690;
    compute_decade_average(g);
    EXPECT_EQ(55.0, g.decade_average[0]);
    EXPECT_EQ(550000.0, g.decade_average[4]);
}

TEST(DecadeAverage, OneNanMeanMakesItsDecadeNan) {
    grid g = at_nominal();
    g.mean[9][1] = std::nan("");
    compute_decade_average(g);
    EXPECT_TRUE(std::isnan(g.decade_average[1]));
    EXPECT_EQ(5500.0, g.decade_average[2]);
}

TEST(TotalResistance, AddsThePositionTenMeansInMegohms) {
    grid g = at_nominal();
    EXPECT_DOUBLE_EQ(1.1111, total_resistance(g));
    g.mean[10][4] += 1;
    EXPECT_DOUBLE_EQ(1.111101, total_resistance(g));
}
