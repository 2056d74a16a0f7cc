#include "log_audit.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <limits>
#include <string>

#include "bench_log.h"
#include "readings.h"

namespace {

// MinGW's C++ runtime formats as C99 does (%zu), and says so with this.
#ifdef __MINGW_PRINTF_FORMAT
#define AUDIT_PRINTF __MINGW_PRINTF_FORMAT
#else
#define AUDIT_PRINTF printf
#endif
std::string format(const char* pattern, ...) __attribute__((format(AUDIT_PRINTF, 1, 2)));
std::string format(const char* pattern, ...) {
    char buf[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buf, sizeof buf, pattern, args);
    va_end(args);
    return buf;
}

std::string setting_name(unsigned p, unsigned d) {
    return format("the %d Ω setting (position %u, decade 1E%u)", static_cast<int>(p) * decades[d],
                  p, d + 1);
}

std::string span_text(std::size_t first, std::size_t last) {
    return first == last ? format("%zu", first) : format("%zu-%zu", first, last);
}

std::string lines_text(std::size_t first, std::size_t last) {
    return (first == last ? "line " : "lines ") + span_text(first, last);
}

std::string readings_text(std::size_t count) {
    return count == 1 ? "1 reading" : format("%zu readings", count);
}

// The shortest text that reads back as the reading (each is a float).
std::string ohms(double reading) {
    return reading_text(static_cast<float>(reading)) + " Ω";
}

std::string value_range(double low, double high) {
    return low == high ? ohms(low)
                       : "from " + reading_text(static_cast<float>(low)) + " to " + ohms(high);
}

// A relative deviation in ppm below 1 %, in percent above.
std::string deviation(double relative) {
    if (std::fabs(relative) < 0.01)
        return format("%+.0f ppm", relative * 1e6);
    const double percent = relative * 100;
    const double size = std::fabs(percent);
    if (size < 10)
        return format("%+.2f %%", percent);
    if (size < 100)
        return format("%+.1f %%", percent);
    if (size < 1e5)
        return format("%+.0f %%", percent);
    return format("%+.3g %%", percent);
}

struct message {
    std::size_t line; // 0 for the whole log, written after the others
    std::string text; // the warning and its notes, each line without its line end
    std::size_t order = 0;
};

} // namespace

log_audit::log_audit() {
    fill_nominal(g_);
    for (unsigned d = 0; d < decade_count; ++d)
        per_step_[d] = 1.0 / decades[d];
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            windows_[p][d] = window_of(g_, p, d);
}

// Within a decade the windows are narrower than a step and centred on whole
// steps, so only the position nearest to a reading can take it: one window
// test per decade instead of ten.
void log_audit::add(float reading, std::size_t line) {
    const double s = reading;
    line_ = line;
    bool taken = false, at_nominal = false;
    unsigned nominal_p = 0, nominal_d = 0;
    for (unsigned d = 0; d < decade_count; ++d) {
        const double q = s * per_step_[d]; // rounding cannot move it by half a step
        if (!(q > 0.5 && q < 10.5))
            continue;
        const auto p = static_cast<unsigned>(std::lround(q));
        const window& w = windows_[p][d];
        if (!(w.low < s && s < w.high))
            continue;
        if (s == g_.nominal[p][d]) {
            at_nominal = true;
            nominal_p = p;
            nominal_d = d;
            continue;
        }
        take(p, d, s);
        taken = true;
    }
    if (taken)
        ++in_report_;
    else if (at_nominal)
        leave_out(kind::at_nominal, nominal_p, nominal_d, s, line);
    else if (!(s > 0))
        leave_out(kind::not_positive, 0, 0, s, line);
    else {
        unsigned p = 0, d = 0;
        nearest_setting(s, p, d);
        leave_out(kind::off_window, p, d, s, line);
    }
    ++readings_;
}

// A setting's readings make one stretch of the log as long as the readings
// between two of them (of other settings or of none) are at most half as
// many as the stretch has so far: a stray reading inside a run does not
// split the run it interrupts.
void log_audit::take(unsigned p, unsigned d, double s) {
    setting_record& r = settings_[p][d];
    const std::size_t index = readings_;
    if (r.count > 0 && (index - r.last_index - 1) * 2 <= r.current.count) {
        r.current.last = line_;
        ++r.current.count;
        r.current.sum += s;
    } else {
        if (r.count > 0 && r.stretches <= named_stretches)
            r.named[r.stretches - 1] = r.current;
        r.current = {line_, line_, 1, s};
        ++r.stretches;
    }
    ++r.count;
    r.last_index = index;
}

