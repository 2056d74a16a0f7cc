// The console tables, coloured with ANSI escapes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "analysis/grid.h"

// "Measured average", written before the readings are scanned.
void write_heading(std::FILE* out);

// Mean in ohms and reading count of every setting.
void mean_cell(std::FILE* out, double mean, std::uint32_t count);
void write_mean_table(std::FILE* out, const grid& g);

// Deviation in ppm with the count, in percent, or "Invalid data".
void ppm_cell(std::FILE* out, double ppm, std::uint32_t count);
void write_ppm_table(std::FILE* out, const grid& g);

// The header of the decade averages, leaving the line open for them.
void write_decade_header(std::FILE* out);
// The five decade averages and the total resistance, on that line.
void write_decade_line(std::FILE* out, const grid& g);

// Deviation in ohms, shown only where the ppm table shows ppm.
void deviation_cell(std::FILE* out, double ppm, double ohms);
void write_deviation_table(std::FILE* out, const grid& g);
