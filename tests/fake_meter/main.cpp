// fake-meter: the fake meter as a program, for trying decade-acquire by
// hand and for tests that run it as a separate process.  It prints where
// it serves as its first line, so that whoever started it can connect.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "fake_meter.h"

namespace {

const char usage[] =
    "usage: fake-meter [--port=N] [--ipv6] [--once]"
#ifndef _WIN32
    " [--pty]"
#endif
    " [--dial=FILE] [--fault=KIND@N]... [--deviation-ppm=X] [--slope-ppm=Y] [--zero=OHMS]"
    " [--scatter-ppm=S] [--seed=N] [--per-read=K] [--idn=TEXT] [--delay-ms=N]\n"
    "  KIND: silent, drop, garbage, open, stream, trickle, long (the Nth READ?)\n"
    "        or error (the Nth CONF:FRES)\n";

std::optional<double> real_of(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1); // from_chars takes no plus sign
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (text.empty() || failure != std::errc{} || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A whole number from `least` to `most`.
template <class T>
std::optional<T> whole_of(std::string_view text, T least = 0,
                          T most = std::numeric_limits<T>::max()) {
    T value = 0;
    const char* end = text.data() + text.size();
    auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (text.empty() || failure != std::errc{} || stop != end || value < least || value > most)
        return std::nullopt;
    return value;
}

struct fault_name {
    std::string_view name;
    fault_kind kind;
};

constexpr fault_name fault_names[] = {
    {"silent", fault_kind::silent},   {"drop", fault_kind::drop},
    {"garbage", fault_kind::garbage}, {"error", fault_kind::error},
    {"open", fault_kind::open},       {"stream", fault_kind::stream},
    {"trickle", fault_kind::trickle}, {"long", fault_kind::long_line},
};

std::optional<fake_fault> fault_of(std::string_view text) {
    std::size_t at = text.find('@');
    std::optional<std::uint64_t> n = at == std::string_view::npos
                                         ? std::nullopt
                                         : whole_of<std::uint64_t>(text.substr(at + 1), 1);
    for (const fault_name& f : fault_names)
        if (n && f.name == text.substr(0, at))
            return fake_fault{f.kind, *n};
    return std::nullopt;
}

bool add_fault(std::string_view text, std::vector<fake_fault>& faults) {
    std::optional<fake_fault> f = fault_of(text);
    if (f)
        faults.push_back(*f);
    return f.has_value();
}

// One value in ohms a line; blank lines are skipped.  Says why it fails.
bool read_dial(const std::string& path, std::vector<double>& dial) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "fake-meter: %s: cannot read\n", path.c_str());
        return false;
    }
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        std::string_view text = line;
        std::size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            continue;
        text = text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
        std::optional<double> value = real_of(text);
        if (!value || *value < 0) {
            std::fprintf(stderr, "fake-meter: %s:%s: not a value in ohms\n", path.c_str(),
                         std::to_string(number).c_str());
            return false;
        }
        dial.push_back(*value);
    }
    if (dial.empty())
        std::fprintf(stderr, "fake-meter: %s: no values\n", path.c_str());
    return !dial.empty();
}

// Each option's value into the options; false when it is no such value.
using setter = bool (*)(std::string_view value, meter_options& options);

template <class T> bool assign(std::optional<T> value, T& to) {
    if (value)
        to = *value;
    return value.has_value();
}

struct option {
    std::string_view name; // with its "=", if it takes a value
    setter set;
};

// Set apart from clang-format, which would break the table's rows.
using word = std::string_view;
using opts = meter_options;
// clang-format off
const option options_table[] = {
    {"--port=", [](word v, opts& o) { return assign(whole_of<std::uint16_t>(v), o.port); }},
    {"--ipv6", [](word, opts& o) { o.ipv6 = true; return true; }},
    {"--once", [](word, opts& o) { o.once = true; return true; }},
#ifndef _WIN32
    {"--pty", [](word, opts& o) { o.link = fake_link::pty; return true; }},
#endif
    {"--dial=", [](word v, opts& o) { return read_dial(std::string(v), o.dial); }},
    {"--fault=", [](word v, opts& o) { return add_fault(v, o.faults); }},
    {"--deviation-ppm=", [](word v, opts& o) { return assign(real_of(v), o.deviation_ppm); }},
    {"--slope-ppm=", [](word v, opts& o) { return assign(real_of(v), o.slope_ppm); }},
    {"--zero=", [](word v, opts& o) { return assign(real_of(v), o.zero); }},
    {"--scatter-ppm=", [](word v, opts& o) { return assign(real_of(v), o.scatter_ppm); }},
    {"--seed=", [](word v, opts& o) { return assign(whole_of<std::uint64_t>(v), o.seed); }},
    {"--per-read=", [](word v, opts& o) { return assign(whole_of(v, 1u, 10000u), o.per_read); }},
    {"--idn=", [](word v, opts& o) { o.idn = v; return true; }},
    {"--delay-ms=", [](word v, opts& o) { return assign(whole_of<unsigned>(v), o.delay_ms); }},
};
// clang-format on

// An option without "=" must be given whole; one with it takes the rest.
bool apply(std::string_view argument, meter_options& options) {
    for (const option& o : options_table) {
        bool takes_value = o.name.back() == '=';
        if (takes_value ? argument.starts_with(o.name) : argument == o.name)
            return o.set(argument.substr(o.name.size()), options);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    meter_options options;
    for (int i = 1; i < argc; ++i) {
        if (!apply(argv[i], options)) {
            std::fprintf(stderr, "fake-meter: bad option: %s\n%s", argv[i], usage);
            return 2;
        }
    }
    try {
        fake_meter meter(options);
        if (options.link == fake_link::pty)
            std::printf("serving on %s\n", meter.pty_path().c_str());
        else
            std::printf("listening on %s:%u\n", options.ipv6 ? "[::1]" : "127.0.0.1",
                        static_cast<unsigned>(meter.port()));
        std::fflush(stdout);
        meter.wait();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fake-meter: %s\n", e.what());
        return 1;
    }
    return 0;
}
