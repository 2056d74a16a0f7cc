// The row frame shared by every table of the report.
#pragma once

#include <cstdio>

#include "analysis/grid.h"

// Writes one cell of setting (p, d).
using cell_writer = void (*)(std::FILE* out, const grid& g, unsigned p, unsigned d);

// Row starts: the console tables and the Textile tables label rows differently.
inline constexpr const char* console_row = " %02d | ";
inline constexpr const char* textile_row = "| %02d |";

// A table: `header` as it stands, then rows 00 to 10, each the row start
// with the position, five cells, and " \r\n".
void write_table(std::FILE* out, const char* header, const char* row_start, const grid& g,
                 cell_writer cell);
