#include "gloam/geometry/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "gloam/geometry/passes.h"
#include "gloam/geometry/rotation.h"

namespace gloam {

Mesh::Mesh(std::int32_t vertexCount, std::int32_t triangleCount, const Vertex* vertices,
           const Triangle* const* triangles, const TriangleUV* const* uvs)
    : vertCount(std::max(vertexCount, 0)), triCount(std::max(triangleCount, 0)) {
    verts = makeLargeArrayCopy(vertices, std::size_t(vertCount));
    worldVerts = makeLargeArrayCopy(verts.get(), std::size_t(vertCount));

    tris = makeLargeArrayForOverwrite<Triangle*>(std::size_t(triCount));
    triUVs = makeLargeArrayForOverwrite<TriangleUV*>(std::size_t(triCount));
    triangleStore = makeLargeArrayForOverwrite<Triangle>(std::size_t(triCount));
    // All four are filled right below.
    large_array::prefault(tris.get(), std::size_t(triCount) * sizeof(Triangle*));
    large_array::prefault(triUVs.get(), std::size_t(triCount) * sizeof(TriangleUV*));
    large_array::prefault(triangleStore.get(), std::size_t(triCount) * sizeof(Triangle));
    uvStore = makeLargeArray<TriangleUV>(std::size_t(triCount));
    for (std::int32_t i = 0; i < triCount; ++i) {
        triangleStore[i] = *triangles[i];
        uvStore[i] = *uvs[i];
        tris[i] = &triangleStore[i];
        triUVs[i] = &uvStore[i];
    }

    computeNormals();
}

Mesh::Mesh(std::int32_t vertexCount, LargeArray<Vertex> vertices, std::int32_t triangleCount,
           LargeArray<Triangle> triangles, LargeArray<TriangleUV> uvs)
    : verts(std::move(vertices)),
      vertCount(std::max(vertexCount, 0)),
      triCount(std::max(triangleCount, 0)),
      triangleStore(std::move(triangles)),
      uvStore(std::move(uvs)) {
    worldVerts = makeLargeArrayCopy(verts.get(), std::size_t(vertCount));
    tris = makeLargeArrayForOverwrite<Triangle*>(std::size_t(triCount));
    triUVs = makeLargeArrayForOverwrite<TriangleUV*>(std::size_t(triCount));
    // Both are filled right below.
    large_array::prefault(tris.get(), std::size_t(triCount) * sizeof(Triangle*));
    large_array::prefault(triUVs.get(), std::size_t(triCount) * sizeof(TriangleUV*));
    for (std::int32_t i = 0; i < triCount; ++i) {
        tris[i] = &triangleStore[i];
        triUVs[i] = &uvStore[i];
    }
    computeNormals();
}

// The vector paths below and those of the lighting move several fields of a
// Vertex with one 16-byte access, which relies on them lying next to each
// other. Vertex is not standard layout (it has a vtable), but its offsets are
// fixed by the ABI.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(Vertex, y) == offsetof(Vertex, x) + 4 &&
              offsetof(Vertex, z) == offsetof(Vertex, x) + 8);
static_assert(offsetof(Vertex, ny) == offsetof(Vertex, nx) + 4 &&
              offsetof(Vertex, nz) == offsetof(Vertex, nx) + 8 &&
              offsetof(Vertex, red) == offsetof(Vertex, nx) + 12);
static_assert(offsetof(Vertex, green) == offsetof(Vertex, red) + 4 &&
              offsetof(Vertex, blue) == offsetof(Vertex, red) + 8 &&
              offsetof(Vertex, x) == offsetof(Vertex, red) + 12);
// Whether x, y, z and 4 bytes of padding make 16 bytes inside the Vertex: so
// with 64-bit pointers, but not with 32-bit ones, where z ends the object.
constexpr bool positionIsPadded = offsetof(Vertex, x) + 16 <= sizeof(Vertex);
#pragma GCC diagnostic pop
#if defined(GLOAM_HAVE_AVX2_PATHS)
static_assert(positionIsPadded);
#endif

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
    const LargeArray<Vec3> sums = makeLargeArray<Vec3>(std::size_t(vertCount));
    const auto add = [&sums](const Triangle& tri, float nx, float ny, float nz) {
        for (const std::int32_t corner : tri) {
            Vec3& sum = sums[std::size_t(corner)];
            sum.x += nx;
            sum.y += ny;
            sum.z += nz;
        }
    };
    std::int32_t t = 0;
