// Figures and line numbers as the tools write them into the results file,
// the page and their messages.  A value that is not finite (the scatter of
// a single reading, say) is no figure: it is written as nothing, never as
// "nan" or "inf".
#pragma once

#include <cstddef>
#include <string>

// The value by the printf `pattern`; empty where it is not finite.
std::string figure_text(const char* pattern, double value);

// The shortest text without an exponent that reads back as exactly
// `value`; empty where it is not finite.
std::string double_text(double value);

// The lines first to last of a log: "5", or "5-20".
std::string line_span(std::size_t first, std::size_t last);

// "line 5", or "lines 5-20".
std::string lines_text(std::size_t first, std::size_t last);

// "1 reading", "2 readings".
std::string readings_text(std::size_t count);
