// The audit of a bench log: what the report leaves out, lacks or mixes,
// said at the right lines.  Most logs here are the shipped one with a few
// lines changed, in the runs shipped_log.h names (ohm300, kohm20, ...).
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "audit/log_audit.h"
#include "capture.h"
#include "log/log_reader.h"
#include "results/results.h"
#include "shipped_log.h"

namespace {

struct audit_result {
    std::size_t warnings = 0;
    std::string text;
};

audit_result audit(const std::string& log) {
    std::vector<float> readings;
    log_error error;
    log_audit a;
    EXPECT_TRUE(read_log(log, readings, error, [&a](float reading, std::size_t line) {
        a.add(reading, line);
    })) << diagnostic("log", error);
    const audit_findings found = std::move(a).finish();
    return {found.warnings, audit_text(found, "log")};
}

std::string audit_text(const std::string& log) {
    return audit(log).text;
}

// "log:5190: ", the start of the audit's messages about a line.
std::string at(std::size_t line) {
    return "log:" + std::to_string(line) + ": ";
}

// `text` with each "{i}" replaced by the i-th of `lines`: an expected text
// that names lines of the shipped log.
std::string numbered(std::string text, std::initializer_list<std::size_t> lines) {
    std::size_t i = 0;
    for (std::size_t line : lines) {
        const std::string mark = "{" + std::to_string(i++) + "}";
        for (std::size_t found; (found = text.find(mark)) != std::string::npos;)
            text.replace(found, mark.size(), std::to_string(line));
    }
    return text;
}

// The line of `text` that follows the one starting with `start`, or "".
std::string line_after(const std::string& text, const std::string& start) {
    const std::vector<std::string> lines = lines_of(text);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].starts_with(start))
            return lines[i + 1];
    return "";
}

// A log without a wild reading: a run of 16 readings of every nominal
// value, 4690 of 20 kohm, each run up to 100 ppm off nominal, with the given
// relative scatter (the sum of 12 uniform numbers, nearly normal), and
// written with `digits` significant digits as a meter would, or with all a
// float needs.  100 ohm, 1, 10 and 100 kohm are measured once, at position
// 1, as the settings of two decades share them.
std::string clean_log(unsigned seed, double scatter_ppm, int digits) {
    std::mt19937 rng(seed);
    auto uniform = [&rng] { return static_cast<double>(rng()) / 4294967296.0; };
    std::string log;
    char buf[32];
    for (unsigned d = 0; d < 5; ++d)
        for (unsigned p = 1; p < (d == 4 ? 11 : 10); ++p) {
            const double nominal = p * std::pow(10.0, d + 1);
            const double level = nominal * (1 + (uniform() - 0.5) * 2e-4);
            for (int i = 0; i < (p == 2 && d == 3 ? 4690 : 16); ++i) {
                double noise = -6;
                for (int k = 0; k < 12; ++k)
                    noise += uniform();
                const double value = level * (1 + noise * scatter_ppm * 1e-6);
                std::snprintf(buf, sizeof buf, "%.*g\n", digits, value);
                log += buf;
            }
        }
    return log;
}

// `text` names `found` as far from its run, or, with `found` empty, names
// no reading far.
void expect_far(const std::string& found, const std::string& text) {
    if (found.empty())
        EXPECT_EQ(std::string::npos, text.find("lies far")) << text;
    else
        EXPECT_NE(std::string::npos, text.find(found)) << text;
}

} // namespace

// The runs shipped_log.h names follow the comment lines that name them in
// the log, and its last line is the log's.
TEST(ShippedLog, NamedRunsAreWhereTheLogSays) {
    const struct {
        shipped_run run;
        const char* comment;
    } runs[] = {
        {kohm20, "# 20000 ohm"}, {kohm30, "# 30000 ohm"}, {kohm40, "# 40000 ohm"},
        {kohm60, "# 60000 ohm"}, {ohm300, "# 300 ohm"},   {ohm700, "# 700 ohm"},
        {ohm1000, "# 1000 ohm"}, {ohm20, "# 20 ohm"},     {ohm50, "# 50 ohm"},
    };
    const std::vector<std::string> lines = lines_of(file_text(shipped_log_path()));
    ASSERT_EQ(shipped_last_line, lines.size());
    for (const auto& r : runs) {
        ASSERT_LE(r.run.last, lines.size()) << r.comment;
        const std::size_t readings = r.run.last - r.run.first + 1;
        EXPECT_EQ(std::string(r.comment) + ", " + std::to_string(readings) + " readings\n",
                  lines[r.run.first - 2]);
        for (std::size_t line = r.run.first; line <= r.run.last; ++line)
            ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(lines[line - 1][0])))
                << "line " << line << ": " << lines[line - 1];
    }
}

