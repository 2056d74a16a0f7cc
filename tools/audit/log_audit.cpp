#include "audit/log_audit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "analysis/stats.h"
#include "audit/robust_scale.h"
#include "base/figure_text.h"
#include "base/text_format.h"
#include "log/log_reader.h"
#include "readings.h"

namespace {

// The shortest text that reads back as the reading (each is a float).
std::string ohms(double reading) {
    return reading_text(static_cast<float>(reading)) + " Ω";
}

// "the 1000 Ω settings (position 10, decade 1E2, and position 1, decade
// 1E3)": the two settings that share a value, lower decade first.
std::string settings_name(setting lower, setting higher) {
    return "the " + nominal_text(lower) + " settings (" + setting_place(lower) + ", and " +
           setting_place(higher) + ")";
}

std::string value_range(double low, double high) {
    return low == high ? ohms(low)
                       : "from " + reading_text(static_cast<float>(low)) + " to " + ohms(high);
}

// A relative deviation in ppm below 1 %, in percent above.
std::string deviation(double relative) {
    if (std::fabs(relative) < 0.01)
        return format("%+.0f ppm", relative * 1e6);
    const double in_percent = relative * 100;
    const double size = std::fabs(in_percent);
    if (size < 10)
        return format("%+.2f %%", in_percent);
    if (size < 100)
        return format("%+.1f %%", in_percent);
    if (size < 1e5)
        return format("%+.0f %%", in_percent);
    return format("%+.3g %%", in_percent);
}

} // namespace

void line_map::add(std::size_t index, std::size_t line) {
    if (jumps_.empty() || index != next_index_ || line != next_line_)
        jumps_.push_back({index, line});
    next_index_ = index + 1;
    next_line_ = line + 1;
}

std::size_t line_map::line_of(std::size_t index) const {
    const auto after = std::upper_bound(jumps_.begin(), jumps_.end(), index,
                                        [](std::size_t i, const jump& j) { return i < j.index; });
    if (after == jumps_.begin())
        return 0; // before the first reading: no line
    const jump& j = *(after - 1);
    return j.line + (index - j.index);
}

log_audit::log_audit() = default;

void log_audit::add(float reading, std::size_t line) {
    const double s = reading;
    lines_.add(readings_, line);
    line_ = line;
    const setting_finder::found f = finder_.find(s);
    for (unsigned i = 0; i < f.count; ++i)
        take(f.taken[i], s);
    if (f.count > 0)
        ++in_report_;
    else if (f.nominal_count > 0) // the higher decade's, as nearest() would name
        leave_out(kind::at_nominal, f.nominal_of[f.nominal_count - 1], s, line);
    else if (!(s > 0))
        leave_out(kind::not_positive, {}, s, line);
    else
        leave_out(kind::off_window, finder_.nearest(s), s, line);
    ++readings_;
    // Now and then, the runs that can no longer go on are judged and let
    // go, so that a log of long runs one after another holds about one.
    if (readings_ % 4096 == 0)
        close_runs_over();
}

// A setting's readings make one stretch of the log as long as the readings
// between two of them (of other settings or of none) are at most half as
// many as the stretch has so far: a stray reading inside a run does not
// split the run it interrupts.
void log_audit::take(setting at, double s) {
    setting_record& r = settings_[at.p][at.d];
    const std::size_t index = readings_;
    if (r.count > 0 && (index - r.last_index - 1) * 2 <= r.current.count) {
        r.current.last = line_;
        ++r.current.count;
        r.current.sum += s;
    } else {
        if (r.count > 0 && r.stretches <= named_stretches)
            r.named[r.stretches - 1] = r.current;
        close_run(at);
        r.current = {line_, line_, 1, s};
        ++r.stretches;
    }
    ++r.count;
    r.last_index = index;
    r.sum += s;
    // The log reader takes at most max_readings, far below 2^32.
    r.run.push_back({static_cast<float>(s), static_cast<std::uint32_t>(index)});
}

