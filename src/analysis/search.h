// The block search behind the classification: which readings of a block
// lie in a window of float bit patterns.  Each instruction set has its own
// implementation in a file of its own; all of them return the same blocks
// and masks as search_plain.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define DECADE_X86_64 1
#else
#define DECADE_X86_64 0
#endif
#if defined(__aarch64__)
#define DECADE_AARCH64 1
#else
#define DECADE_AARCH64 0
#endif

inline constexpr std::size_t block = 64;

// The unsigned test (bits - first) < width, made as a signed comparison of
// the biased pattern bits + 2^31 - first with INT32_MIN + width, as vector
// units compare signed integers.
struct bias {
    std::uint32_t shift; // 2^31 - first
    std::int32_t limit;  // INT32_MIN + width
};

struct found {
    std::size_t block;  // the number of blocks searched when none had a hit
    std::uint64_t hits; // bit k for reading k of the block
};

// Searches blocks `from` to `blocks` - 1 of `readings` and returns the first
// that has a reading in the window, with the mask of its hits.
using block_search = found (*)(const float* readings, std::size_t from, std::size_t blocks, bias b);

found search_plain(const float* readings, std::size_t from, std::size_t blocks, bias b);
#if DECADE_X86_64
found search_sse2(const float* readings, std::size_t from, std::size_t blocks, bias b);
found search_avx2(const float* readings, std::size_t from, std::size_t blocks, bias b);
bool cpu_has_avx2();
#endif
#if DECADE_AARCH64
found search_neon(const float* readings, std::size_t from, std::size_t blocks, bias b);
#endif