TEST(LogAudit, ShippedLogOnlySummarises) {
    // Its runs at 100 ohm, 1, 10 and 100 kohm each feed two settings.
    EXPECT_EQ("log: 5410 readings, all in the report; 50 of 50 settings measured\n",
              audit_text(file_text(shipped_log_path())));
}

TEST(LogAudit, ReadingsInNoWindowAreOneStretchAcrossCommentAndBlankLines) {
    const std::size_t line = ohm700.line(4); // two lines become four
    EXPECT_EQ(numbered("log:{0}: warning: 2 readings in no acceptance window, lines {0}-{1}, from "
                       "707.25 to 707.5 Ω; the report leaves them out\n"
                       "log:{0}: note: nearest is the 700 Ω setting (position 7, decade 1E2), "
                       "whose window is ±0.8 Ω; their mean, 707.375 Ω, is +1.05 % off it\n"
                       "log: 5408 of 5410 readings in the report; 50 of 50 settings measured\n",
                       {line, line + 3}),
              audit_text(shipped_with(line, line + 1, {"707.5", "# leads checked", "", "707.25"})));
}

TEST(LogAudit, ReadingAtNominalIsToldApartFromTheNextOneOffWindow) {
    EXPECT_EQ(numbered("log:{0}: warning: 1 reading of exactly 40000 Ω, line {0}, the nominal "
                       "value of the 40000 Ω setting (position 4, decade 1E4); a reading equal to "
                       "nominal is never counted, so the report leaves it out\n"
                       "log:{0}: note: log each reading with all the digits the meter gives\n"
                       "log:{1}: warning: 1 reading in no acceptance window, line {1}, 40100 Ω; "
                       "the report leaves it out\n"
                       "log:{1}: note: nearest is the 40000 Ω setting (position 4, decade 1E4), "
                       "whose window is ±80 Ω; 40100 Ω is +2500 ppm off it\n"
                       "log: 5408 of 5410 readings in the report; 50 of 50 settings measured\n",
                       {kohm40.first, kohm40.line(1)}),
              audit_text(shipped_with(kohm40.first, kohm40.line(1), {"40000", "40100"})));
}

// A nominal value is named in whole ohms, however the log writes it, with
// both settings whose nominal value it is where two share it.
TEST(LogAudit, ReadingAtNominalNamesTheValueAndEachSettingOfIt) {
    const struct {
        const char* reading;
        const char* named;
    } cases[] = {
        {"1e6", "1000000 Ω, line {0}, the nominal value of the 1000000 Ω setting (position 10, "
                "decade 1E5)"},
        {"1000", "1000 Ω, line {0}, the nominal value of the 1000 Ω settings (position 10, decade "
                 "1E2, and position 1, decade 1E3)"},
        {"1e5", "100000 Ω, line {0}, the nominal value of the 100000 Ω settings (position 10, "
                "decade 1E4, and position 1, decade 1E5)"},
    };
    const std::size_t line = shipped_last_line + 1;
    for (const auto& c : cases)
        EXPECT_EQ(numbered(std::string("log:{0}: warning: 1 reading of exactly ") + c.named +
                               "; a reading equal to nominal is never counted, so the report "
                               "leaves it out\n",
                           {line}),
                  lines_of(audit_text(file_text(shipped_log_path()) + c.reading + "\n"))[0]);
}

TEST(LogAudit, ZeroNegativeAndHugeReadings) {
    EXPECT_EQ(numbered("log:{0}: warning: 2 readings of zero or less, lines {0}-{1}, from -20 to "
                       "-0 Ω; no resistance reads so, and the report leaves them out\n"
                       "log:{2}: warning: 1 reading in no acceptance window, line {2}, 3e+38 Ω; "
                       "the report leaves it out\n"
                       "log:{2}: note: nearest is the 1000000 Ω setting (position 10, decade "
                       "1E5), whose window is ±800 Ω; 3e+38 Ω is +3e+34 % off it\n"
                       "log: 5407 of 5410 readings in the report; 50 of 50 settings measured\n",
                       {ohm20.first, ohm20.line(1), shipped_last_line}),
              audit_text(shipped_replacing(
                  {{ohm20.first, "-0.0"}, {ohm20.line(1), "-20"}, {shipped_last_line, "3e38"}})));
}

