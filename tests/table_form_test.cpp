// Both forms of the reading table give the program the same table, bit for
// bit: the raw bytes the assembler takes in (where this toolchain takes
// them), and the literal table any compiler takes.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "readings.h"
#include "table/table_output.h"

// Imported from the same logs in both forms (tests/CMakeLists.txt).
extern const std::size_t shipped_bytes_count;
extern const float shipped_bytes[];
extern const std::size_t shipped_literal_count;
extern const float shipped_literal[];
extern const std::size_t extremes_bytes_count;
extern const float extremes_bytes[];
extern const std::size_t extremes_literal_count;
extern const float extremes_literal[];

namespace {

std::vector<std::uint32_t> bits(std::span<const float> table) {
    std::vector<std::uint32_t> out;
    for (float f : table)
        out.push_back(std::bit_cast<std::uint32_t>(f));
    return out;
}

// The searches load unaligned, so any table gives the right counts; on a
// cache line's bound no 32-byte load straddles two lines, so each form
// gives the same speed too.
bool aligned(const float* table) {
    return reinterpret_cast<std::uintptr_t>(table) % 32 == 0;
}

} // namespace

TEST(TableForm, ShippedLogGivesTheSameTableEitherWay) {
    const auto bytes = bits({shipped_bytes, shipped_bytes_count});
    EXPECT_EQ(bytes, bits({shipped_literal, shipped_literal_count}));
    EXPECT_EQ(bytes, bits(all_readings())); // the program's own, of DECADE_TABLE
    EXPECT_TRUE(aligned(shipped_bytes));
    EXPECT_TRUE(aligned(shipped_literal));
    EXPECT_TRUE(aligned(data));
}

TEST(TableForm, EdgesOfAFloatGiveTheSameTableEitherWay) {
    const auto bytes = bits({extremes_bytes, extremes_bytes_count});
    EXPECT_EQ(bytes, bits({extremes_literal, extremes_literal_count}));
    // tests/logs/extremes.txt: 8 edges, then one reading for each of the 46
    // nominal values.  +0, -0, the smallest subnormal and its negative, the
    // largest subnormal, the smallest normal, the largest float and its
    // negative, as IEEE 754 binary32 has them.
    ASSERT_EQ(bytes.size(), 54u);
    const std::vector<std::uint32_t> edges = {0x00000000, 0x80000000, 0x00000001, 0x80000001,
                                              0x007fffff, 0x00800000, 0x7f7fffff, 0xff7fffff};
    EXPECT_EQ(std::vector<std::uint32_t>(bytes.begin(), bytes.begin() + 8), edges);
    EXPECT_TRUE(aligned(extremes_bytes));
    EXPECT_TRUE(aligned(extremes_literal));
}

// No target here is big-endian, so the bytes of the other order are checked
// as bytes: 1.0f is 0x3f800000, -0.0f is 0x80000000.
TEST(TableForm, BytesInTheTargetsOrder) {
    using namespace std::string_literals;
    EXPECT_EQ(table_bytes({1.0f, -0.0f}, true), "\x3f\x80\0\0\x80\0\0\0"s);
    EXPECT_EQ(table_bytes({1.0f, -0.0f}, false), "\0\0\x80\x3f\0\0\0\x80"s);
}
