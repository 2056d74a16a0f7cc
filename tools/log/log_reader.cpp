#include "log/log_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <system_error>
#include <utility>

#include "base/text_format.h"

namespace {

// Why a field that is not exactly one number is not a reading; `length` is
// that of the number it starts with (0 for none).
log_fault trouble(std::string_view field, std::size_t length) {
    if (length == 0)
        return names_non_finite(field) ? log_fault::not_finite : log_fault::not_a_number;
    std::string_view rest = field.substr(length);
    if (rest[0] == ',')
        return log_fault::comma;
    std::string_view next = trimmed(rest);
    if (rest.size() > next.size() && (number_length(next) > 0 || next[0] == '.'))
        return log_fault::two_numbers;
    return log_fault::text_after_number;
}

// The line as a message quotes it (text_syntax.h), with control bytes
// written as \xNN.
std::string shown(std::string_view text) {
    const shortened part = shorten(text);
    return visible(part.kept) + part.more;
}

} // namespace

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

const char* what(log_fault fault) {
    constexpr const char* text[] = {
        "not UTF-8 but UTF-16 or UTF-32",
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

log_reader::log_reader(std::vector<float>& readings, reading_sink each, heading_sink each_heading)
    : readings_(readings), each_(std::move(each)), each_heading_(std::move(each_heading)) {
    line_.reserve(max_line_length + 2);
}

bool log_reader::feed(std::string_view bytes) {
    if (!started_) {
        const std::size_t wanted = std::min(encoding_bytes - start_.size(), bytes.size());
        start_.append(bytes.substr(0, wanted));
        bytes.remove_prefix(wanted);
        if (start_.size() < encoding_bytes || !start())
            return !failed_;
    }
    return take_lines(bytes);
}

bool log_reader::finish() {
    if (!started_)
        start();
    if (!failed_ && !line_.empty())
        end_line();
    if (!failed_ && readings_.empty())
        fail(log_fault::no_readings, "");
    return !failed_;
}

// The first bytes, once they tell the encoding (or the log ends before):
// a UTF-8 byte-order mark is skipped, UTF-16 and UTF-32 are refused.
bool log_reader::start() {
    started_ = true;
    const text_start begins = start_of_text(start_);
    if (begins.other)
        return fail(log_fault::other_encoding, begins.other);
    return take_lines(std::string_view(start_).substr(begins.mark));
}

bool log_reader::take_lines(std::string_view bytes) {
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
    if (field.empty())
        return;
    const std::string_view text = trimmed(field.substr(1));
    if (each_heading_)
        each_heading_(line_number_, text);
    if (heading_.size() == max_heading_lines)
        return;
    heading_.emplace_back(text);
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
    const std::string where = file_line(file, error.line);
    if (error.fault == log_fault::other_encoding)
        return where + encoding_fault(error.text) + "\n";
    std::string text = where + what(error.fault);
    if (error.line > 0 && error.fault != log_fault::too_many_readings)
        text += ": " + error.text + "\n" + where +
                "note: a line holds one reading in ohms, a decimal number such as 10.002078 or "
                "+1.0002078E+01, or is blank, or starts with #";
    else
        text +=
            "\n" + where + "note: a log holds 1 to " + std::to_string(max_readings) + " readings";
    return text + "\n";
}

std::string reading_text(float reading) {
    return shortest_text(reading);
}
