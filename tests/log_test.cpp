// Reading a bench log from its text: what a line may hold, the exact float
// of each reading, and where and why an import stops.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "capture.h"
#include "judgement/tolerance_file.h"
#include "log/log_reader.h"
#include "readings.h"

namespace {

std::vector<float> readings_of(const std::string& text) {
    std::vector<float> readings;
    log_error error;
    EXPECT_TRUE(read_log(text, readings, error)) << diagnostic("log", error);
    return readings;
}

// The single reading of a one-line log.
float reading_of(const std::string& line) {
    std::vector<float> readings = readings_of(line);
    return readings.size() == 1 ? readings[0] : std::nanf("");
}

std::uint32_t bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

log_error error_of(const std::string& text) {
    std::vector<float> readings;
    log_error error;
    EXPECT_FALSE(read_log(text, readings, error)) << text;
    return error;
}

// "line: what" of the error a log stops with.
std::string fault_of(const std::string& text) {
    log_error error = error_of(text);
    return std::to_string(error.line) + ": " + what(error.fault);
}

// `ascii` as UTF-16 or UTF-32 (`width` 2 or 4), with a byte-order mark or
// without, as an editor saves it.
std::string encoded(std::string_view ascii, std::size_t width, bool big_endian, bool mark) {
    std::string out;
    auto put = [&](std::uint32_t c) {
        for (std::size_t i = 0; i < width; ++i)
            out += static_cast<char>((c >> (8 * (big_endian ? width - 1 - i : i))) & 0xffu);
    };
    if (mark)
        put(0xfeff);
    for (char c : ascii)
        put(static_cast<unsigned char>(c));
    return out;
}

} // namespace

TEST(LogSyntax, PlainDecimalIsTheNearestFloat) {
    EXPECT_EQ(bits(10.002078f), bits(reading_of("10.002078")));
}

TEST(LogSyntax, SignAndExponentInEitherCase) {
    EXPECT_EQ(bits(10.002078f), bits(reading_of("+1.00020780E+01")));
    EXPECT_EQ(bits(1000.0f), bits(reading_of("1e3")));
    EXPECT_EQ(bits(-300.5f), bits(reading_of("-3.005e2")));
    EXPECT_EQ(bits(0.25f), bits(reading_of("25E-2")));
}

TEST(LogSyntax, NegativeZeroKeepsItsSign) {
    EXPECT_EQ(bits(-0.0f), bits(reading_of("-0.0")));
}

TEST(LogSyntax, PointWithoutDigitsOnOneSide) {
    EXPECT_EQ(bits(10.0f), bits(reading_of("10.")));
    EXPECT_EQ(bits(0.5f), bits(reading_of(".5")));
}

TEST(LogSyntax, BlanksTabsAndWindowsLineEnds) {
    EXPECT_EQ((std::vector<float>{300.79f, 29.95f, 1.0f}),
              readings_of(" \t300.79 \t\r\n29.95\r\n\t1"));
}

TEST(LogSyntax, BlankAndCommentLinesAreSkipped) {
    EXPECT_EQ((std::vector<float>{1.0f, 2.0f}),
              readings_of("# box 4711, 23 C\n\n   # indented 3.0\n1\n \t \r\n2\n#\n"));
}

TEST(LogSyntax, DecimalTextGivesTheFloatNotARoundedDouble) {
    // Halfway between two floats in binary, but just above it in decimal:
    // a detour through double would round to the even float below.
    EXPECT_EQ(bits(std::nextafter(1.0f, 2.0f)), bits(reading_of("1.00000005960464477539063")));
}

TEST(LogSyntax, NineDigitsEitherSideOfAWindowBoundKeepTheirSide) {
    // The 300 ohm window is open at 300.8: the float below it is accepted,
    // the float above it is not.
    float inside = 300.8f, outside = 300.8f;
    while (static_cast<double>(inside) >= 300.8)
        inside = std::nextafter(inside, 0.0f);
    while (static_cast<double>(outside) <= 300.8)
        outside = std::nextafter(outside, 1000.0f);
    ASSERT_EQ(bits(inside) + 1, bits(outside));
    char text[64];
    std::snprintf(text, sizeof text, "%.9g\n%.9g\n", static_cast<double>(inside),
                  static_cast<double>(outside));
    EXPECT_STREQ("300.799988\n300.800018\n", text);
    std::vector<float> readings = readings_of(text);
    ASSERT_EQ(2u, readings.size());
    EXPECT_EQ(bits(inside), bits(readings[0]));
    EXPECT_EQ(bits(outside), bits(readings[1]));
    grid g{};
    fill_nominal(g);
    capture([&](std::FILE* f) { classify(g, readings, f); });
    EXPECT_EQ(1u, g.count[3][1]);
}

