// The results of a log that the build writes beside the program: each
// setting's figures (the report's count, mean and ppm, computed by the
// report's own code, with the scatter, the standard uncertainty of the mean
// and the extremes added), and the readings drawn to a bounded size for the
// page of charts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grid.h"
#include "audit/log_audit.h"
#include "base/setting_grid.h"
#include "history/assemble.h"
#include "history/history.h"
#include "judgement/conformity.h"
#include "judgement/judgement.h"
#include "log/calibration_record.h"

// The values of the readings that fall in one pixel column of a chart.
struct chart_column {
    float low = 0, high = 0;
    std::uint32_t count = 0;
    void add(float value);
};

// A reading the audit names as far from the rest of its run.
struct far_mark {
    std::size_t at;   // its place among the setting's readings
    std::size_t line; // in the log
    double ppm;       // from nominal
};

struct setting_figures {
    std::uint32_t count = 0;
    double mean = 0, ppm = 0; // the report's own
    // The sample standard deviation of the readings, in ohms and relative
    // to nominal; not a number below two readings.
    double stdev = std::numeric_limits<double>::quiet_NaN();
    double stdev_ppm = std::numeric_limits<double>::quiet_NaN();
    double u_mean_ppm = std::numeric_limits<double>::quiet_NaN();
    float min = 0, max = 0;
    std::size_t first_line = 0, last_line = 0;
    std::size_t far_count = 0; // readings far from the rest of their run
    // Its readings in log order, as ppm from nominal, in at most
    // run_columns columns, and the first far ones.
    std::vector<chart_column> columns;
    std::vector<far_mark> far;
};

struct log_results {
    double nominal[positions][decade_count]{};
    setting_grid<setting_figures> settings;
    // Every reading's deviation from the nearest setting, in ppm, in at most
    // log_columns columns: those the report takes and those it leaves out.
    std::vector<chart_column> taken, left_out;
    std::size_t readings = 0, first_line = 0, last_line = 0;
    // The comments at the top of the log: the box, the date, the temperature.
    std::vector<std::string> heading;
    // Without a tolerance file, nothing is judged.
    std::optional<log_judgement> judged;
    // The heading's fields: the box, the date, the conditions.
    calibration_record record;
    // Where the log gives its date: the due date, and with earlier results
    // files each setting's change and drift.
    std::optional<history_results> history;
};

inline constexpr std::size_t run_columns = 240;
inline constexpr std::size_t log_columns = 960;

// The column of the i-th of n values in a chart at most `width` wide.
inline std::size_t column_of(std::size_t i, std::size_t n, std::size_t width) {
    return n <= width ? i : i * width / n;
}

// The results of `readings`, in which the audit found `found`.
log_results evaluate(std::span<const float> readings, const audit_findings& found);

// The header, every column of columns.h, then one row per setting,
// positions 1 to 10, each with decades 1E1 to 1E5; RFC 4180, CR LF line
// ends.  Every column is there in every row, empty where it has nothing:
// the judgement's without a tolerance file, the history's without a date.
std::string results_csv(const log_results& results);

// What the judgement of each setting starts from: the report's figures.
setting_grid<setting_input> setting_inputs(const log_results& results);

// What the history takes of this calibration: the log's figures, and its
// record's date (which it must give) and item, the log named `log`.
this_calibration history_input(const log_results& results, std::string_view log);
