// The certificate as the build writes it: the importer run on a log whose
// record carries the certificate's facts, the PDF read back as text by
// pdftotext, and each reason the build gives for writing none.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

fs::path logs_folder() {
    return fs::path(box_tolerance_path()).parent_path();
}

// A folder of the test's own, removed afterwards.
struct folder {
    fs::path dir;
    explicit folder(const std::string& name) : dir(fs::current_path() / name) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~folder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::string path = (dir / name).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        return path;
    }
};

// The test log and laboratory's file, read when a test runs.
std::string test_file(const char* name) {
    return file_text((logs_folder() / name).string().c_str());
}

// The importer on `log` with the box's tolerance file and `lab`, the
// certificate asked for in `at`.
outcome import_certified(const folder& at, const std::string& log, const std::string& lab,
                         std::vector<std::string> env = {}) {
    run_options options;
    options.env = std::move(env);
    options.args = {"--tolerance=" + std::string(box_tolerance_path()),
                    "--lab=" + at.write("lab.txt", lab),
                    "--csv=" + (at.dir / "results.csv").string(),
                    "--certificate=" + (at.dir / "certificate.pdf").string(),
                    at.write("log.txt", log),
                    (at.dir / "table.cpp").string()};
    return run(import_program(), sink::pipe, options);
}

bool writes_pdf() {
    return std::string(test_path("certificate_pdf")) == "1";
}

// The PDF's text, every run of blanks and line ends one blank.
std::string pdf_words(const fs::path& pdf) {
    run_options options;
    options.args = {"-layout", pdf.string(), "-"};
    const outcome text = run(test_path("pdftotext"), sink::pipe, options);
    return std::regex_replace(text.out, std::regex("[ \\n\\f]+"), " ");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

} // namespace

TEST(Certificate, HoldsEveryElementAndTheRowWorkedByHand) {
    if (!writes_pdf())
        GTEST_SKIP() << "this build has no Cairo and Pango";
    folder at("certificate-elements");
    const outcome r = import_certified(at, test_file("certified.txt"), test_file("lab.txt"));
    ASSERT_EQ(0, r.exit_code) << r.err;
    const std::string words = pdf_words(at.dir / "certificate.pdf");
    for (const char* element : {
             "GmbH Certificate No. WL-2026-0117 Page 1 of 2 Calibration Certificate",
             "Page 2 of 2",
             "Messweg 7, 12345 Prüfstadt, Germany",
             "Accreditation: National Accreditation Body, calibration laboratory D-K-",
             "Customer Präzisionswerk Ölmühle AG, Qualitätssicherung",
             "Item calibrated Box 4711, five-decade resistance box, serial 0815",
             "Place of calibration Widerstandslabor Müller, laboratory 2",
             "receipt 2026-12-01 Date of calibration 2026-12-08 Date of issue 2026-12-10",
             "Method Direct comparison with a digital multimeter, procedure WL-R-07",
             "Ambient temperature 23.0 °C ± 0.5 °C Relative humidity 45 % ± 10 %",
             "2823A00001 Traceability Calibrated by Kalibrierdienst Nord, certificate",
             "Zero resistance subtracted 0.0031 Ω",
             "Tolerance ±(0.01 % + 0.002 Ω); decade 1E1 ±(0.05 % + 0.002 Ω)",
             "Measured value / Ω U/Ω Deviation / ppm U / ppm k Verdict", // each header on a line
             // mean 1000.0392 − zero 0.0031 = 1000.0361 Ω, +36.1 ppm; U 5.1 ppm
             // raised to the CMC of 6 ppm, 0.0060 Ω; k 2.00
             "1000 Ω 10, 1E2 1000.0361 0.0060 +36.1 6.0 2.00 pass",
             "1000000 Ω (position 10, decade 1E5): a single reading",
             "coverage probability of about 95 %",
             "Decision rule: guarded acceptance (w = 1 U)",
             "Fail: 100 Ω (position 10, decade 1E1), 100 Ω (position 1, decade 1E2).",
             "due for recalibration by 2027-12-08",
             "The results relate only to the item calibrated.",
             "reproduced only in full",
             "Authorised by Dr. Jana Weiß, quality manager",
             "End of certificate",
         })
        EXPECT_NE(std::string::npos, words.find(element)) << element << "\nin: " << words;
    EXPECT_NE(std::string::npos,
              r.err.find("log.txt: note: the certificate states the CMC as U of the 1000 Ω "
                         "setting (position 10, decade 1E2)\n"));
}

