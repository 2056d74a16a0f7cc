// A log's settings judged against a tolerance file: each setting's budget
// and verdict, and what the build says of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/setting_grid.h"
#include "judgement/judgement.h"
#include "judgement/tolerance_file.h"
#include "log/setting_finder.h"

struct log_judgement {
    std::string file, text; // the file's name and its text, as given
    tolerance_data data;
    setting_grid<judgement> settings;
};

// Judges every setting of `inputs` against `judged.data` into
// `judged.settings`.  False for a setting with readings that no meter range
// of the file covers, with `error` saying so as the build does
// ("FILE:LINE: ...", at the largest range's line).
bool judge_log(const setting_grid<setting_input>& inputs, log_judgement& judged,
               std::string& error);

// The settings the build notes, in the order it names them: worst verdict
// first (note_rank), and within a verdict by decade, then position.
std::vector<setting> noted_settings(const log_judgement& judged);

// The build's summary of a judged log: one line with the file's name first
// and the counts, then the notes (judgement_summary).
std::string conformity_summary(const log_judgement& judged);

// The summary's first line, naming the tolerance file as `file`.
std::string conformity_headline(const log_judgement& judged, std::string_view file);
