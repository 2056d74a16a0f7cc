#include "analysis/classify.h"

#include "readings.h"

void fill_nominal(grid& g) {
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            g.nominal[p][d] = static_cast<std::int32_t>(p) * decades[d];
}

// The 10 ohm decade takes 0.1 ohm either side; the others 0.8 % of their
// step, the same at every position of the decade.
window window_of(const grid& g, unsigned p, unsigned d) {
    double n = g.nominal[p][d];
    double half = d == 0 ? 0.1 : 0.008 * decades[d];
    return {n - half, n + half};
}

namespace {

// The bench operator watched the 300 ohm setting; its readings are echoed.
bool echoed(unsigned d, double s) {
    return d > 0 && 299 < s && s < 301;
}

void scan_setting(grid& g, unsigned p, unsigned d, std::span<const float> readings,
                  std::FILE* echo) {
    const window w = window_of(g, p, d);
    const double n = g.nominal[p][d];
    double& sum = g.mean[p][d];
    std::uint32_t& count = g.count[p][d];
    for (float reading : readings) {
        const double s = reading;
        if (!(w.low < s && s < w.high) || s == n)
            continue;
        sum += s;
        ++count;
        if (echoed(d, s))
            std::fprintf(echo, "%f\r\n", s);
    }
    sum /= count; // 0/0 leaves a setting without readings not a number
}

} // namespace

void classify(grid& g, std::span<const float> readings, std::FILE* echo) {
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            scan_setting(g, p, d, readings, echo);
}
