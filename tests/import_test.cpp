// The importer as a program: what it says and leaves behind when the log,
// the arguments or the writing of the table fail.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"
#include "process.h"
#include "shipped_log.h"

#ifndef _WIN32
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string usage = "usage: import_log [--strict] [--table=literal|incbin]\n"
                          "       [--byte-order=little|big] [--name=NAME]\n"
                          "       [--csv=RESULTS.csv] [--page=RESULTS.html]\n"
                          "       [--tolerance=BOX.txt] [--history=PATH]...\n"
                          "       [--lab=LAB.txt] [--certificate=CERT.pdf] LOG OUT.cpp\n";
const std::string line_note = ": note: a line holds one reading in ohms, a decimal number such as "
                              "10.002078 or +1.0002078E+01, or is blank, or starts with #\n";

// A folder of its own for each test, removed afterwards.  It lies in the
// folder the suite runs in (the build's, under CTest), so that the suites
// of two build folders run at once do not share it.
struct scratch {
    fs::path dir;
    scratch() {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::current_path() / (std::string("import-test-") + test->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string file(const std::string& name, const std::string& text) const {
        std::string where = path(name);
        std::FILE* f = std::fopen(where.c_str(), "wb");
        if (f) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        return where;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
};

outcome import(const std::vector<std::string>& args, sink where = sink::pipe,
               std::size_t expected_size = 0) {
    run_options options;
    options.args = args;
    options.expected_size = expected_size;
    return run(import_program(), where, options);
}

// A table made from a good log, as an earlier build leaves it.
void import_good(const std::string& out) {
    ASSERT_EQ(0, import({shipped_log_path(), out}).exit_code);
    ASSERT_TRUE(fs::exists(out));
}

} // namespace

TEST(ImportProcess, WrongNumberOfArgumentsGivesTheUsageAndExitsTwo) {
    scratch s;
    const std::string log = s.file("log.txt", "10.002\n");
    const std::string out = s.path("out.cpp");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {log}, {log, out, "extra"}, {"--strict", log, out, "extra"}, {log, "--strict"}}) {
        outcome r = import(args);
        EXPECT_EQ(2, r.exit_code) << args.size();
        EXPECT_EQ(as_written(usage), r.err);
        EXPECT_FALSE(fs::exists(out));
    }
}

// A value an option does not take is no silent default: an empty name
// would give the table the program's own name, a misspelt byte order the
// bytes of the other order.
TEST(ImportProcess, BadOptionValueGivesTheUsageAndExitsTwo) {
    scratch s;
    const std::string log = s.file("log.txt", "10.002\n");
    const std::string out = s.path("out.cpp");
    for (const char* option : {"--name=", "--byte-order=", "--byte-order=middle", "--table=embed",
                               "--csv=", "--page=", "--tolerance=", "--history="}) {
        outcome r = import({option, log, out});
        EXPECT_EQ(2, r.exit_code) << option;
        EXPECT_EQ(as_written(usage), r.err) << option;
        EXPECT_FALSE(fs::exists(out)) << option;
    }
    // An option the importer does not know is not taken for the log.
    const outcome r = import({"--colour=red", out});
    EXPECT_EQ(2, r.exit_code);
    EXPECT_EQ(as_written(usage), r.err);
}

// A tolerance file is a few lines: one of 1 MiB is still read, one byte
// more is refused unread.
TEST(ImportProcess, ToleranceFileOverOneMiBIsRefused) {
    scratch s;
    const std::string out = s.path("out.cpp"), box = s.path("box.txt");
    const std::string text = file_text(box_tolerance_path()) + "# ";
    const std::string one_mib = text + std::string((1 << 20) - text.size() - 1, 'x') + "\n";
    s.file("box.txt", one_mib);
    outcome r = import({"--tolerance=" + box, shipped_log_path(), out});
    EXPECT_EQ(0, r.exit_code) << r.err;
    s.file("box.txt", one_mib + "\n");
    r = import({"--tolerance=" + box, shipped_log_path(), out});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(as_written(box + ": cannot read the tolerance file: larger than 1 MiB\n"), r.err);
    EXPECT_FALSE(fs::exists(out));
}