#if defined(__SSE2__)
    if constexpr (positionIsPadded) {
        // The faces' normals four at a time, through the scalar steps in
        // their order lane by lane (the length's square root in double, two
        // lanes per operation), so each comes out with the same bits; they
        // are then added to the sums one face after the other, as before.
        // A corner's x, y, z and the padding after them come in as 16 bytes.
        const auto corners = [&](std::int32_t first, int corner, __m128& x, __m128& y, __m128& z) {
            __m128 pad;
            x = _mm_loadu_ps(&verts[triangleStore[first][corner]].x);
            y = _mm_loadu_ps(&verts[triangleStore[first + 1][corner]].x);
            z = _mm_loadu_ps(&verts[triangleStore[first + 2][corner]].x);
            pad = _mm_loadu_ps(&verts[triangleStore[first + 3][corner]].x);
            _MM_TRANSPOSE4_PS(x, y, z, pad);
        };
        for (; t + 4 <= triCount; t += 4) {
            __m128 x0, y0, z0, x1, y1, z1, x2, y2, z2;
            corners(t, 0, x0, y0, z0);
            corners(t, 1, x1, y1, z1);
            corners(t, 2, x2, y2, z2);
            const __m128 e1x = _mm_sub_ps(x1, x0), e1y = _mm_sub_ps(y1, y0),
                         e1z = _mm_sub_ps(z1, z0);
            const __m128 e2x = _mm_sub_ps(x2, x0), e2y = _mm_sub_ps(y2, y0),
                         e2z = _mm_sub_ps(z2, z0);
            const __m128 nx = _mm_sub_ps(_mm_mul_ps(e1y, e2z), _mm_mul_ps(e1z, e2y));
            const __m128 ny = _mm_sub_ps(_mm_mul_ps(e1z, e2x), _mm_mul_ps(e1x, e2z));
            const __m128 nz = _mm_sub_ps(_mm_mul_ps(e1x, e2y), _mm_mul_ps(e1y, e2x));
            const __m128 squares =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)), _mm_mul_ps(nz, nz));
            const __m128 length = _mm_movelh_ps(
                _mm_cvtpd_ps(_mm_sqrt_pd(_mm_cvtps_pd(squares))),
                _mm_cvtpd_ps(_mm_sqrt_pd(_mm_cvtps_pd(_mm_movehl_ps(squares, squares)))));
            // normalizedOrZero: no direction unless 0 < length < infinity
            // (NaN fails both).
            const __m128 usable = _mm_and_ps(
                _mm_cmpgt_ps(length, _mm_setzero_ps()),
                _mm_cmplt_ps(length, _mm_set1_ps(std::numeric_limits<float>::infinity())));
            float ux[4], uy[4], uz[4];
            _mm_storeu_ps(ux, _mm_and_ps(usable, _mm_div_ps(nx, length)));
            _mm_storeu_ps(uy, _mm_and_ps(usable, _mm_div_ps(ny, length)));
            _mm_storeu_ps(uz, _mm_and_ps(usable, _mm_div_ps(nz, length)));
            for (int k = 0; k < 4; ++k) add(triangleStore[t + k], ux[k], uy[k], uz[k]);
        }
    }
#endif
    for (; t < triCount; ++t) {
        const Triangle& tri = triangleStore[t];
        const Vertex& p0 = verts[tri[0]];
        const Vertex& p1 = verts[tri[1]];
        const Vertex& p2 = verts[tri[2]];
        const Vec3 e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
        const Vec3 e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        const Vec3 n = normalizedOrZero(
            {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x});
        add(tri, n.x, n.y, n.z);
    }
    for (std::int32_t v = 0; v < vertCount; ++v) {
        const Vec3 n = normalizedOrZero(sums[std::size_t(v)]);
        verts[v].nx = n.x;
        verts[v].ny = n.y;
        verts[v].nz = n.z;
    }
}

