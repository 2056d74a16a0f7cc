#include "acquire/dialect.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "base/text_format.h"
#include "readings.h"

namespace {

// Each key and the line of the dialect it sets.
struct dialect_key {
    std::string_view name;
    std::string meter_dialect::*line;
};
constexpr dialect_key keys[] = {
    {"line end", &meter_dialect::line_end},   {"prefix", &meter_dialect::prefix},
    {"clear", &meter_dialect::clear},         {"identify", &meter_dialect::identify},
    {"configure", &meter_dialect::configure}, {"integration", &meter_dialect::integration},
    {"offset", &meter_dialect::offset},       {"read", &meter_dialect::read},
    {"error", &meter_dialect::error},         {"no error", &meter_dialect::no_error},
};

struct line_end_word {
    std::string_view word, bytes; // cppcheck-suppress unusedStructMember
};
constexpr line_end_word line_ends[] = {{"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}};

std::string key_list() {
    std::string list;
    for (const dialect_key& k : keys)
        list += (list.empty() ? "" : ", ") + std::string(k.name);
    return list;
}

void read_line(const key_value_line& kv, meter_dialect& dialect,
               std::vector<std::pair<std::string_view, std::size_t>>& seen) {
    const auto key = std::find_if(std::begin(keys), std::end(keys),
                                  [&](const dialect_key& k) { return k.name == kv.key; });
    if (key == std::end(keys))
        throw key_fault{"unknown key '" + std::string(kv.key) + "'; the keys are " + key_list()};
    const auto earlier =
        std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == key->name; });
    if (earlier != seen.end())
        throw key_fault{std::string(kv.key) + " given twice, first on line " +
                        std::to_string(earlier->second)};
    seen.emplace_back(key->name, kv.number);
    std::string value(kv.value);
    if (key->line == &meter_dialect::line_end) {
        const auto end = std::find_if(std::begin(line_ends), std::end(line_ends),
                                      [&](const line_end_word& w) { return w.word == kv.value; });
        if (end == std::end(line_ends))
            throw key_fault{"line end '" + value + "' is not LF, CR LF or CR"};
        value = end->bytes;
    }
    dialect.*(key->line) = std::move(value);
}

} // namespace

bool read_meter_file(std::string_view text, meter_dialect& dialect, key_file_error& error) {
    std::vector<std::pair<std::string_view, std::size_t>> seen;
    return read_key_lines(
        text, [&](const key_value_line& kv) { read_line(kv, dialect, seen); }, error);
}

std::string_view line_end_name(std::string_view bytes) {
    const auto end = std::find_if(std::begin(line_ends), std::end(line_ends),
                                  [&](const line_end_word& w) { return w.bytes == bytes; });
    return end == std::end(line_ends) ? bytes : end->word;
}

std::string with_figures(std::string_view command, double range, double nominal) {
    const std::pair<std::string_view, double> fields[] = {{"{range}", range},
                                                          {"{nominal}", nominal}};
    std::string out(command);
    for (const auto& [name, value] : fields)
        for (std::size_t at = 0; (at = out.find(name, at)) != std::string::npos;) {
            const std::string figure = format("%.15g", value);
            out.replace(at, name.size(), figure);
            at += figure.size();
        }
    return out;
}

double range_of(setting at) {
    const double nominal = static_cast<double>(at.p) * decades[at.d];
    double range = 10;
    while (range < nominal)
        range *= 10;
    return range;
}
