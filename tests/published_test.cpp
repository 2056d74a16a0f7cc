// The report for the shipped bench log against its published figures.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "capture.h"
#include "parse.h"

namespace {

std::string report_of_shipped_table() {
    return capture([](std::FILE* f) { parse(f); });
}

std::string run_binary() {
    std::FILE* p = popen(DECADE_REPORT_BINARY, "r");
    std::string text;
    char buf[4096];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, got);
    pclose(p);
    return text;
}

// Mean and count of every setting, positions 1 to 10 by decade 10 ohm to
// 100 kilohm, as published with the original report.
const char* const published[10][5] = {
    {"10.00200 (16", "99.99786 (16", "1000.03918 (16", "9999.88574 (16", "99998.53711 (16"},
    {"20.00048 (16", "200.00126 (16", "1999.85107 (16", "19999.89438 (4690", "200015.40430 (16"},
    {"29.99727 (16", "300.00661 (16", "2999.82230 (16", "29999.65088 (16", "300020.52734 (16"},
    {"40.00586 (16", "400.01120 (16", "3999.77960 (16", "39999.67749 (16", "400027.18750 (16"},
    {"49.99912 (16", "500.02524 (16", "4999.74591 (16", "49999.56030 (16", "500031.71875 (16"},
    {"59.99664 (16", "600.02577 (16", "5999.67950 (16", "59998.95874 (16", "600043.30859 (16"},
    {"69.99585 (16", "700.03013 (16", "6999.60760 (16", "69999.17432 (16", "700045.46484 (16"},
    {"79.99493 (16", "800.03579 (16", "7999.56555 (16", "79998.98486 (16", "800046.00781 (16"},
    {"89.99248 (16", "900.04028 (16", "8999.53278 (16", "89998.87988 (16", "900053.33203 (16"},
    {"99.99786 (16", "1000.03918 (16", "9999.88574 (16", "99998.53711 (16", "1000056.61719 (16"},
};

} // namespace

TEST(Published, BinaryWritesSizeLineThenTheReport) {
    EXPECT_EQ("Size 21640\r\n" + report_of_shipped_table(), run_binary());
}

TEST(Published, HeadingAndSixteenEchoLinesPrecedeTheTable) {
    std::vector<std::string> lines = lines_of(report_of_shipped_table());
    ASSERT_GT(lines.size(), 19u);
    EXPECT_EQ("Measured average\r\n", lines[0]);
    EXPECT_EQ("300.006531\r\n", lines[1]);
    for (std::size_t i = 1; i <= 16; ++i) {
        EXPECT_EQ("300.", lines[i].substr(0, 4)) << lines[i];
        EXPECT_EQ(12u, lines[i].size()) << lines[i];
    }
    EXPECT_EQ("\r\n", lines[17]);
}

TEST(Published, MeasuredAverageHeaderAndFirstRows) {
    std::vector<std::string> lines = lines_of(report_of_shipped_table());
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(" -- |         1E1          |          1E2        |         1E3         |"
              "         1E4         |        1E5          |\r\n",
              lines[18]);
    EXPECT_EQ(
        " 00 |         0.00000 \033[0;38m[000]\033[0m  |        0.00000 \033[0;38m[000]\033[0m"
        "  |        0.00000 \033[0;38m[000]\033[0m  |        0.00000 \033[0;38m[000]\033[0m"
        "  |        0.00000 \033[0;38m[000]\033[0m  | \r\n",
        lines[19]);
    EXPECT_EQ(
        " 01 |        10.00200 \033[0;38m[016]\033[0m  |       99.99786 \033[0;38m[016]\033[0m  |"
        "     1000.03918 \033[0;38m[016]\033[0m  |     9999.88574 \033[0;38m[016]\033[0m  |"
        "    99998.53711 \033[0;38m[016]\033[0m  | \r\n",
        lines[20]);
}

TEST(Published, MeansAndCountsOfAllFiftySettings) {
    grid g{};
    fill_nominal(g);
    capture([&](std::FILE* f) { classify(g, data, f); });
    for (unsigned p = 1; p <= 10; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            char got[64];
            std::snprintf(got, sizeof got, "%.5f (%u", g.mean[p][d], g.count[p][d]);
            EXPECT_EQ(published[p - 1][d], std::string(got)) << "position " << p << " decade " << d;
        }
}

TEST(Published, EveryLineEndsInCarriageReturnLineFeed) {
    for (const std::string& line : lines_of(report_of_shipped_table()))
        EXPECT_EQ("\r\n", line.substr(line.size() - 2)) << line;
}
