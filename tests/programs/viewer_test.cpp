#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "gloam/app/app.h"
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
        const Bounds bounds = boundsOf(*mesh);
        const auto uvSum = [](const Mesh& m) {
            return m.triCount > 0 ? (*m.triUVs[0])[1].tv + (*m.triUVs[0])[2].tu : 0.0f;
        };
        const float firstUvs = uvSum(*mesh);
        const auto shown = placeMesh(std::move(mesh), frameBounds(bounds));
        EXPECT_EQ(shown->triangleCount(), triangles) << name;
        // The first triangle is drawable in each, and keeps its picture.
        EXPECT_EQ(triangles > 0 ? uvSum(*shown) : firstUvs, firstUvs) << name;
        EXPECT_EQ(boundsOf(*shown).counted, bounds.counted) << name;
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

// yaw, pitch, zoom, sun azimuth, sun elevation, shadow, wireframe.
using Fields = std::array<double, 7>;
Fields fieldsOf(const ViewState& s) {
    return {s.yaw,
            s.pitch,
            s.zoom,
            s.sunAzimuth,
            s.sunElevation,
            double(s.shadow),
            double(s.wireframe)};
}

TEST(ViewerControls, MessagesMoveWhatTheHelpSaysAndStopAtTheLimits) {
    constexpr Response handled = Response::Handled, ignored = Response::Ignored;
    constexpr Fields none{0, 0, 1, 0, 0, 0, 0};
    const auto at = [](int x, int y) { return MAKELPARAM(x, y); };
    // A message, what it returns and what it changes from the case before (added, but the
    // zoom's factor).
    const std::tuple<UINT, WPARAM, LPARAM, Response, Fields> cases[] = {
        {WM_KEYDOWN, VK_LEFT, 1, handled, {-0.08, 0, 1, 0, 0, 0, 0}},
        {WM_KEYDOWN, VK_RIGHT, 1, handled, {0.08, 0, 1, 0, 0, 0, 0}},
        {WM_KEYDOWN, VK_UP, 1, handled, {0, 0.08, 1, 0, 0, 0, 0}},
        {WM_KEYDOWN, VK_OEM_PLUS, 1, handled, {0, 0, 0.9, 0, 0, 0, 0}},
        {WM_KEYDOWN, VK_OEM_MINUS, 1, handled, {0, 0, 1 / 0.9, 0, 0, 0, 0}},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0, handled, {0, 0, 0.9, 0, 0, 0, 0}},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, -60), 0, handled, {0, 0, 1 / std::sqrt(0.9), 0, 0, 0, 0}},
        {WM_KEYDOWN, 'A', 1, handled, {0, 0, 1, 0.1, 0, 0, 0}},
        {WM_KEYDOWN, 'W', 1, handled, {0, 0, 1, 0, 0.05, 0, 0}},
        {WM_KEYDOWN, VK_SPACE, 1, handled, {0, 0, 1, 0, 0, -1, 0}},
        {WM_KEYDOWN, VK_SPACE, 1 | LPARAM(1) << 30, handled, none},  // held: toggles once
        {WM_KEYDOWN, VK_TAB, 1, handled, {0, 0, 1, 0, 0, 0, 1}},
        {WM_KEYDOWN, VK_TAB, 1 | LPARAM(1) << 30, handled, none},
        {WM_KEYDOWN, VK_ESCAPE, 1, Response::Close, none},
        {WM_KEYUP, VK_LEFT, 1, ignored, none},
        // Drags follow the held button; one let go outside the window sends no button-up.
        {WM_LBUTTONDOWN, MK_LBUTTON, at(100, 100), handled, none},
        {WM_MOUSEMOVE, MK_LBUTTON, at(120, 90), handled, {0.2, -0.1, 1, 0, 0, 0, 0}},
        {WM_MOUSEMOVE, MK_LBUTTON, at(130, 90), handled, {0.1, 0, 1, 0, 0, 0, 0}},
        {WM_MOUSEMOVE, 0, at(50, 50), ignored, none},
        {WM_MOUSEMOVE, MK_LBUTTON, at(0, 0), ignored, none},
        {WM_RBUTTONDOWN, MK_RBUTTON, at(10, 10), handled, none},
        {WM_MOUSEMOVE, MK_RBUTTON, at(30, 5), handled, {0, 0, 1, 0.2, 0.05, 0, 0}},
        {WM_RBUTTONUP, 0, at(30, 5), handled, none},
        {WM_MOUSEMOVE, MK_RBUTTON, at(90, 90), ignored, none},
    };
    Controls controls;
    const Fields first = fieldsOf(controls.state);
    for (const auto& [message, wParam, lParam, response, change] : cases) {
        const Fields before = fieldsOf(controls.state);
        EXPECT_EQ(controls.handle(message, wParam, lParam), response) << message << ", " << wParam;
        const Fields after = fieldsOf(controls.state);
        for (int i = 0; i < 7; ++i) {
            EXPECT_NEAR(i == 2 ? after[i] / before[i] : after[i] - before[i], change[i], 1e-12)
                << "message " << message << ", " << wParam << ": field " << i;
        }
    }
    const WPARAM keys[] = {VK_UP, VK_ADD, 'S'};
    for (int i = 0; i < 300; ++i) controls.handle(WM_KEYDOWN, keys[i % 3], 1);
    const Fields limited = fieldsOf(controls.state);
    EXPECT_EQ(limited, (Fields{limited[0], pitchLimit, nearestZoom, limited[3], lowestSun, 0, 1}));
    // R brings the camera back, and leaves the sun, shadow and wireframe alone.
    controls.handle(WM_KEYDOWN, 'R', 1);
    EXPECT_EQ(fieldsOf(controls.state),
              (Fields{first[0], first[1], 1, limited[3], lowestSun, 0, 1}));
}

