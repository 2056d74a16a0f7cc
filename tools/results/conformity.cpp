#include "results/conformity.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "log/setting_finder.h"

namespace {

std::string setting_name(setting at) {
    return "the " + setting_label(at, " setting");
}

// The notes go worst first, as far as they are shown: fails, then the
// verdicts that leave a decision, then the settings not judged; each group
// in the order of the decades and positions.
int severity(verdict v) {
    constexpr verdict order[] = {verdict::fail, verdict::conditional_fail,
                                 verdict::conditional_pass, verdict::pass_star,
                                 verdict::not_judged};
    return static_cast<int>(std::find(std::begin(order), std::end(order), v) - std::begin(order));
}

} // namespace

bool judge_log(log_results& results, log_judgement judged, std::string& error) {
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d) {
            const setting_figures& s = results.settings[p][d];
            const setting_input in{results.nominal[p][d], d, s.count, s.mean, s.stdev};
            if (!judge(in, judged.data, judged.settings[p][d])) {
                const meter_range& largest = judged.data.meter.back();
                error = judged.file + ":" + std::to_string(largest.line) + ": " +
                        setting_name({p, d}) + " has readings, but the largest meter range is " +
                        double_text(largest.range) + " Ω\n";
                return false;
            }
        }
    results.judged = std::move(judged);
    return true;
}

std::string conformity_summary(const log_results& results) {
    const log_judgement& judged = *results.judged;
    std::vector<named_judgement> settings;
    for (int rank = 0; rank <= severity(verdict::pass); ++rank)
        for (unsigned d = 0; d < decade_count; ++d)
            for (unsigned p = 1; p < positions; ++p)
                if (severity(judged.settings[p][d].outcome) == rank)
                    settings.push_back({setting_name({p, d}), judged.settings[p][d]});
    return judgement_summary(judged.file, judged.data.rule, settings);
}
