// A log set beside the box's earlier calibrations: the points each setting
// gets, the results file's history columns read back, and what the build
// says of it.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/stats.h"
#include "base/calendar.h"
#include "base/text_format.h"
#include "history/assemble.h"
#include "history/earlier_results.h"
#include "history/history_summary.h"
#include "judgement/conformity.h"
#include "log/log_reader.h"
#include "results/page_parts.h"
#include "results/results.h"
#include "results_file/columns.h"

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
    e.settings[p300][d300] = {2, mean, u_mean, u_c};
    return e;
}

// The 300 ohm setting now, at 2026-12-08, and two and one years before
// (730 and 365 days: t = −2s and −s, s = 365/365.25 years).  The earlier
// file A was judged, with its own zero: 20 ppm, u_c = 5 ppm; B was not,
// reads 300.0075 Ω with identical readings (s/√n = 0), and A reads
// 300.0072 Ω with s/√n = 2 ppm.  Now: 300.0060 Ω, s/√n = 2 ppm; judged
// against the file below, d = 3 mΩ (10 ppm), u_c = 5 ppm.
struct assembled {
    this_calibration now;
    log_judgement judged;
    std::vector<earlier_results> files;
};

assembled three_calibrations() {
    assembled a;
    a.now.log = "now.txt";
    a.now.date = 2026y / December / 8;
    a.now.nominal[p300][d300] = 300;
    a.now.settings[p300][d300] = {2, 300.0060, 2};
    tolerance_error fault;
    EXPECT_TRUE(read_tolerance("tolerance = 0.01 %\nzero = 0.003 ohm\nother = 0.0012 ohm\n"
                               "meter 1000 = 0 ppm + 1.8 ppm\nmeter k = 2\n"
                               "rule = simple\ninterval = 6 months\n",
                               a.judged.data, fault))
        << fault.what;
    judgement& j = a.judged.settings[p300][d300];
    j.outcome = verdict::pass;
    j.nominal = 300;
    j.deviation = 0.003;
    j.u_c = 0.0015;
    a.files = {earlier(2024y / December / 8, 300.0072, 5, 2),
               earlier(2025y / December / 8, 300.0075, none, 0)};
    a.files[0].settings[p300][d300].judged_deviation_ppm = 20;
    return a;
}

constexpr double s_years = 365 / 365.25; // a year of 365 days
constexpr double r_due = 182.0 / 365;    // the due date, 182 days on, in those

} // namespace

// With the tolerance file every point carries Type B: A its u_c (5), B
// s/√n with this file's Type B: the meter's 1.8 ppm of the 1 kΩ range over
// k = 2, 0.9 mΩ = 3 ppm of 300 Ω, and 1.2 mΩ = 4 ppm of "other":
// √(0² + 3² + 4²) = 5; now its u_c (5).  A keeps the zero it was judged
// with (x = 20); B takes this file's, 3 mΩ = 10 ppm: 25 − 10 = 15.  Points
// (−2s, 20), (−s, 15), (0, 10) lie on one line, a = 10, b = −5/s, χ² = 0.
// With w = 1/25 each the mean time is −s: Σw(t − t̄)² = 2s²/25, so
// var b = 25/(2s²); Σw = 3/25, var a = 25/3 + s²·var b = 25/3 + 12.5,
// cov = 12.5/s.  At the due date t = r·s: u² = 25/3 + 12.5 (1 + r)².
TEST(BoxHistory, EveryPointOfASettingCarriesTypeBAndItsCalibrationsZero) {
    const assembled a = three_calibrations();
    const history_results h = make_history(a.now, &a.judged, a.files);
    ASSERT_EQ(3u, h.calibrations.size());
    EXPECT_EQ("2024-12-08.csv", h.calibrations[0].file);
    EXPECT_EQ(2027y / June / 8, h.due);
    const setting_history& s = h.settings[p300][d300];
    ASSERT_EQ(3u, s.points.size());
    const struct {
        double t, x, u;
        u_source from;
        zero_source zero;
    } expected[] = {
        {-2 * s_years, 20, 5, u_source::combined, zero_source::own},
        {-s_years, 15, 5, u_source::mean_and_b, zero_source::this_file},
        {0, 10, 5, u_source::combined, zero_source::this_file},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(expected[i].t, s.points[i].at.t) << i;
        EXPECT_NEAR(expected[i].x, s.points[i].at.x, 1e-9) << i;
        EXPECT_NEAR(expected[i].u, s.points[i].at.u, 1e-12) << i;
        EXPECT_EQ(expected[i].from, s.points[i].from) << i;
        EXPECT_EQ(expected[i].zero, s.points[i].zero) << i;
    }
    EXPECT_NEAR(-5, s.change, 1e-9);
    EXPECT_NEAR(std::sqrt(50.0), s.u_change, 1e-12);
    ASSERT_TRUE(s.line);
    EXPECT_EQ(3u, s.line->m);
    EXPECT_NEAR(10, s.line->a, 1e-9);
    EXPECT_NEAR(-5 / s_years, s.line->b, 1e-9);
    EXPECT_NEAR(25 / (2 * s_years * s_years), s.line->var_b, 1e-9);
    EXPECT_NEAR(10 - 5 * r_due, s.predicted, 1e-9);
    EXPECT_NEAR(std::sqrt(25.0 / 3 + 12.5 * (1 + r_due) * (1 + r_due)), s.u_predicted, 1e-9);
    EXPECT_DOUBLE_EQ(100, s.tolerance);
    EXPECT_EQ(outlook::stays, s.out);
}

