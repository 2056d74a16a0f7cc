#include "acquire/check.h"

#include <algorithm>
#include <cmath>

#include "audit/log_audit.h"
#include "base/text_format.h"
#include "log/log_reader.h"

namespace {

// The reading as the log will hold it, by the log reader's own rule for a
// line: the float nearest its text, or the fault that would stop the build.
line_content as_read(const meter_reading& r) {
    line_content content = read_line(r.text);
    if (!content.fault && !content.reading)
        content.fault = log_fault::not_a_number; // blank, or a comment
    return content;
}

float as_logged(const meter_reading& r) {
    return as_read(r).reading.value_or(0.0F);
}

std::optional<std::string> check_one(const setting_finder& finder, setting at,
                                     const meter_reading& r) {
    if (const std::optional<log_fault> fault = as_read(r).fault) {
        const shortened part = shorten(r.text);
        return "reads " + visible(part.kept) + part.more + ", which the log cannot hold (" +
               what(*fault) + "): check the dial and the leads";
    }
    if (std::fabs(r.value) >= overload)
        return "reads " + r.text + ": open circuit: check the leads";
    const setting_finder::found f = finder.find(as_logged(r));
    for (unsigned k = 0; k < f.count; ++k)
        if (f.taken[k] == at)
            return std::nullopt;
    if (f.count > 0)
        return "reads " + r.text + " Ω: " + setting_name(f.taken[0]) + ": check the dial";
    // The report counts a reading strictly inside a window, never one at
    // its centre; a meter that rounds to nominal loses it.
    if (f.nominal_count > 0)
        return "reads " + r.text + " Ω, exactly the nominal value of " +
               setting_name(f.nominal_of[0]) +
               ", which the report never counts: take more digits from the meter";
    return "reads " + r.text +
           " Ω, in no setting's acceptance window: check the dial and the leads";
}

// The run as the build's audit will judge it: the same code, fed the same
// floats.  The build sees the run among the log's others, so a reading
// that another setting's window also takes (position 10 of a decade and
// position 1 of the next share a value) may be judged with more company
// there; a run alone is judged alike at the bench and at the build.
std::size_t far_in_run(setting at, std::span<const meter_reading> readings) {
    log_audit audit;
    std::size_t line = 0;
    for (const meter_reading& r : readings)
        audit.add(as_logged(r), ++line);
    return std::move(audit).finish().far_count[at.p][at.d];
}

} // namespace

bool log_can_hold(std::span<const meter_reading> readings) {
    return std::none_of(readings.begin(), readings.end(),
                        [](const meter_reading& r) { return as_read(r).fault.has_value(); });
}

std::optional<std::string> check_readings(const setting_finder& finder, setting at,
                                          std::span<const meter_reading> readings) {
    for (const meter_reading& r : readings)
        if (std::optional<std::string> trouble = check_one(finder, at, r))
            return trouble;
    if (const std::size_t far = far_in_run(at, readings))
        return format("%zu of its %zu readings %s far from the rest of the run: check the leads "
                      "and that the box has settled",
                      far, readings.size(), far == 1 ? "lies" : "lie");
    return std::nullopt;
}
