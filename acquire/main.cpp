// decade-acquire: takes the readings of a five-decade box from a meter,
// setting by setting, with the operator at the bench, into a log that
// decade-report's build compiles in.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "acquire/link_asio.h"
#include "acquire/log_file.h"
#include "acquire/options.h"
#include "acquire/session.h"
#include "base/text_format.h"
#include "base/whole_file.h"

namespace {

std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int) {
    interrupted = true;
}

// Ctrl-C sets a flag that every wait looks at; a read of the input it
// interrupts returns, so that the prompt's wait ends too.
void catch_interrupt() {
#ifdef _WIN32
    std::signal(SIGINT, on_interrupt);
#else
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A meter that hangs up is told by the failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// An argument as a shell takes it back.
std::string shell_word(const std::string& arg) {
    if (!arg.empty() && arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789-_=./:,+@%") == std::string::npos)
        return arg;
#ifdef _WIN32
    return "\"" + arg + "\"";
#else
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

std::string command_given(std::span<char* const> args) {
    std::string command = "decade-acquire";
    for (const char* arg : args)
        command += " " + shell_word(arg);
    return command;
}

// The command that continues this acquisition.
std::string resume_command(std::span<char* const> args) {
    const bool resumed = std::any_of(args.begin(), args.end(),
                                     [](const char* a) { return std::string(a) == "--resume"; });
    return command_given(args) + (resumed ? "" : " --resume");
}

struct failed {
    int status;
};

[[noreturn]] void stop(const std::string& what, int status = 1) {
    std::fprintf(stderr, "decade-acquire: %s\n", what.c_str());
    throw failed{status};
}

// The log so far, where it is continued; none for a new one.  A log that
// holds anything is never written over: without --resume it is refused.
std::optional<log_so_far> earlier_log(const acquire_options& o) {
    std::string text, why;
    if (!read_whole_file(o.log, std::size_t{1} << 30, text, why)) {
        if (errno == ENOENT)
            return std::nullopt;
        stop(o.log + ": cannot read the log: " + why);
    }
    if (text.empty())
        return std::nullopt;
    if (!o.resume)
        stop(o.log + ": holds readings already: --resume continues it, or name another log");
    log_so_far so_far;
    std::string error;
    if (!read_log_so_far(text, so_far, error))
        stop(o.log + ":" + error);
    return so_far;
}

// A partial last setting set aside as comments, once the log is known to
// be this calibration's: the log is written whole anew or not at all.
void set_aside(const log_so_far& so_far, const std::string& log) {
    if (so_far.set_aside == 0)
        return;
    if (!write_whole_file(so_far.text, log))
        stop(log + ": cannot set the unfinished setting aside: " + std::strerror(errno));
    std::fprintf(stderr,
                 "decade-acquire: %s: %zu lines of an unfinished setting set aside as "
                 "comments\n",
                 log.c_str(), so_far.set_aside);
}

// The record's fields: those given, the date today and the meter's
// identity as the reference unless given.
std::vector<record_field> fields_of(const acquire_options& o, const std::string& identity) {
    std::vector<record_field> fields = o.fields;
    auto add = [&](record_key key, const std::string& value) {
        if (!value.empty() && std::none_of(fields.begin(), fields.end(),
                                           [&](const record_field& f) { return f.key == key; }))
            fields.push_back({key, value, 0});
    };
    add(record_key::date, today());
    add(record_key::reference, identity);
    std::sort(fields.begin(), fields.end(),
              [](const record_field& a, const record_field& b) { return a.key < b.key; });
    return fields;
}

// A continued log must be of the same calibration: each field given now
// as the log gives it, and the same meter.
void check_same_calibration(const log_so_far& so_far, const std::vector<record_field>& fields,
                            const acquire_options& o) {
    for (const record_field& f : fields) {
        if (f.key == record_key::date &&
            !std::any_of(o.fields.begin(), o.fields.end(),
                         [](const record_field& g) { return g.key == record_key::date; }))
            continue; // today's date: the log keeps the day it was begun
        const record_field* then = find_field(so_far.record, f.key);
        if (then && then->value != f.value)
            stop(o.log + ":" + std::to_string(then->line) + ": its " + key_name(f.key) + " is '" +
                 then->value + "', but " +
                 (f.key == record_key::reference ? "the meter at " + o.meter + " answers '"
                                                 : "this run gives '") +
                 f.value + "': not the same calibration");
    }
}

// The box's tolerance file, for a verdict at the bench, where one is
// given: read before the meter is, as a fault in it ends the run.
std::optional<bench_tolerance> tolerance_given(const acquire_options& o) {
    if (o.tolerance.empty())
        return std::nullopt;
    bench_tolerance t;
    std::string error;
    if (!read_bench_tolerance(o.tolerance, o.settings, t, error))
        stop(error);
    return t;
}

// The last line: the verdicts of the settings this run wrote.
void say_verdict_counts(const std::optional<bench_tolerance>& t, const session_outcome& out) {
    if (t)
        std::fprintf(stderr, "decade-acquire: %s\n", verdict_counts(*t, out.judged).c_str());
}

int run(std::span<char* const> args) {
    acquire_options o;
    std::string error;
    if (!read_acquire_options(args, o, error)) {
        std::fprintf(stderr, "decade-acquire: %s\n%s", error.c_str(), acquire_usage);
        return 2;
    }
    meter_dialect dialect;
    if (!o.meter_file.empty()) {
        std::string text, why;
        key_file_error fault;
        if (!read_whole_file(o.meter_file, 1 << 20, text, why))
            stop(o.meter_file + ": cannot read the meter file: " + why);
        if (!read_meter_file(text, dialect, fault))
            stop(file_line(o.meter_file, fault.line) + fault.what);
    }
    const std::optional<bench_tolerance> tolerance = tolerance_given(o);
    const std::optional<log_so_far> so_far = earlier_log(o);
    catch_interrupt();
    std::FILE* transcript = nullptr;
    if (!o.transcript.empty() && !(transcript = std::fopen(o.transcript.c_str(), "ab")))
        stop(o.transcript + ": cannot write the transcript: " + std::strerror(errno));
    const std::unique_ptr<FILE, int (*)(FILE*)> closer(
        transcript, [](FILE* f) { return f ? std::fclose(f) : 0; });
    const auto timeout = std::chrono::milliseconds(static_cast<long long>(o.timeout * 1000));
    const std::string where = "meter at " + o.meter;
    session_plan plan;
    try {
        auto asked = [] { return interrupted.load(); };
        std::unique_ptr<meter_link> link = open_link(o.meter, default_port, o.baud, timeout, asked);
        std::optional<transcribed_link> noted;
        if (transcript) {
            noted.emplace(*link, transcript);
            noted->note("decade-acquire: " + where + ", log " + o.log);
        }
        meter m(noted ? static_cast<meter_link&>(*noted) : *link, dialect, timeout);
        const std::vector<record_field> fields = fields_of(o, m.identify());
        plan.log = o.log;
        plan.readings = o.readings;
        plan.settle = o.settle;
        plan.chosen = o.settings.size();
        plan.tolerance = tolerance ? &*tolerance : nullptr;
        if (so_far) {
            check_same_calibration(*so_far, fields, o);
            set_aside(*so_far, o.log);
            plan.readings_done = so_far->readings;
        } else if (!append_synced(o.log, heading_text(fields))) {
            stop(o.log + ": cannot write the log: " + std::strerror(errno));
        }
        for (const setting& at : o.settings)
            if (!so_far ||
                std::find(so_far->whole.begin(), so_far->whole.end(), at) == so_far->whole.end())
                plan.settings.push_back(at);
            else
                ++plan.done;
        const session_outcome out = run_session(plan, m, stdin, stderr, asked);
        const std::size_t done = plan.done + out.measured;
        std::fprintf(stderr, "decade-acquire: %s: %zu of %zu settings measured, %zu skipped\n",
                     o.log.c_str(), done, plan.chosen, out.skipped);
        if (out.stopped)
            std::fprintf(stderr, "decade-acquire: stopped; continue with: %s\n",
                         resume_command(args).c_str());
        say_verdict_counts(tolerance, out);
        return 0;
    } catch (const link_fault& f) {
        error = where + ": " + f.what;
    } catch (const meter_fault& f) {
        error = where + ": " + f.what;
    } catch (const write_fault& f) {
        error = f.what;
    } catch (const interrupted_fault&) {
        error = where + ": interrupted (Ctrl-C)";
    }
    std::fprintf(stderr, "decade-acquire: %s\n", error.c_str());
    std::string text, why;
    if (read_whole_file(o.log, 1 << 20, text, why) && !text.empty())
        std::fprintf(stderr,
                     "decade-acquire: %s holds every setting measured whole; continue with: %s\n",
                     o.log.c_str(), resume_command(args).c_str());
    else
        std::fprintf(stderr, "decade-acquire: nothing written to %s; start again with: %s\n",
                     o.log.c_str(), command_given(args).c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::span<char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
    } catch (const failed& f) {
        return f.status;
    }
}
