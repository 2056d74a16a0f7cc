// A log set beside the box's earlier calibrations: the points each setting
// gets, the results file's history columns read back, and what the build
// says of it.
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/stats.h"
#include "history/assemble.h"
#include "history/calendar.h"
#include "history/earlier_results.h"
#include "judgement/conformity.h"
#include "log/log_reader.h"
#include "results/columns.h"
#include "results/page_parts.h"
#include "results/results.h"

namespace {

using namespace std::chrono;

constexpr double none = std::numeric_limits<double>::quiet_NaN();

// The 300 ohm setting: position 3, decade 1E2.
constexpr unsigned p300 = 3, d300 = 1;

// Two readings of 300 ohms, judged against a file with a zero of 3.1 mΩ,
// T = 100 ppm and an interval of 6 months, dated 2026-12-08; 30 ohms is
// read once, nothing else at all.
log_results dated_results() {
    std::vector<float> readings;
    log_error error;
    EXPECT_TRUE(read_log("300.0036\n300.0042\n30.0001\n", readings, error));
    log_results results = evaluate(readings, {});
    log_judgement judged;
    judged.file = "box.txt";
    tolerance_error fault;
    EXPECT_TRUE(read_tolerance("tolerance = 0.01 %\nzero = 0.0031 ohm\nrule = simple\n"
                               "interval = 6 months\n",
                               judged.data, fault));
    std::string said;
    EXPECT_TRUE(judge_log(setting_inputs(results), judged, said)) << said;
    results.judged = std::move(judged);
    record_error record_fault;
    EXPECT_TRUE(read_record({{1, "item: Box 4711, serial \"A\""}, {2, "date: 2026-12-08"}},
                            results.record, record_fault));
    return results;
}

// An earlier calibration whose 300 ohm setting reads `mean`, with u_c or
// only the u of its mean.
earlier_results earlier(year_month_day date, double mean, double u_c, double u_mean) {
    earlier_results e;
    e.file = "folder/" + date_text(date) + ".csv";
    e.date = date;
    e.item = "Box 4711, serial \"A\"";
    e.settings[p300][d300] = {2, mean, u_c, u_mean};
    return e;
}

} // namespace

// Two years and one year before (730 and 365 days), 300 ohms stood about
// 10 and 5 ppm higher, zero subtracted, than it does now: a drift of −5 ppm
// in 365.25 days, which the fit gives back and carries on to the due date six
// months (182 days) on.
TEST(BoxHistory, PointsAreJudgedAlikeAndTheLineRunsThroughThisCalibration) {
    log_results results = dated_results();
    const judgement& j = results.judged->settings[p300][d300];
    const double x_now = deviation_ppm(j);
    const double u_now = relative_ppm(j.u_c, 300);
    auto mean_at = [&](double ppm) { return 300 + 0.0031 + 300 * (x_now + ppm) * 1e-6; };
    const earlier_results files[] = {
        earlier(2024y / December / 8, mean_at(5 * 730 / 365.25), u_now, none),
        earlier(2025y / December / 8, mean_at(5 * 365 / 365.25), none, u_now),
    };
    const history_results h = make_history(results, "logs/now.txt", files);
    ASSERT_EQ(3u, h.calibrations.size());
    EXPECT_EQ("2024-12-08.csv", h.calibrations[0].file);
    EXPECT_EQ("now.txt", h.calibrations[2].file);
    EXPECT_EQ(2027y / June / 8, h.due);
    const setting_history& s = h.settings[p300][d300];
    ASSERT_EQ(3u, s.points.size());
    EXPECT_DOUBLE_EQ(-730 / 365.25, s.points[0].t);
    EXPECT_NEAR(x_now + 5 * 730 / 365.25, s.points[0].x, 1e-7);
    EXPECT_EQ(u_source::combined, s.points[0].from);
    EXPECT_EQ(u_source::of_mean, s.points[1].from);
    // This calibration's x is its judged deviation to the bit.
    EXPECT_EQ(x_now, s.points[2].x);
    EXPECT_EQ(u_now, s.points[2].u);
    EXPECT_EQ(1u, s.previous);
    EXPECT_NEAR(-5 * 365 / 365.25, s.change, 1e-7);
    EXPECT_DOUBLE_EQ(std::sqrt(2) * u_now, s.u_change);
    ASSERT_TRUE(s.line);
    EXPECT_NEAR(-5, s.line->b, 1e-7);
    EXPECT_NEAR(x_now - 5 * 182 / 365.25, s.predicted, 1e-7);
    EXPECT_DOUBLE_EQ(100, s.tolerance);
    EXPECT_EQ(outlook::stays, s.out);
    // 30 ohms has one reading now and none before: a point without u, and
    // nothing more; 40 ohms has no readings.
    EXPECT_EQ(1u, h.settings[3][0].points.size());
    EXPECT_TRUE(std::isnan(h.settings[3][0].points[0].u));
    EXPECT_FALSE(h.settings[3][0].line || h.settings[3][0].previous);
    EXPECT_TRUE(h.settings[4][0].points.empty());
}

