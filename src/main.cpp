// decade-report: deviations of a five-decade resistance box from nominal,
// computed from the compiled-in bench log.
#include <cstdio>

#include "parse.h"

int main() {
    std::printf("Size %d\r\n", static_cast<int>(sizeof data));
    parse();
    return 0;
}
