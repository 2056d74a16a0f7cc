// Rousseeuw and Croux's Qn scale of a run of readings, with the order
// statistic of the pairwise distances selected from the sorted values in
// O(n log n) expected time instead of from all n(n-1)/2 distances.
#pragma once

#include <cstddef>
#include <span>

// The k-th smallest (k from 1) of sorted[j] - sorted[i] over i < j, for at
// least two finite values sorted ascending, 1 <= k <= n(n-1)/2.  The result
// is one of those differences (zero as +0), so it is the very double that
// listing every |x_i - x_j| of the values in any order and selecting the
// k-th gives.
double kth_pair_distance(std::span<const double> sorted, std::size_t k);

// Qn of at least two finite values sorted ascending: the k-th smallest
// distance between two of them, k = h(h-1)/2 with h = n/2 + 1, scaled to
// estimate the standard deviation of a normal distribution (with Rousseeuw
// and Croux's correction for small n).  Up to nearly half of the values may
// be wild without inflating it.
double qn_scale(std::span<const double> sorted);
