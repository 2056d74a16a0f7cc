#include "log/calibration_record.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/calendar.h"
#include "base/text_format.h"
#include "log/log_reader.h"

namespace {

// Each key's name, by its place in record_key.
struct key_text {
    record_key key;
    const char* name;
};
constexpr key_text keys[] = {
    {record_key::item, "item"},         {record_key::date, "date"},
    {record_key::customer, "customer"}, {record_key::operator_, "operator"},
    {record_key::location, "location"}, {record_key::temperature, "temperature"},
    {record_key::humidity, "humidity"}, {record_key::reference, "reference"},
    {record_key::method, "method"},     {record_key::certificate, "certificate"},
    {record_key::received, "received"}, {record_key::issued, "issued"},
    {record_key::interval, "interval"},
};
constexpr bool keys_in_order() {
    for (std::size_t i = 0; i < std::size(keys); ++i)
        if (static_cast<std::size_t>(keys[i].key) != i)
            return false;
    return true;
}
static_assert(keys_in_order() && std::size(keys) == record_key_count);

bool same_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; };
               return lower(x) == lower(y);
           });
}

// Where the record keeps the date a key gives; nullptr for a key of text.
std::optional<std::chrono::year_month_day>* date_of(record_key key, calibration_record& record) {
    switch (key) {
    case record_key::date:
        return &record.date;
    case record_key::received:
        return &record.received;
    case record_key::issued:
        return &record.issued;
    default:
        return nullptr;
    }
}

// Adds `field` to the record, in the order of the keys whatever the
// heading's order; or says why it is refused.
std::optional<std::string> take_field(record_field field, calibration_record& record) {
    const std::string key = key_name(field.key);
    if (const record_field* earlier = find_field(record, field.key))
        return key + " given twice, first on line " + std::to_string(earlier->line);
    if (field.value.empty())
        return key + " has no value";
    if (std::optional<std::chrono::year_month_day>* into = date_of(field.key, record)) {
        std::chrono::year_month_day date;
        std::string fault;
        if (!read_date(field.value, date, fault))
            return fault;
        *into = date;
    }
    // The one agreement the certificate knows of: to state the due date.
    if (field.key == record_key::interval && field.value != "agreed")
        return "interval takes the one word 'agreed', and states the due date";
    const auto place = std::find_if(record.fields.begin(), record.fields.end(),
                                    [&](const record_field& f) { return f.key > field.key; });
    record.fields.insert(place, std::move(field));
    return std::nullopt;
}

} // namespace

std::optional<record_key> record_key_named(std::string_view name) {
    for (const key_text& k : keys)
        if (same_ignoring_case(name, k.name))
            return k.key;
    return std::nullopt;
}

const char* key_name(record_key key) {
    return keys[static_cast<std::size_t>(key)].name;
}

const record_field* find_field(const calibration_record& record, record_key key) {
    const auto found = std::find_if(record.fields.begin(), record.fields.end(),
                                    [key](const record_field& f) { return f.key == key; });
    return found == record.fields.end() ? nullptr : &*found;
}

bool take_heading_line(heading_line line, calibration_record& record, record_error& error) {
    const std::size_t colon = line.text.find(':');
    const std::optional<record_key> key =
        colon == std::string::npos
            ? std::nullopt
            : record_key_named(trimmed(std::string_view(line.text).substr(0, colon)));
    if (!key) {
        // As many as the page shows of a heading without a record.
        if (record.free_lines.size() < log_reader::max_heading_lines)
            record.free_lines.push_back(std::move(line));
        return true;
    }
    record_field field{*key, std::string(trimmed(std::string_view(line.text).substr(colon + 1))),
                       line.line};
    if (std::optional<std::string> fault = take_field(std::move(field), record)) {
        error = {line.line, std::move(*fault)};
        return false;
    }
    return true;
}

bool read_record(const std::vector<heading_line>& heading, calibration_record& record,
                 record_error& error) {
    record = {};
    for (const heading_line& line : heading)
        if (!take_heading_line(line, record, error))
            return false;
    return true;
}

std::string field_line(record_key key, std::string_view value) {
    return "# " + std::string(key_name(key)) + ": " + std::string(value);
}

namespace {

// The longest value of `key` that a line of the log holds.
std::size_t longest_value(record_key key) {
    return max_line_length - field_line(key, "").size();
}

bool is_end_noise(char c) {
    return is_blank(c) || is_control(static_cast<unsigned char>(c));
}

} // namespace

std::optional<std::string> field_fault(record_key key, std::string_view value) {
    const std::string name = key_name(key), line = field_line(key, value);
    if (const std::optional<log_fault> fault = read_line(line).fault)
        return name + (*fault == log_fault::too_long
                           ? format(" is longer than the %zu characters a line of the log holds "
                                    "for it",
                                    longest_value(key))
                           : std::string(" holds a ") + what(*fault));
    calibration_record record;
    record_error error;
    if (!take_heading_line({1, line.substr(2)}, record, error))
        return error.what.starts_with(name) ? error.what : name + ": " + error.what;
    if (record.fields.empty() || record.fields[0].value != value)
        return name + " has blanks around it";
    return std::nullopt;
}

std::string fitted_value(record_key key, std::string_view text) {
    while (!text.empty() && is_end_noise(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_end_noise(text.back()))
        text.remove_suffix(1);
    std::string shown = visible(text);
    std::size_t end = std::min(shown.size(), longest_value(key));
    while (end > 0 && end < shown.size() && (static_cast<unsigned char>(shown[end]) & 0xc0) == 0x80)
        --end;
    shown.resize(end);
    return std::string(trimmed(shown));
}

std::string record_diagnostic(std::string_view file, const record_error& error) {
    return file_line(file, error.line) + error.what + "\n";
}
