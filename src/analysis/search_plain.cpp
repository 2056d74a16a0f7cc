// The block search in portable C++, for every target.  The least biased
// pattern of a block tells whether it has a hit at all; compilers turn that
// loop into vector code where they can.
#include <algorithm>
#include <bit>
#include <limits>

#include "analysis/search.h"

found search_plain(const float* readings, std::size_t from, std::size_t blocks, bias b) {
    auto biased = [&](float reading) {
        return static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(reading) + b.shift);
    };
    for (std::size_t at = from; at < blocks; ++at) {
        const float* r = readings + at * block;
        std::int32_t least = std::numeric_limits<std::int32_t>::max();
        for (std::size_t k = 0; k < block; ++k)
            least = std::min(least, biased(r[k]));
        if (least >= b.limit)
            continue;
        std::uint64_t mask = 0;
        for (std::size_t k = 0; k < block; ++k)
            mask |= static_cast<std::uint64_t>(biased(r[k]) < b.limit) << k;
        return {at, mask};
    }
    return {blocks, 0};
}
