// decade-acquire's parts: the settings a list chooses, the meter file, the
// meter's dialogue over a scripted line, the checks at the bench, and a log
// read back to be continued.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "acquire/address.h"
#include "acquire/check.h"
#include "acquire/dialect.h"
#include "acquire/link.h"
#include "acquire/log_file.h"
#include "acquire/log_lock.h"
#include "acquire/meter.h"
#include "acquire/options.h"
#include "acquire/plan.h"
#include "acquire/resume.h"
#include "acquire/session.h"
#include "base/whole_file.h"
#include "scripted_link.h"

namespace {

std::string names(const std::vector<setting>& settings) {
    std::string text;
    for (const setting& at : settings)
        text += (text.empty() ? "" : " ") + std::to_string(at.p) + "E" + std::to_string(at.d + 1);
    return text;
}

std::string written(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

std::string text_of(const std::filesystem::path& path) {
    std::string text, why;
    return read_whole_file(path.string(), 1 << 20, text, why) ? text : "(" + why + ")";
}

void close_file(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
}

std::filesystem::path test_file(const char* name) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove(path);
    return path;
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
    for (const char* bad : {"1E6", "1E3x", "1E3:0", "1E3:11", "1E3:7-4", "1E3,", "E3", "1E3:4-"}) {
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
        {"meter: its answer '300.01\\x0d' to 'READ?' is not a reading", "READ?\n", scpi,
         asked::read_two, "300.01\r"},
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
// received whole, a NUL in it too, each fault of the line and each note,
// after the time and its mark; the meter gets the line as it was sent.
TEST(AcquireTranscript, EachLineAfterItsTimeAndMark) {
    using namespace std::string_literals;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "decade-acquire-transcript-test.txt";
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(nullptr, file);
    scripted_link link;
    link.answer("\0FAKE,1"s).fault("no answer within 1 s");
    transcribed_link noted(link, file);
    noted.note("decade-acquire: meter at m");
    noted.send("*IDN?\r\n");
    EXPECT_EQ("\0FAKE,1"s, noted.receive("\r\n", std::chrono::seconds(1)));
    EXPECT_THROW(noted.receive("\r\n", std::chrono::seconds(1)), link_fault);
    EXPECT_EQ(std::vector<std::string>{"*IDN?\r\n"}, link.sent);
    std::fclose(file);
    std::string lines;
    const std::string whole = text_of(path);
    std::string_view text = whole;
    while (!text.empty()) { // 2026-12-10T17:47:04.605Z > *IDN?
        const std::string_view l = text.substr(0, std::min(text.find('\n'), text.size() - 1) + 1);
        EXPECT_TRUE(l.size() > 25 && l[4] == '-' && l[10] == 'T' && l[19] == '.' && l[23] == 'Z')
            << l;
        lines += l.substr(std::min<std::size_t>(25, l.size()));
        text.remove_prefix(l.size());
    }
    std::filesystem::remove(path);
    EXPECT_EQ("# decade-acquire: meter at m\n> *IDN?\n< \0FAKE,1\n! no answer within 1 s\n"s,
              lines);
}

// Each reading is checked as the build's audit will take it; the first
// trouble is said, in the order of the readings.
TEST(AcquireCheck, EachTroubleIsSaidBeforeTheReadingsAreWritten) {
    const setting_finder finder;
    const setting at{3, 1}; // 300 Ω
    const struct {
        std::vector<meter_reading> readings;
        std::string said; // "" where they pass
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
        {readings_of({"300.0061", "1e39"}),
         "reads 1e39, which the log cannot hold (outside the range of a float): check the dial "
         "and the leads"},
        {readings_of({"1e-50"}),
         "reads 1e-50, which the log cannot hold (outside the range of a float): check the dial "
         "and the leads"},
        {{{"300.00" + std::string(284, '1'), 300.0011}},
         "reads 300.00" + std::string(31, '1') +
             "..., which the log cannot hold (line too long to be a reading): check the dial and "
             "the leads"},
        {readings_of({"300.0061", "300.0062", "300.0061", "300.0063", "300.0062", "300.0061",
                      "300.0062", "300.0063", "300.0062", "300.0900"}),
         "1 of its 10 readings lies far from the rest of the run: check the leads and that the box "
         "has settled"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.said, check_readings(finder, at, c.readings).value_or("")) << c.said;
}

// A log continued: its whole settings are kept, a partial last one (too
// few readings, or its last line cut short, NULs a power cut left in it
// too) is set aside as comments the build reads.
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
        {head + second + "20.0004\n" + std::string(300, '\0'), "1E1", 3}, // a power cut's tail
        {head + second + "20.0004\n20.0005\n", "1E1 2E1", 0},
        {head.substr(0, head.size() - 3), "", 3},
    };
    for (const auto& c : cases) {
        log_so_far so_far;
        record_error error;
        ASSERT_TRUE(read_log_so_far(c.text, so_far, error)) << error.what;
        EXPECT_EQ(c.whole, names(so_far.whole)) << c.text;
        EXPECT_EQ(c.set_aside, so_far.set_aside) << c.text;
        if (c.set_aside > 0) { // a setting cut short is not a heading cut short
            EXPECT_NE(std::string::npos,
                      so_far.text.find("# set aside, the setting was not finished: "));
        }
        EXPECT_EQ("Box 4711", find_field(so_far.record, record_key::item)->value);
        // What is kept reads back whole, and the set-aside lines are comments.
        log_so_far again;
        ASSERT_TRUE(read_log_so_far(so_far.text, again, error)) << error.what;
        EXPECT_EQ(c.whole, names(again.whole));
    }
    log_so_far so_far;
    record_error error;
    EXPECT_FALSE(
        read_log_so_far(head + second + "20.0004\n" + setting_text({3, 0}, {}), so_far, error));
    EXPECT_EQ(6u, error.line);
    EXPECT_EQ("the 20 Ω setting (position 2, decade 1E1) holds 1 of its 2 readings, and is not "
              "the last: not a log to continue",
              error.what);
    EXPECT_FALSE(read_log_so_far(head + "10.0002 Ohm\n", so_far, error));
    EXPECT_EQ(6u, error.line);
    EXPECT_EQ("text after the number: 10.0002 Ohm", error.what);
}

// Setting a part aside replaces the log in steps; a kill between any two
// leaves the old log whole or the new one, never none nor half of one.
TEST(AcquireLog, SettingAsideLeavesTheLogWholeAfterEachStep) {
    const std::string old_text = "# item: Box 4711\n# the 10 Ω",
                      new_text = "# item: Box 4711\n# set aside, the heading was not finished: "
                                 "# the 10 Ω\n";
    const std::filesystem::path log = test_file("acquire-set-aside.txt");
    for (std::size_t steps = 0; steps <= std::size(replace_steps); ++steps) {
        written(log, old_text);
        log_replacement r = replacement_of(log.string(), new_text);
        for (std::size_t i = 0; i < steps; ++i)
            ASSERT_TRUE(replace_steps[i](r)) << i;
        const std::string now = text_of(log);
        EXPECT_TRUE(now == old_text || now == new_text) << steps << ": " << now;
        if (r.fd >= 0) // the kill closes what was open
            close_file(r.fd);
    }
    EXPECT_EQ(new_text, text_of(log));
    EXPECT_FALSE(std::filesystem::exists(log.string() + ".new"));
}

// A setting whose write is cut short (a full disk, here a file size limit,
// which fails a write as a full disk does) leaves the log as it was: a torn
// reading would be read by the build with fewer digits.
#ifndef _WIN32
TEST(AcquireLog, AnAppendCutShortLeavesTheLogAsItWas) {
    const std::string old_text = "# item: Box 4711\n";
    const std::filesystem::path log = test_file("acquire-cut-short.txt");
    written(log, old_text);
    rlimit was{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &was));
    const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = was;
    small.rlim_cur = 40;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const bool appended = append_synced(log.string(), "# the 10 Ω setting\n+1.00001948E+01\n");
    setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, ignored);
    EXPECT_FALSE(appended);
    EXPECT_EQ(old_text, text_of(log));
}
#endif

