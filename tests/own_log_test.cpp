// decade-report built from a hand-written log with -DDECADE_LOG (see
// own_log_build.cmake) prints what parse() makes of the same floats.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"
#include "parse.h"
#include "process.h"

namespace {

// tests/logs/own.txt, reading by reading.
const std::vector<float> own_log = {
    29.9981f,    30.0012f, 30.0007f, 30.0f,     100.05f,   1.00004E+02f, 300.0066f,
    3.000071e2f, 123.4f,   -0.0f,    20000.11f, 19999.87f, 1000012.5f,   1e6f,
};

std::string program_output() {
    return output_of(own_log_program());
}

} // namespace

TEST(OwnLog, ReportIsParseOfTheSameReadingsInMemory) {
    const std::string in_memory = capture([](std::FILE* f) { parse(f, own_log); });
    EXPECT_EQ(as_written("Size 56\r\n" + in_memory), program_output());
}

TEST(OwnLog, ThirtyOhmAveragesThreeReadingsWithoutTheNominalOne) {
    EXPECT_NE(std::string::npos, program_output().find("        30.00000 \033[0;38m[003]"));
}

TEST(OwnLog, OverlappingHundredOhmCountsInBothSettings) {
    for (const std::string& line : lines_of(program_output()))
        if (line.rfind(" 10 |", 0) == 0 && line.find("[002]") != std::string::npos)
            return;
    ADD_FAILURE() << "no row 10 with two readings at 100 ohm";
}
