// Reading the tolerance file: what it may hold, and where and why a file
// is refused.
#include <string>

#include <gtest/gtest.h>

#include "base/text_format.h"
#include "capture.h"
#include "judgement/tolerance_file.h"

namespace {

std::string terms_text(const terms& t) {
    return format("%.15g + %.15g ohm", t.relative, t.ohms);
}

// Everything read, each fraction to 15 digits.
std::string described(const tolerance_data& data) {
    std::string text = "tolerance " + terms_text(data.tolerance) + ";";
    for (unsigned d = 0; d < decade_count; ++d)
        if (data.decade[d])
            text += format(" 1E%u ", d + 1) + terms_text(*data.decade[d]) + ";";
    text += format(" zero %.15g; meter", data.zero);
    for (const meter_range& m : data.meter)
        text += format(" %.15g: %.15g + %.15g,", m.range, m.of_reading, m.of_range);
    return text + format(" k %.15g; other ", data.meter_k) + terms_text(data.other) + "; rule " +
           rule_name(data.rule) + format("; interval %u", data.interval_months);
}

std::string read(const std::string& text) {
    tolerance_data data;
    tolerance_error error;
    return read_tolerance(text, data, error) ? described(data)
                                             : tolerance_diagnostic("box.txt", error);
}

} // namespace

TEST(ToleranceFile, ExampleReadsAndSoDoesItsUntidyTwin) {
    const std::string expected =
        "tolerance 0.0001 + 0.002 ohm; 1E1 0.0005 + 0.002 ohm; zero 0.0031; meter 10: 1.2e-05 + "
        "1e-06, 100: 8e-06 + 3e-07, 1000: 6e-06 + 3e-07, 10000: 6e-06 + 3e-07, 100000: 6e-06 + "
        "3e-07, 1000000: 1e-05 + 7e-07, k 2.58; other 5e-07 + 0.0001 ohm; rule guarded "
        "acceptance (w = 1 U); interval 12";
    // The example of tests/logs/box.txt: a box of precision steps, as its
    // maker states it, measured with an 8½-digit meter at its 99 % figures.
    EXPECT_EQ(expected, read(file_text(box_tolerance_path())));
    // As a Windows editor saves it, with a UTF-8 byte-order mark.
    EXPECT_EQ(expected, read("\xef\xbb\xbf" + file_text(box_tolerance_path())));
    // Tabs, CR LF, no blanks, comments after values, the ohm term first,
    // a single term, a sign, an exponent, and the meter's ranges in any order.
    EXPECT_EQ(expected, read("rule\t=\tguarded 1e0   # agreed with the customer\r\n"
                             "meter 1E6=10ppm+0.7ppm\r\n"
                             "\r\n"
                             "  meter 10 = 12 ppm + 1 ppm\n"
                             "meter 1000 = 6 ppm + 0.3 ppm\n"
                             "meter +100 = 8 ppm + 0.3 ppm\n"
                             "meter 100000 = 6ppm + .3ppm\n"
                             "meter 10000 = 6 ppm + 0.3 ppm\n"
                             "meter k = +2.58\n"
                             "tolerance 1E1 = 0.002 ohm + 0.05 %\n"
                             "tolerance=0.01%+0.002ohm#maker's figure\n"
                             "other = 0.5 ppm + 1e-4 ohm\n"
                             "zero = 3.1E-3 ohm"));
    EXPECT_EQ("tolerance 0 + 0.002 ohm; zero 0; meter k 0; other 0 + 0 ohm; rule simple "
              "acceptance; interval 1",
              read("tolerance = 0.002 ohm\nrule = simple\nmeter k = rectangular\n"
                   "interval = 1 month\n"));
    EXPECT_EQ("tolerance 0 + 0.002 ohm; zero 0; meter k 0; other 0 + 0 ohm; rule simple "
              "acceptance; interval 120",
              read("tolerance = 0.002 ohm\nrule = simple\ninterval=120months\n"));
}

