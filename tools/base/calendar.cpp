#include "base/calendar.h"

#include <algorithm>
#include <cstddef>

#include "base/text_format.h"

namespace {

// The one form a date is written in: 'D' a digit, anything else itself.
constexpr std::string_view date_form = "DDDD-DD-DD";

bool has_date_form(std::string_view text) {
    if (text.size() != date_form.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (date_form[i] == 'D' ? !digit : text[i] != date_form[i])
            return false;
    }
    return true;
}

// The number of the digits text[first, first + count), already checked.
unsigned digits(std::string_view text, std::size_t first, std::size_t count) {
    unsigned value = 0;
    for (const char c : text.substr(first, count))
        value = value * 10 + static_cast<unsigned>(c - '0');
    return value;
}

} // namespace

bool read_date(std::string_view text, std::chrono::year_month_day& date, std::string& fault) {
    if (!has_date_form(text)) {
        fault = "'" + std::string(text) + "' is not a date YYYY-MM-DD";
        return false;
    }
    const std::chrono::year_month_day read{std::chrono::year{static_cast<int>(digits(text, 0, 4))},
                                           std::chrono::month{digits(text, 5, 2)},
                                           std::chrono::day{digits(text, 8, 2)}};
    if (!read.ok()) {
        fault = "date " + std::string(text) + " does not exist";
        return false;
    }
    date = read;
    return true;
}

std::string date_text(const std::chrono::year_month_day& date) {
    return format("%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

std::chrono::days days_between(const std::chrono::year_month_day& from,
                               const std::chrono::year_month_day& to) {
    return std::chrono::sys_days{to} - std::chrono::sys_days{from};
}

double years_between(const std::chrono::year_month_day& from,
                     const std::chrono::year_month_day& to) {
    return static_cast<double>(days_between(from, to).count()) / days_per_year;
}

std::chrono::year_month_day plus_months(const std::chrono::year_month_day& date, int count) {
    const std::chrono::year_month reached =
        std::chrono::year_month{date.year(), date.month()} + std::chrono::months{count};
    const std::chrono::year_month_day_last last{reached.year(),
                                                std::chrono::month_day_last{reached.month()}};
    return {reached.year(), reached.month(), std::min(date.day(), last.day())};
}
