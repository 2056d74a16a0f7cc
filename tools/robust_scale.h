#pragma once
#include <cstddef>
#include <span>
double kth_pair_distance(std::span<const double> sorted, std::size_t k);
double qn_scale(std::span<const double> sorted);