TEST(ToleranceFile, EachFaultNamesItsLine) {
    // The faulty line follows a first line "tolerance = 0.01 %": line 2.
    const struct {
        const char* line;
        const char* expected;
    } faults[] = {
        {"colour = red", "2: unknown key 'colour'; the keys are tolerance, tolerance 1E1 to 1E5, "
                         "zero, meter RANGE, meter k, other, rule, interval"},
        {"zero 1E1 = 1 ohm", "2: unknown key 'zero 1E1'; the keys are tolerance, tolerance 1E1 "
                             "to 1E5, zero, meter RANGE, meter k, other, rule, interval"},
        {"zero 0.003 ohm", "2: no '='; a line is 'key = value', blank, or a comment"},
        {"other =", "2: other has no value"},
        {"tolerance 1E1 = 0.05", "2: '0.05' has no unit; tolerance 1E1 takes % or ppm, and ohm"},
        {"other = 2 mohm", "2: unknown unit 'mohm'; other takes % or ppm, and ohm"},
        {"meter 100 = 8 % + 0.3 ppm", "2: meter 100 takes ppm, not %"},
        {"zero = 3 ppm", "2: zero takes ohm, not ppm"},
        {"tolerance 1E2 = -0.01 % + 0.003 ohm", "2: tolerance 1E2 must not be negative: -0.01 %"},
        {"tolerance 1E2 = 0 % + 0e3 ohm", "2: tolerance 1E2 is zero"},
        {"tolerance 1E2 = inf %", "2: 'inf' is not a finite number"},
        {"tolerance 1E2 = 1e999 ppm", "2: '1e999' is outside the range of a double"},
        {"zero = 1,5 ohm", "2: '1,5' is not a number"},
        {"zero = -0.003 ohm", "2: zero must not be negative: -0.003 ohm"},
        {"other = 0.5 ppm + -1 ohm", "2: other must not be negative: -1 ohm"},
        {"meter 10 = 12 ppm + -1 ppm", "2: meter 10 must not be negative: -1 ppm"},
        {"tolerance 1E6 = 1 %", "2: decade '1E6' is not one of 1E1 to 1E5"},
        {"tolerance = 1 %", "2: tolerance given twice, first on line 1"},
        {"meter 10 = 1 ppm\nmeter 1E1 = 2 ppm", "3: meter 1E1 given twice, first on line 2"},
        {"meter k = 0", "2: meter k must be positive, or rectangular: 0"},
        {"meter k = -2", "2: meter k must be positive, or rectangular: -2"},
        {"meter = 1 ppm", "2: meter needs a word after it: meter RANGE, meter k"},
        {"meter 0 = 1 ppm", "2: meter range '0' is not a positive number of ohms"},
        {"meter 1kohm = 1 ppm", "2: meter range '1kohm' is not a positive number of ohms"},
        {"rule = strict", "2: unknown rule 'strict'; the rules are simple, guarded R, "
                          "nonbinary R, rds or none"},
        {"rule = guarded", "2: guarded needs its guard band factor R, as in 'guarded 1'"},
        {"rule = nonbinary -1", "2: R must not be negative: -1"},
        {"rule = simple 1", "2: text after the value: '1'"},
        {"zero = 0.003 ohm ohm", "2: text after the value: 'ohm'"},
        {"tolerance 1E2 = 0.01 % + + 0.002 ohm", "2: two '+' in a row"},
        {"tolerance 1E2 = 0.01 % +", "2: no term after '+'"},
        {"other = 1 ppm + 1 ohm + 1 ppm",
         "2: more than two terms; a value is one term or two joined by '+'"},
        {"tolerance 1E3 = 0.01 % + 5 ppm", "2: tolerance 1E3 has two relative terms; it takes "
                                           "one % or ppm term and one ohm term"},
        {"zero = 0.003 ohm + 0.001 ohm", "2: zero is a single term in ohm"},
        {"zero = 0.003\x1b[2J ohm", "2: control character"},
        {"interval = 0 months", "2: interval '0' is not a whole number of months, 1 to 120"},
        {"interval = 121 months", "2: interval '121' is not a whole number of months, 1 to 120"},
        {"interval = 6.5 months", "2: interval '6.5' is not a whole number of months, 1 to 120"},
        {"interval = 12", "2: interval takes months, as in 'interval = 12 months'"},
        {"interval = 1 year", "2: interval takes months, as in 'interval = 12 months'"},
    };
    for (const auto& f : faults)
        EXPECT_EQ("box.txt:" + std::string(f.expected) + "\n",
                  read(std::string("tolerance = 0.01 %\r\n") + f.line + "\nrule = simple\n"));
    EXPECT_EQ("box.txt: no tolerance line; every tolerance file gives one\n",
              read("# empty\nrule = none\n"));
    EXPECT_EQ("box.txt: no rule line; every tolerance file gives one\n", read("tolerance = 1 %\n"));
    EXPECT_EQ("box.txt:2: no '='; a line is 'key = value', blank, or a comment\n",
              read("\xef\xbb\xbftolerance = 1 %\nzero\n"));
}
