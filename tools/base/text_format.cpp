#include "base/text_format.h"

#include <cstdarg>
#include <cstdio>

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    // The first pass only measures; the second writes into a string of that
    // size, its terminating zero into the byte std::string keeps past size().
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    }
    va_end(again);
    return text;
}

std::string file_line(std::string_view file, std::size_t line) {
    return std::string(file) + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": ";
}
