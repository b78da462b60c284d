#include <gtest/gtest.h>

#include <algorithm>

#include "gloam/geometry/mesh.h"
#include "gloam/meshio/mesh_source.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "tests/support/fake_gl.h"
#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

namespace gl = fakegl::call;
using fakegl::Fn;

// Two triangles sharing the edge 0-2, with distinct texture coordinates per
// corner and world colours written as lighting would leave them.
std::unique_ptr<Mesh> litPair() {
    MeshSource source;
    source.vertices = {blackAt(1, 2, 3), blackAt(4, 5, 6), blackAt(7, 8, 9), blackAt(-1, 0, 1)};
    source.triangles = {{0, 1, 2}, {0, 2, 3}};
    source.uvs = {{{{0.5f, 0.25f}, {1, 0}, {1, 1}}}, {{{0, 0}, {2, 3}, {-1, 4}}}};
    auto mesh = source.build();
    mesh->update();
    Vertex* world = mesh->transformedVertices();
    world[0].red = 255, world[0].green = 128, world[0].blue = 0;
    world[1].red = -20, world[1].green = 300, world[1].blue = 51;
    world[2].red = 0, world[2].green = 0, world[2].blue = 255;
    mesh->setTexture(6);
    mesh->setAlpha(0.75f);
    return mesh;
}

TEST(MeshDrawing, TexturedDrawSendsEveryTriangleWithItsOwnStateColoursAndCorners) {
    auto mesh = litPair();
    fakegl::reset();
    // Queued under 5, but the mesh holds 6: the mesh's own name is bound.
    Renderer::drawMeshTextured(mesh.get(), 5);
    const float a = 0.75f;
    EXPECT_TRUE(fakegl::callsAre({
        gl::glBindTexture(GL_TEXTURE_2D, 6),
        gl::glEnable(GL_TEXTURE_2D),
        gl::glBegin(GL_POLYGON),
        gl::glColor4f(1.0f, 128.0f / 255, 0.0f, a),
        gl::glTexCoord3f(0.5f, 0.25f, 0.0f),
        gl::glVertex3f(1, 2, 3),
        // Channels outside 0..255 go through unclamped.
        gl::glColor4f(-20.0f / 255, 300.0f / 255, 51.0f / 255, a),
        gl::glTexCoord3f(1, 0, 0),
        gl::glVertex3f(4, 5, 6),
        gl::glColor4f(0, 0, 1, a),
        gl::glTexCoord3f(1, 1, 0),
        gl::glVertex3f(7, 8, 9),
        gl::glEnd(),
        // The shared corners are sent again, and the texture state with them.
        gl::glBindTexture(GL_TEXTURE_2D, 6),
        gl::glEnable(GL_TEXTURE_2D),
        gl::glBegin(GL_POLYGON),
        gl::glColor4f(1.0f, 128.0f / 255, 0.0f, a),
        gl::glTexCoord3f(0, 0, 0),
        gl::glVertex3f(1, 2, 3),
        gl::glColor4f(0, 0, 1, a),
        gl::glTexCoord3f(2, 3, 0),
        gl::glVertex3f(7, 8, 9),
        gl::glColor4f(0, 0, 0, a),
        gl::glTexCoord3f(-1, 4, 0),
        gl::glVertex3f(-1, 0, 1),
        gl::glEnd(),
    }));
}

TEST(MeshDrawing, FlatDrawSendsOneColourAndNoTexture) {
    auto mesh = litPair();
    fakegl::reset();
    Renderer::drawMeshFlat(mesh.get(), 0.0f, 0.1f, 0.2f, 0.8f);
    std::vector<fakegl::Call> expected;
    for (const Triangle& tri : std::vector<Triangle>{{0, 1, 2}, {0, 2, 3}}) {
        expected.push_back(gl::glDisable(GL_TEXTURE_2D));
        expected.push_back(gl::glBegin(GL_POLYGON));
        for (const std::int32_t corner : tri) {
            const Vertex& v = mesh->transformedVertices()[corner];
            expected.push_back(gl::glColor4f(0.0f, 0.1f, 0.2f, 0.8f));
            expected.push_back(gl::glVertex3f(v.x, v.y, v.z));
        }
        expected.push_back(gl::glEnd());
    }
    EXPECT_TRUE(fakegl::callsAre(expected));
}

// What the logged calls put on the screen: each vertex of each triangle with
// the colour, texture coordinates and texture GL gives it. A polygon is the fan
// GL makes of it, its first vertex last in each triangle, where GL_TRIANGLES
// has the vertex that flat shading takes its colour from.
struct Corner {
    float colour[4], texCoord[2], position[3];
    bool textured;
    std::uint32_t texture;
    bool operator==(const Corner&) const = default;
};
struct Array {
    std::int64_t size = 0, stride = 0;
    const char* data = nullptr;
    bool on = false;
    void read(std::int64_t i, float* out, std::int64_t n) const {
        const char* at = data + i * (stride ? stride : 4 * size);
        if (on) std::copy_n(reinterpret_cast<const float*>(at), std::min(size, n), out);
    }
};
struct Drawn {
    std::vector<Corner> corners, polygon;
    Corner now{{1, 1, 1, 1}, {0, 0}, {0, 0, 0}, false, 0};
    Array arrays[3];  // vertices, colours, texture coordinates
} drawn;

