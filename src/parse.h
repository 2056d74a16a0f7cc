// One run of the evaluation: classification, statistics and the report.
#pragma once

#include <cstdio>
#include <span>

#include "readings.h"

// Evaluates `readings` and writes the whole report to `out`, step by step:
// computation and output alternate in a fixed order.
void parse(std::FILE* out = stdout, std::span<const float> readings = all_readings());
