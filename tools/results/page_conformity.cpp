// The conformity section the page opens with: the build's verdict, the
// rule in words, and the settings that do not pass.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/stats.h"
#include "base/figure_text.h"
#include "base/text_format.h"
#include "log/setting_finder.h"
#include "results/html_text.h"
#include "results/page_parts.h"

namespace page_parts {

namespace {

// The rule, where it comes from and what it means.  The guideline's name is
// that of the rules it defines; the root-difference-of-squares rule is not
// one of them.
std::string rule_statement(const decision_rule& rule) {
    const char* guideline = text_of(rule_kind::simple).source;
    const std::string name = "<strong>" + escaped(rule_name(rule)) + "</strong>";
    switch (rule.kind) {
    case rule_kind::none:
        return std::string("The tolerance file states no decision rule: ") +
               text_of(rule.kind).zones + ".";
    case rule_kind::rds:
        return "Decision rule: " + name + ", " + text_of(rule.kind).source + ", not one of " +
               guideline + "'s rules: " + text_of(rule.kind).zones + ".";
    default:
        return "Decision rule: " + name + ", as " + text_of(rule.kind).source +
               " defines it: " + text_of(rule.kind).zones + ".";
    }
}

// A row of a setting judged that does not pass.
std::string verdict_row(setting at, const judgement& j) {
    auto ppm = [&j](const char* pattern, double ohms) {
        return "<td>" + figure_text(pattern, relative_ppm(ohms, j.nominal)) + "</td>";
    };
    return "<tr><td>" + escaped(setting_label(at)) + "</td>" + verdict_cell(j.outcome) + "<td>" +
           format("%+.1f", deviation_ppm(j)) + "</td>" +
           (has_acceptance_limit(j) ? ppm("±%.1f", *j.limit)
                                    : "<td>none: " + std::string(no_pass_words) + "</td>") +
           ppm("±%.1f", j.tolerance) + ppm("%.2f", j.expanded) + "</tr>\n";
}

// The settings not judged for one reason, in one row: a fail never hides
// among them, however many they are.
std::string not_judged_row(const log_judgement& judged, std::string_view reason) {
    std::string names;
    for (const setting at : noted_settings(judged)) {
        const judgement& j = judged.settings[at.p][at.d];
        if (j.outcome == verdict::not_judged && j.why_not_judged == reason)
            names += (names.empty() ? "" : ", ") + escaped(setting_label(at));
    }
    return "<tr><td class=\"names\">" + names + "</td><td>not judged</td><td colspan=\"4\">" +
           std::string(reason) + "</td></tr>\n";
}

// The settings that do not pass, in the order the build names them: the
// verdicts worst first, then the settings not judged, a row for each
// reason.
std::string not_passing(const log_judgement& judged) {
    std::string rows;
    std::vector<std::string_view> reasons;
    for (const setting at : noted_settings(judged)) {
        const judgement& j = judged.settings[at.p][at.d];
        if (j.outcome != verdict::not_judged)
            rows += verdict_row(at, j);
        else if (std::find(reasons.begin(), reasons.end(), j.why_not_judged) == reasons.end())
            reasons.push_back(j.why_not_judged);
    }
    for (const std::string_view reason : reasons)
        rows += not_judged_row(judged, reason);
    if (rows.empty())
        return judged.data.rule.kind == rule_kind::none ? "" : "<p>Every setting passes.</p>\n";
    return "<p>The settings that do not pass:</p>\n<div class=\"wide\"><table><thead><tr>"
           "<th>setting</th><th>verdict</th><th>judged deviation, ppm</th><th>acceptance limit, "
           "ppm</th><th>T, ppm</th><th>U, ppm</th></tr></thead><tbody>\n" +
           rows + "</tbody></table></div>\n";
}

} // namespace

// What the page opens with: whether the box meets its tolerance, under
// which rule, and which settings do not.
std::string conformity(const log_results& r) {
    std::string out = "<section class=\"conformity\"><h2>Conformity</h2>\n";
    if (!r.judged)
        return out + "<p>no tolerance given: data only</p>\n</section>\n";
    out += "<p class=\"summary\">" +
           escaped(conformity_headline(*r.judged, file_name(r.judged->file))) + "</p>\n<p>" +
           rule_statement(r.judged->data.rule) + " d is the judged deviation, " +
           judged_deviation(r.judged->data) + "; T the tolerance; U the expanded uncertainty" +
           (text_of(r.judged->data.rule.kind).takes_r ? "; w = R·U the guard band" : "") +
           ".</p>\n" + not_passing(*r.judged);
    return out + "</section>\n";
}

} // namespace page_parts
