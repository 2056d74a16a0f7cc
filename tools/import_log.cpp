// import_log: compiles a bench log into decade-report.  It reads the text
// log strictly (see bench_log.h) and writes a C++ source that defines the
// reading table, with the readings as raw bytes beside it unless the table
// is written as literals (table_output.h); a log with any fault stops the
// build and leaves no table.
// The log is then audited against the acceptance windows (log_audit.h): the
// warnings go to standard error, and with --strict any warning is an error
// that leaves no table either.
//
//   import_log [--strict] [--table=literal|incbin|embed] [--byte-order=little|big]
//              [--name=NAME] LOG OUT.cpp
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_log.h"
#include "log_audit.h"
#include "table_output.h"

namespace {

bool read_file(const char* path, std::string& text) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    char buf[1 << 16];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, got);
    const bool ok = !std::ferror(f);
    const int saved = errno;
    std::fclose(f);
    errno = saved;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    table_output output;
    const bool options = output.take_options(argc, argv);
    const bool strict = argc == 4 && std::strcmp(argv[1], "--strict") == 0;
    if (!options || (argc != 3 && !strict)) {
        std::fprintf(stderr, "usage: import_log [--strict] [--table=literal|incbin|embed]\n"
                             "       [--byte-order=little|big] [--name=NAME] LOG OUT.cpp\n");
        return 2;
    }
    const char* log = argv[argc - 2];
    const std::string out = argv[argc - 1];
    output.remove(out); // nothing is built from a log that failed
    std::string text;
    if (!read_file(log, text)) {
        std::fprintf(stderr, "%s: cannot read the log: %s\n", log, std::strerror(errno));
        return 1;
    }
    std::vector<float> readings;
    log_error error;
    log_audit audit;
    if (!read_log(text, readings, error,
                  [&audit](float reading, std::size_t line) { audit.add(reading, line); })) {
        std::fputs(diagnostic(log, error).c_str(), stderr);
        return 1;
    }
    if (audit.finish(log, stderr, strict) > 0 && strict) {
        std::fprintf(
            stderr,
            "%s: note: the log is audited strictly (DECADE_LOG_STRICT): nothing is built from it\n",
            log);
        return 1;
    }
    std::string failed;
    if (!output.write(readings, out, failed)) {
        std::fprintf(stderr, "import_log: cannot write %s: %s\n", failed.c_str(),
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
