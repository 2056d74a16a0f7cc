// Which settings take a reading, by the report's own acceptance windows, at
// the cost of one window test per decade; and the nearest setting to a
// reading that none takes.  The audit and the results of a log share it.
#pragma once

#include <string>

#include "analysis/classify.h"
#include "analysis/grid.h"

struct setting {
    unsigned p = 0, d = 0;
};

// "position 3, decade 1E2": how the audit and the page name a setting.
std::string setting_place(setting at);

class setting_finder {
  public:
    setting_finder();

    // The settings that take `s` (at most two: position 10 of a decade and
    // position 1 of the next share a value); when none does and `s` is a
    // nominal value, `at_nominal` is the setting it is the value of.
    struct found {
        unsigned count = 0;
        setting taken[2];
        bool is_nominal = false;
        setting at_nominal;
    };
    found find(double s) const;

    // The setting of least relative deviation from a positive reading; of
    // the two settings that share a value, the one of the higher decade,
    // whose window is the wider.
    setting nearest(double s) const;

    double nominal(setting at) const { return g_.nominal[at.p][at.d]; }
    const window& window_of(setting at) const { return windows_[at.p][at.d]; }

  private:
    grid g_{};
    window windows_[positions][decade_count]{};
    double per_step_[decade_count]{};
};
