// Writing a file whole: the table, the results file and the page are read
// by a compiler or a customer, who must never see half of one.
#pragma once

#include <string>

// Writes `text` to `path` beside its place, then renames it, so that a
// half-written file is never read; false on a failure, with errno saying
// why, and nothing left behind.
bool write_whole_file(const std::string& text, const std::string& path);
