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
