#include "judgement/tolerance_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

#include "base/text_format.h"
#include "log/setting_finder.h"
#include "log/text_syntax.h"

namespace {

constexpr rule_text rules[] = {
    {rule_kind::simple, "simple", false, "simple acceptance", "ILAC-G8:09/2019",
     "a setting passes if |d| ≤ T and fails beyond"},
    {rule_kind::guarded, "guarded", true, "guarded acceptance", "ILAC-G8:09/2019",
     "a setting passes if |d| ≤ T − w and fails beyond"},
    {rule_kind::nonbinary, "nonbinary", true, "non-binary acceptance", "ILAC-G8:09/2019",
     "a setting passes if |d| ≤ T − w; beyond, up to T it is a conditional pass, up to T + w a "
     "conditional fail, and beyond a fail"},
    {rule_kind::rds, "rds", false, "root-difference-of-squares acceptance",
     "a calibration laboratory's practice",
     "a setting passes if |d| ≤ √(T² − U²); beyond, up to T it is pass*, where the customer "
     "decides, and beyond a fail; where U ≥ T there is no acceptance limit, and a setting within "
     "T is pass*"},
    {rule_kind::none, "none", false, "no decision rule", "",
     "nothing is judged; the budget of each setting is given"},
};
// text_of() finds a rule's words by its place.
constexpr bool rules_in_kind_order() {
    for (std::size_t i = 0; i < std::size(rules); ++i)
        if (static_cast<std::size_t>(rules[i].kind) != i)
            return false;
    return true;
}
static_assert(rules_in_kind_order());

// The file's own text in a message, quoted and shortened (text_syntax.h).
std::string quoted(std::string_view text) {
    const shortened part = shorten(text);
    return "'" + std::string(part.kept) + part.more + "'";
}

struct number_read {
    double value;
    std::string_view text;
};

// The text of a value, read token by token; blanks and tabs may stand
// between any two tokens, and need not.
class cursor {
  public:
    explicit cursor(std::string_view text) : text_(text) {}

    bool at_end() {
        skip();
        return text_.empty();
    }
    bool next_is(char c) {
        skip();
        return !text_.empty() && text_.front() == c;
    }
    bool take(char c) {
        if (!next_is(c))
            return false;
        text_.remove_prefix(1);
        return true;
    }
    // Up to the next blank, '+' or the end.
    std::string_view word() {
        return take_while([](char c) { return !is_blank(c) && c != '+'; });
    }
    // Up to the next blank or the end: a word of a key, where '+' is a sign
    // (meter +100) and joins no terms.
    std::string_view field() {
        return take_while([](char c) { return !is_blank(c); });
    }
    std::string_view rest() {
        skip();
        return text_;
    }

    number_read number() {
        skip();
        const std::size_t length = number_length(text_);
        const char after = length < text_.size() ? text_[length] : ' ';
        if (length == 0 || after == '.' || after == ',') {
            const std::string_view run = take_while([](char c) { return !is_blank(c); });
            throw key_fault{quoted(run) + (names_non_finite(run) ? " is not a finite number"
                                                                 : " is not a number")};
        }
        const std::string_view text = text_.substr(0, length);
        text_.remove_prefix(length);
        // from_chars takes no '+'; the syntax is already checked.
        const std::string_view unsigned_text = text.substr(text[0] == '+');
        double value = 0;
        const auto [end, ec] = std::from_chars(unsigned_text.data(),
                                               unsigned_text.data() + unsigned_text.size(), value);
        if (ec != std::errc{} || !std::isfinite(value))
            throw key_fault{quoted(text) + " is outside the range of a double"};
        return {value, text};
    }

  private:
    void skip() {
        while (!text_.empty() && is_blank(text_.front()))
            text_.remove_prefix(1);
    }
    template <typename Pred> std::string_view take_while(Pred keep) {
        skip();
        std::size_t n = 0;
        while (n < text_.size() && keep(text_[n]))
            ++n;
        const std::string_view taken = text_.substr(0, n);
        text_.remove_prefix(n);
        return taken;
    }