TEST(LogFault, DecimalCommaOrCsvRow) {
    EXPECT_EQ("1: comma (a decimal comma or comma-separated fields)", fault_of("10,002078"));
    EXPECT_EQ("2: comma (a decimal comma or comma-separated fields)", fault_of("1\n17,10.002078"));
}

TEST(LogFault, TwoNumbersOnALine) {
    EXPECT_EQ("1: more than one number", fault_of("10.002 10.003"));
    EXPECT_EQ("1: more than one number", fault_of("10.002\t.5"));
    EXPECT_EQ("1: more than one number", fault_of("1 2"));
    EXPECT_EQ("1: more than one number", fault_of("1 ."));
}

TEST(LogFault, UnitTimestampOrAnyTrailingText) {
    EXPECT_EQ("1: text after the number", fault_of("10.002 Ohm"));
    EXPECT_EQ("1: text after the number", fault_of("10.002Ω"));
    EXPECT_EQ("1: text after the number", fault_of("2026-12-08 10:15:02 10.002"));
    EXPECT_EQ("1: text after the number", fault_of("10.002 # first"));
    EXPECT_EQ("1: text after the number", fault_of("1e"));
    EXPECT_EQ("1: text after the number", fault_of("0x1p3"));
}

TEST(LogFault, NotANumberAtAll) {
    EXPECT_EQ("1: not a number", fault_of("Ohm"));
    EXPECT_EQ("1: not a number", fault_of("."));
    EXPECT_EQ("1: not a number", fault_of("+"));
    EXPECT_EQ("1: not a number", fault_of("e5"));
    // A UTF-8 byte-order mark is skipped at the start of a file only.
    EXPECT_EQ("2: not a number", fault_of("1\n\xef\xbb\xbf"
                                          "10.002"));
}

TEST(LogFault, NanAndInfinity) {
    EXPECT_EQ("1: not a finite number", fault_of("nan"));
    EXPECT_EQ("1: not a finite number", fault_of("-inf"));
    EXPECT_EQ("1: not a finite number", fault_of("+Infinity"));
    EXPECT_EQ("1: not a finite number", fault_of("NaN(1)"));
}

TEST(LogFault, OutsideTheFloatRange) {
    EXPECT_EQ("1: outside the range of a float", fault_of("1e39"));
    EXPECT_EQ("1: outside the range of a float", fault_of("-1e39"));
    EXPECT_EQ("1: outside the range of a float", fault_of("3.40282357e38"));
    EXPECT_EQ("1: outside the range of a float", fault_of("1e-50"));
    EXPECT_EQ(bits(3.40282347e38f), bits(reading_of("3.40282347e38")));
    EXPECT_EQ(bits(1e-45f), bits(reading_of("1e-45")));
}

TEST(LogFault, NulAndOtherControlBytes) {
    EXPECT_EQ("1: control character", fault_of(std::string("10.0\0", 5)));
    EXPECT_EQ("1: control character", fault_of("\x1b[0m10.0"));
    EXPECT_EQ("1: control character", fault_of("10.0\x7f"));
    EXPECT_EQ("1: control character", fault_of("10.0\x1f"));
    EXPECT_EQ("2: control character", fault_of("# fine\n# not \x01 fine"));
    EXPECT_EQ("1: control character", fault_of("1\r2\n"));
}

TEST(LogFault, LineTooLongToBeAReading) {
    EXPECT_EQ("1: line too long to be a reading", fault_of(std::string(257, '1')));
    EXPECT_EQ("1: line too long to be a reading", fault_of("# " + std::string(300, 'x')));
    EXPECT_EQ(1u, readings_of(std::string(255, ' ') + "1\r\n").size());
}

TEST(LogFault, LineNumbersCountEveryLine) {
    EXPECT_EQ("5: text after the number", fault_of("# head\r\n\r\n1\r\n  \r\n2 V\r\n3\r\n"));
    EXPECT_EQ("3: not a number", fault_of("1\n2\nthree"));
}

