#include "results_page.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "analysis/stats.h"
#include "log_reader.h"
#include "report/textile.h"
#include "setting_finder.h"
#include "text_format.h"

namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
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

// The log's lines of a setting's readings: 5, or 5-20.
std::string line_span(const setting_figures& s) {
    return s.first_line == s.last_line ? format("%zu", s.first_line)
                                       : format("%zu-%zu", s.first_line, s.last_line);
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

// For each decade: the ten deviations with error bars of twice the standard
// uncertainty of the mean, each point in its band's colour.
std::string decade_chart(const log_results& r, unsigned d) {
    double low = -5, high = 5;
    for (unsigned p = 1; p < positions; ++p) {
        const setting_figures& s = r.settings[p][d];
        if (!std::isfinite(s.ppm))
            continue;
        const double u = std::isfinite(s.u_mean_ppm) ? 2 * s.u_mean_ppm : 0;
        low = std::min(low, s.ppm - u);
        high = std::max(high, s.ppm + u);
    }
    const double pad = (high - low) * 0.08;
    const plot f{48, 22, 500, 150, high + pad, low - pad};
    std::string svg = format("<svg viewBox=\"0 0 560 200\" role=\"img\" class=\"decade\">"
                             "<text class=\"title\" x=\"48\" y=\"14\">Decade 1E%u: deviation "
                             "from nominal, ppm (bars: ±2u, k = 2)</text>",
                             d + 1) +
                      y_ticks(f);
    const double zero = f.y(0);
    svg += format("<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>", f.left,
                  zero, f.left + f.width, zero);
    for (unsigned p = 1; p < positions; ++p) {
        const setting_figures& s = r.settings[p][d];
        const double x = f.left + (p - 0.5) / 10 * f.width;
        svg += format("<text class=\"tick\" x=\"%.1f\" y=\"190\" text-anchor=\"middle\">", x) +
               short_ohms(r.nominal[p][d]) + "</text>";
        if (!std::isfinite(s.ppm)) {
            svg += format("<text class=\"none\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">no "
                          "readings</text>",
                          x, zero - 4);
            continue;
        }
        if (std::isfinite(s.u_mean_ppm))
            svg += format("<line class=\"bar\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
                          x, f.y(s.ppm - 2 * s.u_mean_ppm), x, f.y(s.ppm + 2 * s.u_mean_ppm));
        svg += format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4.5\" fill=\"%s\"><title>", x,
                      f.y(s.ppm), colour_of(s.ppm).c_str()) +
               escaped(setting_label({p, d})) + format(": %.2f ppm", s.ppm) +
               (std::isfinite(s.u_mean_ppm) ? format(", u = %.3g ppm", s.u_mean_ppm) : "") +
               "</title></circle>";
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
    svg += (s.count == 1 ? std::string(": 1 reading, line ")
                         : format(": %u readings, lines ", s.count)) +
           line_span(s) + "</figcaption><svg viewBox=\"0 0 300 120\" role=\"img\">";
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
            auto figure = [](const char* pattern, double v) {
                return std::isfinite(v) ? format(pattern, v) : std::string();
            };
            t += "<td>" + figure("%.5f", s.mean) + "</td><td style=\"color:" + colour_of(s.ppm) +
                 "\">" + figure("%.2f", s.ppm) + "</td><td>" + figure("%.3g", s.stdev_ppm) +
                 "</td><td>" + figure("%.3g", s.u_mean_ppm) + "</td><td>" + reading_text(s.min) +
                 "</td><td>" + reading_text(s.max) + "</td><td>" + line_span(s) +
                 format("</td><td>%zu</td></tr>\n", s.far_count);
        }
    return t + "</tbody></table>\n";
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
    ".wide{overflow-x:auto}"
    "table{border-collapse:collapse;font-size:11px}td,th{border:1px solid #ccc;padding:1px 5px;"
    "text-align:right;white-space:nowrap}td:first-child{text-align:left}"
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
                       escaped(log) + "</title><style>" + page_style + "</style></head><body>\n";
    page += "<h1>decade-report: " + escaped(log) + "</h1>\n" +
            format("<p>%zu readings. Every figure of the report comes from them as the report "
                   "computes it; the scatter s of a setting's readings, the standard uncertainty "
                   "of its mean u = s/√n (repeatability only) and the extremes are added.</p>\n",
                   results.readings);
    page += "<h2>Deviation of each setting</h2>\n<div class=\"decades\">\n";
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
            "</div>\n<h2>Audit of the log</h2>\n<pre>" + escaped(audit_text) +
            "</pre>\n</body></html>\n";
    return page;
}
