// Deviations from nominal derived from the means.
#pragma once

#include "analysis/grid.h"

// The deviation of `mean` from `nominal` in parts per million.
inline double ppm_of(double mean, double nominal) {
    return (mean / nominal - 1) * 1000000;
}

// An amount in ohms (a scatter, a distance between readings) in parts per
// million of `nominal`.
inline double relative_ppm(double ohms, double nominal) {
    return ohms / nominal * 1000000;
}

// ppm[p][d] = ppm_of(mean, nominal) for every setting, row 0 included:
// 0/0 there, and for settings without readings, leaves a not-a-number value.
void compute_ppm(grid& g);

// The ten means of each decade added in position order and divided by 10,
// whatever their counts.
void compute_decade_average(grid& g);

// The five position-10 means added in decade order, in megohms: the box with
// every decade at full setting.
double total_resistance(const grid& g);

// Signed deviation of the mean from nominal, in ohms.
inline double ohm_deviation(const grid& g, unsigned p, unsigned d) {
    return g.mean[p][d] - g.nominal[p][d];
}

inline double percent(double ppm) {
    return ppm / 10000;
}
