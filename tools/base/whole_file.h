// Whole files.  The table, the results file and the page are read by a
// compiler or a customer, who must never see half of one; the files the
// tools read (a tolerance file, earlier results) are small, and one far
// larger than its kind is not one of them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reads the whole file at `path` into `text`; false, with `why` saying
// what went wrong ("No such file or directory", "larger than 1 MiB"), when
// it cannot be read or holds more than `largest` bytes.
bool read_whole_file(const std::string& path, std::size_t largest, std::string& text,
                     std::string& why);

// The last part of a path, without its folders: what a page or a message
// that leaves the build machine names a file by.
std::string file_name(std::string_view path);

// Writes `text` to `path` beside its place, then renames it, so that a
// half-written file is never read; false on a failure, with errno saying
// why, and nothing left behind.
bool write_whole_file(const std::string& text, const std::string& path);
