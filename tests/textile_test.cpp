// Textile cells: colour bands at their edges and the fallbacks.
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "capture.h"
#include "report/textile.h"

namespace {

std::string ppm_cell_of(double ppm, std::uint32_t count = 16) {
    return capture([&](std::FILE* f) { textile_cell(f, ppm_band_format, ppm, ppm, count); });
}

std::string colour(double ppm) {
    const char* c = band_colour(ppm);
    return c ? c : "(none)";
}

} // namespace

TEST(Band, InnermostBandsMeetAtTenPpm) {
    EXPECT_EQ("0e0", colour(9.99));
    EXPECT_EQ("880", colour(10));
    EXPECT_EQ("00a", colour(-9.99));
    EXPECT_EQ("00f", colour(-10));
}

TEST(Band, EachBandStartsAtItsInnerBound) {
    EXPECT_EQ("ca0", colour(20));
    EXPECT_EQ("e6d", colour(40));
    EXPECT_EQ("e11", colour(60));
    EXPECT_EQ("0cc", colour(-20));
    EXPECT_EQ("808", colour(-40));
    EXPECT_EQ("f0f", colour(-60));
}

TEST(Band, OutermostBandsShareTheirColour) {
    EXPECT_EQ("800", colour(80));
    EXPECT_EQ("800", colour(-80));
    EXPECT_EQ("800", colour(249.99));
    EXPECT_EQ("800", colour(-249.99));
    EXPECT_EQ("(none)", colour(250));
    EXPECT_EQ("(none)", colour(std::numeric_limits<double>::quiet_NaN()));
}

TEST(Band, ExactlyNominalTakesTheInnermostColour) {
    EXPECT_EQ("0e0", colour(0));
    EXPECT_EQ("0e0", colour(-0.0));
    EXPECT_EQ("{color:#0e0;}.       0.00 ppm _{color:#a10;}. [  16]_ |", ppm_cell_of(0));
}

TEST(TextileCell, BandCellCarriesValueAndCountInA10) {
    EXPECT_EQ("{color:#0e0;}.       9.99 ppm _{color:#a10;}. [  16]_ |", ppm_cell_of(9.99));
    EXPECT_EQ("{color:#800;}.    -249.99 ppm _{color:#a10;}. [4690]_ |",
              ppm_cell_of(-249.99, 4690));
    EXPECT_EQ("{color:#880;}.      10.00000000 &Omega; _{color:#a10;}. [  16]_ |",
              capture([](std::FILE* f) { textile_cell(f, mean_band_format, 10.0, 10, 16); }));
}

TEST(TextileCell, FromQuarterPerMilleShowsPercentWithFourDecimals) {
    EXPECT_EQ("    0.0250 %   |", ppm_cell_of(250));
    EXPECT_EQ("   -0.0250 %   |", ppm_cell_of(-250));
    EXPECT_EQ("    9.9999 %   |", ppm_cell_of(99999));
}

TEST(TextileCell, FromTenPercentAndNanShowInvalidData) {
    EXPECT_EQ("{color:#f00;}. Invalid data |", ppm_cell_of(100000));
    EXPECT_EQ("{color:#f00;}. Invalid data |", ppm_cell_of(-100000));
    EXPECT_EQ("{color:#f00;}. Invalid data |",
              ppm_cell_of(std::numeric_limits<double>::quiet_NaN()));
}
