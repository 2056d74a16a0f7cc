// decade-report: deviations of a five-decade resistance box from nominal,
// computed from the compiled-in bench log.  It takes no input: arguments and
// environment are ignored.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "parse.h"

namespace {

// The report goes through to the end whatever happens to the writes, so
// that a failure never changes what is computed; only here, once every line
// has been written, is the stream asked whether any write failed.  A
// truncated report must not pass for a complete one.
int finish_output() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
        return 0;
    std::fprintf(stderr, "decade-report: write error: %s\n",
                 errno != 0 ? std::strerror(errno) : "unknown error");
    return 1;
}

} // namespace

int main() {
    std::printf("Size %d\r\n", static_cast<int>(reading_count * sizeof(float)));
    parse();
    return finish_output();
}
