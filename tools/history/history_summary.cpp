#include "history/history_summary.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/calendar.h"
#include "base/stable_sort.h"
#include "base/text_format.h"
#include "judgement/judgement.h"
#include "log/setting_finder.h"

namespace {

struct noted {
    setting at;
    const setting_history* h;
};

// The line at the end of the interval that decides the outlook: the due
// date, or today (t = 0).
prediction deciding(const setting_history& h) {
    return h.out_at_due ? prediction{h.predicted, h.u_predicted} : predict(*h.line, 0);
}

// How far past its tolerance a setting's line reaches, its 2u band
// included, at the end that decides: the larger, the worse.
double reach(const setting_history& h) {
    const prediction at = deciding(h);
    return (std::fabs(at.x) + coverage * at.u) / h.tolerance;
}

// Every setting with a history, in the order of the decades and positions.
std::vector<noted> settings_of(const history_results& history) {
    std::vector<noted> all;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            if (!history.settings[p][d].points.empty())
                all.push_back({{p, d}, &history.settings[p][d]});
    return all;
}

// Up to this many earlier dates are listed; more are given as a span.
constexpr std::size_t listed_dates = 5;

std::string calibrations_text(const history_results& history) {
    const std::size_t earlier = history.calibrations.size() - 1;
    std::string text = format("%zu earlier calibration%s (", earlier, earlier == 1 ? "" : "s");
    if (earlier > listed_dates)
        text += date_text(history.calibrations.front().date) + " to " +
                date_text(history.calibrations[earlier - 1].date);
    else
        for (std::size_t i = 0; i < earlier; ++i)
            text += (i > 0 ? ", " : "") + date_text(history.calibrations[i].date);
    return text + "), due " + date_text(history.due);
}

std::string supported_text(std::optional<int> months) {
    if (!months)
        return "";
    if (*months == 0)
        return "; the drift supports no interval: a setting may leave within a month";
    return format("; the drift supports an interval of %d months%s", *months,
                  *months == longest_supported_months ? " or more" : "");
}

// How many settings stay, may leave and leave, and how many have no line.
std::string outlook_counts(const std::vector<noted>& all) {
    std::size_t counts[3] = {}, without = 0;
    for (const noted& s : all) {
        if (s.h->out)
            ++counts[static_cast<std::size_t>(*s.h->out)];
        else
            ++without;
    }
    auto agreeing = [](std::size_t n, const char* one, const char* more) {
        return format("%zu %s", n, n == 1 ? one : more);
    };
    return format("%zu setting%s measured: ", all.size(), all.size() == 1 ? "" : "s") +
           agreeing(counts[0], "stays", "stay") + ", " +
           agreeing(counts[1], "may leave", "may leave") + ", " +
           agreeing(counts[2], "leaves", "leave") +
           (without > 0 ? format(", %zu without a drift line", without) : "");
}

// Without tolerances: the largest change and the largest drift, by size.
std::string largest_text(const std::vector<noted>& all) {
    const noted *change = nullptr, *drift = nullptr;
    for (const noted& s : all) {
        if (std::isfinite(s.h->change) &&
            (!change || std::fabs(s.h->change) > std::fabs(change->h->change)))
            change = &s;
        if (s.h->line && (!drift || std::fabs(s.h->line->b) > std::fabs(drift->h->line->b)))
            drift = &s;
    }
    std::string text;
    if (change)
        text += format("largest change %+.1f ppm, ", change->h->change) + setting_name(change->at);
    if (drift)
        text += std::string(change ? "; " : "") +
                format("largest drift %+.1f ppm a year, ", drift->h->line->b) +
                setting_name(drift->at);
    return text.empty() ? "no setting has an earlier point" : text;
}

std::string note(const history_results& history, const noted& s) {
    const setting_history& h = *s.h;
    const prediction at = deciding(h);
    std::string text = setting_name(s.at) + ": " + outlook_word(*h.out) +
                       format(": %s %+.1f ± %.1f ppm (2u) ",
                              h.out_at_due ? "predicted" : "the line", at.x, coverage * at.u) +
                       (h.out_at_due ? "by " + date_text(history.due) : std::string("today")) +
                       format(", T ±%.1f ppm", h.tolerance);
    if (h.previous)
        text += format("; %+.1f ppm since ", h.change) +
                date_text(history.calibrations[h.points[*h.previous].calibration].date);
    return text + format(", drift %+.1f ppm a year", h.line->b);
}

// A point the fit cannot weigh is drawn on the page all the same; the
// build names each, so that a line through fewer points than the chart
// shows is not a surprise.
std::string unfitted_notes(const history_results& history, const std::vector<noted>& all,
                           const std::string& at) {
    std::string text;
    std::size_t count = 0;
    for (const noted& s : all)
        for (const history_point& p : s.h->points) {
            if (fitted(p.at) || ++count > max_judgement_notes)
                continue;
            text += at + "note: " + history.calibrations[p.calibration].file + ": " +
                    setting_name(s.at) +
                    ": drawn but not fitted: " + (std::isnan(p.at.u) ? "no uncertainty" : "u = 0") +
                    "\n";
        }
    if (count > max_judgement_notes)
        text += at + format("note: %zu more points drawn but not fitted, not shown\n",
                            count - max_judgement_notes);
    return text;
}

} // namespace

std::string history_summary(const history_results& history, std::string_view log) {
    const std::string at = std::string(log) + ": ";
    const std::vector<noted> all = settings_of(history);
    const bool judged = std::any_of(all.begin(), all.end(),
                                    [](const noted& s) { return std::isfinite(s.h->tolerance); });
    std::string text = at + calibrations_text(history) + ": " +
                       (judged ? outlook_counts(all) + supported_text(history.supported_months)
                               : largest_text(all)) +
                       "\n";
    std::vector<noted> leaving;
    for (const noted& s : all)
        if (s.h->out && *s.h->out != outlook::stays)
            leaving.push_back(s);
    sort_stably(leaving, [](const noted& a, const noted& b) {
        if (*a.h->out != *b.h->out)
            return *a.h->out > *b.h->out; // leaves before may leave
        return reach(*a.h) > reach(*b.h);
    });
    for (std::size_t i = 0; i < std::min(leaving.size(), max_judgement_notes); ++i)
        text += at + "note: " + note(history, leaving[i]) + "\n";
    if (leaving.size() > max_judgement_notes)
        text += at + format("note: %zu more settings that leave or may leave, not shown\n",
                            leaving.size() - max_judgement_notes);
    return text + unfitted_notes(history, all, at);
}
