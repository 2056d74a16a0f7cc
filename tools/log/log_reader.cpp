#include "log/log_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <system_error>
#include <utility>

namespace {

bool digit(char c) {
    return c >= '0' && c <= '9';
}

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

// Length of the decimal number at the start of `s`: an optional sign,
// digits with an optional point (at least one digit), an optional exponent.
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

namespace {

bool starts_with_word(std::string_view s, std::string_view lowercase_word) {
    if (s.size() < lowercase_word.size())
        return false;
    for (std::size_t i = 0; i < lowercase_word.size(); ++i)
        if ((s[i] | 0x20) != lowercase_word[i])
            return false;
    return true;
}

// Why a field that is not exactly one number is not a reading; `length` is
// that of the number it starts with (0 for none).
log_fault trouble(std::string_view field, std::size_t length) {
    if (length == 0) {
        std::string_view unsigned_part = field.substr(field[0] == '+' || field[0] == '-');
        bool word =
            starts_with_word(unsigned_part, "nan") || starts_with_word(unsigned_part, "inf");
        return word ? log_fault::not_finite : log_fault::not_a_number;
    }
    std::string_view rest = field.substr(length);
    if (rest[0] == ',')
        return log_fault::comma;
    std::string_view next = trimmed(rest);
    if (rest.size() > next.size() && (number_length(next) > 0 || next[0] == '.'))
        return log_fault::two_numbers;
    return log_fault::text_after_number;
}

// At most 40 bytes, cut before a multi-byte character rather than inside
// it, with control bytes written as \xNN.
std::string shown(std::string_view text) {
    constexpr std::size_t limit = 40;
    const bool cut = text.size() > limit;
    if (cut) {
        std::size_t end = limit - 3;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
            --end;
        text = text.substr(0, end);
    }
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
    return cut ? out + "..." : out;
}

// A line without its line end holds a reading, nothing (blank or comment),
// or a fault.
struct line_content {
    std::optional<float> reading;
    std::optional<log_fault> fault;
};

line_content read_line(std::string_view line) {
    if (line.size() > max_line_length)
        return {{}, log_fault::too_long};
    for (char c : line)
        if (is_control(static_cast<unsigned char>(c)))
            return {{}, log_fault::control_character};
    const std::string_view field = trimmed(line);
    if (field.empty() || field[0] == '#')
        return {};
    const std::size_t length = number_length(field);
    if (length != field.size())
        return {{}, trouble(field, length)};
    // from_chars takes no '+'; the syntax is already checked, so it reads
    // the whole field.
    const std::string_view number = field.substr(field[0] == '+');
    float value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range || std::isinf(value))
        return {{}, log_fault::out_of_range};
    if (ec != std::errc{} || end != number.data() + number.size())
        return {{}, log_fault::not_a_number};
    return {value, {}};
}

} // namespace

const char* what(log_fault fault) {
    constexpr const char* text[] = {
        "line too long to be a reading",
        "control character",
        "not a number",
        "not a finite number",
        "comma (a decimal comma or comma-separated fields)",
        "more than one number",
        "text after the number",
        "outside the range of a float",
        "too many readings",
        "no readings",
    };
    return text[static_cast<std::size_t>(fault)];
}

log_reader::log_reader(std::vector<float>& readings, reading_sink each)
    : readings_(readings), each_(std::move(each)) {
    line_.reserve(max_line_length + 2);
}

bool log_reader::feed(std::string_view bytes) {
    constexpr std::size_t held = max_line_length + 2;
    while (!failed_ && !bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        line_.append(bytes.substr(0, std::min(end, held - line_.size())));
        if (line_.size() == held)
            return fail(log_fault::too_long, line_);
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
        end_line();
    }
    return !failed_;
}

bool log_reader::finish() {
    if (!failed_ && !line_.empty())
        end_line();
    if (!failed_ && readings_.empty())
        fail(log_fault::no_readings, "");
    return !failed_;
}

bool log_reader::end_line() {
    std::string_view line = line_;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    line_content content = read_line(line);
    if (content.reading && readings_.size() == max_readings)
        content.fault = log_fault::too_many_readings;
    if (content.fault)
        return fail(*content.fault, line);
    if (!content.reading && !read_any_)
        take_heading(trimmed(line));
    if (content.reading) {
        read_any_ = true;
        readings_.push_back(*content.reading);
        if (each_)
            each_(*content.reading, line_number_);
    }
    line_.clear();
    ++line_number_;
    return true;
}

// A comment before the first reading, the log's heading, without its '#'.
void log_reader::take_heading(std::string_view field) {
    if (field.empty() || heading_.size() == max_heading_lines)
        return;
    heading_.emplace_back(trimmed(field.substr(1)));
    heading_lines_.push_back(line_number_);
}

bool log_reader::fail(log_fault fault, std::string_view line) {
    if (fault == log_fault::no_readings)
        error_ = {fault, 0, ""};
    else
        error_ = {fault, line_number_, shown(trimmed(line))};
    failed_ = true;
    return false;
}

bool read_log(std::string_view text, std::vector<float>& readings, log_error& error) {
    return read_log(text, readings, error, {});
}

bool read_log(std::string_view text, std::vector<float>& readings, log_error& error,
              const reading_sink& each) {
    log_reader reader(readings, each);
    const bool read = reader.feed(text) && reader.finish();
    if (!read)
        error = reader.error();
    return read;
}

std::string diagnostic(std::string_view file, const log_error& error) {
    std::string where(file);
    if (error.line > 0)
        where += ":" + std::to_string(error.line);
    std::string text = where + ": " + what(error.fault);
    if (error.line > 0 && error.fault != log_fault::too_many_readings)
        text += ": " + error.text + "\n" + where +
                ": note: a line holds one reading in ohms, a decimal number such as 10.002078 or "
                "+1.0002078E+01, or is blank, or starts with #";
    else
        text +=
            "\n" + where + ": note: a log holds 1 to " + std::to_string(max_readings) + " readings";
    return text + "\n";
}

std::string reading_text(float reading) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, reading);
    return ec == std::errc{} ? std::string(buf, end) : std::string();
}
