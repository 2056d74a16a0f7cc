// A value for every setting of the box, by position and decade as the
// report's grid holds them: positions 1 to 10 (0 is unused), decades 1E1
// to 1E5.
#pragma once

#include <array>

#include "analysis/grid.h"

// std::array, not a C array, so that a grid can be handed to a function
// by reference with its size in its type.
template <typename T> using setting_grid = std::array<std::array<T, decade_count>, positions>;
