// The columns of the results file, in the order this program writes them:
// the one table the writer, the tests and the reader of earlier results
// files all take them from.  A column is found by its name at compile
// time, so code that names one that is not here does not build.  A reader
// finds each column by its name in the file's header, not by its place:
// a file written before a column was added, or after, still reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

// What a column holds where it is not empty.
enum class column_kind : std::uint8_t {
    number, // a finite decimal number
    whole,  // a whole number, 0 or more
    text,   // a word, a date or the item
};

struct result_column {
    std::string_view name;
    column_kind kind;
};

inline constexpr result_column result_columns[] = {
    // The report's figures of a setting, and those added to them.
    {"position", column_kind::whole},
    {"decade", column_kind::text},
    {"nominal_ohm", column_kind::whole},
    {"count", column_kind::whole},
    {"mean_ohm", column_kind::number},
    {"deviation_ppm", column_kind::number},
    {"stdev_ppm", column_kind::number},
    {"u_mean_ppm", column_kind::number},
    {"min_ohm", column_kind::number},
    {"max_ohm", column_kind::number},
    {"first_line", column_kind::whole},
    {"last_line", column_kind::whole},
    {"outliers", column_kind::whole},
    // Its judgement against a tolerance file: empty without one.
    {"judged_deviation_ppm", column_kind::number},
    {"tolerance_ppm", column_kind::number},
    {"u_meter_ppm", column_kind::number},
    {"u_other_ppm", column_kind::number},
    {"u_c_ppm", column_kind::number},
    {"nu_eff", column_kind::number},
    {"k", column_kind::number},
    {"U_ppm", column_kind::number},
    {"tur", column_kind::number},
    {"acceptance_ppm", column_kind::number},
    {"verdict", column_kind::text},
    // The calibration's item and date, the same in every row, where the
    // log's heading gives them; then the setting's history, with a due date
    // wherever the log gives its date and the rest with earlier results
    // files.
    {"item", column_kind::text},
    {"date", column_kind::text},
    {"previous_date", column_kind::text},
    {"previous_ppm", column_kind::number},
    {"change_ppm", column_kind::number},
    {"u_change_ppm", column_kind::number},
    {"drift_ppm_per_year", column_kind::number},
    {"u_drift_ppm_per_year", column_kind::number},
    {"due_date", column_kind::text},
    {"predicted_ppm", column_kind::number},
    {"u_predicted_ppm", column_kind::number},
    {"outlook", column_kind::text},
};

inline constexpr std::size_t result_column_count = std::size(result_columns);

// The place of the column `name`; a name not in the table does not compile.
consteval std::size_t column_index(std::string_view name) {
    for (std::size_t i = 0; i < result_column_count; ++i)
        if (result_columns[i].name == name)
            return i;
    throw "no such column in the results file";
}

// The first of the judgement's columns: they run up to the calibration's.
inline constexpr std::size_t first_judged_column = column_index("judged_deviation_ppm");
// The first of the calibration's and the history's: they run to the last.
inline constexpr std::size_t first_history_column = column_index("item");
