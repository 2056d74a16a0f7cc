// The compiled-in bench log and the decade steps of the box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Readings in ohms, in the order they were taken.  The table is imported
// from a text log when the program is built (tools/import_log.cpp):
// data/readings.txt unless the build names another log.
extern const std::size_t reading_count;
extern const float data[];

inline std::span<const float> all_readings() {
    return {data, reading_count};
}

// Step of each decade in ohms, indexed by decade: 10 ohm to 100 kilohm.
inline constexpr std::int32_t decades[5] = {10, 100, 1000, 10000, 100000};
