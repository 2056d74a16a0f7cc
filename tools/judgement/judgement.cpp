#include "judgement/judgement.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

#include "base/text_format.h"

namespace {

// erf(2/√2): the coverage of ±2σ of a normal distribution.
constexpr double two_sigma_coverage = 0.95449973610364158560;
constexpr double pi = 3.14159265358979323846;

// P(|t| ≤ x) for Student's t with `nu` degrees of freedom, by the finite
// sums for a whole nu (Abramowitz and Stegun 26.7.3 and 26.7.4), summed
// from the last term back.  cos²θ = ν/(ν + x²) lies close to 1 for a large
// ν, where a double holds it too coarsely; each step multiplies by it as
// 1 − sin²θ instead, with sin²θ kept to full precision.
double two_sided(double x, std::uint64_t nu) {
    const double n = static_cast<double>(nu);
    const double q = n + x * x;
    const double sin2 = x * x / q;
    const double sin = x / std::sqrt(q);
    double sum = 1;
    if (nu % 2 == 0) {
        for (std::uint64_t k = nu / 2 - 1; k >= 1; --k)
            sum = 1 +
                  (sum - sum * sin2) * static_cast<double>(2 * k - 1) / static_cast<double>(2 * k);
        return sin * sum;
    }
    const double theta = std::atan2(x, std::sqrt(n));
    if (nu == 1)
        return theta * 2 / pi;
    for (std::uint64_t k = (nu - 3) / 2; k >= 1; --k)
        sum = 1 + (sum - sum * sin2) * static_cast<double>(2 * k) / static_cast<double>(2 * k + 1);
    return (theta + sin * (std::sqrt(n) / std::sqrt(q)) * sum) * 2 / pi;
}

// Fisher's expansion of the quantile in powers of 1/ν (Abramowitz and
// Stegun 26.7.5) at the normal quantile z = 2, through 1/ν⁴.
constexpr double z = 2;
constexpr double z_to(int power) {
    double p = 1;
    for (int i = 0; i < power; ++i)
        p *= z;
    return p;
}
constexpr double g1 = (z_to(3) + z) / 4;
constexpr double g2 = (5 * z_to(5) + 16 * z_to(3) + 3 * z) / 96;
constexpr double g3 = (3 * z_to(7) + 19 * z_to(5) + 17 * z_to(3) - 15 * z) / 384;
constexpr double g4 =
    (79 * z_to(9) + 776 * z_to(7) + 1482 * z_to(5) - 1920 * z_to(3) - 945 * z) / 92160;
// From here on the terms the expansion leaves out are below 1e-16; below
// it the sums are the more accurate.  Either is within a few units in the
// last place.
constexpr double expansion_from = 2000;

double expansion(double nu) {
    const double x = 1 / nu;
    return z + x * (g1 + x * (g2 + x * (g3 + x * g4)));
}

// Each verdict in the order of the enum, which is the order the summary
// counts them in: its word, and its place among the notes (no_note: none).
constexpr unsigned no_note = ~0u;
struct verdict_text {
    verdict outcome;
    const char* word;
    unsigned note_rank;
};
constexpr verdict_text verdicts[] = {
    {verdict::pass, "pass", no_note},
    {verdict::pass_star, "pass*", 3},
    {verdict::conditional_pass, "conditional pass", 2},
    {verdict::conditional_fail, "conditional fail", 1},
    {verdict::fail, "fail", 0},
    {verdict::none, "", no_note},
    {verdict::not_judged, "not judged", 4},
};
// verdict_word() and note_rank() find a verdict by its place.
constexpr bool verdicts_in_enum_order() {
    for (std::size_t i = 0; i < std::size(verdicts); ++i)
        if (static_cast<std::size_t>(verdicts[i].outcome) != i)
            return false;
    return true;
}
static_assert(verdicts_in_enum_order());

const verdict_text& text_of(verdict v) {
    return verdicts[static_cast<std::size_t>(v)];
}

} // namespace

double coverage_factor(double nu_eff) {
    const double nu = std::floor(nu_eff);
    if (!(nu >= 1))
        return std::numeric_limits<double>::quiet_NaN();
    if (nu >= expansion_from)
        return expansion(nu); // 2 + 0 for an infinite ν
    // Bisection down to adjacent doubles: t lies above z for every finite
    // ν, and below 16 (13.97 at ν = 1).
    const auto whole = static_cast<std::uint64_t>(nu);
    double low = z, high = 16;
    for (;;) {
        const double mid = low + (high - low) / 2;
        if (mid == low || mid == high)
            return high;
        (two_sided(mid, whole) < two_sigma_coverage ? low : high) = mid;
    }
}

