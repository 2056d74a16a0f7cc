// The built program as a process: exit status, standard error, signals,
// and indifference to arguments and environment.
#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"
#include "process.h"

namespace {

outcome run_report(sink where, const run_options& options = {}) {
    return run(report_program(), where, options);
}

std::string reference_report() {
    return as_written(file_text(reference_report_path())); // the size line included
}

const std::string write_error = "decade-report: write error: ";

#ifdef _WIN32
#define POSIX_ONLY() GTEST_SKIP() << "no such device, pipe signal or file size limit on Windows"
constexpr int pipe_signal = 0;
#else
#define POSIX_ONLY() (void)0
constexpr int pipe_signal = SIGPIPE;
#endif

} // namespace

TEST(Process, SuccessfulRunExitsZeroAndWritesNothingToStandardError) {
    outcome r = run_report(sink::pipe);
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(as_written("Size 21640\r\n"), r.out.substr(0, as_written("Size 21640\r\n").size()));
}

TEST(Process, FullDeviceIsReportedOnceAndExitsOne) {
    POSIX_ONLY();
    outcome r = run_report(sink::dev_full);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ(write_error + "No space left on device\n", r.err);
}

TEST(Process, ClosedStandardOutputIsReportedOnceAndExitsOne) {
    outcome r = run_report(sink::closed);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ(as_written(write_error + "Bad file descriptor\n"), r.err);
}

TEST(Process, BrokenPipeEndsTheProcessOnSigpipeLikeAnyFilter) {
    POSIX_ONLY();
    outcome r = run_report(sink::broken_pipe);
    EXPECT_EQ(pipe_signal, r.signal);
    EXPECT_EQ("", r.err);
}

TEST(Process, BrokenPipeWithSigpipeIgnoredIsAWriteError) {
    POSIX_ONLY();
    run_options options;
    options.ignore_sigpipe = true;
    outcome r = run_report(sink::broken_pipe, options);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(write_error + "Broken pipe\n", r.err);
}

// Every write but the final flush goes through: the flush must be checked.
TEST(Process, FailedLastWriteIsAWriteError) {
    POSIX_ONLY();
    run_options options;
    options.expected_size = reference_report().size();
    outcome r = run_report(sink::file_limit, options);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(write_error + "File too large\n", r.err);
    EXPECT_EQ(reference_report().substr(0, options.expected_size - 10), r.out);
}

// One write fails and the later ones succeed, the final flush included:
// only the stream's error flag still knows.
TEST(Process, FailedMiddleWriteIsAWriteErrorThoughLaterWritesSucceed) {
    run_options options;
    options.expected_size = reference_report().size();
    outcome r = run_report(sink::stalled_pipe, options);
    if (!r.ran)
        GTEST_SKIP() << "no pipe of adjustable size here";
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(write_error + "Resource temporarily unavailable\n", r.err);
    // What went through is the program's last write: the end of the report.
    ASSERT_FALSE(r.out.empty());
    EXPECT_TRUE(reference_report().ends_with(r.out)) << r.out;
}

TEST(Process, ArgumentsChangeNothing) {
    const std::string plain = run_report(sink::pipe).out;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {""}, {"-x", "", "/dev/null"}, {"\xff\x01\x7f", "%s%n%d", "\r\n"}}) {
        run_options options;
        options.args = args;
        outcome r = run_report(sink::pipe, options);
        EXPECT_EQ(0, r.exit_code);
        EXPECT_EQ("", r.err);
        EXPECT_EQ(plain, r.out);
    }
}

TEST(Process, LocaleWithDecimalCommaChangesNothing) {
    const char* name = "de_DE.UTF-8";
    bool available = std::setlocale(LC_NUMERIC, name) != nullptr;
    std::setlocale(LC_NUMERIC, "C");
    if (!available)
        GTEST_SKIP() << name << " is not installed here";
    const std::string plain = run_report(sink::pipe).out;
    std::string locale = name;
    run_options options;
    options.env = {"LC_ALL=" + locale, "LANG=" + locale, "LC_NUMERIC=" + locale};
    outcome r = run_report(sink::pipe, options);
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ(plain, r.out);
}
