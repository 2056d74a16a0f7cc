#include "acquire/address.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace {

constexpr unsigned highest_port = 65535;

bool whole(std::string_view text, unsigned& value, unsigned low, unsigned high) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc{} && end == text.data() + text.size() && value >= low &&
           value <= high;
}

// The host and, after its colon, the port text; no colon: no port.
struct split_address {
    std::string_view host;
    std::string_view port;
    bool has_port = false;
};

// [V6] or [V6]:PORT.
bool split_bracketed(std::string_view text, split_address& out, std::string& error) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) {
        error = "'" + std::string(text) + "' has no ']' to close its IPv6 address";
        return false;
    }
    out.host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (rest.empty())
        return true;
    if (rest[0] != ':') {
        error = "'" + std::string(text) + "' has '" + std::string(rest) +
                "' after its ']', not ':PORT'";
        return false;
    }
    out.port = rest.substr(1);
    out.has_port = true;
    return true;
}

// HOST or HOST:PORT; two colons or more are an IPv6 address alone.
split_address split_plain(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos)
        return {text, {}, false};
    return {text.substr(0, colon), text.substr(colon + 1), true};
}

} // namespace

bool read_meter_address(std::string_view text, unsigned default_port, meter_address& address,
                        std::string& error) {
    address = {};
    if (is_serial(text)) {
        address.device = text;
        return true;
    }
    split_address split;
    if (!text.starts_with('['))
        split = split_plain(text);
    else if (!split_bracketed(text, split, error))
        return false;
    if (split.host.empty()) {
        error = "'" + std::string(text) + "' names no host";
        return false;
    }
    address.host = split.host;
    address.port = default_port;
    if (split.has_port && !whole(split.port, address.port, 1, highest_port)) {
        error = "the port of '" + std::string(text) + "' is not a number from 1 to " +
                std::to_string(highest_port);
        return false;
    }
    return true;
}

bool is_serial(std::string_view address) {
    if (address.starts_with("/dev/"))
        return true;
    unsigned n = 0;
    const std::string_view digits = address.substr(std::min<std::size_t>(3, address.size()));
    return (address.starts_with("COM") || address.starts_with("com")) && whole(digits, n, 1u, 256u);
}
