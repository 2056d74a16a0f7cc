#include "judgement/conformity.h"

#include <algorithm>

#include "base/figure_text.h"
#include "base/stable_sort.h"
#include "base/text_format.h"

bool judge_log(const setting_grid<setting_input>& inputs, log_judgement& judged,
               std::string& error) {
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            if (!judge(inputs[p][d], judged.data, judged.settings[p][d])) {
                const meter_range& largest = judged.data.meter.back();
                error = file_line(judged.file, largest.line) + setting_name({p, d}) +
                        " has readings, but the largest meter range is " +
                        double_text(largest.range) + " Ω\n";
                return false;
            }
    return true;
}

std::vector<setting> noted_settings(const log_judgement& judged) {
    auto rank = [&judged](setting at) { return *note_rank(judged.settings[at.p][at.d].outcome); };
    std::vector<setting> noted;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            if (note_rank(judged.settings[p][d].outcome))
                noted.push_back({p, d});
    sort_stably(noted, [&rank](setting a, setting b) { return rank(a) < rank(b); });
    return noted;
}

namespace {

// The noted settings in order, then the others, which the summary counts.
std::vector<named_judgement> in_summary_order(const log_judgement& judged) {
    std::vector<named_judgement> settings;
    for (const setting at : noted_settings(judged))
        settings.push_back({setting_name(at), judged.settings[at.p][at.d]});
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            if (!note_rank(judged.settings[p][d].outcome))
                settings.push_back({setting_name({p, d}), judged.settings[p][d]});
    return settings;
}

} // namespace

std::string conformity_summary(const log_judgement& judged) {
    return judgement_summary(judged.file, judged.data.rule, in_summary_order(judged));
}

std::string conformity_headline(const log_judgement& judged, std::string_view file) {
    return std::string(file) + ": " + judgement_counts(judged.data.rule, in_summary_order(judged));
}