void follow(const fakegl::Call& c) {
    Corner& now = drawn.now;
    const Fn pointers[] = {Fn::glVertexPointer, Fn::glColorPointer, Fn::glTexCoordPointer};
    const std::uint64_t names[] = {GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY};
    const bool enable = c.fn == Fn::glEnableClientState;
    for (int k = 0; k < 3; ++k) {
        Array& a = drawn.arrays[k];
        // Only float arrays are followed; others are left unread, and so differ.
        if (c.fn == pointers[k] && c.bits[1] == GL_FLOAT)
            a = {c.intArg(0), c.intArg(2), static_cast<const char*>(c.pointerArg(3)), a.on};
        if ((enable || c.fn == Fn::glDisableClientState) && c.bits[0] == names[k]) a.on = enable;
    }
    if (c.fn == Fn::glColor4f) {
        for (int k = 0; k < 4; ++k) now.colour[k] = c.floatArg(k);
    } else if (c.fn == Fn::glTexCoord3f) {
        for (int k = 0; k < 2; ++k) now.texCoord[k] = c.floatArg(k);
    } else if (c.fn == Fn::glBindTexture) {
        now.texture = std::uint32_t(c.bits[1]);
    } else if ((c.fn == Fn::glEnable || c.fn == Fn::glDisable) && c.bits[0] == GL_TEXTURE_2D) {
        now.textured = c.fn == Fn::glEnable;
    } else if (c.fn == Fn::glBegin) {
        drawn.polygon.clear();
    } else if (c.fn == Fn::glVertex3f) {
        for (int k = 0; k < 3; ++k) now.position[k] = c.floatArg(k);
        drawn.polygon.push_back(now);
    } else if (c.fn == Fn::glEnd) {
        for (std::size_t i = 1; i + 1 < drawn.polygon.size(); ++i)
            for (const std::size_t k : {i, i + 1, std::size_t(0)})
                drawn.corners.push_back(drawn.polygon[k]);
    } else if (c.fn == Fn::glDrawArrays && c.bits[0] == GL_TRIANGLES && drawn.arrays[0].on) {
        for (std::int64_t i = c.intArg(1); i < c.intArg(1) + c.intArg(2); ++i) {
            Corner corner = now;
            drawn.arrays[0].read(i, corner.position, 3);
            drawn.arrays[1].read(i, corner.colour, 4);
            drawn.arrays[2].read(i, corner.texCoord, 2);
            drawn.corners.push_back(corner);
        }
    }
}

// A queue for the array path: meshes whose corners differ, a texture change,
// an empty mesh, and one mesh of more triangles than a batch holds.
struct ArrayQueue {
    std::unique_ptr<Mesh> pair = litPair(), empty = meshOf({blackAt(0, 0, 0)}),
                          grid = makeGrid(100, 100, 1.5f), again = litPair();
    ArrayQueue() {
        for (Mesh* mesh : {empty.get(), grid.get(), again.get()}) mesh->update();
        Vertex* world = grid->transformedVertices();
        for (std::int32_t i = 0; i < grid->vertexCount(); ++i)
            world[i].red = i % 300 - 20, world[i].green = i % 7, world[i].blue = 255 - i % 256;
        for (Mesh* mesh : {grid.get(), again.get()}) mesh->setTexture(7);
    }
    void submitTo(Renderer& renderer) {
        for (Mesh* mesh : {pair.get(), empty.get(), grid.get(), again.get()})
            renderer.submit(mesh, 0);
    }
};

// Flushes the queue on both paths and holds the array path to what the
// immediate one drew; the log is then the array path's.
template <class Flush>
void expectPathsAgree(Flush flush) {
    ArrayQueue queue;
    std::vector<Corner> corners[2];
    fakegl::observer = follow;
    for (const DrawPath path : {DrawImmediate, DrawArrays}) {
        Renderer renderer;
        renderer.setDrawPath(path);
        queue.submitTo(renderer);
        glEnable(GL_TEXTURE_2D);  // left on by something else
        glColor4f(1, 1, 1, 1);
        fakegl::reset();
        drawn.corners.clear();
        flush(renderer);
        corners[path] = drawn.corners;
        for (const Array& array : drawn.arrays) EXPECT_FALSE(array.on) << "path " << path;
    }
    fakegl::observer = nullptr;
    ASSERT_EQ(corners[0].size(), 3u * (2 + 99 * 99 * 2 + 2));
    ASSERT_EQ(corners[1].size(), corners[0].size());
    const auto a = std::mismatch(corners[0].begin(), corners[0].end(), corners[1].begin()).first;
    EXPECT_TRUE(a == corners[0].end()) << "vertex " << a - corners[0].begin() << " differs";
}

TEST(MeshArrays, FlushesDrawWhatTheImmediatePathDrawsInAFewCallsPerMesh) {
    expectPathsAgree([](Renderer& r) { r.flushTextured(); });
    // Per flush, texture change or batch, never per triangle: three arrays on,
    // pointed and off, two binds, one enable, four draws, and glFinish.
    EXPECT_EQ(fakegl::calls().size(), 9u + 2 + 1 + 4 + 1);

    expectPathsAgree([](Renderer& r) { r.flushFlat(0.0f, 0.1f, 0.2f, 0.8f); });
}

}  // namespace
