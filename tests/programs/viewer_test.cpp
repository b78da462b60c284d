#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "tests/support/fake_gl.h"
#include "tests/support/fake_platform.h"
#include "tests/support/mesh_support.h"
#include "viewer/viewer.h"

using namespace gloam::viewer;

namespace {

// A box half as high as it is wide and deep, its centre at (x, y, z).
std::unique_ptr<Mesh> boxAt(float size, float x, float y, float z) {
    auto box = makeBox(size, size / 2, size);
    for (int i = 0; i < 8; ++i)
        box->verts[i].setPosition(box->verts[i].x + x, box->verts[i].y + y, box->verts[i].z + z);
    return box;
}

double lengthOf(float x, float y, float z) { return std::hypot(double(x), double(y), double(z)); }

TEST(ViewerFraming, AnyMeshIsShownCentredAtTheSameSizeWithDrawableTrianglesOnly) {
    // Name, mesh, the radius of its shown vertices round the origin, its drawable triangles.
    std::tuple<const char*, std::unique_ptr<Mesh>, double, int> cases[] = {
        {"thousandth, off the origin", boxAt(2e-3f, 5, 5, 5), shownRadius, 12},
        {"near float's largest", boxAt(2e38f, 0, 0, 0), shownRadius, 12},  // normals overflow
        {"one point", meshOf({blackAt(9, 9, 9), blackAt(9, 9, 9), blackAt(9, 9, 9)}, {{0, 1, 2}}),
         0, 1},
        {"NaN and infinity",
         meshOf({blackAt(0, 0, 0), blackAt(2, 0, 0), blackAt(0, 0, 2), blackAt(NAN, 0, 0),
                 blackAt(0, -INFINITY, 0)},
                {{0, 2, 1}, {0, 3, 1}, {4, 0, 2}, {3, 4, 0}}),
         shownRadius, 1},
        {"empty", meshOf({}), 0, 0},
        {"no triangles", meshOf({blackAt(-3, 1, 2), blackAt(5, 1, 2)}), shownRadius, 0},
    };
    for (auto& [name, mesh, radius, triangles] : cases) {
        const std::int64_t finite = boundsOf(*mesh).counted;
        const auto shown = shownMesh(std::move(mesh));
        EXPECT_EQ(shown->triangleCount(), triangles) << name;
        EXPECT_EQ(boundsOf(*shown).counted, finite) << name;
        double farthest = 0;
        for (int i = 0; i < shown->vertexCount(); ++i) {
            const Vertex& v = shown->verts[i];
            if (!isFinite(v)) continue;
            farthest = std::max(farthest, lengthOf(v.x, v.y, v.z));
            if (radius > 0 && triangles > 0) {
                EXPECT_NEAR(lengthOf(v.nx, v.ny, v.nz), 1.0, 1e-5) << name << ", vertex " << i;
            }
        }
        EXPECT_NEAR(farthest, radius, 1e-4 * shownRadius) << name;
    }
}

// yaw, pitch, zoom, sun azimuth, sun elevation, shadow.
using Fields = std::array<double, 6>;
Fields fieldsOf(const ViewState& s) {
    return {s.yaw, s.pitch, s.zoom, s.sunAzimuth, s.sunElevation, double(s.shadow)};
}

TEST(ViewerControls, MessagesMoveWhatTheHelpSaysAndStopAtTheLimits) {
    constexpr Response handled = Response::Handled, ignored = Response::Ignored;
    constexpr Fields none{0, 0, 1, 0, 0, 0};
    const auto at = [](int x, int y) { return MAKELPARAM(x, y); };
    // A message, what it returns and what it changes from the case before (added, but the
    // zoom's factor).
    const std::tuple<UINT, WPARAM, LPARAM, Response, Fields> cases[] = {
        {WM_KEYDOWN, VK_LEFT, 1, handled, {-0.08, 0, 1, 0, 0, 0}},
        {WM_KEYDOWN, VK_RIGHT, 1, handled, {0.08, 0, 1, 0, 0, 0}},
        {WM_KEYDOWN, VK_UP, 1, handled, {0, 0.08, 1, 0, 0, 0}},
        {WM_KEYDOWN, VK_OEM_PLUS, 1, handled, {0, 0, 0.9, 0, 0, 0}},
        {WM_KEYDOWN, VK_OEM_MINUS, 1, handled, {0, 0, 1 / 0.9, 0, 0, 0}},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0, handled, {0, 0, 0.9, 0, 0, 0}},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, -60), 0, handled, {0, 0, 1 / std::sqrt(0.9), 0, 0, 0}},
        {WM_KEYDOWN, 'A', 1, handled, {0, 0, 1, 0.1, 0, 0}},
        {WM_KEYDOWN, 'W', 1, handled, {0, 0, 1, 0, 0.05, 0}},
        {WM_KEYDOWN, VK_SPACE, 1, handled, {0, 0, 1, 0, 0, -1}},
        {WM_KEYDOWN, VK_SPACE, 1 | LPARAM(1) << 30, handled, none},  // held: toggles once
        {WM_KEYDOWN, VK_ESCAPE, 1, Response::Close, none},
        {WM_KEYUP, VK_LEFT, 1, ignored, none},
        // Drags follow the held button; one let go outside the window sends no button-up.
        {WM_LBUTTONDOWN, MK_LBUTTON, at(100, 100), handled, none},
        {WM_MOUSEMOVE, MK_LBUTTON, at(120, 90), handled, {0.2, -0.1, 1, 0, 0, 0}},
        {WM_MOUSEMOVE, MK_LBUTTON, at(130, 90), handled, {0.1, 0, 1, 0, 0, 0}},
        {WM_MOUSEMOVE, 0, at(50, 50), ignored, none},
        {WM_MOUSEMOVE, MK_LBUTTON, at(0, 0), ignored, none},
        {WM_RBUTTONDOWN, MK_RBUTTON, at(10, 10), handled, none},
        {WM_MOUSEMOVE, MK_RBUTTON, at(30, 5), handled, {0, 0, 1, 0.2, 0.05, 0}},
        {WM_RBUTTONUP, 0, at(30, 5), handled, none},
        {WM_MOUSEMOVE, MK_RBUTTON, at(90, 90), ignored, none},
    };
    Controls controls;
    const Fields first = fieldsOf(controls.state);
    for (const auto& [message, wParam, lParam, response, change] : cases) {
        const Fields before = fieldsOf(controls.state);
        EXPECT_EQ(controls.handle(message, wParam, lParam), response) << message << ", " << wParam;
        const Fields after = fieldsOf(controls.state);
        for (int i = 0; i < 6; ++i) {
            EXPECT_NEAR(i == 2 ? after[i] / before[i] : after[i] - before[i], change[i], 1e-12)
                << "message " << message << ", " << wParam << ": field " << i;
        }
    }
    const WPARAM keys[] = {VK_UP, VK_ADD, 'S'};
    for (int i = 0; i < 300; ++i) controls.handle(WM_KEYDOWN, keys[i % 3], 1);
    const Fields limited = fieldsOf(controls.state);
    EXPECT_EQ(limited, (Fields{limited[0], pitchLimit, nearestZoom, limited[3], lowestSun, 0}));
    // R brings the camera back, and leaves the sun and shadow alone.
    controls.handle(WM_KEYDOWN, 'R', 1);
    EXPECT_EQ(fieldsOf(controls.state), (Fields{first[0], first[1], 1, limited[3], lowestSun, 0}));
}

