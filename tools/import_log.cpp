// import_log: compiles a bench log into decade-report.  It reads the text
// log strictly, line by line up to the first fault (see log_reader.h), so an
// endless or huge file costs no more memory than its readings, and writes a
// C++ source that defines the reading table, with the readings as raw bytes
// beside it unless the table is written as literals (table_output.h); a log
// with any fault stops the build and leaves no table.
// The log is then audited against the acceptance windows (log_audit.h): the
// warnings go to standard error, and with --strict any warning is an error
// that leaves no table either.
//
//   import_log [--strict] [--table=literal|incbin] [--byte-order=little|big]
//              [--name=NAME] [--csv=RESULTS.csv] [--page=RESULTS.html]
//              [--tolerance=BOX.txt] [--history=PATH]... LOG OUT.cpp
// With --csv and --page it also writes the log's results file and its page
// of charts (results.h, results_page.h).  With --tolerance it judges each
// setting against the tolerance file (tolerance_file.h, judgement/conformity.h): a
// fault in the file stops the import like a fault in the log, and the
// judgement is summed up after the audit and goes into both files.
// Each --history names an earlier results file of the box, or a folder of
// them: each setting's change and drift are summed up after the judgement
// (assemble.h), and a fault in one stops the import too.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "audit/log_audit.h"
#include "base/whole_file.h"
#include "history/assemble.h"
#include "history/history_summary.h"
#include "judgement/conformity.h"
#include "judgement/tolerance_file.h"
#include "log/calibration_record.h"
#include "log/log_reader.h"
#include "log/text_syntax.h"
#include "results/results.h"
#include "results/results_page.h"
#include "table/table_output.h"

namespace {

// The log is read with read(), which hands over what a pipe holds at the
// moment instead of waiting to fill the buffer as fread does: a faulty
// line is told while its writer is still at work.
#ifdef _WIN32
int open_log(const char* path) {
    return _open(path, _O_RDONLY | _O_BINARY);
}
long read_some(int fd, char* buf, std::size_t size) {
    return _read(fd, buf, static_cast<unsigned>(size));
}
void close_log(int fd) {
    _close(fd);
}
#else
int open_log(const char* path) {
    return open(path, O_RDONLY | O_CLOEXEC);
}
long read_some(int fd, char* buf, std::size_t size) {
    ssize_t got;
    while ((got = read(fd, buf, size)) < 0 && errno == EINTR) {
    }
    return got;
}
void close_log(int fd) {
    close(fd);
}
#endif

// Reads the log into `reader` piece by piece, up to its first fault.
// False when the file cannot be read to its end (errno says why).
bool read_stream(int fd, log_reader& reader) {
    char buf[1 << 16];
    long got;
    while ((got = read_some(fd, buf, sizeof buf)) > 0)
        if (!reader.feed({buf, static_cast<std::size_t>(got)}))
            return true;
    return got == 0;
}

// What stands at the place of the table is an earlier table or nothing:
// a folder, a device or a pipe there is neither removed nor written (run
// as root, `import_log LOG /dev/null` would otherwise remove /dev/null).
bool replaceable(const std::string& path) {
    std::error_code ec;
    switch (std::filesystem::symlink_status(path, ec).type()) {
    case std::filesystem::file_type::none: // unknown: writing it will say why
    case std::filesystem::file_type::not_found:
    case std::filesystem::file_type::regular:
    case std::filesystem::file_type::symlink:
        return true;
    default:
        return false;
    }
}

// What the command line asks for.
struct import_options {
    bool strict = false;
    table_output table;
    std::string csv, page, tolerance; // empty when not asked for
    std::vector<std::string> history; // earlier results files, or folders of them
    std::vector<std::string> files;   // LOG and OUT.cpp
};

// A word an option takes, and what it means.
template <typename T> struct option_word {
    std::string_view word;
    T value;
};
constexpr option_word<table_form> table_forms[] = {{"literal", table_form::literal},
                                                   {"incbin", table_form::incbin}};
constexpr option_word<bool> byte_orders[] = {{"little", false}, {"big", true}}; // big-endian

template <typename T, std::size_t N>
bool one_of(std::string_view value, const option_word<T> (&words)[N], T& into) {
    for (const option_word<T>& w : words)
        if (w.word == value) {
            into = w.value;
            return true;
        }
    return false;
}

// Each option reads its value into the options; false for a value it does
// not take, so that a misspelt value never becomes a silent default (an
// empty name would give the table the program's own name, a misspelt byte
// order the bytes of the other order).
bool strict_flag(std::string_view, import_options& into) {
    into.strict = true;
    return true;
}
bool table_form_value(std::string_view value, import_options& into) {
    return one_of(value, table_forms, into.table.form);
}
bool byte_order_value(std::string_view value, import_options& into) {
    return one_of(value, byte_orders, into.table.big_endian);
}
bool table_name_value(std::string_view value, import_options& into) {
    into.table.name = value;
    return !value.empty();
}
template <std::string import_options::*file>
bool file_value(std::string_view value, import_options& into) {
    into.*file = value;
    return !value.empty();
}
bool history_value(std::string_view value, import_options& into) {
    into.history.emplace_back(value);
    return !value.empty();
}

struct option {
    std::string_view name; // a flag, or "--NAME=" before its value
    bool (*read)(std::string_view value, import_options& into);
};
constexpr option known_options[] = {
    {"--strict", strict_flag},
    {"--table=", table_form_value},
    {"--byte-order=", byte_order_value},
    {"--name=", table_name_value},
    {"--csv=", file_value<&import_options::csv>},
    {"--page=", file_value<&import_options::page>},
    {"--tolerance=", file_value<&import_options::tolerance>},
    {"--history=", history_value},
};

// The option that `arg` gives, with its value in `value`; none for a file.
const option* option_of(std::string_view arg, std::string_view& value) {
    for (const option& o : known_options)
        if (o.name.ends_with('=') ? arg.starts_with(o.name) : arg == o.name) {
            value = arg.substr(o.name.size());
            return &o;
        }
    return nullptr;
}

// The options stand anywhere (the last of one given twice counts, but
// every --history), the two
// files in order among them.  False for a value an option does not take,
// an option the importer does not know, or other than two files.
bool read_options(int argc, char** argv, import_options& into) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        const option* o = option_of(arg, value);
        if (o ? !o->read(value, into) : arg.starts_with("--"))
            return false;
        if (!o)
            into.files.emplace_back(arg);
    }
    return into.files.size() == 2;
}

