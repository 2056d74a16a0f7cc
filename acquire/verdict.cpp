#include "acquire/verdict.h"

#include <vector>

#include "acquire/log_file.h"
#include "audit/log_audit.h"
#include "base/whole_file.h"
#include "judgement/conformity.h"
#include "log/log_reader.h"
#include "results/results.h"

namespace {

// The build refuses a log with readings of a setting that no meter range
// covers; judge_log says so in its words, here before any is taken.
bool covered(const bench_tolerance& t, std::span<const setting> settings, std::string& error) {
    log_judgement judged;
    judged.file = t.file;
    judged.data = t.data;
    const setting_finder finder;
    setting_grid<setting_input> inputs{};
    for (const setting at : settings)
        inputs[at.p][at.d] = {finder.nominal(at), at.d, 2, finder.nominal(at), 0};
    if (judge_log(inputs, judged, error))
        return true;
    error.erase(error.find_last_not_of('\n') + 1);
    return false;
}

} // namespace

bool read_bench_tolerance(const std::string& path, std::span<const setting> settings,
                          bench_tolerance& into, std::string& error) {
    std::string text, why;
    if (!read_whole_file(path, largest_tolerance_file, text, why)) {
        error = path + ": cannot read the tolerance file: " + why;
        return false;
    }
    tolerance_error fault;
    if (!read_tolerance(text, into.data, fault)) {
        error = tolerance_diagnostic(path, fault);
        error.erase(error.find_last_not_of('\n') + 1);
        return false;
    }
    into.file = path;
    return covered(into, settings, error);
}

judgement judge_at_bench(const tolerance_data& data, setting at,
                         std::span<const meter_reading> readings) {
    std::vector<float> logged;
    log_error fault;
    log_audit audit;
    judgement j;
    if (!read_log(setting_text(at, readings), logged, fault,
                  [&audit](float r, std::size_t line) { audit.add(r, line); })) {
        j.outcome = verdict::not_judged;
        j.why_not_judged = "readings the log cannot hold";
        return j;
    }
    const log_results results = evaluate(logged, std::move(audit).finish());
    judge(setting_inputs(results)[at.p][at.d], data, j);
    return j;
}

bool asks_again(verdict v) {
    return v != verdict::pass && v != verdict::none && v != verdict::not_judged;
}

std::string verdict_line(setting at, const judgement& j) {
    if (j.outcome == verdict::not_judged)
        return setting_name(at) + ": " + verdict_word(j.outcome) + ", " +
               std::string(j.why_not_judged);
    return judgement_note({setting_name(at), j});
}

std::string verdict_counts(const bench_tolerance& t, std::span<const named_judgement> written) {
    return t.file + ": " + judgement_counts(t.data.rule, written);
}
