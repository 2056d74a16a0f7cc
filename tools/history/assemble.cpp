#include "history/assemble.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

#include "analysis/stats.h"
#include "history/calendar.h"
#include "judgement/judgement.h"

namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();

// (mean − zero − nominal) / nominal in ppm, as the judgement computes its
// deviation: this calibration's x is its judged_deviation_ppm to the bit.
double deviation_of(double mean, double zero, double nominal) {
    return ppm_of(nominal + ((mean - zero) - nominal), nominal);
}

// A point's u is u_c where the setting was judged, else the u of its mean,
// else none (a single reading).
history_point point_of(std::size_t calibration, double t, double x, double u_c, double u_mean) {
    history_point point{calibration, t, x};
    if (std::isfinite(u_c))
        point.u = u_c, point.from = u_source::combined;
    else if (std::isfinite(u_mean))
        point.u = u_mean, point.from = u_source::of_mean;
    return point;
}

drift_point as_drift(const history_point& p) {
    return {p.t, p.x, std::isfinite(p.u) ? std::optional<double>(p.u) : std::nullopt};
}

std::string file_name(std::string_view path) {
    return std::filesystem::path(path).filename().string();
}

// This calibration's u_c of a setting in ppm, where it was judged.
double judged_u_c(const log_results& results, unsigned p, unsigned d) {
    if (!results.judged)
        return none;
    const judgement& j = results.judged->settings[p][d];
    return j.outcome == verdict::not_judged ? none : relative_ppm(j.u_c, j.nominal);
}

// T in ppm of a setting, with a tolerance file.
double tolerance_ppm(const log_results& results, unsigned p, unsigned d) {
    const double nominal = results.nominal[p][d];
    return results.judged ? relative_ppm(tolerance_of(results.judged->data, nominal, d), nominal)
                          : none;
}

// The figures of a setting that has its points, this calibration's last.
void figures_of(setting_history& h, double t_due, double tolerance) {
    h.tolerance = tolerance;
    if (h.points.size() >= 2) {
        h.previous = h.points.size() - 2;
        const change c = change_since(as_drift(h.points.back()), as_drift(h.points[*h.previous]));
        h.change = c.x;
        h.u_change = c.u.value_or(none);
    }
    std::vector<drift_point> points;
    for (const history_point& p : h.points)
        points.push_back(as_drift(p));
    h.line = fit_drift(points);
    if (!h.line)
        return;
    const prediction due = predict(*h.line, t_due);
    h.predicted = due.x;
    h.u_predicted = due.u;
    if (std::isfinite(tolerance))
        h.out = outlook_of(due, tolerance);
}

} // namespace

history_results make_history(const log_results& results, std::string_view log,
                             std::span<const earlier_results> earlier) {
    history_results h;
    const calendar_date date = *results.record.date;
    const record_field* item = find_field(results.record, record_key::item);
    for (const earlier_results& e : earlier)
        h.calibrations.push_back({file_name(e.file), e.date, e.item});
    h.calibrations.push_back({file_name(log), date, item ? item->value : ""});
    const double zero = results.judged ? results.judged->data.zero : 0;
    h.interval_months = results.judged ? results.judged->data.interval_months : 12;
    h.due = plus_months(date, static_cast<int>(h.interval_months));
    const double t_due = years_between(date, h.due);
    std::vector<drift_limit> limits;
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_figures& now = results.settings[p][d];
            if (now.count == 0)
                continue;
            const double nominal = results.nominal[p][d];
            setting_history& s = h.settings[p][d];
            for (std::size_t i = 0; i < earlier.size(); ++i) {
                const earlier_setting& then = earlier[i].settings[p][d];
                if (then.count > 0)
                    s.points.push_back(point_of(i, years_between(date, earlier[i].date),
                                                deviation_of(then.mean, zero, nominal),
                                                then.u_c_ppm, then.u_mean_ppm));
            }
            s.points.push_back(point_of(earlier.size(), 0, deviation_of(now.mean, zero, nominal),
                                        judged_u_c(results, p, d), now.u_mean_ppm));
            figures_of(s, t_due, tolerance_ppm(results, p, d));
            if (s.line && std::isfinite(s.tolerance))
                limits.push_back({*s.line, s.tolerance});
        }
    h.supported_months = supported_interval(date, limits);
    return h;
}
