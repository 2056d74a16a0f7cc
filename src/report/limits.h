// Deviation limits shared by the console and Textile tables.
#pragma once

// Within this many ppm a deviation is shown as such (and, in the Textile
// tables, coloured by band); beyond it, in percent without a count.
inline constexpr double shown_limit_ppm = 250;
// At or beyond this many ppm the setting is not plausibly the one measured.
inline constexpr double percent_limit_ppm = 100000;

// Strictly inside (-limit, limit); false for not-a-number values.
inline bool within(double ppm, double limit) {
    return -limit < ppm && ppm < limit;
}
