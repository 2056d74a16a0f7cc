// decade-acquire's parts: the settings a list chooses, the meter file, the
// meter's dialogue over a scripted line, the checks at the bench, and a log
// read back to be continued.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "acquire/address.h"
#include "acquire/check.h"
#include "acquire/dialect.h"
#include "acquire/link.h"
#include "acquire/log_file.h"
#include "acquire/meter.h"
#include "acquire/options.h"
#include "acquire/plan.h"
#include "scripted_link.h"

namespace {

std::string names(const std::vector<setting>& settings) {
    std::string text;
    for (const setting& at : settings)
        text += (text.empty() ? "" : " ") + std::to_string(at.p) + "E" + std::to_string(at.d + 1);
    return text;
}

std::vector<meter_reading> readings_of(std::initializer_list<const char*> texts) {
    std::vector<meter_reading> out;
    for (const char* t : texts)
        out.push_back({t, std::stod(t)});
    return out;
}

} // namespace

// Whatever the list's order, the settings are walked decade by decade.
TEST(AcquirePlan, ListChoosesSettingsInTheWalksOrder) {
    const struct {
        const char* list;
        const char* chosen; // position, then decade
    } cases[] = {
        {"1E3:4-7", "4E3 5E3 6E3 7E3"},
        {"1E5:10,1E1:2", "2E1 10E5"},
        {"1E2", "1E2 2E2 3E2 4E2 5E2 6E2 7E2 8E2 9E2 10E2"},
        {"1E4:3,1E4:3", "3E4"},
    };
    for (const auto& c : cases) {
        std::vector<setting> chosen;
        std::string error;
        ASSERT_TRUE(read_settings_list(c.list, chosen, error)) << c.list << ": " << error;
        EXPECT_EQ(c.chosen, names(chosen)) << c.list;
    }
    for (const char* bad : {"1E6", "1E3:0", "1E3:11", "1E3:7-4", "1E3,", "E3", "1E3:4-"}) {
        std::vector<setting> chosen;
        std::string error;
        EXPECT_FALSE(read_settings_list(bad, chosen, error)) << bad;
    }
    EXPECT_EQ(1000, range_of({3, 1}));
    EXPECT_EQ(100, range_of({10, 0}));
    EXPECT_EQ(1000000, range_of({10, 4}));
}

TEST(AcquireMeterFile, SetsTheLinesItNamesAndRefusesWhatItDoesNot) {
    meter_dialect d;
    key_file_error error;
    ASSERT_TRUE(
        read_meter_file("line end = CR LF\nconfigure = R{range}  # by range\nerror =\n", d, error))
        << error.what;
    EXPECT_EQ("\r\n", d.line_end);
    EXPECT_EQ("R1000", with_figures(d.configure, 1000, 300));
    EXPECT_EQ("", d.error);
    EXPECT_EQ("READ?", d.read);
    EXPECT_FALSE(read_meter_file("read = READ?\nread = FETCH?\n", d, error));
    EXPECT_EQ("read given twice, first on line 1", error.what);
    EXPECT_EQ(2u, error.line);
    EXPECT_FALSE(read_meter_file("line end = LF CR\n", d, error));
    EXPECT_FALSE(read_meter_file("colour = red\n", d, error));
}

// Configuring reads the error queue until it is empty, and an answer that
// holds more readings than were asked for gives only those asked for.
TEST(AcquireMeter, ConfiguringReadsTheErrorQueueAndReadingKeepsWhatWasAsked) {
    const meter_dialect d;
    scripted_link link;
    meter m(link, d, std::chrono::seconds(1));
    link.answer("+0,\"No error\"");
    m.configure(1000, 300);
    EXPECT_EQ((std::vector<std::string>{"CONF:FRES 1000\n", "FRES:NPLC 10\n", "FRES:OCOM ON\n",
                                        "SYST:ERR?\n"}),
              link.sent);
    link.answer("-222,\"Data out of range\"").answer("+0,\"No error\"");
    try {
        m.configure(1000, 300);
        ADD_FAILURE() << "an error in the queue passed";
    } catch (const meter_fault& f) {
        EXPECT_EQ("its error queue holds '-222,\"Data out of range\"' after 'CONF:FRES 1000'",
                  f.what);
    }
    link.answer("300.01,300.02,300.03").answer("300.04,300.05");
    const std::vector<meter_reading> r = m.read(4);
    ASSERT_EQ(4u, r.size());
    EXPECT_EQ("300.04", r[3].text);
    EXPECT_EQ(0u, link.unanswered());
}

