// Assigning readings to settings by acceptance window, and averaging them.
#pragma once

#include <cstdio>
#include <span>

#include "analysis/grid.h"

// nominal[p][d] = p * decades[d], exactly.
void fill_nominal(grid& g);

// The open acceptance window of setting (p, d), in ohms.
struct window {
    double low;
    double high;
};
window window_of(const grid& g, unsigned p, unsigned d);

// Whether the setting of window `w` and nominal value `n` takes the reading
// `s`: inside the window, and not exactly the nominal value.
inline bool takes(const window& w, double n, double s) {
    return w.low < s && s < w.high && s != n;
}

// Whether a reading that a setting of decade `d` takes is echoed.
bool echoed(unsigned d, double s);

// Scans every reading for every setting of positions 1 to 10 (decade-major
// order), sums and counts the accepted ones in table order, and turns each
// sum into a mean.  Readings near 300 ohm accepted in decades 1E2 to 1E5
// are echoed to `echo` as they are accepted (a null `echo` echoes nothing).
// A setting with no readings gets a not-a-number mean.
void classify(grid& g, std::span<const float> readings, std::FILE* echo);

// The instruction set classify() searches the readings with; the results
// are the same, bit for bit, with each.  plain is the portable one that
// every target has; sse2 and avx2 exist on x86-64 (avx2 where the processor
// has it), neon on aarch64.
enum class vector_unit { plain, sse2, avx2, neon };
inline constexpr vector_unit vector_units[] = {vector_unit::plain, vector_unit::sse2,
                                               vector_unit::avx2, vector_unit::neon};
bool available(vector_unit unit);
const char* name_of(vector_unit unit);
vector_unit best_unit(); // the one classify() takes by default
void classify(grid& g, std::span<const float> readings, std::FILE* echo, vector_unit unit);

// The same classification as a plain triple loop on doubles: the reference
// that the fast one is checked and measured against.
void classify_plain(grid& g, std::span<const float> readings, std::FILE* echo);
