#include "history/drift.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/calendar.h"

namespace {

struct weighted {
    double t, x, w;
};

std::vector<weighted> fitted_points(std::span<const drift_point> points) {
    std::vector<weighted> kept;
    for (const drift_point& p : points)
        if (fitted(p))
            kept.push_back({p.t, p.x, 1 / (p.u * p.u)});
    return kept;
}

} // namespace

std::optional<drift_line> fit_drift(std::span<const drift_point> points) {
    const std::vector<weighted> kept = fitted_points(points);
    if (kept.size() < 2)
        return std::nullopt;
    // About the weighted mean time, where a and b are uncorrelated: the
    // sums stay small whatever the dates, and the line follows from them.
    double sum_w = 0, sum_wt = 0, sum_wx = 0;
    for (const weighted& p : kept) {
        sum_w += p.w;
        sum_wt += p.w * p.t;
        sum_wx += p.w * p.x;
    }
    const double mean_t = sum_wt / sum_w, mean_x = sum_wx / sum_w;
    double spread = 0, sum_wdx = 0; // Σ w (t − t̄)², Σ w (t − t̄) x
    for (const weighted& p : kept) {
        spread += p.w * (p.t - mean_t) * (p.t - mean_t);
        sum_wdx += p.w * (p.t - mean_t) * p.x;
    }
    if (!(spread > 0))
        return std::nullopt; // every point at one time: no slope
    drift_line line;
    line.m = kept.size();
    line.b = sum_wdx / spread;
    line.a = mean_x - line.b * mean_t;
    line.var_b = 1 / spread;
    line.var_a = 1 / sum_w + mean_t * mean_t * line.var_b;
    line.cov_ab = -mean_t * line.var_b;
    for (const weighted& p : kept) {
        const double residual = p.x - line.a - line.b * p.t;
        line.chi2 += p.w * residual * residual;
    }
    if (line.m >= 3)
        line.scale = std::max(1.0, line.chi2 / static_cast<double>(line.m - 2));
    line.var_a *= line.scale;
    line.var_b *= line.scale;
    line.cov_ab *= line.scale;
    return line;
}

prediction predict(const drift_line& line, double t) {
    // Never below 0, which rounding could reach where the line is best known.
    const double variance = line.var_a + t * t * line.var_b + 2 * t * line.cov_ab;
    return {line.a + line.b * t, std::sqrt(std::max(0.0, variance))};
}

change change_since(const drift_point& now, const drift_point& then) {
    return {now.x - then.x, std::isnan(now.u) || std::isnan(then.u)
                                ? std::numeric_limits<double>::quiet_NaN()
                                : std::hypot(now.u, then.u)};
}

outlook outlook_of(const prediction& predicted, double tolerance_ppm) {
    const double expanded = coverage * predicted.u;
    const double size = std::fabs(predicted.x);
    if (size + expanded <= tolerance_ppm)
        return outlook::stays;
    return size - expanded > tolerance_ppm ? outlook::leaves : outlook::may_leave;
}

interval_outlook outlook_over(const drift_line& line, double t_due, double tolerance_ppm) {
    const outlook now = outlook_of(predict(line, 0), tolerance_ppm);
    const outlook due = outlook_of(predict(line, t_due), tolerance_ppm);
    return due >= now ? interval_outlook{due, true} : interval_outlook{now, false};
}

const char* outlook_word(outlook o) {
    constexpr const char* words[] = {"stays", "may leave", "leaves"};
    return words[static_cast<std::size_t>(o)];
}

std::optional<int> supported_interval(const std::chrono::year_month_day& date,
                                      std::span<const drift_limit> settings) {
    if (settings.empty())
        return std::nullopt;
    for (int months = 0; months <= longest_supported_months; ++months) {
        const double t = years_between(date, plus_months(date, months));
        for (const drift_limit& s : settings)
            if (outlook_of(predict(s.line, t), s.tolerance_ppm) != outlook::stays)
                return std::max(0, months - 1);
    }
    return longest_supported_months;
}
