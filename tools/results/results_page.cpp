#include "results/results_page.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "base/figure_text.h"
#include "base/text_format.h"
#include "base/whole_file.h"
#include "report/textile.h"
#include "results/html_text.h"
#include "results/page_parts.h"

namespace page_parts {

std::string colour_of(double ppm) {
    const char* code = cell_colour(ppm);
    return code ? std::string("#") + code : "#999";
}

const verdict_marker* marker_of(verdict v) {
    const auto m = std::find_if(std::begin(verdict_markers), std::end(verdict_markers),
                                [v](const verdict_marker& x) { return x.outcome == v; });
    return m == std::end(verdict_markers) ? nullptr : &*m;
}

std::string verdict_cell(verdict v) {
    const verdict_marker* m = marker_of(v);
    if (!m)
        return std::string("<td>") + verdict_word(v) + "</td>";
    return std::string("<td style=\"color:") + m->colour + "\">" + m->glyph + " " +
           verdict_word(v) + "</td>";
}

std::string judged_deviation(const tolerance_data& data) {
    return data.zero == 0
               ? "the mean less nominal (the file gives no zero resistance)"
               : format("the mean less the zero resistance of %.4g Ω less nominal", data.zero);
}

} // namespace page_parts

namespace {

// The log's own heading: the calibration's record as a table, where its
// comment lines give one, then the rest of them as they are.
std::string log_heading(const log_results& r) {
    const bool record = !r.record.fields.empty();
    std::string lines;
    if (record)
        for (const heading_line& line : r.record.free_lines)
            lines += (lines.empty() ? "" : "<br>") + escaped(line.text);
    else
        for (const std::string& line : r.heading)
            lines += (lines.empty() ? "" : "<br>") + escaped(line);
    return page_parts::record_table(r.record) +
           (lines.empty() ? "" : "<p class=\"heading\">" + lines + "</p>\n");
}

} // namespace

std::string results_page(const log_results& results, const std::string& log,
                         const std::string& audit_text) {
    using namespace page_parts;
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
    // Earlier results given: this calibration is one of several.
    if (results.history && results.history->calibrations.size() > 1)
        page += history_section(*results.history);
    return page + "<h2>Audit of the log</h2>\n<pre>" + escaped(audit_text) +
           "</pre>\n</body></html>\n";
}
