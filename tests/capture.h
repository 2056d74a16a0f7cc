// Test helpers: what a writer puts into a stream, as a string; the bytes
// and lines of a file; the paths of the files and programs the tests take.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// Through a temporary file in binary mode, so that the bytes are exactly
// those written on every platform.
inline std::string rest_of(std::FILE* f) {
    std::string text;
    char buf[4096];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, got);
    return text;
}

template <class Writer> std::string capture(Writer&& write) {
    std::FILE* f = std::tmpfile();
    if (!f)
        return "(no temporary file)";
    write(f);
    std::fflush(f);
    std::rewind(f);
    std::string text = rest_of(f);
    std::fclose(f);
    return text;
}

// The bytes of a file; empty when it cannot be read.
inline std::string file_text(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return "";
    std::string text = rest_of(f);
    std::fclose(f);
    return text;
}

// Splits text into lines, each keeping its "\r\n".
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

// The paths the build gives the tests: the file DECADE_TEST_PATHS names,
// one `name=path` a line (written by tests/CMakeLists.txt, which ctest
// names).  They are read when the tests run, never compiled in, so that a
// build folder switched to another log, which renames the program the
// tests run, compiles no test again.
inline std::map<std::string, std::string> read_test_paths() {
    std::map<std::string, std::string> paths;
    const char* list = std::getenv("DECADE_TEST_PATHS");
    for (std::string line : lines_of(list ? file_text(list) : "")) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            paths[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return paths;
}

// The path named `name`.  Without it, as in a test program run by hand,
// the tests stop at once and say how to give it.
inline const char* test_path(const char* name) {
    static const std::map<std::string, std::string> paths = read_test_paths();
    const auto found = paths.find(name);
    if (found == paths.end()) {
        std::fprintf(stderr,
                     "no path '%s' for the tests: ctest gives them their paths "
                     "(ctest --test-dir build); by hand, name the build's list of them, as in "
                     "DECADE_TEST_PATHS=build/tests/test-paths.txt build/tests/decade_tests\n",
                     name);
        std::exit(2);
    }
    return found->second.c_str();
}

inline const char* report_program() {
    return test_path("report");
}
inline const char* import_program() {
    return test_path("import");
}
inline const char* own_log_program() {
    return test_path("own_log_report");
}
inline const char* shipped_log_path() {
    return test_path("shipped_log");
}
inline const char* reference_report_path() {
    return test_path("reference_report");
}
inline const char* box_tolerance_path() {
    return test_path("box_tolerance");
}
