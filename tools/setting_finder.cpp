#include "setting_finder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "readings.h"

std::string setting_place(setting at) {
    return "position " + std::to_string(at.p) + ", decade 1E" + std::to_string(at.d + 1);
}

setting_finder::setting_finder() {
    fill_nominal(g_);
    for (unsigned d = 0; d < decade_count; ++d)
        per_step_[d] = 1.0 / decades[d];
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            windows_[p][d] = ::window_of(g_, p, d);
}

// Within a decade the windows are narrower than a step and centred on whole
// steps, so only the position nearest to a reading can take it.
setting_finder::found setting_finder::find(double s) const {
    found f;
    for (unsigned d = 0; d < decade_count; ++d) {
        const double q = s * per_step_[d]; // rounding cannot move it by half a step
        if (!(q > 0.5 && q < 10.5))
            continue;
        const auto p = static_cast<unsigned>(std::lround(q));
        const window& w = windows_[p][d];
        if (!(w.low < s && s < w.high))
            continue;
        if (s == g_.nominal[p][d]) {
            f.is_nominal = true;
            f.at_nominal = {p, d};
            continue;
        }
        f.taken[f.count++] = {p, d};
    }
    return f;
}

setting setting_finder::nearest(double s) const {
    setting best_setting;
    double best = std::numeric_limits<double>::infinity();
    for (unsigned d = 0; d < decade_count; ++d) {
        const double q = std::clamp(s / decades[d], 1.0, 10.0);
        const auto below = static_cast<unsigned>(q);
        for (unsigned p : {below, std::min(below + 1, 10u)}) {
            const double off = std::fabs(s / g_.nominal[p][d] - 1);
            if (off <= best) {
                best = off;
                best_setting = {p, d};
            }
        }
    }
    return best_setting;
}
