// The certificate's content without a PDF: its rounding, the laboratory's
// file, the lookup of a reference standard and the record's new keys.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "certificate/certificate.h"
#include "certificate/lab_file.h"
#include "certificate/rounding.h"
#include "log/calibration_record.h"

using namespace std::chrono;

// Worked by hand: U to two significant digits, halves up; the value to
// U's last digit, halves away from zero.
struct rounding_case {
    const char* value;
    const char* u;
    double in_value, in_u;
    bool signed_value;
};
constexpr rounding_case rounding_cases[] = {
    {"9.99890", "0.00024", 9.998895, 0.000237, false}, // the value's half goes up
    {"-110", "24", -110.49, 23.7, true},
    {"+36.1", "6.0", 36.12, 6, true}, // one digit of U is two: 6.0
    {"1000.0361", "0.0060", 1000.03612, 0.006, false},
    {"13", "10", 12.5, 9.96, false},         // U 9.96 is 10: its last digit the units
    {"0.70", "0.10", 0.7049, 0.0999, false}, // 0.0999 is 0.10
    {"1.00", "0.24", 1.001, 0.235, false},   // U's half goes up
    {"-2.46", "0.13", -2.455, 0.13, false},  // a negative half goes away from zero
    {"0.00", "0.13", -0.004, 0.13, true},    // rounded to nothing: no sign
    {"1230", "120", 1234.5, 123, false},     // U above ten: tens
    {"20000.0", "1.9", 20000.03, 1.87, false},
    // Halves that arrive as products: a CMC of 7.65 ppm read and given back
    // in ppm is 7.6499999999999995, 16.9 ppm of 50 Ω is 0.0008449999999999999
    {"+12.5", "7.7", 12.46, 7.65e-6 * 1e6, true},
    {"50.00000", "0.00085", 50.000002, 16.9 * 50 / 1e6, false},
};

TEST(CertificateRounding, RoundsAsIlacP14) {
    for (const rounding_case& c : rounding_cases) {
        const rounded_result r = round_result(c.in_value, c.in_u, c.signed_value);
        EXPECT_EQ(c.value, r.value) << c.in_value << " ± " << c.in_u;
        EXPECT_EQ(c.u, r.uncertainty) << c.in_value << " ± " << c.in_u;
    }
}

// A 1 kΩ setting 36.12 ppm high with U 5.2 ppm, under a CMC of 6 ppm,
// and a 10 Ω setting 110 ppm low with U 24 ppm, above it; guarded
// acceptance (w = U) within T = 42 ppm and 200 ppm.  The 1 kΩ setting
// passes with U 5.2 ppm (36.12 ≤ 36.8) but fails with the 6 ppm stated
// beside it (36.12 > 36).
TEST(CertificateRounding, RaisesUToTheCmcBeforeRoundingAndJudgesWithIt) {
    const decision_rule guarded{rule_kind::guarded, 1};
    judgement kilo;
    kilo.nominal = 1000;
    kilo.deviation = 0.03612;
    kilo.expanded = 0.0052;
    kilo.tolerance = 0.042;
    kilo.outcome = verdict::pass;
    const result_row raised = round_row(kilo, 6, guarded);
    EXPECT_EQ("1000.0361 0.0060 +36.1 6.0", raised.value + " " + raised.value_u + " " +
                                                raised.deviation + " " + raised.deviation_u);
    EXPECT_TRUE(raised.raised);
    EXPECT_STREQ("fail", verdict_word(raised.outcome));
    judgement ten;
    ten.nominal = 10;
    ten.deviation = -0.0011;
    ten.expanded = 0.00024;
    ten.tolerance = 0.002;
    ten.outcome = verdict::pass;
    const result_row kept = round_row(ten, 20, guarded);
    EXPECT_EQ("9.99890 0.00024 -110 24",
              kept.value + " " + kept.value_u + " " + kept.deviation + " " + kept.deviation_u);
    EXPECT_FALSE(kept.raised);
    EXPECT_STREQ("pass", verdict_word(kept.outcome));
}

const std::string good_lab = "name = Lab\n"
                             "address = Street 1\n"
                             "approver = A. Meier, quality manager\n"
                             "cmc = 6 ppm\n"
                             "cmc 1E1 = 20 ppm + 0.0002 ohm\n"
                             "reference = DMM 7 | traced by X | due 2027-06-30\n"
                             "reference = DMM | any other | due 2020-01-01\n";

