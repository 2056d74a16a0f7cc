// Continuing a log that exists, the way an operator expects: a log that
// holds anything is never written over unless --resume is given; a
// continued log must be of the same calibration, its fields those given
// again and its meter the one that answers now (whatever --field gives);
// what was cut short, a last setting or the heading, is set aside as
// comments, and a cut heading is completed from this run while the log
// holds no setting.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "acquire/log_file.h"

// Why a log is not continued: "FILE:LINE: " (file_line) and `what`.
struct resume_fault {
    std::size_t line = 0; // 0 for the whole log
    std::string what;
};

// The log at `path` read back by the build's own reader, in memory of its
// size; nothing for a log that is missing or empty.  Throws resume_fault
// for a log that holds anything without `resume`, one that cannot be
// read, and one that is not one to continue.
std::optional<log_so_far> earlier_log(const std::string& path, bool resume);

// What this run would write at the top of a new log, and what the
// comparison needs to know of it.
struct run_heading {
    log_heading heading;
    bool date_given = false; // else the date is today's, and the log keeps its own
    std::string meter;       // the meter's address, for the messages
};

// The text the log is to hold before this run's settings, where it differs
// from what the log holds: a cut part set aside, a cut heading completed.
// Throws resume_fault where the log is not this calibration's: a field
// given now that the log gives otherwise, a meter that answers otherwise
// than the log's, or a log with settings that names no meter.
std::optional<std::string> continued_text(const log_so_far& so_far, const run_heading& run);
