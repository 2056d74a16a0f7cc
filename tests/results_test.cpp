// The results file and the page the build writes beside the program.  The
// file is checked against an evaluation of the log made here, by a plain
// loop over the acceptance windows as the report states them.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "audit/log_audit.h"
#include "base/text_format.h"
#include "judgement/conformity.h"
#include "judgement/judgement.h"
#include "log/log_reader.h"
#include "results/results.h"
#include "results/results_page.h"
#include "results_file/columns.h"
#include "shipped_log.h"

namespace {

struct reading_at {
    float value;
    std::size_t line; // cppcheck-suppress unusedStructMember
};

struct evaluated {
    log_results results;
    std::string audit_text;
    std::vector<reading_at> readings;
};

// The log's results, judged against the tolerance file `box` where given.
evaluated evaluate_log(const std::string& text, const std::string& box = "") {
    std::vector<float> readings;
    std::vector<reading_at> lines;
    log_audit audit;
    log_reader reader(readings, [&](float reading, std::size_t line) {
        audit.add(reading, line);
        lines.push_back({reading, line});
    });
    EXPECT_TRUE(reader.feed(text) && reader.finish()) << diagnostic("log", reader.error());
    const audit_findings found = std::move(audit).finish();
    // Built in place, not assigned: clang-tidy flags the assignment the
    // compiler writes for the results' arrays.
    evaluated e{evaluate(readings, found), audit_text(found, "log"), std::move(lines)};
    e.results.heading = reader.heading();
    if (!box.empty()) {
        log_judgement judged{"box.txt", box, {}, {}};
        tolerance_error fault;
        EXPECT_TRUE(read_tolerance(box, judged.data, fault)) << tolerance_diagnostic("box", fault);
        std::string said;
        EXPECT_TRUE(judge_log(setting_inputs(e.results), judged, said)) << said;
        e.results.judged = std::move(judged);
    }
    return e;
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(separator, at)) != std::string::npos;
         at = end + separator.size())
        parts.push_back(text.substr(at, end - at));
    parts.push_back(text.substr(at));
    return parts;
}

// One setting as the report states it: the window is open, 0.1 ohm wide
// either side in the 10 ohm decade and 0.8 % of the step in the others,
// and a reading at nominal is never taken; the mean is the sum in log order
// over the count.
void expect_judged(const std::vector<std::string>& row);

void expect_row(const std::vector<reading_at>& log, unsigned p, unsigned d,
                const std::vector<std::string>& row, bool judged) {
    const double step = std::pow(10.0, d + 1), nominal = p * step;
    const double half = d == 0 ? 0.1 : 0.008 * step;
    std::vector<reading_at> taken;
    for (const reading_at& r : log)
        if (nominal - half < r.value && r.value < nominal + half && r.value != nominal)
            taken.push_back(r);
    ASSERT_EQ(result_column_count, row.size());
    EXPECT_EQ(std::to_string(p), row[column_index("position")]);
    EXPECT_EQ("1E" + std::to_string(d + 1), row[column_index("decade")]);
    EXPECT_EQ(std::to_string(static_cast<long>(nominal)), row[column_index("nominal_ohm")]);
    EXPECT_EQ(std::to_string(taken.size()), row[column_index("count")]);
    if (judged && taken.size() >= 2)
        expect_judged(row);
    else
        for (std::size_t i = first_judged_column; i < first_history_column; ++i)
            EXPECT_EQ("", row[i]) << "column " << i;
    if (taken.empty()) {
        for (std::size_t i = column_index("mean_ohm"); i < column_index("outliers"); ++i)
            EXPECT_EQ("", row[i]) << "column " << i;
        return;
    }
    double sum = 0;
    float low = taken[0].value, high = taken[0].value;
    for (const reading_at& r : taken) {
        sum += r.value;
        low = std::min(low, r.value);
        high = std::max(high, r.value);
    }
    const double n = static_cast<double>(taken.size()), mean = sum / n;
    double squares = 0;
    for (const reading_at& r : taken)
        squares += (r.value - mean) * (r.value - mean);
    const double sd_ppm = std::sqrt(squares / (n - 1)) / nominal * 1e6;
    EXPECT_EQ(mean, std::stod(row[column_index("mean_ohm")])) << row[column_index("mean_ohm")];
    EXPECT_EQ((mean / nominal - 1) * 1e6, std::stod(row[column_index("deviation_ppm")]))
        << row[column_index("deviation_ppm")];
    if (taken.size() < 2) {
        EXPECT_EQ("", row[column_index("stdev_ppm")] + row[column_index("u_mean_ppm")]);
    } else {
        EXPECT_NEAR(sd_ppm, std::stod(row[column_index("stdev_ppm")]), 1e-9 * sd_ppm);
        EXPECT_NEAR(sd_ppm / std::sqrt(n), std::stod(row[column_index("u_mean_ppm")]),
                    1e-9 * sd_ppm);
    }
    EXPECT_EQ(low, std::stof(row[column_index("min_ohm")]));
    EXPECT_EQ(high, std::stof(row[column_index("max_ohm")]));
    EXPECT_EQ(std::to_string(taken.front().line), row[column_index("first_line")]);
    EXPECT_EQ(std::to_string(taken.back().line), row[column_index("last_line")]);
}