TEST(LogAudit, SettingWithoutReadingsAndTheReadingsNearestIt) {
    EXPECT_EQ(numbered("log:{0}: warning: 2 readings in no acceptance window, lines {0}-{1}, from "
                       "50.4 to 50.5 Ω; the report leaves them out\n"
                       "log:{0}: note: nearest is the 50 Ω setting (position 5, decade 1E1), whose "
                       "window is ±0.1 Ω; their mean, 50.450001 Ω, is +9000 ppm off it\n"
                       "log: warning: no readings for the 50 Ω setting (position 5, decade 1E1); "
                       "the report shows Invalid data for it\n"
                       "log:{0}: note: lines {0}-{1} come nearest it, +9000 ppm off, outside its "
                       "window of ±0.1 Ω\n"
                       "log: 5394 of 5396 readings in the report; 49 of 50 settings measured\n",
                       {ohm50.first, ohm50.line(1)}),
              audit_text(shipped_with(ohm50.first, ohm50.last, {"50.5", "50.4"})));
}

TEST(LogAudit, SettingFedFromARunAndAStrayReadingInAnotherRun) {
    // The stray one does not split the 60 kohm run around it.
    EXPECT_EQ(numbered("log:{0}: warning: the 30000 Ω setting (position 3, decade 1E4) takes its "
                       "17 readings from 2 stretches of the log, lines {0}-{1} and {2}; the report "
                       "averages them together\n"
                       "log:{0}: note: lines {0}-{1}: 16 readings, mean 29999.651 Ω (-11.64 ppm)\n"
                       "log:{2}: note: line {2}: 1 reading, mean 30000.5 Ω (16.67 ppm)\n"
                       "log: 5410 readings, all in the report; 50 of 50 settings measured\n",
                       {kohm30.first, kohm30.last, kohm60.line(7)}),
              audit_text(shipped_replacing({{kohm60.line(7), "30000.5"}})));
}

// One reading outside every window and 49 settings without readings: each
// setting is a warning of its own, in decade order after the line's.
TEST(LogAudit, EachSettingWithoutReadingsIsAWarningAfterThoseOfLines) {
    const audit_result result = audit("30.01\n123.4\n");
    EXPECT_EQ(50u, result.warnings);
    const std::vector<std::string> lines = lines_of(result.text);
    ASSERT_LE(3u, lines.size());
    EXPECT_TRUE(lines[0].starts_with("log:2: warning: 1 reading in no acceptance window"))
        << lines[0];
    EXPECT_TRUE(lines[2].starts_with("log: warning: no readings for the 10 Ω setting")) << lines[2];
    EXPECT_EQ("log: 1 of 2 readings in the report; 1 of 50 settings measured\n", lines.back());
}

TEST(LogAudit, WindowBoundIsTheReportsOwn) {
    // The 300 ohm window is open at 300.8: the float below it is taken, the
    // float above it is not.  The one taken is far from the rest of its run.
    EXPECT_EQ(numbered("log:{1}: warning: 300.8 Ω lies far from the rest of its run of the 300 Ω "
                       "setting (position 3, decade 1E2), 15 readings on lines {0}-{1}: +2644.6 "
                       "ppm from their median, 1279 times their scatter of 2.1 ppm\n"
                       "log:{1}: note: it moves the setting's mean in the report by +176.3 ppm\n"
                       "log:{2}: warning: 1 reading in no acceptance window, line {2}, 300.80002 "
                       "Ω; the report leaves it out\n"
                       "log:{2}: note: nearest is the 300 Ω setting (position 3, decade 1E2), "
                       "whose window is ±0.8 Ω; 300.80002 Ω is +2667 ppm off it\n"
                       "log: 5409 of 5410 readings in the report; 50 of 50 settings measured\n",
                       {ohm300.first, ohm300.line(14), ohm300.last}),
              audit_text(shipped_with(ohm300.line(14), ohm300.last, {"300.799988", "300.800018"})));
}

