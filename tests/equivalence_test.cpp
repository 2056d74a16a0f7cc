// The fast classification against the plain double loop: identical sums,
// counts and echo lines, bit for bit, with every vector unit available.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/classify.h"
#include "capture.h"
#include "readings.h"

namespace {

struct outcome {
    grid g{};
    std::string echo;
};

template <class Classify> outcome run(const std::vector<float>& readings, Classify classify_fn) {
    outcome r;
    fill_nominal(r.g);
    r.echo = capture([&](std::FILE* f) { classify_fn(r.g, readings, f); });
    return r;
}

// Compares means bit for bit (NaN included), counts and echo text.
void expect_same_as_plain(const std::vector<float>& readings) {
    const outcome plain = run(
        readings, [](grid& g, std::span<const float> r, std::FILE* f) { classify_plain(g, r, f); });
    for (vector_unit unit : vector_units) {
        if (!available(unit))
            continue;
        const outcome fast = run(readings, [unit](grid& g, std::span<const float> r, std::FILE* f) {
            classify(g, r, f, unit);
        });
        const char* name = name_of(unit);
        for (unsigned p = 0; p < positions; ++p)
            for (unsigned d = 0; d < decade_count; ++d) {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(plain.g.mean[p][d]),
                          std::bit_cast<std::uint64_t>(fast.g.mean[p][d]))
                    << name << " position " << p << " decade " << d;
                EXPECT_EQ(plain.g.count[p][d], fast.g.count[p][d]) << name;
            }
        EXPECT_EQ(plain.echo, fast.echo) << name;
    }
}

// Floats from two steps below to two steps above x rounded to float.
void add_around(std::vector<float>& table, double x) {
    float f = static_cast<float>(x);
    const float down = -std::numeric_limits<float>::infinity();
    f = std::nextafter(std::nextafter(f, down), down);
    for (int i = 0; i < 5; ++i, f = std::nextafter(f, std::numeric_limits<float>::infinity()))
        table.push_back(f);
}

std::vector<float> bound_table() {
    grid g{};
    fill_nominal(g);
    std::vector<float> table;
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const window w = window_of(g, p, d);
            add_around(table, w.low);
            add_around(table, w.high);
            add_around(table, g.nominal[p][d]);
        }
    return table;
}

const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                         -std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         0.0f,
                         -0.0f,
                         std::numeric_limits<float>::denorm_min(),
                         -300.0f,
                         std::numeric_limits<float>::max()};

// Readings near random settings, some far off, some special values.
std::vector<float> random_table(unsigned seed, std::size_t length) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<unsigned> position(1u, 10u), decade(0u, 4u), pick(0u, 19u);
    std::uniform_real_distribution<double> spread(-0.012, 0.012);
    std::vector<float> table;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned choice = pick(rng);
        if (choice == 0) {
            table.push_back(special[rng() % std::size(special)]);
            continue;
        }
        double nominal = static_cast<double>(position(rng)) * decades[decade(rng)];
        table.push_back(static_cast<float>(nominal * (1 + spread(rng) / (choice == 1 ? 0.01 : 1))));
    }
    return table;
}

} // namespace

TEST(Equivalence, ShippedTable) {
    expect_same_as_plain(std::vector<float>(all_readings().begin(), all_readings().end()));
}

TEST(Equivalence, ReadingsOnAndOneStepAroundEveryBound) {
    std::vector<float> table = bound_table();
    expect_same_as_plain(table);
    // The same readings again, shifted against the block boundaries.
    table.insert(table.begin(), 37, 1.0f);
    expect_same_as_plain(table);
}

TEST(Equivalence, RandomTablesOfEveryLengthClass) {
    for (std::size_t length : {0u, 1u, 63u, 64u, 65u, 127u, 1000u, 5410u})
        for (unsigned seed = 1; seed <= 4; ++seed)
            expect_same_as_plain(random_table(seed * 7919 + static_cast<unsigned>(length), length));
}

TEST(Equivalence, SpecialValuesAloneAreCountedNowhere) {
    std::vector<float> table(std::begin(special), std::end(special));
    table.insert(table.end(), 100, std::numeric_limits<float>::quiet_NaN());
    expect_same_as_plain(table);
    outcome fast =
        run(table, [](grid& g, std::span<const float> r, std::FILE* f) { classify(g, r, f); });
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            EXPECT_EQ(0u, fast.g.count[p][d]);
}
