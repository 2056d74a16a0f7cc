// The results file as text: RFC 4180 fields and lines as the writer writes
// them, and a file read back as a table whose columns are found by the
// names in its header.  A spreadsheet that opened and saved the file again
// may have added a UTF-8 byte-order mark or changed the line ends to LF or
// CR LF; it reads the same.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A field as RFC 4180 writes it: in quotes, its quotes doubled, where it
// holds a comma, a quote or a line end (an item may: "maker, serial").
std::string csv_field(std::string_view field);

// The fields joined by commas, with a CR LF line end.
std::string csv_line(std::span<const std::string> fields);

// The header this program writes: every column of columns.h, in order,
// with its line end.
std::string results_header();

struct csv_row {
    std::size_t line = 0; // where the row starts in the file
    std::vector<std::string> fields;
};

struct csv_table {
    std::vector<std::string> header;
    std::vector<csv_row> rows; // each as wide as the header
    // The place of the column `name` in the header; none where the file
    // has no such column.
    std::optional<std::size_t> column(std::string_view name) const;
};

// Why a text does not read as a table; line 0 is the whole text.
struct csv_fault {
    std::size_t line = 0;
    std::string what;
};

// Reads `text` into `table`: a header of distinct, non-empty names, then
// rows of as many fields; blank lines are skipped.  False, with `fault`
// saying where and what, for a quote left open, text after a closing
// quote, a quote inside an unquoted field, a row of another width, or a
// text in UTF-16 or UTF-32.
bool read_csv_table(std::string_view text, csv_table& table, csv_fault& fault);
