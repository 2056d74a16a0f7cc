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
// setting against the tolerance file (tolerance_file.h, conformity.h): a
// fault in the file stops the import like a fault in the log, and the
// judgement is summed up after the audit and goes into both files.
// Each --history names an earlier results file of the box, or a folder of
// them: each setting's change and drift are summed up after the judgement
// (assemble.h), and a fault in one stops the import too.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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
#include "history/assemble.h"
#include "history/calibration_record.h"
#include "judgement/tolerance_file.h"
#include "log/log_reader.h"
#include "results/conformity.h"
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

// Takes `flag` out of argv wherever it stands, leaving the other arguments
// in order, as table_output::take_options does with its own.
bool take_flag(int& argc, char** argv, std::string_view flag) {
    bool found = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == flag)
            found = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return found;
}

// Takes each OPTION=VALUE out of argv into `values`, as take_flag does;
// false when a value is empty, as a file name cannot be.
bool take_values(int& argc, char** argv, std::string_view option,
                 std::vector<std::string>& values) {
    bool named = true;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, option.size()) == option) {
            values.emplace_back(arg.substr(option.size()));
            named = named && !values.back().empty();
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return named;
}

// The same for an option given once: the last value counts.
bool take_value(int& argc, char** argv, std::string_view option, std::string& value) {
    std::vector<std::string> values;
    const bool named = take_values(argc, argv, option, values);
    if (!values.empty())
        value = values.back();
    return named;
}

// Reads the tolerance file into `judged`; false, having said why, when it
// cannot be read or has a fault.
bool read_tolerance_file(const std::string& path, log_judgement& judged) {
    // A tolerance file is a few lines; anything larger is not one.
    constexpr std::size_t largest = 1 << 20;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "%s: cannot read the tolerance file: %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    std::string text(largest + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f));
    const bool failed = std::ferror(f) != 0;
    const int why = errno;
    std::fclose(f);
    if (failed || text.size() > largest) {
        std::fprintf(stderr, "%s: cannot read the tolerance file: %s\n", path.c_str(),
                     failed ? std::strerror(why) : "larger than 1 MiB");
        return false;
    }
    tolerance_error error;
    if (!read_tolerance(text, judged.data, error)) {
        std::fputs(tolerance_diagnostic(path, error).c_str(), stderr);
        return false;
    }
    judged.file = path;
    judged.text = std::move(text);
    return true;
}

// The calibration's record in the log's heading; false, having said where,
// for a faulty field.
bool read_heading(const log_reader& reader, const char* log, calibration_record& record) {
    std::vector<heading_line> heading;
    for (std::size_t i = 0; i < reader.heading().size(); ++i)
        heading.push_back({reader.heading_lines()[i], reader.heading()[i]});
    record_error error;
    if (!read_record(heading, record, error)) {
        std::fputs(record_diagnostic(log, error).c_str(), stderr);
        return false;
    }
    return true;
}

// The box's history where the log gives its date; false, having said why,
// for a history without that date or with a faulty results file.
bool add_history(log_results& results, const char* log, const std::vector<std::string>& paths) {
    if (!results.record.date) {
        if (!paths.empty())
            std::fprintf(stderr,
                         "%s: the history needs the calibration's date: add a line "
                         "'# date: YYYY-MM-DD' to the log's heading\n",
                         log);
        return paths.empty();
    }
    const record_field* item = find_field(results.record, record_key::item);
    std::vector<earlier_results> earlier;
    std::string error;
    if (!read_history(paths, *results.record.date, item ? item->value : "", results.nominal,
                      earlier, error)) {
        std::fputs(error.c_str(), stderr);
        return false;
    }
    results.history = make_history(results, log, earlier);
    return true;
}

// The results file and the page of charts, where asked for.
bool write_results(const log_results& results, const char* log, const std::string& audit_text,
                   const std::string& csv, const std::string& page, std::string& failed) {
    failed = csv;
    if (!csv.empty() && !write_whole_file(results_csv(results), csv))
        return false;
    failed = page;
    return page.empty() || write_whole_file(results_page(results, log, audit_text), page);
}

} // namespace

int main(int argc, char** argv) {
    table_output output;
    const bool strict = take_flag(argc, argv, "--strict");
    std::string csv, page, tolerance;
    std::vector<std::string> history;
    const bool named = take_value(argc, argv, "--csv=", csv) &&
                       take_value(argc, argv, "--page=", page) &&
                       take_value(argc, argv, "--tolerance=", tolerance) &&
                       take_values(argc, argv, "--history=", history);
    if (!named || !output.take_options(argc, argv) || argc != 3) {
        std::fprintf(stderr, "usage: import_log [--strict] [--table=literal|incbin]\n"
                             "       [--byte-order=little|big] [--name=NAME]\n"
                             "       [--csv=RESULTS.csv] [--page=RESULTS.html]\n"
                             "       [--tolerance=BOX.txt] [--history=PATH]... LOG OUT.cpp\n");
        return 2;
    }
    const char* log = argv[argc - 2];
    const std::string out = argv[argc - 1];
    for (const std::string& path : {out, csv, page})
        if (!path.empty() && !replaceable(path)) {
            std::fprintf(stderr, "import_log: cannot write %s: not a regular file\n", path.c_str());
            return 1;
        }
    // Nothing is built from a log that failed, and no results are left of it.
    auto remove_all = [&] {
        output.remove(out);
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
    log_reader reader(readings,
                      [&audit](float reading, std::size_t line) { audit.add(reading, line); });
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
    calibration_record record;
    if (!read_heading(reader, log, record))
        return 1;
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
        if (!judge_log(results, std::move(judged), error)) {
            std::fputs(error.c_str(), stderr);
            return 1;
        }
        std::fputs(conformity_summary(results).c_str(), stderr);
    }
    if (!add_history(results, log, history))
        return 1;
    if (!history.empty())
        std::fputs(history_summary(*results.history, log).c_str(), stderr);
    std::string failed;
    if (!output.write(readings, out, failed) ||
        !write_results(results, log, audit_said, csv, page, failed)) {
        const int why = errno;
        remove_all();
        std::fprintf(stderr, "import_log: cannot write %s: %s\n", failed.c_str(),
                     std::strerror(why));
        return 1;
    }
    return 0;
}