// A setting judged has every column of the judgement, and under the
// guarded rule of tests/logs/box.txt a pass or a fail.  The budget itself is
// checked once, against figures worked by hand (judgement_test.cpp).
void expect_judged(const std::vector<std::string>& row) {
    for (std::size_t i = first_judged_column; i < first_history_column; ++i)
        EXPECT_FALSE(row[i].empty()) << row[column_index("nominal_ohm")] << " Ω, column " << i;
    const std::string& v = row[column_index("verdict")];
    EXPECT_TRUE(v == "pass" || v == "fail") << v;
}

void expect_file_matches(const std::string& log, const std::string& outliers_300,
                         const std::string& box = "") {
    const evaluated e = evaluate_log(log, box);
    const std::vector<std::string> lines = split(results_csv(e.results), "\r\n");
    ASSERT_EQ(52u, lines.size()); // header, 50 rows, nothing after the last line end
    EXPECT_EQ("position,decade,nominal_ohm,count,mean_ohm,deviation_ppm,stdev_ppm,u_mean_ppm,"
              "min_ohm,max_ohm,first_line,last_line,outliers,judged_deviation_ppm,tolerance_ppm,"
              "u_meter_ppm,u_other_ppm,u_c_ppm,nu_eff,k,U_ppm,tur,acceptance_ppm,verdict,item,date,"
              "previous_date,previous_ppm,change_ppm,u_change_ppm,drift_ppm_per_year,"
              "u_drift_ppm_per_year,due_date,predicted_ppm,u_predicted_ppm,outlook",
              lines[0]);
    EXPECT_EQ("", lines[51]);
    for (unsigned p = 1; p <= 10; ++p)
        for (unsigned d = 0; d < 5; ++d) {
            const std::vector<std::string> row = split(lines[(p - 1) * 5 + d + 1], ",");
            expect_row(e.readings, p, d, row, !box.empty());
            EXPECT_EQ(p == 3 && d == 1 ? outliers_300 : "0", row[column_index("outliers")])
                << p << " " << d;
        }
}

} // namespace

TEST(ResultsFile, ShippedLogMatchesAnEvaluationOfItsOwn) {
    expect_file_matches(file_text(shipped_log_path()), "0");
}

TEST(ResultsFile, SettingWithoutReadingsHasEmptyFieldsAndAGlitchIsCounted) {
    std::map<std::size_t, std::string> lines{{ohm300.line(2), "300.5"}};
    for (std::size_t line = ohm50.first; line <= ohm50.last; ++line)
        lines[line] = "# not measured";
    const std::string log = shipped_replacing(lines);
    expect_file_matches(log, "1");
    const evaluated e = evaluate_log(log);
    EXPECT_EQ("5,1E1,50,0,,,,,,,,,0,,,,,,,,,,,,,,,,,,,,,,,",
              split(results_csv(e.results), "\r\n")[21]);
}

namespace {

// Changes to the shipped log that leave the 50 ohm setting without
// readings and the 20 ohm setting with one, and put the 700 ohm setting
// 1000 ppm high: judged against tests/logs/box.txt, where the shipped log
// passes throughout, two settings are not judged and one fails.
std::map<std::size_t, std::string> two_not_judged_one_failing() {
    std::map<std::size_t, std::string> lines;
    for (std::size_t line = ohm50.first; line <= ohm50.last; ++line)
        lines[line] = "# not measured";
    for (std::size_t line = ohm20.first + 1; line <= ohm20.last; ++line)
        lines[line] = "# not measured";
    std::size_t line = ohm700.first;
    for (double v : shipped_lines(ohm700.first, ohm700.last))
        lines[line++] = reading_text(static_cast<float>(v * 1.001));
    return lines;
}

} // namespace