// Reads the tolerance file into `judged`; false, having said why, when it
// cannot be read or has a fault.
bool read_tolerance_file(const std::string& path, log_judgement& judged) {
    // A tolerance file is a few lines; anything larger is not one.
    std::string text, why;
    if (!read_whole_file(path, 1 << 20, text, why)) {
        std::fprintf(stderr, "%s: cannot read the tolerance file: %s\n", path.c_str(), why.c_str());
        return false;
    }
    tolerance_error error;
    if (!read_tolerance(text, judged.data, error)) {
        std::fputs(tolerance_diagnostic(path, error).c_str(), stderr);
        return false;
    }
    judged.file = path;
    // The page shows the file as it reads, without a byte-order mark.
    text.erase(0, start_of_text(std::string_view(text).substr(0, encoding_bytes)).mark);
    judged.text = std::move(text);
    return true;
}

// The box's history, for a log that gives its date: the earlier results
// files of `paths` (none: the due date alone) set beside this calibration,
// and what the build says of them.  False, having said why, for a faulty
// results file.
bool add_history(log_results& results, const char* log, const std::vector<std::string>& paths) {
    const this_calibration now = history_input(results, file_name(log));
    earlier_calibrations earlier;
    std::string error;
    if (!read_history(paths, now.date, now.item, results.nominal, earlier, error)) {
        std::fputs(error.c_str(), stderr);
        return false;
    }
    std::fputs(earlier.warnings.c_str(), stderr);
    results.history = make_history(now, results.judged ? &*results.judged : nullptr, earlier.files);
    if (!paths.empty())
        std::fputs(history_summary(*results.history, log).c_str(), stderr);
    return true;
}

// The results file and the page of charts, where asked for.
bool write_results(const log_results& results, const std::string& log,
                   const std::string& audit_text, const std::string& csv, const std::string& page,
                   std::string& failed) {
    failed = csv;
    if (!csv.empty() && !write_whole_file(results_csv(results), csv))
        return false;
    failed = page;
    return page.empty() || write_whole_file(results_page(results, log, audit_text), page);
}

} // namespace

