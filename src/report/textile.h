// The Textile tables: the results once more, for a wiki page, with each cell
// coloured by the band its deviation falls in.
#pragma once

#include <cstdint>
#include <cstdio>

#include "analysis/grid.h"

// Colour code of the band that `ppm` falls in; nullptr outside every band.
const char* band_colour(double ppm);

// One cell: a coloured band cell with `value` written by `value_format` and
// the count, the deviation in percent, or "Invalid data" -- chosen by ppm.
void textile_cell(std::FILE* out, const char* value_format, double value, double ppm,
                  std::uint32_t count);

// The table of means, then the table of ppm values.
void write_textile_tables(std::FILE* out, const grid& g);
