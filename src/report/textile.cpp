#include "report/textile.h"

#include "analysis/stats.h"
#include "report/limits.h"
#include "report/rows.h"

namespace {

// Open intervals in ppm, tested in order; the first that holds colours the
// cell.  A mean exactly at nominal (0 ppm) is the best a setting can do, so
// the innermost band takes it too.
struct band {
    double low;
    double high;
    const char* colour;
    bool takes_low = false;
};
// clang-format off
constexpr band bands[] = {
    {0, 10, "0e0", true},
    {0, 20, "880"},
    {0, 40, "ca0"},
    {0, 60, "e6d"},
    {0, 80, "e11"},
    {0, shown_limit_ppm, "800"},
    {-10, 0, "00a"},
    {-20, 0, "00f"},
    {-40, 0, "0cc"},
    {-60, 0, "808"},
    {-80, 0, "f0f"},
    {-shown_limit_ppm, 0, "800"},
};
// clang-format on

// Both tables share the title and the header row.
const char* const textile_header =
    "\r\n\r\nTextile format \r\n\r\n| Value | Decade 10 [samples] | Decade 100 [samples] "
    "| Decade 1K [samples] | Decade 10K [samples] | Decade 100K [samples] |\r\n";

} // namespace

// A band cell: colour code, the value as `value_format` writes it, then the
// count, always in a10.
#define BAND_CELL(value_format) "{color:#%s;}. " value_format " _{color:#a10;}. [%4d]_ |"
const char* const mean_band_format = BAND_CELL("%16.8f &Omega;");
const char* const ppm_band_format = BAND_CELL("%10.2f ppm");
#undef BAND_CELL

const char* band_colour(double ppm) {
    for (const band& b : bands)
        if ((b.low < ppm || (b.takes_low && b.low == ppm)) && ppm < b.high)
            return b.colour;
    return nullptr;
}

const char* cell_colour(double ppm) {
    return within(ppm, shown_limit_ppm) ? band_colour(ppm) : nullptr;
}

void textile_cell(std::FILE* out, const char* band_format, double value, double ppm,
                  std::uint32_t count) {
    const char* colour = cell_colour(ppm);
    if (colour)
        std::fprintf(out, band_format, colour, value, static_cast<int>(count));
    else if (within(ppm, percent_limit_ppm))
        std::fprintf(out, "%10.4f %%   |", percent(ppm));
    else
        std::fputs("{color:#f00;}. Invalid data |", out);
}

void write_textile_tables(std::FILE* out, const grid& g) {
    write_table(out, textile_header, textile_row, g,
                [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
                    textile_cell(o, mean_band_format, gr.mean[p][d], gr.ppm[p][d], gr.count[p][d]);
                });
    write_table(out, textile_header, textile_row, g,
                [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
                    textile_cell(o, ppm_band_format, gr.ppm[p][d], gr.ppm[p][d], gr.count[p][d]);
                });
}
