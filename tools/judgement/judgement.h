// Whether a setting meets the box's tolerance: its uncertainty budget after
// the GUM, and the verdict of the decision rule the tolerance file states.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analysis/stats.h"
#include "judgement/tolerance_file.h"

// Student's t for a two-sided coverage of erf(2/√2) = 95.45 %, that of ±2σ
// of a normal distribution, at floor(nu_eff) degrees of freedom
// (nu_eff ≥ 1); exactly 2 for an infinite nu_eff.
double coverage_factor(double nu_eff);

// A test uncertainty ratio T/U below this is marked.
inline constexpr double min_tur = 4;

enum class verdict : std::uint8_t {
    pass,
    pass_star, // within T but not within the limit: the customer decides
    conditional_pass,
    conditional_fail,
    fail,
    none,       // rule none: the figures are given, nothing is judged
    not_judged, // fewer than two readings
};
// "pass", "pass*", "conditional pass", ...; "" for none.
const char* verdict_word(verdict v);
// A setting's place among the build's notes, worst first: 0 for a fail,
// then the verdicts that leave a decision, then the settings not judged;
// none for a pass, and for a setting that no rule judges.
std::optional<unsigned> note_rank(verdict v);

// The verdict of a judged deviation d against the tolerance T and the
// expanded uncertainty U, under `rule`.
struct decision {
    verdict outcome = verdict::none;
    // The acceptance limit: the largest |d| that passes, T − w for guarded
    // and nonbinary even where that is zero or less and nothing passes;
    // none for rds with U ≥ T, and for rule none.
    std::optional<double> limit;
    // No deviation passes: U ≥ T (rds), or T − w ≤ 0 (guarded, nonbinary).
    bool no_pass_possible = false;
};
decision decide(const decision_rule& rule, double deviation, double tolerance, double expanded);

// What the judgement of a setting starts from: the report's figures and
// the standard deviation of its readings.
struct setting_input {
    double nominal = 0;
    unsigned decade = 0; // 0 to 4: 1E1 to 1E5
    std::uint32_t count = 0;
    double mean = 0;
    double stdev = 0; // sample standard deviation of the readings, ohms (count ≥ 2)
};

// Every figure in ohms; deviation_ppm() and relative_ppm() give them in ppm.
struct judgement : decision {
    std::string_view why_not_judged; // for not_judged
    double nominal = 0;
    double range = 0; // the meter range used; 0 without meter lines
    double u_a = 0, u_meter = 0, u_other = 0, u_c = 0; // standard uncertainties
    double nu_eff = 0;                                 // infinite when u_a = 0
    double k = 0;                                      // coverage factor at nu_eff
    double expanded = 0;                               // U = k·u_c
    double deviation = 0;                              // d = mean − zero − nominal
    double tolerance = 0;                              // T
    double tur = 0;                                    // T/U; infinite when U = 0
    bool low_tur = false;                              // TUR < min_tur
};

// The tolerance T of a setting, in ohms: the file's own for its decade
// where it gives one.
double tolerance_of(const tolerance_data& data, double nominal, unsigned decade);

// The Type B terms of a setting of `nominal` ohms that reads `value`, as
// standard uncertainties in ohms: the meter's on the smallest range at or
// above the nominal value (none without meter lines, or without such a
// range), and the other uncertainties'.
struct type_b_terms {
    double range = 0; // the meter range used; 0 without one
    double u_meter = 0, u_other = 0;
};
type_b_terms type_b(const tolerance_data& data, double nominal, double value);

// d = mean − zero − nominal in ohms, the deviation a setting is judged by.
inline double judged_deviation(double mean, double zero, double nominal) {
    return (mean - zero) - nominal;
}

// d in ppm of nominal, by the report's own conversion of a mean: exact for
// a mean near nominal, so that with no zero resistance it is the report's
// ppm to the bit.
inline double judged_deviation_ppm(double deviation, double nominal) {
    return ppm_of(nominal + deviation, nominal);
}

// The budget and verdict of a setting into `out`.  False for a setting with
// readings whose nominal value no meter range covers, when the file gives
// meter ranges: the caller names the setting and the largest range.
bool judge(const setting_input& in, const tolerance_data& data, judgement& out);

// The judged deviation of a setting in ppm.  Every other figure (T, U, a
// limit, an uncertainty) is an amount: relative_ppm() of it.
inline double deviation_ppm(const judgement& j) {
    return judged_deviation_ppm(j.deviation, j.nominal);
}

// Whether some deviation passes within an acceptance limit: the notes and
// the page state the limit where it does, and no_pass_words where not.
inline bool has_acceptance_limit(const judgement& j) {
    return j.limit && !j.no_pass_possible;
}
inline constexpr std::string_view no_pass_words = "no pass possible at this U";

struct named_judgement {
    std::string name; // as the audit names the setting
    judgement j;
};

// "NAME: VERDICT: judged deviation +1.2 ppm, acceptance limit ±8.0 ppm,
// T ±10.0 ppm, U 2.0 ppm": a judged setting as the build notes it, and as
// the bench says it; under rule none, without a verdict or a limit.
std::string judgement_note(const named_judgement& s);

// At most this many notes of verdicts follow the summary line.
inline constexpr std::size_t max_judgement_notes = 20;

// "under RULE, N of M settings pass, 2 fail, 1 not judged": the counts of
// the verdicts, each that occurs, in the order of the enum.
std::string judgement_counts(const decision_rule& rule, std::span<const named_judgement> settings);

// The build's summary of the judgement, "FILE: " and its counts, then
// "FILE: note: ..." for each setting that does not pass, in the order
// given, up to max_judgement_notes and a line that counts the rest by
// verdict; then the settings not judged, all named, a line for each reason.
std::string judgement_summary(std::string_view file, const decision_rule& rule,
                              std::span<const named_judgement> settings);
