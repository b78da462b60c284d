#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "demo/scene.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"
#include "tests/support/fake_gl.h"
#include "tests/support/fake_platform.h"

// Counts the heap allocations of the whole program while `counting` is set.
// GCC takes the free() in the replaced operator delete for a mismatch once it
// has inlined it into code that used new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

using namespace gloam;
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

namespace gl = fakegl::call;
using fakegl::Fn;

// The scene against the recording GL and window fakes, with the working
// directory set the way the program expects it.
class Scene : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(GLOAM_ASSET_DIR);
        fakeplatform::reset();
        fakegl::reset();
        theRenderer.quitRequested = false;
        theRenderer.queueCount = 0;
        theRenderer.orbitAngle = 0.0f;
        theRenderer.setWindow(nullptr);
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    std::filesystem::path previous;
};

TEST_F(Scene, OneFrameDrawsFourLitMeshesThenThreeShadowsThenPresents) {
    DemoScene scene;
    ASSERT_TRUE(scene.setUp());
    const int tableTriangles = scene.tableMesh->triangleCount();
    fakegl::reset();
    const std::size_t platformBefore = fakeplatform::calls().size();
    scene.frame({});

    const auto& calls = fakegl::calls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[0], gl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT));
    EXPECT_EQ(calls[4], gl::gluLookAt(600, 800, 0, 0, 0, 0, 0, 1, 0));

    // The runs of GL_POLYGONs before and after the first glFinish, split
    // wherever the bound texture changes: (texture, triangles).
    using Runs = std::vector<std::pair<GLuint, int>>;
    Runs runs[2];
    int finishes = 0;
    GLuint bound = 0;
    for (const fakegl::Call& c : calls) {
        if (c.fn == Fn::glFinish) ++finishes;
        if (c.fn == Fn::glBindTexture) bound = GLuint(c.intArg(1));
        if (c.fn == Fn::glColor4f && finishes == 1) {
            EXPECT_EQ(c, gl::glColor4f(0, 0, 0, 0.8f));
        }
        if (c.fn != Fn::glBegin || finishes > 1) continue;
        const GLuint texture = finishes == 0 ? bound : 0;
        if (runs[finishes].empty() || runs[finishes].back().first != texture) {
            runs[finishes].emplace_back(texture, 0);
        }
        ++runs[finishes].back().second;
    }
    EXPECT_EQ(finishes, 2);
    EXPECT_EQ(calls.back(), gl::glFinish());
    // Table (texture 7), floor (6), then both boxes (5); their shadows, never the floor's.
    EXPECT_EQ(runs[0], (Runs{{7, tableTriangles}, {6, 162}, {5, 12 + 12}}));
    EXPECT_EQ(runs[1], (Runs{{0, tableTriangles + 12 + 12}}));

    // Presenting is the frame loop's: it reads a screenshot back first.
    EXPECT_EQ(fakeplatform::calls().size(), platformBefore);
}

TEST_F(Scene, MissingOrBrokenAssetIsReportedByNameAndOnlyAMissingOneWhereItWasLookedFor) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("scene_test_" + std::to_string(::getpid()));
    for (const bool missing : {true, false}) {
        fakeplatform::reset();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        // A scratch copy of the assets less a texture, or with a broken table.
        for (const char* name :
             {"doorbands.bmp", "limestonetile.bmp", "wethrdwood.bmp", "table.pob"})
            if (std::string(name) != (missing ? "wethrdwood.bmp" : "table.pob"))
                std::filesystem::copy_file(std::filesystem::path(GLOAM_ASSET_DIR) / name,
                                           dir / name);
        if (!missing) std::ofstream(dir / "table.pob") << "POBFILE\n#\n3 1\n#\n0 0 0\n";
        std::filesystem::current_path(dir);
        DemoScene scene;
        EXPECT_FALSE(scene.setUp());
        std::filesystem::current_path(previous);
        const auto boxes = fakeplatform::callsTo({fakeplatform::Fn::MessageBoxA});
        ASSERT_EQ(boxes.size(), 1u);
        const std::string text = boxes[0].args;
        EXPECT_NE(text.find(missing ? "wethrdwood.bmp: cannot open" : "table.pob:3:1"),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("looked for in /") != std::string::npos, missing) << text;
    }
    std::filesystem::remove_all(dir);
}

TEST_F(Scene, SteadyFramesMakeNoHeapAllocation) {
    DemoScene scene;
    ASSERT_TRUE(scene.setUp());
    scene.frame({});  // lets the fakes' logs reach their size
    fakegl::reset();
    allocations = 0;
    counting = true;
    for (int frame = 0; frame < 300; ++frame) {
        scene.frame({});
        fakegl::reset();  // keeps its capacity
    }
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_TRUE(theRenderer.isRunning());
}

}  // namespace
