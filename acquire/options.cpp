#include "acquire/options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>
#include <system_error>

#include "acquire/address.h"
#include "acquire/plan.h"
#include "base/calendar.h"
#include "base/text_format.h"
#include "log/text_syntax.h"

namespace {

const std::string& usage_text() {
    static const std::string text = format(
        "usage: decade-acquire --meter=ADDRESS [options] LOG\n"
        "  ADDRESS  HOST:PORT, [IPv6]:PORT or HOST (port %u), or a serial device (/dev/ttyUSB0, "
        "COM3)\n"
        "  --baud=N             a serial device's speed, 8 data bits, no parity, 1 stop bit "
        "(%u)\n"
        "  --readings=N         readings kept per setting (%zu)\n"
        "  --settle=K           readings taken first and discarded (%zu)\n"
        "  --settings=LIST      settings to measure: 1E2, 1E3:5, 1E3:4-7, separated by commas "
        "(all)\n"
        "  --field=KEY=VALUE    a field of the calibration's record (item, date, operator, ...)\n"
        "  --meter-file=FILE    the meter's commands, where it does not speak the default SCPI\n"
        "  --timeout=SECONDS    for each answer of the meter (%u)\n"
        "  --transcript=FILE    every line sent and received, with the time\n"
        "  --tolerance=FILE     the box's tolerance file: each setting's verdict at the bench\n"
        "  --lab=FILE           the laboratory's file: the meter refused once its calibration is "
        "due\n"
        "  --resume             continue LOG where an earlier run stopped\n",
        default_port, default_baud, default_readings, default_settle, default_timeout_s);
    return text;
}

} // namespace

const char* const acquire_usage = usage_text().c_str();

namespace {

template <typename T> bool whole(std::string_view text, T& value, T low, T high) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && value >= low && value <= high;
}

using reader = std::string (*)(std::string_view value, acquire_options& o);

std::string meter_option(std::string_view v, acquire_options& o) {
    o.meter = v;
    meter_address address;
    std::string error;
    if (v.empty())
        return "--meter needs an address";
    return read_meter_address(v, default_port, address, error) ? "" : "--meter: " + error;
}
std::string baud_option(std::string_view v, acquire_options& o) {
    return whole(v, o.baud, 50u, 4'000'000u) ? "" : "--baud takes a speed in bits per second";
}
std::string readings_option(std::string_view v, acquire_options& o) {
    return whole(v, o.readings, std::size_t{1}, std::size_t{100'000})
               ? ""
               : "--readings takes a count from 1 to 100000";
}
std::string settle_option(std::string_view v, acquire_options& o) {
    return whole(v, o.settle, std::size_t{0}, std::size_t{1000})
               ? ""
               : "--settle takes a count from 0 to 1000";
}
std::string settings_option(std::string_view v, acquire_options& o) {
    std::string error;
    return read_settings_list(v, o.settings, error) ? "" : "--settings: " + error;
}
std::string field_option(std::string_view v, acquire_options& o) {
    const std::size_t equals = v.find('=');
    const std::optional<record_key> key = record_key_named(v.substr(0, equals));
    if (equals == std::string_view::npos || !key) {
        std::string keys;
        for (std::size_t k = 0; k < record_key_count; ++k)
            keys += (k == 0 ? "" : ", ") + std::string(key_name(static_cast<record_key>(k)));
        return "--field takes KEY=VALUE, KEY one of the record's: " + keys;
    }
    // Trimmed as the log's reader trims it, so that the log holds what was
    // given and a resumed run compares the same text.
    const std::string value(trimmed(v.substr(equals + 1)));
    if (std::any_of(o.fields.begin(), o.fields.end(),
                    [&](const record_field& f) { return f.key == *key; }))
        return std::string("--field ") + key_name(*key) + " given twice";
    if (const std::optional<std::string> fault = field_fault(*key, value))
        return "--field " + *fault;
    o.fields.push_back({*key, value, 0});
    std::sort(o.fields.begin(), o.fields.end(),
              [](const record_field& a, const record_field& b) { return a.key < b.key; });
    return "";
}
std::string meter_file_option(std::string_view v, acquire_options& o) {
    o.meter_file = v;
    return v.empty() ? "--meter-file needs a file" : "";
}
std::string timeout_option(std::string_view v, acquire_options& o) {
    unsigned seconds = 0;
    if (!whole(v, seconds, 1u, 3600u))
        return "--timeout takes whole seconds from 1 to 3600";
    o.timeout = seconds;
    return "";
}
std::string transcript_option(std::string_view v, acquire_options& o) {
    o.transcript = v;
    return v.empty() ? "--transcript needs a file" : "";
}
std::string lab_option(std::string_view v, acquire_options& o) {
    o.lab = v;
    return v.empty() ? "--lab needs a file" : "";
}
std::string tolerance_option(std::string_view v, acquire_options& o) {
    o.tolerance = v;
    return v.empty() ? "--tolerance needs a file" : "";
}
std::string resume_option(std::string_view, acquire_options& o) {
    o.resume = true;
    return "";
}

struct option {
    std::string_view name; // with its '=' where it takes a value
    reader read;           // cppcheck-suppress unusedStructMember
};
constexpr option options[] = {
    {"--meter=", meter_option},
    {"--baud=", baud_option},
    {"--readings=", readings_option},
    {"--settle=", settle_option},
    {"--settings=", settings_option},
    {"--field=", field_option},
    {"--meter-file=", meter_file_option},
    {"--timeout=", timeout_option},
    {"--transcript=", transcript_option},
    {"--tolerance=", tolerance_option},
    {"--lab=", lab_option},
    {"--resume", resume_option},
};

} // namespace

bool read_acquire_options(std::span<char* const> args, acquire_options& o, std::string& error) {
    o = {};
    o.settings = all_settings();
    std::vector<std::string_view> given;
    for (const char* arg_text : args) {
        const std::string_view arg = arg_text;
        const auto opt = std::find_if(std::begin(options), std::end(options), [&](const option& x) {
            return x.name.ends_with('=') ? arg.starts_with(x.name) : arg == x.name;
        });
        if (opt == std::end(options)) {
            if (arg.starts_with("-") && arg != "-") {
                error = "unknown option " + std::string(arg);
                return false;
            }
            if (!o.log.empty()) {
                error = "one log, not two: " + o.log + " and " + std::string(arg);
                return false;
            }
            o.log = arg;
            continue;
        }
        if (opt->name != "--field=" &&
            std::find(given.begin(), given.end(), opt->name) != given.end()) {
            error = std::string(opt->name.substr(0, opt->name.find('='))) + " given twice";
            return false;
        }
        given.push_back(opt->name);
        error = opt->read(arg.substr(opt->name.ends_with('=') ? opt->name.size() : arg.size()), o);
        if (!error.empty())
            return false;
    }
    if (o.meter.empty())
        error = "no --meter: the address of the meter";
    else if (o.log.empty())
        error = "no LOG: the file the readings go to";
    return error.empty();
}
