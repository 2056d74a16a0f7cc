#include "acquire/plan.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "analysis/grid.h"

namespace {

bool read_position(std::string_view text, unsigned& p) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), p);
    return ec == std::errc{} && end == text.data() + text.size() && p >= 1 && p < positions;
}

// One item of the list into `chosen` (by setting: decade-major, as
// all_settings() orders them); false for one that does not read.
bool read_item(std::string_view item, bool (&taken)[positions][decade_count]) {
    if (item.size() < 3 || item[0] != '1' || (item[1] != 'E' && item[1] != 'e') || item[2] < '1' ||
        item[2] > '5')
        return false;
    const unsigned d = static_cast<unsigned>(item[2] - '1');
    unsigned first = 1, last = positions - 1;
    if (item.size() > 3) {
        if (item[3] != ':')
            return false;
        const std::string_view span = item.substr(4);
        const std::size_t dash = span.find('-');
        if (!read_position(span.substr(0, dash), first))
            return false;
        last = first;
        if (dash != std::string_view::npos &&
            (!read_position(span.substr(dash + 1), last) || last < first))
            return false;
    }
    for (unsigned p = first; p <= last; ++p)
        taken[p][d] = true;
    return true;
}

} // namespace

std::vector<setting> all_settings() {
    std::vector<setting> all;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            all.push_back({p, d});
    return all;
}

bool read_settings_list(std::string_view list, std::vector<setting>& chosen, std::string& error) {
    bool taken[positions][decade_count]{};
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        if (!read_item(item, taken)) {
            error = "'" + std::string(item) +
                    "' is not a decade (1E1 to 1E5), a decade and a position (1E3:5) or a decade "
                    "and positions (1E3:4-7)";
            return false;
        }
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    chosen.clear();
    for (const setting& at : all_settings())
        if (taken[at.p][at.d])
            chosen.push_back(at);
    return true;
}
