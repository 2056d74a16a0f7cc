// The built program as a process: exit status, standard error, signals,
// and indifference to arguments and environment.
#include <clocale>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

enum class sink { pipe, dev_full, closed, broken_pipe };

struct outcome {
    int exit_code = -1; // -1 when killed by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

std::string drain(int fd) {
    std::string text;
    char buf[4096];
    ssize_t got;
    while ((got = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(got));
    close(fd);
    return text;
}

// Runs the program with `args` and `env`, its standard output on `where`.
outcome run(sink where, const std::vector<std::string>& args = {},
            const std::vector<std::string>& env = {}, bool ignore_sigpipe = false) {
    int out[2], err[2];
    EXPECT_EQ(0, pipe(out));
    EXPECT_EQ(0, pipe(err));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (where == sink::pipe || where == sink::broken_pipe)
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (where == sink::dev_full)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
    if (where == sink::closed)
        posix_spawn_file_actions_addclose(&actions, 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    if (where == sink::broken_pipe)
        close(out[0]); // nobody will ever read

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &pipe_signal);
    posix_spawnattr_setflags(&attr, ignore_sigpipe ? 0 : POSIX_SPAWN_SETSIGDEF);
    auto previous = std::signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);

    std::vector<std::string> argv_text = {DECADE_REPORT_BINARY};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text = env;
    for (std::string& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    EXPECT_EQ(0,
              posix_spawn(&pid, DECADE_REPORT_BINARY, &actions, &attr, argv.data(), envp.data()));
    std::signal(SIGPIPE, previous);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    close(err[1]);

    outcome result;
    result.out = where == sink::broken_pipe ? "" : drain(out[0]);
    result.err = drain(err[0]);
    int status = 0;
    EXPECT_EQ(pid, waitpid(pid, &status, 0));
    if (WIFEXITED(status))
        result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

} // namespace

TEST(Process, SuccessfulRunExitsZeroAndWritesNothingToStandardError) {
    outcome r = run(sink::pipe);
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ("", r.err);
    EXPECT_EQ("Size 21640\r\n", r.out.substr(0, 12));
}

TEST(Process, FullDeviceIsReportedOnceAndExitsOne) {
    outcome r = run(sink::dev_full);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ("decade-report: write error: No space left on device\n", r.err);
}

TEST(Process, ClosedStandardOutputIsReportedOnceAndExitsOne) {
    outcome r = run(sink::closed);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ("decade-report: write error: Bad file descriptor\n", r.err);
}

TEST(Process, BrokenPipeEndsTheProcessOnSigpipeLikeAnyFilter) {
    outcome r = run(sink::broken_pipe);
    EXPECT_EQ(SIGPIPE, r.signal);
    EXPECT_EQ("", r.err);
}

TEST(Process, BrokenPipeWithSigpipeIgnoredIsAWriteError) {
    outcome r = run(sink::broken_pipe, {}, {}, true);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("decade-report: write error: Broken pipe\n", r.err);
}

TEST(Process, ArgumentsChangeNothing) {
    const std::string plain = run(sink::pipe).out;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {""}, {"-x", "", "/dev/null"}, {"\xff\x01\x7f", "%s%n%d", "\r\n"}}) {
        outcome r = run(sink::pipe, args);
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
    const std::string plain = run(sink::pipe).out;
    std::string locale = name;
    outcome r = run(sink::pipe, {}, {"LC_ALL=" + locale, "LANG=" + locale, "LC_NUMERIC=" + locale});
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ(plain, r.out);
}
