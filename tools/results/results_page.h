// The page of charts the build writes beside the program: one self-contained
// HTML file, the charts inline SVG, the styles inline, no script and nothing
// fetched from elsewhere, so that it opens offline in any browser and
// prints on A4.
#pragma once

#include <string>

#include "results/results.h"

// The page of the log named `log`, whose audit printed `audit_text`.
std::string results_page(const log_results& results, const std::string& log,
                         const std::string& audit_text);
