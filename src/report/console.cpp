#include "report/console.h"

#include "report/rows.h"

void write_heading(std::FILE* out) {
    std::fputs("Measured average\r\n", out);
}

void mean_cell(std::FILE* out, double mean, std::uint32_t count) {
    std::fprintf(out, "  %13.5f \033[0;38m[%03d]\033[0m  |", mean, static_cast<int>(count));
}

void write_mean_table(std::FILE* out, const grid& g) {
    std::fputs("\r\n -- |         1E1          |          1E2        |         1E3         |"
               "         1E4         |        1E5          |\r\n",
               out);
    write_rows(out, console_row, g, [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
        mean_cell(o, gr.mean[p][d], gr.count[p][d]);
    });
}