// The mesh written as `name` in the scratch folder, read back as the viewer shows it.
std::pair<std::string, ShownModel> shown(const std::string& name, std::unique_ptr<Mesh> mesh,
                                         const std::string& picture = "") {
    const std::string file = std::filesystem::temp_directory_path() /
                             ("viewer_test_" + std::to_string(::getpid()) + name);
    EXPECT_TRUE(mesh->savePob(file.c_str()));
    ShownModel model;
    FileError error;
    EXPECT_TRUE(loadShownModel(file, picture, false, model, error)) << error.message();
    return {file, std::move(model)};
}

// One frame: the triangles each flush drew, in order, and the drawings kept and called.
struct Drawn {
    std::vector<long> flushes{0};
    int kept = 0, called = 0;
    bool operator==(const Drawn&) const = default;
};
void PrintTo(const Drawn& d, std::ostream* out) {
    *out << testing::PrintToString(d.flushes) << ", kept " << d.kept << ", called " << d.called;
}
Drawn drawFrame(ViewerScene& scene) {
    fakegl::reset();
    scene.frame({});
    Drawn drawn;
    for (const fakegl::Call& c : fakegl::calls()) {
        if (c.fn == fakegl::Fn::glDrawArrays) drawn.flushes.back() += c.intArg(2) / 3;
        if (c.fn == fakegl::Fn::glFinish) drawn.flushes.push_back(0);
        drawn.kept += c.fn == fakegl::Fn::glNewList;
        drawn.called += c.fn == fakegl::Fn::glCallList;
    }
    drawn.flushes.pop_back();
    return drawn;
}

TEST(ViewerScene, DrawsWhatIsFiniteWithItsShadowAndStillFramesFromWhatOpenGlKept) {
    fakeplatform::reset();
    resizeViewport(1008, 729);
    // One drawable triangle and one with a NaN corner; a picture that is not there.
    auto [file, model] =
        shown("t.pob",
              meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0), blackAt(NAN, 0, 0)},
                     {{0, 2, 1}, {0, 3, 1}}),
              "no-such.bmp");
    ViewerScene scene(file, "no-such.bmp", std::move(model));
    ASSERT_TRUE(scene.setUp());
    Mesh& mesh = *scene.model.parts.at(0).mesh;
    EXPECT_EQ(mesh.texture(), plainTexture);

    // The floor, the mesh's one triangle, its shadow; then the same kept, and
    // then kept drawings alone, nothing sent or computed.
    const long floor = scene.floor->triangleCount();
    EXPECT_EQ(drawFrame(scene), (Drawn{{floor, 1, 1}, 0, 0}));
    EXPECT_EQ(drawFrame(scene), (Drawn{{floor, 1, 1}, 3, 0}));
    mesh.worldVerts[0].x = 1234.5f;
    EXPECT_EQ(drawFrame(scene), (Drawn{{}, 0, 3}));
    EXPECT_EQ(mesh.worldVerts[0].x, 1234.5f);
    // The wireframe is kept apart, and outlives the sun's moves.
    scene.controls.state.wireframe = true;
    EXPECT_EQ(drawFrame(scene), (Drawn{{1}, 1, 3}));
    scene.message(nullptr, WM_KEYDOWN, 'W', 1);
    EXPECT_EQ(drawFrame(scene), (Drawn{{floor, 1, 1}, 0, 1}));
    scene.controls.state.shadow = scene.controls.state.wireframe = false;
    EXPECT_EQ(drawFrame(scene), (Drawn{{floor, 1}, 2, 0}));
    // From below, the floor and the shadow are left out.
    scene.controls.state.shadow = true;
    scene.controls.state.pitch = -0.5;
    EXPECT_EQ(drawFrame(scene), (Drawn{{}, 0, 1}));

    EXPECT_TRUE(scene.message(nullptr, WM_KEYDOWN, VK_ESCAPE, 1));
    EXPECT_EQ(fakeplatform::callsTo({fakeplatform::Fn::SendMessageA}),
              std::vector{fakeplatform::call::SendMessageA(nullptr, WM_CLOSE, 0, 0)});
    EXPECT_FALSE(scene.message(nullptr, WM_KEYDOWN, VK_F12, 1));  // runApp's own key
}