// The widest nominal value stands on its row's line, as every other does.
TEST(Certificate, WidestNominalStaysOnItsRow) {
    if (!writes_pdf())
        GTEST_SKIP() << "this build has no Cairo and Pango";
    folder at("certificate-widest");
    ASSERT_EQ(0,
              import_certified(at, replaced(test_file("certified.txt"), "\n1e6\n", "\n999990.5\n"),
                               test_file("lab.txt"))
                  .exit_code);
    const std::string words = pdf_words(at.dir / "certificate.pdf");
    EXPECT_NE(std::string::npos, words.find(" 1000000 Ω 10, 1E5 ")) << words;
}

// Same inputs in two folders, the log's path and the clock apart: the
// same bytes.
TEST(Certificate, SameInputsGiveTheSameBytes) {
    if (!writes_pdf())
        GTEST_SKIP() << "this build has no Cairo and Pango";
    folder one("certificate-one"), two("certificate-two (2)");
    ASSERT_EQ(0, import_certified(one, test_file("certified.txt"), test_file("lab.txt")).exit_code);
    ASSERT_EQ(0, import_certified(two, test_file("certified.txt"), test_file("lab.txt")).exit_code);
    const std::string first = file_text((one.dir / "certificate.pdf").string().c_str());
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == file_text((two.dir / "certificate.pdf").string().c_str()));
    // Without its issue date in the log, the day SOURCE_DATE_EPOCH falls
    // on: 1796916600 s is 2026-12-10 15:30 UTC.
    folder three("certificate-three");
    ASSERT_EQ(0, import_certified(
                     three, replaced(test_file("certified.txt"), "# issued: 2026-12-10\n", ""),
                     test_file("lab.txt"), {"SOURCE_DATE_EPOCH=1796916600"})
                     .exit_code);
    EXPECT_TRUE(first == file_text((three.dir / "certificate.pdf").string().c_str()));
}

struct refusal {
    const char* said;
    const char* from; // in the log, or in the laboratory's file
    const char* to;
    bool in_lab;
};
const refusal refusals[] = {
    {"log.txt: warning: no certificate: the log's heading gives no certificate, customer\n",
     "# certificate: WL-2026-0117\n# customer: Präzisionswerk Ölmühle AG, Qualitätssicherung\n", "",
     false},
    {"log.txt: warning: no certificate: reference 'Bridge 2' has no entry in the laboratory's "
     "file\n",
     "# reference: DMM 3458, serial 2823A00001", "# reference: Bridge 2", false},
    {"log.txt: warning: no certificate: reference 'DMM 3458, serial 2823A00001' was due on "
     "2026-06-30, before the calibration on 2026-12-08\n",
     "due 2027-06-30", "due 2026-06-30", true},
    {"log.txt: warning: no certificate: issued 2026-12-01, before the calibration on 2026-12-08\n",
     "# issued: 2026-12-10", "# issued: 2026-12-01", false},
};

// Each reason is told in one line; the results are written as before, and
// the certificate of the run before is gone.
TEST(Certificate, NoneIsWrittenWhereOneMayNotBeAndTheBuildSaysWhy) {
    folder at("certificate-refused");
    for (const refusal& c : refusals) {
        const outcome good = import_certified(at, test_file("certified.txt"), test_file("lab.txt"));
        ASSERT_EQ(writes_pdf(), fs::exists(at.dir / "certificate.pdf")) << good.err;
        const outcome r = import_certified(
            at,
            c.in_lab ? test_file("certified.txt")
                     : replaced(test_file("certified.txt"), c.from, c.to),
            c.in_lab ? replaced(test_file("lab.txt"), c.from, c.to) : test_file("lab.txt"));
        EXPECT_EQ(0, r.exit_code) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.said)) << r.err;
        EXPECT_FALSE(fs::exists(at.dir / "certificate.pdf")) << c.said;
        EXPECT_TRUE(fs::exists(at.dir / "results.csv")) << c.said;
    }
}

// A fault in the laboratory's file stops the import at its line, as one in
// the tolerance file does.
TEST(Certificate, FaultyLabFileStopsTheImportAtItsLine) {
    folder at("certificate-lab-fault");
    const outcome r =
        import_certified(at, test_file("certified.txt"), test_file("lab.txt") + "approver = B\n");
    EXPECT_EQ(1, r.exit_code);
    EXPECT_NE(std::string::npos, r.err.find("lab.txt:14: approver given twice, first on line 5\n"))
        << r.err;
    EXPECT_FALSE(fs::exists(at.dir / "results.csv"));
}
