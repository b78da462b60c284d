#pragma once

// How the per-vertex passes of a mesh walk its world copy. Private to the
// geometry library.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "gloam/geometry/vertex.h"

namespace gloam::passes {

// A mesh's passes (update, lighting, shadow) each touch every line of the
// world copy. Once that is larger than the caches, a pass that starts where
// the previous one started finds nothing of it left there: the lines it
// begins with were the first to be evicted. Every pass therefore runs the
// opposite way to the one before it, in blocks of this many vertices (a
// multiple of eight, so that only the last block has vertices left over for
// the scalar loops), and so begins on the lines the last pass touched last.
// Each block is walked forwards, which the hardware prefetchers follow best.
inline constexpr std::int32_t blockVertices = 4096;

// Calls run(begin, end) for consecutive blocks covering [0, count), first to
// last or last to first.
template <class Run>
void forEachBlock(std::int32_t count, bool backwards, Run&& run) {
    if (count <= 0) return;
    const std::int32_t last = (count - 1) / blockVertices * blockVertices;
    for (std::int32_t i = 0; i <= last; i += blockVertices) {
        const std::int32_t begin = backwards ? last - i : i;
        run(begin, std::min(begin + blockVertices, count));
    }
}

// World copies at least this large are written with non-temporal stores by
// update(): beyond what a core can count on keeping of a shared last-level
// cache, the lines would be evicted before the next pass reads them, so
// reading each one for ownership first (what an ordinary store to a line
// not in the cache does) only doubles the traffic of the copy.
inline constexpr std::size_t streamingBytes = std::size_t{16} << 20;

inline bool streams(std::int32_t count) {
    return std::size_t(std::max(count, 0)) * sizeof(Vertex) >= streamingBytes;
}

}  // namespace gloam::passes