// The figures of each warning were worked out apart from the audit: the
// median of the run, its Qn, and the mean with and without the reading.
TEST(LogAudit, ReadingsFarFromTheRestOfTheirRunAreNamedAtTheirLines) {
    EXPECT_EQ(
        numbered("log:{1}: warning: 300.5 Ω lies far from the rest of its run of the 300 Ω "
                 "setting (position 3, decade 1E2), 16 readings on lines {0}-{3}: +1644.0 "
                 "ppm from their median, 750 times their scatter of 2.2 ppm\n"
                 "log:{1}: note: it moves the setting's mean in the report by +98.6 ppm\n"
                 "log:{2}: warning: 300.31 Ω lies far from the rest of its run of the 300 Ω "
                 "setting (position 3, decade 1E2), 16 readings on lines {0}-{3}: +1010.6 "
                 "ppm from their median, 461 times their scatter of 2.2 ppm\n"
                 "log:{2}: note: it moves the setting's mean in the report by +56.3 ppm\n"
                 "log: 5410 readings, all in the report; 50 of 50 settings measured\n",
                 {ohm300.first, ohm300.line(2), ohm300.line(7), ohm300.last}),
        audit_text(shipped_replacing({{ohm300.line(2), "300.5"}, {ohm300.line(7), "300.31"}})));
}

// A reading 50 standard deviations of its run away from the run's mean is
// named, in a short run and in the long one, first in its run or not, and
// alone or with another.
TEST(LogAudit, ReadingFiftyScattersOffIsNamedWhereverItStands) {
    const char* const setting300 = "the 300 Ω setting (position 3, decade 1E2)";
    const char* const setting20k = "the 20000 Ω setting (position 2, decade 1E4)";
    const struct {
        shipped_run in;
        const char* setting;
        std::vector<std::pair<std::size_t, double>> off; // line, standard deviations
    } cases[] = {
        {ohm300, setting300, {{ohm300.first, 50}}},
        {ohm300, setting300, {{ohm300.line(2), 50}, {ohm300.line(7), -50}}},
        {kohm20, setting20k, {{kohm20.first, -50}}},
        {kohm20, setting20k, {{kohm20.line(2309), 50}}},
    };
    for (const auto& c : cases) {
        const std::vector<double> values = shipped_lines(c.in.first, c.in.last);
        double mean = 0, squares = 0;
        for (double v : values)
            mean += v / static_cast<double>(values.size());
        for (double v : values)
            squares += (v - mean) * (v - mean);
        const double sd = std::sqrt(squares / static_cast<double>(values.size() - 1));
        std::map<std::size_t, std::string> lines;
        for (const auto& [line, sds] : c.off)
            lines[line] = reading_text(static_cast<float>(mean + sds * sd));
        const std::string text = audit_text(shipped_replacing(lines));
        for (const auto& [line, value] : lines)
            EXPECT_NE(std::string::npos,
                      text.find(at(line) + "warning: " + value +
                                " Ω lies far from the rest of its run of " + c.setting))
                << text;
    }
}

// The 1000 ohm run feeds position 10 of decade 1E2 and position 1 of 1E3:
// a glitch in it is one warning that names both.
TEST(LogAudit, GlitchInARunOfTwoSettingsIsOneWarning) {
    const std::size_t glitch = ohm1000.line(2);
    const audit_result result = audit(shipped_replacing({{glitch, "1000.5"}}));
    EXPECT_EQ(1u, result.warnings);
    const std::vector<std::string> lines = lines_of(result.text);
    ASSERT_EQ(3u, lines.size()) << result.text;
    EXPECT_TRUE(lines[0].starts_with(
        numbered("log:{1}: warning: 1000.5 Ω lies far from the rest of its run of the 1000 Ω "
                 "settings (position 10, decade 1E2, and position 1, decade 1E3), 16 readings on "
                 "lines {0}-{2}: ",
                 {ohm1000.first, glitch, ohm1000.last})))
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with(at(glitch) + "note: it moves both settings' means in the "
                                                  "report by +"))
        << lines[1];
}

