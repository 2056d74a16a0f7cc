#include "report/rows.h"

void write_table(std::FILE* out, const char* header, const char* row_start, const grid& g,
                 cell_writer cell) {
    std::fputs(header, out);
    for (unsigned p = 0; p < positions; ++p) {
        std::fprintf(out, row_start, p);
        for (unsigned d = 0; d < decade_count; ++d)
            cell(out, g, p, d);
        std::fputs(" \r\n", out);
    }
}