// The History section's table of calibrations: where each one's point took
// its u and its zero from, this file's zero (3 mΩ) named with it.
TEST(BoxHistory, PageNamesWhereEachCalibrationsPointTookItsUAndZero) {
    const char* const expected[] = {
        "<tr><td>2024-12-08</td><td>2024-12-08.csv</td><td>Box 4711, serial &quot;A&quot;</td>"
        "<td>1</td><td>u<sub>c</sub> as judged (1)</td><td>as judged (1)</td></tr>",
        "<tr><td>2025-12-08</td><td>2025-12-08.csv</td><td>Box 4711, serial &quot;A&quot;</td>"
        "<td>1</td><td>s/√n with this file's Type B (1)</td><td>this file's, 3 mΩ (1)</td></tr>",
        "<tr><td>2026-12-08</td><td>this calibration</td><td></td><td>1</td><td>u<sub>c</sub> as "
        "judged (1)</td><td>this file's, 3 mΩ (1)</td></tr>",
    };
    const assembled a = three_calibrations();
    const std::string page = page_parts::history_section(make_history(a.now, &a.judged, a.files));
    const std::string head = "<th>zero</th></tr></thead><tbody>\n";
    const std::size_t from = page.find(head) + head.size();
    std::vector<std::string> rows;
    for (std::size_t at = from, end; (end = page.find('\n', at)) < page.find("</tbody>", from);
         at = end + 1)
        rows.push_back(page.substr(at, end - at));
    EXPECT_EQ(std::vector<std::string>(std::begin(expected), std::end(expected)), rows);
}

// Without a tolerance file no point has a zero subtracted or Type B: A is
// 300.0072 Ω, 24 ppm, u = 2; B 25 ppm with u = 0, drawn but not fitted;
// now 20 ppm, u = 2.  The line runs through A and now alone: a = 20,
// b = −4/(2s) = −2/s.  The build names B's file and the setting.
TEST(BoxHistory, WithoutToleranceAPointWithUZeroIsDrawnButNotFitted) {
    const assembled a = three_calibrations();
    const history_results h = make_history(a.now, nullptr, a.files);
    const setting_history& s = h.settings[p300][d300];
    ASSERT_EQ(3u, s.points.size());
    const double x[] = {24, 25, 20}, u[] = {2, 0, 2};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(x[i], s.points[i].at.x, 1e-9) << i;
        EXPECT_EQ(u[i], s.points[i].at.u) << i;
        EXPECT_EQ(u_source::of_mean, s.points[i].from) << i;
        EXPECT_EQ(zero_source::none, s.points[i].zero) << i;
    }
    EXPECT_NEAR(-5, s.change, 1e-9);
    EXPECT_EQ(2, s.u_change);
    ASSERT_TRUE(s.line);
    EXPECT_EQ(2u, s.line->m);
    EXPECT_NEAR(20, s.line->a, 1e-9);
    EXPECT_NEAR(-2 / s_years, s.line->b, 1e-9);
    EXPECT_FALSE(s.out);
    EXPECT_NE(std::string::npos,
              history_summary(h, "now.txt")
                  .find("now.txt: note: 2025-12-08.csv: the 300 Ω setting (position 3, decade "
                        "1E2): drawn but not fitted: u = 0\n"))
        << history_summary(h, "now.txt");
}

// The history's columns, the item quoted as RFC 4180 quotes it, and a
// results file that this program reads back as it wrote it.
TEST(BoxHistory, ResultsFileCarriesTheHistoryAndReadsBack) {
    log_results results = dated_results();
    const earlier_results files[] = {earlier(2025y / December / 8, 300.0031, 1, none)};
    results.history = make_history(history_input(results, "now.txt"), &*results.judged, files);
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
    EXPECT_EQ(deviation_ppm(results.judged->settings[p300][d300]),
              back.settings[p300][d300].judged_deviation_ppm);
    EXPECT_EQ(1u, back.settings[3][0].count);
    EXPECT_TRUE(std::isnan(back.settings[3][0].u_mean_ppm));
}

