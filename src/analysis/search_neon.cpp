// The block search with NEON (Advanced SIMD), which every aarch64
// processor has.
#include "analysis/search.h"

#if DECADE_AARCH64
#include <limits>

#include <arm_neon.h>

// As with AVX2: the least biased pattern of a block is below the limit
// exactly when some reading of the block is in the window; then each lane
// of a hit vector adds its own bit to the mask.
found search_neon(const float* readings, std::size_t from, std::size_t blocks, bias b) {
    const uint32x4_t shift = vdupq_n_u32(b.shift);
    const int32x4_t limit = vdupq_n_s32(b.limit);
    const uint32x4_t lane_bits = {1, 2, 4, 8};
    auto biased = [&](const float* r) {
        return vreinterpretq_s32_u32(vaddq_u32(vreinterpretq_u32_f32(vld1q_f32(r)), shift));
    };
    for (std::size_t at = from; at < blocks; ++at) {
        const float* r = readings + at * block;
        int32x4_t least = vdupq_n_s32(std::numeric_limits<std::int32_t>::max());
#pragma GCC unroll 16
        for (std::size_t k = 0; k < block; k += 4)
            least = vminq_s32(least, biased(r + k));
        if (vminvq_s32(least) >= b.limit)
            continue;
        std::uint64_t mask = 0;
#pragma GCC unroll 16
        for (std::size_t k = 0; k < block; k += 4) {
            const uint32x4_t hit = vcltq_s32(biased(r + k), limit);
            mask |= static_cast<std::uint64_t>(vaddvq_u32(vandq_u32(hit, lane_bits))) << k;
        }
        return {at, mask};
    }
    return {blocks, 0};
}
#endif