// A run is over once more readings of others have followed it than half
// its length: whatever comes next starts a stretch of its own.
void log_audit::close_runs_over() {
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const setting_record& r = settings_[p][d];
            if (!r.run.empty() && (readings_ - r.last_index - 1) * 2 > r.current.count)
                close_run({p, d});
        }
}

// Judges the run held for setting `at`, if it is long enough, and lets its
// readings go.
void log_audit::close_run(setting at) {
    std::vector<taken>& run = settings_[at.p][at.d].run;
    if (run.size() >= min_judged)
        judge_run(at, run);
    // A long run's buffer is given back; a short one's is kept for the next.
    if (run.capacity() > 4096)
        run = {};
    run.clear();
}

// Consecutive readings left out for the same reason, near the same
// setting, make one stretch; blank and comment lines between them do not
// count.
void log_audit::leave_out(kind why, setting near, double s, std::size_t line) {
    const std::size_t index = readings_;
    if (open_ && left_index_ + 1 == index && left_.why == why && left_.near == near) {
        left_.last = line;
        ++left_.count;
        left_.sum += s;
        left_.low = std::min(left_.low, s);
        left_.high = std::max(left_.high, s);
    } else {
        close_left_out();
        left_ = {};
        left_.first = left_.last = line;
        left_.count = 1;
        left_.sum = s;
        left_.why = why;
        left_.near = near;
        left_.low = left_.high = s;
        open_ = true;
    }
    left_index_ = index;
}

void log_audit::close_left_out() {
    if (!open_)
        return;
    open_ = false;
    ++left_out_stretches_;
    if (first_left_out_.size() < max_warnings)
        first_left_out_.push_back(left_);
    setting_record& r = settings_[left_.near.p][left_.near.d];
    if (left_.why == kind::off_window && !r.has_nearest) {
        r.has_nearest = true;
        r.nearest = left_;
    }
}

namespace {

// Qn is computed on at most this many readings of a run, taken evenly
// through it: a run of millions is judged as well, at a bounded cost.
constexpr std::size_t scale_sample = 500;

double median_of_sorted(const std::vector<double>& sorted) {
    const std::size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

// The median of values, or of readings by their values, which it reorders.
double value_of(double v) {
    return v;
}
template <class Reading> double value_of(const Reading& r) {
    return r.value;
}
template <class T> double median_of(std::vector<T>& values) {
    auto less = [](const T& a, const T& b) { return value_of(a) < value_of(b); };
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end(), less);
    if (values.size() % 2 == 1)
        return value_of(*mid);
    return (value_of(*std::max_element(values.begin(), mid, less)) + value_of(*mid)) / 2;
}

// The step of the last digit of the shortest decimal that reads back as
// `reading`: 0.001 for 300.006, which a meter of 6 digits logs.
double shown_step(float reading) {
    char buf[32];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, reading, std::chars_format::scientific);
    const std::string_view text(buf, ec == std::errc{} ? end : buf);
    const std::size_t e = text.find('e');
    if (e == std::string_view::npos)
        return 0;
    const std::size_t dot = text.find('.');
    const int digits = dot == std::string_view::npos ? 0 : static_cast<int>(e - dot - 1);
    std::string_view exponent_text = text.substr(e + 1);
    if (!exponent_text.empty() && exponent_text[0] == '+')
        exponent_text.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);
    return std::pow(10.0, exponent - digits);
}

// The readings of a run farther than `limit` from `median`.
std::size_t far_from(const auto& run, double median, double limit) {
    std::size_t count = 0;
    for (const auto& t : run)
        count += std::fabs(t.value - median) > limit;
    return count;
}

} // namespace

// The median of the step each reading of a run's sample shows.
double log_audit::step_shown(const std::vector<double>& sample) {
    steps_.clear();
    for (double reading : sample)
        steps_.push_back(shown_step(static_cast<float>(reading)));
    return median_of(steps_);
}

