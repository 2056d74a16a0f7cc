#include "log/text_syntax.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

using namespace std::literals;

namespace {

bool digit(char c) {
    return c >= '0' && c <= '9';
}

template <typename T> std::string shortest(T value) {
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc{} ? std::string(buf, end) : std::string();
}

// The pattern of NUL bytes ('0') and others ('x') that a file's first four
// bytes show when its first characters are ASCII.
bool shows_nul_pattern(std::string_view first, std::string_view pattern) {
    if (first.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if ((first[i] == '\0') != (pattern[i] == '0'))
            return false;
    return true;
}

// The encodings a file saved as "Unicode" may have, with their byte-order
// marks and NUL patterns.  UTF-32 comes first: its little-endian mark
// starts with that of UTF-16.
struct encoding {
    const char* name;
    std::string_view mark;
    std::string_view nul_pattern;
};
constexpr encoding encodings[] = {
    {"UTF-32 (little-endian)", "\xff\xfe\0\0"sv, "x000"},
    {"UTF-32 (big-endian)", "\0\0\xfe\xff"sv, "000x"},
    {"UTF-16 (little-endian)", "\xff\xfe"sv, "x0x0"},
    {"UTF-16 (big-endian)", "\xfe\xff"sv, "0x0x"},
};
constexpr std::string_view utf8_mark = "\xef\xbb\xbf";

} // namespace

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool is_control(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7f;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::size_t number_length(std::string_view s) {
    std::size_t i = 0, digits = 0;
    auto skip_digits = [&] {
        for (; i < s.size() && digit(s[i]); ++i)
            ++digits;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    skip_digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        skip_digits();
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        std::size_t k = j;
        while (k < s.size() && digit(s[k]))
            ++k;
        if (k > j)
            i = k;
    }
    return i;
}

bool names_non_finite(std::string_view word) {
    word = word.substr(!word.empty() && (word[0] == '+' || word[0] == '-'));
    std::string lower(word.substr(0, 3));
    for (char& c : lower)
        c = static_cast<char>(c | 0x20);
    return lower == "inf" || lower == "nan";
}

std::string shortest_text(float value) {
    return shortest(value);
}

std::string shortest_text(double value) {
    return shortest(value);
}

std::string visible(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (!is_control(static_cast<unsigned char>(c))) {
            out += c;
            continue;
        }
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
        out += hex;
    }
    return out;
}

shortened shorten(std::string_view text) {
    constexpr std::size_t limit = 40;
    if (text.size() <= limit)
        return {text, ""};
    std::size_t end = limit - 3;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
        --end;
    return {text.substr(0, end), "..."};
}

text_start start_of_text(std::string_view first) {
    if (first.starts_with(utf8_mark))
        return {utf8_mark.size(), nullptr};
    for (const encoding& e : encodings)
        if (first.starts_with(e.mark) || shows_nul_pattern(first, e.nul_pattern))
            return {0, e.name};
    return {};
}

std::string encoding_fault(std::string_view encoding) {
    return "the file is " + std::string(encoding) + "; save it as UTF-8";
}

namespace {

// One line of a key file: nothing, a comment, or a key and its value.
void read_key_line(std::string_view line, std::size_t number,
                   const std::function<void(const key_value_line&)>& each) {
    if (std::any_of(line.begin(), line.end(),
                    [](char c) { return is_control(static_cast<unsigned char>(c)); }))
        throw key_fault{"control character"};
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty())
        return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        throw key_fault{"no '='; a line is 'key = value', blank, or a comment"};
    const std::string_view key = trimmed(line.substr(0, equals));
    if (key.empty())
        throw key_fault{"no key before '='"};
    each({number, key, trimmed(line.substr(equals + 1))});
}

} // namespace

bool read_key_lines(std::string_view text, const std::function<void(const key_value_line&)>& each,
                    key_file_error& error) {
    const text_start begins = start_of_text(text.substr(0, encoding_bytes));
    if (begins.other) {
        error = {1, encoding_fault(begins.other)};
        return false;
    }
    text.remove_prefix(begins.mark);
    std::size_t number = 0;
    try {
        while (!text.empty()) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            std::string_view line = text.substr(0, end);
            text.remove_prefix(std::min(end + 1, text.size()));
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            read_key_line(line, ++number, each);
        }
    } catch (const key_fault& f) {
        error = {number, f.what};
        return false;
    }
    return true;
}