// Draws one frame; the triangles each flush drew, in order.
std::vector<long> trianglesPerFlush(ViewerScene& scene) {
    fakegl::reset();
    scene.frame({});
    std::vector<long> flushes{0};
    for (const fakegl::Call& c : fakegl::calls()) {
        if (c.fn == fakegl::Fn::glDrawArrays) flushes.back() += c.intArg(2) / 3;
        if (c.fn == fakegl::Fn::glFinish) flushes.push_back(0);
    }
    flushes.pop_back();
    return flushes;
}

TEST(ViewerScene, DrawsWhatIsFiniteWithItsShadowFromTheUsersCameraAndEscapeCloses) {
    fakeplatform::reset();
    resizeViewport(1008, 729);
    // One drawable triangle and one with a NaN corner; a texture that is not there.
    auto loaded = meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0), blackAt(NAN, 0, 0)},
                         {{0, 2, 1}, {0, 3, 1}});
    EXPECT_EQ(windowTitle("a/b\\t.pob", *loaded), "t.pob (4 vertices, 2 triangles) - gloam-view");
    ViewerScene scene(std::move(loaded), "no-such.bmp");
    ASSERT_TRUE(scene.setUp());
    EXPECT_EQ(scene.mesh->texture(), plainTexture);

    // The 11 x 11 floor's 200 and the mesh's one, then its shadow.
    EXPECT_EQ(trianglesPerFlush(scene), (std::vector<long>{201, 1}));
    const ViewState& s = scene.controls.state;
    const View view = orbitView(s.yaw, s.pitch, s.zoom, 1008.0 / 729.0);
    namespace gl = fakegl::call;
    EXPECT_EQ(fakegl::calls().at(3),
              gl::gluPerspective(45.0, double(1008.0f / 729.0f), view.nearPlane, view.farPlane));
    EXPECT_EQ(fakegl::calls().at(4),
              gl::gluLookAt(view.eyeX, view.eyeY, view.eyeZ, 0, 0, 0, 0, 1, 0));
    // The shadow lies on the floor's plane, h / tan(elevation) away from the sun.
    const Vertex& shadow = scene.mesh->worldVerts[2];  // the top
    const Vertex& placed = scene.mesh->verts[2];
    const double away = (placed.y - scene.floorY) / std::tan(s.sunElevation);
    EXPECT_FLOAT_EQ(shadow.y, scene.mesh->verts[0].y);  // the foot
    EXPECT_NEAR(shadow.x, placed.x - away * std::cos(s.sunAzimuth), 1e-3);
    EXPECT_NEAR(shadow.z, placed.z - away * std::sin(s.sunAzimuth), 1e-3);
    scene.controls.state.shadow = false;
    EXPECT_EQ(trianglesPerFlush(scene), (std::vector<long>{201}));
    // From below, the floor and the shadow are left out.
    scene.controls.state.shadow = true;
    scene.controls.state.pitch = -0.5;
    EXPECT_EQ(trianglesPerFlush(scene), (std::vector<long>{1}));

    EXPECT_TRUE(scene.message(nullptr, WM_KEYDOWN, VK_ESCAPE, 1));
    EXPECT_EQ(fakeplatform::callsTo({fakeplatform::Fn::SendMessageA}),
              std::vector{fakeplatform::call::SendMessageA(nullptr, WM_CLOSE, 0, 0)});
    EXPECT_FALSE(scene.message(nullptr, WM_KEYDOWN, VK_F12, 1));  // runApp's own key
}

}  // namespace