#if defined(GLOAM_HAVE_AVX2_PATHS)

namespace {

// Four vertices at a time with four doubles per operation, for CPUs with
// AVX2. Every lane goes through the operations of the scalar steps in their
// order, rounding to float at the same places, so the results are the same
// bits; there is no FMA here, which would round differently. The x, y, z
// triple (with the padding after it) and the nx, ny, nz, red quadruple are
// each contiguous in a Vertex, so four vertices come in as two 4 × 4
// transposes; red and the padding ride along unchanged.
//
// With `Stream`, the results go out with non-temporal stores, so that a mesh
// too large for the caches writes its world copy straight to memory without
// first reading every line of it for ownership. Those stores must fill whole
// lines, so four vertices go out as the 14 consecutive 16-byte blocks they
// fill, the fields that do not change taken from the same blocks of the
// source: two vertices make seven blocks, and only four of those need a
// shuffle to merge old and new fields.
template <bool Stream>
__attribute__((target("avx2"))) std::int32_t updateAvx2(const Rotation& turn, Vec3 move, Vec3 size,
                                                        const Vertex* source, Vertex* world,
                                                        std::int32_t count) {
    const __m128 moveX = _mm_set1_ps(move.x), moveY = _mm_set1_ps(move.y),
                 moveZ = _mm_set1_ps(move.z);
    const __m128 sizeX = _mm_set1_ps(size.x), sizeY = _mm_set1_ps(size.y),
                 sizeZ = _mm_set1_ps(size.z);
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Vertex* from = source + i;
        __m128 p0 = _mm_loadu_ps(&from[0].x), p1 = _mm_loadu_ps(&from[1].x),
               p2 = _mm_loadu_ps(&from[2].x), p3 = _mm_loadu_ps(&from[3].x);
        __m128 n0 = _mm_loadu_ps(&from[0].nx), n1 = _mm_loadu_ps(&from[1].nx),
               n2 = _mm_loadu_ps(&from[2].nx), n3 = _mm_loadu_ps(&from[3].nx);
        _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
        _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
        __m128 x, y, z;
        turn.apply(_mm256_cvtps_pd(p0), _mm256_cvtps_pd(p1), _mm256_cvtps_pd(p2), x, y, z);
        turn.apply(_mm256_cvtps_pd(n0), _mm256_cvtps_pd(n1), _mm256_cvtps_pd(n2), n0, n1, n2);
        p0 = _mm_mul_ps(_mm_add_ps(x, moveX), sizeX);
        p1 = _mm_mul_ps(_mm_add_ps(y, moveY), sizeY);
        p2 = _mm_mul_ps(_mm_add_ps(z, moveZ), sizeZ);
        _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
        _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
        if constexpr (Stream) {
            // Per vertex [x y z padding] and [nx ny nz red]; a pair of
            // vertices is, block by block: [vtable tu tv] [nx ny nz red]
            // [green blue x y] [z padding | vtable] [tu tv nx ny]
            // [nz red green blue] [x y z padding].
            const __m128 positions[] = {p0, p1, p2, p3}, normals[] = {n0, n1, n2, n3};
            for (int k = 0; k < 4; k += 2) {
                const float* in = reinterpret_cast<const float*>(from + k);
                float* out = reinterpret_cast<float*>(world + i + k);
                const __m128 pa = positions[k], pb = positions[k + 1];
                const __m128 na = normals[k], nb = normals[k + 1];
                constexpr int lowHalves = _MM_SHUFFLE(1, 0, 1, 0);
                constexpr int highHalves = _MM_SHUFFLE(3, 2, 3, 2);
                _mm_stream_ps(out, _mm_loadu_ps(in));
                _mm_stream_ps(out + 4, na);
                _mm_stream_ps(out + 8, _mm_shuffle_ps(_mm_loadu_ps(in + 8), pa, lowHalves));
                _mm_stream_ps(out + 12, _mm_shuffle_ps(pa, _mm_loadu_ps(in + 12), highHalves));
                _mm_stream_ps(out + 16, _mm_shuffle_ps(_mm_loadu_ps(in + 16), nb, lowHalves));
                _mm_stream_ps(out + 20, _mm_shuffle_ps(nb, _mm_loadu_ps(in + 20), highHalves));
                _mm_stream_ps(out + 24, pb);
            }
        } else {
            // In the caches, field copies cost less than the shuffles that
            // merge whole blocks, which compete with the conversions and the
            // transposes for the one shuffle port of some cores.
            Vertex* to = world + i;
            _mm_storeu_ps(&to[0].x, p0);
            _mm_storeu_ps(&to[1].x, p1);
            _mm_storeu_ps(&to[2].x, p2);
            _mm_storeu_ps(&to[3].x, p3);
            _mm_storeu_ps(&to[0].nx, n0);
            _mm_storeu_ps(&to[1].nx, n1);
            _mm_storeu_ps(&to[2].nx, n2);
            _mm_storeu_ps(&to[3].nx, n3);
            for (int k = 0; k < 4; ++k) {
                to[k].tu = from[k].tu;
                to[k].tv = from[k].tv;
                to[k].green = from[k].green;
                to[k].blue = from[k].blue;
            }
        }
    }
    return i;
}

}  // namespace

