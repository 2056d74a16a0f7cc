// A log's results set beside the box's earlier calibrations: each setting's
// points, its change since the previous calibration, its drift, and where
// that leads by the date the box is due back.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "history/earlier_results.h"
#include "history/history.h"
#include "results/results.h"

// The history of `results`, whose record must give its date, from the log
// named `log` and the earlier calibrations `earlier` (by date).  Each point
// is judged alike, with the zero of this build's tolerance file; the
// tolerances and the interval are that file's, without one none and 12
// months.
history_results make_history(const log_results& results, std::string_view log,
                             std::span<const earlier_results> earlier);

// The build's lines on a history of earlier calibrations, each starting
// with "LOG: ": how many there were and when, the due date, how many
// settings stay, may leave or leave and the interval the drift supports,
// then a note for each that leaves or may leave, worst first.  Without
// tolerances it gives the largest change and the largest drift instead.
std::string history_summary(const history_results& history, std::string_view log);
