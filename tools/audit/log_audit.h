// The audit of a bench log against the acceptance windows of the report:
// which readings the report leaves out, which settings it has no readings
// for, which settings it averages from several places of the log, and
// which readings lie far from the rest of their run.  It takes the readings
// one at a time, in log order, and judges each run of a setting as soon as
// the run is over, so a log may be streamed through it: it never holds the
// whole log.  Besides a fixed amount of state and what its warnings will
// name, it holds the readings of the runs still open (8 bytes each), 16
// bytes for each place where comment or blank lines break the run of
// reading lines (line_map), the far readings found (cut now and then to the
// first max_far_kept) and 4 bytes for each far reading that two settings
// take (every one, so that each is counted once, however many there are).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/grid.h"
#include "log/setting_finder.h"

// A reading far from the rest of its run, and the run.
struct far_reading {
    std::size_t index; // among the log's readings
    setting at;
    double value, median, scatter;
    std::size_t run_first, run_last, run_count; // the run, as indices
};

// A warning or error and its notes, each without "FILE:LINE: label: ".
struct audit_message {
    std::size_t line; // 0 for the whole log, written after the others
    std::string text;
    struct note {
        std::size_t line;
        std::string text;
    };
    std::vector<note> notes;
};

// The 1-based line of each reading, from its 0-based index: only the
// readings whose line does not follow the line of the reading before them
// are kept.
class line_map {
  public:
    void add(std::size_t index, std::size_t line);
    std::size_t line_of(std::size_t index) const;

  private:
    struct jump {
        std::size_t index, line;
    };
    std::vector<jump> jumps_;
    std::size_t next_index_ = 0, next_line_ = 0;
};

// What the audit found: the wording of the build's warnings, the results
// file and the page each read it.
struct audit_findings {
    // The warnings to show, in the order of the lines they name (the whole
    // log's last), at most max_warnings; and how many there are in all.
    std::vector<audit_message> shown;
    std::size_t warnings = 0;
    std::size_t readings = 0, in_report = 0, measured = 0;
    // How many readings of each setting lie far from the rest of their run,
    // and the first max_far_kept such findings in log order.  A reading of
    // two settings (position 10 of a decade is position 1 of the next) is
    // one finding for each, lower decade first, and the two are kept or
    // left together: the findings kept may be max_far_kept + 1.
    std::size_t far_count[positions][decade_count]{};
    std::vector<far_reading> far;
    line_map lines;
};

class log_audit {
  public:
    // At most this many warnings are shown, each with at most this many
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
    // Far readings kept for the results file and the page, the first in
    // log order (and the second setting of a shared one); the rest are only
    // counted.
    static constexpr std::size_t max_far_kept = 1000;

    log_audit();

    // The next reading of the log and its 1-based line.
    void add(float reading, std::size_t line);

    // What the audit found in the whole log.  It ends the audit, so it is
    // called on the audit as it is given up: std::move(audit).finish().
    audit_findings finish() &&;

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
        setting near; // the nearest setting, or the one at whose nominal value it is
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
        std::vector<taken> run;         // the readings of `current`, until judged
        std::size_t far = 0;            // readings far from the rest of their run
    };

    void take(setting at, double s);
    void leave_out(kind why, setting near, double s, std::size_t line);
    void close_left_out();
    void close_runs_over();
    void close_run(setting at);
    void judge_run(setting at, std::vector<taken>& run);
    double step_shown(const std::vector<double>& sample);
    void keep_first_far();
    void close_stretches();

    std::size_t left_out_messages(std::vector<audit_message>& out) const;
    std::size_t missing_messages(std::vector<audit_message>& out) const;
    std::size_t several_stretch_messages(std::vector<audit_message>& out) const;
    std::size_t far_messages(std::vector<audit_message>& out) const;
    audit_message far_message(const far_reading* first, const far_reading* end) const;

    setting_finder finder_;
    setting_record settings_[positions][decade_count]{};

    std::size_t readings_ = 0, in_report_ = 0;
    std::size_t line_ = 0; // of the reading being added
    bool open_ = false;    // whether `left_` is still growing
    std::size_t left_index_ = 0;
    left_out left_;
    std::size_t left_out_stretches_ = 0;
    std::vector<left_out> first_left_out_; // at most max_warnings
    line_map lines_;
    std::vector<far_reading> far_;
    std::size_t far_found_ = 0;             // every finding, kept or not
    std::vector<std::uint32_t> far_of_two_; // far readings that two settings take
    std::vector<double> sorted_, steps_;    // scratch for judging a run
};

// The warnings in the compiler's format, FILE:LINE: warning: ..., with
// `file` as the name of the log (errors instead when `strict`), each with
// its notes, then how many more there were and a one-line summary.
std::string audit_text(const audit_findings& found, std::string_view file, bool strict = false);