TEST(LabFile, ReadsEveryKeyAndTheCmcOfEachDecade) {
    lab_data lab;
    lab_error error;
    ASSERT_TRUE(read_lab(good_lab, lab, error)) << error.what;
    EXPECT_EQ("A. Meier, quality manager", lab.approver);
    ASSERT_EQ(2u, lab.references.size());
    EXPECT_EQ("traced by X", lab.references[0].traceability);
    EXPECT_DOUBLE_EQ(40, cmc_ppm(lab, 10, 0)); // 20 ppm + 0.0002 Ω of 10 Ω
    EXPECT_DOUBLE_EQ(6, cmc_ppm(lab, 1000, 2));
}

struct lab_fault {
    const char* said;
    const char* added; // to the good file, on line 8
};
const lab_fault lab_faults[] = {
    {"Lab.txt:8: unknown key 'colour'; the keys are name, address, approver, accreditation, "
     "method, location, cmc, reference, cmc 1E1 to 1E5\n",
     "colour = red\n"},
    {"Lab.txt:8: name given twice, first on line 1\n", "name = Other\n"},
    {"Lab.txt:8: date 2027-02-30 does not exist\n", "reference = M | T | due 2027-02-30\n"},
    {"Lab.txt:8: reference has 2 parts; it is 'IDENTITY | TRACEABILITY | due YYYY-MM-DD'\n",
     "reference = M | due 2027-01-01\n"},
    {"Lab.txt:8: decade '1E6' is not one of 1E1 to 1E5\n", "cmc 1E6 = 1 ppm\n"},
};

TEST(LabFile, EachFaultIsToldAtItsLine) {
    for (const lab_fault& f : lab_faults) {
        lab_data lab;
        lab_error error;
        EXPECT_FALSE(read_lab(good_lab + f.added, lab, error)) << f.added;
        EXPECT_EQ(f.said, lab_diagnostic("Lab.txt", error));
    }
    lab_data lab;
    lab_error error;
    EXPECT_FALSE(read_lab("name = Lab\naddress = Street 1\n", lab, error));
    EXPECT_EQ("Lab.txt: no approver line; every laboratory's file gives one\n",
              lab_diagnostic("Lab.txt", error));
}

// The first entry the identity begins with; due on the day is in time.
TEST(LabFile, ReferenceIsTheFirstEntryItBeginsWithAndDueNoEarlierThanTheDay) {
    lab_data lab;
    lab_error error;
    ASSERT_TRUE(read_lab(good_lab, lab, error));
    const year_month_day due = 2027y / June / 30, after = 2027y / July / 1;
    EXPECT_EQ("", reference_fault(look_up_reference(lab, "DMM 7, serial 1", due), "DMM 7, serial 1",
                                  due));
    EXPECT_EQ("reference 'DMM 7, serial 1' was due on 2027-06-30, before the calibration on "
              "2027-07-01",
              reference_fault(look_up_reference(lab, "DMM 7, serial 1", after), "DMM 7, serial 1",
                              after));
    EXPECT_EQ("reference 'DMM 9' was due on 2020-01-01, before the calibration on 2027-06-30",
              reference_fault(look_up_reference(lab, "DMM 9", due), "DMM 9", due));
    EXPECT_EQ("reference 'Bridge 2' has no entry in the laboratory's file",
              reference_fault(look_up_reference(lab, "Bridge 2", due), "Bridge 2", due));
}

struct record_fault_case {
    const char* said;
    const char* line;
};
constexpr record_fault_case record_faults[] = {
    {"'2026-12' is not a date YYYY-MM-DD", "received: 2026-12"},
    {"date 2026-11-31 does not exist", "issued: 2026-11-31"},
    {"interval takes the one word 'agreed', and states the due date", "interval: 12 months"},
};

TEST(CertificateRecord, DatesAndTheAgreedIntervalAreReadStrictly) {
    for (const record_fault_case& c : record_faults) {
        calibration_record record;
        record_error error;
        EXPECT_FALSE(take_heading_line({3, c.line}, record, error)) << c.line;
        EXPECT_EQ(c.said, error.what);
    }
    calibration_record record;
    record_error error;
    ASSERT_TRUE(take_heading_line({1, "Issued: 2026-12-10"}, record, error));
    EXPECT_EQ(2026y / December / 10, record.issued);
}