// The far readings kept for the page end on the 1000 ohm glitch, far in
// the runs of both its settings, after max_far_kept - 1 far readings of the
// 20 kohm run: it is circled in the charts of both settings.
TEST(LogAudit, FarReadingsKeptForThePageKeepBothSettingsOfTheLast) {
    std::map<std::size_t, std::string> far;
    for (std::size_t i = 0; i + 1 < log_audit::max_far_kept; ++i)
        far[kohm20.line(9 + 4 * i)] = "20010";
    const std::size_t glitch = ohm1000.line(2);
    far[glitch] = "1000.5";
    std::vector<float> readings;
    log_error error;
    log_audit a;
    ASSERT_TRUE(read_log(shipped_replacing(far), readings, error,
                         [&a](float reading, std::size_t line) { a.add(reading, line); }))
        << diagnostic("log", error);
    const log_results results = evaluate(readings, std::move(a).finish());
    EXPECT_EQ(log_audit::max_far_kept - 1, results.settings[2][3].far.size());
    for (const setting at : {setting{10, 1}, setting{1, 2}}) {
        const std::vector<far_mark>& marks = results.settings[at.p][at.d].far;
        ASSERT_EQ(1u, marks.size()) << setting_label(at);
        EXPECT_EQ(glitch, marks[0].line) << setting_label(at);
    }
}