// A tolerance file with a fault stops the import as a faulty log does: the
// file, the line and what is wrong, exit one, and no table, results file or
// page left, not even an earlier build's.  So does a setting that no meter
// range covers, named at the largest range's line.
TEST(ImportProcess, FaultyToleranceFileLeavesNothing) {
    const struct {
        const char* text;
        const char* said; // after "BOX.txt"
    } cases[] = {
        {"tolerance = 0.01 %\nrule = guarded\n",
         ":2: guarded needs its guard band factor R, as in 'guarded 1'\n"},
        {"tolerance = 0.01 % + 2 mohm\nrule = simple\n",
         ":1: unknown unit 'mohm'; tolerance takes % or ppm, and ohm\n"},
        {"rule = simple\n", ": no tolerance line; every tolerance file gives one\n"},
        {"tolerance = 0.01 %\nmeter 100000 = 6 ppm\nrule = simple\n",
         ":2: the 200000 Ω setting (position 2, decade 1E5) has readings, but the largest meter "
         "range is 100000 Ω\n"},
    };
    for (const auto& c : cases) {
        scratch s;
        const std::string box = s.file("box.txt", c.text);
        const std::string out = s.path("out.cpp"), csv = s.path("out.csv"),
                          page = s.path("out.html");
        const std::vector<std::string> args = {"--csv=" + csv, "--page=" + page, shipped_log_path(),
                                               out};
        ASSERT_EQ(0, import(args).exit_code);
        std::vector<std::string> judged = args;
        judged.insert(judged.begin(), "--tolerance=" + box);
        const outcome r = import(judged);
        EXPECT_EQ(1, r.exit_code) << c.text;
        EXPECT_TRUE(r.err.ends_with(as_written(box + c.said))) << r.err;
        EXPECT_FALSE(fs::exists(out) || fs::exists(csv) || fs::exists(page)) << c.text;
    }
}

// A log and a tolerance file saved with a UTF-8 byte-order mark, as Windows
// editors save them, give what they give without it: the same table, audit
// (line numbers included), judgement, results file and page.
TEST(ImportProcess, Utf8ByteOrderMarksChangeNothing) {
    scratch s;
    const std::string log = s.path("log.txt"), box = s.path("box.txt"), out = s.path("out.cpp"),
                      csv = s.path("out.csv"), page = s.path("out.html");
    auto imported = [&](const std::string& mark) {
        s.file("log.txt", mark + file_text(shipped_log_path()) + "123.4\n");
        s.file("box.txt", mark + file_text(box_tolerance_path()));
        const outcome r =
            import({"--csv=" + csv, "--page=" + page, "--tolerance=" + box, log, out});
        return std::vector<std::string>{std::to_string(r.exit_code), r.err, file_text(out.c_str()),
                                        file_text(csv.c_str()), file_text(page.c_str())};
    };
    const std::vector<std::string> plain = imported("");
    ASSERT_EQ("0", plain[0]) << plain[1];
    EXPECT_EQ(plain, imported("\xef\xbb\xbf"));
}

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

