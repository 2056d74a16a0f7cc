// The report for the shipped bench log against its published figures.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "analysis/stats.h"
#include "capture.h"
#include "parse.h"
#include "process.h"

namespace {

std::string report_of_shipped_table() {
    return capture([](std::FILE* f) { parse(f); });
}

// Index of the first line equal to `text`, or lines.size().
std::size_t index_of(const std::vector<std::string>& lines, const std::string& text) {
    std::size_t i = 0;
    while (i < lines.size() && lines[i] != text)
        ++i;
    return i;
}

// Mean, count and ppm value of every setting, positions 1 to 10 by decade
// 10 ohm to 100 kilohm, as published with the original report.
const char* const published[10][5] = {
    {"10.00200 (16; 200.25 ppm)", "99.99786 (16; -21.36 ppm)", "1000.03918 (16; 39.18 ppm)",
     "9999.88574 (16; -11.43 ppm)", "99998.53711 (16; -14.63 ppm)"},
    {"20.00048 (16; 24.10 ppm)", "200.00126 (16; 6.31 ppm)", "1999.85107 (16; -74.47 ppm)",
     "19999.89438 (4690; -5.28 ppm)", "200015.40430 (16; 77.02 ppm)"},
    {"29.99727 (16; -90.84 ppm)", "300.00661 (16; 22.04 ppm)", "2999.82230 (16; -59.23 ppm)",
     "29999.65088 (16; -11.64 ppm)", "300020.52734 (16; 68.42 ppm)"},
    {"40.00586 (16; 146.45 ppm)", "400.01120 (16; 28.01 ppm)", "3999.77960 (16; -55.10 ppm)",
     "39999.67749 (16; -8.06 ppm)", "400027.18750 (16; 67.97 ppm)"},
    {"49.99912 (16; -17.66 ppm)", "500.02524 (16; 50.48 ppm)", "4999.74591 (16; -50.82 ppm)",
     "49999.56030 (16; -8.79 ppm)", "500031.71875 (16; 63.44 ppm)"},
    {"59.99664 (16; -55.95 ppm)", "600.02577 (16; 42.95 ppm)", "5999.67950 (16; -53.42 ppm)",
     "59998.95874 (16; -17.35 ppm)", "600043.30859 (16; 72.18 ppm)"},
    {"69.99585 (16; -59.31 ppm)", "700.03013 (16; 43.05 ppm)", "6999.60760 (16; -56.06 ppm)",
     "69999.17432 (16; -11.80 ppm)", "700045.46484 (16; 64.95 ppm)"},
    {"79.99493 (16; -63.33 ppm)", "800.03579 (16; 44.74 ppm)", "7999.56555 (16; -54.31 ppm)",
     "79998.98486 (16; -12.69 ppm)", "800046.00781 (16; 57.51 ppm)"},
    {"89.99248 (16; -83.52 ppm)", "900.04028 (16; 44.75 ppm)", "8999.53278 (16; -51.91 ppm)",
     "89998.87988 (16; -12.45 ppm)", "900053.33203 (16; 59.26 ppm)"},
    {"99.99786 (16; -21.36 ppm)", "1000.03918 (16; 39.18 ppm)", "9999.88574 (16; -11.43 ppm)",
     "99998.53711 (16; -14.63 ppm)", "1000056.61719 (16; 56.62 ppm)"},
};

} // namespace