#endif

namespace {

// One block of update(): the vector path where the CPU has one, then the
// vertices left over, one at a time.
void updateBlock(const Rotation& turn, Vec3 move, Vec3 size, const Vertex* source, Vertex* world,
                 std::int32_t count, [[maybe_unused]] bool stream) {
    std::int32_t done = 0;
#if defined(GLOAM_HAVE_AVX2_PATHS)
    if (cpuHasAvx2()) {
        done = stream ? updateAvx2<true>(turn, move, size, source, world, count)
                      : updateAvx2<false>(turn, move, size, source, world, count);
    }
#endif
    for (std::int32_t i = done; i < count; ++i) {
        const Vertex& from = source[i];
        Vertex& to = world[i];
        float x, y, z, nx, ny, nz;
#if defined(__SSE2__)
        // The position in one lane and the normal in the other: both turn
        // through the same steps, so one vector operation does the work of two.
        __m128d px = _mm_cvtps_pd(_mm_setr_ps(from.x, from.nx, 0.0f, 0.0f));
        __m128d py = _mm_cvtps_pd(_mm_setr_ps(from.y, from.ny, 0.0f, 0.0f));
        __m128d pz = _mm_cvtps_pd(_mm_setr_ps(from.z, from.nz, 0.0f, 0.0f));
        turn.apply(px, py, pz);
        const __m128 fx = _mm_cvtpd_ps(px), fy = _mm_cvtpd_ps(py), fz = _mm_cvtpd_ps(pz);
        x = _mm_cvtss_f32(fx);
        y = _mm_cvtss_f32(fy);
        z = _mm_cvtss_f32(fz);
        nx = _mm_cvtss_f32(_mm_shuffle_ps(fx, fx, 1));
        ny = _mm_cvtss_f32(_mm_shuffle_ps(fy, fy, 1));
        nz = _mm_cvtss_f32(_mm_shuffle_ps(fz, fz, 1));
#else
        x = from.x, y = from.y, z = from.z;
        nx = from.nx, ny = from.ny, nz = from.nz;
        turn.apply(x, y, z);
        turn.apply(nx, ny, nz);
#endif
        x += move.x;
        y += move.y;
        z += move.z;
        to.tu = from.tu;
        to.tv = from.tv;
        to.nx = nx;
        to.ny = ny;
        to.nz = nz;
        to.red = from.red;
        to.green = from.green;
        to.blue = from.blue;
        // Scaling follows the translation, so it is about the world origin
        // and moves the mesh's position too. Normals are not scaled.
        to.x = x * size.x;
        to.y = y * size.y;
        to.z = z * size.z;
    }
}

}  // namespace