// The runtime at its limits, each row empty when the limit holds and otherwise what it saw.
TEST(RuntimeLimits, EachHoldsOrIsRefusedWithTheReason) {
    using fakeplatform::Fn;
    const std::pair<const char*, std::function<std::string()>> limits[] = {
        {"the nearest zoom keeps the eye and the near plane outside the model's sphere",
         [] {
             const View v = orbitView(0.3, 0.2, nearestZoom, 1.5, shownRadius);  // wide: nearest
             return std::hypot(v.eyeX, v.eyeY, v.eyeZ) - v.nearPlane > shownRadius ? "" : "in";
         }},
        {"the floor holds the whole shadow of the lowest sun",
         [] {
             auto [file, model] = shown("spike.pob", meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0),
                                                             blackAt(0, 0, 1), blackAt(0, 9, 0)},
                                                            {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}}));
             ViewerScene scene(file, "", std::move(model));
             const float reach = -scene.floor->verts[0].x;  // the grid's first corner
             scene.controls.state.sunElevation = lowestSun;
             std::string seen;
             for (int k = 0; k < 16; ++k) {
                 scene.controls.state.sunAzimuth = k * std::numbers::pi / 8;
                 scene.frame({});
                 for (const Vertex& v : std::span(scene.model.parts[0].mesh->worldVerts.get(), 4))
                     if (std::max(std::abs(v.x), std::abs(v.z)) > reach)
                         seen += "sun at " + std::to_string(k) + " / 16 ";
             }
             return seen;
         }},
        {"a window side past 16 bits is refused before a window is made",
         [] {
             fakeplatform::reset();
             appInstance = nullptr;
             setScriptedRun(false);
             createAppWindow("wide", 0, 0, 70000, 768);
             return fakeplatform::differences(
                 fakeplatform::callsTo({Fn::MessageBoxA, Fn::CreateWindowExA}),
                 {fakeplatform::call::MessageBoxA(
                     nullptr,
                     "cannot open a window of 70000 x 768: each side must be 1 to 65535 pixels",
                     "Error", MB_OK)});
         }},
        {"a screenshot no bitmap holds is refused before the first frame, and in a run with "
         "--frames on standard error alone",
         []() -> std::string {
             fakeplatform::reset();
             appInstance = nullptr;
             struct Idle : Scene {
                 void frame(const FrameInfo&) override {}
             } idle;
             testing::internal::CaptureStderr();
             const int code = runApp(idle, {"huge", 20000, 20000}, {2, "shot.bmp", {}});
             const std::string said = testing::internal::GetCapturedStderr();
             if (code == exitFailure && fakeplatform::count(Fn::SwapBuffers) == 0 &&
                 fakeplatform::count(Fn::MessageBoxA) == 0 &&
                 said.find("19984 x 19961, cannot be saved") != std::string::npos)
                 return "";
             return "exit " + std::to_string(code) + ", said: " + said;
         }},
        {"a scripted viewer that cannot read its model says so without a box",
         [] {
             fakeplatform::reset();
             const int code = runViewer({"--frames", "2", "no-such.pob"});
             return code == exitFailure && fakeplatform::count(Fn::MessageBoxA) == 0 ? "" : "boxed";
         }},
    };
    for (const auto& [limit, check] : limits) EXPECT_EQ(check(), "") << limit;
}

}  // namespace
