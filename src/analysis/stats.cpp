#include "analysis/stats.h"

void compute_ppm(grid& g) {
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            g.ppm[p][d] = ppm_of(g.mean[p][d], g.nominal[p][d]);
}

void compute_decade_average(grid& g) {
    for (unsigned d = 0; d < decade_count; ++d) {
        g.decade_average[d] = 0;
        for (unsigned p = 1; p < positions; ++p)
            g.decade_average[d] += g.mean[p][d];
        g.decade_average[d] /= 10;
    }
}

double total_resistance(const grid& g) {
    double sum = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        sum += g.mean[10][d];
    return sum * 0.000001;
}