// The four steps of the pipeline (copy from the source, rotate, translate,
// scale) run vertex by vertex in one pass: each vertex's result depends on
// that vertex alone, so the order of the passes does not change a bit, and
// one pass reads and writes the arrays once instead of four times. For the
// same reason the order of the vertices is free, which lets every pass start
// where the previous one ended (see passes.h).
void Mesh::update() {
    const Rotation turn(rotation);
    const Vec3 move = position;
    const Vec3 size = scale;
    const Vertex* const source = verts.get();
    Vertex* const world = worldVerts.get();
    // Non-temporal stores need 16-byte alignment, which every LargeArray has.
    const bool stream =
        passes::streams(vertCount) && (reinterpret_cast<std::uintptr_t>(world) & 15) == 0;
    passes::forEachBlock(vertCount, nextPassBackwards, [&](std::int32_t begin, std::int32_t end) {
        updateBlock(turn, move, size, source + begin, world + begin, end - begin, stream);
    });
    nextPassBackwards = !nextPassBackwards;
#if defined(GLOAM_HAVE_AVX2_PATHS)
    // Later stores, and other threads, must see the streamed lines in order.
    if (stream) _mm_sfence();
#endif
}

// The planar projection matrix (P·L)·I − L·Pᵀ of a light at infinity, without
// the division by its w (which is k): p' = k·p − (P·p)·L.
void Mesh::projectShadow(float a, float b, float c, float d, float lx, float ly, float lz) {
    const float xx = b * ly + c * lz, xy = b * lx, xz = c * lx, xw = d * lx;
    const float yx = a * ly, yy = a * lx + c * lz, yz = c * ly, yw = d * ly;
    const float zx = a * lz, zy = b * lz, zz = a * lx + b * ly, zw = d * lz;
    const auto flatten = [&](Vertex* world, std::int32_t count) {
        std::int32_t i = 0;
#if defined(__SSE2__)
        if constexpr (positionIsPadded) {
            // Four vertices at a time through the same lane-wise operations in
            // the same order. A vertex's x, y, z and the padding after them are
            // 16 contiguous bytes, so four of them come in and go out as a 4 × 4
            // transpose; the padding goes back as it came.
            const auto all = [](float f) { return _mm_set1_ps(f); };
            const __m128 cxx = all(xx), cxy = all(xy), cxz = all(xz), cxw = all(xw);
            const __m128 cyx = all(-yx), cyy = all(yy), cyz = all(yz), cyw = all(yw);
            const __m128 czx = all(-zx), czy = all(zy), czz = all(zz), czw = all(zw);
            for (; i + 4 <= count; i += 4) {
                Vertex* v = world + i;
                __m128 x = _mm_loadu_ps(&v[0].x), y = _mm_loadu_ps(&v[1].x),
                       z = _mm_loadu_ps(&v[2].x), pad = _mm_loadu_ps(&v[3].x);
                _MM_TRANSPOSE4_PS(x, y, z, pad);
                const __m128 px =
                    _mm_sub_ps(_mm_sub_ps(_mm_sub_ps(_mm_mul_ps(cxx, x), _mm_mul_ps(cxy, y)),
                                          _mm_mul_ps(cxz, z)),
                               cxw);
                const __m128 py =
                    _mm_sub_ps(_mm_sub_ps(_mm_add_ps(_mm_mul_ps(cyx, x), _mm_mul_ps(cyy, y)),
                                          _mm_mul_ps(cyz, z)),
                               cyw);
                const __m128 pz =
                    _mm_sub_ps(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(czx, x), _mm_mul_ps(czy, y)),
                                          _mm_mul_ps(czz, z)),
                               czw);
                x = px, y = py, z = pz;
                _MM_TRANSPOSE4_PS(x, y, z, pad);
                _mm_storeu_ps(&v[0].x, x);
                _mm_storeu_ps(&v[1].x, y);
                _mm_storeu_ps(&v[2].x, z);
                _mm_storeu_ps(&v[3].x, pad);
            }
        }
#endif
        for (; i < count; ++i) {
            Vertex& v = world[i];
            const float x = v.x, y = v.y, z = v.z;
            v.x = xx * x - xy * y - xz * z - xw;
            v.y = -yx * x + yy * y - yz * z - yw;
            v.z = -zx * x - zy * y + zz * z - zw;
        }
    };
    passes::forEachBlock(vertCount, nextPassBackwards, [&](std::int32_t begin, std::int32_t end) {
        flatten(worldVerts.get() + begin, end - begin);
    });
    nextPassBackwards = !nextPassBackwards;
}

}  // namespace gloam
