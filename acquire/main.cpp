// decade-acquire: takes the readings of a five-decade box from a meter,
// setting by setting, with the operator at the bench, into a log that
// decade-report's build compiles in.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "acquire/link_asio.h"
#include "acquire/log_file.h"
#include "acquire/log_lock.h"
#include "acquire/options.h"
#include "acquire/resume.h"
#include "acquire/session.h"
#include "base/calendar.h"
#include "base/text_format.h"
#include "base/whole_file.h"
#include "certificate/lab_file.h"

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

std::chrono::year_month_day today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    using namespace std::chrono;
    return year_month_day{year{local.tm_year + 1900},
                          month{static_cast<unsigned>(local.tm_mon + 1)},
                          day{static_cast<unsigned>(local.tm_mday)}};
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

meter_dialect dialect_of(const acquire_options& o) {
    meter_dialect dialect;
    if (o.meter_file.empty())
        return dialect;
    std::string text, why;
    key_file_error fault;
    if (!read_whole_file(o.meter_file, 1 << 20, text, why))
        stop(o.meter_file + ": cannot read the meter file: " + why);
    if (!read_meter_file(text, dialect, fault))
        stop(file_line(o.meter_file, fault.line) + fault.what);
    return dialect;
}

// The log, locked for this run before it is read, and as it is then.
std::optional<log_so_far> locked_log(const acquire_options& o, log_lock& lock) {
    std::string why;
    if (!lock.take(o.log, why))
        stop(o.log + ": " + why);
    try {
        return earlier_log(o.log, o.resume);
    } catch (const resume_fault& f) {
        stop(file_line(o.log, f.line) + f.what);
    }
}

// The heading this run gives: the fields given, the date today and the
// meter's answer as the reference unless given, and the answer made to
// fit a line of the log.
run_heading heading_of(const acquire_options& o, const std::string& answer) {
    run_heading now{{o.fields, fitted_value(record_key::reference, answer)}, false, o.meter};
    std::vector<record_field>& fields = now.heading.fields;
    auto add = [&](record_key key, const std::string& value) {
        const bool given = std::any_of(fields.begin(), fields.end(),
                                       [&](const record_field& f) { return f.key == key; });
        if (given && key == record_key::date)
            now.date_given = true;
        if (!value.empty() && !given)
            fields.push_back({key, value, 0});
    };
    add(record_key::date, date_text(today()));
    add(record_key::reference, now.heading.identity);
    std::sort(fields.begin(), fields.end(),
              [](const record_field& a, const record_field& b) { return a.key < b.key; });
    return now;
}

// A cut part set aside, a cut heading completed: the log replaced whole by
// its new text, never missing nor half-written on the way, its new file
// locked before it takes the log's place.
void replace_log(const std::string& log, const std::string& text, log_lock& lock,
                 const log_so_far& so_far) {
    log_replacement r = replacement_of(log, text);
    std::string why;
    if (!lock.take(r.beside, why))
        stop(log + ": cannot set the unfinished part aside: " + why);
    lock.ready_for_rename();
    if (!replace_synced(r))
        stop(log + ": cannot set the unfinished part aside: " + std::strerror(errno));
    if (so_far.set_aside > 0)
        std::fprintf(stderr,
                     "decade-acquire: %s: %zu lines of an unfinished %s set aside as comments\n",
                     log.c_str(), so_far.set_aside, so_far.heading_cut ? "heading" : "setting");
}