namespace {

enum class asked { identify, configure, read_two };

// The meter asked one thing over a scripted line: what it sent, and what
// came of it (the identity, the readings, or the fault).
struct dialogue {
    std::string sent, came;
};

dialogue talk(const meter_dialect& d, std::string_view script, asked what) {
    scripted_link link;
    for (std::size_t at = 0; at < script.size();) {
        const std::size_t bar = std::min(script.find('|', at), script.size());
        const std::string step(script.substr(at, bar - at));
        if (step.starts_with('!'))
            link.fault(step.substr(1));
        else
            link.answer(step);
        at = bar + 1;
    }
    meter m(link, d, std::chrono::seconds(1));
    dialogue out;
    try {
        if (what == asked::identify)
            out.came = m.identify();
        if (what == asked::configure)
            m.configure(1000, 300);
        if (what == asked::read_two)
            for (const meter_reading& r : m.read(2))
                out.came += (out.came.empty() ? "" : " ") + r.text;
    } catch (const link_fault& f) {
        out.came = "link: " + f.what;
    } catch (const meter_fault& f) {
        out.came = "meter: " + f.what;
    }
    for (const std::string& line : link.sent)
        out.sent += line;
    return out;
}

// The default dialect with some of its lines changed.
meter_dialect
with(std::initializer_list<std::pair<std::string meter_dialect::*, const char*>> lines) {
    meter_dialect d;
    for (const auto& [line, value] : lines)
        d.*line = value;
    return d;
}

const meter_dialect scpi;
const meter_dialect adapter =
    with({{&meter_dialect::line_end, "\r\n"}, {&meter_dialect::prefix, "ADR 22"}});
const meter_dialect no_identity = with({{&meter_dialect::identify, ""}});
const meter_dialect no_clear = with({{&meter_dialect::clear, ""}});
const meter_dialect no_queue = with({{&meter_dialect::error, ""}});
const meter_dialect zero_no_error = with({{&meter_dialect::no_error, "0"}});

} // namespace

// What the meter is sent and how its answers are taken, for each question
// and each way the line or the meter lets the dialogue down.  Script steps
// are separated by '|'; '!' marks a fault of the line.
TEST(AcquireMeter, EachQuestionAndEachFaultOfTheDialogue) {
    const struct {
        const char* came;
        const char* sent;
        const meter_dialect& dialect;
        asked what;
        const char* script;
    } cases[] = {
        {"FAKE,METER,0,1.0", "*CLS\n*IDN?\n", scpi, asked::identify, " FAKE,METER,0,1.0\t"},
        {"A", "ADR 22\r\n*CLS\r\nADR 22\r\n*IDN?\r\n", adapter, asked::identify, "A"},
        {"", "*CLS\n", no_identity, asked::identify, ""},
        {"A", "*IDN?\n", no_clear, asked::identify, "A"},
        {"link: no answer within 1 s", "*CLS\n*IDN?\n", scpi, asked::identify,
         "!no answer within 1 s"},
        {"", "CONF:FRES 1000\nFRES:NPLC 10\nFRES:OCOM ON\n", no_queue, asked::configure, ""},
        {"", "CONF:FRES 1000\nFRES:NPLC 10\nFRES:OCOM ON\nSYST:ERR?\n", zero_no_error,
         asked::configure, "0,No error"},
        {"meter: its error queue holds '-113,\"Undefined header\"', '-222,\"Data out of range\"' "
         "after 'CONF:FRES 1000'",
         "CONF:FRES 1000\nFRES:NPLC 10\nFRES:OCOM ON\nSYST:ERR?\nSYST:ERR?\nSYST:ERR?\n", scpi,
         asked::configure, "-113,\"Undefined header\"|-222,\"Data out of range\"|+0,\"No error\""},
        {"link: no answer within 1 s", "CONF:FRES 1000\nFRES:NPLC 10\nFRES:OCOM ON\nSYST:ERR?\n",
         scpi, asked::configure, "!no answer within 1 s"},
        {"300.01 300.02", "READ?\nREAD?\n", scpi, asked::read_two, "300.01|300.02"},
        {"+3.0001E+02 300.02", "READ?\n", scpi, asked::read_two, " +3.0001E+02 ,\t300.02 "},
        {"meter: its answer 'GARBAGE' to 'READ?' is not a reading", "READ?\n", scpi,
         asked::read_two, "GARBAGE"},
        {"meter: its answer '300.01,,300.02' to 'READ?' is not a reading", "READ?\n", scpi,
         asked::read_two, "300.01,,300.02"},
        {"meter: its answer '1e999' to 'READ?' is not a reading", "READ?\n", scpi, asked::read_two,
         "1e999"},
        {"meter: its answer 'nan' to 'READ?' is not a reading", "READ?\n", scpi, asked::read_two,
         "nan"},
        {"meter: its answer '300.01 Ohm' to 'READ?' is not a reading", "READ?\n", scpi,
         asked::read_two, "300.01 Ohm"},
        {"link: no answer within 1 s", "READ?\nREAD?\n", scpi, asked::read_two,
         "300.01|!no answer within 1 s"},
        {"link: the connection was closed in the middle of an answer", "READ?\n", scpi,
         asked::read_two, "!the connection was closed in the middle of an answer"},
    };
    for (const auto& c : cases) {
        const dialogue d = talk(c.dialect, c.script, c.what);
        EXPECT_EQ(c.came, d.came) << c.script;
        EXPECT_EQ(c.sent, d.sent) << c.script;
    }
}