// Judges one run of setting `at` against its median and its scatter: the
// larger of its Qn and the resolution it shows (the step of the readings'
// last digit, or a float's spacing), so that a run of equal readings is
// not judged by a zero scatter.  The run is left in another order.
void log_audit::judge_run(setting at, std::vector<taken>& run) {
    const std::size_t n = run.size(), m = std::min(n, scale_sample);
    const std::size_t first = run.front().index, last = run.back().index;
    sorted_.clear();
    for (std::size_t i = 0; i < m; ++i)
        sorted_.push_back(run[i * n / m].value);
    std::sort(sorted_.begin(), sorted_.end());
    const double median = n == m ? median_of_sorted(sorted_) : median_of(run);
    const auto centre = static_cast<float>(median);
    const double spacing = std::nextafter(centre, std::numeric_limits<float>::infinity()) -
                           static_cast<double>(centre);
    double scatter = std::max(qn_scale(sorted_), spacing);
    std::size_t count = far_from(run, median, far_scatters * scatter);
    // The step shown can only widen the scatter, so it is worked out only
    // where some reading would be far without it.
    if (count > 0) {
        scatter = std::max(scatter, step_shown(sorted_));
        count = far_from(run, median, far_scatters * scatter);
    }
    // A reading is far from the rest only where the rest are most of the
    // run: a run of two levels, half and half, has no level of its own.
    if (count == 0 || count * 2 >= n)
        return;
    settings_[at.p][at.d].far += count;
    far_found_ += count;
    for (const taken& t : run)
        if (std::fabs(t.value - median) > far_scatters * scatter) {
            far_.push_back({t.index, at, t.value, median, scatter, first, last, n});
            if (finder_.find(t.value).count > 1)
                far_of_two_.push_back(t.index);
        }
    if (far_.size() > 2 * max_far_kept)
        keep_first_far();
}

// Puts the far readings in log order, the two entries of a reading that two
// settings share by decade, and keeps the first max_far_kept of them, or one
// more where the cut would part such two: a reading is named far for both
// its settings or for neither.
void log_audit::keep_first_far() {
    std::sort(far_.begin(), far_.end(), [](const far_reading& a, const far_reading& b) {
        return a.index != b.index ? a.index < b.index : a.at.d < b.at.d;
    });
    std::size_t kept = std::min(far_.size(), max_far_kept);
    if (kept < far_.size() && far_[kept].index == far_[kept - 1].index)
        ++kept;
    far_.resize(kept);
}

// The first named_stretches stretches of each setting, its current one
// among them once the log is over.
void log_audit::close_stretches() {
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            setting_record& r = settings_[p][d];
            if (r.count > 0 && r.stretches <= named_stretches)
                r.named[r.stretches - 1] = r.current;
        }
}

std::size_t log_audit::left_out_messages(std::vector<audit_message>& out) const {
    for (const left_out& l : first_left_out_) {
        audit_message m{l.first, readings_text(l.count), {}};
        const char* them = l.count == 1 ? "it" : "them";
        const std::string where = lines_text(l.first, l.last) + ", " + value_range(l.low, l.high);
        const double mean = l.sum / static_cast<double>(l.count);
        if (l.why == kind::off_window) {
            const window& w = finder_.window_of(l.near);
            m.text += " in no acceptance window, " + where + "; the report leaves " + them + " out";
            m.notes.push_back(
                {l.first, "nearest is " + setting_name(l.near) +
                              format(", whose window is ±%g Ω; ", (w.high - w.low) / 2) +
                              (l.count == 1 ? ohms(mean) : format("their mean, %.8g Ω,", mean)) +
                              " is " + deviation(mean / finder_.nominal(l.near) - 1) + " off it"});
        } else if (l.why == kind::at_nominal) {
            const setting_finder::found f = finder_.find(l.low);
            m.text += " of exactly " + nominal_text(l.near) + ", " + lines_text(l.first, l.last) +
                      ", the nominal value of " +
                      (f.nominal_count == 2 ? settings_name(f.nominal_of[0], f.nominal_of[1])
                                            : setting_name(l.near)) +
                      "; a reading equal to nominal is never counted, so the report leaves " +
                      them + " out";
            m.notes.push_back({l.first, "log each reading with all the digits the meter gives"});
        } else {
            m.text += " of zero or less, " + where +
                      "; no resistance reads so, and the report leaves " + them + " out";
        }
        out.push_back(m);
    }
    return left_out_stretches_;
}

