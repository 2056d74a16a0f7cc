#include "results/results.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "analysis/classify.h"
#include "analysis/stats.h"
#include "base/calendar.h"
#include "base/figure_text.h"
#include "log/log_reader.h"
#include "log/setting_finder.h"
#include "results_file/columns.h"
#include "results_file/csv.h"

void chart_column::add(float value) {
    low = count == 0 ? value : std::min(low, value);
    high = count == 0 ? value : std::max(high, value);
    ++count;
}

setting_grid<setting_input> setting_inputs(const log_results& results) {
    setting_grid<setting_input> inputs{};
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_figures& s = results.settings[p][d];
            inputs[p][d] = {results.nominal[p][d], d, s.count, s.mean, s.stdev};
        }
    return inputs;
}

this_calibration history_input(const log_results& results, std::string_view log) {
    this_calibration now;
    now.log = std::string(log);
    now.date = *results.record.date;
    if (const record_field* item = find_field(results.record, record_key::item))
        now.item = item->value;
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_figures& s = results.settings[p][d];
            now.nominal[p][d] = results.nominal[p][d];
            now.settings[p][d] = {s.count, s.mean, s.u_mean_ppm};
        }
    return now;
}

namespace {

// What the pass over the readings gathers for one setting besides its chart.
struct tally {
    std::size_t seen = 0;
    double squares = 0; // of the deviations from the report's mean
    std::size_t first = 0, last = 0;
};

// The report's own figures, by the report's own code.
void report_figures(std::span<const float> readings, log_results& results) {
    grid g{};
    fill_nominal(g);
    classify(g, readings, nullptr);
    compute_ppm(g);
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            setting_figures& s = results.settings[p][d];
            s.count = g.count[p][d];
            s.mean = g.mean[p][d];
            s.ppm = g.ppm[p][d];
            s.columns.assign(std::min<std::size_t>(s.count, run_columns), {});
        }
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            results.nominal[p][d] = g.nominal[p][d];
}

// The setting finder and the report's classify() test the same windows,
// and a setting's chart columns are sized by classify()'s count.  Were the
// two ever to disagree, the figures would mix two counts: the build stops
// instead of writing past the chart's columns.
[[noreturn]] void counts_disagree(setting at) {
    throw std::logic_error(setting_label(at) +
                           ": the setting finder and the report count different readings");
}

// The reading of index i, taken by setting `at`, into that setting's figures.
void take(log_results& results, tally& t, setting at, std::size_t i, float reading) {
    setting_figures& s = results.settings[at.p][at.d];
    if (t.seen >= s.count)
        counts_disagree(at);
    const double nominal = results.nominal[at.p][at.d];
    const double off = reading - s.mean;
    t.squares += off * off;
    s.min = t.seen == 0 ? reading : std::min(s.min, reading);
    s.max = t.seen == 0 ? reading : std::max(s.max, reading);
    if (t.seen == 0)
        t.first = i;
    t.last = i;
    s.columns[column_of(t.seen, s.count, run_columns)].add(
        static_cast<float>(ppm_of(reading, nominal)));
    ++t.seen;
}

} // namespace

// One pass over the readings, each assigned as the report assigns it.
log_results evaluate(std::span<const float> readings, const audit_findings& found) {
    log_results results{};
    report_figures(readings, results);
    const setting_finder finder;
    tally tallies[positions][decade_count]{};
    const std::size_t n = readings.size();
    results.readings = n;
    const std::size_t width = std::min(n, log_columns);
    results.taken.assign(width, {});
    results.left_out.assign(width, {});
    const std::vector<far_reading>& far = found.far; // in log order
    std::size_t next_far = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const float reading = readings[i];
        const setting_finder::found f = finder.find(reading);
        for (unsigned k = 0; k < f.count; ++k) {
            const setting at = f.taken[k];
            tally& t = tallies[at.p][at.d];
            for (std::size_t j = next_far; j < far.size() && far[j].index == i; ++j)
                if (far[j].at == at)
                    results.settings[at.p][at.d].far.push_back(
                        {t.seen, found.lines.line_of(i), ppm_of(reading, finder.nominal(at))});
            take(results, t, at, i, reading);
        }
        while (next_far < far.size() && far[next_far].index == i)
            ++next_far;
        // Off every window: the deviation from the nearest setting, and the
        // lowest a float holds for a reading of zero or less.
        const setting near = f.count > 0           ? f.taken[0]
                             : f.nominal_count > 0 ? f.nominal_of[0]
                                                   : finder.nearest(reading);
        const float ppm = reading > 0 ? static_cast<float>(ppm_of(reading, finder.nominal(near)))
                                      : -std::numeric_limits<float>::max();
        (f.count > 0 ? results.taken : results.left_out)[column_of(i, n, width)].add(ppm);
    }
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            setting_figures& s = results.settings[p][d];
            const tally& t = tallies[p][d];
            if (t.seen != s.count)
                counts_disagree({p, d});
            if (t.seen == 0)
                continue;
            const double nominal = results.nominal[p][d];
            if (t.seen >= 2)
                s.stdev = std::sqrt(t.squares / static_cast<double>(t.seen - 1));
            s.stdev_ppm = relative_ppm(s.stdev, nominal);
            s.u_mean_ppm = s.stdev_ppm / std::sqrt(static_cast<double>(t.seen));
            s.first_line = found.lines.line_of(t.first);
            s.last_line = found.lines.line_of(t.last);
            s.far_count = found.far_count[p][d];
        }
    if (n > 0) {
        results.first_line = found.lines.line_of(0);
        results.last_line = found.lines.line_of(n - 1);
    }
    return results;
}