int main(int argc, char** argv) {
    import_options options;
    if (!read_options(argc, argv, options)) {
        std::fprintf(stderr, "usage: import_log [--strict] [--table=literal|incbin]\n"
                             "       [--byte-order=little|big] [--name=NAME]\n"
                             "       [--csv=RESULTS.csv] [--page=RESULTS.html]\n"
                             "       [--tolerance=BOX.txt] [--history=PATH]... LOG OUT.cpp\n");
        return 2;
    }
    const char* log = options.files[0].c_str();
    const std::string& out = options.files[1];
    const std::string &csv = options.csv, &page = options.page, &tolerance = options.tolerance;
    const std::vector<std::string>& history = options.history;
    const bool strict = options.strict;
    for (const std::string& path : {out, csv, page})
        if (!path.empty() && !replaceable(path)) {
            std::fprintf(stderr, "import_log: cannot write %s: not a regular file\n", path.c_str());
            return 1;
        }
    // Nothing is built from a log that failed, and no results are left of it.
    auto remove_all = [&] {
        remove_table(options.table, out);
        for (const std::string& path : {csv, page})
            if (!path.empty())
                std::remove(path.c_str());
    };
    remove_all();
    // A fault in the tolerance file is told before the log is read.
    log_judgement judged;
    if (!tolerance.empty() && !read_tolerance_file(tolerance, judged))
        return 1;
    const int fd = open_log(log);
    if (fd < 0) {
        std::fprintf(stderr, "%s: cannot read the log: %s\n", log, std::strerror(errno));
        return 1;
    }
    std::vector<float> readings;
    log_audit audit;
    // The record is read as the heading comes: a field counts however far
    // down the heading it is, and the first fault in it is told once the
    // log has read without one.
    calibration_record record;
    std::optional<record_error> record_fault;
    log_reader reader(
        readings, [&audit](float reading, std::size_t line) { audit.add(reading, line); },
        [&](std::size_t line, std::string_view text) {
            record_error error;
            if (!record_fault && !take_heading_line({line, std::string(text)}, record, error))
                record_fault = std::move(error);
        });
    const bool read = read_stream(fd, reader);
    const int saved = errno;
    close_log(fd);
    if (!read) {
        std::fprintf(stderr, "%s: cannot read the log: %s\n", log, std::strerror(saved));
        return 1;
    }
    if (!reader.finish()) {
        std::fputs(diagnostic(log, reader.error()).c_str(), stderr);
        return 1;
    }
    if (record_fault) {
        std::fputs(record_diagnostic(log, *record_fault).c_str(), stderr);
        return 1;
    }
    const audit_findings found = std::move(audit).finish();
    const std::string audit_said = audit_text(found, log, strict);
    std::fputs(audit_said.c_str(), stderr);
    if (found.warnings > 0 && strict) {
        std::fprintf(
            stderr,
            "%s: note: the log is audited strictly (DECADE_LOG_STRICT): nothing is built from it\n",
            log);
        return 1;
    }
    log_results results;
    if (!csv.empty() || !page.empty() || !tolerance.empty() || !history.empty()) {
        results = evaluate(readings, found);
        results.heading = reader.heading();
        results.record = std::move(record);
    }
    if (!tolerance.empty()) {
        std::string error;
        if (!judge_log(setting_inputs(results), judged, error)) {
            std::fputs(error.c_str(), stderr);
            return 1;
        }
        std::fputs(conformity_summary(judged).c_str(), stderr);
        results.judged = std::move(judged);
    }
    if (!history.empty() && !results.record.date) {
        std::fprintf(stderr,
                     "%s: the history needs the calibration's date: add a line "
                     "'# date: YYYY-MM-DD' to the log's heading\n",
                     log);
        return 1;
    }
    if (results.record.date && !add_history(results, log, history))
        return 1;
    // The page names the log by its file name alone, its audit included:
    // it goes to customers, the build machine's folders do not.
    const std::string page_name = file_name(log);
    std::string failed;
    if (!write_table(options.table, readings, out, failed) ||
        !write_results(results, page_name, audit_text(found, page_name, strict), csv, page,
                       failed)) {
        const int why = errno;
        remove_all();
        std::fprintf(stderr, "import_log: cannot write %s: %s\n", failed.c_str(),
                     std::strerror(why));
        return 1;
    }
    return 0;
}
