// Judging a setting against the box's tolerance: the verdict of each rule
// at its edges, the coverage factor against the GUM's table, a budget
// worked by hand, and the build's summary of the verdicts.
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text_format.h"
#include "capture.h"
#include "judgement/judgement.h"
#include "judgement/tolerance_file.h"

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

tolerance_data example_data() {
    tolerance_data data;
    tolerance_error error;
    EXPECT_TRUE(read_tolerance(file_text(box_tolerance_path()), data, error)) << error.what;
    return data;
}

std::vector<std::string> bare_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(DecisionRule, VerdictsAtAndAroundEachEdge) {
    using enum verdict;
    constexpr rule_kind simple = rule_kind::simple, guarded = rule_kind::guarded,
                        nonbinary = rule_kind::nonbinary, rds = rule_kind::rds;
    constexpr std::optional<double> no_limit;
    // A deviation of exactly `edge`, or one ulp inside it, is `within`; one
    // ulp beyond it, `beyond`; either sign alike.
    const struct {
        decision_rule rule;
        double t, u, edge;
        verdict within, beyond;
        std::optional<double> limit;
        bool no_pass;
    } edges[] = {
        {{simple, 0}, 100, 25, 100, pass, fail, 100, false},
        {{guarded, 0}, 100, 25, 100, pass, fail, 100, false},
        {{guarded, 1}, 100, 25, 75, pass, fail, 75, false},
        {{guarded, 2}, 100, 25, 50, pass, fail, 50, false},
        // w = T and w > T leave no pass, not even at d = 0.
        {{guarded, 1}, 100, 100, 0, fail, fail, 0, true},
        {{guarded, 2}, 100, 75, 0, fail, fail, -50, true},
        {{nonbinary, 1}, 100, 25, 75, pass, conditional_pass, 75, false},
        {{nonbinary, 1}, 100, 25, 100, conditional_pass, conditional_fail, 75, false},
        {{nonbinary, 1}, 100, 25, 125, conditional_fail, fail, 75, false},
        {{nonbinary, 1}, 100, 100, 0, conditional_pass, conditional_pass, 0, true},
        {{nonbinary, 1}, 100, 100, 200, conditional_fail, fail, 0, true},
        // √(5² − 3²) = 4
        {{rds, 0}, 5, 3, 4, pass, pass_star, 4, false},
        {{rds, 0}, 5, 3, 5, pass_star, fail, 4, false},
        // U ≥ T: no limit, and within T is pass*.
        {{rds, 0}, 5, 5, 5, pass_star, fail, no_limit, true},
        {{rds, 0}, 5, 6, 0, pass_star, pass_star, no_limit, true},
        {{rds, 0}, 5, 6, 5, pass_star, fail, no_limit, true},
        {{rule_kind::none, 0}, 5, 3, 5, none, none, no_limit, false},
    };
    for (const auto& e : edges) {
        SCOPED_TRACE(rule_name(e.rule) + format(", T = %g, U = %g, edge %g", e.t, e.u, e.edge));
        for (const double sign : {1.0, -1.0}) {
            const std::string within = verdict_word(e.within), beyond = verdict_word(e.beyond);
            EXPECT_EQ(within, verdict_word(decide(e.rule, sign * e.edge, e.t, e.u).outcome));
            EXPECT_EQ(
                within,
                verdict_word(decide(e.rule, sign * std::nextafter(e.edge, 0), e.t, e.u).outcome));
            EXPECT_EQ(
                beyond,
                verdict_word(
                    decide(e.rule, sign * std::nextafter(e.edge, infinity), e.t, e.u).outcome));
        }
        const decision d = decide(e.rule, 0, e.t, e.u);
        EXPECT_EQ(e.limit, d.limit);
        EXPECT_EQ(e.no_pass, d.no_pass_possible);
    }
}

TEST(CoverageFactor, MatchesTheGumTableToTheDigitsPrinted) {
    // GUM, Table G.2, the column for 95.45 %.
    const struct {
        double nu;
        const char* printed;
    } table[] = {
        {1, "13.97"}, {2, "4.53"},  {3, "3.31"},    {4, "2.87"},         {5, "2.65"},  {6, "2.52"},
        {7, "2.43"},  {8, "2.37"},  {9, "2.32"},    {10, "2.28"},        {11, "2.25"}, {12, "2.23"},
        {13, "2.21"}, {14, "2.20"}, {15, "2.18"},   {16, "2.17"},        {17, "2.16"}, {18, "2.15"},
        {19, "2.14"}, {20, "2.13"}, {25, "2.11"},   {30, "2.09"},        {35, "2.07"}, {40, "2.06"},
        {45, "2.06"}, {50, "2.05"}, {100, "2.025"}, {infinity, "2.000"},
    };
    for (const auto& row : table) {
        const int decimals = static_cast<int>(std::strlen(std::strchr(row.printed, '.') + 1));
        EXPECT_EQ(row.printed, format("%.*f", decimals, coverage_factor(row.nu))) << row.nu;
    }
    // ν_eff is truncated, not rounded.
    EXPECT_EQ(coverage_factor(5), coverage_factor(5.999));
    EXPECT_EQ("2.65", format("%.2f", coverage_factor(5.999)));
    EXPECT_EQ(2.0, coverage_factor(infinity));
    // Either side of where a large ν is computed another way: the quantile
    // to 20 digits, from the regularised incomplete beta function evaluated
    // with 40-digit arithmetic.
    EXPECT_NEAR(2.0012513920619299871, coverage_factor(1999), 1e-14);
    EXPECT_NEAR(2.0012507659825371569, coverage_factor(2000), 1e-14);
}

