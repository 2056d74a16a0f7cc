#include "log/setting_finder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "readings.h"

std::string nominal_text(setting at) {
    // Whole ohms, at most 1000000: exact in any integer type.
    return std::to_string(at.p * static_cast<unsigned>(decades[at.d])) + " Ω";
}

std::string decade_name(unsigned d) {
    return "1E" + std::to_string(d + 1);
}

std::string setting_place(setting at) {
    return "position " + std::to_string(at.p) + ", decade " + decade_name(at.d);
}

std::string setting_name(setting at) {
    return "the " + setting_label(at, " setting");
}

std::string setting_label(setting at, std::string_view noun) {
    return nominal_text(at) + std::string(noun) + " (" + setting_place(at) + ")";
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
        // Rounding cannot move the quotient by half a step, and the window
        // test below is exact: the position is only where to look.
        const double q = s * per_step_[d];
        if (!(q > 0.5 && q < positions))
            continue;
        const auto p = static_cast<unsigned>(std::lround(q));
        if (p >= positions)
            continue;
        if (takes(windows_[p][d], g_.nominal[p][d], s)) {
            f.taken.at(f.count++) = {p, d};
        } else if (s == g_.nominal[p][d]) {
            f.nominal_of.at(f.nominal_count++) = {p, d};
        }
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