std::size_t log_audit::missing_messages(std::vector<audit_message>& out) const {
    std::size_t missing = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const setting_record& r = settings_[p][d];
            if (r.count > 0)
                continue;
            ++missing;
            audit_message m{0,
                            "no readings for " + setting_name({p, d}) +
                                "; the report shows Invalid data for it",
                            {}};
            if (r.has_nearest) {
                const left_out& l = r.nearest;
                const window& w = finder_.window_of({p, d});
                m.notes.push_back(
                    {l.first,
                     lines_text(l.first, l.last) + (l.first == l.last ? " comes" : " come") +
                         " nearest it, " +
                         deviation(l.sum / static_cast<double>(l.count) / finder_.nominal({p, d}) -
                                   1) +
                         format(" off, outside its window of ±%g Ω", (w.high - w.low) / 2)});
            }
            out.push_back(m);
        }
    return missing;
}

std::size_t log_audit::several_stretch_messages(std::vector<audit_message>& out) const {
    std::size_t several = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const setting_record& r = settings_[p][d];
            if (r.stretches <= 1)
                continue;
            ++several;
            const std::size_t shown = std::min(r.stretches, named_stretches);
            std::string list = "lines ";
            for (std::size_t i = 0; i < shown; ++i) {
                const stretch& s = r.named[i];
                const bool last = i + 1 == shown && shown == r.stretches;
                list += (i == 0 ? "" : last ? " and " : ", ") + line_span(s.first, s.last);
            }
            if (shown < r.stretches)
                list += format(" and %zu more", r.stretches - shown);
            audit_message m{r.named[0].first,
                            setting_name({p, d}) + " takes its " + readings_text(r.count) +
                                format(" from %zu", r.stretches) + " stretches of the log, " +
                                list + "; the report averages them together",
                            {}};
            for (std::size_t i = 0; i < max_notes; ++i) {
                const stretch& s = r.named[i];
                const double mean = s.sum / static_cast<double>(s.count);
                m.notes.push_back({s.first, lines_text(s.first, s.last) + ": " +
                                                readings_text(s.count) +
                                                format(", mean %.8g Ω (%.2f ppm)", mean,
                                                       ppm_of(mean, finder_.nominal({p, d})))});
            }
            out.push_back(m);
        }
    return several;
}

// The warning for one reading far from the rest of its run, found in the
// run of one setting or of two that share the reading.  The figures are
// those of the first run; a second run that differs gets a note of its own.
audit_message log_audit::far_message(const far_reading* first, const far_reading* end) const {
    const far_reading& f = *first;
    const std::size_t line = lines_.line_of(f.index);
    auto run_figures = [this](const far_reading& g) {
        const double nominal = finder_.nominal(g.at);
        return readings_text(g.run_count) + " on " +
               lines_text(lines_.line_of(g.run_first), lines_.line_of(g.run_last)) +
               format(": %+.1f ppm from their median, %.0f times their scatter of %.2g ppm",
                      relative_ppm(g.value - g.median, nominal),
                      std::fabs(g.value - g.median) / g.scatter, relative_ppm(g.scatter, nominal));
    };
    auto moves = [this](const far_reading& g) {
        const setting_record& r = settings_[g.at.p][g.at.d];
        const double mean = r.sum / static_cast<double>(r.count);
        const double without = (r.sum - g.value) / static_cast<double>(r.count - 1);
        return format("%+.1f ppm", relative_ppm(mean - without, finder_.nominal(g.at)));
    };
    audit_message m{line, ohms(f.value) + " lies far from the rest of its run of ", {}};
    if (end - first == 1) {
        m.text += setting_name(f.at) + ", " + run_figures(f);
        m.notes.push_back({line, "it moves the setting's mean in the report by " + moves(f)});
        return m;
    }
    const far_reading& g = first[1];
    m.text += settings_name(f.at, g.at) + ", " + run_figures(f);
    m.notes.push_back({line, moves(f) == moves(g)
                                 ? "it moves both settings' means in the report by " + moves(f)
                                 : "it moves the settings' means in the report by " + moves(f) +
                                       " and " + moves(g)});
    if (run_figures(g) != run_figures(f))
        m.notes.push_back({line, "in the run of " + setting_place(g.at) + ": " + run_figures(g)});
    return m;
}

