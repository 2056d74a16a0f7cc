#include "report/console.h"

#include "analysis/stats.h"
#include "report/limits.h"
#include "report/rows.h"

namespace {

const char* const invalid_cell = "\033[0;31mInvalid data\033[0m       |";

} // namespace

void write_heading(std::FILE* out) {
    std::fputs("Measured average\r\n", out);
}

void mean_cell(std::FILE* out, double mean, std::uint32_t count) {
    std::fprintf(out, "  %13.5f \033[0;38m[%03d]\033[0m  |", mean, static_cast<int>(count));
}

void write_mean_table(std::FILE* out, const grid& g) {
    write_table(out,
                "\r\n -- |         1E1          |          1E2        |         1E3         |"
                "         1E4         |        1E5          |\r\n",
                console_row, g, [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
                    mean_cell(o, gr.mean[p][d], gr.count[p][d]);
                });
}

void ppm_cell(std::FILE* out, double ppm, std::uint32_t count) {
    if (within(ppm, shown_limit_ppm))
        std::fprintf(out, "%10.2f ppm \033[0;36m[%4d]\033[0m|", ppm, static_cast<int>(count));
    else if (within(ppm, percent_limit_ppm))
        std::fprintf(out, "%10.3f %%   |", percent(ppm));
    else
        std::fputs(invalid_cell, out);
}

void write_ppm_table(std::FILE* out, const grid& g) {
    write_table(out,
                "\r\n -- |     1E1            |    1E2            |    1E3            |"
                "    1E4            |    1E5            |\r\n",
                console_row, g, [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
                    ppm_cell(o, gr.ppm[p][d], gr.count[p][d]);
                });
}

void write_decade_header(std::FILE* out) {
    std::fputs("\r\n -- |     1E1        |    1E2        |    1E3        |    1E4        |"
               "    1E5        |\r\n      ",
               out);
}

void write_decade_line(std::FILE* out, const grid& g) {
    for (double average : g.decade_average)
        std::fprintf(out, "\033[0;32m%10.3f R \033[0m  |", average);
    std::fprintf(out, " Total resistance: %14.8f MOHM\r\n", total_resistance(g));
}

void deviation_cell(std::FILE* out, double ppm, double ohms) {
    if (within(ppm, shown_limit_ppm))
        std::fprintf(out, " %8.5f R |", ohms);
    else
        std::fputs(invalid_cell, out);
}

void write_deviation_table(std::FILE* out, const grid& g) {
    write_table(out,
                "\r\nR Deviation\r\n -- |     1E1 [samples]  |    1E2  [samples] |"
                "    1E3  [samples] |    1E4  [samples] |    1E5  [samples] |\r\n",
                console_row, g, [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
                    deviation_cell(o, gr.ppm[p][d], ohm_deviation(gr, p, d));
                });
}
