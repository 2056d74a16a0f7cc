// Console cells at the edges of their choices.
#include <limits>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"
#include "parse.h"
#include "report/console.h"

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();
const std::string invalid = "\033[0;31mInvalid data\033[0m       |";

std::string ppm(double value, std::uint32_t count = 16) {
    return capture([&](std::FILE* f) { ppm_cell(f, value, count); });
}

std::string deviation(double ppm_value, double ohms) {
    return capture([&](std::FILE* f) { deviation_cell(f, ppm_value, ohms); });
}

} // namespace

TEST(MeanCell, PadsCountToThreeDigitsAndWidensForFour) {
    EXPECT_EQ("      300.00661 \033[0;38m[016]\033[0m  |",
              capture([](std::FILE* f) { mean_cell(f, 300.00661, 16); }));
    EXPECT_EQ("    19999.89438 \033[0;38m[4690]\033[0m  |",
              capture([](std::FILE* f) { mean_cell(f, 19999.894382, 4690); }));
}

TEST(PpmCell, InsideQuarterPerMilleShowsPpmAndCount) {
    EXPECT_EQ("    249.99 ppm \033[0;36m[  16]\033[0m|", ppm(249.99));
    EXPECT_EQ("   -249.99 ppm \033[0;36m[4690]\033[0m|", ppm(-249.99, 4690));
}

TEST(PpmCell, FromQuarterPerMilleShowsPercentWithThreeDecimals) {
    EXPECT_EQ("     0.025 %   |", ppm(250));
    EXPECT_EQ("    -0.025 %   |", ppm(-250));
    EXPECT_EQ("     9.100 %   |", ppm(91000));
    EXPECT_EQ("    10.000 %   |", ppm(99999));
}

TEST(PpmCell, FromTenPercentAndNanShowInvalidData) {
    EXPECT_EQ(invalid, ppm(100000));
    EXPECT_EQ(invalid, ppm(-100000));
    EXPECT_EQ(invalid, ppm(nan_value));
}

TEST(DeviationCell, ShowsSignedOhmsWithFiveDecimals) {
    EXPECT_EQ("  0.00661 R |", deviation(22.04, 300.00661 - 300));
    EXPECT_EQ(" -1.46289 R |", deviation(-14.63, 99998.53711 - 100000));
    EXPECT_EQ("  0.00000 R |", deviation(0, 0));
}

TEST(DeviationCell, InvalidWhereThePpmTableFallsBackToPercent) {
    EXPECT_EQ(" 24.99750 R |", deviation(249.99, 24.9975));
    EXPECT_EQ(invalid, deviation(250, 25.0));
    EXPECT_EQ(invalid, deviation(-250, -25.0));
    EXPECT_EQ(invalid, deviation(nan_value, nan_value));
}

TEST(EmptyLog, EverySettingShowsNoCountAndInvalidDeviations) {
    std::string report = capture([](std::FILE* f) { parse(f, std::span<const float>{}); });
    std::vector<std::string> lines = lines_of(report);
    EXPECT_EQ(76u, lines.size()); // 93 less the size line and the 16 echo lines
    std::size_t empty_counts = 0, invalid_cells = 0, pos = 0;
    while ((pos = report.find("nan \033[0;38m[000]", pos)) != std::string::npos)
        ++empty_counts, ++pos;
    for (pos = 0; (pos = report.find("Invalid data", pos)) != std::string::npos; ++pos)
        ++invalid_cells;
    EXPECT_EQ(50u, empty_counts);       // rows 01 to 10; row 00 shows 0.00000
    EXPECT_EQ(4u * 55u, invalid_cells); // both console and both Textile tables
    EXPECT_NE(std::string::npos, report.find("nan MOHM\r\n"));
}
