#include "geometry/mesh.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/rotation.h"

Mesh::Mesh(std::int32_t vertexCount, std::int32_t triangleCount, const Vertex* vertices,
           const Triangle* const* triangles, const TriangleUV* const* uvs)
    : vertCount(std::max(vertexCount, 0)), triCount(std::max(triangleCount, 0)) {
    verts = std::make_unique<Vertex[]>(std::size_t(vertCount));
    worldVerts = std::make_unique<Vertex[]>(std::size_t(vertCount));
    std::copy_n(vertices, vertCount, verts.get());
    resetWorldVertices();

    tris = std::make_unique<Triangle*[]>(std::size_t(triCount));
    triUVs = std::make_unique<TriangleUV*[]>(std::size_t(triCount));
    triangleStore = std::make_unique<Triangle[]>(std::size_t(triCount));
    uvStore = std::make_unique<TriangleUV[]>(std::size_t(triCount));
    for (std::int32_t i = 0; i < triCount; ++i) {
        triangleStore[i] = *triangles[i];
        uvStore[i] = *uvs[i];
        tris[i] = &triangleStore[i];
        triUVs[i] = &uvStore[i];
    }

    computeNormals();
}

namespace {

// Scales v to unit length. A vector of length zero (a degenerate face, an
// unused vertex, faces that cancel) or one whose length overflows has no
// direction; it becomes (0, 0, 0) rather than NaN.
Vec3 normalizedOrZero(Vec3 v) {
    const float length = vectorLength(v.x, v.y, v.z);
    if (!(length > 0.0f) || !std::isfinite(length)) return {};
    return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

// Smooth vertex normals: every vertex gets the normalised sum of the unit
// normals of the faces that use it, each face with weight 1 whatever its area.
void Mesh::computeNormals() {
    std::vector<Vec3> sums(static_cast<std::size_t>(vertCount));
    for (std::int32_t t = 0; t < triCount; ++t) {
        const Triangle& tri = *tris[t];
        const Vertex& p0 = verts[tri[0]];
        const Vertex& p1 = verts[tri[1]];
        const Vertex& p2 = verts[tri[2]];
        const Vec3 e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
        const Vec3 e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        const Vec3 n = normalizedOrZero(
            {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x});
        for (const std::int32_t corner : tri) {
            Vec3& sum = sums[std::size_t(corner)];
            sum.x += n.x;
            sum.y += n.y;
            sum.z += n.z;
        }
    }
    for (std::int32_t v = 0; v < vertCount; ++v) {
        const Vec3 n = normalizedOrZero(sums[std::size_t(v)]);
        verts[v].nx = n.x;
        verts[v].ny = n.y;
        verts[v].nz = n.z;
    }
}

void Mesh::update() {
    resetWorldVertices();
    applyRotation();
    applyTranslation();
    applyScale();
}

void Mesh::resetWorldVertices() { std::copy_n(verts.get(), vertCount, worldVerts.get()); }

void Mesh::applyRotation() {
    const Rotation turn(rotation);
    for (std::int32_t i = 0; i < vertCount; ++i) {
        Vertex& v = worldVerts[i];
        turn.apply(v.x, v.y, v.z);
        turn.apply(v.nx, v.ny, v.nz);
    }
}

void Mesh::applyTranslation() {
    for (std::int32_t i = 0; i < vertCount; ++i) {
        Vertex& v = worldVerts[i];
        v.x += position.x;
        v.y += position.y;
        v.z += position.z;
    }
}

// Scaling follows the translation, so it is about the world origin and moves
// the mesh's position too. Normals are not scaled.
void Mesh::applyScale() {
    for (std::int32_t i = 0; i < vertCount; ++i) {
        Vertex& v = worldVerts[i];
        v.x *= scale.x;
        v.y *= scale.y;
        v.z *= scale.z;
    }
}

// The planar projection matrix (P·L)·I − L·Pᵀ of a light at infinity, without
// the division by its w (which is k): p' = k·p − (P·p)·L.
void Mesh::projectShadow(float a, float b, float c, float d, float lx, float ly, float lz) {
    const float xx = b * ly + c * lz, xy = b * lx, xz = c * lx, xw = d * lx;
    const float yx = a * ly, yy = a * lx + c * lz, yz = c * ly, yw = d * ly;
    const float zx = a * lz, zy = b * lz, zz = a * lx + b * ly, zw = d * lz;
    for (std::int32_t i = 0; i < vertCount; ++i) {
        Vertex& v = worldVerts[i];
        const float x = v.x, y = v.y, z = v.z;
        v.x = xx * x - xy * y - xz * z - xw;
        v.y = -yx * x + yy * y - yz * z - yw;
        v.z = -zx * x - zy * y + zz * z - zw;
    }
}
