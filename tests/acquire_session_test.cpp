// decade-acquire's session with the operator, over a scripted line to the
// meter: what each answer does, what a terminal's typed-ahead input and
// Ctrl-C do at a prompt, and the verdict at the bench, which must give the
// figures the build gives.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "acquire/log_file.h"
#include "acquire/session.h"
#include "acquire/verdict.h"
#include "audit/log_audit.h"
#include "capture.h"
#include "judgement/conformity.h"
#include "log/log_reader.h"
#include "results/results.h"
#include "scripted_link.h"

namespace {

const std::string no_error = "+0,\"No error\"";

// A measurement attempt as the meter answers it: the error queue read
// after configuring, then one answer with every reading (no settling).
void attempt(scripted_link& link, const std::string& readings) {
    link.answer(no_error).answer(readings);
}

// A log of its own for each test, none there to begin with.
std::string fresh_log(const char* name) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / (std::string("acquire_session_") + name);
    std::filesystem::remove(path);
    return path.string();
}

session_plan plan_of(std::vector<setting> settings, const std::string& log) {
    session_plan plan;
    plan.chosen = settings.size();
    plan.settings = std::move(settings);
    plan.readings = 2;
    plan.settle = 0;
    plan.log = log;
    return plan;
}

// The settings a log holds, by their values: "10 Ω 20 Ω".
std::string written_in(const std::string& log) {
    std::string names;
    for (const std::string& line : lines_of(file_text(log.c_str())))
        if (line.starts_with("# the "))
            names += (names.empty() ? "" : " ") + line.substr(6, line.find(" setting") - 6);
    return names;
}

std::size_t prompts_in(const std::string& said) {
    std::size_t count = 0;
    for (std::size_t at = 0; (at = said.find("q to stop: ", at)) != std::string::npos; ++at)
        ++count;
    return count;
}

std::vector<std::string> verdict_lines(const std::string& said) {
    std::vector<std::string> lines;
    for (std::string line : lines_of(said))
        if (line.find("judged deviation") != std::string::npos) {
            line.pop_back();
            lines.push_back(line);
        }
    return lines;
}

tolerance_data tolerance_of_text(const char* text) {
    tolerance_data data;
    tolerance_error error;
    EXPECT_TRUE(read_tolerance(text, data, error)) << error.what;
    return data;
}

} // namespace

// Each answer as the operator gives it to the 10 Ω and 20 Ω settings:
// Enter measures, s skips, q and the input's end stop, k keeps readings
// that did not pass the checks and means nothing before, and anything
// else, a long line whole, is asked again; k cannot keep a reading the log
// cannot hold.  The meter is asked exactly as
// scripted: a setting skipped or stopped at sends it nothing.
TEST(AcquireSession, EachAnswerToAPromptDoesWhatItSays) {
    const std::string ten = "10.0001,10.0002", twenty = "20.0001,20.0002";
    const std::string long_line = std::string(255, 'x') + "k\n";
    const struct {
        std::string input;
        std::vector<std::string> meter; // each attempt's readings
        const char* said;               // asked, written, skipped, how it ended
    } cases[] = {
        {"\n\n", {ten, twenty}, "asked 2, wrote 10 Ω 20 Ω, skipped 0, done"},
        {"s\n\n", {twenty}, "asked 2, wrote 20 Ω, skipped 1, done"},
        {"q\n", {}, "asked 1, wrote , skipped 0, stopped"},
        {"", {}, "asked 1, wrote , skipped 0, stopped"},
        {"\n", {ten}, "asked 2, wrote 10 Ω, skipped 0, stopped"},
        {"x\nk\n s \ns\n", {}, "asked 4, wrote , skipped 2, done"},
        {"\nk\nq\n", {twenty}, "asked 3, wrote 10 Ω, skipped 0, stopped"},
        {"\nk\nq\n", {"1e39,10.0002"}, "asked 3, wrote , skipped 0, stopped"}, // no float holds it
        {"\n\nq\n", {twenty, ten}, "asked 3, wrote 10 Ω, skipped 0, stopped"},
        {"\ns\nq\n", {twenty}, "asked 3, wrote , skipped 1, stopped"},
        {"\n" + long_line + "q\n", {twenty}, "asked 3, wrote , skipped 0, stopped"},
        {"\r\n" + std::string(300, ' ') + "\nq\r\n",
         {ten},
         "asked 3, wrote 10 Ω, skipped 0, stopped"},
    };
    for (const auto& c : cases) {
        const std::string log = fresh_log("answers");
        scripted_link link;
        for (const std::string& readings : c.meter)
            attempt(link, readings);
        const meter_dialect d;
        meter m(link, d, std::chrono::seconds(1));
        const session_plan plan = plan_of({{1, 0}, {2, 0}}, log);
        session_outcome out;
        const std::string said = capture([&](std::FILE* err) {
            std::FILE* in = std::tmpfile();
            ASSERT_NE(nullptr, in);
            std::fputs(c.input.c_str(), in);
            std::rewind(in);
            out = run_session(plan, m, in, err, [] { return false; });
            std::fclose(in);
        });
        const std::string got = "asked " + std::to_string(prompts_in(said)) + ", wrote " +
                                written_in(log) + ", skipped " + std::to_string(out.skipped) +
                                (out.stopped ? ", stopped" : ", done");
        EXPECT_EQ(c.said, got) << said;
        EXPECT_EQ(0u, link.unanswered()) << said;
    }
}

