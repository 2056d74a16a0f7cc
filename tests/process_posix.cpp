// Starting the program on POSIX systems, through the cross-build emulator
// where there is one.
#include <csignal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process.h"

namespace {

std::string drain(int fd) {
    std::string text;
    char buf[4096];
    ssize_t got;
    while ((got = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(got));
    return text;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    p.reserve(texts.size() + 1);
    for (std::string& t : texts)
        p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

// A pipe of one page, non-blocking on the program's side, filled so that
// only a write of `tail` bytes still fits: stdio's full-buffer writes all
// fail with EAGAIN, and the short last one goes through.
std::size_t stall(int read_end, int write_end, std::size_t tail) {
#ifdef F_SETPIPE_SZ
    struct stat st {};
    if (fcntl(write_end, F_SETPIPE_SZ, 4096) < 0 || fstat(write_end, &st) != 0)
        return 0;
    const auto capacity = static_cast<std::size_t>(fcntl(write_end, F_GETPIPE_SZ));
    const auto buffer = static_cast<std::size_t>(st.st_blksize);
    if (tail == 0 || tail >= buffer || tail > capacity)
        return 0;
    const std::string fill(capacity - tail, 'x');
    if (write(write_end, fill.data(), fill.size()) != static_cast<ssize_t>(fill.size()))
        return 0;
    fcntl(write_end, F_SETFL, fcntl(write_end, F_GETFL) | O_NONBLOCK);
    (void)read_end;
    return fill.size();
#else
    (void)read_end, (void)write_end, (void)tail;
    return 0;
#endif
}

} // namespace

outcome run(const char* program, sink where, const run_options& options) {
    outcome result;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int file = -1;
    std::size_t filled = 0;
    if (where == sink::pipe || where == sink::broken_pipe || where == sink::stalled_pipe)
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (where == sink::dev_full)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
    if (where == sink::closed)
        posix_spawn_file_actions_addclose(&actions, 1);
    if (where == sink::file_limit) {
        char name[] = "/tmp/decade-report-XXXXXX";
        file = mkstemp(name);
        unlink(name);
        posix_spawn_file_actions_adddup2(&actions, file, 1);
    }
    if (where == sink::stalled_pipe &&
        (filled = stall(out[0], out[1], options.expected_size % 4096)) == 0) {
        posix_spawn_file_actions_destroy(&actions);
        return result;
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!options.input.empty())
        posix_spawn_file_actions_addopen(&actions, 0, options.input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    if (where == sink::broken_pipe)
        close(out[0]); // nobody will ever read

    // SIGPIPE is the default in the program unless the test asks for it to
    // be ignored; an ignored SIGXFSZ is inherited, so that a write past the
    // file size limit fails with EFBIG instead of killing the program.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &pipe_signal);
    posix_spawnattr_setflags(&attr, options.ignore_sigpipe ? 0 : POSIX_SPAWN_SETSIGDEF);
    auto previous_pipe = std::signal(SIGPIPE, options.ignore_sigpipe ? SIG_IGN : SIG_DFL);
    auto previous_xfsz = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous_limit{};
    getrlimit(RLIMIT_FSIZE, &previous_limit);
    if (where == sink::file_limit) {
        rlimit cut = previous_limit;
        cut.rlim_cur = options.expected_size - 10;
        setrlimit(RLIMIT_FSIZE, &cut);
    }

    std::vector<std::string> argv_text;
#ifdef DECADE_EMULATOR
    for (const char* word : {DECADE_EMULATOR})
        argv_text.emplace_back(word);
#endif
    argv_text.push_back(program);
    argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());
    std::vector<std::string> env_text = options.env;
    std::vector<char*> argv = pointers(argv_text), envp = pointers(env_text);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    setrlimit(RLIMIT_FSIZE, &previous_limit);
    std::signal(SIGPIPE, previous_pipe);
    std::signal(SIGXFSZ, previous_xfsz);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    close(err[1]);
    if (spawned != 0)
        return result;

    if (where != sink::broken_pipe && where != sink::stalled_pipe)
        result.out = drain(out[0]);
    result.err = drain(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (where == sink::stalled_pipe) // drained only once the program has ended
        result.out = drain(out[0]).substr(filled);
    if (file >= 0) {
        lseek(file, 0, SEEK_SET);
        result.out = drain(file);
        close(file);
    }
    if (where != sink::broken_pipe)
        close(out[0]);
    close(err[0]);
    result.ran = true;
    if (WIFEXITED(status))
        result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}
