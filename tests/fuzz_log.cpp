// libFuzzer target for the log reader, the project's one input surface.
// Any bytes must give either the readings of every reading line, or one
// error that names a line the text has (or the whole log); never a crash,
// a hang, or a line skipped in silence.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "bench_log.h"

namespace {

// Lines as the format defines them, counted without the reader's help:
// every LF ends one, and text after the last LF is one more.
struct line_census {
    std::size_t lines = 0;
    std::size_t reading_lines = 0;            // neither blank nor comment
    std::vector<std::size_t> readings_before; // reading lines before line i+1
};

line_census census(std::string_view text) {
    line_census c;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::size_t first = line.find_first_not_of(" \t\r");
        c.readings_before.push_back(c.reading_lines);
        ++c.lines;
        if (first != std::string_view::npos && line[first] != '#')
            ++c.reading_lines;
    }
    return c;
}

void require(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const line_census c = census(text);
    std::vector<float> readings;
    log_error error;
    if (read_log(text, readings, error)) {
        require(readings.size() == c.reading_lines && !readings.empty());
        for (float r : readings)
            require(std::isfinite(r));
        return 0;
    }
    if (error.line == 0) {
        require(error.fault == log_fault::no_readings && c.reading_lines == 0);
    } else {
        // Every line before the faulty one was taken or skipped as it should.
        require(error.line <= c.lines && error.fault != log_fault::no_readings);
        require(readings.size() == c.readings_before[error.line - 1]);
    }
    for (char ch : diagnostic("log", error))
        require(ch == '\n' || ch == '\t' || static_cast<unsigned char>(ch) >= 0x20);
    return 0;
}