namespace {

// A setting's history as the summary reads it.
setting_history with_outlook(outlook out, double predicted, double u, double tolerance) {
    setting_history s;
    s.points = {{0, {-1, 1, 1}, u_source::combined}, {1, {0, 2, 1}, u_source::combined}};
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
    h.settings[5][0].points = {{1, {0, 2, 1}, u_source::combined}};
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
    // Of two changes of one size, the first setting in the build's order;
    // a later setting of a smaller drift leaves the largest named.
    h.settings[3][1] = h.settings[1][1];
    h.settings[3][1].change = 3;
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
        page.find("<p class=\"summary\">Expected outside the tolerance before 2027-03-02: 30 Ω "
                  "(position 3, decade 1E1). May be outside the tolerance before 2027-03-02: 20 Ω "
                  "(position 2, decade 1E1). The drift supports an interval of 7 months.</p>"))
        << page;
    std::size_t charts = 0;
    for (std::size_t at = 0; (at = page.find("<figure", at)) != std::string::npos; ++at)
        ++charts;
    EXPECT_EQ(2u, charts);
}

// The statement for each case: a setting leaves, one may leave, all stay,
// no setting has both a line and a tolerance, and the interval at its
// shortest and longest.
TEST(BoxHistory, PageStatementForEachOutlook) {
    const struct {
        outlook out;
        std::optional<int> months;
        const char* statement;
    } cases[] = {
        {outlook::leaves, 7,
         "Expected outside the tolerance before 2027-03-02: 20 Ω (position 2, decade 1E1). The "
         "drift supports an interval of 7 months."},
        {outlook::may_leave, 7,
         "May be outside the tolerance before 2027-03-02: 20 Ω (position 2, decade 1E1). The "
         "drift supports an interval of 7 months."},
        {outlook::stays, 7,
         "Every setting with a drift line and a tolerance is expected to stay within it until "
         "2027-03-02. The drift supports an interval of 7 months."},
        {outlook::stays, std::nullopt,
         "No setting has both a drift line and a tolerance: no interval follows from the drift."},
        {outlook::may_leave, 0,
         "May be outside the tolerance before 2027-03-02: 20 Ω (position 2, decade 1E1). The "
         "drift supports no interval: a setting may leave its tolerance within a month."},
        {outlook::stays, 60,
         "Every setting with a drift line and a tolerance is expected to stay within it until "
         "2027-03-02. The drift supports an interval of 60 months or more."},
    };
    for (const auto& c : cases) {
        history_results h = summed_up();
        h.settings[2][0] = with_outlook(c.out, 90, 5, 100);
        h.supported_months = c.months;
        const std::string page = page_parts::history_section(h);
        const std::size_t at = page.find("<p class=\"summary\">");
        EXPECT_EQ(std::string("<p class=\"summary\">") + c.statement + "</p>",
                  page.substr(at, page.find('\n', at) - at));
    }
}

namespace {

// A results file of the columns `names`, in that order, each field found
// by its column's name: the 300 ohm setting read twice, no other setting
// read, dated 2025-12-08.  "remark" is a column this program never wrote.
std::string results_file(const std::vector<std::string>& names, const char* end = "\r\n") {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ",") + name;
    text += end;
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const bool read = p == p300 && d == d300;
            const std::vector<std::pair<std::string, std::string>> fields = {
                {"position", std::to_string(p)},
                {"decade", "1E" + std::to_string(d + 1)},
                {"nominal_ohm", std::to_string(p * std::llround(std::pow(10, d + 1)))},
                {"count", read ? "2" : "0"},
                {"mean_ohm", read ? "300.0075" : ""},
                {"u_mean_ppm", read ? "3" : ""},
                {"date", "2025-12-08"},
                {"remark", "\"kept, not read\""}};
            std::string row;
            for (const std::string& name : names)
                for (const auto& [key, value] : fields)
                    if (key == name)
                        row += (row.empty() ? "" : ",") + value;
            text += row + end;
        }
    return text;
}

const std::vector<std::string> written = {"position", "decade",     "nominal_ohm", "count",
                                          "mean_ohm", "u_mean_ppm", "date"};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

nominal_grid& nominal_values() {
    static double values[positions][decade_count];
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            values[p][d] = p * std::pow(10, d + 1);
    return values;
}

} // namespace