TEST(ResultsFile, JudgedColumnsMatchAnEvaluationOfTheirOwn) {
    const std::string log = shipped_replacing(two_not_judged_one_failing());
    const std::string box = file_text(box_tolerance_path());
    expect_file_matches(log, "0", box);
    const std::vector<std::string> rows =
        split(results_csv(evaluate_log(log, box).results), "\r\n");
    EXPECT_TRUE(rows[32].starts_with("7,1E2,700,16,")) << rows[32];
    EXPECT_TRUE(rows[32].ends_with(",fail,,,,,,,,,,,,")) << rows[32];
}

TEST(ResultsFile, OneReadingHasNoScatter) {
    const evaluated e = evaluate_log("300.0066\n");
    EXPECT_EQ("3,1E2,300,1,300.006591796875,21.972656250035527,,,300.0066,300.0066,1,1,0,,,,,,,,,,,"
              ",,,,,,,,,,,,",
              split(results_csv(e.results), "\r\n")[12]);
}

// A log far longer than a chart is wide, its settings in random order.
TEST(ResultsPage, IsSelfContainedAndBoundedWhateverTheLog) {
    std::mt19937 rng(7);
    std::string log;
    for (int i = 0; i < 200000; ++i) {
        const auto position = static_cast<double>(1 + rng() % 10);
        const auto decade = static_cast<double>(1 + rng() % 5);
        const auto off = static_cast<double>(rng() % 2001) - 1000;
        log += std::to_string(position * std::pow(10.0, decade) * (1 + off * 1e-7)) + "\n";
    }
    const evaluated e = evaluate_log(log);
    const std::string page = results_page(e.results, "log <&>", e.audit_text);
    EXPECT_LT(page.size(), 3'000'000u);
    EXPECT_LT(results_csv(e.results).size(), 20'000u);
    for (const char* outside : {"<script", "src=", "href=", "url(", "@import",
                                "http:", "https:", "<link", "<iframe", "<object", "<img"})
        EXPECT_EQ(std::string::npos, page.find(outside)) << outside;
    std::size_t charts = 0;
    for (std::size_t at = 0; (at = page.find("<svg", at)) != std::string::npos; ++at)
        ++charts;
    EXPECT_EQ(5u + 50u + 1u, charts); // the decades, the settings, the whole log
    EXPECT_NE(std::string::npos, page.find("log &lt;&amp;&gt;"));
}

namespace {

std::string page_of(const std::string& log) {
    const evaluated e = evaluate_log(log);
    return results_page(e.results, "log", e.audit_text);
}

// 300 ohm twice (lines 1 and 3), 400 ohm once, on line 4, 19.53125 ppm
// high (a float exactly).
const char* const two_settings = "300.0066\n# pause\n300.0070\n400.0078125\n";

} // namespace

TEST(ResultsPage, CaptionCountsReadingsAndLinesInTheSingularForOne) {
    EXPECT_NE(std::string::npos, page_of("300.0066\n").find("<p>1 reading. Every figure"));
    const std::string page = page_of(two_settings);
    EXPECT_NE(std::string::npos,
              page.find(">300 Ω (position 3, decade 1E2): 2 readings, lines 1-3</figcaption>"));
    EXPECT_NE(std::string::npos,
              page.find(">400 Ω (position 4, decade 1E2): 1 reading, line 4</figcaption>"));
}

// One reading has no scatter, so no uncertainty: the page leaves it out
// rather than print what the arithmetic gives.
TEST(ResultsPage, ShowsNoNanOrInfinity) {
    const std::string page = page_of(two_settings);
    std::string lower = page;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(std::string::npos, lower.find("nan"));
    EXPECT_EQ(std::string::npos, lower.find("inf"));
    EXPECT_NE(std::string::npos,
              page.find("<title>400 Ω (position 4, decade 1E2): 19.53 ppm</title>"));
}

// The labels under each decade's chart, in order.
TEST(ResultsPage, DecadeAxesNameNominalValuesInTheirUnit) {
    const char* const expected[] = {
        "10 Ω|20 Ω|30 Ω|40 Ω|50 Ω|60 Ω|70 Ω|80 Ω|90 Ω|100 Ω|",
        "100 Ω|200 Ω|300 Ω|400 Ω|500 Ω|600 Ω|700 Ω|800 Ω|900 Ω|1 kΩ|",
        "1 kΩ|2 kΩ|3 kΩ|4 kΩ|5 kΩ|6 kΩ|7 kΩ|8 kΩ|9 kΩ|10 kΩ|",
        "10 kΩ|20 kΩ|30 kΩ|40 kΩ|50 kΩ|60 kΩ|70 kΩ|80 kΩ|90 kΩ|100 kΩ|",
        "100 kΩ|200 kΩ|300 kΩ|400 kΩ|500 kΩ|600 kΩ|700 kΩ|800 kΩ|900 kΩ|1 MΩ|",
    };
    const std::regex label("<text class=\"tick\"[^>]*text-anchor=\"middle\">([^<]*)</text>");
    const std::vector<std::string> charts = split(page_of(two_settings), "class=\"decade\"");
    ASSERT_EQ(1 + std::size(expected), charts.size());
    for (std::size_t d = 0; d < std::size(expected); ++d) {
        const std::string chart = charts[d + 1].substr(0, charts[d + 1].find("</svg>"));
        std::string labels;
        for (std::sregex_iterator m(chart.begin(), chart.end(), label), end; m != end; ++m)
            labels += (*m)[1].str() + "|";
        EXPECT_EQ(expected[d], labels) << "decade 1E" << d + 1;
    }
}

// The build's notes go worst first: the 700 ohm fail before the settings of
// the 10 ohm decade that are not judged.
TEST(ResultsFile, BuildNotesTheFailBeforeTheSettingsNotJudged) {
    const evaluated e = evaluate_log(shipped_replacing(two_not_judged_one_failing()),
                                     file_text(box_tolerance_path()));
    const std::vector<std::string> lines = split(conformity_summary(*e.results.judged), "\n");
    ASSERT_LE(3u, lines.size());
    EXPECT_TRUE(
        lines[1].starts_with("box.txt: note: the 700 Ω setting (position 7, decade 1E2): fail"))
        << lines[1];
}

// The bench's own words at the top of the log, with markup characters and
// a degree sign written in Latin-1, which is not UTF-8.
TEST(ResultsPage, UnjudgedSaysSoAndShowsTheLogsHeading) {
    const std::string page = page_of(std::string("# Box 4711 <bench 2> & co, 23 \xb0") +
                                     "C\n# 2024-03-14\n" + two_settings);
    EXPECT_NE(std::string::npos, page.find("<p>no tolerance given: data only</p>"));
    EXPECT_NE(std::string::npos,
              page.find("<p class=\"heading\">Box 4711 &lt;bench 2&gt; &amp; co, 23 \uFFFDC<br>"
                        "2024-03-14</p>"));
}

namespace {

// The shipped log changed as above, and the 300 ohm setting's readings all
// alike: no scatter, so u_A = 0 and ν_eff is infinite.
std::string judged_page(const std::string& rule = "") {
    std::map<std::size_t, std::string> lines = two_not_judged_one_failing();
    for (std::size_t line = ohm300.first; line <= ohm300.last; ++line)
        lines[line] = "300.0066";
    std::string box = file_text(box_tolerance_path());
    if (!rule.empty())
        box.replace(box.find("rule = guarded 1"), std::string("rule = guarded 1").size(),
                    "rule = " + rule);
    const evaluated e = evaluate_log(shipped_replacing(lines), box);
    return results_page(e.results, "log", e.audit_text);
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos)
        return "";
    return text.substr(at, text.find(to, at) - at);
}

} // namespace

