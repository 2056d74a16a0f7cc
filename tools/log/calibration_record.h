// The calibration's record in a bench log's heading.  Among the comment
// lines before the first reading, a line `# key: value` with one of the
// keys below (in any case) is a field of the record:
//
//   # Item: Box 4711, precision decade, serial 0815
//   # Date: 2026-03-01
//   # Temperature: 23.0 C
//
// A value is its text, trimmed; `date`, `received` and `issued` must be
// dates YYYY-MM-DD that exist, and `interval` is the word `agreed`.  A field without a value, a
// date that is not one, or a key given twice stops the import at its line.  Every other comment
// line of the heading stays free text, as it was.
//
// Hooking it up: the log reader hands each heading line, with its line
// number, to take_heading_line(): every one, however long the heading, as
// the record holds at most one line per key and the first free lines.  A
// fault is reported as record_diagnostic(log, error) and stops the import
// like a fault in a reading; the page shows record.fields as a table and
// record.free_lines below it, and record.date is the calibration's date.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One comment line of a log's heading: its 1-based line in the log, and its
// text without the '#' and the blanks around it.
struct heading_line {
    std::size_t line = 0;
    std::string text;
};

// The keys, in the order the record lists them.
enum class record_key : std::uint8_t {
    item,        // the box: maker, model, serial
    date,        // the day of the calibration
    customer,    //
    operator_,   // who calibrated it
    location,    //
    temperature, // the conditions, as written
    humidity,    //
    reference,   // the meter or standard used, its certificate
    method,      //
    certificate, // this calibration's number
    received,    // the day the item arrived
    issued,      // the day the certificate is issued
    interval,    // "agreed": the certificate states the due date
};
inline constexpr std::size_t record_key_count = 13;

// The key as the heading writes it, in lower case: "operator".
const char* key_name(record_key key);
// The key `name` names, in any case; none for a word that is not a key.
std::optional<record_key> record_key_named(std::string_view name);

struct record_field {
    record_key key = record_key::item;
    std::string value; // trimmed; a date as written, which is date_text() of it
    std::size_t line = 0;
};

struct calibration_record {
    std::vector<record_field> fields;                // those given, in the order of record_key
    std::optional<std::chrono::year_month_day> date; // the date field's, read
    std::optional<std::chrono::year_month_day> received, issued;
    std::vector<heading_line> free_lines; // the rest, in the log's order
};

// The field of `key`, or nullptr when the heading does not give it.
const record_field* find_field(const calibration_record& record, record_key key);

struct record_error {
    std::size_t line = 0; // 1-based, in the log
    std::string what;
};

// Sorts one more line of the heading, in the log's order, into the fields
// or the free text, which keeps the first log_reader::max_heading_lines; at
// a fault says in `error` where and what is wrong, and `record` is then
// incomplete.
bool take_heading_line(heading_line line, calibration_record& record, record_error& error);

// The same for a whole heading, into an empty record.
bool read_record(const std::vector<heading_line>& heading, calibration_record& record,
                 record_error& error);

// The heading line that gives `key` the value `value`, without its line
// end: "# item: Box 4711".
std::string field_line(record_key key, std::string_view value);

// Why `value` cannot be written as the field `key` in a line that the log
// reader reads back as that field with that value (a value with blanks
// around it, a control character, a line too long, a date that is not
// one), in words that start with the key's name; nothing when it can.
std::optional<std::string> field_fault(record_key key, std::string_view value);

// A text from elsewhere (a meter's answer) made into a value of `key` that
// field_fault() passes: control characters shown as \xNN, blanks and
// control characters at its ends taken off, cut to the length a line
// holds (before a multi-byte character, not inside it).  Empty when
// nothing is left.
std::string fitted_value(record_key key, std::string_view text);

// "FILE:LINE: what is wrong".
std::string record_diagnostic(std::string_view file, const record_error& error);