// A meter whose error queue never empties is asked 20 times, not for ever.
TEST(AcquireMeter, AnErrorQueueThatNeverEmptiesIsAskedTwentyTimes) {
    scripted_link link;
    for (int i = 0; i < 25; ++i)
        link.answer("-100,\"Command error\"");
    meter m(link, scpi, std::chrono::seconds(1));
    EXPECT_THROW(m.configure(1000, 300), meter_fault);
    EXPECT_EQ(5u, link.unanswered());
}

// The transcript holds each line sent, without its line end, each line
// received, each fault of the line and each note, after the time and its
// mark; the meter gets the line as it was sent.
TEST(AcquireTranscript, EachLineAfterItsTimeAndMark) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "decade-acquire-transcript-test.txt";
    std::FILE* file = std::fopen(path.string().c_str(), "w+b");
    ASSERT_NE(nullptr, file);
    scripted_link link;
    link.answer("FAKE,1").fault("no answer within 1 s");
    transcribed_link noted(link, file);
    noted.note("decade-acquire: meter at m");
    noted.send("*IDN?\r\n");
    EXPECT_EQ("FAKE,1", noted.receive("\r\n", std::chrono::seconds(1)));
    EXPECT_THROW(noted.receive("\r\n", std::chrono::seconds(1)), link_fault);
    EXPECT_EQ(std::vector<std::string>{"*IDN?\r\n"}, link.sent);
    std::rewind(file);
    std::string lines;
    for (char line[256]; std::fgets(line, sizeof line, file);) {
        const std::string_view l = line; // 2026-12-10T17:47:04.605Z > *IDN?
        EXPECT_TRUE(l.size() > 25 && l[4] == '-' && l[10] == 'T' && l[19] == '.' && l[23] == 'Z')
            << l;
        lines += l.substr(std::min<std::size_t>(25, l.size()));
    }
    std::fclose(file);
    std::filesystem::remove(path);
    EXPECT_EQ("# decade-acquire: meter at m\n> *IDN?\n< FAKE,1\n! no answer within 1 s\n", lines);
}