TEST(ResultsPage, JudgedOpensWithTheVerdictAndTheSettingsThatDoNotPass) {
    const std::string page = judged_page();
    const std::string statement = between(page, "<section class=\"conformity\">", "</section>");
    EXPECT_NE(std::string::npos,
              statement.find("<p class=\"summary\">box.txt: under guarded acceptance (w = 1 U), 47 "
                             "of 50 settings pass, 1 fail, 2 not judged</p>"))
        << statement;
    EXPECT_NE(std::string::npos, statement.find("<strong>guarded acceptance (w = 1 U)</strong>, "
                                                "as ILAC-G8:09/2019 defines it"));
    const std::string failing =
        between(statement, "<tr><td>700 Ω (position 7, decade 1E2)</td>", "</tr>");
    EXPECT_NE(std::string::npos, failing.find(" fail</td>")) << failing;
    EXPECT_NE(std::string::npos, statement.find("<tr><td class=\"names\">20 Ω (position 2, "
                                                "decade 1E1)</td><td>not judged</td>"));
    EXPECT_EQ(std::string::npos, statement.find("300 Ω (position 3, decade 1E2)"));
    std::string lower = page;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(std::string::npos, lower.find("nan"));
    EXPECT_EQ(std::string::npos, lower.find("inf"));
}

