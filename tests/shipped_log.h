// Test helpers: the shipped log with some of its lines changed.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "capture.h"

// A run of the shipped log: its readings on lines first to last (1-based),
// straight after the comment line that names it.
struct shipped_run {
    std::size_t first, last;
    // The line of reading i of the run, from 0.
    constexpr std::size_t line(std::size_t i) const { return first + i; }
};

// The runs the tests change, named by the value of their comment line, and
// the log's last line, after which tests append readings.  The test
// ShippedLog.NamedRunsAreWhereTheLogSays holds them to the log.
inline constexpr shipped_run kohm20{191, 4880};
inline constexpr shipped_run kohm30{4882, 4897};
inline constexpr shipped_run kohm40{4899, 4914};
inline constexpr shipped_run kohm60{4933, 4948};
inline constexpr shipped_run ohm300{5188, 5203};
inline constexpr shipped_run ohm700{5256, 5271};
inline constexpr shipped_run ohm1000{5307, 5322};
inline constexpr shipped_run ohm20{5324, 5339};
inline constexpr shipped_run ohm50{5375, 5390};
inline constexpr std::size_t shipped_last_line = 5458;

// The shipped log with its lines first to last (1-based; none when last <
// first) replaced by `lines`.
inline std::string shipped_with(std::size_t first, std::size_t last,
                                const std::vector<std::string>& lines) {
    const std::string text = file_text(shipped_log_path());
    std::string out;
    std::size_t line = 1, at = 0;
    auto insert = [&] {
        for (const std::string& l : lines)
            out += l + "\n";
    };
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at) + 1;
        if (line == first)
            insert();
        if (line < first || line > last)
            out += text.substr(at, end - at);
        at = end;
        ++line;
    }
    if (line == first)
        insert();
    return out;
}

// The shipped log with single lines replaced.
inline std::string shipped_replacing(const std::map<std::size_t, std::string>& lines) {
    const std::string text = file_text(shipped_log_path());
    std::string out;
    std::size_t line = 1;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1, ++line) {
        end = text.find('\n', at);
        const auto replaced = lines.find(line);
        out += (replaced == lines.end() ? text.substr(at, end - at) : replaced->second) + "\n";
    }
    return out;
}

// The readings of lines first-last of the shipped log.
inline std::vector<double> shipped_lines(std::size_t first, std::size_t last) {
    const std::string text = file_text(shipped_log_path());
    std::vector<double> values;
    std::size_t line = 1;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1, ++line) {
        end = text.find('\n', at);
        if (line >= first && line <= last)
            values.push_back(std::stod(text.substr(at, end - at)));
    }
    return values;
}
