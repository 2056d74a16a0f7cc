#include "analysis/classify.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "analysis/search.h"
#include "readings.h"

void fill_nominal(grid& g) {
    for (unsigned p = 0; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            g.nominal[p][d] = static_cast<std::int32_t>(p) * decades[d];
}

// The 10 ohm decade takes 0.1 ohm either side; the others 0.8 % of their
// step, the same at every position of the decade.
window window_of(const grid& g, unsigned p, unsigned d) {
    double n = g.nominal[p][d];
    double half = d == 0 ? 0.1 : 0.008 * decades[d];
    return {n - half, n + half};
}

namespace {

// Readings accepted in the decades from 100 ohm up that lie strictly inside
// this band (in practice those of the 300 ohm setting) are echoed as they
// are accepted.
constexpr double echo_low = 299, echo_high = 301;

} // namespace

bool echoed(unsigned d, double s) {
    return d > 0 && echo_low < s && s < echo_high;
}

namespace {

void accept(grid& g, unsigned p, unsigned d, float reading, std::FILE* echo) {
    const double s = reading;
    g.mean[p][d] += s;
    ++g.count[p][d];
    if (echo && echoed(d, s))
        std::fprintf(echo, "%f\r\n", s);
}

// ---- The window in single precision ---------------------------------------
//
// A reading s is a float; the window test widens it and compares with the
// double bounds low < s < high, s != n.  The same test can be made on floats:
//   s > low   <=>  s > below(low), below(low) the largest float <= low:
//     a float above below(low) is at least the next float, which is > low;
//     and s > low >= below(low).
//   s < high  <=>  s < above(high), by the mirror argument;
//   s != n    <=>  s != float(n), as every nominal value (an integer up to
//     10^6) is a float.
// NaN fails both forms.  Positive floats are ordered as their bit patterns,
// and every bound here is positive, so the window is also a range of bit
// patterns, [first, first + width): one subtraction and one unsigned
// comparison per reading, which vectorises into a cheap block pre-test.
// Negative readings (sign bit set), infinities and NaN have patterns far
// outside every such range, so they fail it too.

float below(double x) {
    float f = static_cast<float>(x);
    return static_cast<double>(f) > x ? std::nextafter(f, -std::numeric_limits<float>::infinity())
                                      : f;
}

float above(double x) {
    float f = static_cast<float>(x);
    return static_cast<double>(f) < x ? std::nextafter(f, std::numeric_limits<float>::infinity())
                                      : f;
}

std::uint32_t bits_of(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

struct float_window {
    float low, high, nominal;
    std::uint32_t first, width; // bit patterns of the open interval
};

float_window float_window_of(const grid& g, unsigned p, unsigned d) {
    const window w = window_of(g, p, d);
    float_window f{below(w.low), above(w.high), static_cast<float>(g.nominal[p][d]), 0, 0};
    f.first = bits_of(f.low) + 1;
    f.width = bits_of(f.high) - f.first;
    return f;
}

// Searches `count` readings block by block and takes each hit in order.
template <class Take>
[[gnu::always_inline]] inline void take_hits(const float* readings, std::size_t count, bias b,
                                             block_search search, Take take) {
    const std::size_t blocks = count / block;
    for (found f = search(readings, 0, blocks, b); f.block < blocks;
         f = search(readings, f.block + 1, blocks, b))
        for (std::uint64_t hits = f.hits; hits != 0; hits &= hits - 1)
            take(readings[f.block * block + static_cast<std::size_t>(std::countr_zero(hits))]);
}

void scan_setting(grid& g, unsigned p, unsigned d, std::span<const float> readings, std::FILE* echo,
                  block_search search) {
    const float_window w = float_window_of(g, p, d);
    const bias b{0x80000000u - w.first, static_cast<std::int32_t>(0x80000000u + w.width)};
    double sum = g.mean[p][d];
    std::uint32_t count = g.count[p][d];
    auto add = [&](float reading) {
        if (reading == w.nominal)
            return false;
        sum += reading;
        ++count;
        return true;
    };
    auto add_and_echo = [&](float reading) {
        if (add(reading) && echoed(d, reading))
            std::fprintf(echo, "%f\r\n", static_cast<double>(reading));
    };
    // The last readings, padded to a block with NaN, which no window takes.
    const std::size_t whole = readings.size() / block * block;
    float tail[block];
    std::fill(std::begin(tail), std::end(tail), std::numeric_limits<float>::quiet_NaN());
    std::copy(readings.begin() + static_cast<std::ptrdiff_t>(whole), readings.end(), tail);
    // Only a window that meets the echo band can accept a reading to echo;
    // the others keep their running sum in registers, free of the call.
    if (echo && d > 0 && w.low < echo_high && echo_low < w.high) {
        take_hits(readings.data(), whole, b, search, add_and_echo);
        take_hits(tail, block, b, search, add_and_echo);
    } else {
        take_hits(readings.data(), whole, b, search, add);
        take_hits(tail, block, b, search, add);
    }
    g.mean[p][d] = sum / count; // 0/0 leaves a setting without readings not a number
    g.count[p][d] = count;
}

} // namespace

namespace {

// The searches this target has, plainest first.
struct unit_search {
    vector_unit unit;
    block_search search;
};
constexpr unit_search searches[] = {
    {vector_unit::plain, search_plain},
#if DECADE_X86_64
    {vector_unit::sse2, search_sse2},
    {vector_unit::avx2, search_avx2},
#endif
#if DECADE_AARCH64
    {vector_unit::neon, search_neon},
#endif
};

const unit_search* entry_of(vector_unit unit) {
    for (const unit_search& s : searches)
        if (s.unit == unit)
            return &s;
    return nullptr;
}

} // namespace

bool available(vector_unit unit) {
#if DECADE_X86_64
    if (unit == vector_unit::avx2 && !cpu_has_avx2())
        return false;
#endif
    return entry_of(unit) != nullptr;
}

const char* name_of(vector_unit unit) {
    constexpr const char* names[] = {"plain", "sse2", "avx2", "neon"};
    return names[static_cast<unsigned>(unit)];
}

vector_unit best_unit() {
    vector_unit best = vector_unit::plain;
    for (const unit_search& s : searches)
        if (available(s.unit))
            best = s.unit;
    return best;
}

void classify(grid& g, std::span<const float> readings, std::FILE* echo, vector_unit unit) {
    const unit_search* s = available(unit) ? entry_of(unit) : entry_of(vector_unit::plain);
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            scan_setting(g, p, d, readings, echo, s->search);
}

void classify(grid& g, std::span<const float> readings, std::FILE* echo) {
    static const vector_unit best = best_unit();
    classify(g, readings, echo, best);
}

void classify_plain(grid& g, std::span<const float> readings, std::FILE* echo) {
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const window w = window_of(g, p, d);
            for (float reading : readings)
                if (takes(w, g.nominal[p][d], reading))
                    accept(g, p, d, reading, echo);
            g.mean[p][d] /= g.count[p][d];
        }
}