// Every fault of a history stops the import as a fault in the log does:
// the file, the line and what is wrong ("@" stands for the test's folder),
// exit one, and no table, results file or page left.  The earlier results
// file is the importer's own, from a log of 2025-12-09; its line 13 is
// that of the 300 ohm setting, read on lines 3 and 4.
TEST(ImportProcess, FaultyHistoryStopsAtItsFileAndLineAndLeavesNothing) {
    scratch s;
    const std::string earlier = s.path("earlier.csv");
    ASSERT_EQ(0, import({"--csv=" + earlier,
                         s.file("earlier.txt", "# item: Box 4711\n# date: 2025-12-09\n300.0030\n"
                                               "300.0035\n"),
                         s.path("earlier.cpp")})
                     .exit_code);
    const std::string good = file_text(earlier.c_str());
    const std::string last_row = good.substr(good.rfind("\r\n10,1E5,") + 2);
    const std::string dated = "# item: Box 4711\n# date: 2026-12-08\n300.0036\n300.0042\n";
    const struct {
        std::string log;
        std::vector<std::pair<std::string, std::string>> files; // in the folder h
        std::vector<std::string> history;                       // each under @
        const char* said;
    } cases[] = {
        {"300.0036\n300.0042\n",
         {{"a.csv", good}},
         {"h/a.csv"},
         "log.txt: the history needs the calibration's date: add a line '# date: YYYY-MM-DD' to "
         "the log's heading\n"},
        {"# date: 2026-02-30\n300.0036\n",
         {{"a.csv", good}},
         {"h/a.csv"},
         "log.txt:1: date 2026-02-30 does not exist\n"},
        // Below 21 free comment lines, more than the page keeps, the date still counts.
        {replaced(std::string(21, '#'), "#", "#\n") + "# date: 2026-02-30\n300.0036\n",
         {{"a.csv", good}},
         {"h/a.csv"},
         "log.txt:22: date 2026-02-30 does not exist\n"},
        {dated,
         {},
         {"h/none.csv"},
         "h/none.csv: cannot read the results file: No such file or directory\n"},
        {dated, {{"a.txt", good}}, {"h"}, "h: no .csv file in the folder\n"},
        {dated,
         {{"a.csv", replaced(good, "position,", "Position,")}},
         {"h"},
         "h/a.csv:1: no column 'position': not a results file of this program, which writes "
         "one\n"},
        {dated,
         {{"a.csv", replaced(good, ",2025-12-09,", ",,")}},
         {"h"},
         "h/a.csv:2: no date: the log of that calibration had no '# date:' line\n"},
        {dated,
         {{"a.csv", replaced(good, "2025-12-09", "2026-12-08")}},
         {"h"},
         "h/a.csv:2: date 2026-12-08 is not before this calibration's, 2026-12-08\n"},
        {dated,
         {{"a.csv", good}, {"b.csv", good}},
         {"h"},
         "h/b.csv:2: date 2025-12-09 is also that of @h/a.csv\n"},
        {dated,
         {{"a.csv", replaced(good, "Box 4711", "Box 4712")}},
         {"h"},
         "h/a.csv:2: item 'Box 4712' is not the log's, 'Box 4711'\n"},
        {dated,
         {{"a.csv", replaced(good, ",3,4,0,", ",3,4,")}},
         {"h"},
         "h/a.csv:13: 35 fields where the header has 36\n"},
        {dated,
         {{"a.csv", replaced(good, "\r\n3,1E2,300,", "\r\n3,1E2,310,")}},
         {"h"},
         "h/a.csv:13: nominal_ohm '310' is not that of position 3, decade 1E2, 300 Ω\n"},
        {dated,
         {{"a.csv", replaced(good, last_row, "")}},
         {"h"},
         "h/a.csv: no row for position 10, decade 1E5\n"},
        {dated,
         {{"a.csv", good + last_row}},
         {"h"},
         "h/a.csv:52: position 10, decade 1E5 given twice, first on line 51\n"},
    };
    const std::string at = s.path("");
    for (const auto& c : cases) {
        fs::remove_all(s.path("h"));
        fs::create_directories(s.path("h"));
        for (const auto& [name, text] : c.files)
            s.file("h/" + name, text);
        const std::string out = s.path("out.cpp"), csv = s.path("out.csv"),
                          page = s.path("out.html");
        std::vector<std::string> args = {"--csv=" + csv, "--page=" + page, s.file("log.txt", dated),
                                         out};
        ASSERT_EQ(0, import(args).exit_code);
        s.file("log.txt", c.log);
        for (const std::string& path : c.history)
            args.insert(args.begin(), "--history=" + s.path(path));
        const outcome r = import(args);
        EXPECT_EQ(1, r.exit_code) << c.said;
        EXPECT_TRUE(r.err.ends_with(as_written(at + replaced(c.said, "@", at)))) << r.err;
        EXPECT_FALSE(fs::exists(out) || fs::exists(csv) || fs::exists(page)) << c.said;
    }
}

