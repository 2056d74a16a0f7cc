#include "acquire/session.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <termios.h>
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
    bool after_trouble; // only after readings that did not pass the checks or a verdict
};
constexpr answer_word answers[] = {
    {"", answer::measure, false},
    {"s", answer::skip, false},
    {"q", answer::stop, false},
    {"k", answer::keep, true},
};

bool is_terminal(std::FILE* f) {
#ifdef _WIN32
    return _isatty(_fileno(f)) != 0;
#else
    return isatty(fileno(f)) != 0;
#endif
}

// What was typed before a prompt is no answer to it: a bounced Enter would
// measure the next setting with the dial unmoved.
void discard_typed_ahead(std::FILE* in) {
    if (!is_terminal(in))
        return;
#ifdef _WIN32
    FlushConsoleInputBuffer(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in))));
#else
    tcflush(fileno(in), TCIFLUSH);
#endif
}

// How often a terminal's wait looks for Ctrl-C, whose signal may interrupt
// no read (it may come just before one, or reach another thread).
constexpr int slice_ms = 100;

// Whether a byte of `in` can be read without a wait that outlasts a slice.
// Only a terminal is waited on so: it is read unbuffered, so what it holds
// is what the system says it holds.
bool ready(std::FILE* in, bool terminal) {
#ifdef _WIN32
    (void)in, (void)terminal;
    return true;
#else
    if (!terminal)
        return true;
    pollfd p{fileno(in), POLLIN, 0};
    const int got = poll(&p, 1, slice_ms);
    return got > 0 || (got < 0 && errno != EINTR);
#endif
}

// The next byte of the input, or EOF at its end.  Ctrl-C before or during
// the wait ends the session.
int next_byte(std::FILE* in, bool terminal, const std::function<bool()>& interrupted) {
    for (;;) {
        if (interrupted())
            throw interrupted_fault{};
        if (!ready(in, terminal))
            continue;
        const int c = std::fgetc(in);
        if (interrupted())
            throw interrupted_fault{};
        if (c != EOF || !std::ferror(in) || errno != EINTR)
            return c;
        std::clearerr(in);
    }
}

// An answer is a word; a line longer than this is kept only in part, and
// marked so that it means nothing.
constexpr std::size_t longest_answer = 64;
constexpr std::string_view cut_mark = "…";

// One line of the input, however long, trimmed; none at its end.
std::optional<std::string> input_line(std::FILE* in, bool terminal,
                                      const std::function<bool()>& interrupted) {
    std::string line;
    bool cut = false;
    int c = 0;
    while ((c = next_byte(in, terminal, interrupted)) != EOF && c != '\n') {
        if (line.size() < longest_answer)
            line += static_cast<char>(c);
        else
            cut = true;
    }
    if (c == EOF && line.empty())
        return std::nullopt;
    std::string_view text = line;
    while (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    return std::string(trimmed(text)) + (cut ? std::string(cut_mark) : "");
}

// What the operator is asked: after a fresh dial, after readings that did
// not pass the checks, after a verdict other than a pass.
enum class asking : std::uint8_t { fresh, trouble, verdict };
constexpr const char* choices[] = {
    "set the dial, then Enter to measure, s to skip, q to stop: ",
    "Enter to measure again, k to keep these readings, s to skip, q to stop: ",
    ("clean the contacts, then Enter to measure again, k to keep these readings, s to skip, q "
     "to stop: "),
};

answer ask(setting at, asking why, std::FILE* in, std::FILE* err,
           const std::function<bool()>& interrupted) {
    const bool terminal = is_terminal(in);
    const bool after_trouble = why != asking::fresh;
    for (;;) {
        discard_typed_ahead(in);
        std::fprintf(err, "%s: %s", setting_name(at).c_str(),
                     choices[static_cast<std::size_t>(why)]);
        std::fflush(err);
        std::optional<std::string> line;
        try {
            line = input_line(in, terminal, interrupted);
        } catch (const interrupted_fault&) {
            std::fputc('\n', err); // the message starts a line of its own
            throw;
        }
        // A terminal echoes the answer; from a script, it is shown here, so
        // that what was said reads as a dialogue.
        if (!line || !terminal)
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
    std::optional<judgement> verdict;    // theirs, with a tolerance file
};

std::vector<meter_reading> take_readings(const session_plan& plan, const setting_finder& finder,
                                         setting at, meter& m) {
    m.configure(range_of(at), finder.nominal(at));
    if (plan.settle > 0)
        m.read(plan.settle);
    return m.read(plan.readings);
}

// The verdict of `readings`, said; none without a tolerance file.
std::optional<judgement> verdict_of(const session_plan& plan, setting at,
                                    std::span<const meter_reading> readings, std::FILE* err) {
    if (!plan.tolerance)
        return std::nullopt;
    const judgement j = judge_at_bench(plan.tolerance->data, at, readings);
    std::fprintf(err, "%s\n", verdict_line(at, j).c_str());
    return j;
}

// Measures `at` until its readings pass the checks and its verdict is a
// pass, or the operator keeps them, skips the setting or stops.
setting_outcome measure(const session_plan& plan, setting at, meter& m, std::FILE* in,
                        std::FILE* err, const std::function<bool()>& interrupted) {
    static const setting_finder finder;
    answer a = ask(at, asking::fresh, in, err, interrupted);
    while (a == answer::measure) {
        setting_outcome o{answer::measure, take_readings(plan, finder, at, m), std::nullopt};
        const std::optional<std::string> trouble = check_readings(finder, at, o.readings);
        if (trouble) {
            std::fprintf(err, "%s: %s\n", setting_name(at).c_str(), trouble->c_str());
        } else {
            o.verdict = verdict_of(plan, at, o.readings, err);
            if (!o.verdict || !asks_again(o.verdict->outcome))
                return o;
        }
        a = ask(at, trouble ? asking::trouble : asking::verdict, in, err, interrupted);
        // A reading the log cannot hold would make a log the build refuses.
        while (a == answer::keep && !log_can_hold(o.readings)) {
            std::fprintf(err, "%s: k cannot keep a reading the log cannot hold\n",
                         setting_name(at).c_str());
            a = ask(at, asking::trouble, in, err, interrupted);
        }
        if (a == answer::keep) {
            if (!o.verdict) // readings kept against the checks are judged too
                o.verdict = verdict_of(plan, at, o.readings, err);
            o.last = answer::keep;
            return o;
        }
    }
    return {a, {}, std::nullopt};
}

} // namespace

session_outcome run_session(const session_plan& plan, meter& m, std::FILE* in, std::FILE* err,
                            const std::function<bool()>& interrupted) {
    session_outcome out;
    // Unbuffered, a terminal holds what the system says it holds, and what
    // was typed ahead is all in the system's hands to discard.
    if (is_terminal(in))
        std::setvbuf(in, nullptr, _IONBF, 0);
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
        if (o.verdict)
            out.judged.push_back({setting_name(at), *o.verdict});
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