namespace {

using row_fields = std::array<std::string, result_column_count>;

// A setting's place and the report's figures with those added to them; a
// setting without readings has its count and outliers, nothing else.
void figure_fields(const log_results& results, unsigned p, unsigned d, row_fields& row) {
    const setting_figures& s = results.settings[p][d];
    row[column_index("position")] = std::to_string(p);
    row[column_index("decade")] = decade_name(d);
    row[column_index("nominal_ohm")] = std::to_string(std::llround(results.nominal[p][d]));
    row[column_index("count")] = std::to_string(s.count);
    row[column_index("outliers")] = std::to_string(s.far_count);
    if (s.count == 0)
        return;
    row[column_index("mean_ohm")] = double_text(s.mean);
    row[column_index("deviation_ppm")] = double_text(s.ppm);
    row[column_index("stdev_ppm")] = double_text(s.stdev_ppm);
    row[column_index("u_mean_ppm")] = double_text(s.u_mean_ppm);
    row[column_index("min_ohm")] = reading_text(s.min);
    row[column_index("max_ohm")] = reading_text(s.max);
    row[column_index("first_line")] = std::to_string(s.first_line);
    row[column_index("last_line")] = std::to_string(s.last_line);
}

// The judgement's columns, where the setting is judged.
void judged_fields(const judgement& j, row_fields& row) {
    if (j.outcome == verdict::not_judged)
        return;
    auto ppm = [&j](double ohms) { return double_text(relative_ppm(ohms, j.nominal)); };
    row[column_index("judged_deviation_ppm")] = double_text(deviation_ppm(j));
    row[column_index("tolerance_ppm")] = ppm(j.tolerance);
    row[column_index("u_meter_ppm")] = ppm(j.u_meter);
    row[column_index("u_other_ppm")] = ppm(j.u_other);
    row[column_index("u_c_ppm")] = ppm(j.u_c);
    row[column_index("nu_eff")] = double_text(j.nu_eff);
    row[column_index("k")] = double_text(j.k);
    row[column_index("U_ppm")] = ppm(j.expanded);
    row[column_index("tur")] = double_text(j.tur);
    row[column_index("acceptance_ppm")] = j.limit ? ppm(*j.limit) : "";
    row[column_index("verdict")] = verdict_word(j.outcome);
}

// The calibration's columns, where the log gives them, and the setting's
// history: all empty but the due date for a setting without readings.
void history_fields(const log_results& results, unsigned p, unsigned d, row_fields& row) {
    if (const record_field* item = find_field(results.record, record_key::item))
        row[column_index("item")] = item->value;
    if (!results.history)
        return;
    const history_results& history = *results.history;
    row[column_index("date")] = date_text(history.calibrations.back().date);
    row[column_index("due_date")] = date_text(history.due);
    const setting_history& h = history.settings[p][d];
    if (h.previous) {
        const history_point& then = h.points[*h.previous];
        row[column_index("previous_date")] = date_text(history.calibrations[then.calibration].date);
        row[column_index("previous_ppm")] = double_text(then.at.x);
        row[column_index("change_ppm")] = double_text(h.change);
        row[column_index("u_change_ppm")] = double_text(h.u_change);
    }
    if (h.line) {
        row[column_index("drift_ppm_per_year")] = double_text(h.line->b);
        row[column_index("u_drift_ppm_per_year")] = double_text(std::sqrt(h.line->var_b));
        row[column_index("predicted_ppm")] = double_text(h.predicted);
        row[column_index("u_predicted_ppm")] = double_text(h.u_predicted);
    }
    if (h.out)
        row[column_index("outlook")] = outlook_word(*h.out);
}

} // namespace

std::string results_csv(const log_results& results) {
    std::string csv = results_header();
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            row_fields row;
            figure_fields(results, p, d, row);
            if (results.judged)
                judged_fields(results.judged->settings[p][d], row);
            history_fields(results, p, d, row);
            csv += csv_line(row);
        }
    return csv;
}
