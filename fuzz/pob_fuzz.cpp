// Feeds arbitrary bytes to the POB reader. Besides not crashing, whatever it
// accepts must survive the writer: the written file parses to the same mesh
// (up to the writer's six significant digits), and writing that mesh again
// gives the same bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gloam/meshio/pob.h"

using namespace gloam;

namespace {

[[noreturn]] void fail(const char* what, int index) {
    std::fprintf(stderr, "pob round trip: %s (at %d)\n", what, index);
    std::abort();
}

// Equal up to rounding to six significant digits and back to float. The sign
// is kept exactly, zeros and NaNs included.
bool sameValue(float a, float b) {
    if (std::signbit(a) != std::signbit(b) || std::isnan(a) != std::isnan(b)) return false;
    if (std::isnan(a) || a == b) return true;
    return std::fabs(double(a) - double(b)) <= 1e-5 * std::fabs(double(a));
}

void expectSameMesh(const Mesh& a, const Mesh& b) {
    if (a.vertCount != b.vertCount || a.triCount != b.triCount) fail("counts differ", -1);
    for (int i = 0; i < a.vertCount; ++i) {
        const Vertex &u = a.verts[i], &v = b.verts[i];
        if (!sameValue(u.x, v.x) || !sameValue(u.y, v.y) || !sameValue(u.z, v.z)) {
            fail("vertex differs", i);
        }
    }
    for (int k = 0; k < a.triCount; ++k) {
        if (*a.tris[k] != *b.tris[k]) fail("triangle differs", k);
        for (int c = 0; c < 3; ++c) {
            const TexCoord &s = (*a.triUVs[k])[c], &t = (*b.triUVs[k])[c];
            if (!sameValue(s.tu, t.tu) || !sameValue(s.tv, t.tv)) fail("uv differs", k);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = parsePob(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed) return 0;
    const std::string written = formatPob(*parsed);
    const auto reread = parsePob(written);
    if (!reread) fail("written file rejected", -1);
    expectSameMesh(*parsed, *reread);
    if (formatPob(*reread) != written) fail("second write differs", -1);
    return 0;
}
