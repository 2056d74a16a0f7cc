// The verdict at the bench: with the box's tolerance file, each setting's
// readings are judged as the build will judge them, by the build's own
// code from the text the log will hold, and said in the build's words
// while the box is still on the bench.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "acquire/meter.h"
#include "judgement/judgement.h"
#include "judgement/tolerance_file.h"
#include "log/setting_finder.h"

struct bench_tolerance {
    std::string file; // as given: the line of counts names it
    tolerance_data data;
};

// Reads the tolerance file at `path` as the build reads one.  False, with
// `error` saying "FILE:LINE: what is wrong" as the build says it, for a
// file that cannot be read or has a fault, and for one whose meter ranges
// leave a setting of `settings` uncovered, which the build would refuse.
bool read_bench_tolerance(const std::string& path, std::span<const setting> settings,
                          bench_tolerance& into, std::string& error);

// The judgement of `at` from `readings`: its lines as the log will hold
// them, read back by the log reader, audited, figured and judged as the
// build does, so that the same readings give the same figures.
judgement judge_at_bench(const tolerance_data& data, setting at,
                         std::span<const meter_reading> readings);

// Whether a verdict sends the operator back to the setting: any but a
// pass, where something is judged.
bool asks_again(verdict v);

// The line said after a setting: the build's note of it ("the 300 Ω
// setting (position 3, decade 1E2): fail: judged deviation +31.0 ppm, ...").
std::string verdict_line(setting at, const judgement& j);

// "FILE: under RULE, N of M settings pass, 1 fail": the settings judged
// and written in this run, counted as the build counts them.
std::string verdict_counts(const bench_tolerance& t, std::span<const named_judgement> written);