// Each reading is checked as the build's audit will take it; the first
// trouble is said, in the order of the readings.
TEST(AcquireCheck, EachTroubleIsSaidBeforeTheReadingsAreWritten) {
    const setting_finder finder;
    const setting at{3, 1}; // 300 Ω
    const struct {
        std::vector<meter_reading> readings;
        const char* said; // "" where they pass
    } cases[] = {
        {readings_of({"300.0061", "300.0066"}), ""},
        {readings_of({"300.0061", "3000.2"}),
         "reads 3000.2 Ω: the 3000 Ω setting (position 3, decade 1E3): check the dial"},
        {readings_of({"+9.90000000E+37"}), "reads +9.90000000E+37: open circuit: check the leads"},
        {readings_of({"300.0061", "+3.00000000E+02"}),
         "reads +3.00000000E+02 Ω, exactly the nominal value of the 300 Ω setting (position 3, "
         "decade 1E2), which the report never counts: take more digits from the meter"},
        {readings_of({"312.5"}),
         "reads 312.5 Ω, in no setting's acceptance window: check the dial and the leads"},
        {readings_of({"300.0061", "300.0062", "300.0061", "300.0063", "300.0062", "300.0061",
                      "300.0062", "300.0063", "300.0062", "300.0900"}),
         "1 of its 10 readings lies far from the rest of the run: check the leads and that the box "
         "has settled"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.said, check_readings(finder, at, c.readings).value_or("")) << c.said;
}

// A log continued: its whole settings are kept, a partial last one (too
// few readings, or its last line cut short) is set aside as comments.
TEST(AcquireLog, ResumeKeepsWholeSettingsAndSetsAsideAPartialLastOne) {
    const std::string head = "# item: Box 4711\n# date: 2026-12-08\n" +
                             setting_text({1, 0}, readings_of({"10.0002", "10.0003"}));
    const std::string second = "# the 20 Ω setting (position 2, decade 1E1): 2 readings\n";
    const struct {
        std::string text;
        const char* whole;
        std::size_t set_aside;
    } cases[] = {
        {head, "1E1", 0},
        {head + second + "20.0004\n", "1E1", 2},
        {head + second + "20.0004\n20.00", "1E1", 3},
        {head + second + "20.0004\n20.0005\n", "1E1 2E1", 0},
        {head.substr(0, head.size() - 3), "", 3},
    };
    for (const auto& c : cases) {
        log_so_far so_far;
        std::string error;
        ASSERT_TRUE(read_log_so_far(c.text, so_far, error)) << error;
        EXPECT_EQ(c.whole, names(so_far.whole)) << c.text;
        EXPECT_EQ(c.set_aside, so_far.set_aside) << c.text;
        EXPECT_EQ("Box 4711", find_field(so_far.record, record_key::item)->value);
        // What is kept reads back whole, and the set-aside lines are comments.
        log_so_far again;
        ASSERT_TRUE(read_log_so_far(so_far.text, again, error)) << error;
        EXPECT_EQ(c.whole, names(again.whole));
    }
    log_so_far so_far;
    std::string error;
    EXPECT_FALSE(
        read_log_so_far(head + second + "20.0004\n" + setting_text({3, 0}, {}), so_far, error));
    EXPECT_EQ("6: the 20 Ω setting (position 2, decade 1E1) holds 1 of its 2 readings, and is not "
              "the last: not a log to continue",
              error);
}

// What a user writes for a meter's address: where the port is, an IPv6
// address in brackets or alone, and a serial device.
TEST(AcquireAddress, HostAndPortOrDeviceAsUsersWriteThem) {
    const struct {
        const char* address;
        const char* read; // host and port, or the device
    } cases[] = {
        {"10.0.0.7", "10.0.0.7 5025"},
        {"meter.lab:5026", "meter.lab 5026"},
        {"meter.lab:65535", "meter.lab 65535"},
        {"meter.lab:1", "meter.lab 1"},
        {"[::1]:5026", "::1 5026"},
        {"[fe80::1%eth0]:5026", "fe80::1%eth0 5026"},
        {"[::1]", "::1 5025"},
        {"fe80::1", "fe80::1 5025"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"COM3", "COM3"},
        {"com256", "com256"},
        {"COM257", "COM257 5025"},
    };
    for (const auto& c : cases) {
        meter_address a;
        std::string error;
        EXPECT_TRUE(read_meter_address(c.address, 5025, a, error)) << c.address << ": " << error;
        EXPECT_EQ(c.read, a.device.empty() ? a.host + " " + std::to_string(a.port) : a.device);
    }
}

// An address a meter cannot be at is a bad option, found before anything
// is connected to: a port that would wrap round reaches another service.
TEST(AcquireOptions, MeterAddressThatCannotBeIsRefused) {
    const struct {
        const char* address;
        const char* said;
    } cases[] = {
        {"127.0.0.1:70000",
         "--meter: the port of '127.0.0.1:70000' is not a number from 1 to 65535"},
        {"127.0.0.1:0", "--meter: the port of '127.0.0.1:0' is not a number from 1 to 65535"},
        {"meter.lab:", "--meter: the port of 'meter.lab:' is not a number from 1 to 65535"},
        {"meter.lab:50x", "--meter: the port of 'meter.lab:50x' is not a number from 1 to 65535"},
        {":5025", "--meter: ':5025' names no host"},
        {"[]:5025", "--meter: '[]:5025' names no host"},
        {"[::1:5025", "--meter: '[::1:5025' has no ']' to close its IPv6 address"},
        {"[::1]5025", "--meter: '[::1]5025' has '5025' after its ']', not ':PORT'"},
    };
    for (const auto& c : cases) {
        const std::string meter = std::string("--meter=") + c.address;
        char log[] = "box.txt";
        char* const args[] = {const_cast<char*>(meter.c_str()), log};
        acquire_options o;
        std::string error;
        EXPECT_FALSE(read_acquire_options(args, o, error)) << c.address;
        EXPECT_EQ(c.said, error);
    }
}
