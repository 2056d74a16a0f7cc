// What decade-acquire does unless told otherwise: the usage text states
// these, and the options and the session start from them.
#pragma once

#include <cstddef>

inline constexpr unsigned default_baud = 9600;      // a serial device's speed
inline constexpr std::size_t default_readings = 10; // kept per setting
inline constexpr std::size_t default_settle = 2;    // taken first and discarded
inline constexpr unsigned default_timeout_s = 10;   // for each answer of the meter
inline constexpr unsigned default_port = 5025;      // SCPI's raw socket
