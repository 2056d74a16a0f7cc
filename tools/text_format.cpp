#include "text_format.h"

#include <cstdarg>
#include <cstdio>

std::string format(const char* pattern, ...) {
    char buf[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buf, sizeof buf, pattern, args);
    va_end(args);
    return buf;
}
