#include "history/assemble.h"

#include <cmath>
#include <vector>

#include "analysis/stats.h"
#include "base/calendar.h"
#include "base/whole_file.h"
#include "judgement/judgement.h"

namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();

// What one calibration's setting gives, before it is a point.
struct given {
    double mean = none; // ohms
    double u_mean_ppm = none;
    double u_c_ppm = none;              // where it was judged
    double judged_deviation_ppm = none; // after its own zero, where judged
};

// A point taken alike at every calibration.  With a tolerance file: x after
// the zero the setting was judged with, or after this file's where it was
// not judged; u its u_c, or s/√n combined with this file's Type B terms at
// its mean.  Without one: x from the mean alone, u = s/√n.
history_point point_of(std::size_t calibration, double t, const given& g, double nominal,
                       const tolerance_data* data) {
    history_point point{calibration, {t, none, none}};
    if (!data) {
        point.at.x = judged_deviation_ppm(judged_deviation(g.mean, 0, nominal), nominal);
        point.at.u = g.u_mean_ppm;
        return point;
    }
    const bool judged = std::isfinite(g.judged_deviation_ppm);
    point.zero = judged ? zero_source::own : zero_source::this_file;
    point.at.x = judged
                     ? g.judged_deviation_ppm
                     : judged_deviation_ppm(judged_deviation(g.mean, data->zero, nominal), nominal);
    if (std::isfinite(g.u_c_ppm)) {
        point.from = u_source::combined;
        point.at.u = g.u_c_ppm;
        return point;
    }
    const type_b_terms b = type_b(*data, nominal, g.mean);
    point.from = u_source::mean_and_b;
    point.at.u = std::hypot(g.u_mean_ppm, relative_ppm(b.u_meter, nominal),
                            relative_ppm(b.u_other, nominal));
    return point;
}

// This calibration's setting, as judged where it was.
given given_now(const measured_setting& s, const log_judgement* judged, unsigned p, unsigned d) {
    given g{s.mean, s.u_mean_ppm};
    if (judged && judged->settings[p][d].outcome != verdict::not_judged) {
        const judgement& j = judged->settings[p][d];
        g.u_c_ppm = relative_ppm(j.u_c, j.nominal);
        g.judged_deviation_ppm = deviation_ppm(j);
    }
    return g;
}

// The figures of a setting that has its points, this calibration's last.
void figures_of(setting_history& h, double t_due, double tolerance) {
    h.tolerance = tolerance;
    std::vector<drift_point> points;
    for (const history_point& p : h.points)
        points.push_back(p.at);
    if (points.size() >= 2) {
        h.previous = points.size() - 2;
        const change c = change_since(points.back(), points[*h.previous]);
        h.change = c.x;
        h.u_change = c.u;
    }
    h.line = fit_drift(points);
    if (!h.line)
        return;
    const prediction due = predict(*h.line, t_due);
    h.predicted = due.x;
    h.u_predicted = due.u;
    if (std::isfinite(tolerance)) {
        const interval_outlook over = outlook_over(*h.line, t_due, tolerance);
        h.out = over.out;
        h.out_at_due = over.at_due;
    }
}

} // namespace

history_results make_history(const this_calibration& now, const log_judgement* judged,
                             std::span<const earlier_results> earlier) {
    history_results h;
    for (const earlier_results& e : earlier)
        h.calibrations.push_back({file_name(e.file), e.date, e.item});
    h.calibrations.push_back({now.log, now.date, now.item});
    const tolerance_data* data = judged ? &judged->data : nullptr;
    h.zero = data ? data->zero : 0;
    h.interval_months = data ? data->interval_months : 12;
    h.due = plus_months(now.date, static_cast<int>(h.interval_months));
    const double t_due = years_between(now.date, h.due);
    std::vector<drift_limit> limits;
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            if (now.settings[p][d].count == 0)
                continue;
            const double nominal = now.nominal[p][d];
            setting_history& s = h.settings[p][d];
            for (std::size_t i = 0; i < earlier.size(); ++i) {
                const earlier_setting& then = earlier[i].settings[p][d];
                if (then.count > 0)
                    s.points.push_back(point_of(
                        i, years_between(now.date, earlier[i].date),
                        {then.mean, then.u_mean_ppm, then.u_c_ppm, then.judged_deviation_ppm},
                        nominal, data));
            }
            s.points.push_back(point_of(
                earlier.size(), 0, given_now(now.settings[p][d], judged, p, d), nominal, data));
            // Judged or not, this calibration's points take this file's zero.
            if (data)
                s.points.back().zero = zero_source::this_file;
            figures_of(s, t_due,
                       data ? relative_ppm(tolerance_of(*data, nominal, d), nominal) : none);
            if (s.line && std::isfinite(s.tolerance))
                limits.push_back({*s.line, s.tolerance});
        }
    h.supported_months = supported_interval(now.date, limits);
    return h;
}
