// A box's history: each setting's deviation at this calibration and at the
// earlier ones whose results files the build is given, the change since the
// previous calibration, the drift fitted through them, and where it leads
// by the date the box is due back.  The results file and the page read it.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/grid.h"
#include "history/drift.h"

using calendar_date = std::chrono::year_month_day;

// Where a point's standard uncertainty comes from.
enum class u_source : std::uint8_t {
    none,     // a single reading: no scatter, so no uncertainty
    combined, // u_c of a judged setting
    of_mean,  // the scatter of the readings over √n
};

// A setting's deviation at one calibration.
struct history_point {
    std::size_t calibration = 0; // in history_results::calibrations
    double t = 0;                // years from this calibration, negative before it
    double x = 0;                // ppm: (mean − zero − nominal) / nominal
    double u = std::numeric_limits<double>::quiet_NaN(); // ppm; NaN for u_source::none
    u_source from = u_source::none;
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
    std::optional<outlook> out; // with a drift line and a tolerance
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
    std::array<std::array<setting_history, decade_count>, positions> settings;
    // The longest interval, 0 to longest_supported_months, at which every
    // setting with a drift line and a tolerance stays; none without such
    // a setting.
    std::optional<int> supported_months;
};