// Consecutive readings left out for the same reason, near the same
// setting, make one stretch; blank and comment lines between them do not
// count.
void log_audit::leave_out(kind why, unsigned p, unsigned d, double s, std::size_t line) {
    const std::size_t index = readings_;
    if (open_ && left_index_ + 1 == index && left_.why == why && left_.p == p && left_.d == d) {
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
        left_.p = p;
        left_.d = d;
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
    setting_record& r = settings_[left_.p][left_.d];
    if (left_.why == kind::off_window && !r.has_nearest) {
        r.has_nearest = true;
        r.nearest = left_;
    }
}

// The setting of least relative deviation from a positive reading; of the
// two settings that share a value, the one of the higher decade, whose
// window is the wider.
void log_audit::nearest_setting(double s, unsigned& p, unsigned& d) const {
    double best = std::numeric_limits<double>::infinity();
    for (unsigned decade = 0; decade < decade_count; ++decade) {
        const double q = std::clamp(s / decades[decade], 1.0, 10.0);
        const auto below = static_cast<unsigned>(q);
        for (unsigned position : {below, std::min(below + 1, 10u)}) {
            const double off = std::fabs(s / g_.nominal[position][decade] - 1);
            if (off <= best) {
                best = off;
                p = position;
                d = decade;
            }
        }
    }
}

std::size_t log_audit::finish(const char* file, std::FILE* out, bool strict) {
    close_left_out();
    const char* label = strict ? "error" : "warning";
    const std::string name(file);
    auto at = [&name](std::size_t line) {
        return line == 0 ? name + ": " : name + ":" + std::to_string(line) + ": ";
    };
    std::vector<message> messages;
    for (const left_out& l : first_left_out_) {
        std::string text = at(l.first) + label + ": " + readings_text(l.count);
        const char* them = l.count == 1 ? "it" : "them";
        const std::string where = lines_text(l.first, l.last) + ", " + value_range(l.low, l.high);
        const double mean = l.sum / static_cast<double>(l.count);
        if (l.why == kind::off_window) {
            const window& w = windows_[l.p][l.d];
            text += " in no acceptance window, " + where + "; the report leaves " + them +
                    " out\n" + at(l.first) + "note: nearest is " + setting_name(l.p, l.d) +
                    format(", whose window is ±%g Ω; ", (w.high - w.low) / 2) +
                    (l.count == 1 ? ohms(mean) : format("their mean, %.8g Ω,", mean)) + " is " +
                    deviation(mean / g_.nominal[l.p][l.d] - 1) + " off it";
        } else if (l.why == kind::at_nominal) {
            text += " of exactly " + ohms(l.low) + ", " + lines_text(l.first, l.last) +
                    ", the nominal value of " + setting_name(l.p, l.d) +
                    "; a reading equal to nominal is never counted, so the report leaves " + them +
                    " out\n" + at(l.first) +
                    "note: log each reading with all the digits the meter gives";
        } else {
            text += " of zero or less, " + where +
                    "; no resistance reads so, and the report leaves " + them + " out";
        }
        messages.push_back({l.first, text});
    }
    std::size_t several = 0, missing = 0, measured = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            setting_record& r = settings_[p][d];
            if (r.count > 0 && r.stretches <= named_stretches)
                r.named[r.stretches - 1] = r.current;
            if (r.count > 0)
                ++measured;
            if (r.count == 0) {
                ++missing;
                std::string text = at(0) + label + ": no readings for " + setting_name(p, d) +
                                   "; the report shows Invalid data for it";
                if (r.has_nearest) {
                    const left_out& l = r.nearest;
                    const window& w = windows_[p][d];
                    text += "\n" + at(l.first) + "note: " + lines_text(l.first, l.last) +
                            " come nearest it, " +
                            deviation(l.sum / static_cast<double>(l.count) / g_.nominal[p][d] - 1) +
                            format(" off, outside its window of ±%g Ω", (w.high - w.low) / 2);
                }
                messages.push_back({0, text});
            } else if (r.stretches > 1) {
                ++several;
                const std::size_t shown = std::min(r.stretches, named_stretches);
                std::string list = "lines ";
                for (std::size_t i = 0; i < shown; ++i) {
                    const stretch& s = r.named[i];
                    const bool last = i + 1 == shown && shown == r.stretches;
                    list += (i == 0 ? "" : last ? " and " : ", ") + span_text(s.first, s.last);
                }
                if (shown < r.stretches)
                    list += format(" and %zu more", r.stretches - shown);
                std::string text = at(r.named[0].first) + label + ": " + setting_name(p, d) +
                                   " takes its " + readings_text(r.count) +
                                   format(" from %zu", r.stretches) + " stretches of the log, " +
                                   list + "; the report averages them together";
                for (std::size_t i = 0; i < 2; ++i) {
                    const stretch& s = r.named[i];
                    const double mean = s.sum / static_cast<double>(s.count);
                    text += "\n" + at(s.first) + "note: " + lines_text(s.first, s.last) + ": " +
                            readings_text(s.count) +
                            format(", mean %.8g Ω (%.2f ppm)", mean,
                                   (mean / g_.nominal[p][d] - 1) * 1e6);
                }
                messages.push_back({r.named[0].first, text});
            }
        }
    // By line, the whole log's last, and in the order made within a line.
    // (std::stable_sort would do, but newer compilers flag the temporary
    // buffer that older standard libraries take for it.)
    for (std::size_t i = 0; i < messages.size(); ++i)
        messages[i].order = i;
    std::sort(messages.begin(), messages.end(), [](const message& a, const message& b) {
        auto key = [](const message& m) {
            return std::pair(m.line == 0 ? std::numeric_limits<std::size_t>::max() : m.line,
                             m.order);
        };
        return key(a) < key(b);
    });
    const std::size_t total = left_out_stretches_ + several + missing;
    for (std::size_t i = 0; i < messages.size() && i < max_warnings; ++i)
        std::fprintf(out, "%s\n", messages[i].text.c_str());
    if (total > max_warnings) {
        const std::size_t more = total - max_warnings;
        std::fprintf(out, "%snote: %zu more %s%s not shown\n", at(0).c_str(), more, label,
                     more == 1 ? "" : "s");
    }
    const std::string settings =
        format("%zu of %u settings measured", measured, (positions - 1) * decade_count);
    if (in_report_ == readings_)
        std::fprintf(out, "%s%zu readings, all in the report; %s\n", at(0).c_str(), readings_,
                     settings.c_str());
    else
        std::fprintf(out, "%s%zu of %zu readings in the report; %s\n", at(0).c_str(), in_report_,
                     readings_, settings.c_str());
    return total;
}
