// The sections of the page of charts (results_page.h), each in a file of
// its own: the charts, the tables, the conformity section and the styles,
// and here what they share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

// The page names a file by its name alone (file_name()): it is sent to
// customers, and the folders of the build machine are none of theirs.
#include "base/whole_file.h"
#include "judgement/conformity.h"
#include "judgement/judgement.h"
#include "results/results.h"

namespace page_parts {

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
inline constexpr verdict_marker verdict_markers[] = {
    {verdict::pass, shape::disc, "#1a7f37", "●"},
    {verdict::pass_star, shape::ring, "#9a6700", "○"},
    {verdict::conditional_pass, shape::half, "#9a6700", "◐"},
    {verdict::conditional_fail, shape::triangle, "#d4580a", "▲"},
    {verdict::fail, shape::cross, "#c00", "✕"},
};

// None for a setting that is not judged, or judged by no rule.
const verdict_marker* marker_of(verdict v);

// The verdict with its marker's glyph, in its colour: a table cell.
std::string verdict_cell(verdict v);

// A chart's plot area and the values its height spans, top to bottom.
struct plot {
    double left, top, width, height;
    double high, low;
    double y(double value) const {
        const double v = std::clamp(value, low, high);
        return top + (high - v) / (high - low) * height;
    }
};

// Horizontal grid lines with their values, in ppm, at round steps.
std::string y_ticks(const plot& f);

// The band colour of a deviation as the Textile tables give it, grey where
// they give none.
std::string colour_of(double ppm);

// What is judged: the mean less the box's zero resistance, where the file
// gives one, less nominal.
std::string judged_deviation(const tolerance_data& data);

// The charts (page_charts.cpp): each decade's deviations, each setting's
// readings, the whole log, and the legend of the decade charts.
std::string decade_chart(const log_results& r, unsigned d);
std::string run_chart(const log_results& r, unsigned p, unsigned d);
std::string log_chart(const log_results& r);
std::string chart_legend(const log_judgement& judged);

// The tables (page_tables.cpp): the figures, the uncertainty budget, and
// the tolerance file's own text.
std::string figures_table(const log_results& r);
std::string budget_table(const log_judgement& judged);
std::string tolerance_text(const log_judgement& judged);

// The conformity section the page opens with (page_conformity.cpp).
std::string conformity(const log_results& r);

// The History section (page_history.cpp): each setting's deviation at
// every calibration and the drift through them; and the calibration's
// record from the log's heading.
std::string history_section(const history_results& history);
std::string record_table(const calibration_record& record);

// The page's styles (page_style.cpp).
extern const char* const page_style;

} // namespace page_parts
