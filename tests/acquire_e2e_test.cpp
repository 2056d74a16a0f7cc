// decade-acquire against the fake meter, as an operator meets it: every
// setting of the box, with a dial on the wrong setting, an open lead and a
// connection dropped in the middle of an answer on the way, and the run
// resumed.  The log it writes holds each setting once, every reading as
// the meter sent it, and the box the fake simulates; a build then compiles
// it in (acquired_log_build).
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquire/log_lock.h"
#include "capture.h"
#include "fake_meter.h"
#include "process.h"

namespace {

constexpr double steps[] = {10, 100, 1000, 10000, 100000};
constexpr double deviation_ppm = 20, slope_ppm = 3; // the simulated box
constexpr unsigned per_attempt = 12;                // --settle=2, --readings=10

// Each measurement attempt's dial, one per configuration, and the READ?
// on which the fake drops an open lead and the connection.
struct script {
    std::vector<double> dial;
    std::uint64_t open_at = 0, drop_at = 0;
    std::string first_answers, resumed_answers; // lines of standard input
};

script bench_script() {
    script s;
    for (double step : steps)
        for (int p = 1; p <= 10; ++p) {
            const double nominal = p * step;
            const std::uint64_t first_read = s.dial.size() * per_attempt + 1;
            if (nominal == 300) { // the dial left on 3000 Ω, then turned
                s.dial.push_back(3000);
                s.first_answers += "\n";
            }
            if (step == 1000 && p == 1) { // an open lead on the 8th read of the first try
                s.open_at = first_read + 7;
                s.dial.push_back(1000);
                s.first_answers += "\n";
            }
            if (nominal == 50000) { // the connection lost; the run resumed
                s.drop_at = first_read + 7;
                s.dial.push_back(50000);
            }
            s.dial.push_back(nominal);
            (s.drop_at == 0 ? s.first_answers : s.resumed_answers) += "\n";
        }
    s.first_answers += "\n"; // the answer the drop cuts short
    return s;
}

std::string written(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// The log's settings: each comment line's name and the readings after it.
std::map<std::string, std::vector<std::string>> settings_of(const std::string& log) {
    std::map<std::string, std::vector<std::string>> out;
    std::string current;
    for (std::string line : lines_of(log)) {
        line.erase(line.find_last_not_of("\r\n") + 1);
        if (line.starts_with("# the "))
            out[current = line.substr(2, line.find(':') - 2)];
        else if (!line.starts_with("#") && !line.empty())
            out[current].push_back(line);
    }
    return out;
}

} // namespace

TEST(AcquireEndToEnd, EverySettingWithAWrongDialAnOpenLeadAndADropThenResumed) {
    const script s = bench_script();
    meter_options options;
    options.deviation_ppm = deviation_ppm;
    options.slope_ppm = slope_ppm;
    options.scatter_ppm = 0.5;
    options.dial = s.dial;
    options.faults = {{fault_kind::open, s.open_at}, {fault_kind::drop, s.drop_at}};
    fake_meter meter(options);
    const std::filesystem::path dir = std::filesystem::current_path() / "acquired";
    std::filesystem::create_directories(dir);
    const std::string log = (dir / "log.txt").string(),
                      transcript = (dir / "transcript.txt").string();
    std::filesystem::remove(log);
    std::filesystem::remove(transcript);
    const std::string address = "--meter=127.0.0.1:" + std::to_string(meter.port());
    const std::vector<std::string> args = {address, "--field=item=Box 4711, simulated",
                                           "--transcript=" + transcript, log};
    run_options first{args, {}, false, 0, written(dir / "first.txt", s.first_answers)};
    const outcome r1 = run(test_path("acquire"), sink::pipe, first);
    EXPECT_EQ(1, r1.exit_code) << r1.err;
    EXPECT_NE(std::string::npos,
              r1.err.find("E+03 Ω: the 3000 Ω setting (position 3, decade 1E3): check the dial"))
        << r1.err;
    EXPECT_NE(std::string::npos, r1.err.find(": open circuit: check the leads")) << r1.err;
    EXPECT_NE(std::string::npos,
              r1.err.find(address.substr(8) + ": the connection was closed in the middle of an "
                                              "answer"))
        << r1.err;
    EXPECT_NE(std::string::npos, r1.err.find(" --resume")) << r1.err;
    EXPECT_EQ(34u, settings_of(file_text(log.c_str())).size());

    std::vector<std::string> resumed = args;
    resumed.push_back("--resume");
    run_options second{resumed, {}, false, 0, written(dir / "resumed.txt", s.resumed_answers)};
    const outcome r2 = run(test_path("acquire"), sink::pipe, second);
    EXPECT_EQ(0, r2.exit_code) << r2.err;
    // The progress counts the log's readings, the first run's included.
    EXPECT_NE(std::string::npos, r2.err.find("; 50 of 50 settings, 500 readings; ")) << r2.err;
    EXPECT_NE(std::string::npos, r2.err.find("50 of 50 settings measured")) << r2.err;

    const std::string text = file_text(log.c_str());
    EXPECT_TRUE(text.starts_with("# item: Box 4711, simulated\n# date: ")) << text;
    EXPECT_NE(std::string::npos, text.find("\n# reference: FAKE,DECADE-METER,0,1.0\n"));
    // Each setting once, with its ten readings (a setting written twice
    // would hold twenty), each as the meter sent it.
    const auto settings = settings_of(text);
    ASSERT_EQ(50u, settings.size());
    EXPECT_EQ(50, std::count(text.begin(), text.end(), '\n') - 2 - 500 - 1);
    const std::string said = file_text(transcript.c_str());
    for (const auto& [name, readings] : settings) {
        EXPECT_EQ(10u, readings.size()) << name;
        for (const std::string& r : readings)
            EXPECT_NE(std::string::npos, said.find("< " + r + "\n")) << r;
    }
    // The box the fake simulates: 300 Ω at 20 + 3·3 = 29 ppm.
    double sum = 0;
    for (const std::string& r : settings.at("the 300 Ω setting (position 3, decade 1E2)"))
        sum += std::stod(r);
    EXPECT_NEAR(29, (sum / 10 / 300 - 1) * 1e6, 1);
}

namespace {

// A meter of the simulated box, its readings passing the checks.
meter_options box_meter() {
    meter_options options;
    options.deviation_ppm = deviation_ppm;
    options.scatter_ppm = 0.5;
    return options;
}

std::string address_of(const fake_meter& meter) {
    return "--meter=127.0.0.1:" + std::to_string(meter.port());
}

// A log of its own for a test, none there yet.
std::string fresh_log(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::current_path() / "acquired";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / name);
    return (dir / name).string();
}

// What decade-acquire said, its line ends as LF: Windows writes the error
// stream in text mode.
outcome acquire_with(const std::vector<std::string>& args, const std::string& answers) {
    const std::filesystem::path input =
        std::filesystem::current_path() / "acquired" / "answers.txt";
    outcome r =
        run(test_path("acquire"), sink::pipe, {args, {}, false, 0, written(input, answers)});
    std::erase(r.err, '\r');
    return r;
}

// An argument as the command printed to continue gives it: as typed where
// a shell takes it so, else quoted as this system's shell quotes.
std::string as_typed(const std::string& arg) {
    if (arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                              "-_=./:,+@%") == std::string::npos)
        return arg;
#ifdef _WIN32
    return "\"" + arg + "\"";
#else
    return "'" + arg + "'";
#endif
}

} // namespace

