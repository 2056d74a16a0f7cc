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
constexpr band bands[] = {
    {0, 10, "0e0", true}, {0, 20, "880"},  {0, 40, "ca0"},
    {0, 60, "e6d"},       {0, 80, "e11"},  {0, shown_limit_ppm, "800"},
    {-10, 0, "00a"},      {-20, 0, "00f"}, {-40, 0, "0cc"},
    {-60, 0, "808"},      {-80, 0, "f0f"}, {-shown_limit_ppm, 0, "800"},
};

void write_textile_table(std::FILE* out, const grid& g, cell_writer cell) {
    std::fputs(
        "\r\n\r\nTextile format \r\n\r\n| Value | Decade 10 [samples] | Decade 100 [samples] "
        "| Decade 1K [samples] | Decade 10K [samples] | Decade 100K [samples] |\r\n",
        out);
    write_rows(out, textile_row, g, cell);
}

} // namespace

const char* band_colour(double ppm) {
    for (const band& b : bands)
        if ((b.low < ppm || (b.takes_low && b.low == ppm)) && ppm < b.high)
            return b.colour;
    return nullptr;
}

void textile_cell(std::FILE* out, const char* value_format, double value, double ppm,
                  std::uint32_t count) {
    const char* colour = within(ppm, shown_limit_ppm) ? band_colour(ppm) : nullptr;
    if (colour) {
        std::fprintf(out, "{color:#%s;}. ", colour);
        std::fprintf(out, value_format, value);
        std::fprintf(out, " _{color:#a10;}. [%4d]_ |", static_cast<int>(count));
    } else if (within(ppm, percent_limit_ppm)) {
        std::fprintf(out, "%10.4f %%   |", percent(ppm));
    } else {
        std::fputs("{color:#f00;}. Invalid data |", out);
    }
}

void write_textile_tables(std::FILE* out, const grid& g) {
    write_textile_table(out, g, [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
        textile_cell(o, "%16.8f &Omega;", gr.mean[p][d], gr.ppm[p][d], gr.count[p][d]);
    });
    write_textile_table(out, g, [](std::FILE* o, const grid& gr, unsigned p, unsigned d) {
        textile_cell(o, "%10.2f ppm", gr.ppm[p][d], gr.ppm[p][d], gr.count[p][d]);
    });
}
