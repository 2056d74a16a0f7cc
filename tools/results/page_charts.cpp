// The page's charts: each decade's deviations, each setting's readings in
// log order, and the whole log, all inline SVG.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

#include "analysis/stats.h"
#include "base/figure_text.h"
#include "base/text_format.h"
#include "log/setting_finder.h"
#include "results/html_text.h"
#include "results/page_parts.h"

namespace page_parts {

namespace {

// 300 Ω, 20 kΩ, 1 MΩ: a nominal value short enough for an axis.
std::string short_ohms(double ohms) {
    if (ohms < 1e3)
        return format("%g Ω", ohms);
    return ohms < 1e6 ? format("%g kΩ", ohms / 1e3) : format("%g MΩ", ohms / 1e6);
}

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

// The values a run's chart must show: its columns and its mean.  Every
// column holds a reading, as a run is spread over no more columns than it
// has readings.
plot run_plot(const setting_figures& s, double left, double top, double width, double height) {
    double low = s.ppm;
    double high = low;
    for (const chart_column& c : s.columns) {
        low = std::min(low, static_cast<double>(c.low));
        high = std::max(high, static_cast<double>(c.high));
    }
    const double pad = std::max((high - low) * 0.08, 0.5);
    return {left, top, width, height, high + pad, low - pad};
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

// Deviations in ppm on a scale that is linear within 1 ppm of zero and
// logarithmic beyond: a scatter of 1 ppm and a reading 10 % off both show.
double warped(double ppm) {
    return std::copysign(std::log10(1 + std::fabs(ppm)), ppm);
}

} // namespace

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
                             "<text class=\"title\" x=\"48\" y=\"14\">Decade %s: %s</text>",
                             decade_name(d).c_str(),
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

} // namespace page_parts
