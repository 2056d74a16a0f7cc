// The page's History section, and the calibration's record it opens with.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "base/calendar.h"
#include "base/figure_text.h"
#include "base/text_format.h"
#include "log/setting_finder.h"
#include "results/html_text.h"
#include "results/page_parts.h"

namespace page_parts {

namespace {

constexpr double no_figure = std::numeric_limits<double>::quiet_NaN();

// Years from this calibration's date to `date`, as the fit counts them.
double years_to(const history_results& h, calendar_date date) {
    return years_between(h.calibrations.back().date, date);
}

std::string settings_named(const history_results& h, outlook which) {
    std::string names;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            if (h.settings[p][d].out == which)
                names += (names.empty() ? "" : ", ") + escaped(setting_label({p, d}));
    return names;
}

// A chart's span of time: from the earliest point to the due date.
struct time_axis {
    double left, width, first, last;
    double x(double t) const { return left + (t - first) / (last - first) * width; }
};

// The prediction's ±2u band about the line, from the first point to the
// due date, as one closed path.
std::string line_band(const plot& f, const time_axis& ta, const drift_line& line) {
    constexpr int steps = 24;
    std::string upper;
    std::vector<std::string> lower;
    for (int i = 0; i <= steps; ++i) {
        const double t = ta.first + (ta.last - ta.first) * i / steps;
        const prediction at = predict(line, t);
        upper += format("%s%.1f %.1f", i == 0 ? "M" : "L", ta.x(t), f.y(at.x + coverage * at.u));
        lower.push_back(format("L%.1f %.1f", ta.x(t), f.y(at.x - coverage * at.u)));
    }
    for (auto back = lower.rbegin(); back != lower.rend(); ++back)
        upper += *back;
    return "<path class=\"pband\" d=\"" + upper + "z\"/>" +
           format("<line class=\"fit\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                  ta.x(ta.first), f.y(line.a + line.b * ta.first), ta.x(ta.last),
                  f.y(line.a + line.b * ta.last));
}

// The values a setting's history chart must show.
plot history_plot(const setting_history& s, const time_axis& ta, double top, double height) {
    double low = -1, high = 1;
    auto reach = [&](double v) {
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    };
    for (const history_point& pt : s.points) {
        const double bar = std::isfinite(pt.at.u) ? coverage * pt.at.u : 0;
        reach(pt.at.x - bar);
        reach(pt.at.x + bar);
    }
    reach(s.tolerance);
    reach(-s.tolerance);
    reach(s.predicted - 2 * s.u_predicted);
    reach(s.predicted + 2 * s.u_predicted);
    if (s.line)
        reach(s.line->a + s.line->b * ta.first);
    const double pad = (high - low) * 0.08;
    return {ta.left, top, ta.width, height, high + pad, low - pad};
}

// Year marks along the time axis, at most about six.
std::string year_ticks(const history_results& h, const time_axis& ta, double bottom) {
    const int first = static_cast<int>(h.calibrations.front().date.year()) + 1;
    const int last = static_cast<int>(h.due.year());
    const int stride = std::max(1, (last - first + 6) / 6);
    std::string out;
    for (int y = first; y <= last; y += stride) {
        const double x = ta.x(years_to(h, std::chrono::year{y} / 1 / 1));
        out += format("<line class=\"grid\" x1=\"%.1f\" y1=\"6\" x2=\"%.1f\" y2=\"%.1f\"/>"
                      "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%d</text>",
                      x, x, bottom, x, bottom + 11, y);
    }
    return out;
}

// One setting: its points with ±2u bars, ±T, the line carried on to the
// due date with its ±2u band, and the due date.
std::string history_chart(const history_results& h, unsigned p, unsigned d) {
    const setting_history& s = h.settings[p][d];
    std::string svg = "<figure class=\"run\"><figcaption>" + escaped(setting_label({p, d})) +
                      "</figcaption><svg viewBox=\"0 0 300 130\" role=\"img\">";
    const double first = std::min(years_to(h, h.calibrations.front().date), -0.1);
    const time_axis ta{40, 250, first, std::max(years_to(h, h.due), 0.1)};
    const plot f = history_plot(s, ta, 6, 100);
    svg += y_ticks(f) + year_ticks(h, ta, f.top + f.height);
    if (std::isfinite(s.tolerance))
        svg += format("<rect class=\"band\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>",
                      f.left, f.y(s.tolerance), f.width, f.y(-s.tolerance) - f.y(s.tolerance));
    if (s.line)
        svg += line_band(f, ta, *s.line);
    const double due = ta.x(ta.last);
    svg += format("<line class=\"due\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>", due,
                  f.top, due, f.top + f.height);
    for (const history_point& pt : s.points) {
        const drift_point& at = pt.at;
        const double x = ta.x(at.t);
        if (std::isfinite(at.u))
            svg += format("<line class=\"bar\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                          x, f.y(at.x - coverage * at.u), x, f.y(at.x + coverage * at.u));
        svg += "<g><title>" + date_text(h.calibrations[pt.calibration].date) +
               format(": %.2f ppm", at.x) +
               (std::isfinite(at.u) ? format(", u = %.3g ppm", at.u) : std::string()) +
               (fitted(at) ? "" : ", not fitted") + "</title>" +
               format("<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"2.8\"/>",
                      fitted(at) ? "point" : "point unfitted", x, f.y(at.x)) +
               "</g>";
    }
    return svg + "</svg></figure>\n";
}

// What opens the section: the settings expected to leave or that may, and
// the interval the drift supports.
std::string history_statement(const history_results& h) {
    const std::string leave = settings_named(h, outlook::leaves);
    const std::string may = settings_named(h, outlook::may_leave);
    // "Outside" rather than "leave": a setting the line puts outside today
    // is counted too, whether or not it comes back by the due date.
    std::string out = "<p class=\"summary\">";
    if (!leave.empty())
        out += "Expected outside the tolerance before " + date_text(h.due) + ": " + leave + ". ";
    if (!may.empty())
        out += "May be outside the tolerance before " + date_text(h.due) + ": " + may + ". ";
    if (leave.empty() && may.empty() && h.supported_months)
        out += "Every setting with a drift line and a tolerance is expected to stay within it "
               "until " +
               date_text(h.due) + ". ";
    if (!h.supported_months)
        out += "No setting has both a drift line and a tolerance: no interval follows from the "
               "drift.";
    else if (*h.supported_months == 0)
        out += "The drift supports no interval: a setting may leave its tolerance within a month.";
    else if (*h.supported_months == longest_supported_months)
        out += format("The drift supports an interval of %d months or more.", *h.supported_months);
    else
        out += format("The drift supports an interval of %d months.", *h.supported_months);
    return out + "</p>\n";
}

// What each source of a point's u and of its zero is called, in the order
// of their enums.
constexpr const char* u_words[u_source_count] = {"u<sub>c</sub> as judged",
                                                 "s/√n with this file's Type B", "s/√n"};
constexpr const char* zero_words[zero_source_count] = {"as judged", "this file's", "none"};

// "u<sub>c</sub> as judged (21), s/√n with this file's Type B (2)": the
// sources a calibration's points took, each with its count.
template <std::size_t n>
std::string sources_cell(const std::size_t (&counts)[n], const char* const (&words)[n],
                         const std::string& after = "") {
    std::string cell;
    for (std::size_t i = 0; i < n; ++i)
        if (counts[i] > 0)
            cell += (cell.empty() ? "" : ", ") + std::string(words[i]) +
                    (i == 1 ? after : std::string()) + format(" (%zu)", counts[i]);
    return "<td>" + cell + "</td>";
}

// Where each calibration's points come from, which uncertainty and which
// zero resistance they took.
std::string calibrations_table(const history_results& h) {
    std::string t = "<div class=\"wide\"><table><thead><tr><th>date</th><th>results</th>"
                    "<th>item</th><th>points</th><th>u</th><th>zero</th></tr></thead><tbody>\n";
    const std::string zero = format(", %.4g mΩ", h.zero * 1000);
    for (std::size_t i = 0; i < h.calibrations.size(); ++i) {
        std::size_t points = 0, from[u_source_count] = {}, zeros[zero_source_count] = {};
        for (const auto& row : h.settings)
            for (const setting_history& s : row)
                for (const history_point& pt : s.points)
                    if (pt.calibration == i) {
                        ++points;
                        ++from[static_cast<std::size_t>(pt.from)];
                        ++zeros[static_cast<std::size_t>(pt.zero)];
                    }
        const calibration_source& c = h.calibrations[i];
        t += "<tr><td>" + date_text(c.date) + "</td><td>" +
             (i + 1 == h.calibrations.size() ? std::string("this calibration") : escaped(c.file)) +
             "</td><td>" + escaped(c.item) + format("</td><td>%zu</td>", points) +
             sources_cell(from, u_words) + sources_cell(zeros, zero_words, zero) + "</tr>\n";
    }
    return t + "</tbody></table></div>\n";
}

// Every figure of the history, one row a setting.
std::string history_table(const history_results& h) {
    std::string t = "<div class=\"wide\"><table><thead><tr><th>setting</th><th>previous</th>"
                    "<th>then, ppm</th><th>change, ppm</th><th>u, ppm</th><th>drift, ppm/a</th>"
                    "<th>u, ppm/a</th><th>predicted, ppm</th><th>u, ppm</th><th>T, ppm</th>"
                    "<th>outlook</th></tr></thead><tbody>\n";
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_history& s = h.settings[p][d];
            if (s.points.empty())
                continue;
            t += "<tr><td>" + escaped(setting_label({p, d})) + "</td>";
            const history_point* then = s.previous ? &s.points[*s.previous] : nullptr;
            auto cell = [](const char* pattern, double v) {
                return "<td>" + figure_text(pattern, v) + "</td>";
            };
            t += "<td>" + (then ? date_text(h.calibrations[then->calibration].date) : "") +
                 "</td>" + cell("%+.2f", then ? then->at.x : no_figure) + cell("%+.2f", s.change) +
                 cell("%.2g", s.u_change) + cell("%+.2f", s.line ? s.line->b : no_figure) +
                 cell("%.2g", s.line ? std::sqrt(s.line->var_b) : no_figure) +
                 cell("%+.2f", s.predicted) + cell("%.2g", s.u_predicted) +
                 cell("±%.1f", s.tolerance) + "<td>" + (s.out ? outlook_word(*s.out) : "") +
                 "</td></tr>\n";
        }
    return t + "</tbody></table></div>\n";
}

} // namespace

std::string history_section(const history_results& h) {
    std::string out =
        "<section class=\"history\"><h2>History</h2>\n" + history_statement(h) +
        format("<p>This calibration of %s and %zu earlier ones. Each point is a "
               "setting's deviation from nominal in ppm, less the zero resistance "
               "the table below names for its calibration, with a bar of ±2u; a "
               "hollow point has no uncertainty the fit can weigh. The line is "
               "the weighted least-squares fit through the other points, carried "
               "on to the due date %s (%u months on, dashed) with its ±2u band, "
               "its uncertainty widened where the points scatter more than they "
               "state. The grey band is ±T. A setting stays where the band lies "
               "within ±T from today to the due date. The interval is the laboratory's "
               "planning figure, for a drift that stays linear; it is not a "
               "statement of conformity. Settings without readings at any of these "
               "calibrations are left out.</p>\n",
               date_text(h.calibrations.back().date).c_str(), h.calibrations.size() - 1,
               date_text(h.due).c_str(), h.interval_months) +
        calibrations_table(h);
    for (unsigned d = 0; d < decade_count; ++d) {
        std::string charts;
        for (unsigned p = 1; p < positions; ++p)
            if (!h.settings[p][d].points.empty())
                charts += history_chart(h, p, d);
        out += format("<h3>Decade %s</h3>\n", decade_name(d).c_str()) +
               (charts.empty() ? "<p>No readings, now or earlier.</p>\n"
                               : "<div class=\"runs\">\n" + charts + "</div>\n");
    }
    return out + history_table(h) + "</section>\n";
}

std::string record_table(const calibration_record& record) {
    if (record.fields.empty())
        return {};
    std::string t = "<table class=\"record\"><tbody>\n";
    for (const record_field& f : record.fields) {
        std::string key = key_name(f.key);
        key.front() = static_cast<char>(key.front() - 'a' + 'A'); // the keys are lower case
        t += "<tr><th>" + key + "</th><td>" + escaped(f.value) + "</td></tr>\n";
    }
    return t + "</tbody></table>\n";
}

} // namespace page_parts
