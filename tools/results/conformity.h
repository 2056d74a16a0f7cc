// A log's results judged against a tolerance file: each setting's budget
// and verdict, and what the build says of them.
#pragma once

#include <string>

#include "results/results.h"

// Judges every setting of `results` against `judged.data` and keeps the
// judgement in `results.judged`.  False for a setting with readings that
// no meter range of the file covers, with `error` saying so as the build
// does ("FILE:LINE: ...", at the largest range's line).
bool judge_log(log_results& results, log_judgement judged, std::string& error);

// The build's summary of a judged log: one line with the file's name first
// and the counts, then a note for each setting that does not pass.
std::string conformity_summary(const log_results& results);
