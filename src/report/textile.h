// The Textile tables: the results once more, for a wiki page, with each cell
// coloured by the band its deviation falls in.
#pragma once

#include <cstdint>
#include <cstdio>

#include "analysis/grid.h"

// Colour code of the band that `ppm` falls in; nullptr outside every band.
const char* band_colour(double ppm);
// Colour code of a cell of the tables: its band's within the shown limit,
// else nullptr (a deviation in percent, or "Invalid data").
const char* cell_colour(double ppm);

// Formats of a band cell in the table of means and in the table of ppm
// values; each takes the colour code, the value and the count.
extern const char* const mean_band_format;
extern const char* const ppm_band_format;

// One cell, chosen by ppm: a band cell written by `band_format`, the
// deviation in percent, or "Invalid data".
void textile_cell(std::FILE* out, const char* band_format, double value, double ppm,
                  std::uint32_t count);

// The table of means, then the table of ppm values.
void write_textile_tables(std::FILE* out, const grid& g);
