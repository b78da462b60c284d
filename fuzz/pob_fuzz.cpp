// Feeds arbitrary bytes to the POB reader. Besides not crashing, whatever it
// accepts must survive the writer: the written file parses to the same mesh
// (up to the writer's six significant digits), and writing that mesh again
// gives the same bytes. The diagnostic form must accept exactly what the
// plain one accepts, and every rejection must come with a reason and a line
// and column that lie inside the input (the end of the file included).
#include <algorithm>
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

// True when line:column names a byte of `text`, or the end of a line or of
// the text.
bool placeInside(std::string_view text, std::int64_t line, std::int64_t column) {
    if (line < 1 || column < 1) return false;
    std::size_t lineStart = 0;
    for (std::int64_t l = 1; l < line; ++l) {
        const std::size_t lf = text.find('\n', lineStart);
        if (lf == std::string_view::npos) return false;
        lineStart = lf + 1;
    }
    const std::size_t lineEnd = std::min(text.find('\n', lineStart), text.size());
    return std::uint64_t(column - 1) <= lineEnd - lineStart;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = parsePob(text);
    FileError error{"in.pob", 0, 0, ""};
    const auto diagnosed = parsePob(text, error);
    if (!parsed != !diagnosed) fail("the two forms disagree", -1);
    if (error.file != "in.pob") fail("file name changed", -1);
    if (!parsed) {
        if (error.reason.empty()) fail("rejected without a reason", -1);
        if (!placeInside(text, error.line, error.column)) fail("place outside the input", -1);
        return 0;
    }
    if (!error.reason.empty() || error.line != 0) fail("accepted with a fault", -1);
    if (formatPob(*diagnosed) != formatPob(*parsed)) fail("the two forms read differently", -1);
    const std::string written = formatPob(*parsed);
    const auto reread = parsePob(written);
    if (!reread) fail("written file rejected", -1);
    expectSameMesh(*parsed, *reread);
    if (formatPob(*reread) != written) fail("second write differs", -1);
    return 0;
}
