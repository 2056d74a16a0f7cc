// The audit of a bench log against the acceptance windows of the report:
// which readings the report leaves out, which settings it has no readings
// for, and which settings it averages from several places of the log.  It
// takes the readings one at a time, in log order, and keeps a fixed amount
// of state besides a few bounded lists, so a log may be streamed through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "analysis/classify.h"
#include "analysis/grid.h"

class log_audit {
  public:
    // At most this many warnings are written, each with at most two notes.
    static constexpr std::size_t max_warnings = 20;

    log_audit();

    // The next reading of the log and its 1-based line.
    void add(float reading, std::size_t line);

    // Writes the warnings to `out` in the compiler's format, FILE:LINE:
    // warning: ..., with `file` as the name of the log (errors instead when
    // `strict`), then a one-line summary.  Returns the number of warnings,
    // shown or not.  Call once, after the last add().
    std::size_t finish(const char* file, std::FILE* out, bool strict = false);

  private:
    // Lines first-last of the log holding `count` readings.
    struct stretch {
        std::size_t first = 0, last = 0, count = 0;
        double sum = 0;
    };
    // Why a reading is in no setting's count.
    enum class kind : std::uint8_t { off_window, at_nominal, not_positive };
    struct left_out : stretch {
        kind why = kind::off_window;
        unsigned p = 0, d = 0; // the nearest setting, or the one at whose nominal value it is
        double low = 0, high = 0;
    };
    static constexpr std::size_t named_stretches = 3;
    struct setting_record {
        std::size_t count = 0;
        std::size_t last_index = 0; // index of its latest reading
        std::size_t stretches = 0;
        stretch current;
        stretch named[named_stretches]; // its first stretches
        bool has_nearest = false;       // readings left out near it
        left_out nearest;               // the first such stretch
    };

    void take(unsigned p, unsigned d, double s);
    void leave_out(kind why, unsigned p, unsigned d, double s, std::size_t line);
    void close_left_out();
    void nearest_setting(double s, unsigned& p, unsigned& d) const;

    grid g_{};
    window windows_[positions][decade_count]{};
    double per_step_[decade_count]{};
    setting_record settings_[positions][decade_count]{};

    std::size_t readings_ = 0, in_report_ = 0;
    std::size_t line_ = 0; // of the reading being added
    bool open_ = false;    // whether `left_` is still growing
    std::size_t left_index_ = 0;
    left_out left_;
    std::size_t left_out_stretches_ = 0;
    std::vector<left_out> first_left_out_; // at most max_warnings
};