// The rule in words and where it comes from: the root-difference-of-squares
// rule is a laboratory's practice, not the guideline's.
TEST(ResultsPage, ConformityNamesTheRuleAndItsSource) {
    const struct {
        const char* rule;
        const char* statement;
    } cases[] = {
        {"simple", "Decision rule: <strong>simple acceptance</strong>, as ILAC-G8:09/2019 "
                   "defines it: "},
        {"nonbinary 0.5", "Decision rule: <strong>non-binary acceptance (w = 0.5 U)</strong>, as "
                          "ILAC-G8:09/2019 defines it: "},
        {"rds", "Decision rule: <strong>root-difference-of-squares acceptance</strong>, a "
                "calibration laboratory's practice, not one of ILAC-G8:09/2019's rules: "},
        {"none", "The tolerance file states no decision rule: nothing is judged"},
    };
    for (const auto& c : cases)
        EXPECT_NE(std::string::npos, judged_page(c.rule).find(c.statement)) << c.rule;
}

// In grey print a fail must not look like a pass: the marker's element.
TEST(ResultsPage, MarkerShapeShowsTheVerdict) {
    const std::string page = judged_page();
    auto marker = [&page](const std::string& title) {
        const std::string after = between(page, "<title>" + title, "</g>");
        const std::size_t at = after.find("</title><");
        return at == std::string::npos ? "" : after.substr(at + 9, after.find(' ', at) - at - 9);
    };
    EXPECT_EQ("circle", marker("10 Ω (position 1, decade 1E1): pass,"));
    EXPECT_EQ("path", marker("700 Ω (position 7, decade 1E2): fail,"));
}

TEST(TextFormat, LongTextComesBackWhole) {
    const std::string long_text(1000, 'x');
    EXPECT_EQ("<" + long_text + "> 42", format("<%s> %d", long_text.c_str(), 42));
}

// The own log judged: two fails among 44 settings without readings and one
// with a single reading.  The fails come first, as the build names them,
// and the settings not judged for one reason share a row.
TEST(ResultsPage, FailsComeBeforeTheSettingsNotJudgedWhichShareARow) {
    const std::string own =
        (std::filesystem::path(box_tolerance_path()).parent_path() / "own.txt").string();
    const evaluated e = evaluate_log(file_text(own.c_str()), file_text(box_tolerance_path()));
    const std::string rows =
        between(results_page(e.results, "own.txt", e.audit_text), "<tbody>", "</tbody>");
    const std::vector<std::string> row = split(rows, "<tr>");
    ASSERT_EQ(5u, row.size()) << rows;
    EXPECT_TRUE(row[1].starts_with("<td>100 Ω (position 10, decade 1E1)</td><td")) << row[1];
    EXPECT_TRUE(row[2].starts_with("<td>100 Ω (position 1, decade 1E2)</td><td")) << row[2];
    EXPECT_TRUE(row[3].starts_with("<td class=\"names\">10 Ω (position 1, decade 1E1), 20 Ω "
                                   "(position 2, decade 1E1), 40 Ω"))
        << row[3];
    EXPECT_TRUE(row[3].ends_with(", 900000 Ω (position 9, decade 1E5)</td><td>not judged</td><td "
                                 "colspan=\"4\">no readings</td></tr>\n"))
        << row[3];
    EXPECT_EQ("<td class=\"names\">1000000 Ω (position 10, decade 1E5)</td><td>not judged</td>"
              "<td colspan=\"4\">a single reading, so no standard deviation</td></tr>\n",
              row[4]);
}

// The page goes to customers: the build machine's folders stay out of it.
TEST(ResultsPage, NamesTheLogAndTheToleranceFileByTheirNamesAlone) {
    evaluated e = evaluate_log(two_settings, file_text(box_tolerance_path()));
    e.results.judged->file = "/home/bench/box.txt";
    const std::string page = results_page(e.results, "/home/bench/own.txt", e.audit_text);
    EXPECT_EQ(std::string::npos, page.find("/home")) << page;
    EXPECT_NE(std::string::npos, page.find("<title>decade-report: own.txt</title>"));
    EXPECT_NE(std::string::npos, page.find("<h1>decade-report: own.txt</h1>"));
    EXPECT_NE(std::string::npos, page.find("<p class=\"summary\">box.txt: under guarded"));
    EXPECT_NE(std::string::npos, page.find("<h2>Tolerance file: box.txt</h2>"));
}

