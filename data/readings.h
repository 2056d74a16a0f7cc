// The compiled-in bench log and the decade steps of the box.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t reading_count = 5410;

// Readings in ohms, in the order they were taken (generated: see tools/).
extern const float data[reading_count];

// Step of each decade in ohms, indexed by decade: 10 ohm to 100 kilohm.
inline constexpr std::int32_t decades[5] = {10, 100, 1000, 10000, 100000};