// A log that is a symbolic link is replaced where it points.
TEST(AcquireLog, SettingAsideALinkedLogReplacesItWhereItPoints) {
    const std::filesystem::path target = test_file("acquire-target.txt"),
                                link = test_file("acquire-link.txt");
    written(target, "# item: Box 4711\n");
    std::error_code ec;
    std::filesystem::create_symlink(target, link, ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here: " << ec.message();
    log_replacement r = replacement_of(link.string(), "# item: Box 4712\n");
    ASSERT_TRUE(replace_synced(r));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ("# item: Box 4712\n", text_of(target));
}

// One run per log: a second lock on a locked log is refused, and a
// file's lock ends with the lock that holds it.
TEST(AcquireLog, ALockedLogIsRefusedToASecondLock) {
    const std::filesystem::path log = test_file("acquire-lock.txt");
    std::string why;
    {
        log_lock first;
        ASSERT_TRUE(first.take(log.string(), why)) << why;
        log_lock second;
        EXPECT_FALSE(second.take(log.string(), why));
        EXPECT_EQ("in use by another decade-acquire", why);
    }
    log_lock again;
    EXPECT_TRUE(again.take(log.string(), why)) << why;
}

// A device or a pipe is refused as a log at once: a pipe kept the run
// waiting for ever to read it, a device was "larger than 1024 MiB".
#ifndef _WIN32
TEST(AcquireLog, ADeviceIsRefusedAsALog) {
    log_lock lock;
    std::string why;
    EXPECT_FALSE(lock.take("/dev/null", why));
    EXPECT_EQ("not a file (a log is a file on a disk)", why);
}
#endif

// Reading a small log costs about its size, not the cap on its size.
TEST(AcquireLog, ReadingASmallLogCostsItsSizeNotTheCap) {
    const std::filesystem::path log = test_file("acquire-small.txt");
    written(log, "# item: Box 4711\n");
    std::string text, why;
    ASSERT_TRUE(read_whole_file(log.string(), std::size_t{64} << 20, text, why)) << why;
    EXPECT_EQ("# item: Box 4711\n", text);
    EXPECT_LT(text.capacity(), std::size_t{1} << 20);
}

// A --field value is trimmed as the log's reader trims it, and must fit a
// line of the log; else it is a bad option.
TEST(AcquireOptions, FieldIsTrimmedAsTheLogReadsItAndFitsALine) {
    const struct {
        std::string field;
        std::string value_or_error;
    } cases[] = {
        {"item= Box 4711 ", "Box 4711"},
        {"item=\tBox 4711", "Box 4711"},
        {"item= ", "--field item has no value"},
        {"item=" + std::string(248, 'x'), std::string(248, 'x')},
        {"item=" + std::string(249, 'x'),
         "--field item is longer than the 248 characters a line of the log holds for it"},
        {"reference=" + std::string(244, 'x'),
         "--field reference is longer than the 243 characters a line of the log holds for it"},
        {"item=Box\x1b"
         "4711",
         "--field item holds a control character"},
    };
    for (const auto& c : cases) {
        std::string arg = "--field=" + c.field, meter = "--meter=m", log = "log.txt";
        char* args[] = {arg.data(), meter.data(), log.data()};
        acquire_options o;
        std::string error;
        const bool read = read_acquire_options(args, o, error);
        EXPECT_EQ(c.value_or_error, read ? o.fields.at(0).value : error) << c.field;
    }
}

// Ctrl-C while a setting is synced ends the session there, not at the
// next prompt's answer (at a terminal, the operator's next Enter).
TEST(AcquireSession, InterruptWhileASettingIsWrittenEndsBeforeTheNextPrompt) {
    const std::filesystem::path log = test_file("acquire-interrupt.txt"),
                                input = test_file("acquire-interrupt-input.txt"),
                                said = test_file("acquire-interrupt-err.txt");
    written(input, "\n\n");
    const meter_dialect d;
    scripted_link link;
    link.answer("+0,\"No error\"").answer("10.0002");
    meter m(link, d, std::chrono::seconds(1));
    session_plan plan;
    plan.settings = {{1, 0}, {2, 0}};
    plan.chosen = 2;
    plan.readings = 1;
    plan.settle = 0;
    plan.log = log.string();
    std::FILE* in = std::fopen(input.string().c_str(), "rb");
    std::FILE* err = std::fopen(said.string().c_str(), "wb");
    ASSERT_TRUE(in && err);
    // The signal comes once the setting is in the log.
    const auto written_yet = [&] { return std::filesystem::exists(log); };
    EXPECT_THROW(run_session(plan, m, in, err, written_yet), interrupted_fault);
    std::fclose(in);
    std::fclose(err);
    EXPECT_EQ("# the 10 Ω setting (position 1, decade 1E1): 1 reading\n10.0002\n", text_of(log));
    EXPECT_EQ(std::string::npos, text_of(said).find("the 20 Ω setting")) << text_of(said);
}

// A log is continued only as the same calibration: the fields given now as
// it gives them, the meter answering now the one it names (whatever
// reference is given), a cut heading completed while it holds no setting.
TEST(AcquireResume, ContinuesTheSameCalibrationOnly) {
    const std::string ten = setting_text({1, 0}, readings_of({"10.0002"}));
    const auto field = [](record_key key, const char* value) {
        return record_field{key, value, 0};
    };
    const record_field item_a = field(record_key::item, "A"),
                       today = field(record_key::date, "2026-12-11"),
                       given = field(record_key::reference, "bench meter 3");
    const struct {
        std::string log;
        std::vector<record_field> fields;
        const char* identity;
        std::string continued; // the text where it changes, "" where as it is, else the fault
    } cases[] = {
        {"# item: A\n# date: 2026-12-08\n# reference: M1\n" + ten,
         {item_a, today, field(record_key::reference, "M1")},
         "M1",
         ""},
        {"# item: A\n# date: 2026-12-08\n# reference: M1\n" + ten,
         {item_a, today, field(record_key::reference, "M2")},
         "M2",
         "3: its reference is 'M1', but the meter at m answers 'M2': not the same calibration"},
        {"# reference: bench meter 3\n# meter: M1\n" + ten,
         {given},
         "M2",
         "2: its meter is 'M1', but the meter at m answers 'M2': not the same calibration"},
        {"# reference: bench meter 3\n" + ten,
         {given},
         "M1",
         "0: names no meter to compare the meter at m, answering 'M1', with: not known to be the "
         "same calibration; name another log"},
        {"# item: A\n" + ten, {item_a, today}, "", ""},
        {"# item: A\n" + ten,
         {field(record_key::item, "B")},
         "",
         "1: its item is 'A', but this run gives 'B': not the same calibration"},
        {"# item: A\n# refer",
         {item_a, today, field(record_key::reference, "M1")},
         "M1",
         "# item: A\n# set aside, the heading was not finished: # refer\n# date: 2026-12-11\n# "
         "reference: M1\n"},
        {"# reference: bench meter 3\n# met",
         {given},
         "M1",
         "# reference: bench meter 3\n# set aside, the heading was not finished: # met\n# meter: "
         "M1\n"},
    };
    for (const auto& c : cases) {
        log_so_far so_far;
        record_error error;
        ASSERT_TRUE(read_log_so_far(c.log, so_far, error)) << error.what;
        const run_heading run{{c.fields, c.identity}, false, "m"};
        std::string said;
        try {
            said = continued_text(so_far, run).value_or("");
        } catch (const resume_fault& f) {
            said = std::to_string(f.line) + ": " + f.what;
        }
        EXPECT_EQ(c.continued, said) << c.log;
    }
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
// Each option read to its bounds and once; a bad one is said.
TEST(AcquireOptions, CountsSecondsAndRepeatsAreRefusedOutsideTheirBounds) {
    const struct {
        std::vector<std::string> args; // after --meter=m box.txt
        const char* said;              // "" where they are taken
    } cases[] = {
        {{"--readings=1", "--settle=0", "--timeout=3600", "--baud=50"}, ""},
        {{"--readings=100000", "--settle=1000", "--timeout=1"}, ""},
        {{"--readings=0"}, "--readings takes a count from 1 to 100000"},
        {{"--readings=100001"}, "--readings takes a count from 1 to 100000"},
        {{"--readings=10x"}, "--readings takes a count from 1 to 100000"},
        {{"--settle=1001"}, "--settle takes a count from 0 to 1000"},
        {{"--timeout=0"}, "--timeout takes whole seconds from 1 to 3600"},
        {{"--baud=49"}, "--baud takes a speed in bits per second"},
        {{"--readings=5", "--readings=6"}, "--readings given twice"},
        {{"--field=item=A", "--field=item=B"}, "--field item given twice"},
        {{"--field=item"},
         "--field takes KEY=VALUE, KEY one of the record's: item, date, "
         "customer, operator, location, temperature, humidity, reference, "
         "method, certificate, received, issued, interval"},
        {{"-x"}, "unknown option -x"},
        {{"other.txt"}, "one log, not two: box.txt and other.txt"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> given = {"--meter=m", "box.txt"};
        given.insert(given.end(), c.args.begin(), c.args.end());
        std::vector<char*> args;
        args.reserve(given.size());
        for (std::string& arg : given)
            args.push_back(arg.data());
        acquire_options o;
        std::string error;
        EXPECT_EQ(*c.said == 0, read_acquire_options(args, o, error)) << c.args[0];
        EXPECT_EQ(c.said, error) << c.args[0];
    }
}

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