// "7" without a line end is a log of one reading, which the audit places.
TEST(ImportProcess, OneByteLogIsOneReading) {
    scratch s;
    const std::string log = s.file("log.txt", "7");
    const std::string out = s.path("out.cpp");
    outcome r = import({log, out});
    EXPECT_EQ(0, r.exit_code) << r.err;
    EXPECT_TRUE(r.err.starts_with(
        as_written(log + ":1: warning: 1 reading in no acceptance window, line 1, 7 Ω;")))
        << r.err;
    EXPECT_TRUE(fs::exists(out));
}

// With --strict, any one warning of the audit alone is an error that stops
// the import and leaves no table.
TEST(ImportProcess, StrictStopsOnAnyOneWarning) {
    scratch s;
    const std::string out = s.path("out.cpp");
    const std::string shipped = file_text(shipped_log_path());
    const struct {
        const char* kind;
        std::string log;
    } cases[] = {
        {"in no acceptance window", shipped + "123.4\n"},
        {"of exactly 300 Ω", shipped + "300\n"},
        {"of zero or less", shipped + "-1\n"},
        {"no readings for the 50 Ω setting", shipped_with(ohm50.first, ohm50.last, {})},
        {"from 2 stretches of the log", shipped + "300.0066\n"},
        {"lies far from the rest of its run", shipped_replacing({{ohm300.line(2), "300.5"}})},
    };
    for (const auto& c : cases) {
        const std::string log = s.file("log.txt", c.log);
        import_good(out);
        const outcome r = import({"--strict", log, out});
        EXPECT_EQ(1, r.exit_code) << c.kind;
        const std::size_t error = r.err.find(": error: ");
        EXPECT_NE(std::string::npos, error) << r.err;
        EXPECT_EQ(std::string::npos, r.err.find(": error: ", error + 1)) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.kind)) << r.err;
        EXPECT_FALSE(fs::exists(out)) << c.kind;
    }
}

// Each failure says what failed, exits one, and removes the table of the
// last good import, so that nothing is built.
TEST(ImportProcess, FailedImportSaysWhyAndLeavesNoTableNotEvenAnEarlierOne) {
    scratch s;
    const std::string out = s.path("out.cpp");

    import_good(out);
    const std::string bad = s.file("bad.txt", "1\nx\n");
    outcome r = import({bad, out});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(as_written(bad + ":2: not a number: x\n" + bad + ":2" + line_note), r.err);
    EXPECT_FALSE(fs::exists(out));

    import_good(out);
    const std::string missing = s.path("missing.txt");
    r = import({missing, out});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(as_written(missing + ": cannot read the log: No such file or directory\n"), r.err);
    EXPECT_FALSE(fs::exists(out));

    const std::string nowhere = s.path("none") + "/out.cpp";
    r = import({shipped_log_path(), nowhere});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(0, r.signal);
    EXPECT_TRUE(r.err.ends_with(
        as_written("import_log: cannot write " + nowhere + ": No such file or directory\n")))
        << r.err;
}