// The history's columns, the item quoted as RFC 4180 quotes it, and a
// results file that this program reads back as it wrote it.
TEST(BoxHistory, ResultsFileCarriesTheHistoryAndReadsBack) {
    log_results results = dated_results();
    const earlier_results files[] = {earlier(2025y / December / 8, 300.0031, 1, none)};
    results.history = make_history(results, "now.txt", files);
    const std::string csv = results_csv(results);
    const std::string item = "\"Box 4711, serial \"\"A\"\"\"";
    EXPECT_NE(std::string::npos, csv.find("\r\n4,1E1,40,0,,,,,,,,,0,,,,,,,,,,,," + item +
                                          ",2026-12-08,,,,,,,2027-06-08,,,\r\n"));
    EXPECT_NE(std::string::npos, csv.find(",pass," + item + ",2026-12-08,2025-12-08,"));
    earlier_results back;
    std::string error;
    ASSERT_TRUE(read_earlier_results("now.csv", csv, results.nominal, back, error)) << error;
    EXPECT_EQ("Box 4711, serial \"A\"", back.item);
    EXPECT_EQ(2026y / December / 8, back.date);
    EXPECT_EQ(results.settings[p300][d300].mean, back.settings[p300][d300].mean);
    EXPECT_EQ(relative_ppm(results.judged->settings[p300][d300].u_c, 300),
              back.settings[p300][d300].u_c_ppm);
    EXPECT_EQ(1u, back.settings[3][0].count);
    EXPECT_TRUE(std::isnan(back.settings[3][0].u_mean_ppm));
}

namespace {

// A setting's history as the summary reads it.
setting_history with_outlook(outlook out, double predicted, double u, double tolerance) {
    setting_history s;
    s.points = {{0, -1, 1, 1, u_source::combined}, {1, 0, 2, 1, u_source::combined}};
    s.previous = 0;
    s.change = 1.25;
    s.line = drift_line{};
    s.line->b = 1.5;
    s.predicted = predicted;
    s.u_predicted = u;
    s.tolerance = tolerance;
    s.out = out;
    return s;
}

history_results summed_up() {
    history_results h;
    h.calibrations = {{"a.csv", 2025y / March / 1, ""}, {"log.txt", 2026y / March / 2, ""}};
    h.due = 2027y / March / 2;
    h.supported_months = 7;
    return h;
}

} // namespace

