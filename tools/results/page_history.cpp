// The page's History section, and the calibration's record it opens with.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "base/figure_text.h"
#include "base/text_format.h"
#include "history/calendar.h"
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
        const double centre = line.a + line.b * t;
        const double u =
            std::sqrt(std::max(0.0, line.var_a + t * t * line.var_b + 2 * t * line.cov_ab));
        upper += format("%s%.1f %.1f", i == 0 ? "M" : "L", ta.x(t), f.y(centre + 2 * u));
        lower.push_back(format("L%.1f %.1f", ta.x(t), f.y(centre - 2 * u)));
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
        const double bar = std::isfinite(pt.u) ? 2 * pt.u : 0;
        reach(pt.x - bar);
        reach(pt.x + bar);
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
        const double x = ta.x(pt.t);
        if (std::isfinite(pt.u))
            svg += format("<line class=\"bar\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                          x, f.y(pt.x - 2 * pt.u), x, f.y(pt.x + 2 * pt.u));
        svg += "<g><title>" + date_text(h.calibrations[pt.calibration].date) +
               format(": %.2f ppm", pt.x) +
               (std::isfinite(pt.u) ? format(", u = %.3g ppm", pt.u) : std::string()) + "</title>" +
               format("<circle class=\"point\" cx=\"%.1f\" cy=\"%.1f\" r=\"2.8\"/>", x, f.y(pt.x)) +
               "</g>";
    }
    return svg + "</svg></figure>\n";
}

// What opens the section: the settings expected to leave or that may, and
// the interval the drift supports.
std::string history_statement(const history_results& h) {
    const std::string leave = settings_named(h, outlook::leaves);
    const std::string may = settings_named(h, outlook::may_leave);
    std::string out = "<p class=\"summary\">";
    if (!leave.empty())
        out += "Expected to leave the tolerance by " + date_text(h.due) + ": " + leave + ". ";
    if (!may.empty())
        out += "May leave the tolerance by " + date_text(h.due) + ": " + may + ". ";
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

// Where each calibration's points come from, and which uncertainty each
// file gave.
std::string calibrations_table(const history_results& h) {
    std::string t = "<div class=\"wide\"><table><thead><tr><th>date</th><th>results</th>"
                    "<th>item</th><th>points</th><th>u from</th></tr></thead><tbody>\n";
    for (std::size_t i = 0; i < h.calibrations.size(); ++i) {
        std::size_t points = 0, combined = 0, of_mean = 0;
        for (unsigned p = 1; p < positions; ++p)
            for (unsigned d = 0; d < decade_count; ++d)
                for (const history_point& pt : h.settings[p][d].points)
                    if (pt.calibration == i) {
                        ++points;
                        combined += pt.from == u_source::combined;
                        of_mean += pt.from == u_source::of_mean;
                    }
        // By which sources the file's points have: of neither, u_c, s/√n, or both.
        constexpr const char* sources[] = {"none", "u<sub>c</sub>", "s/√n",
                                           "u<sub>c</sub> where judged, else s/√n"};
        const char* from = sources[(combined > 0 ? 1 : 0) + (of_mean > 0 ? 2 : 0)];
        const calibration_source& c = h.calibrations[i];
        t += "<tr><td>" + date_text(c.date) + "</td><td>" +
             (i + 1 == h.calibrations.size() ? std::string("this calibration") : escaped(c.file)) +
             "</td><td>" + escaped(c.item) + format("</td><td>%zu</td><td>", points) + from +
             "</td></tr>\n";
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
                 "</td>" + cell("%+.2f", then ? then->x : no_figure) + cell("%+.2f", s.change) +
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
               "setting's deviation from nominal less the zero resistance, in ppm, "
               "with a bar of ±2u; the line is the weighted least-squares fit "
               "through the points that have an uncertainty, carried on to the "
               "due date %s (%u months on, dashed) with its ±2u band, its "
               "uncertainty widened where the points scatter more than they "
               "state. The grey band is ±T. The interval is the laboratory's "
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
        out += format("<h3>Decade 1E%u</h3>\n", d + 1) +
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
