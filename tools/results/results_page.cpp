#include "results/results_page.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/stats.h"
#include "base/figure_text.h"
#include "base/text_format.h"
#include "judgement/conformity.h"
#include "judgement/judgement.h"
#include "log/log_reader.h"
#include "log/setting_finder.h"
#include "report/textile.h"
#include "results/html_text.h"

namespace {

// A file named by its name alone: the page is sent to customers, and the
// folders of the build machine are none of theirs.
std::string file_name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The band colour of a deviation as the Textile tables give it, grey where
// they give none.
std::string colour_of(double ppm) {
    const char* code = cell_colour(ppm);
    return code ? std::string("#") + code : "#999";
}

// 300 Ω, 20 kΩ, 1 MΩ: a nominal value short enough for an axis.
std::string short_ohms(double ohms) {
    if (ohms < 1e3)
        return format("%g Ω", ohms);
    return ohms < 1e6 ? format("%g kΩ", ohms / 1e3) : format("%g MΩ", ohms / 1e6);
}

// A chart's plot area and the values its height spans, top to bottom.
struct plot {
    double left, top, width, height;
    double high, low;
    double y(double value) const {
        const double v = std::clamp(value, low, high);
        return top + (high - v) / (high - low) * height;
    }
};

// Round steps of 1, 2 or 5 times a power of ten, about five over the span;
// zero where the span holds no step (empty, or not a finite width).
double tick_step(double span) {
    if (!(span > 0) || !std::isfinite(span))
        return 0;
    const double raw = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

// More than tick_step ever gives, so the loop is bounded whatever the span.
constexpr int max_ticks = 12;

// Horizontal grid lines with their values, in ppm: the multiples of the
// step within the span, counted as integers so that rounding cannot add
// or lose a line.
std::string y_ticks(const plot& f) {
    std::string out;
    const double step = tick_step(f.high - f.low);
    if (step == 0)
        return out;
    const double first = std::ceil(f.low / step);
    const double lines = std::floor(f.high / step) - first + 1; // NaN fails the test below
    const int count = lines > 0 ? static_cast<int>(std::min(lines, double{max_ticks})) : 0;
    for (int i = 0; i < count; ++i) {
        const double v = (first + i) * step; // -0 where first is -0: written as 0 below
        const double y = f.y(v);
        out += format("<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                      f.left, y, f.left + f.width, y) +
               format("<text class=\"tick\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%g</text>",
                      f.left - 4, y + 3, first + i == 0 ? 0.0 : v);
    }
    return out;
}

// The values a run's chart must show: its columns and its mean.
plot run_plot(const setting_figures& s, double left, double top, double width, double height) {
    double low = s.ppm;
    double high = low;
    for (const chart_column& c : s.columns)
        if (c.count > 0) {
            low = std::min(low, static_cast<double>(c.low));
            high = std::max(high, static_cast<double>(c.high));
        }
    const double pad = std::max((high - low) * 0.08, 0.5);
    return {left, top, width, height, high + pad, low - pad};
}

// How a point shows the verdict of its setting: by its shape, so that it
// survives printing in grey, and by its colour.  The glyph stands for the
// shape in the legend.
enum class shape : std::uint8_t { disc, ring, half, triangle, cross };
struct verdict_marker {
    verdict outcome;
    shape form;
    const char* colour;
    const char* glyph;
};
constexpr verdict_marker verdict_markers[] = {
    {verdict::pass, shape::disc, "#1a7f37", "●"},
    {verdict::pass_star, shape::ring, "#9a6700", "○"},
    {verdict::conditional_pass, shape::half, "#9a6700", "◐"},
    {verdict::conditional_fail, shape::triangle, "#d4580a", "▲"},
    {verdict::fail, shape::cross, "#c00", "✕"},
};

// None for a setting that is not judged, or judged by no rule.
const verdict_marker* marker_of(verdict v) {
    const auto m = std::find_if(std::begin(verdict_markers), std::end(verdict_markers),
                                [v](const verdict_marker& x) { return x.outcome == v; });
    return m == std::end(verdict_markers) ? nullptr : &*m;
}

std::string marker(shape form, double x, double y, const std::string& colour) {
    const char* c = colour.c_str();
    std::string ring =
        format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3.8\" fill=\"#fff\" stroke=\"%s\" "
               "stroke-width=\"1.6\"/>",
               x, y, c);
    switch (form) {
    case shape::ring:
        return ring;
    case shape::half: // the lower half filled
        return ring +
               format("<path d=\"M%.1f %.1fa3.8 3.8 0 0 0 7.6 0z\" fill=\"%s\"/>", x - 3.8, y, c);
    case shape::triangle:
        return format("<path d=\"M%.1f %.1fl5 8.5h-10z\" fill=\"%s\"/>", x, y - 5.5, c);
    case shape::cross:
        return format("<path d=\"M%.1f %.1fl8 8m0 -8l-8 8\" fill=\"none\" stroke=\"%s\" "
                      "stroke-width=\"2.2\"/>",
                      x - 4, y - 4, c);
    case shape::disc:
        break;
    }
    return format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4.5\" fill=\"%s\"/>", x, y, c);
}

constexpr double no_figure = std::numeric_limits<double>::quiet_NaN();

// What a decade chart draws for one setting, in ppm of nominal.
struct chart_point {
    const char* missing = nullptr; // why no point is drawn
    double ppm = 0;
    double bar = no_figure;                          // the half-width of its error bar
    double tolerance = no_figure, limit = no_figure; // marked where judged
    shape form = shape::disc;
    std::string colour, title;
};

// The report's deviation, its bar twice the standard uncertainty of the
// mean, in its band's colour.
chart_point figures_point(const log_results& r, unsigned p, unsigned d) {
    const setting_figures& s = r.settings[p][d];
    chart_point c;
    if (!std::isfinite(s.ppm)) {
        c.missing = "no readings";
        return c;
    }
    c.ppm = s.ppm;
    c.bar = 2 * s.u_mean_ppm;
    c.colour = colour_of(s.ppm);
    c.title = escaped(setting_label({p, d})) + format(": %.2f ppm", s.ppm) +
              (std::isfinite(s.u_mean_ppm) ? format(", u = %.3g ppm", s.u_mean_ppm) : "");
    return c;
}

// The judged deviation, its bar the expanded uncertainty U, with the
// tolerance and the acceptance limit (where the rule leaves one above
// zero), marked by its verdict.
chart_point judged_point(const log_results& r, unsigned p, unsigned d) {
    const judgement& j = r.judged->settings[p][d];
    chart_point c;
    if (j.outcome == verdict::not_judged) {
        c.missing = r.settings[p][d].count == 0 ? "no readings" : "not judged";
        return c;
    }
    c.ppm = deviation_ppm(j);
    c.bar = relative_ppm(j.expanded, j.nominal);
    c.tolerance = relative_ppm(j.tolerance, j.nominal);
    if (j.limit && *j.limit > 0)
        c.limit = relative_ppm(*j.limit, j.nominal);
    const verdict_marker* m = marker_of(j.outcome);
    c.form = m ? m->form : shape::disc;
    c.colour = m ? m->colour : colour_of(c.ppm);
    c.title = escaped(setting_label({p, d})) + ": " +
              (m ? std::string(verdict_word(j.outcome)) + ", " : "") +
              format("d = %.2f ppm, U = %.3g ppm, T = %.1f ppm", c.ppm, c.bar, c.tolerance);
    return c;
}

// The tolerance of a position as a grey band with solid edges, and the
// acceptance limits inside it dashed, each as wide as the position's column.
std::string tolerance_marks(const plot& f, const chart_point& c, double x) {
    if (!std::isfinite(c.tolerance))
        return {};
    const double half = 17;
    std::string marks =
        format("<rect class=\"band\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" "
               "height=\"%.1f\"/>",
               x - half, f.y(c.tolerance), 2 * half, f.y(-c.tolerance) - f.y(c.tolerance));
    auto mark = [&](const char* cls, double v) {
        return format("<line class=\"%s\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>", cls,
                      x - half, f.y(v), x + half, f.y(v));
    };
    marks += mark("tmark", c.tolerance) + mark("tmark", -c.tolerance);
    if (std::isfinite(c.limit) && c.limit < c.tolerance)
        marks += mark("lmark", c.limit) + mark("lmark", -c.limit);
    return marks;
}

// Why a setting has no point, at its place above the zero line: two words
// over each other ("no" over "readings"), as one line is wider than the
// position's column and would run into its neighbours'.  Kept inside the
// plot, clear of the title above and the axis labels below.
std::string missing_label(const plot& f, double x, std::string_view why) {
    const std::size_t blank = why.find(' ');
    const double line = 10;
    const double y = std::clamp(f.y(0) - 4 - line, f.top + line, f.top + f.height - line);
    auto word = [&](std::string_view text, double dy) {
        return format("<tspan x=\"%.1f\" dy=\"%g\">", x, dy) + std::string(text) + "</tspan>";
    };
    return format("<text class=\"none\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">", x, y) +
           word(why.substr(0, blank), 0) + word(why.substr(blank + 1), line) + "</text>";
}

// For each decade: the ten deviations with their error bars, and where
// judged the tolerance and acceptance limits of each position.
std::string decade_chart(const log_results& r, unsigned d) {
    chart_point points[positions];
    double low = -5, high = 5;
    for (unsigned p = 1; p < positions; ++p) {
        chart_point& c = points[p];
        c = r.judged ? judged_point(r, p, d) : figures_point(r, p, d);
        if (c.missing)
            continue;
        const double bar = std::isfinite(c.bar) ? c.bar : 0;
        const double reach = std::isfinite(c.tolerance) ? c.tolerance : 0;
        low = std::min({low, c.ppm - bar, -reach});
        high = std::max({high, c.ppm + bar, reach});
    }
    const double pad = (high - low) * 0.08;
    const plot f{48, 22, 500, 150, high + pad, low - pad};
    std::string svg = format("<svg viewBox=\"0 0 560 200\" role=\"img\" class=\"decade\">"
                             "<text class=\"title\" x=\"48\" y=\"14\">Decade 1E%u: %s</text>",
                             d + 1,
                             r.judged ? "judged deviation, ppm (bars: ±U)"
                                      : "deviation from nominal, ppm (bars: ±2u, k = 2)") +
                      y_ticks(f);
    const double zero = f.y(0);
    for (unsigned p = 1; p < positions; ++p)
        svg += tolerance_marks(f, points[p], f.left + (p - 0.5) / 10 * f.width);
    svg += format("<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>", f.left,
                  zero, f.left + f.width, zero);
    for (unsigned p = 1; p < positions; ++p) {
        const chart_point& c = points[p];
        const double x = f.left + (p - 0.5) / 10 * f.width;
        svg += format("<text class=\"tick\" x=\"%.1f\" y=\"190\" text-anchor=\"middle\">", x) +
               short_ohms(r.nominal[p][d]) + "</text>";
        if (c.missing) {
            svg += missing_label(f, x, c.missing);
            continue;
        }
        if (std::isfinite(c.bar))
            svg += format("<line class=\"bar\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                          x, f.y(c.ppm - c.bar), x, f.y(c.ppm + c.bar));
        svg +=
            "<g><title>" + c.title + "</title>" + marker(c.form, x, f.y(c.ppm), c.colour) + "</g>";
    }
    return svg + "</svg>\n";
}

// A setting's readings in log order, each pixel column the range of the
// readings in it, the mean as a line, the readings the audit names far marked
// with their lines.
std::string run_chart(const log_results& r, unsigned p, unsigned d) {
    const setting_figures& s = r.settings[p][d];
    std::string svg = "<figure class=\"run\"><figcaption>" + escaped(setting_label({p, d}));
    if (s.count == 0)
        return svg + ": no readings</figcaption></figure>\n";
    svg += ": " + readings_text(s.count) + ", " + lines_text(s.first_line, s.last_line) +
           "</figcaption><svg viewBox=\"0 0 300 120\" role=\"img\">";
    const plot f = run_plot(s, 40, 6, 252, 100);
    svg += y_ticks(f);
    const double step = f.width / static_cast<double>(s.columns.size());
    auto x_of = [&](std::size_t column) {
        return f.left + (static_cast<double>(column) + 0.5) * step;
    };
    svg += format("<line class=\"mean\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
                  "stroke=\"%s\"/>",
                  f.left, f.y(s.ppm), f.left + f.width, f.y(s.ppm), colour_of(s.ppm).c_str());
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        const chart_column& c = s.columns[i];
        if (c.low == c.high)
            svg += format("<circle class=\"reading\" cx=\"%.1f\" cy=\"%.1f\" r=\"1.6\"/>", x_of(i),
                          f.y(c.low));
        else
            svg += format("<line class=\"range\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                          x_of(i), f.y(c.low), x_of(i), f.y(c.high));
    }
    for (const far_mark& m : s.far) {
        const std::size_t column = column_of(m.at, s.count, run_columns);
        svg += format("<circle class=\"far\" cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\"/>"
                      "<text class=\"far\" x=\"%.1f\" y=\"%.1f\">line %zu</text>",
                      x_of(column), f.y(m.ppm), x_of(column) + 4,
                      std::clamp(f.y(m.ppm), 14.0, 104.0), m.line);
    }
    return svg + "</svg></figure>\n";
}

// Deviations in ppm on a scale that is linear within 1 ppm of zero and
// logarithmic beyond: a scatter of 1 ppm and a reading 10 % off both show.
double warped(double ppm) {
    return std::copysign(std::log10(1 + std::fabs(ppm)), ppm);
}

std::string log_chart(const log_results& r) {
    const plot f{64, 22, 880, 220, warped(1e6), -warped(1e6)};
    auto y = [&f](double ppm) { return f.y(warped(ppm)); };
    std::string svg = "<svg viewBox=\"0 0 960 280\" role=\"img\" class=\"log\">"
                      "<text class=\"title\" x=\"64\" y=\"14\">Each reading's deviation from the "
                      "nearest setting, ppm, against its place in the log</text>";
    const char* labels[] = {"-100 %", "-1 %", "-100 ppm", "0", "100 ppm", "1 %", "100 %"};
    const double values[] = {-1e6, -1e4, -100, 0, 100, 1e4, 1e6};
    for (std::size_t i = 0; i < std::size(values); ++i)
        svg += format("<line class=\"grid\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>"
                      "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>",
                      f.left, y(values[i]), f.left + f.width, y(values[i]), f.left - 4,
                      y(values[i]) + 3, labels[i]);
    const std::size_t columns = r.taken.size();
    const double step = columns ? f.width / static_cast<double>(columns) : 0;
    for (std::size_t i = 0; i < columns; ++i) {
        const double x = f.left + (static_cast<double>(i) + 0.5) * step;
        for (const auto* c : {&r.taken[i], &r.left_out[i]}) {
            if (c->count == 0)
                continue;
            const char* cls = c == &r.taken[i] ? "taken" : "left";
            svg += format("<line class=\"%s\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                          cls, x, y(c->low) + 1, x, y(c->high) - 1);
        }
    }
    svg += format("<text class=\"tick\" x=\"%.1f\" y=\"262\">line %zu</text>"
                  "<text class=\"tick\" x=\"%.1f\" y=\"262\" text-anchor=\"end\">line %zu</text>",
                  f.left, r.first_line, f.left + f.width, r.last_line);
    return svg + "</svg>\n";
}

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

// The verdict with its marker's glyph, in its colour.
std::string verdict_cell(verdict v) {
    const verdict_marker* m = marker_of(v);
    if (!m)
        return std::string("<td>") + verdict_word(v) + "</td>";
    return std::string("<td style=\"color:") + m->colour + "\">" + m->glyph + " " +
           verdict_word(v) + "</td>";
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

// What is judged: the mean less the box's zero resistance, where the file
// gives one, less nominal.
std::string judged_deviation(const tolerance_data& data) {
    return data.zero == 0
               ? "the mean less nominal (the file gives no zero resistance)"
               : format("the mean less the zero resistance of %.4g Ω less nominal", data.zero);
}

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

// The legend of the decade charts where judged: the markers of the
// verdicts on the page, and the marks.
std::string chart_legend(const log_judgement& judged) {
    std::string shown;
    for (const verdict_marker& m : verdict_markers) {
        bool present = false;
        for (unsigned p = 1; p < positions; ++p)
            for (unsigned d = 0; d < decade_count; ++d)
                present = present || judged.settings[p][d].outcome == m.outcome;
        if (present)
            shown += std::string("<span style=\"color:") + m.colour + "\">" + m.glyph + "</span> " +
                     verdict_word(m.outcome) + " ";
    }
    return "<p>Each point is the judged deviation d of a setting, " +
           judged_deviation(judged.data) +
           ", in ppm of nominal, with a bar of ±U. The grey band with solid edges is ±T; dashed "
           "marks inside it are the acceptance limits, where the rule has them.</p>\n"
           "<p class=\"legend\">" +
           shown + "</p>\n";
}

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

// The log's own heading: its comment lines before the first reading.
std::string log_heading(const log_results& r) {
    if (r.heading.empty())
        return {};
    std::string lines;
    for (const std::string& line : r.heading)
        lines += (lines.empty() ? "" : "<br>") + escaped(line);
    return "<p class=\"heading\">" + lines + "</p>\n";
}

// The charts scale to the width they are given and the grids hold as many
// as fit, so the page reflows from a phone to a wide screen; the table alone
// may be wider than a phone, and scrolls within its own box.
const char* const page_style =
    "body{font:13px/1.4 sans-serif;margin:16px auto;padding:0 12px;max-width:1000px;color:#222;"
    "overflow-wrap:break-word}"
    "h1{font-size:20px}h2{font-size:16px;margin-top:24px}"
    "svg{width:100%;height:auto;display:block}"
    ".decades{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,340px),1fr));"
    "gap:8px}"
    ".runs{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,170px),1fr));"
    "gap:6px}"
    "figure{margin:0;min-width:0}figcaption{font-size:10px}"
    ".grid{stroke:#ddd;stroke-width:.5}.axis{stroke:#888}.tick{font-size:9px;fill:#555}"
    ".title{font-size:12px;fill:#222}.bar{stroke:#333;stroke-width:1.2}"
    ".none{font-size:9px;fill:#c00}.mean{stroke-dasharray:4 2}.reading{fill:#246}"
    ".range{stroke:#246;stroke-width:1.2}.far{fill:#d00;font-size:9px}circle.far{fill:none;"
    "stroke:#d00;stroke-width:1.2}.taken{stroke:#246}.left{stroke:#d00}"
    ".wide{overflow-x:auto}.band{fill:#e8eee8}.tmark{stroke:#555}"
    ".lmark{stroke:#555;stroke-dasharray:3 2}.heading{margin-top:-6px;color:#444}"
    ".conformity{border-left:3px solid #888;padding-left:10px}.summary{font-weight:bold}"
    ".legend span{font-size:15px}.mark{font-weight:bold}"
    "table{border-collapse:collapse;font-size:11px}td,th{border:1px solid #ccc;padding:1px 5px;"
    "text-align:right;white-space:nowrap}td:first-child{text-align:left}td.names{white-space:"
    "normal}"
    "pre{font-size:10px;white-space:pre-wrap;background:#f6f6f6;padding:6px}"
    "@page{size:A4;margin:12mm}"
    "@media print{body{max-width:none;margin:0;padding:0;font-size:10px}.wide{overflow:visible}"
    ".runs{grid-template-columns:repeat(5,minmax(0,1fr))}td,th{white-space:normal}"
    "svg,figure,tr{break-inside:avoid}}";

} // namespace

std::string results_page(const log_results& results, const std::string& log,
                         const std::string& audit_text) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                       "<title>decade-report: " +
                       escaped(file_name(log)) + "</title><style>" + page_style +
                       "</style></head><body>\n";
    page += "<header><h1>decade-report: " + escaped(file_name(log)) + "</h1>\n" +
            log_heading(results) + "</header>\n" + conformity(results) + "<p>" +
            readings_text(results.readings) +
            ". Every figure of the report comes from them as the report computes it; the scatter "
            "s of a setting's readings, the standard uncertainty of its mean u = s/√n "
            "(repeatability only) and the extremes are added.</p>\n";
    page += "<h2>Deviation of each setting</h2>\n" +
            (results.judged ? chart_legend(*results.judged) : std::string()) +
            "<div class=\"decades\">\n";
    for (unsigned d = 0; d < decade_count; ++d)
        page += decade_chart(results, d);
    page += "</div>\n<h2>The readings of each setting</h2>\n<p>In log order, ppm from nominal; "
            "the dashed line is the mean, red circles the readings the audit names far from the "
            "rest of their run.</p>\n<div class=\"runs\">\n";
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            page += run_chart(results, p, d);
    page += "</div>\n<h2>The whole log</h2>\n<p>Blue: readings the report takes; red: readings "
            "it leaves out.</p>\n" +
            log_chart(results) + "<h2>Figures</h2>\n<div class=\"wide\">" + figures_table(results) +
            "</div>\n";
    if (results.judged)
        page += budget_table(*results.judged) + tolerance_text(*results.judged);
    return page + "<h2>Audit of the log</h2>\n<pre>" + escaped(audit_text) +
           "</pre>\n</body></html>\n";
}