TEST(BoxHistory, BuildNotesTheSettingsThatLeaveWorstFirst) {
    history_results h = summed_up();
    h.settings[1][0] = with_outlook(outlook::stays, 10, 1, 100);
    h.settings[2][0] = with_outlook(outlook::may_leave, 90, 5, 100);
    h.settings[3][0] = with_outlook(outlook::leaves, 120, 1, 100);
    h.settings[4][0] = with_outlook(outlook::leaves, -150, 1, 100);
    h.settings[5][0].points = {{1, 0, 2, 1, u_source::combined}};
    EXPECT_EQ(
        "log.txt: 1 earlier calibration (2025-03-01), due 2027-03-02: 5 settings measured: 1 "
        "stays, 1 may leave, 2 leave, 1 without a drift line; the drift supports an interval of 7 "
        "months\n"
        "log.txt: note: the 40 Ω setting (position 4, decade 1E1): leaves: predicted -150.0 ± "
        "2.0 ppm (2u) by 2027-03-02, T ±100.0 ppm; +1.2 ppm since 2025-03-01, drift +1.5 ppm "
        "a year\n"
        "log.txt: note: the 30 Ω setting (position 3, decade 1E1): leaves: predicted +120.0 ± "
        "2.0 ppm (2u) by 2027-03-02, T ±100.0 ppm; +1.2 ppm since 2025-03-01, drift +1.5 ppm "
        "a year\n"
        "log.txt: note: the 20 Ω setting (position 2, decade 1E1): may leave: predicted +90.0 "
        "± 10.0 ppm (2u) by 2027-03-02, T ±100.0 ppm; +1.2 ppm since 2025-03-01, drift +1.5 "
        "ppm a year\n",
        history_summary(h, "log.txt"));
    h.supported_months = 0;
    EXPECT_NE(std::string::npos,
              history_summary(h, "log.txt")
                  .find("; the drift supports no interval: a setting may leave within a month\n"));
    h.supported_months = longest_supported_months;
    EXPECT_NE(std::string::npos,
              history_summary(h, "log.txt")
                  .find("; the drift supports an interval of 60 months or more\n"));
    // More than five earlier dates are given as a span.
    for (int year = 2020; year < 2025; ++year)
        h.calibrations.insert(h.calibrations.begin() + year - 2020,
                              {"", std::chrono::year{year} / March / 1, ""});
    EXPECT_TRUE(
        history_summary(h, "log.txt")
            .starts_with("log.txt: 6 earlier calibrations (2020-03-01 to 2025-03-01), due "))
        << history_summary(h, "log.txt");
}

TEST(BoxHistory, BuildWithoutToleranceGivesTheLargestChangeAndDrift) {
    history_results h = summed_up();
    h.settings[1][0] = with_outlook(outlook::stays, 10, 1, none);
    h.settings[1][0].out.reset();
    h.settings[1][1] = h.settings[1][0];
    h.settings[1][1].change = -3;
    h.settings[2][1] = h.settings[1][0];
    h.settings[2][1].line->b = -2;
    EXPECT_EQ("log.txt: 1 earlier calibration (2025-03-01), due 2027-03-02: largest change -3.0 "
              "ppm, the 100 Ω setting (position 1, decade 1E2); largest drift -2.0 ppm a year, the "
              "200 Ω setting (position 2, decade 1E2)\n",
              history_summary(h, "log.txt"));
}

// The page's History section opens with what leaves, then what may, then
// the interval; a setting with no point at any calibration gets no chart.
TEST(BoxHistory, PageStatementOpensWithWhatLeavesThenTheInterval) {
    history_results h = summed_up();
    h.settings[2][0] = with_outlook(outlook::may_leave, 90, 5, 100);
    h.settings[3][0] = with_outlook(outlook::leaves, 120, 1, 100);
    const std::string page = page_parts::history_section(h);
    EXPECT_NE(
        std::string::npos,
        page.find("<p class=\"summary\">Expected to leave the tolerance by 2027-03-02: 30 Ω "
                  "(position 3, decade 1E1). May leave the tolerance by 2027-03-02: 20 Ω "
                  "(position 2, decade 1E1). The drift supports an interval of 7 months.</p>"))
        << page;
    std::size_t charts = 0;
    for (std::size_t at = 0; (at = page.find("<figure", at)) != std::string::npos; ++at)
        ++charts;
    EXPECT_EQ(2u, charts);
}
