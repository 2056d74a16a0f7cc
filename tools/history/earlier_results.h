// The results files of a box's earlier calibrations, read back by the
// names in their header: the columns the history takes must be there, in
// any order, and every other column is passed over, so that a file written
// by an earlier or a later version of this program reads the same.  Any
// fault stops the build with "FILE:LINE: what is wrong" (or "FILE: what is
// wrong" for the whole file), as a fault in the log does.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grid.h"

// What one setting of an earlier calibration gives its point; an empty
// field, or a column the file does not have, is not a number.
struct earlier_setting {
    std::uint32_t count = 0;
    double mean = std::numeric_limits<double>::quiet_NaN(); // ohms
    double u_mean_ppm = std::numeric_limits<double>::quiet_NaN();
    // Where that calibration judged the setting: its u_c, and its deviation
    // after the zero resistance it was judged with.
    double u_c_ppm = std::numeric_limits<double>::quiet_NaN();
    double judged_deviation_ppm = std::numeric_limits<double>::quiet_NaN();
};

struct earlier_results {
    std::string file; // as given
    std::chrono::year_month_day date;
    std::size_t date_line = 0; // where the file gives it first
    std::string item;          // empty where the file names none
    std::array<std::array<earlier_setting, decade_count>, positions> settings{};
};

using nominal_grid = double[positions][decade_count];

// The files of a history and what was said of them on the way.
struct earlier_calibrations {
    std::vector<earlier_results> files; // by date
    std::string warnings;               // "FILE:LINE: warning: ..." lines
};

// Reads the text of one results file named `file`, whose settings must
// have the nominal values `nominal`.  False, with `error` saying where and
// what is wrong, for a text that does not read as a table, lacks a column
// the history takes, has no date, or has a row that does not read.
bool read_earlier_results(std::string_view file, std::string_view text, const nominal_grid& nominal,
                          earlier_results& out, std::string& error);

// The files that `paths` name: each path a results file, or a folder whose
// files named *.csv, in any case, are taken, by name.  False for a folder
// without one.
bool history_files(std::span<const std::string> paths, std::vector<std::string>& files,
                   std::string& error);

// Reads every file of `paths` (as history_files() finds them) for the
// calibration of `date` and `item` (empty: none named) into `out`, by date.
// Each must be dated before it, no two on the same day, and not name
// another item; an item named on one side only is a warning.
bool read_history(std::span<const std::string> paths, std::chrono::year_month_day date,
                  std::string_view item, const nominal_grid& nominal, earlier_calibrations& out,
                  std::string& error);
