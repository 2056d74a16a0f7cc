// The columns of the results file, in order: the one table the writer, the
// tests and a reader of results files all take them from.  A column is
// found by its name at compile time, so code that names one that is not
// here does not build.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

inline constexpr std::string_view result_columns[] = {
    // The report's figures of a setting, and those added to them.
    "position", "decade", "nominal_ohm", "count", "mean_ohm", "deviation_ppm", "stdev_ppm",
    "u_mean_ppm", "min_ohm", "max_ohm", "first_line", "last_line", "outliers",
    // Its judgement against a tolerance file: empty without one.
    "judged_deviation_ppm", "tolerance_ppm", "u_meter_ppm", "u_other_ppm", "u_c_ppm", "nu_eff", "k",
    "U_ppm", "tur", "acceptance_ppm", "verdict",
    // The calibration's item and date, the same in every row, and the
    // setting's history: empty without earlier results files.
    "item", "date", "previous_date", "previous_ppm", "change_ppm", "u_change_ppm",
    "drift_ppm_per_year", "u_drift_ppm_per_year", "due_date", "predicted_ppm", "u_predicted_ppm",
    "outlook"};

inline constexpr std::size_t result_column_count = std::size(result_columns);

// The place of the column `name`; a name not in the table does not compile.
consteval std::size_t column_index(std::string_view name) {
    for (std::size_t i = 0; i < result_column_count; ++i)
        if (result_columns[i] == name)
            return i;
    throw "no such column in the results file";
}

// The first of the judgement's columns: they run up to the history's.
inline constexpr std::size_t first_judged_column = column_index("judged_deviation_ppm");
// The first of the calibration's and the history's: they run to the last.
inline constexpr std::size_t first_history_column = column_index("item");
