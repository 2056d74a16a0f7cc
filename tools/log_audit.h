// The audit of a bench log against the acceptance windows of the report:
// which readings the report leaves out, which settings it has no readings
// for, which settings it averages from several places of the log, and
// which readings lie far from the rest of their run.  It takes the readings
// one at a time, in log order; besides a fixed amount of state it keeps
// each taken reading (8 bytes) for the last of these, so a log may be
// streamed through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/grid.h"
#include "setting_finder.h"

class log_audit {
  public:
    // At most this many warnings are written, each with at most this many
    // notes.
    static constexpr std::size_t max_warnings = 20;
    static constexpr std::size_t max_notes = 2;
    // A reading is far from the rest of its run when it lies more than this
    // many times the run's scatter from the run's median.  The scatter is
    // Rousseeuw and Croux's Qn, which a minority of wild readings cannot
    // inflate, and at least the step the readings show.
    static constexpr double far_scatters = 20;
    // A run of fewer readings is not judged: its scatter is not known well
    // enough to call a reading far from it.
    static constexpr std::size_t min_judged = 8;

    log_audit();

    // The next reading of the log and its 1-based line.
    void add(float reading, std::size_t line);

    // Writes the warnings to `out` in the compiler's format, FILE:LINE:
    // warning: ..., with `file` as the name of the log (errors instead when
    // `strict`), then a one-line summary.  Returns the number of warnings,
    // shown or not.  Call once, after the last add().
    std::size_t finish(const char* file, std::FILE* out, bool strict = false);
    // The same, into `text`.
    std::size_t finish(const char* file, std::string& text, bool strict = false);

    // After finish(): how many readings of setting (p, d) lie far from the
    // rest of their run, and the first max_far_kept of them in log order.
    std::size_t far_count(unsigned p, unsigned d) const { return settings_[p][d].far; }
    static constexpr std::size_t max_far_kept = 1000;
    struct far_reading {
        std::size_t index; // among the log's readings
        unsigned p, d;
        double value, median, scatter;
        std::size_t run_first, run_last, run_count; // the run, as indices
    };
    const std::vector<far_reading>& far_readings() const { return far_; }

    // The 1-based line of the reading of the given 0-based index.
    std::size_t line_of(std::size_t index) const;

    // A warning or error and its notes, each without "FILE:LINE: label: ".
    struct message {
        std::size_t line; // 0 for the whole log, written after the others
        std::string text;
        struct note {
            std::size_t line;
            std::string text;
        };
        std::vector<note> notes; // at most max_notes
    };

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
    // A reading a setting takes, and its place among the log's readings.
    struct taken {
        float value;
        std::uint32_t index;
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
        double sum = 0;                 // of all its readings, in log order
        std::vector<taken> readings;
        std::vector<std::uint32_t> starts; // where each stretch begins in `readings`
        std::size_t far = 0;               // readings far from the rest of their run
    };

    void take(unsigned p, unsigned d, double s);
    void leave_out(kind why, unsigned p, unsigned d, double s, std::size_t line);
    void close_left_out();
    std::string setting_name(unsigned p, unsigned d) const;

    void judge_run(unsigned p, unsigned d, std::size_t from, std::size_t to,
                   std::vector<far_reading>& found);
    std::size_t left_out_messages(std::vector<message>& out) const;
    std::size_t missing_messages(std::vector<message>& out) const;
    std::size_t several_stretch_messages(std::vector<message>& out);
    std::size_t far_messages(std::vector<message>& out);

    setting_finder finder_;
    setting_record settings_[positions][decade_count]{};

    std::size_t readings_ = 0, in_report_ = 0;
    std::size_t line_ = 0; // of the reading being added
    bool open_ = false;    // whether `left_` is still growing
    std::size_t left_index_ = 0;
    left_out left_;
    std::size_t left_out_stretches_ = 0;
    std::vector<left_out> first_left_out_; // at most max_warnings
    // The line of each reading whose line does not follow the line of the
    // reading before it, so that a reading's line is known from its index.
    struct line_jump {
        std::size_t index, line;
    };
    std::vector<line_jump> jumps_;
    std::vector<far_reading> far_;
};