// With the tolerance file, a setting's verdict follows its readings in the
// build's words; one that fails is asked again (Enter measures again, k
// keeps it), and the settings written are counted.  100.0030 Ω is +30.0 ppm
// of 100 Ω; "other = 1 ppm" and readings without scatter make U = 2·1 ppm,
// so the guarded limit is 20 − 2 = 18 ppm: +30.0 and +25.0 fail, +10.0
// (200.0020 Ω) passes.
TEST(AcquireSession, AVerdictThatDoesNotPassIsAskedAgainAndTheSettingsAreCounted) {
    const bench_tolerance t{"box.txt", tolerance_of_text("tolerance = 20 ppm\nother = 1 ppm\n"
                                                         "rule = guarded 1\n")};
    const std::string log = fresh_log("verdict");
    scripted_link link;
    attempt(link, "100.0030,100.0030");
    attempt(link, "100.0025,100.0025");
    attempt(link, "200.0020,200.0020");
    const meter_dialect d;
    meter m(link, d, std::chrono::seconds(1));
    session_plan plan = plan_of({{1, 1}, {2, 1}}, log);
    plan.tolerance = &t;
    session_outcome out;
    const std::string said = capture([&](std::FILE* err) {
        std::FILE* in = std::tmpfile();
        ASSERT_NE(nullptr, in);
        std::fputs("\n\nk\n\n", in);
        std::rewind(in);
        out = run_session(plan, m, in, err, [] { return false; });
        std::fclose(in);
    });
    EXPECT_EQ((std::vector<std::string>{
                  "the 100 Ω setting (position 1, decade 1E2): fail: judged deviation +30.0 ppm, "
                  "acceptance limit ±18.0 ppm, T ±20.0 ppm, U 2.0 ppm",
                  "the 100 Ω setting (position 1, decade 1E2): fail: judged deviation +25.0 ppm, "
                  "acceptance limit ±18.0 ppm, T ±20.0 ppm, U 2.0 ppm",
                  "the 200 Ω setting (position 2, decade 1E2): pass: judged deviation +10.0 ppm, "
                  "acceptance limit ±18.0 ppm, T ±20.0 ppm, U 2.0 ppm",
              }),
              verdict_lines(said))
        << said;
    EXPECT_EQ(4u, prompts_in(said)) << said; // two settings, asked again twice
    EXPECT_NE(std::string::npos,
              said.find("+30.0 ppm, acceptance limit ±18.0 ppm, T ±20.0 ppm, U 2.0 ppm\nthe 100 Ω "
                        "setting (position 1, decade 1E2): clean the contacts, then Enter to "
                        "measure again, k to keep these readings"))
        << said;
    EXPECT_EQ("box.txt: under guarded acceptance (w = 1 U), 1 of 2 settings pass, 1 fail",
              verdict_counts(t, out.judged));
    EXPECT_NE(std::string::npos, file_text(log.c_str()).find("\n100.0025\n100.0025\n"));
    EXPECT_EQ(0u, link.unanswered());
}

