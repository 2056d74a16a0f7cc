// The operator walked through the settings: before each one a prompt on
// the error stream names it, and a line from the input answers (Enter
// measures, s skips, q stops); each setting's readings are checked at once
// and written whole, and a line gives the progress and the time left.
// The input answers whether or not it is a terminal, so that a script can
// drive it; at a terminal only what is typed after a prompt answers it.
// With the box's tolerance file, each setting's verdict is said before it
// is written, and one that does not pass is asked again.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "acquire/defaults.h"
#include "acquire/meter.h"
#include "acquire/verdict.h"
#include "log/setting_finder.h"

struct session_plan {
    std::vector<setting> settings;              // still to measure, in order
    std::size_t chosen = 0;                     // settings chosen in all
    std::size_t done = 0;                       // of them, whole in the log already
    std::size_t readings_done = 0;              // their readings
    std::size_t readings = default_readings;    // kept per setting
    std::size_t settle = default_settle;        // taken first and discarded
    std::string log;                            // where each setting is appended
    const bench_tolerance* tolerance = nullptr; // none: no verdicts
};

// Why a session stopped short of its plan on its own terms.
struct write_fault {
    std::string what;
};

struct session_outcome {
    std::size_t measured = 0, skipped = 0, readings = 0; // this session's
    bool stopped = false;                                // by q, or the input's end
    std::vector<named_judgement> judged;                 // the verdicts of the settings written
};

// Runs the plan against `m`, prompting on `err` and answered from `in`.
// A link_fault or meter_fault from the meter, and a write_fault, end it
// with every whole setting written; `interrupted` is asked at each prompt
// and while one waits, and ends it as Ctrl-C does.
session_outcome run_session(const session_plan& plan, meter& m, std::FILE* in, std::FILE* err,
                            const std::function<bool()>& interrupted);

// Ctrl-C, as the session reports it to its caller.
struct interrupted_fault {};
