// libFuzzer target for the log reader, the project's one input surface.
// Any bytes must give either the readings of every reading line, or one
// error that names a line the text has (or the whole log); never a crash,
// a hang, or a line skipped in silence.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "log/log_reader.h"

namespace {

// Lines as the format defines them, counted without the reader's help:
// every LF ends one, and text after the last LF is one more; a UTF-8
// byte-order mark before the first is none of it.
struct line_census {
    std::size_t lines = 0;
    std::size_t reading_lines = 0;            // neither blank nor comment
    std::vector<std::size_t> readings_before; // reading lines before line i+1
};

line_census census(std::string_view text) {
    line_census c;
    if (text.starts_with("\xef\xbb\xbf")) // a UTF-8 byte-order mark
        text.remove_prefix(3);
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

// The same bytes in pieces, as the importer reads a file, give the same
// readings or the same error.
void require_same_in_pieces(std::string_view text, bool whole_read,
                            const std::vector<float>& whole_readings, const log_error& whole) {
    const std::size_t piece = text.empty() ? 1 : 1 + static_cast<unsigned char>(text[0]) % 16;
    std::vector<float> readings;
    log_reader reader(readings);
    bool read = true;
    for (std::size_t at = 0; read && at < text.size(); at += piece)
        read = reader.feed(text.substr(at, piece));
    read = read && reader.finish();
    require(read == whole_read && readings.size() == whole_readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i)
        require(std::bit_cast<std::uint32_t>(readings[i]) ==
                std::bit_cast<std::uint32_t>(whole_readings[i]));
    if (!read)
        require(reader.error().fault == whole.fault && reader.error().line == whole.line &&
                reader.error().text == whole.text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const line_census c = census(text);
    std::vector<float> readings;
    log_error error;
    const bool read = read_log(text, readings, error);
    require_same_in_pieces(text, read, readings, error);
    if (read) {
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