// The same readings give the same figures at the bench as at the build:
// the bench judges one setting's readings, the build a whole log of them
// read back, each by its own path, with the box's tolerance file.
TEST(AcquireVerdict, TheBenchAndTheBuildGiveTheSameFigures) {
    const struct {
        setting at;
        std::vector<const char*> readings;
    } cases[] = {
        {{3, 1}, {"300.0061", "300.0066", "300.00587", "300.0071", "300.0049", "300.0063"}},
        {{1, 0}, {"10.00213", "10.00219", "10.00208"}},
        {{7, 3}, {"+7.00012345E+04", "+7.00013012E+04", "+7.00011987E+04", "+7.00012701E+04"}},
        {{2, 4}, {"200039.1", "200041.7"}},
        {{5, 2}, {"5000.6", "5000.6"}},
    };
    std::string error;
    bench_tolerance t;
    ASSERT_TRUE(read_bench_tolerance(test_path("box_tolerance"), {}, t, error)) << error;
    std::string text = "# item: Box 4711\n";
    std::vector<std::vector<meter_reading>> readings;
    for (const auto& c : cases) {
        readings.emplace_back();
        for (const char* r : c.readings)
            readings.back().push_back({r, std::stod(r)});
        text += setting_text(c.at, readings.back());
    }
    std::vector<float> logged;
    log_error fault;
    log_audit audit;
    ASSERT_TRUE(
        read_log(text, logged, fault, [&audit](float r, std::size_t line) { audit.add(r, line); }));
    log_judgement built;
    built.file = t.file;
    built.data = t.data;
    ASSERT_TRUE(
        judge_log(setting_inputs(evaluate(logged, std::move(audit).finish())), built, error))
        << error;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const setting at = cases[i].at;
        const judgement& build = built.settings[at.p][at.d];
        const judgement bench = judge_at_bench(t.data, at, readings[i]);
        EXPECT_EQ(verdict_word(build.outcome), std::string(verdict_word(bench.outcome)))
            << setting_name(at);
        EXPECT_EQ(deviation_ppm(build), deviation_ppm(bench)) << setting_name(at);
        EXPECT_EQ(build.expanded, bench.expanded) << setting_name(at);
        EXPECT_EQ(build.u_a, bench.u_a) << setting_name(at);
        EXPECT_EQ(judgement_note({"", build}), judgement_note({"", bench})) << setting_name(at);
    }
}

#ifndef _WIN32
namespace {

// A pseudo-terminal as the operator's: the session reads its slave side,
// the test types on its master side.
struct terminal {
    int master = -1, slave = -1;
    terminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            if (const char* name = ptsname(master))
                slave = open(name, O_RDWR | O_NOCTTY);
    }
    ~terminal() {
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
    }
    terminal(const terminal&) = delete;
    terminal& operator=(const terminal&) = delete;
    void type(std::string_view text) const {
        EXPECT_EQ(static_cast<ssize_t>(text.size()), write(master, text.data(), text.size()));
    }
    // Until the session could read a whole line of what was typed.
    void until_readable() const {
        pollfd p{slave, POLLIN, 0};
        EXPECT_EQ(1, poll(&p, 1, 2000));
    }
};

