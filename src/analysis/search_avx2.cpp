// The block search with AVX2, chosen at run time where the processor has
// it; the rest of the program is built for plain x86-64.
#include "analysis/search.h"

#if DECADE_X86_64
#include <limits>

#include <immintrin.h>

bool cpu_has_avx2() {
    return __builtin_cpu_supports("avx2");
}

// Two vector instructions per eight readings while nothing is found: the
// least biased pattern of a block is below the limit exactly when some
// reading of the block is in the window.
__attribute__((target("avx2"))) found search_avx2(const float* readings, std::size_t from,
                                                  std::size_t blocks, bias b) {
    const __m256i shift = _mm256_set1_epi32(static_cast<std::int32_t>(b.shift));
    const __m256i limit = _mm256_set1_epi32(b.limit);
    for (std::size_t at = from; at < blocks; ++at) {
        const float* r = readings + at * block;
        __m256i least = _mm256_set1_epi32(std::numeric_limits<std::int32_t>::max());
#pragma GCC unroll 8
        for (std::size_t k = 0; k < block; k += 8) {
            __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r + k));
            least = _mm256_min_epi32(least, _mm256_add_epi32(x, shift));
        }
        __m256i any = _mm256_cmpgt_epi32(limit, least);
        if (_mm256_testz_si256(any, any))
            continue;
        std::uint64_t mask = 0;
#pragma GCC unroll 8
        for (std::size_t k = 0; k < block; k += 8) {
            __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r + k));
            __m256i hit = _mm256_cmpgt_epi32(limit, _mm256_add_epi32(x, shift));
            mask |= static_cast<std::uint64_t>(_mm256_movemask_ps(_mm256_castsi256_ps(hit))) << k;
        }
        return {at, mask};
    }
    return {blocks, 0};
}
#endif
