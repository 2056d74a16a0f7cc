// The setting grid: every per-setting result of one run.
#pragma once

#include <cstdint>

inline constexpr unsigned positions = 11;   // switch positions 0 to 10
inline constexpr unsigned decade_count = 5; // 10 ohm to 100 kilohm

// All matrices are indexed [position][decade].  Row 0 is a real row of every
// table, but no reading is ever assigned to it.
struct grid {
    double nominal[positions][decade_count];
    double mean[positions][decade_count]; // running sum during the scan
    std::uint32_t count[positions][decade_count];
    double ppm[positions][decade_count];
    double decade_average[decade_count];
};
