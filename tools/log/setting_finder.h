// Which settings take a reading, by the report's own acceptance windows, at
// the cost of one window test per decade; and the nearest setting to a
// reading that none takes.  The audit and the results of a log share it,
// and it names a setting for both.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "analysis/classify.h"
#include "analysis/grid.h"

struct setting {
    unsigned p = 0, d = 0;
    bool operator==(const setting&) const = default;
};

// "300 Ω": a setting's nominal value.
std::string nominal_text(setting at);
// "position 3, decade 1E2": where a setting is on the box.
std::string setting_place(setting at);
// "300 Ω (position 3, decade 1E2)", with `noun` after the value:
// "300 Ω setting (position 3, decade 1E2)".
std::string setting_label(setting at, std::string_view noun = "");
// "the 300 Ω setting (position 3, decade 1E2)": a setting in a message.
std::string setting_name(setting at);
// A decade's name, by its index from 0: "1E1" to "1E5", as the tolerance
// file, the results and the page write it.
std::string decade_name(unsigned d);

class setting_finder {
  public:
    setting_finder();

    // The settings that take `s`: at most two, as the windows of a decade
    // are narrower than its step and only position 10 of a decade and
    // position 1 of the next share a value.  When none does and `s` is a
    // nominal value, `nominal_of` holds the settings it is the value of,
    // lower decade first: two for 100 Ω, 1, 10 and 100 kΩ, else one.
    struct found {
        unsigned count = 0;
        std::array<setting, 2> taken;
        unsigned nominal_count = 0;
        std::array<setting, 2> nominal_of;
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