// The 300 ohm run cut to 8 readings, or 7, with one far off, alone or with
// the setting measured once more at the end of the log: a run of 8 is
// judged, a later stretch or not, a run of 7 is too short to judge.
TEST(LogAudit, RunOfEightIsJudgedAndOfSevenNot) {
    const std::size_t glitch = ohm300.line(2);
    const std::string named =
        numbered("log:{1}: warning: 300.5 Ω lies far from the rest of its run of the 300 Ω "
                 "setting (position 3, decade 1E2), 8 readings on lines {0}-{2}: ",
                 {ohm300.first, glitch, ohm300.line(7)});
    const struct {
        std::size_t readings;
        bool again;
        std::string found;
    } cases[] = {
        {8, false, named},
        {8, true, named},
        {7, false, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> run = {"300.5"};
        for (double v : shipped_lines(glitch + 1, ohm300.line(c.readings - 1)))
            run.push_back(reading_text(static_cast<float>(v)));
        const std::string text =
            audit_text(shipped_with(glitch, ohm300.last, run) + (c.again ? "300.0066\n" : ""));
        expect_far(c.found, text);
    }
}

// The 300 ohm run logged by a meter of 6 digits, all but one reading
// 300.006: the scatter is the meter's step, 0.001 ohm, and a reading is far
// from 20 steps off.
TEST(LogAudit, SixDigitRunIsJudgedByTheMetersStep) {
    const struct {
        const char* reading;
        std::string found;
    } cases[] = {
        {"300.036",
         numbered("log:{1}: warning: 300.036 Ω lies far from the rest of its run of the 300 Ω "
                  "setting (position 3, decade 1E2), 16 readings on lines {0}-{2}: +100.0 ppm "
                  "from their median, 30 times their scatter of 3.3 ppm\n",
                  {ohm300.first, ohm300.line(2), ohm300.last})},
        {"300.016", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> run(16, "300.006");
        run[2] = c.reading;
        const std::string text = audit_text(shipped_with(ohm300.first, ohm300.last, run));
        expect_far(c.found, text);
    }
}

// A 100 kohm run to the meter's last digit, 0.001 ohm, finer than a float's
// spacing there, 2^-7 ohm: the scatter of 15 readings alike is that
// spacing, and a reading is far only beyond 20 of them, 0.15625 ohm.  The
// 48 settings without readings are a warning each.
TEST(LogAudit, ReadingTwentyScattersOffIsNotYetFar) {
    const struct {
        const char* reading;
        std::size_t warnings;
    } cases[] = {
        {"100000.17", 48}, // 100000.171875, 20 spacings above 100000.015625
        {"100000.18", 49}, // 100000.1796875, 21
    };
    for (const auto& c : cases) {
        std::string log;
        for (int i = 0; i < 16; ++i)
            log += (i == 2 ? c.reading : "100000.016") + std::string("\n");
        EXPECT_EQ(c.warnings, audit(log).warnings) << c.reading;
    }
}

// Half of the 300 ohm run wild, either side of the rest, is no run to judge;
// one reading less, and each wild one is named.  The wild readings have as
// many digits as the rest, so that the step the run shows stays theirs.
TEST(LogAudit, RunHalfOfItFarOffIsNotJudged) {
    const struct { std::size_t wild, named; } cases[] = {{8, 0}, {7, 7}};
    for (const auto& c : cases) {
        std::map<std::size_t, std::string> wild; // every other line, above and below by turns
        for (std::size_t i = 0; i < c.wild; ++i)
            wild[ohm300.line(2 * i)] = i % 2 == 0 ? "300.51234" : "299.48766";
        const std::string text = audit_text(shipped_replacing(wild));
        std::size_t named = 0;
        for (std::size_t at = 0; (at = text.find("lies far", at)) != std::string::npos; ++at)
            ++named;
        EXPECT_EQ(c.named, named) << text;
    }
}

// 45 readings far from the rest of the 20 kohm run, one every 100 lines:
// each is a warning, and those shown are the first in the log.
TEST(LogAudit, FarReadingsPastTwentyAreTheFirstShown) {
    const std::size_t from = kohm20.line(9);
    std::map<std::size_t, std::string> far;
    for (std::size_t i = 0; i < 45; ++i)
        far[from + 100 * i] = "20010";
    const audit_result result = audit(shipped_replacing(far));
    EXPECT_EQ(45u, result.warnings);
    std::vector<std::string> shown;
    for (const std::string& line : lines_of(result.text))
        if (line.find(": warning: ") != std::string::npos)
            shown.push_back(line.substr(0, line.find("warning: ")));
    std::vector<std::string> first;
    for (std::size_t i = 0; i < 20; ++i)
        first.push_back(at(from + 100 * i));
    EXPECT_EQ(first, shown);
}

TEST(LogAudit, CleanRunsOfAnyScatterAreNotFlagged) {
    const struct {
        double scatter_ppm;
        int digits;
    } cases[] = {
        {0.01, 9}, // below a float's resolution
        {1.5, 9},  {30, 9},
        {1.5, 6}, // a meter's 6 digits: most readings equal, the rest a step off
        {0.3, 7},
    };
    for (const auto& c : cases)
        for (unsigned seed = 1; seed <= 10; ++seed)
            EXPECT_EQ(std::string::npos,
                      audit_text(clean_log(seed, c.scatter_ppm, c.digits)).find("lies far"))
                << c.scatter_ppm << " ppm, " << c.digits << " digits, seed " << seed;
}

// The 300 ohm run measured again, 300 ppm higher: in part at the end of the
// log, a stretch of its own, or whole straight after the first, one run of
// two levels, half and half.
TEST(LogAudit, RunsAtTwoLevelsAreNotTakenForWildReadings) {
    std::vector<std::string> again;
    for (double v : shipped_lines(ohm300.first, ohm300.last))
        again.push_back(reading_text(static_cast<float>(v * (1 + 300e-6))));
    std::string apart = file_text(shipped_log_path());
    for (std::size_t i = 0; i < 10; ++i)
        apart += again[i] + "\n";
    const std::string text = audit_text(apart);
    EXPECT_NE(std::string::npos, text.find("the 300 Ω setting (position 3, decade 1E2) takes its "
                                           "26 readings from 2 stretches"))
        << text;
    EXPECT_EQ(std::string::npos, text.find("lies far")) << text;
    EXPECT_EQ("log: 5426 readings, all in the report; 50 of 50 settings measured\n",
              audit_text(shipped_with(ohm300.last + 1, ohm300.last, again)));
}

// Every window's bounds, the floats either side of them, and the nominal
// value with its neighbours, each alone in a log: the audit counts a reading
// in the report, and a setting measured, exactly where the report's own
// classification does.  The bounds of the decades from 1E3 up are floats.
TEST(LogAudit, WindowBoundsOfEverySettingAreTheReports) {
    grid nominal{};
    fill_nominal(nominal);
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const window w = window_of(nominal, p, d);
            std::vector<float> readings;
            for (double edge : {w.low, w.high, nominal.nominal[p][d]}) {
                const auto f = static_cast<float>(edge);
                readings.push_back(std::nextafter(f, 0.0f));
                readings.push_back(f);
                readings.push_back(std::nextafter(f, 2e6f));
            }
            for (float reading : readings) {
                grid g{};
                fill_nominal(g);
                capture([&](std::FILE* f) { classify(g, std::vector<float>{reading}, f); });
                std::size_t measured = 0;
                for (unsigned dd = 0; dd < decade_count; ++dd)
                    for (unsigned pp = 1; pp < positions; ++pp)
                        measured += g.count[pp][dd];
                const std::string counted = measured > 0 ? "log: 1 reading, all in the report; "
                                                         : "log: 0 of 1 readings in the report; ";
                const std::vector<std::string> lines = lines_of(audit_text(reading_text(reading)));
                ASSERT_FALSE(lines.empty());
                EXPECT_EQ(counted + std::to_string(measured) + " of 50 settings measured\n",
                          lines.back())
                    << reading_text(reading) << " Ω, near the window of position " << p
                    << ", decade 1E" << d + 1;
            }
        }
}

// Readings left out make one stretch only where no reading of the report
// stands between them.
TEST(LogAudit, StrayReadingsApartAreStretchesOfTheirOwn) {
    const std::string note = "note: nearest is the 700 Ω setting (position 7, decade 1E2), "
                             "whose window is ±0.8 Ω; ";
    const std::string summary =
        "log: 5408 of 5410 readings in the report; 50 of 50 settings measured\n";
    // 707.5 on line {0} and 707.25 on line {1}, each a stretch of its own.
    const std::string apart =
        "log:{0}: warning: 1 reading in no acceptance window, line {0}, 707.5 Ω; the report "
        "leaves it out\n"
        "log:{0}: " +
        note +
        "707.5 Ω is +1.07 % off it\n"
        "log:{1}: warning: 1 reading in no acceptance window, line {1}, 707.25 Ω; the report "
        "leaves it out\n"
        "log:{1}: " +
        note + "707.25 Ω is +1.04 % off it\n" + summary;
    const std::size_t together = ohm700.line(6), alone = ohm700.line(2);
    const struct {
        std::map<std::size_t, std::string> lines;
        std::string expected;
    } cases[] = {
        {{{together, "707.5"}, {together + 1, "707.25"}},
         numbered("log:{0}: warning: 2 readings in no acceptance window, lines {0}-{1}, from "
                  "707.25 to 707.5 Ω; the report leaves them out\n"
                  "log:{0}: " +
                      note + "their mean, 707.375 Ω, is +1.05 % off it\n" + summary,
                  {together, together + 1})},
        {{{alone, "707.5"}, {alone + 2, "707.25"}}, numbered(apart, {alone, alone + 2})},
        {{{alone, "707.5"}, {alone + 8, "707.25"}}, numbered(apart, {alone, alone + 8})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, audit_text(shipped_replacing(c.lines)));
}

// The setting of least relative deviation, either side of a setting or of
// a decade; of two settings at the same value, the one of the higher decade.
TEST(LogAudit, ReadingOutsideEveryWindowIsPlacedNearestItsSetting) {
    const struct {
        const char* reading;
        const char* nearest;
        const char* window;
        const char* off;
    } cases[] = {
        {"8", "the 10 Ω setting (position 1, decade 1E1)", "0.1", "-20.0 %"},
        {"94", "the 90 Ω setting (position 9, decade 1E1)", "0.1", "+4.44 %"},
        {"96", "the 100 Ω setting (position 1, decade 1E2)", "0.8", "-4.00 %"},
        {"145", "the 200 Ω setting (position 2, decade 1E2)", "0.8", "-27.5 %"},
        {"105", "the 100 Ω setting (position 1, decade 1E2)", "0.8", "+5.00 %"},
        {"960", "the 1000 Ω setting (position 1, decade 1E3)", "8", "-4.00 %"},
        {"1050", "the 1000 Ω setting (position 1, decade 1E3)", "8", "+5.00 %"},
        {"1040", "the 1000 Ω setting (position 1, decade 1E3)", "8", "+4.00 %"},
        {"10500", "the 10000 Ω setting (position 1, decade 1E4)", "80", "+5.00 %"},
        {"155000", "the 200000 Ω setting (position 2, decade 1E5)", "800", "-22.5 %"},
        {"1500000", "the 1000000 Ω setting (position 10, decade 1E5)", "800", "+50.0 %"},
    };
    const std::size_t line = shipped_last_line + 1;
    const std::string warning =
        numbered("log:{0}: warning: 1 reading in no acceptance window, line {0}, ", {line});
    const std::string note =
        numbered(" Ω; the report leaves it out\nlog:{0}: note: nearest is ", {line});
    for (const auto& c : cases) {
        const std::string reading = c.reading;
        std::string expected = warning;
        expected += reading;
        expected += note;
        expected += c.nearest;
        expected += ", whose window is ±";
        expected += c.window;
        expected += " Ω; ";
        expected += reading;
        expected += " Ω is ";
        expected += c.off;
        expected += " off it\nlog: 5410 of 5411 readings in the report; 50 of 50 settings "
                    "measured\n";
        EXPECT_EQ(expected, audit_text(file_text(shipped_log_path()) + reading + "\n"));
    }
}

// 300 ohm readings amid the 20 kohm run, each a stretch of its own before
// the 300 ohm run: the first three stretches are named, the rest counted.
TEST(LogAudit, SettingFromManyStretchesNamesTheFirstThree) {
    const std::size_t line = kohm20.line(809); // and every 1000th line after it
    const std::string setting =
        numbered("log:{0}: warning: the 300 Ω setting (position 3, decade 1E2) ", {line});
    const std::string end = "; the report averages them together\n";
    const struct {
        std::size_t strays;
        const char* expected;
    } cases[] = {
        {1, "takes its 17 readings from 2 stretches of the log, lines {0} and {4}-{5}"},
        {2, "takes its 18 readings from 3 stretches of the log, lines {0}, {1} and {4}-{5}"},
        {3, "takes its 19 readings from 4 stretches of the log, lines {0}, {1}, {2} and 1 more"},
        {4, "takes its 20 readings from 5 stretches of the log, lines {0}, {1}, {2} and 2 more"},
    };
    for (const auto& c : cases) {
        std::map<std::size_t, std::string> strays;
        for (std::size_t i = 0; i < c.strays; ++i)
            strays[line + 1000 * i] = "300.0066";
        const std::vector<std::string> lines = lines_of(audit_text(shipped_replacing(strays)));
        ASSERT_FALSE(lines.empty());
        std::string expected = setting;
        expected += numbered(
            c.expected, {line, line + 1000, line + 2000, line + 3000, ohm300.first, ohm300.last});
        expected += end;
        EXPECT_EQ(expected, lines[0]);
    }
}

// Readings outside every window, alternately near 100 ohm and below zero,
// each a warning of its own after the shipped log.
TEST(LogAudit, WarningsPastTwentyAreCountedInOneNote) {
    const struct {
        std::size_t warnings;
        std::string more; // the line before the summary
    } cases[] = {
        {19, at(shipped_last_line + 19) + "note: nearest is"},
        {20, at(shipped_last_line + 20) + "warning: 1 reading of zero or less"},
        {21, "log: note: 1 more warning not shown"},
        {22, "log: note: 2 more warnings not shown"},
    };
    for (const auto& c : cases) {
        std::string log = file_text(shipped_log_path());
        for (std::size_t i = 0; i < c.warnings; ++i)
            log += i % 2 == 0 ? "123.4\n" : "-1\n";
        const audit_result result = audit(log);
        EXPECT_EQ(c.warnings, result.warnings);
        const std::vector<std::string> lines = lines_of(result.text);
        std::size_t shown = 0;
        for (const std::string& line : lines)
            shown += line.find(": warning: ") != std::string::npos;
        EXPECT_EQ(std::min<std::size_t>(c.warnings, 20), shown) << c.warnings;
        ASSERT_LE(2u, lines.size());
        EXPECT_TRUE(lines[lines.size() - 2].starts_with(c.more))
            << c.warnings << ": " << lines[lines.size() - 2];
    }
}

// The note of a setting without readings names the first stretch left out
// near it, for being off its window; not a reading at its nominal value,
// nor readings nearer another setting.
TEST(LogAudit, SettingWithoutReadingsIsNearestTheFirstStretchOffItsWindow) {
    const std::string missing = "log: warning: no readings for the 50 Ω setting";
    const struct {
        std::vector<std::string> lines; // in place of the 50 ohm run, from line {0} on
        const char* note;
    } cases[] = {
        {{"50.4", "-1", "49.6"}, "log:{0}: note: line {0} comes nearest it, +8000 ppm off"},
        {{"50", "49.6", "-1", "50.4"}, "log:{1}: note: line {1} comes nearest it, -8000 ppm off"},
        {{"60.4", "50.4", "50.3", "-1", "49.6"},
         "log:{1}: note: lines {1}-{2} come nearest it, +7000 ppm off"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numbered(c.note, {ohm50.first, ohm50.line(1), ohm50.line(2)}) +
                      ", outside its window of ±0.1 Ω\n",
                  line_after(audit_text(shipped_with(ohm50.first, ohm50.last, c.lines)), missing));
}
