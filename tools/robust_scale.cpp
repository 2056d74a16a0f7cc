#include "robust_scale.h"
#include <algorithm>
#include <cmath>
#include <vector>
double kth_pair_distance(std::span<const double> v, std::size_t k) {
    std::vector<double> d;
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = i + 1; j < v.size(); ++j)
            d.push_back(v[j] - v[i]);
    std::nth_element(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(k - 1), d.end());
    return d[k - 1];
}
double qn_scale(std::span<const double> sorted) {
    const std::size_t n = sorted.size();
    const std::size_t h = n / 2 + 1, k = h * (h - 1) / 2;
    constexpr double small_n[10] = {0, 0, 0.399, 0.994, 0.512, 0.844, 0.611, 0.857, 0.669, 0.872};
    const double size = static_cast<double>(n);
    const double correction = n < 10       ? small_n[n]
                              : n % 2 == 1 ? size / (size + 1.4)
                                           : size / (size + 3.8);
    return 2.2219 * correction * kth_pair_distance(sorted, k);
}
