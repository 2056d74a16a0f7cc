// The page's tables: each setting's figures, its uncertainty budget, and
// the tolerance file as given.
#include <cmath>
#include <string>

#include "analysis/stats.h"
#include "base/figure_text.h"
#include "base/text_format.h"
#include "log/log_reader.h"
#include "log/setting_finder.h"
#include "results/html_text.h"
#include "results/page_parts.h"

namespace page_parts {

namespace {

// Each setting's uncertainty budget, in the order of the figures table.
std::string budget_row(const judgement& j) {
    auto ppm = [&j](const char* pattern, double ohms) {
        return "<td>" + figure_text(pattern, relative_ppm(ohms, j.nominal)) + "</td>";
    };
    const std::string nu = figure_text(j.nu_eff < 1e6 ? "%.0f" : "%.2g", j.nu_eff);
    const std::string limit =
        j.limit ? figure_text("%.1f", relative_ppm(*j.limit, j.nominal)) : std::string();
    return "<td>" + figure_text("%+.1f", deviation_ppm(j)) + "</td>" + ppm("%#.3g", j.u_a) +
           ppm("%#.3g", j.u_meter) + ppm("%#.3g", j.u_other) + ppm("%#.3g", j.u_c) + "<td>" + nu +
           "</td><td>" + figure_text("%.2f", j.k) + "</td>" + ppm("%#.3g", j.expanded) +
           ppm("%.1f", j.tolerance) +
           (j.low_tur ? "<td class=\"mark\">" + figure_text("%.1f", j.tur) + " †</td>"
                      : "<td>" + figure_text("%.1f", j.tur) + "</td>") +
           (j.no_pass_possible ? "<td class=\"mark\">" + limit + " ‡</td>"
                               : "<td>" + limit + "</td>") +
           verdict_cell(j.outcome);
}

} // namespace

std::string figures_table(const log_results& r) {
    std::string t = "<table><thead><tr><th>setting</th><th>count</th><th>mean, Ω</th>"
                    "<th>deviation, ppm</th><th>s, ppm</th><th>u, ppm</th><th>min, Ω</th>"
                    "<th>max, Ω</th><th>lines</th><th>far</th></tr></thead><tbody>\n";
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_figures& s = r.settings[p][d];
            t += "<tr><td>" + escaped(setting_label({p, d})) + format("</td><td>%u</td>", s.count);
            if (s.count == 0) {
                t += "<td colspan=\"8\">no readings: the report shows Invalid data</td></tr>\n";
                continue;
            }
            t += "<td>" + figure_text("%.5f", s.mean) +
                 "</td><td style=\"color:" + colour_of(s.ppm) + "\">" + figure_text("%.2f", s.ppm) +
                 "</td><td>" + figure_text("%.3g", s.stdev_ppm) + "</td><td>" +
                 figure_text("%.3g", s.u_mean_ppm) + "</td><td>" + reading_text(s.min) +
                 "</td><td>" + reading_text(s.max) + "</td><td>" +
                 line_span(s.first_line, s.last_line) +
                 format("</td><td>%zu</td></tr>\n", s.far_count);
        }
    return t + "</tbody></table>\n";
}

std::string budget_table(const log_judgement& judged) {
    std::string t =
        "<h2>Uncertainty budget</h2>\n<p>All figures in ppm of nominal but ν<sub>eff</sub>, k "
        "and TUR. u<sub>A</sub> = s/√n; u<sub>meter</sub> from the meter's figure on its range; "
        "u<sub>other</sub> as the tolerance file gives it; u<sub>c</sub> their root sum of "
        "squares; ν<sub>eff</sub> by Welch–Satterthwaite (none where u<sub>A</sub> = 0); k the "
        "Student t factor for 95.45 %; U = k·u<sub>c</sub>; TUR = T/U.</p>\n"
        "<div class=\"wide\"><table><thead><tr><th>setting</th><th>d</th><th>u<sub>A</sub></th>"
        "<th>u<sub>meter</sub></th><th>u<sub>other</sub></th><th>u<sub>c</sub></th>"
        "<th>ν<sub>eff</sub></th><th>k</th><th>U</th><th>T</th><th>TUR</th><th>acceptance "
        "limit</th><th>verdict</th></tr></thead><tbody>\n";
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const judgement& j = judged.settings[p][d];
            t += "<tr><td>" + escaped(setting_label({p, d})) + "</td>" +
                 (j.outcome == verdict::not_judged
                      ? "<td colspan=\"12\">not judged: " + std::string(j.why_not_judged) + "</td>"
                      : budget_row(j)) +
                 "</tr>\n";
        }
    return t + "</tbody></table></div>\n" +
           format("<p>† TUR below %g:1. ‡ No pass possible under the rule: the uncertainty "
                  "leaves no acceptance zone (U ≥ T, or a guard band w ≥ T).</p>\n",
                  min_tur);
}

std::string tolerance_text(const log_judgement& judged) {
    return "<h2>Tolerance file: " + escaped(file_name(judged.file)) + "</h2>\n<pre>" +
           escaped(judged.text) + "</pre>\n";
}

} // namespace page_parts
