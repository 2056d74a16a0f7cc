// The built program as a process: its exit status, standard output and
// standard error, with standard output sent where a test needs it.
#pragma once

#include <string>
#include <vector>

enum class sink {
    pipe,        // read by the test
    dev_full,    // every write fails (not on Windows)
    closed,      // no standard output at all
    broken_pipe, // nobody reads (not on Windows)
    file_limit,  // a file whose size limit cuts the last write short (not on Windows)
    stalled_pipe // a full non-blocking pipe that takes only the last write (Linux)
};

struct outcome {
    bool ran = false;   // false when the platform cannot make this sink
    int exit_code = -1; // -1 when killed by a signal
    int signal = 0;
    std::string out; // as the test read it, in binary
    std::string err;
};

struct run_options {
    std::vector<std::string> args;
    std::vector<std::string> env; // the whole environment (ignored on Windows)
    bool ignore_sigpipe = false;
    std::size_t expected_size = 0; // what the program writes, for the last two sinks
    std::string input;             // a file standard input reads; none where empty
};

outcome run(const char* program, sink where, const run_options& options = {});

// Everything a program writes to standard output.
inline std::string output_of(const char* program) {
    return run(program, sink::pipe).out;
}

// What a text written with "\n" line ends arrives as: on Windows each LF
// of a text-mode stream becomes CR LF, so "\r\n" arrives as "\r\r\n".
inline std::string as_written(const std::string& text) {
#ifdef _WIN32
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
#else
    return text;
#endif
}