TEST(LogFault, EmptyLogAndLogOfCommentsHaveNoReadings) {
    EXPECT_EQ("0: no readings", fault_of(""));
    EXPECT_EQ("0: no readings", fault_of("# only a header\n\n"));
}

TEST(LogFault, OneReadingMoreThanTheMaximum) {
    std::string text;
    text.reserve(2 * max_readings + 8);
    for (std::size_t i = 0; i < max_readings; ++i)
        text += "1\n";
    std::vector<float> readings;
    log_error error;
    EXPECT_TRUE(read_log(text, readings, error));
    EXPECT_EQ(max_readings, readings.size());
    text += "# still fine\n2\n";
    readings.clear();
    EXPECT_FALSE(read_log(text, readings, error));
    EXPECT_EQ(max_readings + 2, error.line);
    EXPECT_EQ(log_fault::too_many_readings, error.fault);
    // The line is a good reading: what is said is the limit, not the syntax.
    EXPECT_EQ("log:10000002: too many readings\n"
              "log:10000002: note: a log holds 1 to 10000000 readings\n",
              diagnostic("log", error));
}

// The comments above the first reading head the page: without their '#',
// blank lines skipped, at most 20, none after a reading.
TEST(LogReader, CommentsBeforeTheFirstReadingAreTheHeading) {
    std::string text =
        "# Box 4711 <after repair>\r\n\n  #\t2026-12-08, 23.0 C \n#\n10.002\n# later\n";
    std::vector<float> readings;
    log_reader reader(readings);
    ASSERT_TRUE(reader.feed(text) && reader.finish());
    EXPECT_EQ((std::vector<std::string>{"Box 4711 <after repair>", "2026-12-08, 23.0 C", ""}),
              reader.heading());
    EXPECT_EQ((std::vector<std::size_t>{1, 3, 4}), reader.heading_lines());
    std::string many;
    for (int i = 0; i < 25; ++i)
        many += "# " + std::to_string(i) + "\n";
    log_reader long_one(readings);
    ASSERT_TRUE(long_one.feed(many + "1\n") && long_one.finish());
    ASSERT_EQ(20u, long_one.heading().size());
    EXPECT_EQ("19", long_one.heading().back());
}

// The importer reads a file in pieces; where they are cut changes nothing,
// and a line is known to be too long before its end comes.
TEST(LogReader, PiecesOfAnySizeReadAsTheWholeText) {
    const std::vector<std::string> logs = {
        "# head\r\n\r\n1.5\r\n \t2e1\n-0.0",
        std::string(256, ' ') + "\r\n7\r\n",
        "1\n2\n" + std::string(300, 'x') + "\n3\n",
        "1\n2 V\r\n3\n",
        "# nothing\n",
        "\xef\xbb\xbf# head\n1\n2 V\n",
        std::string("\xff\xfe#\0\n\0", 6),
    };
    for (const std::string& text : logs) {
        std::vector<float> whole;
        std::vector<std::size_t> whole_lines;
        log_error whole_error;
        const bool whole_read = read_log(text, whole, whole_error, [&](float, std::size_t line) {
            whole_lines.push_back(line);
        });
        for (std::size_t piece = 1; piece < text.size(); ++piece) {
            std::vector<float> readings;
            std::vector<std::size_t> lines;
            log_reader reader(readings,
                              [&lines](float, std::size_t line) { lines.push_back(line); });
            bool read = true;
            for (std::size_t at = 0; read && at < text.size(); at += piece)
                read = reader.feed(std::string_view(text).substr(at, piece));
            read = read && reader.finish();
            ASSERT_EQ(whole_read, read) << piece << ": " << text;
            ASSERT_EQ(whole, readings) << piece << ": " << text;
            ASSERT_EQ(whole_lines, lines);
            if (!read) {
                ASSERT_EQ(diagnostic("log", whole_error), diagnostic("log", reader.error()))
                    << piece;
            }
        }
    }
    std::vector<float> readings;
    log_reader reader(readings);
    EXPECT_TRUE(reader.feed(std::string(max_line_length + 1, '1')));
    EXPECT_FALSE(reader.feed("1"));
    EXPECT_EQ(log_fault::too_long, reader.error().fault);
}

