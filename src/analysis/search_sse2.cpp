// The block search with SSE2, which every x86-64 processor has.
#include "analysis/search.h"

#if DECADE_X86_64
#include <immintrin.h>

// SSE2 has no signed minimum, so the compare results of a block are or-ed
// together first, and the mask is made only for a block with a hit.
found search_sse2(const float* readings, std::size_t from, std::size_t blocks, bias b) {
    const __m128i shift = _mm_set1_epi32(static_cast<std::int32_t>(b.shift));
    const __m128i limit = _mm_set1_epi32(b.limit);
    auto hits = [&](const float* r) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r));
        return _mm_cmpgt_epi32(limit, _mm_add_epi32(x, shift));
    };
    for (std::size_t at = from; at < blocks; ++at) {
        const float* r = readings + at * block;
        __m128i any = _mm_setzero_si128();
#pragma GCC unroll 16
        for (std::size_t k = 0; k < block; k += 4)
            any = _mm_or_si128(any, hits(r + k));
        if (_mm_movemask_epi8(any) == 0)
            continue;
        std::uint64_t mask = 0;
#pragma GCC unroll 16
        for (std::size_t k = 0; k < block; k += 4)
            mask |= static_cast<std::uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(hits(r + k)))) << k;
        return {at, mask};
    }
    return {blocks, 0};
}
#endif
