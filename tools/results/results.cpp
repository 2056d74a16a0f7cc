#include "results/results.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "analysis/classify.h"
#include "analysis/stats.h"
#include "log/log_reader.h"
#include "log/setting_finder.h"

void chart_column::add(float value) {
    low = count == 0 ? value : std::min(low, value);
    high = count == 0 ? value : std::max(high, value);
    ++count;
}

std::string double_text(double value) {
    char buf[400]; // the longest fixed form of a double
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    return {buf, ec == std::errc{} ? end : buf};
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

// The reading of index i, taken by setting `at`, into that setting's figures.
void take(log_results& results, tally& t, setting at, std::size_t i, float reading) {
    setting_figures& s = results.settings[at.p][at.d];
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

// Empty where no figure exists: never "nan" or "inf".
std::string figure(double value) {
    return std::isfinite(value) ? double_text(value) : "";
}

// The judgement's columns of one setting, each with its comma before it.
std::string judged_fields(const log_results& results, unsigned p, unsigned d) {
    constexpr std::size_t columns = 11;
    const judgement* j = results.judged ? &results.judged->settings[p][d] : nullptr;
    if (!j || j->outcome == verdict::not_judged)
        return std::string(columns, ',');
    auto ppm = [j](double ohms) { return "," + figure(relative_ppm(ohms, j->nominal)); };
    return "," + figure(deviation_ppm(*j)) + ppm(j->tolerance) + ppm(j->u_meter) + ppm(j->u_other) +
           ppm(j->u_c) + "," + figure(j->nu_eff) + "," + figure(j->k) + ppm(j->expanded) + "," +
           figure(j->tur) + "," + (j->limit ? figure(relative_ppm(*j->limit, j->nominal)) : "") +
           "," + verdict_word(j->outcome);
}

} // namespace

std::string results_csv(const log_results& results) {
    std::string csv = "position,decade,nominal_ohm,count,mean_ohm,deviation_ppm,stdev_ppm,"
                      "u_mean_ppm,min_ohm,max_ohm,first_line,last_line,outliers,"
                      "judged_deviation_ppm,tolerance_ppm,u_meter_ppm,u_other_ppm,u_c_ppm,nu_eff,"
                      "k,U_ppm,tur,acceptance_ppm,verdict\r\n";
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_figures& s = results.settings[p][d];
            const bool any = s.count > 0;
            auto field = [any](const std::string& text) { return "," + (any ? text : ""); };
            csv += std::to_string(p) + ",1E" + std::to_string(d + 1) + "," +
                   std::to_string(std::llround(results.nominal[p][d])) + "," +
                   std::to_string(s.count) + field(figure(s.mean)) + field(figure(s.ppm)) +
                   field(figure(s.stdev_ppm)) + field(figure(s.u_mean_ppm)) +
                   field(reading_text(s.min)) + field(reading_text(s.max)) +
                   field(std::to_string(s.first_line)) + field(std::to_string(s.last_line)) + "," +
                   std::to_string(s.far_count) + judged_fields(results, p, d) + "\r\n";
        }
    return csv;
}