// A file is read by its header's names: the columns in another order, one
// this program does not know, a byte-order mark and LF line ends read the
// same as the file this program writes.
TEST(EarlierResults, ReadsByTheHeadersNames) {
    const std::vector<std::string> shuffled = {"date",     "remark", "u_mean_ppm",  "count",
                                               "mean_ohm", "decade", "nominal_ohm", "position"};
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"as written", results_file(written)},
        {"shuffled, with a column it does not know", results_file(shuffled)},
        {"byte-order mark", "\xEF\xBB\xBF" + results_file(written)},
        {"LF", results_file(written, "\n")},
    };
    for (const auto& c : cases) {
        earlier_results read;
        std::string error;
        ASSERT_TRUE(read_earlier_results("a.csv", c.text, nominal_values(), read, error))
            << c.what << ": " << error;
        EXPECT_EQ(2025y / December / 8, read.date) << c.what;
        EXPECT_EQ(2u, read.settings[p300][d300].count) << c.what;
        EXPECT_EQ(300.0075, read.settings[p300][d300].mean) << c.what;
        EXPECT_EQ(3, read.settings[p300][d300].u_mean_ppm) << c.what;
        EXPECT_TRUE(std::isnan(read.settings[p300][d300].u_c_ppm)) << c.what;
    }
}

// The 300 ohm setting's row is line 13.
TEST(EarlierResults, EachFaultNamesTheFileAndTheLine) {
    const std::string good = results_file(written);
    const struct {
        std::string text;
        const char* said;
    } cases[] = {
        {replaced(good, "300.0075", "\"300.0075"), "a.csv:13: a quote that is never closed\n"},
        {replaced(good, "300.0075", "\"300.0075\"5"), "a.csv:13: text after a closing quote\n"},
        {replaced(good, "300.0075", "300\"0075"),
         "a.csv:13: a quote inside a field that does not start with one\n"},
        {replaced(good, ",2,300.0075", ",2.5,300.0075"),
         "a.csv:13: count '2.5' is not a whole number\n"},
        {replaced(good, ",2,300.0075", ",2,"), "a.csv:13: no mean_ohm where count is 2\n"},
        {replaced(good, "300.0075", "300.0075 ohm"),
         "a.csv:13: mean_ohm '300.0075 ohm' is not a number\n"},
        {replaced(good, "10,1E5,", "11,1E5,"),
         "a.csv:51: no setting at position '11', decade '1E5'\n"},
        {replaced(good, "10,1E5,", "10,1E6,"),
         "a.csv:51: no setting at position '10', decade '1E6'\n"},
        {replaced(good, ",300.0075,", ",300.0075,,"),
         "a.csv:13: 8 fields where the header has 7\n"},
        {results_file({"position", "decade", "nominal_ohm", "mean_ohm", "date"}),
         "a.csv:1: no column 'count': not a results file of this program, which writes one\n"},
        {results_file({"position", "decade", "nominal_ohm", "count", "mean_ohm"}),
         "a.csv:1: no column 'date': the file was written before results files gave the "
         "calibration's date; add a column named date that gives it, YYYY-MM-DD, in every row\n"},
    };
    for (const auto& c : cases) {
        earlier_results read;
        std::string error;
        EXPECT_FALSE(read_earlier_results("a.csv", c.text, nominal_values(), read, error));
        EXPECT_EQ(c.said, error);
    }
}

namespace {

// A folder of its own under the test's working folder, removed after.
struct folder {
    std::filesystem::path path;
    explicit folder(const char* name) : path(std::filesystem::current_path() / name) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

} // namespace

// Files are taken by date, whatever their names; .CSV counts as .csv; an
// item named on one side only is a warning that names the file; a file
// larger than 1 MiB is refused.
TEST(EarlierResults, HistoryIsOrderedByDateAndWarnsOfAnItemOnOneSide) {
    const folder f("history-by-date");
    const std::string later = results_file(written);
    f.write("a.csv", later);
    // Earlier, though named later, and naming the log's item, which a.csv
    // does not.
    std::vector<std::string> with_item = written;
    with_item.push_back("remark");
    f.write("B.CSV", replaced(replaced(replaced(results_file(with_item), "remark", "item"),
                                       "\"kept, not read\"", "Box 4711"),
                              "2025-12-08", "2024-12-08"));
    const std::string paths[] = {f.path.string()};
    earlier_calibrations read;
    std::string error;
    ASSERT_TRUE(
        read_history(paths, 2026y / December / 8, "Box 4711", nominal_values(), read, error))
        << error;
    ASSERT_EQ(2u, read.files.size());
    EXPECT_EQ(2024y / December / 8, read.files[0].date);
    EXPECT_TRUE(read.files[0].file.ends_with("B.CSV"));
    EXPECT_EQ(file_line((f.path / "a.csv").string(), 2) +
                  "warning: names no item, the log names 'Box 4711': is it the same box?\n",
              read.warnings);
    f.write("c.csv", std::string((1 << 20) + 1, '\n'));
    EXPECT_FALSE(read_history(paths, 2026y / December / 8, "", nominal_values(), read, error));
    EXPECT_EQ(file_line((f.path / "c.csv").string(), 0) +
                  "cannot read the results file: larger than 1 MiB\n",
              error);
}