// The 300 Ω setting, 16 readings of mean 300.0318 Ω and s = 8.2 mΩ,
// against tests/logs/box.txt, worked by hand:
//   u_A     = s/√n = 0.0082/4                                = 2.05 mΩ
//   u_meter = (6 ppm · 300.0318 + 0.3 ppm · 1000) / 2.58
//           = (1.80019 + 0.3) mΩ / 2.58                       = 0.814027 mΩ
//             on the 1000 Ω range, the smallest at or above 300 Ω
//   u_other = 0.5 ppm · 300 + 0.1 mΩ                          = 0.25 mΩ
//   u_c     = √(2.05² + 0.814027² + 0.25²) mΩ = √4.92764 mΩ   = 2.21983 mΩ
//   ν_eff   = 15 · (u_c/u_A)⁴ = 15 · (4.92764/4.2025)²         = 20.62
//   k       = t at ν = 20 (truncated) for 95.45 %, by numerical
//             integration of Student's density (the GUM prints 2.13) = 2.13303
//   U       = k · u_c                                          = 4.73495 mΩ
//   T       = 0.01 % · 300 + 2 mΩ                              = 32 mΩ
//   d       = 300.0318 − 0.0031 − 300                          = 28.7 mΩ
//   TUR     = T/U                                              = 6.7583
//   limit   = T − U (guarded, w = U)                           = 27.26505 mΩ < d: fail
TEST(Budget, WorkedByHandForTheExampleFile) {
    const tolerance_data data = example_data();
    judgement j;
    ASSERT_TRUE(judge({300, 1, 16, 300.0318, 0.0082}, data, j));
    EXPECT_EQ(1000, j.range);
    EXPECT_NEAR(2.05e-3, j.u_a, 1e-12);
    EXPECT_NEAR(0.814027e-3, j.u_meter, 1e-9);
    EXPECT_NEAR(0.25e-3, j.u_other, 1e-12);
    EXPECT_NEAR(2.21983e-3, j.u_c, 1e-8);
    EXPECT_NEAR(20.62, j.nu_eff, 0.005);
    EXPECT_NEAR(2.13303, j.k, 5e-6);
    EXPECT_NEAR(4.73495e-3, j.expanded, 1e-8);
    EXPECT_NEAR(32e-3, j.tolerance, 1e-12);
    EXPECT_NEAR(28.7e-3, j.deviation, 1e-9);
    EXPECT_NEAR(6.7583, j.tur, 5e-5);
    EXPECT_FALSE(j.low_tur);
    ASSERT_TRUE(j.limit);
    EXPECT_NEAR(27.26505e-3, *j.limit, 1e-8);
    EXPECT_STREQ("fail", verdict_word(j.outcome));

    // A meter figure without its k is rectangular: 2.1001908 mΩ / √3.
    tolerance_data rectangular = data;
    rectangular.meter_k = 0;
    ASSERT_TRUE(judge({300, 1, 16, 300.0318, 0.0082}, rectangular, j));
    EXPECT_NEAR(1.2125457e-3, j.u_meter, 1e-10);
    // Without scatter: infinite degrees of freedom and k = 2.
    ASSERT_TRUE(judge({300, 1, 16, 300.0318, 0}, data, j));
    EXPECT_EQ(infinity, j.nu_eff);
    EXPECT_EQ(2.0, j.k);
    // The 10 Ω decade's own tolerance.
    ASSERT_TRUE(judge({20, 0, 16, 20.001, 0.0082}, data, j));
    EXPECT_NEAR(0.012, j.tolerance, 1e-12); // 0.05 % · 20 + 2 mΩ
    // A setting with readings beyond the largest range is the caller's
    // error; without readings it is not judged.
    tolerance_data short_of_1m = data;
    short_of_1m.meter.pop_back();
    EXPECT_FALSE(judge({1e6, 4, 1, 1e6, 0}, short_of_1m, j));
    ASSERT_TRUE(judge({1e6, 4, 0, 0, 0}, short_of_1m, j));
    EXPECT_EQ("no readings", j.why_not_judged);
}

