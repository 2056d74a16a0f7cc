#include "certificate/lab_file.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/calendar.h"
#include "base/text_format.h"
#include "log/text_syntax.h"

namespace {

// The file's own text in a message, quoted and shortened.
std::string quoted(std::string_view text) {
    const shortened part = shorten(text);
    return "'" + std::string(part.kept) + part.more + "'";
}

// A key's line split into its word and its argument (cmc 1E1).
struct lab_line {
    std::string_view argument, value;
};

void text_key(std::string lab_data::*field, const lab_line& l, lab_data& data) {
    data.*field = l.value;
}

void cmc_key(const lab_line& l, lab_data& data) {
    std::optional<terms>* target = &data.cmc;
    if (!l.argument.empty()) {
        unsigned d = 0;
        while (d < decade_count && l.argument != "1E" + std::to_string(d + 1))
            ++d;
        if (d == decade_count)
            throw key_fault{"decade " + quoted(l.argument) + " is not one of 1E1 to 1E5"};
        target = &data.decade_cmc[d];
    }
    *target = read_terms_value(l.value, "cmc");
}

// IDENTITY | TRACEABILITY | due YYYY-MM-DD
void reference_key(const lab_line& l, lab_data& data, std::size_t line) {
    constexpr std::string_view form = "; it is 'IDENTITY | TRACEABILITY | due YYYY-MM-DD'";
    std::vector<std::string_view> parts;
    std::string_view rest = l.value;
    for (std::size_t bar; (bar = rest.find('|')) != std::string_view::npos;
         rest.remove_prefix(bar + 1))
        parts.push_back(trimmed(rest.substr(0, bar)));
    parts.push_back(trimmed(rest));
    if (parts.size() != 3)
        throw key_fault{"reference has " + std::to_string(parts.size()) + " parts" +
                        std::string(form)};
    if (parts[0].empty() || parts[1].empty())
        throw key_fault{std::string(parts[0].empty() ? "the identity" : "the traceability") +
                        " is empty" + std::string(form)};
    if (!parts[2].starts_with("due "))
        throw key_fault{"the third part is not 'due YYYY-MM-DD'" + std::string(form)};
    lab_reference entry{std::string(parts[0]), std::string(parts[1]), {}, line};
    std::string fault;
    if (!read_date(trimmed(parts[2].substr(4)), entry.due, fault))
        throw key_fault{fault};
    data.references.push_back(std::move(entry));
}

enum class takes : std::uint8_t { text, cmc, reference };
struct lab_key {
    std::string_view word;
    takes kind;
    std::string lab_data::*text; // for takes::text
    bool required;
};
const lab_key keys[] = {
    {"name", takes::text, &lab_data::name, true},
    {"address", takes::text, &lab_data::address, true},
    {"approver", takes::text, &lab_data::approver, true},
    {"accreditation", takes::text, &lab_data::accreditation, false},
    {"method", takes::text, &lab_data::method, false},
    {"location", takes::text, &lab_data::location, false},
    {"cmc", takes::cmc, nullptr, false},
    {"reference", takes::reference, nullptr, false},
};

std::string key_list() {
    std::string list;
    for (const lab_key& k : keys)
        list += (list.empty() ? "" : ", ") + std::string(k.word);
    return list + ", cmc 1E1 to 1E5";
}

// The keys read so far, by name with its argument, and the line of each.
using seen_keys = std::vector<std::pair<std::string, std::size_t>>;

void read_line(const key_value_line& kv, lab_data& data, seen_keys& seen) {
    const std::size_t blank = kv.key.find_first_of(" \t");
    const std::string_view word = kv.key.substr(0, blank);
    const std::string_view argument =
        blank == std::string_view::npos ? std::string_view() : trimmed(kv.key.substr(blank));
    const auto entry = std::find_if(std::begin(keys), std::end(keys),
                                    [&](const lab_key& k) { return k.word == word; });
    if (entry == std::end(keys) || (entry->kind != takes::cmc && !argument.empty()))
        throw key_fault{"unknown key " + quoted(kv.key) + "; the keys are " + key_list()};
    const std::string name =
        std::string(word) + (argument.empty() ? "" : " ") + std::string(argument);
    if (kv.value.empty())
        throw key_fault{name + " has no value"};
    const auto earlier =
        std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == name; });
    if (entry->kind != takes::reference && earlier != seen.end())
        throw key_fault{name + " given twice, first on line " + std::to_string(earlier->second)};
    const lab_line l{argument, kv.value};
    if (entry->kind == takes::text)
        text_key(entry->text, l, data);
    else if (entry->kind == takes::cmc)
        cmc_key(l, data);
    else
        reference_key(l, data, kv.number);
    seen.emplace_back(name, kv.number);
}

} // namespace

bool read_lab(std::string_view text, lab_data& data, lab_error& error) {
    data = {};
    seen_keys seen;
    key_file_error fault;
    if (!read_key_lines(
            text, [&](const key_value_line& kv) { read_line(kv, data, seen); }, fault)) {
        error = {fault.line, fault.what};
        return false;
    }
    for (const lab_key& k : keys)
        if (k.required && std::none_of(seen.begin(), seen.end(),
                                       [&](const auto& s) { return s.first == k.word; })) {
            error = {0, "no " + std::string(k.word) + " line; every laboratory's file gives one"};
            return false;
        }
    return true;
}

std::string lab_diagnostic(std::string_view file, const lab_error& error) {
    return file_line(file, error.line) + error.what + "\n";
}

double cmc_ppm(const lab_data& lab, double nominal, unsigned decade) {
    const std::optional<terms>& given = lab.decade_cmc[decade] ? lab.decade_cmc[decade] : lab.cmc;
    return given ? (given->relative + given->ohms / nominal) * 1e6 : 0;
}

reference_lookup look_up_reference(const lab_data& lab, std::string_view identity,
                                   const std::chrono::year_month_day& day) {
    const auto entry =
        std::find_if(lab.references.begin(), lab.references.end(),
                     [&](const lab_reference& r) { return identity.starts_with(r.identity); });
    if (entry == lab.references.end())
        return {};
    return {entry->due < day ? reference_state::overdue : reference_state::in_calibration, &*entry};
}

std::string reference_fault(const reference_lookup& found, std::string_view identity,
                            const std::chrono::year_month_day& day) {
    const std::string named = "reference " + quoted(identity);
    switch (found.state) {
    case reference_state::unknown:
        return named + " has no entry in the laboratory's file";
    case reference_state::overdue:
        return named + " was due on " + date_text(found.entry->due) +
               ", before the calibration on " + date_text(day);
    default:
        return "";
    }
}
