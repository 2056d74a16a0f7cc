// A calibration set beside the box's earlier ones: each setting's points,
// its change since the previous calibration, its drift, and where that
// leads over the interval to the date the box is due back.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>

#include "base/setting_grid.h"
#include "history/earlier_results.h"
#include "history/history.h"
#include "judgement/conformity.h"

// One setting of this calibration as its log gives it.
struct measured_setting {
    std::uint32_t count = 0;
    double mean = std::numeric_limits<double>::quiet_NaN(); // ohms
    double u_mean_ppm = std::numeric_limits<double>::quiet_NaN();
};

struct this_calibration {
    std::string log; // its file name
    calendar_date date;
    std::string item; // empty where the log names none
    double nominal[positions][decade_count]{};
    setting_grid<measured_setting> settings{};
};

// The history of `now` and the earlier calibrations `earlier` (by date).
// With a tolerance file (`judged`), every point carries its Type B terms
// and a zero resistance, a judged one its own (see u_source, zero_source),
// and the tolerances and the interval are that file's; without one, no
// point has either, and the interval is 12 months.
history_results make_history(const this_calibration& now, const log_judgement* judged,
                             std::span<const earlier_results> earlier);
