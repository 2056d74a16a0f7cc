#include "parse.h"

#include "analysis/classify.h"
#include "analysis/grid.h"
#include "analysis/stats.h"
#include "report/console.h"
#include "report/textile.h"

void parse(std::FILE* out, std::span<const float> readings) {
    grid g{};
    fill_nominal(g);
    write_heading(out);
    classify(g, readings, out);
    write_mean_table(out, g);
    compute_ppm(g);
    write_ppm_table(out, g);
    write_decade_header(out);
    compute_decade_average(g);
    write_decade_line(out, g);
    write_deviation_table(out, g);
    write_textile_tables(out, g);
}