const char* verdict_word(verdict v) {
    return text_of(v).word;
}

std::optional<unsigned> note_rank(verdict v) {
    const unsigned rank = text_of(v).note_rank;
    return rank == no_note ? std::nullopt : std::optional(rank);
}

// Each zone of |d| includes its outer edge, as in "pass if |d| ≤ T".  A
// limit of zero or less leaves no pass: not even d = 0 passes, as a setting
// cannot be shown within a limit its uncertainty covers.
decision decide(const decision_rule& rule, double deviation, double tolerance, double expanded) {
    const double size = std::fabs(deviation);
    const double guard = rule.r * expanded;
    switch (rule.kind) {
    case rule_kind::simple:
        return {size <= tolerance ? verdict::pass : verdict::fail, tolerance, false};
    case rule_kind::guarded: {
        const double limit = tolerance - guard;
        const bool passes = limit > 0 && size <= limit;
        return {passes ? verdict::pass : verdict::fail, limit, !(limit > 0)};
    }
    case rule_kind::nonbinary: {
        const double limit = tolerance - guard;
        const verdict v = limit > 0 && size <= limit  ? verdict::pass
                          : size <= tolerance         ? verdict::conditional_pass
                          : size <= tolerance + guard ? verdict::conditional_fail
                                                      : verdict::fail;
        return {v, limit, !(limit > 0)};
    }
    case rule_kind::rds: {
        const verdict beyond = size <= tolerance ? verdict::pass_star : verdict::fail;
        if (!(expanded < tolerance))
            return {beyond, std::nullopt, true};
        const double limit = std::sqrt((tolerance - expanded) * (tolerance + expanded));
        return {size <= limit ? verdict::pass : beyond, limit, false};
    }
    case rule_kind::none:
        break;
    }
    return {verdict::none, std::nullopt, false};
}

namespace {

// The meter range a setting is measured on: the smallest at or above its
// nominal value.
const meter_range* range_of(const tolerance_data& data, double nominal) {
    const auto r = std::find_if(data.meter.begin(), data.meter.end(),
                                [&](const meter_range& m) { return m.range >= nominal; });
    return r == data.meter.end() ? nullptr : &*r;
}

// u_A, u_meter, u_other, u_c, ν_eff, k and U after the GUM: the Type B
// terms have infinite degrees of freedom, so Welch–Satterthwaite gives
// ν_eff = u_c⁴ / (u_A⁴ / (n − 1)), never below n − 1.
void budget(const setting_input& in, const tolerance_data& data, judgement& out) {
    const double n = in.count;
    out.u_a = in.stdev / std::sqrt(n);
    const type_b_terms b = type_b(data, in.nominal, in.mean);
    out.range = b.range;
    out.u_meter = b.u_meter;
    out.u_other = b.u_other;
    out.u_c = std::hypot(out.u_a, out.u_meter, out.u_other);
    out.nu_eff = out.u_a > 0 ? std::max(n - 1, (n - 1) * std::pow(out.u_c / out.u_a, 4))
                             : std::numeric_limits<double>::infinity();
    out.k = coverage_factor(out.nu_eff);
    out.expanded = out.k * out.u_c;
}

} // namespace

type_b_terms type_b(const tolerance_data& data, double nominal, double value) {
    type_b_terms b;
    if (const meter_range* meter = range_of(data, nominal)) {
        const double divisor = data.meter_k > 0 ? data.meter_k : std::sqrt(3.0);
        b.range = meter->range;
        b.u_meter = (meter->of_reading * value + meter->of_range * meter->range) / divisor;
    }
    b.u_other = data.other.relative * nominal + data.other.ohms;
    return b;
}

double tolerance_of(const tolerance_data& data, double nominal, unsigned decade) {
    const std::optional<terms>& own = data.decade[decade];
    const terms& t = own ? *own : data.tolerance;
    return t.relative * nominal + t.ohms;
}

bool judge(const setting_input& in, const tolerance_data& data, judgement& out) {
    out = {};
    out.nominal = in.nominal;
    if (in.count > 0 && !data.meter.empty() && !range_of(data, in.nominal))
        return false;
    if (in.count < 2) {
        out.outcome = verdict::not_judged;
        out.why_not_judged =
            in.count == 0 ? "no readings" : "a single reading, so no standard deviation";
        return true;
    }
    budget(in, data, out);
    out.tolerance = tolerance_of(data, in.nominal, in.decade);
    out.deviation = judged_deviation(in.mean, data.zero, in.nominal);
    out.tur = out.tolerance / out.expanded;
    out.low_tur = out.tur < min_tur;
    static_cast<decision&>(out) = decide(data.rule, out.deviation, out.tolerance, out.expanded);
    return true;
}

