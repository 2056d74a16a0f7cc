// The log an acquisition writes, which is the log the build reads: the
// calibration's record as `# key: value` lines, then for each setting a
// comment line that names it and says how many readings follow, and its
// readings, each as the meter sent it.  A setting is written whole and
// then synced to the disk, so that a crash, a kill or a power cut leaves
// whole settings and at most a partial last one, which a resumed
// acquisition sets aside in comments.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/meter.h"
#include "log/calibration_record.h"
#include "log/setting_finder.h"

// "# key: value" lines, one a field, in the record's order of keys, each
// as field_line() writes it; then where the meter's identity is not the
// reference (one is given), a line "# meter: IDENTITY", so that a resumed
// run can still ask the meter who it is.
struct log_heading {
    std::vector<record_field> fields;
    std::string identity; // fitted_value() of the meter's answer; may be empty
};
std::string heading_text(const log_heading& heading);
// The identity a heading's free line names, if it is the meter's line.
std::optional<std::string> meter_named(std::string_view free_line);

// A setting's comment line and its readings, each line ending in LF.
std::string setting_text(setting at, std::span<const meter_reading> readings);

// What a log written earlier holds, read back by the build's own reader.
struct log_so_far {
    calibration_record record;
    std::vector<setting> whole; // the settings it holds whole
    std::size_t readings = 0;   // theirs
    std::string text;           // the log to continue from
    std::size_t set_aside = 0;  // lines of a partial last setting, now comments
    bool heading_cut = false;   // the set-aside lines are the heading's
};

// Reads `text`, a log this program wrote, into `out`: every setting that
// is whole, and a partial last one (fewer readings than its line says, or
// its last line cut short, in a setting or in the heading) turned into
// comment lines in out.text.  False, with `error` saying where and what is
// wrong, for a log that is not one to continue.
bool read_log_so_far(std::string_view text, log_so_far& out, record_error& error);

// Appends to the log at `path` and syncs it to the disk before it returns:
// fsync on POSIX systems, _commit on Windows.  False, with errno set, when
// the text is not all on the disk.
bool append_synced(const std::string& path, std::string_view text);

// A log's text replaced in steps, each of which leaves in the log's place
// its old text whole or the new one: the new text written to a file
// beside it and synced, renamed over it, and its folder synced so that the
// rename is on the disk too.  A log that is a symbolic link is replaced
// where it points.
struct log_replacement {
    std::string path;   // the log's own file, a symbolic link followed
    std::string beside; // where the new text is written first
    std::string_view text;
    int fd = -1; // beside, while it is written
};
log_replacement replacement_of(const std::string& log, std::string_view text);
using replace_step = bool (*)(log_replacement&);
extern const replace_step replace_steps[4];
// Runs the steps in turn; false, with errno set, the log as it was and
// nothing left beside it, on a failure.
bool replace_synced(log_replacement& r);
