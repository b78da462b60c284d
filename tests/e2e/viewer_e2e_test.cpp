// gloam-view as a modeller meets it, under a private X server: a shadow that
// darkens each pixel once however many layers of a model fall on it, kept
// frames that look as the first did, and a model read again as it is
// written. The reference is
// references/viewer-layers.png, written again by `bash scripts/references`;
// the models are in models/.
//
//   viewer_e2e_tests [--write-references] -- gloam-view

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/pictures.h"
#include "tests/support/harness.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace e2e {
namespace {

std::string viewer;
bool writeReferences = false;
constexpr auto limit = 60s;
const fs::path reference = fs::path(GLOAM_REFERENCE_DIR) / "viewer-layers.png";

// Layers on a pillar, each split unlike the one above so that no two shadow
// triangles coincide (the depth test would hide the fault), and hidden under
// the top one from where the camera starts: layers-2.pob keeps the top and
// bottom ones of layers-8.pob, its bounds and its shadow's outline.
std::string model(const char* name) { return readFile(fs::path(GLOAM_MODEL_DIR) / name); }

// The viewer started on `file`, holding `model`, in a fresh folder of the
// build tree.
struct ViewerRun {
    ViewerRun(const std::string& name, const std::string& file, const std::string& model,
              std::vector<std::string> options = {})
        : folder(fs::path(E2E_OUTPUT_DIR) / name), x(xvfb.display()) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        std::ofstream(folder / file) << model;
        options.insert(options.begin(), viewer);
        options.push_back(file);
        program.emplace(options, xvfb.display(), folder, folder / "out.txt", folder / "err.txt");
    }
    std::string errors() const { return readFile(folder / "err.txt"); }

    // The _NET_WM_NAME of the window (the only one) once its Latin-1 WM_NAME
    // starts with `prefix` and it is on the screen, where it takes keys.
    std::string titleOnceItStarts(const std::string& prefix) {
        Display* d = x.display();
        for (auto end = std::chrono::steady_clock::now() + limit;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(50ms)) {
            Window root = 0, parent = 0, *windows = nullptr, w = 0;
            unsigned count = 0;
            if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &windows, &count) && count)
                w = windows[count - 1];
            XFree(windows);
            char* name = nullptr;
            XWindowAttributes shown{};
            const bool ready = w != 0 && XFetchName(d, w, &name) &&
                               std::string(name).rfind(prefix, 0) == 0 &&
                               XGetWindowAttributes(d, w, &shown) && shown.map_state == IsViewable;
            XFree(name);
            if (!ready) continue;
            XTextProperty utf8{};
            const bool named =
                XGetTextProperty(d, w, &utf8, XInternAtom(d, "_NET_WM_NAME", False)) != 0;
            const std::string title = named ? reinterpret_cast<char*>(utf8.value) : "?";
            XFree(utf8.value);
            return title;
        }
        return "";
    }
    // Keys as a user types them over the window, then F12; the picture saved.
    Picture keys(const std::vector<unsigned long>& keysyms) {
        x.movePointer(500, 400);
        for (const unsigned long keysym : keysyms) x.key(keysym, true), x.key(keysym, false);
        x.key(XK_F12, true), x.key(XK_F12, false);
        char saved[32];
        std::snprintf(saved, sizeof saved, "screenshot-%04d.bmp", ++shots);
        for (auto end = std::chrono::steady_clock::now() + limit;
             !fs::exists(folder / saved) && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(50ms);
        return readPicture(folder / saved);
    }

    fs::path folder;
    PrivateXvfb xvfb;
    XClient x;
    std::optional<ChildProcess> program;
    int shots = 0;
};

// Frame `frames` of a --frames run, as its --screenshot saved it.
Picture frameOf(const std::string& name, const std::string& model, int frames) {
    ViewerRun run(name, "model.pob", model,
                  {"--frames", std::to_string(frames), "--screenshot", "shot.bmp"});
    const auto exit = run.program->waitFor(limit);
    EXPECT_TRUE(exit && exit->exited && exit->code == 0) << name << ": " << run.errors();
    return readPicture(run.folder / "shot.bmp");
}

// Eight layers shadow as two do, in the first frame (drawn afresh) and the
// third (drawn from what OpenGL kept).
TEST(ViewerProgram, OverlappingLayersShadowAsTwoLayersDoInEveryFrame) {
    if (viewer.empty()) GTEST_SKIP() << "pass the viewer after --";
    const Picture kept = frameOf("layers-8-kept", model("layers-8.pob"), 3);
    if (writeReferences) {
        ASSERT_TRUE(writePng(kept, reference));
        return;
    }
    const Picture expected = readPicture(reference);
    ASSERT_FALSE(expected.rgb.empty()) << "cannot read " << reference;
    EXPECT_LE(differingPixels(kept, expected), 100);
    EXPECT_LE(differingPixels(frameOf("layers-8-first", model("layers-8.pob"), 1), expected), 100);
    EXPECT_LE(differingPixels(frameOf("layers-2-kept", model("layers-2.pob"), 3), expected), 100);
}

// A modeller's session: the shadow looked at, the model turned, then written
// again, half, and whole.
TEST(ViewerProgram, ShadowsOnceAndReadsTheModelAgainAsItIsWritten) {
    if (viewer.empty()) GTEST_SKIP() << "pass the viewer after --";
    const std::string name = "t\303\242ble 1.pob", latin1 = "t\342ble 1.pob";
    ViewerRun run("session", name, model("layers-8.pob"));
    EXPECT_EQ(run.titleOnceItStarts(latin1 + " (").rfind(name + " (48 vertices", 0), 0u);

    // Each floor colour under the shadow is darkened once, by the alpha 0.6.
    const Picture shadowed = run.keys({}), bare = run.keys({XK_space});
    ASSERT_EQ(bare.rgb.size(), shadowed.rgb.size());
    long once = 0, otherwise = 0;
    for (std::size_t i = 0; i < bare.rgb.size(); i += 3) {
        bool lit = true, darkenedOnce = true;
        for (std::size_t c = i; c < i + 3; ++c) {
            lit &= bare.rgb[c] == shadowed.rgb[c];
            darkenedOnce &= std::abs(shadowed.rgb[c] - bare.rgb[c] * 0.4) <= 1.0;
        }
        if (!lit) ++(darkenedOnce ? once : otherwise);
    }
    EXPECT_GT(once, 20000);
    EXPECT_EQ(otherwise, 0);

    // Caught half written, the model stays and the title says why.
    const Picture turned = run.keys({XK_space, XK_Left, XK_Left, XK_Left});
    const std::string whole = model("layers-2.pob"), other = model("layers-5-short.pob");
    std::ofstream(run.folder / name) << whole.substr(0, whole.size() / 2);
    EXPECT_NE(run.titleOnceItStarts(latin1 + ":").find("(the last model that loaded is shown)"),
              std::string::npos);
    EXPECT_LE(differingPixels(run.keys({}), turned), 100);
    // Written whole, it shows from where the user turned the camera.
    std::ofstream(run.folder / name) << other;
    EXPECT_FALSE(run.titleOnceItStarts(latin1 + " (36 vertices").empty()) << run.errors();
    const Picture again = run.keys({});
    EXPECT_GT(differingPixels(again, turned), 10000);
    EXPECT_GT(differingPixels(again, frameOf("session-fresh", other, 3)), 10000);
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--write-references") e2e::writeReferences = true;
        if (std::string(argv[i]) == "--" && i + 1 < argc) e2e::viewer = argv[i + 1];
    }
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return RUN_ALL_TESTS();
}