namespace {

// An element of a chart as a reader of the page sees it: its name, its
// attributes, and the text up to the next tag.  Read with a pattern of
// its own, not with any of the writer's code.
struct svg_element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    bool is(const std::string& tag, const std::string& cls) const {
        const auto c = attributes.find("class");
        return name == tag && c != attributes.end() && c->second == cls;
    }
    double at(const std::string& attribute) const { return std::stod(attributes.at(attribute)); }
};

std::vector<svg_element> svg_elements(const std::string& svg) {
    static const std::regex tag("<([a-z]+)([^>]*)>([^<]*)");
    static const std::regex attribute("([a-z0-9-]+)=\"([^\"]*)\"");
    std::vector<svg_element> out;
    const std::sregex_iterator end;
    for (std::sregex_iterator t(svg.begin(), svg.end(), tag); t != end; ++t) {
        svg_element e{(*t)[1].str(), {}, (*t)[3].str()};
        const std::string attributes = (*t)[2].str();
        for (std::sregex_iterator a(attributes.begin(), attributes.end(), attribute); a != end; ++a)
            e.attributes[(*a)[1].str()] = (*a)[2].str();
        out.push_back(std::move(e));
    }
    return out;
}

// The chart that follows `opening` on the page, up to its end.
std::vector<svg_element> chart_after(const std::string& page, const std::string& opening) {
    const std::size_t at = page.find(opening);
    if (at == std::string::npos)
        return {};
    return svg_elements(page.substr(at, page.find("</svg>", at) - at));
}

// Each labelled grid line of a chart: its height and its label.
std::vector<std::pair<double, std::string>> grid_labels(const std::vector<svg_element>& chart) {
    std::vector<std::pair<double, std::string>> lines;
    for (std::size_t i = 0; i + 1 < chart.size(); ++i)
        if (chart[i].is("line", "grid") && chart[i + 1].is("text", "tick"))
            lines.emplace_back(chart[i].at("y1"), chart[i + 1].text);
    return lines;
}

// The chart's own vertical scale, ppm at a height, as its first and last
// labelled grid lines give it.
struct vertical_scale {
    double y0 = 0, v0 = 0, y1 = 1, v1 = 0;
    double ppm(double y) const { return v0 + (y - y0) / (y1 - y0) * (v1 - v0); }
    double ppm_per_pixel() const { return std::fabs((v1 - v0) / (y1 - y0)); }
};

vertical_scale scale_of(const std::vector<svg_element>& chart) {
    const auto lines = grid_labels(chart);
    if (lines.size() < 2)
        return {};
    return {lines.front().first, std::stod(lines.front().second), lines.back().first,
            std::stod(lines.back().second)};
}

// 400 ohm read at +19.53125 and +39.0625 ppm (400 + 2^-7 and 2^-6 ohm, floats
// exactly: mean +29.296875 ppm) on lines 2 and 5; 301.5 ohm, left out, 0.5 %
// above 300 ohm, on line 3; a comment and a blank line; 3 kohm read once,
// 2^-4 ohm low: -20.8333 ppm, on line 7.  The other 48 settings have no
// readings.
const char* const gapped_log = "# a run with a gap\n400.0078125\n301.5\n# pause\n400.015625\n\n"
                               "2999.9375\n";

} // namespace

// The whole log: a mark in each column that holds readings, of the kind
// the report makes of them, between the grid lines its deviation lies
// between; the four readings in four columns across the grid.
TEST(ResultsPage, LogChartMarksTheColumnsThatHoldReadings) {
    const struct {
        std::size_t column;
        const char* kind;
        const char *below, *above; // the labelled grid lines it lies between
    } expected[] = {
        {0, "taken", "0", "100 ppm"},
        {1, "left", "100 ppm", "1 %"},
        {2, "taken", "0", "100 ppm"},
        {3, "taken", "-100 ppm", "0"},
    };
    const std::vector<svg_element> chart = chart_after(page_of(gapped_log), "class=\"log\"");
    std::map<std::string, double> grid;
    for (const auto& [y, label] : grid_labels(chart))
        grid[label] = y;
    const auto line = std::find_if(chart.begin(), chart.end(),
                                   [](const svg_element& e) { return e.is("line", "grid"); });
    ASSERT_NE(chart.end(), line);
    const double left = line->at("x1"), column = (line->at("x2") - left) / 4;
    std::vector<svg_element> marks;
    for (const svg_element& e : chart)
        if (e.is("line", "taken") || e.is("line", "left"))
            marks.push_back(e);
    ASSERT_EQ(std::size(expected), marks.size());
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const svg_element& m = marks[i];
        const double middle = (m.at("y1") + m.at("y2")) / 2;
        EXPECT_EQ(expected[i].column, static_cast<std::size_t>((m.at("x1") - left) / column)) << i;
        EXPECT_EQ(expected[i].kind, m.attributes.at("class")) << i;
        EXPECT_LT(middle, grid.at(expected[i].below)) << i;
        EXPECT_GT(middle, grid.at(expected[i].above)) << i;
    }
}