// Two runs writing one log would write its settings twice, or one would
// write its stale copy over the other's: the second is refused before it
// asks the meter anything.
TEST(AcquireEndToEnd, LogInUseByAnotherRunIsRefusedAtOnceNamingIt) {
    fake_meter meter(box_meter());
    const std::string log = fresh_log("in-use.txt");
    log_lock other;
    std::string why;
    ASSERT_TRUE(other.take(log, why)) << why;
    const outcome r = acquire_with({address_of(meter), "--settings=1E1:1", log}, "\n");
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("decade-acquire: " + log + ": in use by another decade-acquire\n", r.err);
    EXPECT_EQ(0u, meter.confs());
}

// A transcript named as the log would fill it with lines the build
// refuses: refused before the meter is asked, as a bad option is.
TEST(AcquireEndToEnd, TranscriptThatIsTheLogIsRefused) {
    fake_meter meter(box_meter());
    const std::string log = fresh_log("transcript-is-log.txt");
    const outcome r =
        acquire_with({address_of(meter), "--transcript=" + log, "--settings=1E1:1", log}, "\n");
    EXPECT_EQ(2, r.exit_code);
    EXPECT_EQ("decade-acquire: " + log +
                  ": the transcript would be written into the log; name another file\n",
              r.err);
    EXPECT_EQ("", file_text(log.c_str()));
    EXPECT_EQ(0u, meter.confs());
}

