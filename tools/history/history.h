// A box's history: each setting's deviation at this calibration and at the
// earlier ones whose results files the build is given, the change since the
// previous calibration, the drift fitted through them, and where it leads
// over the interval to the date the box is due back.  The results file and
// the page read it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/grid.h"
#include "base/setting_grid.h"
#include "history/drift.h"

using calendar_date = std::chrono::year_month_day;

// Where a point's standard uncertainty comes from.  With a tolerance file
// every point of a setting carries the Type B terms, whichever calibration
// it is from; without one, none does.
enum class u_source : std::uint8_t {
    combined,   // u_c of the calibration that judged the setting
    mean_and_b, // s/√n combined with this tolerance file's Type B terms
    of_mean,    // s/√n alone: no tolerance file
};
inline constexpr std::size_t u_source_count = 3;

// Which zero resistance a point's deviation is taken after.  With a
// tolerance file, a setting an earlier calibration judged keeps the zero it
// was judged with; without one, no point has a zero subtracted.
enum class zero_source : std::uint8_t {
    own,       // its calibration's, as judged then
    this_file, // this tolerance file's
    none,
};
inline constexpr std::size_t zero_source_count = 3;

// A setting's deviation at one calibration; u is not a number where the
// calibration gives none (a single reading).
struct history_point {
    std::size_t calibration = 0; // in history_results::calibrations
    drift_point at;              // t in years from this calibration, x and u in ppm
    u_source from = u_source::of_mean;
    zero_source zero = zero_source::none;
};

struct setting_history {
    // By date; this calibration's point last, where it has readings.
    std::vector<history_point> points;
    std::optional<std::size_t> previous;                      // in `points`: the latest earlier one
    double change = std::numeric_limits<double>::quiet_NaN(); // x now − x then
    double u_change = std::numeric_limits<double>::quiet_NaN();  // where both have a u
    std::optional<drift_line> line;                              // drift.h
    double predicted = std::numeric_limits<double>::quiet_NaN(); // at the due date
    double u_predicted = std::numeric_limits<double>::quiet_NaN();
    double tolerance = std::numeric_limits<double>::quiet_NaN(); // T, ppm
    std::optional<outlook> out; // over the interval, with a drift line and a tolerance
    bool out_at_due = true;     // whether the due date's end decides it, else today's
};

// One calibration: an earlier results file, or this log (the last).
struct calibration_source {
    std::string file; // its file name, no folders
    calendar_date date;
    std::string item; // empty where it names none
};

struct history_results {
    // Earlier calibrations by date, then this one.
    std::vector<calibration_source> calibrations;
    calendar_date due;
    unsigned interval_months = 12;
    double zero = 0; // ohms: this tolerance file's, where zero_source::this_file
    setting_grid<setting_history> settings;
    // The longest interval, 0 to longest_supported_months, at which every
    // setting with a drift line and a tolerance stays; none without such
    // a setting.
    std::optional<int> supported_months;
};