// Each decade's chart: one point for each setting with readings, at the
// height of its deviation on the chart's own scale, and none elsewhere.
TEST(ResultsPage, DecadeChartsPointEachSettingWithReadingsAtItsDeviation) {
    const struct {
        const char* point; // the decade and the label under the point's column
        double ppm;
    } expected[] = {
        {"1E2 400 Ω", 29.296875},
        {"1E3 3 kΩ", -20.833333},
    };
    const std::string page = page_of(gapped_log);
    // The deviation each point shows, and a fifth of a pixel on its chart.
    std::map<std::string, std::pair<double, double>> points;
    for (const char* decade : {"1E1", "1E2", "1E3", "1E4", "1E5"}) {
        const std::vector<svg_element> chart =
            chart_after(page, std::string(">Decade ") + decade + ":");
        ASSERT_FALSE(chart.empty()) << decade;
        const vertical_scale scale = scale_of(chart);
        for (std::size_t i = 0; i + 1 < chart.size(); ++i) {
            if (chart[i].name != "title")
                continue;
            const svg_element& marker = chart[i + 1];
            std::string under;
            for (const svg_element& e : chart)
                if (e.is("text", "tick") && std::fabs(e.at("x") - marker.at("cx")) < 1)
                    under = e.text;
            points[std::string(decade) + " " + under] = {scale.ppm(marker.at("cy")),
                                                         0.2 * scale.ppm_per_pixel()};
        }
    }
    EXPECT_EQ(std::size(expected), points.size());
    for (const auto& c : expected) {
        ASSERT_EQ(1u, points.count(c.point)) << c.point;
        EXPECT_NEAR(c.ppm, points[c.point].first, points[c.point].second) << c.point;
    }
}

// A run's chart spans its own readings: padded by 8 % of their spread and
// at least 0.5 ppm each side, over a plot 100 pixels tall from y = 6.  At
// 400 ohm it spans +17.96875 to +40.625 ppm: the readings at 12.9 and
// 99.1, the mean at 56.0; at 3 kohm one reading in the middle of 1 ppm
// (where a step of 0.2 ppm and one of 0.5 ppm fit alike, so its grid goes
// unchecked).
TEST(ResultsPage, RunChartIsScaledToTheReadingsItHolds) {
    const struct {
        const char* caption;
        const char* ticks;            // the grid's labels, bottom up
        std::vector<double> readings; // their heights
        double mean;
    } expected[] = {
        {"400 Ω (position 4, decade 1E2): 2 readings, lines 2-5",
         "20|25|30|35|40|",
         {99.1, 12.9},
         56.0},
        {"3000 Ω (position 3, decade 1E3): 1 reading, line 7", nullptr, {56.0}, 56.0},
    };
    const std::string page = page_of(gapped_log);
    for (const auto& c : expected) {
        const std::vector<svg_element> chart =
            chart_after(page, std::string("<figcaption>") + c.caption + "</figcaption>");
        ASSERT_FALSE(chart.empty()) << c.caption;
        std::string ticks;
        for (const auto& [y, label] : grid_labels(chart))
            ticks += label + "|";
        EXPECT_EQ(c.ticks ? c.ticks : ticks, ticks) << c.caption;
        std::vector<double> readings, mean;
        for (const svg_element& e : chart) {
            if (e.is("circle", "reading"))
                readings.push_back(e.at("cy"));
            if (e.is("line", "mean"))
                mean.push_back(e.at("y1"));
        }
        EXPECT_EQ(c.readings, readings) << c.caption;
        EXPECT_EQ(std::vector<double>{c.mean}, mean) << c.caption;
    }
}

