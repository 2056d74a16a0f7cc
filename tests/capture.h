// Test helpers: what a writer puts into a stream, as a string.
#pragma once

#include <cstdio>
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