    std::string_view text_;
};

void end_of_value(cursor& value) {
    if (!value.at_end())
        throw key_fault{"text after the value: " + quoted(value.rest())};
}

// The units of a term, each its divisor to a fraction of nominal or to
// ohms; a key takes the units whose bits it sets, bit i for units[i].
struct unit {
    std::string_view name;
    double divisor; // cppcheck-suppress unusedStructMember
    bool relative;  // cppcheck-suppress unusedStructMember
};
constexpr unit units[] = {{"%", 100, true}, {"ppm", 1e6, true}, {"ohm", 1, false}};
constexpr unsigned percent_unit = 1, ppm_unit = 2, ohm_unit = 4;

struct value_form {
    unsigned units;
    const char* in_words;
};
constexpr value_form relative_and_ohm{percent_unit | ppm_unit | ohm_unit, "% or ppm, and ohm"};
constexpr value_form ppm_only{ppm_unit, "ppm"};
constexpr value_form ohm_only{ohm_unit, "ohm"};

struct term {
    double value; // a fraction of nominal, or ohms
    bool relative;
};

term read_term(cursor& value, const std::string& key, value_form form) {
    const number_read number = value.number();
    const std::string_view name = value.word();
    const std::string wants = key + " takes " + form.in_words;
    if (name.empty())
        throw key_fault{quoted(number.text) + " has no unit; " + wants};
    const auto u = std::find_if(std::begin(units), std::end(units),
                                [&](const unit& x) { return x.name == name; });
    if (u == std::end(units))
        throw key_fault{"unknown unit " + quoted(name) + "; " + wants};
    if ((form.units & (1u << (u - std::begin(units)))) == 0)
        throw key_fault{wants + ", not " + std::string(name)};
    if (number.value < 0)
        throw key_fault{key + " must not be negative: " + std::string(number.text) + " " +
                        std::string(name)};
    return {number.value / u->divisor, u->relative};
}

// One term, or two joined by '+', and nothing after them.
std::vector<term> read_terms(cursor& value, const std::string& key, value_form form) {
    std::vector<term> read{read_term(value, key, form)};
    while (value.take('+')) {
        if (value.at_end())
            throw key_fault{"no term after '+'"};
        if (value.next_is('+'))
            throw key_fault{"two '+' in a row"};
        if (read.size() == 2)
            throw key_fault{"more than two terms; a value is one term or two joined by '+'"};
        read.push_back(read_term(value, key, form));
    }
    end_of_value(value);
    return read;
}

// A relative term, an absolute term, or one of each.
terms read_relative_and_ohm(cursor& value, const std::string& key) {
    terms sum;
    bool relative = false, absolute = false;
    for (const term& t : read_terms(value, key, relative_and_ohm)) {
        bool& given = t.relative ? relative : absolute;
        if (given)
            throw key_fault{key + (t.relative ? " has two relative terms" : " has two ohm terms") +
                            "; it takes one % or ppm term and one ohm term"};
        given = true;
        (t.relative ? sum.relative : sum.ohms) = t.value;
    }
    return sum;
}

// A line `key [argument] = value`, split.
struct key_line {
    std::string_view argument;
    std::string key; // as its words are written, one blank apart
    cursor value;
    std::size_t line;
};

// Each key reads its value into `data` and returns the key's name once
// its argument is read as a value (meter 10 and meter 1E1 are one key),
// by which a key given twice is found.
std::string tolerance_key(key_line& l, tolerance_data& data) {
    terms* target = &data.tolerance;
    if (!l.argument.empty()) {
        unsigned d = 0;
        while (d < decade_count && l.argument != decade_name(d))
            ++d;
        if (d == decade_count)
            throw key_fault{"decade " + quoted(l.argument) + " is not one of 1E1 to 1E5"};
        target = &data.decade[d].emplace();
    }
    *target = read_relative_and_ohm(l.value, l.key);
    if (target->relative == 0 && target->ohms == 0)
        throw key_fault{l.key + " is zero"};
    return l.key;
}

std::string zero_key(key_line& l, tolerance_data& data) {
    const std::vector<term> read = read_terms(l.value, l.key, ohm_only);
    if (read.size() > 1)
        throw key_fault{"zero is a single term in ohm"};
    data.zero = read[0].value;
    return l.key;
}

std::string meter_k(key_line& l, tolerance_data& data) {
    cursor peek = l.value;
    if (peek.word() == "rectangular") {
        l.value = peek;
        data.meter_k = 0;
    } else {
        const number_read k = l.value.number();
        if (!(k.value > 0))
            throw key_fault{"meter k must be positive, or rectangular: " + std::string(k.text)};
        data.meter_k = k.value;
    }
    end_of_value(l.value);
    return l.key;
}

std::string meter_key(key_line& l, tolerance_data& data) {
    if (l.argument == "k")
        return meter_k(l, data);
    double range = 0;
    const std::string_view text = l.argument.substr(l.argument[0] == '+');
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), range);
    if (number_length(l.argument) != l.argument.size() || ec != std::errc{} ||
        !std::isfinite(range) || !(range > 0))
        throw key_fault{"meter range " + quoted(l.argument) + " is not a positive number of ohms"};
    const std::vector<term> read = read_terms(l.value, l.key, ppm_only);
    data.meter.push_back({range, read[0].value, read.size() > 1 ? read[1].value : 0, l.line});
    return "meter " + shortest_text(range);
}

std::string other_key(key_line& l, tolerance_data& data) {
    data.other = read_relative_and_ohm(l.value, l.key);
    return l.key;
}

std::string rule_list() {
    std::string list;
    for (const rule_text& r : rules)
        list += std::string(list.empty()                ? ""
                            : r.kind == rule_kind::none ? " or "
                                                        : ", ") +
                r.keyword + (r.takes_r ? " R" : "");
    return list;
}

