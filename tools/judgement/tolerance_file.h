// The tolerance file: what a box is judged against.  One `key = value` per
// line, read as strictly as a bench log:
//
//   tolerance = 0.01 % + 0.002 ohm      the limit T = a·nominal + b (required)
//   tolerance 1E1 = 0.05 % + 0.002 ohm  the same for one decade, 1E1 to 1E5
//   zero = 0.0031 ohm                   the box's zero resistance (default 0)
//   meter 100 = 8 ppm + 0.3 ppm         the meter's figure on a range of full
//                                       scale 100 ohms: of reading + of range
//   meter k = 2.58                      their coverage factor (or rectangular)
//   other = 0.5 ppm + 0.0001 ohm        further standard uncertainty (k = 1)
//   rule = guarded 1                    the decision rule (required)
//   interval = 12 months                until the box is due back (1 to 120,
//                                       default 12)
//
// A relative term is N % or N ppm, an absolute one N ohm; two terms are
// joined by `+`, and either may stand alone (a meter's single term is of
// reading).  Numbers are written as in a bench log.  `#` starts a comment;
// blank lines, blanks, tabs and CR LF line ends are allowed, and so is a
// UTF-8 byte-order mark at the start (text_syntax.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grid.h"

// A relative term as a fraction of nominal (1 ppm is 1e-6) plus an
// absolute one in ohms.
struct terms {
    double relative = 0;
    double ohms = 0;
};

// A meter range of full scale `range` ohms and the meter's figure on it, as
// fractions of reading and of range.
struct meter_range {
    double range = 0;
    double of_reading = 0, of_range = 0;
    std::size_t line = 0; // where the file gives it
};

enum class rule_kind : std::uint8_t { simple, guarded, nonbinary, rds, none };

// The rule and its guard band factor R: the guard band is w = R·U.
struct decision_rule {
    rule_kind kind = rule_kind::none;
    double r = 0;
};

struct tolerance_data {
    terms tolerance;
    std::optional<terms> decade[decade_count]; // overrides for 1E1 to 1E5
    double zero = 0;                           // ohms
    std::vector<meter_range> meter;            // by ascending range
    double meter_k = 0;                        // 0: rectangular, divided by √3
    terms other;
    decision_rule rule;
    unsigned interval_months = 12; // until the next calibration
};

struct tolerance_error {
    std::size_t line = 0; // 1-based; 0 when the error concerns the whole file
    std::string what;
};

// A tolerance file is a few lines; anything larger is not one.
inline constexpr std::size_t largest_tolerance_file = std::size_t{1} << 20;

// Reads the whole file into `data`; at the first fault, says in `error`
// where and what is wrong.
bool read_tolerance(std::string_view text, tolerance_data& data, tolerance_error& error);

// A value as `tolerance` takes it, a relative term, an ohm term or one of
// each, for another file of `key = value` lines (read_key_lines) to read
// the same way; throws key_fault naming `key` at a fault.
terms read_terms_value(std::string_view value, const std::string& key);

// "FILE:LINE: what is wrong", or "FILE: what is wrong" for the whole file.
std::string tolerance_diagnostic(std::string_view file, const tolerance_error& error);

// The words of each rule: its keyword in the file, whether it takes R, its
// name, where it comes from, and what it makes of a judged deviation d.
struct rule_text {
    rule_kind kind;
    const char* keyword;
    bool takes_r;
    const char* name;
    const char* source;
    const char* zones;
};
const rule_text& text_of(rule_kind kind);

// "guarded acceptance (w = 1 U)": the rule's name with its guard band.
std::string rule_name(const decision_rule& rule);
