#include "results/html_text.h"

#include <cstddef>
#include <optional>
#include <utility>

namespace {

// The lead bytes of a UTF-8 sequence of two, three and four bytes, and the
// smallest code point each length may hold (below it, an overlong form).
struct utf8_lead {
    unsigned char low, high;
    std::size_t length;
    char32_t smallest;
};
constexpr utf8_lead utf8_leads[] = {
    {0xc2, 0xdf, 2, 0x80},
    {0xe0, 0xef, 3, 0x800},
    {0xf0, 0xf4, 4, 0x10000},
};
constexpr std::string_view replacement = "\uFFFD";

using code_point = std::pair<char32_t, std::size_t>; // and its length in bytes

// The code point of the sequence `lead` starts at the front of `text`;
// nothing where it is cut short, overlong, or beyond Unicode.
std::optional<code_point> sequence(std::string_view text, const utf8_lead& lead) {
    if (text.size() < lead.length)
        return std::nullopt;
    char32_t c = static_cast<unsigned char>(text[0]) & (0x7fu >> lead.length);
    for (std::size_t i = 1; i < lead.length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0) != 0x80)
            return std::nullopt;
        c = c << 6 | (next & 0x3fu);
    }
    if (c < lead.smallest || c > 0x10ffff || (0xd800 <= c && c <= 0xdfff))
        return std::nullopt;
    return code_point{c, lead.length};
}

// The code point a UTF-8 sequence at the front of `text` encodes; nothing
// for a byte that starts no valid sequence.
std::optional<code_point> utf8_at(std::string_view text) {
    const auto first = static_cast<unsigned char>(text[0]);
    if (first < 0x80)
        return code_point{first, 1};
    for (const utf8_lead& lead : utf8_leads)
        if (lead.low <= first && first <= lead.high)
            return sequence(text, lead);
    return std::nullopt;
}

// Whether a page may hold the character as text: not a control character
// other than a line end or tab, nor a noncharacter.
bool shown_as_text(char32_t c) {
    const bool control =
        (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (0x7f <= c && c <= 0x9f);
    const bool noncharacter = (0xfdd0 <= c && c <= 0xfdef) || (c & 0xfffe) == 0xfffe;
    return !control && !noncharacter;
}

const char* entity_of(char32_t c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    default:
        return nullptr;
    }
}

} // namespace

std::string escaped(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const auto c = utf8_at(text);
        const std::size_t length = c ? c->second : 1;
        if (!c || !shown_as_text(c->first))
            out += replacement;
        else if (const char* entity = entity_of(c->first))
            out += entity;
        else
            out += text.substr(0, length);
        text.remove_prefix(length);
    }
    return out;
}