// What a session writes to its error stream, read as it comes.
struct said_pipe {
    int read_end = -1;
    std::FILE* err = nullptr;
    std::string said;
    said_pipe() {
        int ends[2];
        if (pipe(ends) == 0) {
            read_end = ends[0];
            err = fdopen(ends[1], "w");
        }
    }
    ~said_pipe() {
        if (err)
            std::fclose(err);
        close(read_end);
    }
    said_pipe(const said_pipe&) = delete;
    said_pipe& operator=(const said_pipe&) = delete;
    // Whether the session has prompted `count` times within two seconds.
    bool prompted(std::size_t count) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (prompts_in(said) < count && std::chrono::steady_clock::now() < end) {
            pollfd p{read_end, POLLIN, 0};
            if (poll(&p, 1, 50) == 1) {
                char buf[4096];
                const ssize_t got = read(read_end, buf, sizeof buf);
                if (got <= 0)
                    break;
                said.append(buf, static_cast<std::size_t>(got));
            }
        }
        return prompts_in(said) >= count;
    }
};

} // namespace

// At a terminal, an Enter that bounced while the 10 Ω setting was measured
// is no answer to the 20 Ω setting's prompt: only what is typed after the
// prompt is (here q).
TEST(AcquireSessionTerminal, WhatWasTypedBeforeAPromptIsDiscarded) {
    const terminal tty;
    ASSERT_GE(tty.slave, 0);
    said_pipe out;
    ASSERT_NE(nullptr, out.err);
    scripted_link link;
    link.answer(no_error).answer_by([&tty] {
        tty.type("\n"); // the bounce, while the meter reads
        tty.until_readable();
        return std::string("10.0001,10.0002");
    });
    const meter_dialect d;
    meter m(link, d, std::chrono::seconds(1));
    const std::string log = fresh_log("typed_ahead");
    const session_plan plan = plan_of({{1, 0}, {2, 0}}, log);
    std::FILE* in = fdopen(dup(tty.slave), "r");
    ASSERT_NE(nullptr, in);
    auto session = std::async(std::launch::async, [&]() -> std::string {
        try {
            const session_outcome o = run_session(plan, m, in, out.err, [] { return false; });
            std::fflush(out.err);
            return "measured " + std::to_string(o.measured) + (o.stopped ? ", stopped" : "");
        } catch (const link_fault& f) {
            return "meter asked again: " + f.what;
        }
    });
    ASSERT_TRUE(out.prompted(1)) << out.said;
    tty.type("\n");
    const bool second = out.prompted(2);
    tty.type("q\n");
    EXPECT_TRUE(second) << out.said;
    EXPECT_EQ("measured 1, stopped", session.get()) << out.said;
    std::fclose(in);
    EXPECT_EQ("10 Ω", written_in(log));
}

// Ctrl-C at a prompt ends the session within a second, whether it came
// before the prompt (while the last setting was written) or while the
// prompt waits, and whether or not its signal interrupts the read.
TEST(AcquireSessionTerminal, CtrlCAtAPromptEndsTheSessionWithinASecond) {
    for (const bool before : {true, false}) {
        const terminal tty;
        ASSERT_GE(tty.slave, 0);
        said_pipe out;
        ASSERT_NE(nullptr, out.err);
        scripted_link link;
        const meter_dialect d;
        meter m(link, d, std::chrono::seconds(1));
        const session_plan plan = plan_of({{1, 0}}, fresh_log("ctrl_c"));
        std::FILE* in = fdopen(dup(tty.slave), "r");
        ASSERT_NE(nullptr, in);
        std::atomic<bool> pressed{before};
        auto session = std::async(std::launch::async, [&]() -> std::string {
            try {
                run_session(plan, m, in, out.err, [&pressed] { return pressed.load(); });
                return "not interrupted";
            } catch (const interrupted_fault&) {
                return "interrupted";
            }
        });
        ASSERT_TRUE(out.prompted(1)) << out.said;
        pressed = true;
        const bool ended = session.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
        if (!ended)
            tty.type("q\n"); // lets a session that missed it end
        EXPECT_TRUE(ended) << (before ? "pressed before the prompt" : "pressed at the prompt");
        EXPECT_EQ("interrupted", session.get());
        std::fclose(in);
    }
}
#endif