TEST(Published, BinaryWritesSizeLineThenTheReport) {
    EXPECT_EQ(as_written("Size 21640\r\n" + report_of_shipped_table()),
              output_of(report_program()));
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

TEST(Published, MeansCountsAndPpmOfAllFiftySettings) {
    grid g{};
    fill_nominal(g);
    capture([&](std::FILE* f) { classify(g, all_readings(), f); });
    compute_ppm(g);
    for (unsigned p = 1; p <= 10; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            char got[64];
            std::snprintf(got, sizeof got, "%.5f (%u; %.2f ppm)", g.mean[p][d], g.count[p][d],
                          g.ppm[p][d]);
            EXPECT_EQ(published[p - 1][d], std::string(got)) << "position " << p << " decade " << d;
        }
}

TEST(Published, DecadeAverageLineWithTotalResistance) {
    std::vector<std::string> lines = lines_of(report_of_shipped_table());
    std::size_t header = index_of(lines, " -- |     1E1        |    1E2        |    1E3        |"
                                         "    1E4        |    1E5        |\r\n");
    ASSERT_LT(header + 1, lines.size());
    EXPECT_EQ("\r\n", lines[header - 1]);
    EXPECT_EQ("      \033[0;32m    54.998 R \033[0m  |\033[0;32m   550.021 R \033[0m  |"
              "\033[0;32m  5499.751 R \033[0m  |\033[0;32m 54999.320 R \033[0m  |"
              "\033[0;32m550033.811 R \033[0m  | Total resistance:     1.11115508 MOHM\r\n",
              lines[header + 1]);
}

TEST(Published, RowZeroIsInvalidInBothDeviationTables) {
    const std::string invalid = "\033[0;31mInvalid data\033[0m       |";
    const std::string row = " 00 | " + invalid + invalid + invalid + invalid + invalid + " \r\n";
    std::vector<std::string> lines = lines_of(report_of_shipped_table());
    std::size_t ppm_header =
        index_of(lines, " -- |     1E1            |    1E2            |    1E3      "
                        "      |    1E4            |    1E5            |\r\n");
    std::size_t title = index_of(lines, "R Deviation\r\n");
    ASSERT_LT(title + 2, lines.size());
    EXPECT_EQ(row, lines[ppm_header + 1]);
    EXPECT_EQ(row, lines[title + 2]);
}

// Each cell is the published mean of that setting less its nominal value.
TEST(Published, DeviationRowOfPositionThree) {
    std::vector<std::string> lines = lines_of(report_of_shipped_table());
    std::size_t title = index_of(lines, "R Deviation\r\n");
    ASSERT_LT(title + 5, lines.size());
    EXPECT_EQ(" 03 |  -0.00273 R |  0.00661 R | -0.17770 R | -0.34912 R | 20.52734 R | \r\n",
              lines[title + 5]);
}

TEST(Published, TextileCellsOfTwentyKilohm) {
    std::string report = report_of_shipped_table();
    EXPECT_NE(std::string::npos,
              report.find("|{color:#00a;}.   19999.89438216 &Omega; _{color:#a10;}. [4690]_ |"));
    EXPECT_NE(std::string::npos,
              report.find("|{color:#00a;}.      -5.28 ppm _{color:#a10;}. [4690]_ |"));
}

TEST(Published, TextileRowZeroIsInvalidInBothTables) {
    const std::string row = "| 00 |{color:#f00;}. Invalid data |{color:#f00;}. Invalid data "
                            "|{color:#f00;}. Invalid data |{color:#f00;}. Invalid data "
                            "|{color:#f00;}. Invalid data | \r\n";
    std::vector<std::string> lines = lines_of(report_of_shipped_table());
    EXPECT_EQ(2, std::count(lines.begin(), lines.end(), row));
}

// The reference was checked line by line against the published figures and
// against an independent re-implementation before it was committed.
TEST(Published, WholeReportMatchesTheReference) {
    const std::string reference = file_text(reference_report_path());
    ASSERT_FALSE(reference.empty());
    std::string report = output_of(report_program());
    EXPECT_EQ(93u, lines_of(report).size());
    EXPECT_EQ(as_written(reference), report);
}

TEST(Published, EveryLineEndsInCarriageReturnLineFeed) {
    for (const std::string& line : lines_of(report_of_shipped_table()))
        EXPECT_EQ("\r\n", line.substr(line.size() - 2)) << line;
}