// The figures table and the uncertainty budget: one row for each of the
// 50 settings, positions 1 to 10 each with decades 1E1 to 1E5.
TEST(ResultsPage, EveryTableOfSettingsHoldsOneRowPerSetting) {
    std::string settings;
    for (long p = 1; p <= 10; ++p)
        for (long d = 1, step = 10; d <= 5; ++d, step *= 10)
            settings += "<tr><td>" + std::to_string(p * step) + " Ω (position " +
                        std::to_string(p) + ", decade 1E" + std::to_string(d) + ")</td>|";
    const std::string page = judged_page();
    for (const char* table : {"<th>far</th>", "<th>verdict</th></tr></thead>"}) {
        const std::string rows = between(page, table, "</tbody>");
        const std::regex row("<tr><td>[^<]*</td>");
        std::string found;
        for (std::sregex_iterator m(rows.begin(), rows.end(), row), end; m != end; ++m)
            found += m->str() + "|";
        EXPECT_EQ(settings, found) << table;
    }
}

// The log's heading as the page shows it: markup escaped, a tab and a line
// end kept, and what a page may not hold as text, or what is not UTF-8,
// shown as U+FFFD, a byte at a time.
TEST(ResultsPage, HeadingTextIsShownAsThePagePromises) {
    const struct {
        const char* shown;
        const char* heading;
    } cases[] = {
        {"a\tb", "a\tb"},
        {"a\rb", "a\rb"},
        {"&quot;a&quot; &lt;&amp;&gt;", "\"a\" <&>"},
        {"~ \uFFFD", "~ \x7f"},
        {"\uFFFD \uFFFD", "\x01 \x1f"},
        {"\uFFFD \uFFFD \u00A0", "\xc2\x80 \xc2\x9f \u00A0"}, // C1 controls
        {"\uFDCF \uFFFD", "\uFDCF \xef\xb7\x90"},             // U+FDD0, the first noncharacter
        {"\uFFFD \uFDF0", "\xef\xb7\xaf \uFDF0"},             // U+FDEF, the last of its block
        {"\uFFFD \uFFFD", "\xef\xbf\xbe \xf4\x8f\xbf\xbf"},   // U+FFFE and U+10FFFF
        {"\U0010FFFD", "\U0010FFFD"},
        {"\uFFFD\uFFFD\uFFFD\uFFFD", "\xf4\x90\x80\x80"},           // beyond U+10FFFF
        {"\uFFFD\uFFFD\uFFFD", "\xed\xa0\x80"},                     // a surrogate
        {"\uFFFD\uFFFD\uFFFD \u0800", "\xe0\x9f\xbf \xe0\xa0\x80"}, // overlong, then the least
        {"\uFFFD\uFFFD", "\xc1\xbf"},                               // overlong
        {"\u00E9\uFFFD\uFFFD", "\xc3\xa9\xe2\x82"},                 // cut short
        {"\uFFFDx", "\xe2x"},
    };
    evaluated e = evaluate_log(two_settings);
    for (const auto& c : cases) {
        e.results.heading = {c.heading};
        EXPECT_EQ(
            std::string("<p class=\"heading\">") + c.shown + "</p>",
            between(results_page(e.results, "log", e.audit_text), "<p class=\"heading\">", "\n"))
            << c.heading;
    }
}

// The dashed acceptance limits of the 10 ohm setting, inside its band of
// ±T: none under simple acceptance, whose limits are ±T itself.
TEST(ResultsPage, AcceptanceLimitsAreDashedInsideTheBand) {
    const struct {
        const char* rule;
        std::size_t limits;
    } cases[] = {
        {"simple", 0},
        {"guarded 1", 2},
    };
    for (const auto& c : cases) {
        const std::vector<svg_element> chart = chart_after(judged_page(c.rule), ">Decade 1E1:");
        double x = 0;
        for (std::size_t i = 0; i + 1 < chart.size(); ++i)
            if (chart[i].name == "title" && chart[i].text.starts_with("10 Ω (position 1,"))
                x = chart[i + 1].at("cx");
        std::vector<double> band, limits;
        for (const svg_element& e : chart) {
            const bool mark = e.is("line", "tmark") || e.is("line", "lmark");
            if (!mark || std::fabs((e.at("x1") + e.at("x2")) / 2 - x) >= 1)
                continue;
            (e.is("line", "tmark") ? band : limits).push_back(e.at("y1"));
        }
        ASSERT_EQ(2u, band.size()) << c.rule;
        EXPECT_EQ(c.limits, limits.size()) << c.rule;
        for (double y : limits)
            EXPECT_TRUE(std::min(band[0], band[1]) < y && y < std::max(band[0], band[1])) << c.rule;
    }
}