// The log made ready for this run's settings: begun, or continued once it
// is known to be this calibration's.
void ready_log(const acquire_options& o, const std::optional<log_so_far>& so_far,
               const run_heading& run, log_lock& lock) {
    if (!so_far) {
        if (!append_synced(o.log, heading_text(run.heading)))
            stop(o.log + ": cannot write the log: " + std::strerror(errno));
        return;
    }
    try {
        if (const std::optional<std::string> text = continued_text(*so_far, run))
            replace_log(o.log, *text, lock, *so_far);
    } catch (const resume_fault& f) {
        stop(file_line(o.log, f.line) + f.what);
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

// The laboratory's file, where one is given: read before the meter is, as
// a fault in it ends the run.
std::optional<lab_data> lab_given(const acquire_options& o) {
    if (o.lab.empty())
        return std::nullopt;
    std::string text, why;
    if (!read_whole_file(o.lab, 1 << 20, text, why))
        stop(o.lab + ": cannot read the laboratory's file: " + why);
    lab_data lab;
    lab_error fault;
    if (!read_lab(text, lab, fault))
        stop(lab_diagnostic(o.lab, fault));
    return lab;
}

// The meter as the laboratory's file knows it, before anything is written:
// one whose own calibration has run out measures nothing today, and one
// the file does not know would make a log no certificate can be issued
// from.
void check_meter_due(const std::optional<lab_data>& lab, const std::string& identity,
                     const acquire_options& o) {
    if (!lab)
        return;
    const std::chrono::year_month_day day = today();
    const reference_lookup found = look_up_reference(*lab, identity, day);
    const std::string why = reference_fault(found, identity, day);
    if (found.state == reference_state::overdue)
        stop("meter at " + o.meter + ": " + why + ": it measures nothing until it is calibrated");
    if (found.state == reference_state::unknown)
        std::fprintf(stderr, "decade-acquire: warning: %s: %s\n", o.lab.c_str(), why.c_str());
}

// The settings chosen that the log does not hold whole yet.
session_plan plan_of(const acquire_options& o, const std::optional<log_so_far>& so_far,
                     const std::optional<bench_tolerance>& tolerance) {
    session_plan plan;
    plan.tolerance = tolerance ? &*tolerance : nullptr;
    plan.log = o.log;
    plan.readings = o.readings;
    plan.settle = o.settle;
    plan.chosen = o.settings.size();
    plan.readings_done = so_far ? so_far->readings : 0;
    for (const setting& at : o.settings)
        if (!so_far ||
            std::find(so_far->whole.begin(), so_far->whole.end(), at) == so_far->whole.end())
            plan.settings.push_back(at);
        else
            ++plan.done;
    return plan;
}

// The transcript, where one is given.  Never the log itself, which its
// lines would make a log the build refuses.
std::FILE* open_transcript(const acquire_options& o) {
    std::error_code ec;
    if (!o.transcript.empty() && std::filesystem::equivalent(o.transcript, o.log, ec))
        stop(o.transcript + ": the transcript would be written into the log; name another file", 2);
    std::FILE* transcript = nullptr;
    if (!o.transcript.empty() && !(transcript = std::fopen(o.transcript.c_str(), "ab")))
        stop(o.transcript + ": cannot write the transcript: " + std::strerror(errno));
    return transcript;
}

// What a run says at its end, by q or the input's end, or when all is done.
int finish(const acquire_options& o, std::span<char* const> args, const session_plan& plan,
           const session_outcome& out) {
    std::fprintf(stderr, "decade-acquire: %s: %zu of %zu settings measured, %zu skipped\n",
                 o.log.c_str(), plan.done + out.measured, plan.chosen, out.skipped);
    if (out.stopped)
        std::fprintf(stderr, "decade-acquire: stopped; continue with: %s\n",
                     resume_command(args).c_str());
    if (plan.tolerance) // the verdicts of the settings this run wrote, last
        std::fprintf(stderr, "decade-acquire: %s\n",
                     verdict_counts(*plan.tolerance, out.judged).c_str());
    return 0;
}

// A fault's message, then the command that continues: with --resume once
// anything is in the log, this run's heading or an earlier run's.
int fault_end(const acquire_options& o, std::span<char* const> args, const std::string& error,
              bool written) {
    std::fprintf(stderr, "decade-acquire: %s\n", error.c_str());
    if (written)
        std::fprintf(stderr,
                     "decade-acquire: %s holds every setting measured whole; continue with: %s\n",
                     o.log.c_str(), resume_command(args).c_str());
    else
        std::fprintf(stderr, "decade-acquire: nothing written to %s; start again with: %s\n",
                     o.log.c_str(), command_given(args).c_str());
    return 1;
}

// The meter asked who it is, the log made ready, and the session run.
int acquire(const acquire_options& o, std::span<char* const> args, const meter_dialect& dialect,
            const std::optional<bench_tolerance>& tolerance, const std::optional<lab_data>& lab) {
    log_lock lock;
    const std::optional<log_so_far> so_far = locked_log(o, lock);
    catch_interrupt();
    const std::unique_ptr<FILE, int (*)(FILE*)> transcript(
        open_transcript(o), [](FILE* f) { return f ? std::fclose(f) : 0; });
    const auto timeout = std::chrono::milliseconds(static_cast<long long>(o.timeout * 1000));
    const std::string where = "meter at " + o.meter;
    bool written = so_far.has_value();
    std::string error;
    try {
        auto asked = [] { return interrupted.load(); };
        std::unique_ptr<meter_link> link = open_link(o.meter, default_port, o.baud, timeout, asked);
        std::optional<transcribed_link> noted;
        if (transcript) {
            noted.emplace(*link, transcript.get());
            noted->note("decade-acquire: " + where + ", log " + o.log);
        }
        meter m(noted ? static_cast<meter_link&>(*noted) : *link, dialect, timeout);
        const run_heading heading = heading_of(o, m.identify());
        check_meter_due(lab, heading.heading.identity, o);
        ready_log(o, so_far, heading, lock);
        written = true;
        const session_plan plan = plan_of(o, so_far, tolerance);
        return finish(o, args, plan, run_session(plan, m, stdin, stderr, asked));
    } catch (const link_fault& f) {
        error = where + ": " + f.what;
    } catch (const meter_fault& f) {
        error = where + ": " + f.what;
    } catch (const write_fault& f) {
        error = f.what;
    } catch (const interrupted_fault&) {
        error = where + ": interrupted (Ctrl-C)";
    }
    return fault_end(o, args, error, written);
}

int run(std::span<char* const> args) {
    acquire_options o;
    std::string error;
    if (!read_acquire_options(args, o, error)) {
        std::fprintf(stderr, "decade-acquire: %s\n%s", error.c_str(), acquire_usage);
        return 2;
    }
    const meter_dialect dialect = dialect_of(o);
    return acquire(o, args, dialect, tolerance_given(o), lab_given(o));
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::span<char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
    } catch (const failed& f) {
        return f.status;
    }
}
