#include "acquire/meter.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "log/text_syntax.h"

namespace {

// A meter whose queue never empties is not answering the question.
constexpr int max_errors_asked = 20;

// A reading as the log will read it: a decimal number and nothing else.
bool read_value(std::string_view text, double& value) {
    if (text.empty() || number_length(text) != text.size())
        return false;
    const std::string_view digits = text.substr(text[0] == '+');
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return ec == std::errc{} && end == digits.data() + digits.size() && std::isfinite(value);
}

// A CR or a NUL in a message would hide what the meter said: a NUL cuts
// the message short, a CR makes a reading of what is none.
std::string in_quotes(std::string_view text) {
    const shortened part = shorten(text);
    return "'" + visible(part.kept) + part.more + "'";
}

} // namespace

void meter::send(const std::string& command) {
    if (command.empty())
        return;
    if (!dialect_.prefix.empty())
        link_.send(dialect_.prefix + dialect_.line_end);
    link_.send(command + dialect_.line_end);
}

std::string meter::ask(const std::string& command) {
    send(command);
    return std::string(trimmed(link_.receive(dialect_.line_end, timeout_)));
}

std::string meter::identify() {
    send(dialect_.clear);
    return dialect_.identify.empty() ? std::string() : ask(dialect_.identify);
}

void meter::check_errors(const std::string& after) {
    if (dialect_.error.empty())
        return;
    std::string errors;
    for (int asked = 0; asked < max_errors_asked; ++asked) {
        const std::string answer = ask(dialect_.error);
        if (answer.starts_with(dialect_.no_error))
            break;
        errors += (errors.empty() ? "" : ", ") + in_quotes(answer);
    }
    if (!errors.empty())
        throw meter_fault{"its error queue holds " + errors + " after " + after};
}

void meter::configure(double range, double nominal) {
    const std::string configure = with_figures(dialect_.configure, range, nominal);
    send(configure);
    send(dialect_.integration);
    send(dialect_.offset);
    check_errors(in_quotes(configure));
}

std::vector<meter_reading> meter::read(std::size_t count) {
    std::vector<meter_reading> readings;
    while (readings.size() < count) {
        const std::string answer = ask(dialect_.read);
        std::string_view rest = answer;
        do {
            const std::size_t comma = rest.find(',');
            const std::string_view field = trimmed(rest.substr(0, comma));
            meter_reading r{std::string(field), 0};
            if (!read_value(field, r.value))
                throw meter_fault{"its answer " + in_quotes(answer) + " to " +
                                  in_quotes(dialect_.read) + " is not a reading"};
            readings.push_back(std::move(r));
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        } while (!rest.empty());
    }
    readings.resize(count);
    return readings;
}