#ifdef _WIN32
TEST(ImportProcess, PosixOnly) {
    GTEST_SKIP() << "folders, pipes and file size limits are tried on POSIX systems only";
}
#else
// A folder reads as an error, not as an empty log; a folder or a pipe at
// the place of the table is neither removed nor written.
TEST(ImportProcess, FoldersAndPipesAreNeitherLogsNorTables) {
    scratch s;
    const std::string out = s.path("out.cpp");
    import_good(out);
    outcome r = import({s.dir.string(), out});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(s.dir.string() + ": cannot read the log: Is a directory\n", r.err);
    EXPECT_FALSE(fs::exists(out));

    const std::string folder = s.path("folder.cpp"), pipe = s.path("pipe.cpp");
    fs::create_directory(folder);
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    for (const std::string& place : {folder, pipe}) {
        r = import({shipped_log_path(), place});
        EXPECT_EQ(1, r.exit_code);
        EXPECT_EQ("import_log: cannot write " + place + ": not a regular file\n", r.err);
    }
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// A symbolic link at the place of the table is replaced by the table, and
// what it points to is left as it was.
TEST(ImportProcess, LinkAtTheTablesPlaceIsReplacedNotFollowed) {
    scratch s;
    const std::string out = s.path("out.cpp"), elsewhere = s.file("elsewhere.cpp", "kept\n");
    fs::create_symlink(elsewhere, out);
    const outcome r = import({shipped_log_path(), out});
    EXPECT_EQ(0, r.exit_code) << r.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out)));
    EXPECT_EQ("kept\n", file_text(elsewhere.c_str()));
}

// A file size limit stops the writing of the table part way.
TEST(ImportProcess, FailedWriteExitsOneAndLeavesNoTable) {
    scratch s;
    const std::string out = s.path("out.cpp");
    import_good(out);
    outcome r = import({shipped_log_path(), out}, sink::file_limit, 1034);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ(0, r.signal);
    EXPECT_TRUE(r.err.ends_with("import_log: cannot write " + out + ": File too large\n")) << r.err;
    EXPECT_TRUE(fs::is_empty(s.dir)) << "a table or a part of one is left";
    EXPECT_FALSE(fs::exists(out));
}

// A small table is written only when its file is closed: a file that is
// /dev/full fails then, as on a full disk.  A folder at the place of the
// bytes makes the renaming fail.  Either way the importer names the file
// that failed, exits one, and leaves neither a table nor a part of one,
// nor a results file written before the page that failed.
TEST(ImportProcess, FailedCloseOrRenameNamesTheFileAndLeavesNothing) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const struct {
        const char* table;
        const char* full; // made /dev/full while it is written
        const char* folder;
        const char* failed;
        const char* why;
        bool results = false; // with a results file and a page
    } cases[] = {
        {"literal", "out.cpp.partial", nullptr, "out.cpp", "No space left on device"},
        {"incbin", "out.bin.partial", nullptr, "out.bin", "No space left on device"},
        {"incbin", "out.cpp.partial", nullptr, "out.cpp", "No space left on device"},
        {"incbin", nullptr, "out.bin", "out.bin", "Is a directory"},
        {"incbin", "out.html.partial", nullptr, "out.html", "No space left on device", true},
    };
    for (const auto& c : cases) {
        scratch s;
        const std::string log = s.file("log.txt", "300.0066\n");
        const std::string out = s.path("out.cpp");
        import_good(out);
        std::vector<std::string> left = {"log.txt"};
        if (c.full)
            fs::create_symlink("/dev/full", s.path(c.full));
        if (c.folder) {
            fs::create_directory(s.path(c.folder));
            s.file(std::string(c.folder) + "/kept", "");
            left.push_back(c.folder);
        }
        std::vector<std::string> args = {"--table=" + std::string(c.table), log, out};
        if (c.results)
            args.insert(args.begin(),
                        {"--csv=" + s.path("out.csv"), "--page=" + s.path("out.html")});
        const outcome r = import(args);
        EXPECT_EQ(1, r.exit_code) << c.failed << ": " << c.why;
        EXPECT_TRUE(
            r.err.ends_with("import_log: cannot write " + s.path(c.failed) + ": " + c.why + "\n"))
            << r.err;
        std::vector<std::string> found;
        for (const fs::directory_entry& e : fs::directory_iterator(s.dir))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(left, found) << c.failed << ": " << c.why;
    }
}