std::string rule_key(key_line& l, tolerance_data& data) {
    const std::string_view name = l.value.word();
    const auto r = std::find_if(std::begin(rules), std::end(rules),
                                [&](const rule_text& x) { return x.keyword == name; });
    if (r == std::end(rules))
        throw key_fault{"unknown rule " + quoted(name) + "; the rules are " + rule_list()};
    data.rule = {r->kind, 0};
    if (r->takes_r) {
        if (l.value.at_end())
            throw key_fault{std::string(name) + " needs its guard band factor R, as in '" +
                            std::string(name) + " 1'"};
        const number_read factor = l.value.number();
        if (factor.value < 0)
            throw key_fault{"R must not be negative: " + std::string(factor.text)};
        data.rule.r = factor.value;
    }
    end_of_value(l.value);
    return l.key;
}

// A whole number of months: a recalibration interval of ten years at most.
std::string interval_key(key_line& l, tolerance_data& data) {
    const number_read n = l.value.number();
    if (!(n.value >= 1 && n.value <= 120) || n.value != std::floor(n.value))
        throw key_fault{"interval " + quoted(n.text) +
                        " is not a whole number of months, 1 to 120"};
    const std::string_view unit_word = l.value.word();
    if (unit_word != "months" && unit_word != "month")
        throw key_fault{"interval takes months, as in 'interval = 12 months'"};
    data.interval_months = static_cast<unsigned>(n.value);
    end_of_value(l.value);
    return l.key;
}

enum class argument : std::uint8_t { none, optional, required };
struct key_entry {
    std::string_view word;
    argument takes;
    const char* usage;
    std::string (*read)(key_line&, tolerance_data&); // cppcheck-suppress unusedStructMember
};
constexpr key_entry keys[] = {
    {"tolerance", argument::optional, "tolerance, tolerance 1E1 to 1E5", tolerance_key},
    {"zero", argument::none, "zero", zero_key},
    {"meter", argument::required, "meter RANGE, meter k", meter_key},
    {"other", argument::none, "other", other_key},
    {"rule", argument::none, "rule", rule_key},
    {"interval", argument::none, "interval", interval_key},
};
// Keys that every file gives.
constexpr std::string_view required_keys[] = {"tolerance", "rule"};

std::string key_list() {
    std::string list;
    for (const key_entry& k : keys)
        list += (list.empty() ? "" : ", ") + std::string(k.usage);
    return list;
}

// The keys read so far, by name, and the line of each.
using seen_keys = std::vector<std::pair<std::string, std::size_t>>;

void read_line(const key_value_line& kv, tolerance_data& data, seen_keys& seen) {
    const std::string_view key_text = kv.key;
    const std::size_t number = kv.number;
    cursor key_side(key_text);
    const std::string_view word = key_side.field(), argument_word = key_side.field();
    const auto entry = std::find_if(std::begin(keys), std::end(keys),
                                    [&](const key_entry& k) { return k.word == word; });
    if (!key_side.at_end() || entry == std::end(keys) ||
        (entry->takes == argument::none && !argument_word.empty()))
        throw key_fault{"unknown key " + quoted(key_text) + "; the keys are " + key_list()};
    std::string key(word);
    if (!argument_word.empty())
        key += " " + std::string(argument_word);
    if (entry->takes == argument::required && argument_word.empty())
        throw key_fault{key + " needs a word after it: " + entry->usage};
    key_line l{argument_word, key, cursor(kv.value), number};
    if (l.value.at_end())
        throw key_fault{key + " has no value"};
    const std::string name = entry->read(l, data);
    const auto earlier =
        std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == name; });
    if (earlier != seen.end())
        throw key_fault{key + " given twice, first on line " + std::to_string(earlier->second)};
    seen.emplace_back(name, number);
}

} // namespace

bool read_tolerance(std::string_view text, tolerance_data& data, tolerance_error& error) {
    data = {};
    seen_keys seen;
    key_file_error fault;
    if (!read_key_lines(
            text, [&](const key_value_line& kv) { read_line(kv, data, seen); }, fault)) {
        error = {fault.line, fault.what};
        return false;
    }
    for (std::string_view required : required_keys)
        if (std::none_of(seen.begin(), seen.end(),
                         [&](const auto& s) { return s.first == required; })) {
            error = {0, "no " + std::string(required) + " line; every tolerance file gives one"};
            return false;
        }
    std::sort(data.meter.begin(), data.meter.end(),
              [](const meter_range& a, const meter_range& b) { return a.range < b.range; });
    return true;
}

terms read_terms_value(std::string_view value, const std::string& key) {
    cursor text(value);
    return read_relative_and_ohm(text, key);
}

std::string tolerance_diagnostic(std::string_view file, const tolerance_error& error) {
    return file_line(file, error.line) + error.what + "\n";
}

const rule_text& text_of(rule_kind kind) {
    return rules[static_cast<std::size_t>(kind)];
}

std::string rule_name(const decision_rule& rule) {
    const rule_text& text = text_of(rule.kind);
    return text.name + (text.takes_r ? " (w = " + shortest_text(rule.r) + " U)" : std::string());
}