TEST(JudgementSummary, CountsTheVerdictsAndNotesEach) {
    tolerance_data data = example_data();
    auto three_settings = [&data] {
        std::vector<named_judgement> three(3);
        three[0].name = "the 300 Ω setting (position 3, decade 1E2)";
        judge({300, 1, 16, 300.0318, 0.0082}, data, three[0].j); // worked by hand above
        three[1].name = "the 100 Ω setting (position 1, decade 1E2)";
        judge({100, 1, 16, 99.9979, 0.0082}, data, three[1].j);
        three[2].name = "the 200 Ω setting (position 2, decade 1E2)";
        judge({200, 1, 1, 200.01, std::nan("")}, data, three[2].j);
        return three;
    };
    EXPECT_EQ("box.txt: under guarded acceptance (w = 1 U), 1 of 3 settings pass, 1 fail, 1 not "
              "judged\n"
              "box.txt: note: the 300 Ω setting (position 3, decade 1E2): fail: judged deviation "
              "+95.7 ppm, acceptance limit ±90.9 ppm, T ±106.7 ppm, U 15.8 ppm\n"
              "box.txt: note: not judged, a single reading, so no standard deviation: the 200 Ω "
              "setting (position 2, decade 1E2)\n",
              judgement_summary("box.txt", data.rule, three_settings()));
    data.rule = {rule_kind::none, 0};
    EXPECT_EQ("box.txt: no decision rule: figures for 2 of 3 settings, none judged\n"
              "box.txt: note: not judged, a single reading, so no standard deviation: the 200 Ω "
              "setting (position 2, decade 1E2)\n",
              judgement_summary("box.txt", data.rule, three_settings()));

    // rds with U ≥ T: pass* without a limit.
    named_judgement star{"setting", {}};
    star.j.nominal = 100;
    star.j.tolerance = 0.01;
    star.j.expanded = 0.012;
    star.j.deviation = -0.009;
    static_cast<decision&>(star.j) = decide({rule_kind::rds, 0}, -0.009, 0.01, 0.012);
    EXPECT_EQ(
        "box.txt: under root-difference-of-squares acceptance, 0 of 1 settings pass, 1 pass*\n"
        "box.txt: note: setting: pass*: judged deviation -90.0 ppm, no pass possible at this "
        "U, T ±100.0 ppm, U 120.0 ppm\n",
        judgement_summary("box.txt", {rule_kind::rds, 0}, std::span(&star, 1)));
}

// More verdicts than the notes hold, in the order the build gives them,
// worst first: the rest are counted by verdict, and every setting not
// judged is named all the same.
TEST(JudgementSummary, NamesEverySettingNotJudgedWhateverTheCap) {
    const tolerance_data data = example_data();
    const decision_rule rule{rule_kind::nonbinary, 1};
    // T = 100 ppm and U = 20 ppm of 100 Ω, w = U: a pass within 80 ppm, a
    // conditional pass to 100, a conditional fail to 120, a fail beyond.
    std::vector<named_judgement> many;
    auto add = [&](std::size_t count, double ppm) {
        for (std::size_t i = 0; i < count; ++i) {
            named_judgement& s =
                many.emplace_back(named_judgement{format("setting %zu", many.size()), {}});
            s.j.nominal = 100;
            s.j.tolerance = 0.01;
            s.j.expanded = 0.002;
            s.j.deviation = ppm * 1e-4;
            static_cast<decision&>(s.j) = decide(rule, s.j.deviation, s.j.tolerance, s.j.expanded);
        }
    };
    add(2, 200);
    add(3, 110);
    add(20, 90);
    add(5, 50);
    named_judgement& once =
        many.emplace_back(named_judgement{"the 50 Ω setting (position 5, decade 1E1)", {}});
    ASSERT_TRUE(judge({50, 0, 1, 50.001, 0}, data, once.j));
    named_judgement& none =
        many.emplace_back(named_judgement{"the 70 Ω setting (position 7, decade 1E1)", {}});
    ASSERT_TRUE(judge({70, 0, 0, 0, 0}, data, none.j));
    const std::vector<std::string> lines = bare_lines(judgement_summary("box.txt", rule, many));
    ASSERT_EQ(24u, lines.size());
    EXPECT_EQ("box.txt: under non-binary acceptance (w = 1 U), 5 of 32 settings pass, 20 "
              "conditional pass, 3 conditional fail, 2 fail, 2 not judged",
              lines[0]);
    EXPECT_EQ("box.txt: note: setting 0: fail: judged deviation +200.0 ppm, acceptance limit "
              "±80.0 ppm, T ±100.0 ppm, U 20.0 ppm",
              lines[1]);
    EXPECT_EQ("box.txt: note: setting 19: conditional pass: judged deviation +90.0 ppm, "
              "acceptance limit ±80.0 ppm, T ±100.0 ppm, U 20.0 ppm",
              lines[20]);
    EXPECT_EQ("box.txt: note: 5 more not shown: 5 conditional pass", lines[21]);
    EXPECT_EQ("box.txt: note: not judged, a single reading, so no standard deviation: the 50 Ω "
              "setting (position 5, decade 1E1)",
              lines[22]);
    EXPECT_EQ("box.txt: note: not judged, no readings: the 70 Ω setting (position 7, decade 1E1)",
              lines[23]);
}
