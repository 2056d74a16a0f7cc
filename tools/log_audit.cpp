#include "log_audit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "analysis/stats.h"
#include "bench_log.h"
#include "readings.h"
#include "text_format.h"

namespace {

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

log_audit::log_audit() = default;

void log_audit::add(float reading, std::size_t line) {
    const double s = reading;
    if (readings_ == 0 || line != line_ + 1)
        jumps_.push_back({readings_, line});
    line_ = line;
    const setting_finder::found f = finder_.find(s);
    for (unsigned i = 0; i < f.count; ++i)
        take(f.taken[i].p, f.taken[i].d, s);
    if (f.count > 0)
        ++in_report_;
    else if (f.is_nominal)
        leave_out(kind::at_nominal, f.at_nominal.p, f.at_nominal.d, s, line);
    else if (!(s > 0))
        leave_out(kind::not_positive, 0, 0, s, line);
    else {
        const setting near = finder_.nearest(s);
        leave_out(kind::off_window, near.p, near.d, s, line);
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
        // A stretch too short to judge keeps none of its readings: in a log
        // whose settings come in random order, none is kept at all.
        if (r.count > 0 && r.current.count < min_judged) {
            r.readings.resize(r.starts.back());
            r.starts.pop_back();
        }
        r.current = {line_, line_, 1, s};
        ++r.stretches;
        r.starts.push_back(static_cast<std::uint32_t>(r.readings.size()));
    }
    ++r.count;
    r.last_index = index;
    r.sum += s;
    // The log reader takes at most max_readings, far below 2^32.
    r.readings.push_back({static_cast<float>(s), static_cast<std::uint32_t>(index)});
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

std::size_t log_audit::line_of(std::size_t index) const {
    const auto after =
        std::upper_bound(jumps_.begin(), jumps_.end(), index,
                         [](std::size_t i, const line_jump& jump) { return i < jump.index; });
    const line_jump& jump = *(after - 1); // the first reading always has one
    return jump.line + (index - jump.index);
}

std::string log_audit::setting_name(unsigned p, unsigned d) const {
    return format("the %.0f Ω setting (", finder_.nominal({p, d})) + setting_place({p, d}) + ")";
}

namespace {

// Qn is computed on at most this many readings of a run, taken evenly
// through it: a run of millions is judged as well, at a bounded cost.
constexpr std::size_t scale_sample = 500;

double median_of(std::vector<double>& values) {
    const std::size_t n = values.size();
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(values.begin(), mid, values.end());
    if (n % 2 == 1)
        return *mid;
    return (*std::max_element(values.begin(), mid) + *mid) / 2;
}

// Rousseeuw and Croux's Qn: the k-th smallest distance between two of the
// values, k = h(h-1)/2 with h = n/2 + 1, scaled to estimate the standard
// deviation of a normal distribution (with their correction for small n).
// Up to nearly half of the values may be wild without inflating it.
double qn_scale(const std::vector<double>& values) {
    const std::size_t n = values.size();
    std::vector<double> distances;
    distances.reserve(n * (n - 1) / 2);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            distances.push_back(std::fabs(values[i] - values[j]));
    const std::size_t h = n / 2 + 1, k = h * (h - 1) / 2;
    const auto kth = distances.begin() + static_cast<std::ptrdiff_t>(k - 1);
    std::nth_element(distances.begin(), kth, distances.end());
    constexpr double small_n[10] = {0, 0, 0.399, 0.994, 0.512, 0.844, 0.611, 0.857, 0.669, 0.872};
    const double size = static_cast<double>(n);
    const double correction = n < 10       ? small_n[n]
                              : n % 2 == 1 ? size / (size + 1.4)
                                           : size / (size + 3.8);
    return 2.2219 * correction * *kth;
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

} // namespace

// Judges the readings from-to of setting (p, d), one run of the log:
// against the run's median and scatter, the larger of its Qn and the
// resolution it shows (the step of the readings' last digit, or a float's
// spacing), so that a run of equal readings is not judged by a zero scatter.
void log_audit::judge_run(unsigned p, unsigned d, std::size_t from, std::size_t to,
                          std::vector<far_reading>& found) {
    setting_record& r = settings_[p][d];
    const std::size_t n = to - from;
    if (n < min_judged)
        return;
    std::vector<double> values;
    values.reserve(n);
    for (std::size_t i = from; i < to; ++i)
        values.push_back(r.readings[i].value);
    const double median = median_of(values);
    std::vector<double> sample, steps;
    for (std::size_t i = 0, m = std::min(n, scale_sample); i < m; ++i) {
        const float reading = r.readings[from + i * n / m].value;
        sample.push_back(reading);
        steps.push_back(shown_step(reading));
    }
    const auto centre = static_cast<float>(median);
    const double spacing = std::nextafter(centre, std::numeric_limits<float>::infinity()) -
                           static_cast<double>(centre);
    const double scatter = std::max({qn_scale(sample), median_of(steps), spacing});
    auto far = [&](std::size_t i) {
        return std::fabs(r.readings[i].value - median) > far_scatters * scatter;
    };
    // A reading is far from the rest only where the rest are most of the
    // run: a run of two levels, half and half, has no level of its own.
    std::size_t count = 0;
    for (std::size_t i = from; i < to; ++i)
        count += far(i);
    if (count * 2 >= n)
        return;
    r.far += count;
    for (std::size_t i = from; i < to; ++i)
        if (far(i))
            found.push_back({r.readings[i].index, p, d, r.readings[i].value, median, scatter,
                             r.readings[from].index, r.readings[to - 1].index, n});
}

std::size_t log_audit::left_out_messages(std::vector<message>& out) const {
    for (const left_out& l : first_left_out_) {
        message m{l.first, readings_text(l.count), {}};
        const char* them = l.count == 1 ? "it" : "them";
        const std::string where = lines_text(l.first, l.last) + ", " + value_range(l.low, l.high);
        const double mean = l.sum / static_cast<double>(l.count);
        if (l.why == kind::off_window) {
            const window& w = finder_.window_of({l.p, l.d});
            m.text += " in no acceptance window, " + where + "; the report leaves " + them + " out";
            m.notes.push_back(
                {l.first, "nearest is " + setting_name(l.p, l.d) +
                              format(", whose window is ±%g Ω; ", (w.high - w.low) / 2) +
                              (l.count == 1 ? ohms(mean) : format("their mean, %.8g Ω,", mean)) +
                              " is " + deviation(mean / finder_.nominal({l.p, l.d}) - 1) +
                              " off it"});
        } else if (l.why == kind::at_nominal) {
            m.text += " of exactly " + ohms(l.low) + ", " + lines_text(l.first, l.last) +
                      ", the nominal value of " + setting_name(l.p, l.d) +
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

std::size_t log_audit::missing_messages(std::vector<message>& out) const {
    std::size_t missing = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const setting_record& r = settings_[p][d];
            if (r.count > 0)
                continue;
            ++missing;
            message m{0,
                      "no readings for " + setting_name(p, d) +
                          "; the report shows Invalid data for it",
                      {}};
            if (r.has_nearest) {
                const left_out& l = r.nearest;
                const window& w = finder_.window_of({p, d});
                m.notes.push_back(
                    {l.first,
                     lines_text(l.first, l.last) + " come nearest it, " +
                         deviation(l.sum / static_cast<double>(l.count) / finder_.nominal({p, d}) -
                                   1) +
                         format(" off, outside its window of ±%g Ω", (w.high - w.low) / 2)});
            }
            out.push_back(m);
        }
    return missing;
}

std::size_t log_audit::several_stretch_messages(std::vector<message>& out) {
    std::size_t several = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            setting_record& r = settings_[p][d];
            if (r.count > 0 && r.stretches <= named_stretches)
                r.named[r.stretches - 1] = r.current;
            if (r.stretches <= 1)
                continue;
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
            message m{r.named[0].first,
                      setting_name(p, d) + " takes its " + readings_text(r.count) +
                          format(" from %zu", r.stretches) + " stretches of the log, " + list +
                          "; the report averages them together",
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

// Each run of each setting is judged on its own: a setting fed from runs at
// different levels has its own warning, and none of its runs is far from
// itself.  Only the first max_warnings of the readings found are kept.
std::size_t log_audit::far_messages(std::vector<message>& out) {
    std::size_t total = 0;
    auto by_index = [](const far_reading& a, const far_reading& b) { return a.index < b.index; };
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const setting_record& r = settings_[p][d];
            for (std::size_t i = 0; i < r.starts.size(); ++i) {
                const std::size_t before = far_.size();
                judge_run(p, d, r.starts[i],
                          i + 1 < r.starts.size() ? r.starts[i + 1] : r.readings.size(), far_);
                total += far_.size() - before;
                if (far_.size() > 2 * max_far_kept) {
                    std::sort(far_.begin(), far_.end(), by_index);
                    far_.resize(max_far_kept);
                }
            }
        }
    std::sort(far_.begin(), far_.end(), by_index);
    if (far_.size() > max_far_kept)
        far_.resize(max_far_kept);
    for (std::size_t i = 0; i < far_.size() && i < max_warnings; ++i) {
        const far_reading& f = far_[i];
        const setting_record& r = settings_[f.p][f.d];
        const double nominal = finder_.nominal({f.p, f.d});
        const double mean = r.sum / static_cast<double>(r.count);
        const double without = (r.sum - f.value) / static_cast<double>(r.count - 1);
        const std::size_t line = line_of(f.index);
        out.push_back(
            {line,
             ohms(f.value) + " lies far from the rest of its run of " + setting_name(f.p, f.d) +
                 ", " + readings_text(f.run_count) + " on " +
                 lines_text(line_of(f.run_first), line_of(f.run_last)) +
                 format(": %+.1f ppm from their median, %.0f times their scatter of %.2g ppm",
                        (f.value - f.median) / nominal * 1e6,
                        std::fabs(f.value - f.median) / f.scatter, f.scatter / nominal * 1e6),
             {{line, format("it moves the setting's mean in the report by %+.1f ppm",
                            (mean - without) / nominal * 1e6)}}});
    }
    return total;
}

std::size_t log_audit::finish(const char* file, std::FILE* out, bool strict) {
    std::string text;
    const std::size_t total = finish(file, text, strict);
    std::fputs(text.c_str(), out);
    return total;
}

std::size_t log_audit::finish(const char* file, std::string& text, bool strict) {
    close_left_out();
    std::vector<message> messages;
    const std::size_t total = left_out_messages(messages) + missing_messages(messages) +
                              several_stretch_messages(messages) + far_messages(messages);
    // By line, the whole log's last, and in the order made within a line.
    // (std::stable_sort would do, but newer compilers flag the temporary
    // buffer that older standard libraries take for it.)
    std::vector<std::pair<std::size_t, std::size_t>> order;
    for (std::size_t i = 0; i < messages.size(); ++i)
        order.emplace_back(
            messages[i].line == 0 ? std::numeric_limits<std::size_t>::max() : messages[i].line, i);
    std::sort(order.begin(), order.end());
    const std::string name(file);
    auto at = [&name](std::size_t line) {
        return line == 0 ? name + ": " : name + ":" + std::to_string(line) + ": ";
    };
    const std::string label = strict ? "error" : "warning";
    for (std::size_t i = 0; i < order.size() && i < max_warnings; ++i) {
        const message& m = messages[order[i].second];
        text += at(m.line) + label + ": " + m.text + "\n";
        for (std::size_t n = 0; n < m.notes.size() && n < max_notes; ++n)
            text += at(m.notes[n].line) + "note: " + m.notes[n].text + "\n";
    }
    if (total > max_warnings) {
        const std::size_t more = total - max_warnings;
        text += at(0) + format("note: %zu more ", more) + label + (more == 1 ? "" : "s") +
                " not shown\n";
    }
    std::size_t measured = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            measured += settings_[p][d].count > 0;
    const std::string settings =
        format("%zu of %u settings measured", measured, (positions - 1) * decade_count);
    if (in_report_ == readings_)
        text += at(0) + format("%zu readings, all in the report; ", readings_) + settings + "\n";
    else
        text += at(0) + format("%zu of %zu readings in the report; ", in_report_, readings_) +
                settings + "\n";
    return total;
}
