#include "acquire/resume.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/whole_file.h"

namespace {

// A log as large as the reader's cap of readings, and then some.
constexpr std::size_t largest_log = std::size_t{1} << 30;

// Whether `f` is the reference this run takes from the meter's answer,
// which the meter's comparison checks.
bool is_meters_answer(const record_field& f, const run_heading& run) {
    return f.key == record_key::reference && f.value == run.heading.identity;
}

// The meter a log names, where it names one, and the word for it.
struct named_meter {
    std::string value; // cppcheck-suppress unusedStructMember
    std::size_t line;  // cppcheck-suppress unusedStructMember
    const char* as;    // cppcheck-suppress unusedStructMember
};

// The log's meter line, or where none, its reference when this run takes
// the reference from the meter too.
std::optional<named_meter> logged_meter(const log_so_far& so_far, const run_heading& run) {
    for (const heading_line& h : so_far.record.free_lines)
        if (const std::optional<std::string> named = meter_named(h.text))
            return named_meter{*named, h.line, "meter"};
    const bool given = std::any_of(
        run.heading.fields.begin(), run.heading.fields.end(), [&](const record_field& f) {
            return f.key == record_key::reference && !is_meters_answer(f, run);
        });
    const record_field* reference = find_field(so_far.record, record_key::reference);
    if (given || !reference)
        return std::nullopt;
    return named_meter{reference->value, reference->line, "reference"};
}

// Throws unless the meter answering now is the log's; true where the log
// names none and may still be told it.
bool same_meter(const log_so_far& so_far, const run_heading& run) {
    const std::string& now = run.heading.identity;
    if (now.empty())
        return false; // a meter without an identity command: nothing to ask
    const std::optional<named_meter> then = logged_meter(so_far, run);
    if (then && then->value != now)
        throw resume_fault{then->line, "its " + std::string(then->as) + " is '" + then->value +
                                           "', but the meter at " + run.meter + " answers '" + now +
                                           "': not the same calibration"};
    if (!then && !so_far.whole.empty())
        throw resume_fault{0, "names no meter to compare the meter at " + run.meter +
                                  ", answering '" + now +
                                  "', with: not known to be the same calibration; name another "
                                  "log"};
    return !then;
}

} // namespace

std::optional<log_so_far> earlier_log(const std::string& path, bool resume) {
    std::string text, why;
    if (!read_whole_file(path, largest_log, text, why)) {
        if (errno == ENOENT)
            return std::nullopt;
        throw resume_fault{0, "cannot read the log: " + why};
    }
    if (text.empty())
        return std::nullopt;
    if (!resume)
        throw resume_fault{0, "holds readings already: --resume continues it, or name another log"};
    log_so_far so_far;
    record_error error;
    if (!read_log_so_far(text, so_far, error))
        throw resume_fault{error.line, error.what};
    return so_far;
}

std::optional<std::string> continued_text(const log_so_far& so_far, const run_heading& run) {
    log_heading missing;
    for (const record_field& f : run.heading.fields) {
        const record_field* then = find_field(so_far.record, f.key);
        if (!then)
            missing.fields.push_back(f);
        else if (then->value != f.value && !is_meters_answer(f, run) &&
                 (f.key != record_key::date || run.date_given))
            throw resume_fault{then->line, "its " + std::string(key_name(f.key)) + " is '" +
                                               then->value + "', but this run gives '" + f.value +
                                               "': not the same calibration"};
    }
    if (same_meter(so_far, run))
        missing.identity = run.heading.identity;
    // A field given now that a log with settings lacks is not added: the
    // heading is above the settings.
    if (!so_far.whole.empty())
        missing = {};
    const std::string added = heading_text(missing);
    if (so_far.set_aside == 0 && added.empty())
        return std::nullopt;
    return so_far.text + added;
}