std::string judgement_counts(const decision_rule& rule, std::span<const named_judgement> settings) {
    std::size_t counts[std::size(verdicts)] = {};
    for (const named_judgement& s : settings)
        ++counts[static_cast<std::size_t>(s.j.outcome)];
    const std::size_t total = settings.size();
    const std::size_t not_judged = counts[static_cast<std::size_t>(verdict::not_judged)];
    if (rule.kind == rule_kind::none)
        return format("no decision rule: figures for %zu of %zu settings, none judged",
                      total - not_judged, total);
    std::string line = "under " + rule_name(rule) +
                       format(", %zu of %zu settings pass",
                              counts[static_cast<std::size_t>(verdict::pass)], total);
    for (const verdict_text& v : verdicts)
        if (const std::size_t count = counts[static_cast<std::size_t>(v.outcome)];
            count > 0 && v.note_rank != no_note)
            line += format(", %zu %s", count, v.word);
    return line;
}

// Rule none judges nothing, so it states no limit either.
std::string judgement_note(const named_judgement& s) {
    const judgement& j = s.j;
    auto ppm = [&](const char* pattern, double ohms) {
        return format(pattern, relative_ppm(ohms, j.nominal));
    };
    const std::string word = verdict_word(j.outcome);
    const std::string limit = j.outcome == verdict::none ? ""
                              : has_acceptance_limit(j)
                                  ? "acceptance limit " + ppm("±%.1f ppm", *j.limit) + ", "
                                  : std::string(no_pass_words) + ", ";
    return s.name + ": " + (word.empty() ? "" : word + ": ") + "judged deviation " +
           format("%+.1f ppm", deviation_ppm(j)) + ", " + limit + "T " +
           ppm("±%.1f ppm", j.tolerance) + ", U " + ppm("%.1f ppm", j.expanded);
}

namespace {

// "N more not shown: 3 fail, 2 conditional fail": the verdicts of the
// notes past the cap, worst first.
std::string more_not_shown(std::span<const std::size_t> unshown) {
    std::string text;
    std::size_t total = 0;
    for (auto v = std::rbegin(verdicts); v != std::rend(verdicts); ++v)
        if (const std::size_t count = unshown[static_cast<std::size_t>(v->outcome)]) {
            text += format("%s%zu %s", total == 0 ? "" : ", ", count, v->word);
            total += count;
        }
    return total == 0 ? "" : format("%zu more not shown: ", total) + text;
}

// The settings not judged, every one of them, one line for each reason:
// "not judged, no readings: the 70 Ω setting (...), the 80 Ω setting (...)".
std::string not_judged_lines(const std::string& at, std::span<const named_judgement> settings) {
    std::vector<std::pair<std::string_view, std::string>> reasons; // reason, names
    for (const named_judgement& s : settings) {
        if (s.j.outcome != verdict::not_judged)
            continue;
        const auto r = std::find_if(reasons.begin(), reasons.end(),
                                    [&](const auto& x) { return x.first == s.j.why_not_judged; });
        if (r == reasons.end())
            reasons.emplace_back(s.j.why_not_judged, s.name);
        else
            r->second += ", " + s.name;
    }
    std::string text;
    for (const auto& [reason, names] : reasons)
        text.append(at).append("note: not judged, ").append(reason).append(": ").append(names) +=
            '\n';
    return text;
}

} // namespace

// The notes of the verdicts go first and are capped, as there may be many
// of them; the settings not judged are few lines whatever their number,
// and each is named.
std::string judgement_summary(std::string_view file, const decision_rule& rule,
                              std::span<const named_judgement> settings) {
    const std::string at = std::string(file) + ": ";
    std::string text = at + judgement_counts(rule, settings) + "\n";
    std::size_t shown = 0;
    std::size_t unshown[std::size(verdicts)] = {};
    for (const named_judgement& s : settings) {
        if (!note_rank(s.j.outcome) || s.j.outcome == verdict::not_judged)
            continue;
        if (shown < max_judgement_notes) {
            text += at + "note: " + judgement_note(s) + "\n";
            ++shown;
        } else {
            ++unshown[static_cast<std::size_t>(s.j.outcome)];
        }
    }
    if (const std::string more = more_not_shown(unshown); !more.empty())
        text += at + "note: " + more + "\n";
    return text + not_judged_lines(at, settings);
}
