#include <gtest/gtest.h>

#include "gloam/geometry/mesh.h"
#include "gloam/meshio/mesh_source.h"
#include "gloam/render/renderer.h"
#include "tests/fakegl/fake_gl.h"
#include "tests/mesh_support.h"

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
    // The stream above computes 128/255 as the code does; pin the value
    // independently, to the five decimals it is usually quoted with.
    EXPECT_NEAR(fakegl::calls()[3].floatArg(1), 0.50196, 5e-6);
}

TEST(MeshDrawing, FlatDrawSendsOneColourAndNoTextureAndAnEmptyMeshNothing) {
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

    auto empty = meshOf({blackAt(0, 0, 0)});
    empty->update();
    fakegl::reset();
    Renderer::drawMeshTextured(empty.get(), 1);
    Renderer::drawMeshFlat(empty.get(), 0, 0, 0, 1);
    EXPECT_TRUE(fakegl::calls().empty());
}

}  // namespace
