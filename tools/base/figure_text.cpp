#include "base/figure_text.h"

#include <charconv>
#include <cmath>

#include "base/text_format.h"

std::string figure_text(const char* pattern, double value) {
    return std::isfinite(value) ? format(pattern, value) : std::string();
}

std::string double_text(double value) {
    if (!std::isfinite(value))
        return {};
    char buf[400]; // the longest fixed form of a double
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    return {buf, ec == std::errc{} ? end : buf};
}

std::string line_span(std::size_t first, std::size_t last) {
    return first == last ? format("%zu", first) : format("%zu-%zu", first, last);
}

std::string lines_text(std::size_t first, std::size_t last) {
    return (first == last ? "line " : "lines ") + line_span(first, last);
}

std::string readings_text(std::size_t count) {
    return count == 1 ? "1 reading" : format("%zu readings", count);
}
