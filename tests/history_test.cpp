// A box's history: dates, the calibration's record in the log's heading,
// and the drift of a setting over its calibrations.
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/calendar.h"
#include "base/text_format.h"
#include "history/drift.h"
#include "log/calibration_record.h"

namespace {

std::string read_back(const std::string& text) {
    std::chrono::year_month_day date{std::chrono::year{1999}, std::chrono::month{9},
                                     std::chrono::day{9}};
    std::string fault;
    return read_date(text, date, fault) ? date_text(date) : fault;
}

std::chrono::year_month_day date_of(const char* text) {
    std::chrono::year_month_day date;
    std::string fault;
    EXPECT_TRUE(read_date(text, date, fault)) << fault;
    return date;
}

} // namespace

TEST(HistoryDate, OnlyAnExistingDateInTheOneFormReads) {
    const struct {
        const char* text;
        const char* expected;
    } dates[] = {
        {"2026-03-01", "2026-03-01"},
        {"2024-02-29", "2024-02-29"},
        {"2000-02-29", "2000-02-29"},
        {"1900-02-29", "date 1900-02-29 does not exist"},
        {"2026-02-30", "date 2026-02-30 does not exist"},
        {"2026-04-31", "date 2026-04-31 does not exist"},
        {"2026-13-01", "date 2026-13-01 does not exist"},
        {"2026-00-10", "date 2026-00-10 does not exist"},
        {"2026-01-00", "date 2026-01-00 does not exist"},
        {"2026-1-05", "'2026-1-05' is not a date YYYY-MM-DD"},
        {"26-01-05", "'26-01-05' is not a date YYYY-MM-DD"},
        {"2026/01/05", "'2026/01/05' is not a date YYYY-MM-DD"},
        {"2026-01-05T10:00", "'2026-01-05T10:00' is not a date YYYY-MM-DD"},
        {"2026-01-05 ", "'2026-01-05 ' is not a date YYYY-MM-DD"},
        {"+2026-01-05", "'+2026-01-05' is not a date YYYY-MM-DD"},
        {"", "'' is not a date YYYY-MM-DD"},
    };
    for (const auto& d : dates)
        EXPECT_EQ(d.expected, read_back(d.text)) << d.text;
}

TEST(HistoryDate, MonthsAddedClampTheDayToTheMonthsLast) {
    const struct {
        const char* from;
        int months;
        const char* expected;
    } sums[] = {
        {"2024-01-31", 1, "2024-02-29"},  {"2025-01-31", 1, "2025-02-28"},
        {"2025-08-31", 1, "2025-09-30"},  {"2025-12-15", 1, "2026-01-15"},
        {"2024-02-29", 12, "2025-02-28"}, {"2024-02-29", 48, "2028-02-29"},
        {"2026-03-31", 0, "2026-03-31"},  {"2024-03-31", -1, "2024-02-29"},
    };
    for (const auto& s : sums)
        EXPECT_EQ(s.expected, date_text(plus_months(date_of(s.from), s.months)))
            << s.from << " + " << s.months;
}

TEST(HistoryDate, YearsAreDaysOver365_25) {
    EXPECT_EQ(29, days_between(date_of("2024-02-01"), date_of("2024-03-01")).count());
    EXPECT_EQ(-365, days_between(date_of("2026-03-01"), date_of("2025-03-01")).count());
    EXPECT_DOUBLE_EQ(-730 / 365.25, years_between(date_of("2026-03-01"), date_of("2024-03-01")));
}

namespace {

// The record as "key@line=value" for each field, then "|line text" for each
// free line; or the diagnostic.
std::string record_of(const std::vector<heading_line>& heading) {
    calibration_record record;
    record_error error;
    if (!read_record(heading, record, error))
        return record_diagnostic("log.txt", error);
    std::string text;
    for (const record_field& f : record.fields)
        text += format("%s@%zu=%s; ", key_name(f.key), f.line, f.value.c_str());
    text += record.date ? "date " + date_text(*record.date) : "no date";
    for (const heading_line& l : record.free_lines)
        text += format(" |%zu %s", l.line, l.text.c_str());
    return text;
}

} // namespace

TEST(HistoryRecord, FieldsInTheKeysOrderAndTheRestAsFreeLines) {
    EXPECT_EQ("item@4=Box 4711, serial 0815; date@2=2026-03-01; operator@7=A. N. Other; "
              "temperature@8=23.0 C: steady; certificate@9=K-17/2026; date 2026-03-01 "
              "|1 Box 4711 after repair |5 30 ohm: three readings |6 note: date: 2026-02-30",
              record_of({{1, "Box 4711 after repair"},
                         {2, "DATE: 2026-03-01"},
                         {4, "Item :\tBox 4711, serial 0815"},
                         {5, "30 ohm: three readings"},
                         {6, "note: date: 2026-02-30"},
                         {7, "operator: A. N. Other"},
                         {8, "Temperature:23.0 C: steady"},
                         {9, "certificate: K-17/2026"}}));
    EXPECT_EQ("no date |1 Bench log of the box", record_of({{1, "Bench log of the box"}}));
}

