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
//              [--tolerance=BOX.txt] [--history=PATH]...
//              [--lab=LAB.txt] [--certificate=CERT.pdf] LOG OUT.cpp
// With --csv and --page it also writes the log's results file and its page
// of charts (results.h, results_page.h).  With --tolerance it judges each
// setting against the tolerance file (tolerance_file.h, judgement/conformity.h): a
// fault in the file stops the import like a fault in the log, and the
// judgement is summed up after the audit and goes into both files.
// Each --history names an earlier results file of the box, or a folder of
// them: each setting's change and drift are summed up after the judgement
// (assemble.h), and a fault in one stops the import too.
// --certificate names the calibration certificate's place: it is written
// there from a judged log with --lab, the laboratory's file (lab_file.h),
// where the record allows one (certificate.h), and removed otherwise; the
// build says in one line why none is written, and builds on.  A fault in
// the laboratory's file stops the import like one in the tolerance file.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
#include "base/calendar.h"
#include "base/text_format.h"
#include "base/whole_file.h"
#include "certificate/certificate.h"
#include "certificate/lab_file.h"
#include "certificate/pdf_document.h"
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
    std::string lab, certificate;     // the laboratory's file, the PDF
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
    {"--lab=", file_value<&import_options::lab>},
    {"--certificate=", file_value<&import_options::certificate>},
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
    std::string text, why;
    if (!read_whole_file(path, largest_tolerance_file, text, why)) {
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

// The laboratory's file into `lab`; false, having said why, when it
// cannot be read or has a fault.
bool read_lab_file(const std::string& path, lab_data& lab) {
    std::string text, why;
    if (!read_whole_file(path, 1 << 20, text, why)) {
        std::fprintf(stderr, "%s: cannot read the laboratory's file: %s\n", path.c_str(),
                     why.c_str());
        return false;
    }
    lab_error error;
    if (!read_lab(text, lab, error)) {
        std::fputs(lab_diagnostic(path, error).c_str(), stderr);
        return false;
    }
    return true;
}

// The day of issue: the record's, else that of SOURCE_DATE_EPOCH, else
// today's.
std::chrono::year_month_day issue_date(const calibration_record& record) {
    if (record.issued)
        return *record.issued;
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    std::chrono::sys_seconds when =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    if (epoch && *epoch && std::strspn(epoch, "0123456789") == std::strlen(epoch))
        when = std::chrono::sys_seconds(std::chrono::seconds(std::strtoll(epoch, nullptr, 10)));
    return std::chrono::floor<std::chrono::days>(when);
}

// Writes the certificate of `results` to `path`, or says in one line why
// none is issued; false only when it cannot be written.
bool write_certificate(const log_results& results, const lab_data& lab, const char* log,
                       const std::string& path) {
    const std::chrono::year_month_day issued = issue_date(results.record);
    std::string why = certificate_refusal(results, lab, issued);
    std::string bytes;
    if (why.empty() && !pdf_of(certificate_document(results, lab, issued), bytes, why))
        why = "cannot draw it: " + why;
    if (!why.empty()) {
        std::fprintf(stderr, "%s: warning: no certificate: %s\n", log, why.c_str());
        return true;
    }
    for (const raised_u& s : raised_to_cmc(results, lab)) {
        const std::string changed =
            s.stated == s.judged ? ""
                                 : ", under which it is a " + std::string(verdict_word(s.stated)) +
                                       ", not the page's " + verdict_word(s.judged);
        std::fprintf(stderr, "%s: note: the certificate states the CMC as U of %s%s\n", log,
                     setting_name(s.at).c_str(), changed.c_str());
    }
    if (write_whole_file(bytes, path))
        return true;
    std::fprintf(stderr, "import_log: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
}

// The files the import writes, removed together.
struct written_files {
    const import_options& options;
    void remove_all() const {
        remove_table(options.table, options.files[1]);
        for (const std::string* path : {&options.csv, &options.page, &options.certificate})
            if (!path->empty())
                std::remove(path->c_str());
    }
    bool replaceable_all() const {
        for (const std::string* path :
             {&options.files[1], &options.csv, &options.page, &options.certificate})
            if (!path->empty() && !replaceable(*path)) {
                std::fprintf(stderr, "import_log: cannot write %s: not a regular file\n",
                             path->c_str());
                return false;
            }
        return true;
    }
};

// What the log holds: its readings, its audit, its heading and record.
struct read_log {
    std::vector<float> readings;
    audit_findings found;
    std::vector<std::string> heading;
    calibration_record record;
};

// Reads the log strictly into `into`; false, having said why, at a fault.
// The record is read as the heading comes: a field counts however far
// down the heading it is, and the first fault in it is told once the log
// has read without one.
bool read_whole_log(const char* log, read_log& into) {
    const int fd = open_log(log);
    if (fd < 0) {
        std::fprintf(stderr, "%s: cannot read the log: %s\n", log, std::strerror(errno));
        return false;
    }
    log_audit audit;
    std::optional<record_error> record_fault;
    log_reader reader(
        into.readings, [&audit](float reading, std::size_t line) { audit.add(reading, line); },
        [&](std::size_t line, std::string_view text) {
            record_error error;
            if (!record_fault && !take_heading_line({line, std::string(text)}, into.record, error))
                record_fault = std::move(error);
        });
    const bool read = read_stream(fd, reader);
    const int saved = errno;
    close_log(fd);
    if (!read) {
        std::fprintf(stderr, "%s: cannot read the log: %s\n", log, std::strerror(saved));
        return false;
    }
    if (!reader.finish()) {
        std::fputs(diagnostic(log, reader.error()).c_str(), stderr);
        return false;
    }
    if (record_fault) {
        std::fputs(record_diagnostic(log, *record_fault).c_str(), stderr);
        return false;
    }
    into.found = std::move(audit).finish();
    into.heading = reader.heading();
    return true;
}

// The audit's warnings; false when --strict makes any of them an error.
bool passes_audit(const read_log& read, const char* log, bool strict) {
    std::fputs(audit_text(read.found, log, strict).c_str(), stderr);
    if (read.found.warnings > 0 && strict) {
        std::fprintf(
            stderr,
            "%s: note: the log is audited strictly (DECADE_LOG_STRICT): nothing is built from it\n",
            log);
        return false;
    }
    return true;
}

// The results of the log, judged and set beside its history where asked
// for; false, having said why, at a fault.
bool make_results(read_log& read, const import_options& options, log_judgement& judged,
                  log_results& results) {
    const char* log = options.files[0].c_str();
    if (!options.csv.empty() || !options.page.empty() || !options.tolerance.empty() ||
        !options.history.empty()) {
        results = evaluate(read.readings, read.found);
        results.heading = std::move(read.heading);
        results.record = std::move(read.record);
    }
    if (!options.tolerance.empty()) {
        std::string error;
        if (!judge_log(setting_inputs(results), judged, error)) {
            std::fputs(error.c_str(), stderr);
            return false;
        }
        std::fputs(conformity_summary(judged).c_str(), stderr);
        results.judged = std::move(judged);
    }
    if (!options.history.empty() && !results.record.date) {
        std::fprintf(stderr,
                     "%s: the history needs the calibration's date: add a line "
                     "'# date: YYYY-MM-DD' to the log's heading\n",
                     log);
        return false;
    }
    return !results.record.date || add_history(results, log, options.history);
}

// The table, the results file, the page and the certificate; false,
// having said why and removed them all, when one cannot be written.
bool write_outputs(const import_options& options, const read_log& read, const log_results& results,
                   const lab_data* lab) {
    const char* log = options.files[0].c_str();
    // The page names the log by its file name alone, its audit included:
    // it goes to customers, the build machine's folders do not.
    const std::string page_name = file_name(log);
    std::string failed;
    if (!write_table(options.table, read.readings, options.files[1], failed) ||
        !write_results(results, page_name, audit_text(read.found, page_name, options.strict),
                       options.csv, options.page, failed)) {
        const int why = errno;
        written_files{options}.remove_all();
        std::fprintf(stderr, "import_log: cannot write %s: %s\n", failed.c_str(),
                     std::strerror(why));
        return false;
    }
    if (lab && !options.certificate.empty() &&
        !write_certificate(results, *lab, log, options.certificate)) {
        written_files{options}.remove_all();
        return false;
    }
    return true;
}

// The whole import; the exit status.
int import(const import_options& options) {
    const written_files written{options};
    if (!written.replaceable_all())
        return 1;
    // Nothing is built from a log that failed, and no results are left of
    // it; nor a certificate of an earlier build that this one does not
    // write.
    written.remove_all();
    // A fault in the tolerance file or the laboratory's is told before the
    // log is read.
    log_judgement judged;
    if (!options.tolerance.empty() && !read_tolerance_file(options.tolerance, judged))
        return 1;
    std::optional<lab_data> lab;
    if (!options.lab.empty() && !read_lab_file(options.lab, lab.emplace()))
        return 1;
    read_log read;
    log_results results;
    if (!read_whole_log(options.files[0].c_str(), read) ||
        !passes_audit(read, options.files[0].c_str(), options.strict) ||
        !make_results(read, options, judged, results))
        return 1;
    return write_outputs(options, read, results, lab ? &*lab : nullptr) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    import_options options;
    if (!read_options(argc, argv, options)) {
        std::fprintf(stderr, "usage: import_log [--strict] [--table=literal|incbin]\n"
                             "       [--byte-order=little|big] [--name=NAME]\n"
                             "       [--csv=RESULTS.csv] [--page=RESULTS.html]\n"
                             "       [--tolerance=BOX.txt] [--history=PATH]...\n"
                             "       [--lab=LAB.txt] [--certificate=CERT.pdf] LOG OUT.cpp\n");
        return 2;
    }
    return import(options);
}