// Each run of each setting was judged on its own: a setting fed from runs
// at different levels has its own warning, and none of its runs is far
// from itself.  A reading that two settings take is one warning.  The far
// readings kept are in log order by now (keep_first_far).
std::size_t log_audit::far_messages(std::vector<audit_message>& out) const {
    std::size_t twice = 0;
    for (std::size_t i = 1; i < far_of_two_.size(); ++i)
        twice += far_of_two_[i] == far_of_two_[i - 1];
    const far_reading* at = far_.data();
    const far_reading* const end = at + far_.size();
    for (std::size_t shown = 0; at != end && shown < max_warnings; ++shown) {
        const far_reading* next = at + 1;
        while (next != end && next->index == at->index)
            ++next;
        out.push_back(far_message(at, next));
        at = next;
    }
    return far_found_ - twice;
}

audit_findings log_audit::finish() && {
    close_left_out();
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            close_run({p, d});
    close_stretches();
    keep_first_far();
    std::sort(far_of_two_.begin(), far_of_two_.end()); // for far_messages to count pairs
    audit_findings found;
    std::vector<audit_message> messages;
    found.warnings = left_out_messages(messages) + missing_messages(messages) +
                     several_stretch_messages(messages) + far_messages(messages);
    // By line, the whole log's last, and in the order made within a line.
    // (std::stable_sort would do, but newer compilers flag the temporary
    // buffer that older standard libraries take for it.)
    std::vector<std::pair<std::size_t, std::size_t>> order;
    for (std::size_t i = 0; i < messages.size(); ++i)
        order.emplace_back(
            messages[i].line == 0 ? std::numeric_limits<std::size_t>::max() : messages[i].line, i);
    std::sort(order.begin(), order.end());
    for (std::size_t i = 0; i < order.size() && i < max_warnings; ++i)
        found.shown.push_back(std::move(messages[order[i].second]));
    found.readings = readings_;
    found.in_report = in_report_;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            found.measured += settings_[p][d].count > 0;
            found.far_count[p][d] = settings_[p][d].far;
        }
    found.far = std::move(far_);
    found.lines = std::move(lines_);
    return found;
}

std::string audit_text(const audit_findings& found, std::string_view file, bool strict) {
    std::string text;
    const std::string name(file);
    auto at = [&name](std::size_t line) { return file_line(name, line); };
    const std::string label = strict ? "error" : "warning";
    for (const audit_message& m : found.shown) {
        text += at(m.line) + label + ": " + m.text + "\n";
        for (std::size_t n = 0; n < m.notes.size() && n < log_audit::max_notes; ++n)
            text += at(m.notes[n].line) + "note: " + m.notes[n].text + "\n";
    }
    if (found.warnings > found.shown.size()) {
        const std::size_t more = found.warnings - found.shown.size();
        text += at(0) + format("note: %zu more ", more) + label + (more == 1 ? "" : "s") +
                " not shown\n";
    }
    const std::string settings =
        format("%zu of %u settings measured", found.measured, (positions - 1) * decade_count);
    if (found.in_report == found.readings)
        text += at(0) + readings_text(found.readings) + ", all in the report; " + settings + "\n";
    else
        text += at(0) +
                format("%zu of %zu readings in the report; ", found.in_report, found.readings) +
                settings + "\n";
    return text;
}
