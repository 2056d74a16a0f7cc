// How a setting drifts from one calibration to the next, and whether it
// will still meet its tolerance at the next one.  Plain figures in, plain
// figures out: the caller turns each calibration's results into points,
// with t = years_between(this calibration's date, that one's) (negative for
// earlier calibrations, 0 for this one), x its deviation from nominal and u
// its standard uncertainty, both in ppm; a point without an uncertainty
// has u not a number.
//
// Hooking it up, per setting: fit_drift() over its points (this calibration
// included) gives drift_ppm_per_year = b and its uncertainty √var_b; at the
// due date, t_due = years_between(date, plus_months(date, interval)),
// predict() gives predicted_ppm and u_predicted_ppm, and outlook_over() the
// outlook over the interval against the setting's tolerance in ppm.  change_since() compares
// this calibration's point with the latest earlier one.  Over all settings
// with a line and a tolerance, supported_interval() is the interval the
// drift supports.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

struct drift_point {
    double t = 0; // years from this calibration, negative before it
    double x = 0; // ppm
    double u = std::numeric_limits<double>::quiet_NaN(); // ppm, standard
};

// Whether the fit takes a point: only one with a stated u above 0 can be
// weighted.  Any other is drawn, and the build says it was not fitted.
inline bool fitted(const drift_point& p) {
    return p.u > 0;
}

// The weighted least-squares line x = a + b·t through the points with
// u > 0, weights 1/u², and the (co)variances of a and b.  With m ≥ 3 points
// and a scatter beyond the stated uncertainties, χ²/(m − 2) > 1, the
// (co)variances are multiplied by that Birge ratio squared, `scale`.
struct drift_line {
    double a = 0, b = 0;                     // ppm, ppm per year
    double var_a = 0, var_b = 0, cov_ab = 0; // after the scaling
    double chi2 = 0;                         // Σ ((x − a − b·t)/u)²
    std::size_t m = 0;                       // the points fitted
    double scale = 1;                        // χ²/(m − 2) where above 1, else 1
};

// The line, when at least two points have u > 0 at two different times.
std::optional<drift_line> fit_drift(std::span<const drift_point> points);

// Where the line puts the setting at t, and its standard uncertainty: a + b·t,
// u = √(var_a + t²·var_b + 2·t·cov_ab), in ppm.
struct prediction {
    double x = 0, u = 0;
};
prediction predict(const drift_line& line, double t);

// x now − x then, u = √(u now² + u then²), not a number unless both have one.
struct change {
    double x = 0, u = 0;
};
change change_since(const drift_point& now, const drift_point& then);

// With expanded uncertainty U = coverage·u against the tolerance T (ppm):
// stays if |x| + U ≤ T, leaves if |x| − U > T, may leave in between.
inline constexpr double coverage = 2;
enum class outlook : std::uint8_t { stays, may_leave, leaves };
outlook outlook_of(const prediction& predicted, double tolerance_ppm);
// The outlook over the interval from this calibration (t = 0) to t_due:
// |a + b·t| + 2u(t) is convex in t, so the line with its band is farthest
// out at one end, and the worse end decides.  `at_due` says which did.
struct interval_outlook {
    outlook out;
    bool at_due;
};
interval_outlook outlook_over(const drift_line& line, double t_due, double tolerance_ppm);
// "stays", "may leave", "leaves": the results file's words.
const char* outlook_word(outlook o);

// The longest interval N in whole calendar months, 1 to
// longest_supported_months, from `date` for which every setting's line
// stays within its tolerance at each month 0 … N; longest_supported_months
// stands for that many or more, and 0 for not even one month.  Nothing when
// no setting has both a line and a tolerance.
inline constexpr int longest_supported_months = 60;
struct drift_limit {
    drift_line line;
    double tolerance_ppm = 0;
};
std::optional<int> supported_interval(const std::chrono::year_month_day& date,
                                      std::span<const drift_limit> settings);