TEST(HistoryRecord, EachFaultNamesItsLine) {
    // The faulty line follows a first line "item: Box 4711": line 2.
    const struct {
        const char* line;
        const char* expected;
    } faults[] = {
        {"date: 2026-02-30", "2: date 2026-02-30 does not exist"},
        {"Date: 2026-13-01", "2: date 2026-13-01 does not exist"},
        {"date: 1 March 2026", "2: '1 March 2026' is not a date YYYY-MM-DD"},
        {"date: 2026-03-01 morning", "2: '2026-03-01 morning' is not a date YYYY-MM-DD"},
        {"ITEM: Box 4712", "2: item given twice, first on line 1"},
        {"customer:", "2: customer has no value"},
        {"date: \t", "2: date has no value"},
    };
    for (const auto& f : faults)
        EXPECT_EQ("log.txt:" + std::string(f.expected) + "\n",
                  record_of({{1, "item: Box 4711"}, {2, f.line}, {3, "date: 2026-03-01"}}));
    EXPECT_EQ("log.txt:9: date given twice, first on line 3\n",
              record_of({{3, "date: 2026-03-01"}, {9, "date: 2026-03-01"}}));
}

// Three calibrations two years, one year and no time ago, worked by hand.
//   t = −2, −1, 0;  x = 1, 4, 5 ppm;  u = 1, 0.5, 1 ppm, so w = 1/u² = 1, 4, 1.
//   S = Σw = 6, St = Σwt = −6, Stt = Σwt² = 8, Sx = Σwx = 22, Stx = Σwtx = −18,
//   D = S·Stt − St² = 48 − 36 = 12.
//   b = (S·Stx − St·Sx)/D = (−108 + 132)/12 = 2,  a = (Stt·Sx − St·Stx)/D = (176 − 108)/12 = 17/3.
//   var a = Stt/D = 2/3, var b = S/D = 1/2, cov = −St/D = 1/2.
//   Residuals x − a − b·t = −2/3, 1/3, −2/3, so χ² = 4/9 + 4·1/9 + 4/9 = 4/3;
//   χ²/(m − 2) = 4/3 > 1 scales them: var a = 8/9, var b = 2/3, cov = 2/3.
//   At t = 1: 17/3 + 2 = 23/3, u² = 8/9 + 2/3 + 2·2/3 = 26/9.
TEST(HistoryDrift, ScatterBeyondTheUncertaintiesWidensTheLine) {
    const drift_point points[] = {{-2, 1, 1}, {-1, 4, 0.5}, {0, 5, 1}};
    const std::optional<drift_line> line = fit_drift(points);
    ASSERT_TRUE(line);
    EXPECT_EQ(3u, line->m);
    EXPECT_DOUBLE_EQ(17.0 / 3, line->a);
    EXPECT_DOUBLE_EQ(2, line->b);
    EXPECT_DOUBLE_EQ(4.0 / 3, line->chi2);
    EXPECT_DOUBLE_EQ(4.0 / 3, line->scale);
    EXPECT_DOUBLE_EQ(8.0 / 9, line->var_a);
    EXPECT_DOUBLE_EQ(2.0 / 3, line->var_b);
    EXPECT_DOUBLE_EQ(2.0 / 3, line->cov_ab);
    const prediction at_one = predict(*line, 1);
    EXPECT_DOUBLE_EQ(23.0 / 3, at_one.x);
    EXPECT_DOUBLE_EQ(std::sqrt(26.0) / 3, at_one.u);
}

// The same points with twice the uncertainties, so w = 1/4, 1, 1/4:
//   S = 3/2, St = −3/2, Stt = 2, Sx = 11/2, Stx = −9/2, D = 3 − 9/4 = 3/4.
//   b = (−27/4 + 33/4)/(3/4) = 2,  a = (11 − 27/4)/(3/4) = 17/3: the same line.
//   var a = 8/3, var b = 2, cov = 2; χ² = 1/9 + 1/9 + 1/9 = 1/3 < 1 leaves them be.
//   At t = 1: u² = 8/3 + 2 + 2·2 = 26/3.
TEST(HistoryDrift, ScatterWithinTheUncertaintiesLeavesThemBe) {
    const drift_point points[] = {{-2, 1, 2}, {-1, 4, 1}, {0, 5, 2}};
    const std::optional<drift_line> line = fit_drift(points);
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(17.0 / 3, line->a);
    EXPECT_DOUBLE_EQ(2, line->b);
    EXPECT_DOUBLE_EQ(1.0 / 3, line->chi2);
    EXPECT_DOUBLE_EQ(1, line->scale);
    EXPECT_DOUBLE_EQ(8.0 / 3, line->var_a);
    EXPECT_DOUBLE_EQ(2, line->var_b);
    EXPECT_DOUBLE_EQ(2, line->cov_ab);
    EXPECT_DOUBLE_EQ(std::sqrt(26.0 / 3), predict(*line, 1).u);
}