// The source names the bytes as the assembler reads a string, inside a C++
// string literal: a backslash is written as four, a double quote as \\\".
TEST(ImportProcess, BytesInAFolderOfQuotesAndBackslashesAreNamedEscapedTwice) {
    scratch s;
    ASSERT_EQ(std::string::npos, s.dir.string().find_first_of("\\\""));
    const fs::path folder = s.dir / "a \"b\" \\c 'd'";
    fs::create_directory(folder);
    const std::string out = (folder / "out.cpp").string();
    const outcome r = import({"--table=incbin", shipped_log_path(), out});
    ASSERT_EQ(0, r.exit_code) << r.err;
    EXPECT_TRUE(fs::exists(folder / "out.bin"));
    EXPECT_NE(std::string::npos, file_text(out.c_str())
                                     .find("\nDECADE_TABLE_INCBIN(data, \"" + s.dir.string() +
                                           R"(/a \\\"b\\\" \\\\c 'd'/out.bin");)" + "\n"))
        << file_text(out.c_str());
}

// A line end cannot be named in the source: a folder with one in its name
// is refused before anything is written there.
TEST(ImportProcess, FolderWithALineEndInItsNameIsRefused) {
    scratch s;
    const fs::path folder = s.dir / "line\nend";
    fs::create_directory(folder);
    const std::string out = (folder / "out.cpp").string();
    const outcome r = import({"--table=incbin", shipped_log_path(), out});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_TRUE(r.err.ends_with("import_log: cannot write " + (folder / "out.bin").string() +
                                ": Invalid argument\n"))
        << r.err;
    EXPECT_TRUE(fs::is_empty(folder));
}

// The log comes through a pipe whose writer sends NUL bytes without a line
// end and then waits: the importer must stop at the first line, too long,
// without waiting for the rest of it.
TEST(ImportProcess, EndlessLineFromAPipeIsTooLongAtOnce) {
    scratch s;
    const std::string log = s.path("log.txt"), out = s.path("out.cpp");
    ASSERT_EQ(0, mkfifo(log.c_str(), 0600));
    std::atomic<bool> reader_left{false};
    std::thread writer([&] {
        using namespace std::chrono;
        const auto give_up = steady_clock::now() + seconds(10);
        int fd = -1;
        while ((fd = open(log.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && steady_clock::now() < give_up)
            std::this_thread::sleep_for(milliseconds(10));
        if (fd < 0)
            return;
        const std::string nul(4096, '\0');
        if (write(fd, nul.data(), nul.size()) == static_cast<ssize_t>(nul.size())) {
            pollfd p{fd, 0, 0}; // the write end reports POLLERR once nobody reads
            reader_left = poll(&p, 1, 10000) == 1 && (p.revents & POLLERR) != 0;
        }
        close(fd);
    });
    outcome r = import({log, out});
    writer.join();
    EXPECT_TRUE(reader_left) << "the importer waited for the end of the line";
    EXPECT_EQ(1, r.exit_code);
    EXPECT_TRUE(r.err.starts_with(log + ":1: line too long to be a reading: \\x00\\x00")) << r.err;
}
#endif

// The page goes to customers: the folders the build was given stay out of
// it, the audit's warnings included.
TEST(ImportProcess, PageNamesTheLogAndToleranceFileWithoutTheirFolders) {
    const scratch s;
    const std::string log = s.file("own.txt", "300.0066\n300.0070\n123.4\n");
    const std::string box = s.file("box.txt", file_text(box_tolerance_path()));
    const std::string page = s.path("out.html");
    ASSERT_EQ(0,
              import({"--page=" + page, "--tolerance=" + box, log, s.path("out.cpp")}).exit_code);
    const std::string text = file_text(page.c_str());
    EXPECT_NE(std::string::npos,
              text.find("own.txt:3: warning: 1 reading in no acceptance window"));
    EXPECT_EQ(std::string::npos, text.find(s.dir.string())) << text;
}
