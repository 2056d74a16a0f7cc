#include "acquire/session.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "acquire/check.h"
#include "acquire/log_file.h"
#include "acquire/plan.h"
#include "base/text_format.h"
#include "log/text_syntax.h"

namespace {

using clock_type = std::chrono::steady_clock;

// What the operator answered to a prompt.
enum class answer : std::uint8_t { measure, keep, skip, stop };

struct answer_word {
    std::string_view word;
    answer meaning;
    bool after_trouble; // only after readings that did not pass the checks
};
constexpr answer_word answers[] = {
    {"", answer::measure, false},
    {"s", answer::skip, false},
    {"q", answer::stop, false},
    {"k", answer::keep, true},
};

// One line of the input; none at its end.  Ctrl-C while waiting for it
// ends the session.
bool is_terminal(std::FILE* f) {
#ifdef _WIN32
    return _isatty(_fileno(f)) != 0;
#else
    return isatty(fileno(f)) != 0;
#endif
}

std::optional<std::string> input_line(std::FILE* in, const std::function<bool()>& interrupted) {
    char buffer[256];
    while (!std::fgets(buffer, sizeof buffer, in)) {
        if (interrupted())
            throw interrupted_fault{};
        if (std::feof(in) || errno != EINTR)
            return std::nullopt;
        std::clearerr(in);
    }
    if (interrupted())
        throw interrupted_fault{};
    std::string_view line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return std::string(trimmed(line));
}

answer ask(setting at, bool after_trouble, std::FILE* in, std::FILE* err,
           const std::function<bool()>& interrupted) {
    const char* choices = after_trouble
                              ? "Enter to measure again, k to keep these readings, s to skip, q to "
                                "stop: "
                              : "set the dial, then Enter to measure, s to skip, q to stop: ";
    for (;;) {
        std::fprintf(err, "%s: %s", setting_name(at).c_str(), choices);
        std::fflush(err);
        std::optional<std::string> line;
        try {
            line = input_line(in, interrupted);
        } catch (const interrupted_fault&) {
            std::fputc('\n', err); // the message starts a line of its own
            throw;
        }
        // A terminal echoes the answer; from a script, it is shown here, so
        // that what was said reads as a dialogue.
        if (!line || !is_terminal(in))
            std::fprintf(err, "%s\n", line ? line->c_str() : "(end of input)");
        if (!line)
            return answer::stop;
        for (const answer_word& a : answers)
            if (a.word == *line && (after_trouble || !a.after_trouble))
                return a.meaning;
    }
}

std::string duration_text(double seconds) {
    const long s = std::lround(seconds);
    return s >= 60 ? format("%ld min %02ld s", s / 60, s % 60) : format("%ld s", s);
}

// What became of a setting: its readings to write, or skipped, or the
// operator stopped.
struct setting_outcome {
    answer last;
    std::vector<meter_reading> readings; // where last is measure or keep
};

// Measures `at` until its readings pass or the operator keeps them, skips
// the setting or stops.
setting_outcome measure(const session_plan& plan, setting at, meter& m, std::FILE* in,
                        std::FILE* err, const std::function<bool()>& interrupted) {
    static const setting_finder finder;
    answer a = ask(at, false, in, err, interrupted);
    while (a == answer::measure) {
        m.configure(range_of(at), finder.nominal(at));
        if (plan.settle > 0)
            m.read(plan.settle);
        std::vector<meter_reading> readings = m.read(plan.readings);
        const std::optional<std::string> trouble = check_readings(finder, at, readings);
        if (!trouble)
            return {answer::measure, std::move(readings)};
        std::fprintf(err, "%s: %s\n", setting_name(at).c_str(), trouble->c_str());
        a = ask(at, true, in, err, interrupted);
        // A reading the log cannot hold would make a log the build refuses.
        while (a == answer::keep && !log_can_hold(readings)) {
            std::fprintf(err, "%s: k cannot keep a reading the log cannot hold\n",
                         setting_name(at).c_str());
            a = ask(at, true, in, err, interrupted);
        }
        if (a == answer::keep)
            return {answer::keep, std::move(readings)};
    }
    return {a, {}};
}

} // namespace

session_outcome run_session(const session_plan& plan, meter& m, std::FILE* in, std::FILE* err,
                            const std::function<bool()>& interrupted) {
    session_outcome out;
    const clock_type::time_point start = clock_type::now();
    for (std::size_t i = 0; i < plan.settings.size(); ++i) {
        const setting at = plan.settings[i];
        const setting_outcome o = measure(plan, at, m, in, err, interrupted);
        if (o.last == answer::stop) {
            out.stopped = true;
            return out;
        }
        if (o.last == answer::skip) {
            ++out.skipped;
            continue;
        }
        const std::vector<meter_reading>* readings = &o.readings;
        if (!append_synced(plan.log, setting_text(at, *readings)))
            throw write_fault{"cannot write " + plan.log + ": " + std::strerror(errno)};
        if (interrupted()) // Ctrl-C while the setting was synced
            throw interrupted_fault{};
        ++out.measured;
        out.readings += readings->size();
        const std::chrono::duration<double> spent = clock_type::now() - start;
        const std::size_t left = plan.settings.size() - i - 1;
        std::fprintf(
            err,
            "%s: %zu readings written; %zu of %zu settings, %zu readings; about %s "
            "left\n",
            nominal_text(at).c_str(), readings->size(), plan.done + out.measured, plan.chosen,
            plan.readings_done + out.readings,
            duration_text(spent.count() / static_cast<double>(i + 1) * static_cast<double>(left))
                .c_str());
    }
    return out;
}