// --field=reference names the reference, not the meter: the meter's
// answer is in the log all the same, and another meter is refused.
TEST(AcquireEndToEnd, ResumeWithAnotherMeterIsRefusedThoughTheReferenceIsGiven) {
    const std::string log = fresh_log("reference-given.txt");
    const std::vector<std::string> args = {"--field=reference=bench meter 3", "--settings=1E1:1-2",
                                           log};
    fake_meter first(box_meter());
    std::vector<std::string> begun = args;
    begun.insert(begun.begin(), address_of(first));
    ASSERT_EQ(0, acquire_with(begun, "\n").exit_code);
    meter_options other = box_meter();
    other.idn = "FAKE,DECADE-METER,2,1.0";
    fake_meter second(other);
    std::vector<std::string> resumed = args;
    resumed.insert(resumed.begin(), address_of(second));
    resumed.push_back("--resume");
    const outcome r = acquire_with(resumed, "\n");
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("decade-acquire: " + log +
                  ":3: its meter is 'FAKE,DECADE-METER,0,1.0', but the meter at 127.0.0.1:" +
                  std::to_string(second.port()) +
                  " answers 'FAKE,DECADE-METER,2,1.0': not the same calibration\n",
              r.err);
    EXPECT_EQ(0u, second.confs());
}

// A heading cut in its last line lacks the reference: the cut line is set
// aside and the heading completed from the meter, so that a later resume
// can compare the meter.
TEST(AcquireEndToEnd, HeadingCutInItsLastLineIsCompletedFromTheMeter) {
    const std::string log = fresh_log("cut-heading.txt");
    written(log, "# item: Box 4711\n# date: 2026-12-08\n# refer");
    fake_meter meter(box_meter());
    const outcome r = acquire_with(
        {address_of(meter), "--field=item=Box 4711", "--settings=1E1:1", log, "--resume"}, "");
    EXPECT_EQ(0, r.exit_code) << r.err;
    EXPECT_EQ("# item: Box 4711\n# date: 2026-12-08\n# set aside, the heading was not finished: # "
              "refer\n# reference: FAKE,DECADE-METER,0,1.0\n",
              file_text(log.c_str()));
}

// A NUL at power-up, a stray CR and an identity longer than a line: the
// reference is made to fit a line the build reads, and a resumed run
// compares the meter's answer the same way.
TEST(AcquireEndToEnd, IdentityWithControlCharactersAndTooLongIsMadeToFitALine) {
    const std::string log = fresh_log("identity.txt");
    meter_options options = box_meter();
    options.idn = std::string("\0FAKE,\x01", 7) + std::string(300, 'X') + "\r";
    fake_meter meter(options);
    const std::vector<std::string> args = {address_of(meter), "--settings=1E1:1", log};
    ASSERT_EQ(0, acquire_with(args, "").exit_code);
    const std::vector<std::string> lines = lines_of(file_text(log.c_str()));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("# reference: FAKE,\\x01" + std::string(234, 'X') + "\n", lines[1]);
    std::vector<std::string> resumed = args;
    resumed.push_back("--resume");
    const outcome r = acquire_with(resumed, "");
    EXPECT_EQ(0, r.exit_code) << r.err;
}

