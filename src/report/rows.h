// The row frame shared by every table of the report.
#pragma once

#include <cstdio>

#include "analysis/grid.h"

// Writes one cell of setting (p, d).
using cell_writer = void (*)(std::FILE* out, const grid& g, unsigned p, unsigned d);

// Row starts: the console tables and the Textile tables label rows differently.
inline constexpr const char* console_row = " %02d | ";
inline constexpr const char* textile_row = "| %02d |";

// Rows 00 to 10: the row start with the position, five cells, then " \r\n".
void write_rows(std::FILE* out, const char* row_start, const grid& g, cell_writer cell);
