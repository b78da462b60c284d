#include <algorithm>
#include <array>

#include "gloam/geometry/mesh.h"
#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"

namespace gloam {

// The array path. Each corner of each triangle becomes one vertex of a
// GL_TRIANGLES draw, since a vertex shared by two triangles may carry
// different texture coordinates in each. Corners are interleaved as
// u, v, red, green, blue, alpha, x, y, z (36 bytes): the driver reads each
// one in a single pass, and the store is written front to back.
//
// A mesh goes out in batches of a bounded number of triangles rather than
// in one draw, so that the store, allocated once, stays at a couple of
// megabytes whatever the size of the meshes.

namespace {

// Under Mesa's llvmpipe, batches from a thousand triangles to whole meshes
// of a million drew a million triangles equally fast; 16,384 keeps the store
// under 2 MB and the calls per mesh few.
constexpr std::int32_t batchTriangles = 16384;

constexpr int cornerFloats = 9;
constexpr GLsizei cornerStride = cornerFloats * sizeof(float);
constexpr int uvAt = 0;
constexpr int colourAt = 2;
constexpr int positionAt = 6;

// The immediate path's polygon takes its colour under flat shading from its
// first corner, a GL_TRIANGLES triangle from its last. Sending corners 1, 2, 0
// keeps the same corner in that role, with the same winding, and it is the
// triangle a driver makes of the polygon when it keeps that corner last:
// Mesa does, and then rasterizes both paths to the same pixels.
constexpr int polygonOrder[3] = {1, 2, 0};

// c / 255 exactly as the immediate path computes it (a division is
// correctly rounded, at compile time as at run time), looked up for the
// channels lighting leaves in 0..255 and computed for the rest.
constexpr auto channelTable = [] {
    std::array<float, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = float(c) / 255;
    return table;
}();

float channel(std::int32_t c) { return std::uint32_t(c) < 256 ? channelTable[c] : float(c) / 255; }

void fillTextured(float* out, Mesh& mesh, std::int32_t first, std::int32_t count) {
    Triangle* const* triangles = mesh.triangles();
    TriangleUV* const* uvs = mesh.triangleUVs();
    const Vertex* vertices = mesh.transformedVertices();
    const float alpha = mesh.alpha();
    for (std::int32_t i = first; i < first + count; ++i) {
        const Triangle& triangle = *triangles[i];
        const TriangleUV& uv = *uvs[i];
        for (const int k : polygonOrder) {
            const Vertex& v = vertices[triangle[k]];
            out[0] = uv[k].tu;
            out[1] = uv[k].tv;
            out[2] = channel(v.red);
            out[3] = channel(v.green);
            out[4] = channel(v.blue);
            out[5] = alpha;
            out[6] = v.x;
            out[7] = v.y;
            out[8] = v.z;
            out += cornerFloats;
        }
    }
}

// The flat draw needs positions only, packed.
void fillFlat(float* out, Mesh& mesh, std::int32_t first, std::int32_t count) {
    Triangle* const* triangles = mesh.triangles();
    const Vertex* vertices = mesh.transformedVertices();
    for (std::int32_t i = first; i < first + count; ++i) {
        const Triangle& triangle = *triangles[i];
        for (const int k : polygonOrder) {
            const Vertex& v = vertices[triangle[k]];
            out[0] = v.x;
            out[1] = v.y;
            out[2] = v.z;
            out += 3;
        }
    }
}

// Fills and draws every batch of one mesh.
template <class Fill>
void drawBatches(Mesh& mesh, float* store, std::int32_t batch, Fill fill) {
    const std::int32_t total = mesh.triangleCount();
    for (std::int32_t first = 0; first < total; first += batch) {
        const std::int32_t count = std::min(batch, total - first);
        fill(store, mesh, first, count);
        glDrawArrays(GL_TRIANGLES, 0, 3 * count);
    }
}

}  // namespace

std::int32_t Renderer::reserveCorners() {
    std::int32_t most = 0;
    for (std::int32_t i = 0; i < queueCount; ++i)
        most = std::max(most, meshQueue[i]->triangleCount());
    const std::int32_t batch = std::min(most, batchTriangles);
    const std::size_t corners = 3 * std::size_t(batch);
    if (corners > cornerCapacity) {
        cornerStore.reset(new float[corners * cornerFloats]);
        cornerCapacity = corners;
    }
    return batch;
}

void Renderer::flushTexturedArrays() {
    const std::int32_t batch = reserveCorners();
    if (batch == 0) return;
    float* store = cornerStore.get();
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, cornerStride, store + uvAt);
    glColorPointer(4, GL_FLOAT, cornerStride, store + colourAt);
    glVertexPointer(3, GL_FLOAT, cornerStride, store + positionAt);
    bool textureOn = false;
    std::int32_t bound = 0;
    for (std::int32_t i = 0; i < queueCount; ++i) {
        Mesh& mesh = *meshQueue[i];
        if (mesh.triangleCount() <= 0) continue;
        // The state the immediate path sets per triangle, set here only when
        // it changes within the flush; what came before the flush is unknown.
        if (!textureOn || mesh.texture() != bound) {
            bound = mesh.texture();
            glBindTexture(GL_TEXTURE_2D, GLuint(bound));
        }
        if (!textureOn) glEnable(GL_TEXTURE_2D);
        textureOn = true;
        drawBatches(mesh, store, batch, fillTextured);
    }
    // Off again, as the immediate path and code that knows nothing of client
    // arrays expect; the pointers would dangle once the store is replaced.
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void Renderer::flushFlatArrays(float red, float green, float blue, float alpha) {
    const std::int32_t batch = reserveCorners();
    if (batch == 0) return;
    float* store = cornerStore.get();
    glDisable(GL_TEXTURE_2D);
    // With no colour array every corner takes the current colour, which
    // then stays what the immediate path would leave.
    glColor4f(red, green, blue, alpha);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, store);
    for (std::int32_t i = 0; i < queueCount; ++i)
        drawBatches(*meshQueue[i], store, batch, fillFlat);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace gloam