// The log's reader trims a field, so the log holds "Box 4711"; the
// command printed to continue gives the field as it was given.
TEST(AcquireEndToEnd, FieldWithBlanksAroundItResumesWithThePrintedCommand) {
    const std::string log = fresh_log("blanks.txt");
    fake_meter meter(box_meter());
    const std::vector<std::string> args = {address_of(meter), "--field=item= Box 4711 ",
                                           "--settings=1E1:1", log};
    const outcome first = acquire_with(args, "");
    ASSERT_EQ(0, first.exit_code) << first.err;
    EXPECT_NE(std::string::npos,
              first.err.find("continue with: decade-acquire " + args[0] + " " + as_typed(args[1]) +
                             " --settings=1E1:1 " + as_typed(log) + " --resume\n"))
        << first.err;
    std::vector<std::string> resumed = args;
    resumed.push_back("--resume");
    const outcome r = acquire_with(resumed, "");
    EXPECT_EQ(0, r.exit_code) << r.err;
    EXPECT_TRUE(file_text(log.c_str()).starts_with("# item: Box 4711\n"));
}

// What was written is known from this run, not by reading the log again
// under a cap: a fault after a setting of 1.6 MB still continues it.
TEST(AcquireEndToEnd, FaultAfterALargeSettingGivesTheCommandWithResume) {
    const std::string log = fresh_log("large.txt");
    meter_options options = box_meter();
    options.per_read = 1000;
    options.faults = {{fault_kind::drop, 102}}; // the 2nd setting's first READ?
    fake_meter meter(options);
    const outcome r =
        acquire_with({address_of(meter), "--readings=100000", "--settings=1E1:1-2", log}, "\n\n");
    EXPECT_EQ(1, r.exit_code);
    EXPECT_GT(std::filesystem::file_size(log), std::uintmax_t{1} << 20);
    EXPECT_NE(std::string::npos,
              r.err.find("decade-acquire: " + log +
                         " holds every setting measured whole; continue with: decade-acquire " +
                         address_of(meter) + " --readings=100000 --settings=1E1:1-2 " +
                         as_typed(log) + " --resume\n"))
        << r.err;
}

// The laboratory's file knows the meter: one whose own calibration has run
// out is refused before anything is written, one it does not know is
// warned of and measures.
TEST(AcquireEndToEnd, MeterPastItsDueDateIsRefusedAndAnUnknownOneWarnedOf) {
    const std::filesystem::path lab = std::filesystem::current_path() / "acquired" / "lab.txt";
    written(lab, "name = Lab\naddress = Street 1\napprover = A. Meier, quality manager\n"
                 "reference = FAKE,DECADE-METER | Calibrated by B | due 2020-01-31\n");
    const std::string log = fresh_log("overdue.txt");
    fake_meter meter(box_meter());
    const outcome r =
        acquire_with({address_of(meter), "--settings=1E1:1", "--lab=" + lab.string(), log}, "\n");
    EXPECT_EQ(1, r.exit_code);
    EXPECT_NE(std::string::npos,
              r.err.find("decade-acquire: meter at 127.0.0.1:" + std::to_string(meter.port()) +
                         ": reference 'FAKE,DECADE-METER,0,1.0' was due on 2020-01-31, before "))
        << r.err;
    EXPECT_EQ(0u, meter.confs());
    EXPECT_EQ("", file_text(log.c_str()));

    written(lab, "name = Lab\naddress = Street 1\napprover = A. Meier, quality manager\n"
                 "reference = DMM 7 | Calibrated by B | due 2099-01-31\n");
    const outcome unknown =
        acquire_with({address_of(meter), "--settings=1E1:1", "--lab=" + lab.string(), log}, "\n");
    EXPECT_EQ(0, unknown.exit_code) << unknown.err;
    EXPECT_NE(std::string::npos,
              unknown.err.find("decade-acquire: warning: " + lab.string() +
                               ": reference 'FAKE,DECADE-METER,0,1.0' has no entry in the "
                               "laboratory's file\n"))
        << unknown.err;
}