// Both readers name the encoding of a file saved as "Unicode", whether it
// starts with a byte-order mark or with its first character.
TEST(TextEncoding, Utf16AndUtf32AreNamed) {
    const struct {
        std::size_t width;
        bool big_endian;
        const char* encoding;
    } encodings[] = {
        {2, false, "UTF-16 (little-endian)"},
        {2, true, "UTF-16 (big-endian)"},
        {4, false, "UTF-32 (little-endian)"},
        {4, true, "UTF-32 (big-endian)"},
    };
    for (const auto& e : encodings)
        for (bool mark : {true, false}) {
            const std::string said =
                ":1: the file is " + std::string(e.encoding) + "; save it as UTF-8\n";
            const std::string log = encoded("10.002\n", e.width, e.big_endian, mark);
            EXPECT_EQ("log.txt" + said, diagnostic("log.txt", error_of(log))) << mark;
            const std::string box =
                encoded("tolerance = 1 %\nrule = simple\n", e.width, e.big_endian, mark);
            tolerance_data read;
            tolerance_error error;
            EXPECT_FALSE(read_tolerance(box, read, error));
            EXPECT_EQ("box.txt" + said, tolerance_diagnostic("box.txt", error)) << mark;
        }
}

// A UTF-8 byte-order mark is no part of the log: the same readings,
// heading and line numbers as without it.
TEST(TextEncoding, Utf8ByteOrderMarkIsSkipped) {
    const std::string mark = "\xef\xbb\xbf", log = "# box 4711\r\n10.002\n";
    std::vector<float> readings;
    log_reader reader(readings);
    ASSERT_TRUE(reader.feed(mark + log) && reader.finish());
    EXPECT_EQ(std::vector<float>{10.002f}, readings);
    EXPECT_EQ(std::vector<std::string>{"box 4711"}, reader.heading());
    EXPECT_EQ("3: text after the number", fault_of(mark + log + "1 V\n"));
}

TEST(Diagnostic, FileLineWhatTextThenWhatALineMayHold) {
    EXPECT_EQ("box.txt:3: text after the number: 10.002 Ohm\n"
              "box.txt:3: note: a line holds one reading in ohms, a decimal number such as "
              "10.002078 or +1.0002078E+01, or is blank, or starts with #\n",
              diagnostic("box.txt", error_of("1\n2\n  10.002 Ohm \r\n")));
}

TEST(Diagnostic, LongLineIsShortenedAndControlBytesEscaped) {
    EXPECT_EQ("0123456789012345678901234567890123456...",
              error_of("0123456789012345678901234567890123456789 V").text);
    // 40 bytes are shown whole, 41 are not.
    EXPECT_EQ(std::string(39, '1') + "V", error_of(std::string(39, '1') + "V").text);
    EXPECT_EQ(std::string(37, '1') + "...", error_of(std::string(40, '1') + "V").text);
    EXPECT_EQ("10.0\\x00\\x1b", error_of(std::string("10.0\0\x1b", 6)).text);
    // Never cut inside a character: "Ω" is two bytes, and byte 38 is its second.
    EXPECT_EQ(std::string(36, '1') + "...", error_of(std::string(36, '1') + "ΩΩΩ").text);
    // Nor before the line: bytes that continue a character and start none.
    EXPECT_EQ("...", error_of(std::string(41, '\x80')).text);
}

TEST(Diagnostic, WholeLogFaultsGiveTheFileAndTheLimits) {
    EXPECT_EQ("empty.txt: no readings\nempty.txt: note: a log holds 1 to 10000000 readings\n",
              diagnostic("empty.txt", error_of("\n")));
}

TEST(ShippedLog, ReadsAsTheCompiledInTableBitForBit) {
    const std::string text = file_text(shipped_log_path());
    std::vector<float> readings = readings_of(text);
    ASSERT_EQ(5410u, readings.size());
    ASSERT_EQ(readings.size(), all_readings().size());
    for (std::size_t i = 0; i < readings.size(); ++i)
        ASSERT_EQ(bits(all_readings()[i]), bits(readings[i])) << "reading " << i;
}

TEST(ShippedLog, ReadingTextIsShortestAndExact) {
    EXPECT_EQ("10.002078", reading_text(10.002078f));
    EXPECT_EQ("1000059.25", reading_text(1000059.25f));
    EXPECT_EQ("-0", reading_text(-0.0f));
    for (float f : all_readings())
        ASSERT_EQ(bits(f), bits(reading_of(reading_text(f)))) << reading_text(f);
}