constexpr double no_u = std::numeric_limits<double>::quiet_NaN();

TEST(HistoryDrift, OnlyPointsWithAnUncertaintyAtTwoTimesMakeALine) {
    // Without u, with u = 0, or at one time: no line.
    const drift_point one_usable[] = {{-1, 1, 1}, {0, 3, no_u}, {-2, 7, 0}};
    EXPECT_FALSE(fit_drift(one_usable));
    const drift_point one_time[] = {{0, 1, 1}, {0, 3, 1}};
    EXPECT_FALSE(fit_drift(one_time));
    // Two points among others: the line through them, never scaled.  From
    // (−1, 1) to (0, 3): a = 3, b = 2; var b = 1/Σw(t − t̄)² = 1/(1/2) = 2.
    const drift_point two[] = {{-1, 1, 1}, {-2, 100, no_u}, {-3, 50, 0}, {0, 3, 1}};
    const std::optional<drift_line> line = fit_drift(two);
    ASSERT_TRUE(line);
    EXPECT_EQ(2u, line->m);
    EXPECT_DOUBLE_EQ(3, line->a);
    EXPECT_DOUBLE_EQ(2, line->b);
    EXPECT_DOUBLE_EQ(2, line->var_b);
    EXPECT_DOUBLE_EQ(1, line->scale);
}

TEST(HistoryDrift, ChangeSinceThePreviousCalibration) {
    const change c = change_since({0, 5, 0.3}, {-1, 1, 0.4});
    EXPECT_DOUBLE_EQ(4, c.x);
    EXPECT_DOUBLE_EQ(0.5, c.u);
    EXPECT_TRUE(std::isnan(change_since({0, 5, 0.3}, {-1, 1, no_u}).u));
    EXPECT_TRUE(std::isnan(change_since({0, 5, no_u}, {-1, 1, 0.4}).u));
}

TEST(HistoryDrift, OutlookAtItsEdges) {
    // Against T = 10 ppm, with U = 2u.
    const struct {
        double x, u;
        const char* expected;
    } cases[] = {
        {6, 2, "stays"},      {-6, 2, "stays"},      {10, 0, "stays"},    {6.5, 2, "may leave"},
        {14, 2, "may leave"}, {-14, 2, "may leave"}, {14.5, 2, "leaves"}, {-10.5, 0, "leaves"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, outlook_word(outlook_of({c.x, c.u}, 10))) << c.x << " " << c.u;
}

// Over the interval the worse end decides: a line outside its tolerance
// today leaves, though it is back inside by the due date, and one inside
// today leaves if it is outside by then.
TEST(HistoryDrift, OutlookOverTheIntervalTakesTheWorseEnd) {
    const drift_line coming_back{.a = 12, .b = -10};
    const interval_outlook back = outlook_over(coming_back, 1, 10);
    EXPECT_EQ(outlook::leaves, back.out);
    EXPECT_FALSE(back.at_due);
    const interval_outlook going = outlook_over({.a = 2, .b = 10}, 1, 10);
    EXPECT_EQ(outlook::leaves, going.out);
    EXPECT_TRUE(going.at_due);
}

TEST(HistoryDrift, SupportedIntervalCountsCalendarMonths) {
    const std::chrono::year_month_day date = date_of("2024-01-31");
    // 1 ppm a day: 29 ppm at 2024-02-29, 60 at 2024-03-31, 90 at 2024-04-30.
    const drift_line per_day{.b = days_per_year};
    const drift_line still{};
    // No drift, but a drift of u(b) = half a ppm a day: 2u is 1 ppm a day.
    const drift_line unsure{.var_b = days_per_year * days_per_year / 4};
    // Outside T = 10 today, inside from about two months on.
    const drift_line coming_back{.a = 12, .b = -0.1 * days_per_year};
    const struct {
        std::vector<drift_limit> settings;
        std::optional<int> expected;
    } cases[] = {
        {{{per_day, 29.5}}, 1},
        {{{per_day, 28.5}}, 0},
        {{{unsure, 29.5}}, 1},
        {{{still, 0.001}}, longest_supported_months},
        {{{still, 0.001}, {per_day, 61}}, 2},
        {{{coming_back, 10}}, 0},
        {{{per_day, 61}, {per_day, 29.5}}, 1},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, supported_interval(date, c.settings));
}
