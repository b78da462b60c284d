#include "gloam/geometry/pob_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "gloam/geometry/float_text.h"
#include "gloam/geometry/mesh.h"
#include "gloam/platform/files.h"

namespace gloam {

namespace {

constexpr std::string_view header = "POBFILE";
constexpr std::string_view countsComment = "#Number of Vertices, Number of Indices";
constexpr std::string_view verticesComment = "#Vertex Definitions, 1 per line, x,y,z";
constexpr std::string_view trianglesComment = "#Triangles, 1 per line, vertex num for point 1,2,3";
constexpr std::string_view uvsComment = "#TCoords, tu, tv pairs, 3 per triangle";

// Formats into one buffer. Each line asks for room for its longest possible
// form first, so the number writers never check bounds themselves. Without
// a file the buffer grows to hold everything; with one it stays small and is
// written out whenever it fills, so that a large mesh never needs its whole
// text in memory (the fresh pages alone would cost more than the writing).
// The buffer is not zero-filled: for a large mesh that would cost about as
// much as formatting the numbers.
class Output {
public:
    explicit Output(std::size_t size, std::FILE* sink = nullptr)
        : buffer(std::make_unique_for_overwrite<char[]>(size)), capacity(size), file(sink) {}

    char* room(std::size_t n) {
        if (capacity - used < n) {
            if (file) flush();
            if (capacity - used < n) {
                const std::size_t grown = std::max(capacity * 2, used + n);
                auto bigger = std::make_unique_for_overwrite<char[]>(grown);
                std::memcpy(bigger.get(), buffer.get(), used);
                buffer = std::move(bigger);
                capacity = grown;
            }
        }
        return buffer.get() + used;
    }
    void commit(char* q) { used = std::size_t(q - buffer.get()); }

    void line(std::string_view text) {
        char* q = room(text.size() + 1);
        std::memcpy(q, text.data(), text.size());
        q[text.size()] = '\n';
        commit(q + text.size() + 1);
    }

    std::string_view text() const { return {buffer.get(), used}; }

    // Writes what is buffered to the file; false once any write has failed.
    bool flush() {
        if (file && used > 0) {
            written = written && std::fwrite(buffer.get(), 1, used, file) == used;
            used = 0;
        }
        return written;
    }

private:
    std::unique_ptr<char[]> buffer;
    std::size_t capacity;
    std::size_t used = 0;
    std::FILE* file;
    bool written = true;
};

// The longest forms: "-2147483648" and "-1.23457e-38", each plus a separator.
constexpr std::size_t intRoom = 12;
constexpr std::size_t floatRoom = 13;

char* put(char* q, std::int32_t value) { return std::to_chars(q, q + intRoom, value).ptr; }

// Six significant digits in general notation, as %g prints them. Whole
// numbers below a million (texture coordinates 0 and 1, most modelled
// positions) print as their digits, which the integer writer makes several
// times faster than the general float path; -0 keeps its sign through it.
char* put(char* q, float value) {
    if (value > -1e6f && value < 1e6f) {
        const auto whole = std::int32_t(value);
        if (float(whole) == value && (whole != 0 || !std::signbit(value))) return put(q, whole);
    }
    return writeFloat(q, value);
}

void writeMesh(const Mesh& mesh, Output& out) {
    const std::size_t vertexCount = std::size_t(std::max(mesh.vertCount, 0));
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));
    out.line(header);
    out.line(countsComment);
    char* q = out.room(2 * intRoom);
    q = put(q, mesh.vertCount);
    *q++ = ' ';
    q = put(q, mesh.triCount);
    *q++ = '\n';
    out.commit(q);

    out.line(verticesComment);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vertex& v = mesh.verts[i];
        q = out.room(3 * floatRoom);
        q = put(q, v.x);
        *q++ = ' ';
        q = put(q, v.y);
        *q++ = ' ';
        q = put(q, v.z);
        *q++ = '\n';
        out.commit(q);
    }

    out.line(trianglesComment);
    for (std::size_t k = 0; k < triangleCount; ++k) {
        const Triangle& triangle = *mesh.tris[k];
        q = out.room(3 * intRoom);
        q = put(q, triangle[0]);
        *q++ = ' ';
        q = put(q, triangle[1]);
        *q++ = ' ';
        q = put(q, triangle[2]);
        *q++ = '\n';
        out.commit(q);
    }

    out.line(uvsComment);
    for (std::size_t k = 0; k < triangleCount; ++k) {
        const TriangleUV& uv = *mesh.triUVs[k];
        q = out.room(6 * floatRoom);
        for (const TexCoord& corner : uv) {
            q = put(q, corner.tu);
            *q++ = ' ';
            q = put(q, corner.tv);
            *q++ = ' ';
        }
        q[-1] = '\n';
        out.commit(q);
    }
}

// How much a save formats before writing it out.
constexpr std::size_t chunkSize = std::size_t{1} << 20;

// About what a mesh with short coordinates needs; the buffer grows past it.
std::size_t sizeHint(const Mesh& mesh) {
    return 256 + 20 * std::size_t(std::max(mesh.vertCount, 0)) +
           40 * std::size_t(std::max(mesh.triCount, 0));
}

}  // namespace

std::string formatPob(const Mesh& mesh) {
    Output out(sizeHint(mesh));
    writeMesh(mesh, out);
    return std::string(out.text());
}

bool Mesh::savePob(const char* fileName) const {
    if (!fileName || !*fileName) return false;
    AtomicFile file(fileName);
    if (!file.isOpen()) return false;
    Output out(chunkSize, file.file());
    writeMesh(*this, out);
    return out.flush() && file.commit();
}

}  // namespace gloam
