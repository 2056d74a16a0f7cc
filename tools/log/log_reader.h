// The text form of a bench log, as a meter or a logging script writes it:
// one reading in ohms per line.  Blank lines and lines whose first
// non-blank character is '#' are skipped; anything else stops the import.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/text_syntax.h"

// The size line of the report prints the table's bytes with %d, and a table
// of this many readings still compiles in well under a minute.
inline constexpr std::size_t max_readings = 10'000'000;
// No reading needs more; a longer line is not a reading (comments included).
inline constexpr std::size_t max_line_length = 256;

// What stops an import.  The first concerns the whole file but is told at
// its first line, the next group concerns one line, the last two the whole
// log.
enum class log_fault {
    other_encoding, // the text names it
    too_long,
    control_character,
    not_a_number,
    not_finite,
    comma,
    two_numbers,
    text_after_number,
    out_of_range,
    too_many_readings,
    no_readings,
};

struct log_error {
    log_fault fault = log_fault::no_readings;
    std::size_t line = 0; // 1-based; 0 when the error concerns the whole log
    std::string text;     // the offending line, trimmed, shortened and printable;
                          // for other_encoding the encoding
};

// What is wrong, in words.
const char* what(log_fault fault);

// Hands each reading to its user as it is read, with its 1-based line in
// the text (blank and comment lines count as lines).
using reading_sink = std::function<void(float reading, std::size_t line)>;
// Hands each comment line before the first reading to its user, without
// its '#' and the blanks around it, with its 1-based line: every one,
// however long the heading, so that a record field anywhere in it counts.
using heading_sink = std::function<void(std::size_t line, std::string_view text)>;

// Reads a log as it comes, in pieces of any size, into `readings` (each the
// float nearest to its decimal text).  It stops at the first line that is
// neither a reading, blank, nor a comment, and holds no more of the text
// than one line: a line is known to be too long once it holds
// max_line_length + 2 bytes (room for a CR), and is shown from those.  A
// UTF-8 byte-order mark at the start is skipped; a UTF-16 or UTF-32 log is
// refused at once (text_syntax.h).
class log_reader {
  public:
    explicit log_reader(std::vector<float>& readings, reading_sink each = {},
                        heading_sink each_heading = {});
    // The next bytes of the log; false from the first fault on, when there
    // is nothing more to read.
    bool feed(std::string_view bytes);
    // The end of the log: false for a fault, in its last line or a log
    // without readings.
    bool finish();
    const log_error& error() const { return error_; }
    // The comment lines before the first reading, each without its '#' and
    // the blanks around it: what a bench writes at the top of a log (the
    // box, the date, the temperature).  The first max_heading_lines only,
    // as many as the page shows: heading_sink sees them all.
    static constexpr std::size_t max_heading_lines = 20;
    const std::vector<std::string>& heading() const { return heading_; }
    // The 1-based line in the log of each of heading().
    const std::vector<std::size_t>& heading_lines() const { return heading_lines_; }

  private:
    bool start();
    bool take_lines(std::string_view bytes);
    bool end_line();
    void take_heading(std::string_view field);
    bool fail(log_fault fault, std::string_view line);

    std::vector<float>& readings_;
    reading_sink each_;
    heading_sink each_heading_;
    bool started_ = false; // once the first bytes have told the encoding
    std::string start_;    // the first bytes until then
    std::string line_;
    std::size_t line_number_ = 1;
    bool failed_ = false;
    log_error error_;
    bool read_any_ = false;
    std::vector<std::string> heading_;
    std::vector<std::size_t> heading_lines_;
};

// What the reader makes of one line of a log, without its line end: the
// reading it holds, nothing (a blank line or a comment), or the fault that
// stops an import.  The one rule for a line, that decade-acquire asks too
// before it writes one.
struct line_content {
    std::optional<float> reading;
    std::optional<log_fault> fault;
};
line_content read_line(std::string_view line);

// Reads every reading of `text` as a log_reader does, and says in `error`
// where and why it stopped.
bool read_log(std::string_view text, std::vector<float>& readings, log_error& error);
bool read_log(std::string_view text, std::vector<float>& readings, log_error& error,
              const reading_sink& each);

// "FILE:LINE: what: text", and a note on what a line may hold.
std::string diagnostic(std::string_view file, const log_error& error);

// The shortest text that reads back as exactly `reading`.
std::string reading_text(float reading);
