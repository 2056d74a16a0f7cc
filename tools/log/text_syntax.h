// The text syntax that a bench log, a tolerance file and a meter file
// share: blanks, control bytes, decimal numbers, how a message quotes a
// file's text, what a file's first bytes say of its encoding, and lines of
// `key = value`.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

bool is_blank(char c);                        // a blank or a tab
bool is_control(unsigned char c);             // a control byte other than a tab
std::string_view trimmed(std::string_view s); // without the blanks around it
// The length of the decimal number at the start of `s`: an optional sign,
// digits with an optional point (at least one digit), an optional exponent.
std::size_t number_length(std::string_view s);
// Whether `word`, with an optional sign, starts with "nan" or "inf" in any
// case: text that means a number, but not a finite one.
bool names_non_finite(std::string_view word);

// The shortest text that reads back as exactly `value`.
std::string shortest_text(float value);
std::string shortest_text(double value);

// `text` with each control byte written as \xNN, as a message quotes it.
std::string visible(std::string_view text);

// A message quotes at most 40 bytes of a file's text: a longer text is cut
// to its first 37 and followed by "...", and cut before a multi-byte
// character rather than inside it.
struct shortened {
    std::string_view kept;
    const char* more; // "..." when cut, else ""
};
shortened shorten(std::string_view text);

// What the first bytes of a file say of its encoding: a UTF-8 byte-order
// mark, which the readers skip, or a UTF-16 or UTF-32 file, which they
// refuse.  A UTF-16 or UTF-32 file is told by its byte-order mark or, if
// it has none, by the NUL bytes that its first characters (ASCII) hold.
inline constexpr std::size_t encoding_bytes = 4; // what it takes to tell
struct text_start {
    std::size_t mark = 0;        // bytes of a UTF-8 byte-order mark
    const char* other = nullptr; // "UTF-16 (little-endian)" and the like
};
// `first` holds the file's first encoding_bytes bytes, or all of a shorter
// file.
text_start start_of_text(std::string_view first);
// "the file is UTF-16 (little-endian); save it as UTF-8"
std::string encoding_fault(std::string_view encoding);

// A file of `key = value` lines, as the tolerance file and the meter file
// are written: `#` starts a comment, and blank lines, blanks, tabs, CR LF
// line ends and a UTF-8 byte-order mark at the start are allowed.  Each
// line that holds a key is handed on, its key and its value trimmed (the
// key never empty, the value possibly so); the user of a line throws a
// key_fault to stop the reading at it.
struct key_value_line {
    std::size_t number = 0; // 1-based
    std::string_view key, value;
};
struct key_fault {
    std::string what;
};
struct key_file_error {
    std::size_t line = 0; // 0 when the fault concerns the whole file
    std::string what;
};
bool read_key_lines(std::string_view text, const std::function<void(const key_value_line&)>& each,
                    key_file_error& error);
