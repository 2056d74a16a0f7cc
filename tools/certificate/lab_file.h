// The laboratory's file: who issues a certificate, what it may state, and
// the reference standards it measures with.  One `key = value` per line,
// read as the tolerance file is (text_syntax.h):
//
//   name = Resistance Laboratory Example Ltd          required
//   address = 1 Bench Street, 12345 Sample Town         required
//   approver = A. Meier, quality manager                required: who signs
//   accreditation = Example Accreditation Body, D-K-00000   optional
//   method = Direct measurement, procedure RP-7         optional
//   location = the laboratory, room 2                   optional
//   cmc = 2 ppm + 0.0001 ohm                            the smallest U stated
//   cmc 1E1 = 20 ppm + 0.0002 ohm                       the same for one decade
//   reference = METER ID | traceability sentence | due 2027-06-30
//
// `reference` may be given once per standard; every other key once.  A
// log's reference belongs to the first entry whose identity it begins with.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grid.h"
#include "judgement/tolerance_file.h"

struct lab_reference {
    std::string identity;     // how the meter names itself
    std::string traceability; // the sentence the certificate prints
    std::chrono::year_month_day due;
    std::size_t line = 0;
};

struct lab_data {
    std::string name, address, approver;
    std::string accreditation, method, location; // empty when not given
    std::optional<terms> cmc;                    // none: no CMC stated
    std::optional<terms> decade_cmc[decade_count];
    std::vector<lab_reference> references; // in the file's order
};

struct lab_error {
    std::size_t line = 0; // 0 for the whole file
    std::string what;
};

// Reads the whole file into `data`; at the first fault says in `error`
// where and what is wrong.
bool read_lab(std::string_view text, lab_data& data, lab_error& error);

// "FILE:LINE: what is wrong".
std::string lab_diagnostic(std::string_view file, const lab_error& error);

// The CMC of a setting in ppm of its nominal value; 0 where none is stated.
double cmc_ppm(const lab_data& lab, double nominal, unsigned decade);

// What a reference standard's entry says of a measurement on a day: the
// entry its identity belongs to (the first whose IDENTITY `identity`
// begins with), and whether its own calibration ran out before that day.
// decade-acquire asks it before the first setting; the certificate when
// it is made.
enum class reference_state : std::uint8_t { in_calibration, unknown, overdue };
struct reference_lookup {
    reference_state state = reference_state::unknown;
    const lab_reference* entry = nullptr; // nullptr when unknown
};
reference_lookup look_up_reference(const lab_data& lab, std::string_view identity,
                                   const std::chrono::year_month_day& day);

// What is wrong with that lookup, in words; empty when in calibration:
// "reference 'METER 7' has no entry in the laboratory's file", "reference
// 'METER 7' was due on 2026-06-30, before the calibration on 2026-12-08".
std::string reference_fault(const reference_lookup& found, std::string_view identity,
                            const std::chrono::year_month_day& day);
