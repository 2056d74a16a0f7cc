// How a certificate states a result and its uncertainty: the expanded
// uncertainty U to two significant digits, rounded to the nearest with
// halves up, and the value it belongs to rounded to U's last digit with
// halves away from zero.  The figures are rounded as decimals of the 15
// digits a double holds faithfully, so that a half stays a half: 0.000235
// gives 0.00024, never 0.00023 of its binary neighbour, nor of the product
// 16.9 ppm × 50 Ω that lands just below it.
#pragma once

#include <string>

struct rounded_result {
    std::string value;       // "9.99890", "-110", "+36.1" with a sign
    std::string uncertainty; // "0.00024", "24", "6.0"
};

// `value` with its expanded uncertainty `expanded` (> 0); `signed_value`
// writes a positive value with its '+'.
rounded_result round_result(double value, double expanded, bool signed_value = false);
