// Test helpers: what a writer puts into a stream, as a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

template <class Writer> std::string capture(Writer&& write) {
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* f = open_memstream(&buffer, &length);
    write(f);
    std::fclose(f);
    std::string text(buffer, length);
    std::free(buffer);
    return text;
}

// Everything a program writes to standard output.
inline std::string output_of(const char* program) {
    std::FILE* p = popen(program, "r");
    std::string text;
    char buf[4096];
    std::size_t got;
    while (p && (got = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, got);
    if (p)
        pclose(p);
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
