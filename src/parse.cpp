#include "parse.h"

#include "analysis/classify.h"
#include "analysis/grid.h"
#include "report/console.h"

void parse(std::FILE* out, std::span<const float> readings) {
    grid g{};
    fill_nominal(g);
    write_heading(out);
    classify(g, readings, out);
    write_mean_table(out, g);
}
