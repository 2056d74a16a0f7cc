#include "certificate/rounding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace {

// A decimal magnitude: digits × 10^exponent, digits without leading zeros.
struct decimal {
    std::string digits;
    int exponent = 0;
    // The place of the leading digit: 0 for units, -1 for tenths.
    int lead() const { return exponent + static_cast<int>(digits.size()) - 1; }
};

// A double holds 15 significant digits faithfully; the one or two beyond
// are the noise of the products that made it (7.65 ppm read and given back
// is 7.6499999999999995), which would turn a half into less than one.
constexpr int faithful_digits = 15;

// |value| to its faithful digits, digit by digit, without trailing zeros.
decimal decimal_of(double value) {
    char text[40];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, std::fabs(value),
                                         std::chars_format::scientific, faithful_digits - 1);
    const std::string_view s(text, ec == std::errc{} ? static_cast<std::size_t>(end - text) : 0);
    const std::size_t e = s.find('e');
    decimal d;
    for (char c : s.substr(0, e))
        if (c != '.')
            d.digits += c;
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    const int after_point = static_cast<int>(d.digits.size()) - 1;
    d.exponent = std::atoi(std::string(s.substr(e + 1)).c_str()) - after_point;
    return d;
}

// Rounded to the place 10^place, a half away from zero; the digits may
// gain one in front (9.96 to tenths of ten: 10.0).
decimal rounded_at(decimal d, int place) {
    if (d.exponent >= place)
        return d;
    if (d.lead() < place - 1)
        return {"0", place};
    const std::size_t keep = d.lead() < place ? 0 : static_cast<std::size_t>(d.lead() - place + 1);
    bool up = keep < d.digits.size() && d.digits[keep] >= '5';
    d.digits.resize(keep);
    d.exponent = place;
    if (d.digits.empty())
        d.digits = "0";
    for (std::size_t i = d.digits.size(); up; --i) {
        if (i == 0) {
            d.digits.insert(0, "1");
            break;
        }
        char& c = d.digits[i - 1];
        up = c == '9';
        c = up ? '0' : static_cast<char>(c + 1);
    }
    return d;
}

// Plain decimal text, digits down to 10^place.
std::string text_at(const decimal& d, int place) {
    std::string digits = d.digits;
    // Zeros down to the units, or down to the place where it is a decimal.
    digits.append(static_cast<std::size_t>(std::max(0, d.exponent - std::min(place, 0))), '0');
    const std::size_t decimals = place < 0 ? static_cast<std::size_t>(-place) : 0;
    if (digits.size() <= decimals)
        digits.insert(0, decimals - digits.size() + 1, '0');
    if (decimals > 0)
        digits.insert(digits.size() - decimals, ".");
    return digits;
}

bool is_zero(const decimal& d) {
    return d.digits.find_first_not_of('0') == std::string::npos;
}

} // namespace

rounded_result round_result(double value, double expanded, bool signed_value) {
    // Two significant digits; where rounding carries into a third (9.96 to
    // 10.0), the second of those two is the place.
    const decimal u_exact = decimal_of(expanded);
    int place = u_exact.lead() - 1;
    decimal u = rounded_at(u_exact, place);
    if (u.lead() > place + 1)
        u = rounded_at(u, ++place);
    const decimal v = rounded_at(decimal_of(value), place);
    const char* sign = is_zero(v) ? "" : value < 0 ? "-" : signed_value ? "+" : "";
    return {sign + text_at(v, place), text_at(u, place)};
}
