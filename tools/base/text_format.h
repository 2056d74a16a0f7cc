// printf into a std::string, for the messages and pages the tools write.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// MinGW's C++ runtime formats as C99 does (%zu), and says so with this.
#ifdef __MINGW_PRINTF_FORMAT
#define TEXT_FORMAT_PRINTF __MINGW_PRINTF_FORMAT
#else
#define TEXT_FORMAT_PRINTF printf
#endif

// The whole text, however long; empty if the pattern cannot be formatted.
std::string format(const char* pattern, ...) __attribute__((format(TEXT_FORMAT_PRINTF, 1, 2)));

// "FILE:LINE: ", or "FILE: " for line 0, a fault of the whole file: where
// every message of the tools starts, as a compiler's does.
std::string file_line(std::string_view file, std::size_t line);
