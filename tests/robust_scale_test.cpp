// The k-th pairwise distance by selection in the sorted matrix against every
// distance listed and sorted: the same double, bit for bit, on values with
// ties, signed zeros, many magnitudes and differences past the largest
// double.  Qn against small runs worked by hand.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audit/robust_scale.h"

namespace {

using generator = double (*)(std::mt19937_64&);

double uniform(std::mt19937_64& rng, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(rng);
}

// Kinds of runs: each draws one value.
struct kind {
    const char* name;
    generator draw;
};

const kind kinds[] = {
    // Floats within 100 ppm of 300 ohm, as the log holds readings: some ties.
    {"floats", [](std::mt19937_64& rng) { return double(float(uniform(rng, 299.97, 300.03))); }},
    // Multiples of 0.001 around 300, as a meter of 6 digits logs them: heavy
    // ties among the distances.
    {"quantised", [](std::mt19937_64& rng) { return double(300000 + int(rng() % 61)) / 1000; }},
    // Three levels only.
    {"levels", [](std::mt19937_64& rng) { return 1.25 * double(rng() % 3); }},
    {"equal", [](std::mt19937_64&) { return 300.0125; }},
    // Zeros of both signs: -0 - +0 is -0, where the distance is +0.
    {"zeros", [](std::mt19937_64& rng) { return rng() % 2 ? 0.0 : -0.0; }},
    // Either sign, from 1e-300 to 1e300.
    {"magnitudes",
     [](std::mt19937_64& rng) {
         return (rng() % 2 ? 1 : -1) * std::pow(10, uniform(rng, -300, 300));
     }},
    // Distances up to infinity.
    {"overflowing",
     [](std::mt19937_64& rng) { return uniform(rng, -1, 1) * std::numeric_limits<double>::max(); }},
    // Most values close, a few a million times further out.
    {"wild", [](std::mt19937_64& rng) { return uniform(rng, -1, 1) * (rng() % 8 ? 1 : 1e6); }},
};

std::vector<double> run_of(const kind& k, std::size_t n, std::mt19937_64& rng) {
    std::vector<double> values(n);
    for (double& v : values)
        v = k.draw(rng);
    return values;
}

// Every |x_i - x_j| of the values in their own order, sorted.
std::vector<double> every_distance(const std::vector<double>& values) {
    std::vector<double> distances;
    for (std::size_t i = 0; i < values.size(); ++i)
        for (std::size_t j = i + 1; j < values.size(); ++j)
            distances.push_back(std::fabs(values[i] - values[j]));
    std::sort(distances.begin(), distances.end());
    return distances;
}

std::vector<double> sorted(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values;
}

std::uint64_t bits(double d) {
    return std::bit_cast<std::uint64_t>(d);
}

// The ranks of a long run worth checking: both ends, Qn's, the middle and
// some at random.
// cppcheck-suppress constParameter ; rng() changes the engine
std::vector<std::size_t> ranks_of(std::size_t n, std::mt19937_64& rng) {
    const std::size_t count = n * (n - 1) / 2, h = n / 2 + 1;
    std::vector<std::size_t> ranks{1, 2, h * (h - 1) / 2, count / 2, count - 1, count};
    for (int i = 0; i < 8; ++i)
        ranks.push_back(1 + rng() % count);
    return ranks;
}

} // namespace

TEST(KthPairDistance, EveryRankOfShortRuns) {
    std::mt19937_64 rng(1);
    for (const kind& k : kinds)
        for (std::size_t n = 2; n <= 48; ++n)
            for (int seed = 0; seed < 3; ++seed) {
                const std::vector<double> values = run_of(k, n, rng);
                const std::vector<double> distances = every_distance(values), x = sorted(values);
                for (std::size_t rank = 1; rank <= distances.size(); ++rank)
                    ASSERT_EQ(bits(distances[rank - 1]), bits(kth_pair_distance(x, rank)))
                        << k.name << ", n = " << n << ", k = " << rank;
            }
}

constexpr std::size_t long_runs[] = {49, 64, 99, 100, 101, 128, 250, 499, 500, 600};

TEST(KthPairDistance, RanksOfLongRuns) {
    std::mt19937_64 rng(2);
    for (const kind& k : kinds)
        for (std::size_t n : long_runs) {
            const std::vector<double> values = run_of(k, n, rng);
            const std::vector<double> distances = every_distance(values), x = sorted(values);
            for (std::size_t rank : ranks_of(n, rng))
                ASSERT_EQ(bits(distances[rank - 1]), bits(kth_pair_distance(x, rank)))
                    << k.name << ", n = " << n << ", k = " << rank;
        }
}

// Qn is 2.2219 × d_n × the k-th smallest distance, k = h(h-1)/2 with
// h = n/2 + 1, where d_n is Rousseeuw and Croux's small-sample factor:
// 0.399, 0.994, 0.512, 0.844, 0.611, 0.857, 0.669, 0.872 for n = 2 to 9,
// then n/(n + 1.4) for odd n and n/(n + 3.8) for even.  Worked by hand:
//   5 7       n = 2, k = 1: the one distance, 2;      2.2219 × 0.399 × 2
//   0 1 3     n = 3, k = 1: of 1, 3, 2 the least, 1;  2.2219 × 0.994 × 1
//   0 1 3 7   n = 4, k = 3: of 1 2 3 4 6 7 the third; 2.2219 × 0.512 × 3
//   0 1 3 1e9 the same three least distances: a wild value does not count
//   0 to 8    n = 9, k = 10: eight distances of 1, then seven of 2, so the
//             10th is 2;                               2.2219 × 0.872 × 2
//   0 to 9    n = 10, k = 15: nine of 1, then 2;       2.2219 × 10/13.8 × 2
//   0 to 10   n = 11, k = 15: ten of 1, then 2;        2.2219 × 11/12.4 × 2
TEST(QnScale, SmallRunsWorkedByHand) {
    const struct {
        std::vector<double> sorted;
        double qn;
    } cases[] = {
        {{5, 7}, 1.7730762},
        {{0, 1, 3}, 2.2085686},
        {{0, 1, 3, 7}, 3.4128384},
        {{0, 1, 3, 1e9}, 3.4128384},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}, 3.8749936},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 3.2201449275362319},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 3.9420806451612903},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(c.qn, qn_scale(c.sorted)) << "n = " << c.sorted.size();
}
