// The build's lines on a history of earlier calibrations (make_history's,
// assemble.h), for standard error.
#pragma once

#include <string>
#include <string_view>

#include "history/history.h"

// The lines, each starting with "LOG: ": how many calibrations there were
// and when, the due date, how many settings stay, may leave or leave and
// the interval the drift supports, then a note for each that leaves or may
// leave, worst first, and one for each point drawn but not fitted.
// Without tolerances it gives the largest change and the largest drift
// instead.
std::string history_summary(const history_results& history, std::string_view log);
