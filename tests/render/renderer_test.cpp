#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"
#include "tests/support/fake_gl.h"
#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

namespace gl = fakegl::call;
using fakegl::Fn;

TEST(Renderer, InitSetsTheFixedStateInOrderAndSelectsBilinearFiltering) {
    textureFilter = FilterNearest;
    Renderer renderer;
    fakegl::reset();
    renderer.init(1024, 768);
    EXPECT_TRUE(fakegl::callsAre({
        gl::glClearColor(0, 0, 0, 1),
        gl::glDrawBuffer(GL_BACK),
        gl::glEnable(GL_DEPTH_TEST),
        gl::glShadeModel(GL_SMOOTH),
        gl::glEnable(GL_POINT_SMOOTH),
        gl::glEnable(GL_POLYGON_SMOOTH),
        gl::glEnable(GL_BLEND),
        gl::glEnable(GL_ALPHA_TEST),
        gl::glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA),
        gl::glAlphaFunc(GL_GEQUAL, 0.05f),
        gl::glPointSize(4),
        gl::glLineWidth(4),
    }));
    EXPECT_EQ(textureFilter, FilterBilinear);
}

// The second frame looks from where the first left the orbit.
TEST(Renderer, FrameClearsProjectsAndLooksFromTheOrbitBeforeAdvancing) {
    resizeViewport(1008, 729);
    Renderer renderer;
    for (const double used : {0.0, double(0.01f)}) {
        fakegl::reset();
        renderer.beginFrame();
        EXPECT_TRUE(fakegl::callsAre({
            gl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT),
            gl::glMatrixMode(GL_PROJECTION),
            gl::glLoadIdentity(),
            gl::gluPerspective(45.0, double(1008.0f / 729.0f), 1.0, 8000.0),
            gl::gluLookAt(std::cos(used) * 600, 800, std::sin(used) * 600, 0, 0, 0, 0, 1, 0),
        }));
    }
}

TEST(Renderer, OrbitReturnsToExactlyZeroAfter629FramesAndNeverPassesTheTurn) {
    Renderer renderer;
    for (int frame = 1; frame <= 629; ++frame) {
        fakegl::reset();
        renderer.beginFrame();
        const double eyeX = fakegl::calls()[4].doubleArg(0);
        const double eyeZ = fakegl::calls()[4].doubleArg(2);
        const double used = std::atan2(eyeZ, eyeX);
        ASSERT_LE(used < 0 ? used + 2 * std::numbers::pi : used, 6.28318) << "frame " << frame;
        if (frame < 629) {
            ASSERT_GT(renderer.orbitAngle, 0.0f) << "frame " << frame;
        }
    }
    EXPECT_EQ(renderer.orbitAngle, 0.0f);
}

TEST(Renderer, QueueDropsThe501stMeshSayingSoOnceAndEveryFlushEmptiesItAndFinishes) {
    auto mesh = meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)}, {{0, 1, 2}});
    mesh->update();
    Renderer renderer;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 502; ++i) renderer.submit(mesh.get(), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("holds 500 meshes"), std::string::npos);
    EXPECT_EQ(said.find("holds"), said.rfind("holds")) << said;
    fakegl::reset();
    renderer.flushTextured();
    EXPECT_EQ(fakegl::count(Fn::glBegin), 500u);
    EXPECT_EQ(fakegl::calls().back(), gl::glFinish());
    fakegl::reset();
    renderer.flushFlat(0, 0, 0, 0.8f);
    EXPECT_TRUE(fakegl::callsAre({gl::glFinish()}));
}

TEST(Renderer, SortQueueOrdersByDepthLargestFirstAndKeepsTiesInOrder) {
    std::unique_ptr<Mesh> meshes[4];
    Renderer renderer;
    const float depths[4] = {1, 3, 2, 2};
    for (int i = 0; i < 4; ++i) {
        meshes[i] = meshOf({});
        meshes[i]->setPosition(0, 0, depths[i]);
        renderer.submit(meshes[i].get(), 10 * i);
    }
    renderer.sortQueue();
    for (const auto& [at, from] : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 0}}) {
        EXPECT_EQ(renderer.meshQueue[at], meshes[from].get()) << at;
        EXPECT_EQ(renderer.textureQueue[at], 10 * from) << at;
    }
}

}  // namespace
