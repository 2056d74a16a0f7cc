// The log an acquisition writes, which is the log the build reads: the
// calibration's record as `# key: value` lines, then for each setting a
// comment line that names it and says how many readings follow, and its
// readings, each as the meter sent it.  A setting is written whole and
// then synced to the disk, so that a crash, a kill or a power cut leaves
// whole settings and at most a partial last one, which a resumed
// acquisition sets aside in comments.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/meter.h"
#include "log/calibration_record.h"
#include "log/setting_finder.h"

// "# key: value" lines, one a field, in the record's order of keys.
std::string heading_text(const std::vector<record_field>& fields);

// A setting's comment line and its readings, each line ending in LF.
std::string setting_text(setting at, std::span<const meter_reading> readings);

// What a log written earlier holds, read back by the build's own reader.
struct log_so_far {
    calibration_record record;
    std::vector<setting> whole; // the settings it holds whole
    std::size_t readings = 0;   // theirs
    std::string text;           // the log to continue from
    std::size_t set_aside = 0;  // lines of a partial last setting, now comments
};

// Reads `text`, a log this program wrote, into `out`: every setting that
// is whole, and a partial last one (fewer readings than its line says, or
// its last line cut short) turned into comment lines in out.text.  False,
// with `error` saying "LINE: what is wrong" (or what, for the whole log),
// for a log that is not one to continue.
bool read_log_so_far(std::string_view text, log_so_far& out, std::string& error);

// Appends to the log at `path` and syncs it to the disk before it returns:
// fsync on POSIX systems, _commit on Windows.  False, with errno set, when
// the text is not all on the disk.
bool append_synced(const std::string& path, std::string_view text);
