#include "gloam/import/model_parts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace gloam {

std::unique_ptr<Mesh> turnedRound(Mesh& mesh) {
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));
    auto triangles = makeLargeArrayForOverwrite<Triangle>(triangleCount);
    auto uvs = makeLargeArrayForOverwrite<TriangleUV>(triangleCount);
    for (std::size_t k = 0; k < triangleCount; ++k) {
        const Triangle& t = *mesh.tris[k];
        const TriangleUV& uv = *mesh.triUVs[k];
        triangles[k] = {t[0], t[2], t[1]};
        uvs[k] = {uv[0], uv[2], uv[1]};
    }
    // The world copy starts from the vertices as given, which a reader gives
    // without normals; the old ones would point the wrong way until update().
    for (std::int32_t i = 0; i < mesh.vertCount; ++i) {
        mesh.verts[i].nx = mesh.verts[i].ny = mesh.verts[i].nz = 0.0f;
    }
    return std::make_unique<Mesh>(mesh.vertCount, std::move(mesh.verts), mesh.triCount,
                                  std::move(triangles), std::move(uvs));
}

namespace {

// Vertices at the same position, under one number: a reader that gives a
// corner a vertex of its own for each texture coordinate or normal (or, as
// STL does, for each triangle) still closes the surface it draws. The
// number is the first vertex found there.
std::vector<std::int32_t> weldedByPosition(const Mesh& mesh) {
    const std::size_t count = std::size_t(std::max(mesh.vertCount, 0));
    std::size_t capacity = 16;
    while (capacity < 2 * count) capacity *= 2;
    std::vector<std::int32_t> slots(capacity, -1);
    std::vector<std::int32_t> ids(count);
    const auto key = [&mesh](std::size_t i, std::uint32_t bits[3]) {
        // +0 and -0 are one place.
        const float p[3] = {mesh.verts[i].x + 0.0f, mesh.verts[i].y + 0.0f, mesh.verts[i].z + 0.0f};
        std::memcpy(bits, p, sizeof p);
    };
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t bits[3];
        key(i, bits);
        std::uint64_t hash = (bits[0] * 0x9E3779B97F4A7C15ull) ^ (bits[1] * 0xC2B2AE3D27D4EB4Full) ^
                             (bits[2] * 0x165667B19E3779F9ull);
        std::size_t slot = std::size_t(hash ^ (hash >> 29)) & (capacity - 1);
        for (;; slot = (slot + 1) & (capacity - 1)) {
            if (slots[slot] < 0) {
                slots[slot] = std::int32_t(i);
                ids[i] = std::int32_t(i);
                break;
            }
            std::uint32_t other[3];
            key(std::size_t(slots[slot]), other);
            if (std::memcmp(bits, other, sizeof bits) == 0) {
                ids[i] = slots[slot];
                break;
            }
        }
    }
    return ids;
}

// Every edge run exactly once in each direction, by two triangles that
// therefore agree on which side is which.
bool closedAndConsistent(const Mesh& mesh) {
    const std::vector<std::int32_t> ids = weldedByPosition(mesh);
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));
    // The undirected edge and, in the lowest bit, which way it is run.
    std::vector<std::uint64_t> edges;
    edges.reserve(3 * triangleCount);
    for (std::size_t k = 0; k < triangleCount; ++k) {
        const Triangle& t = *mesh.tris[k];
        const std::uint32_t c[3] = {std::uint32_t(ids[std::size_t(t[0])]),
                                    std::uint32_t(ids[std::size_t(t[1])]),
                                    std::uint32_t(ids[std::size_t(t[2])])};
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) return false;
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t from = c[e], to = c[(e + 1) % 3];
            const std::uint64_t low = std::min(from, to), high = std::max(from, to);
            edges.push_back(((low << 32 | high) << 1) | (from < to ? 0 : 1));
        }
    }
    std::sort(edges.begin(), edges.end());
    for (std::size_t i = 0; i < edges.size(); i += 2) {
        if ((edges[i] & 1) != 0 || edges[i + 1] != (edges[i] | 1)) return false;
        if (i + 2 < edges.size() && (edges[i + 2] >> 1) == (edges[i] >> 1)) return false;
    }
    return true;
}

}  // namespace

bool litFromInside(const Mesh& mesh) {
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));
    // A surface that encloses any volume has at least four faces.
    if (triangleCount < 4) return false;
    // One pass in double, about the first corner for precision: six times
    // the signed volume, and the faces' area vectors, whose sum is zero on a
    // closed surface, which rules out most open ones before the edge test.
    const Vertex& o = mesh.verts[(*mesh.tris[0])[0]];
    double volume = 0, sum[3] = {0, 0, 0}, area = 0;
    for (std::size_t k = 0; k < triangleCount; ++k) {
        double p[3][3];
        for (int c = 0; c < 3; ++c) {
            const Vertex& v = mesh.verts[(*mesh.tris[k])[std::size_t(c)]];
            p[c][0] = double(v.x) - o.x;
            p[c][1] = double(v.y) - o.y;
            p[c][2] = double(v.z) - o.z;
        }
        const double e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const double e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        for (int a = 0; a < 3; ++a) sum[a] += n[a];
        area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        volume += p[0][0] * n[0] + p[0][1] * n[1] + p[0][2] * n[2];
    }
    // NaN anywhere fails every comparison below.
    if (!(area > 0) || !std::isfinite(area + volume)) return false;
    if (!(std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) <= 1e-6 * area)) {
        return false;
    }
    // Faces back to back enclose nothing; rounding must not call them a
    // volume. `area` is twice the surface's.
    if (!(volume > 1e-6 * std::pow(area / 2, 1.5))) return false;
    return closedAndConsistent(mesh);
}

}  // namespace gloam
