// gloam-view as a modeller meets it, under a private X server: a shadow that
// darkens each pixel once however many layers of a model fall on it, still
// frames that look as the first one did, a model read again as it is
// written, and scripted runs that never wait for a person.
//
// The reference is tests/e2e/references/viewer-layers.png, as the viewer's
// own --screenshot saves it; `bash scripts/references` writes it again.
// Run as: viewer_e2e_tests [--write-references] -- gloam-view

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gloam/textures/texture.h"
#include "tests/support/harness.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace e2e {
namespace {

std::string viewer;
bool writeReferences = false;
constexpr auto limit = 60s;
const fs::path reference = fs::path(GLOAM_REFERENCE_DIR) / "viewer-layers.png";

// Square layers on a pillar, the top one widest and each lower one drawn in
// so far that the top hides it from where the camera starts; each split along
// the other diagonal from the one above, so that no two shadow triangles
// coincide (the depth test would hide the fault). Without the middle layers
// the model keeps its bounds and its shadow's outline. The pillar stands on
// the floor at `foot`.
std::string stackedLayers(int layers, bool middle, int foot = -150) {
    std::string corners, triangles;
    int count = 0;
    const auto quad = [&](const std::array<std::array<int, 3>, 4>& q, bool other) {
        for (const auto& p : q)
            corners += std::to_string(p[0]) + ' ' + std::to_string(p[1]) + ' ' +
                       std::to_string(p[2]) + '\n';
        const int a = count, b = a + 1, c = a + 2, d = a + 3;
        triangles +=
            other
                ? std::to_string(a) + ' ' + std::to_string(b) + ' ' + std::to_string(d) + '\n' +
                      std::to_string(b) + ' ' + std::to_string(c) + ' ' + std::to_string(d) + '\n'
                : std::to_string(a) + ' ' + std::to_string(b) + ' ' + std::to_string(c) + '\n' +
                      std::to_string(a) + ' ' + std::to_string(c) + ' ' + std::to_string(d) + '\n';
        count += 4;
    };
    for (int k = 0; k < layers; ++k) {
        if (!middle && k != 0 && k != layers - 1) continue;
        const int s = 100 - 10 * k, y = -4 * k;
        quad({{{-s, y, -s}, {s, y, -s}, {s, y, s}, {-s, y, s}}}, k % 2 != 0);
    }
    const int top = -4 * (layers - 1), w = 8;
    const int around[5][2] = {{-w, -w}, {w, -w}, {w, w}, {-w, w}, {-w, -w}};
    for (int i = 0; i < 4; ++i) {
        const auto [x0, z0] = around[i];
        const auto [x1, z1] = around[i + 1];
        quad({{{x0, top, z0}, {x1, top, z1}, {x1, foot, z1}, {x0, foot, z0}}}, false);
    }
    std::string uvs;
    for (int t = 0; t < count / 2; ++t) uvs += "0 0\n1 0\n1 1\n";
    return "POBFILE\n#\n" + std::to_string(count) + ' ' + std::to_string(count / 2) + "\n#\n" +
           corners + "#\n" + triangles + "#\n" + uvs;
}

// RGB, bottom row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(std::size_t pixel) const { return &rgb[3 * pixel]; }
};

Picture readShot(const fs::path& file) {
    Picture p;
    gloam::Texture bitmap;
    if (!gloam::readBitmap(bitmap, file.c_str(), false, false, false)) return p;
    p.width = bitmap.width;
    p.height = bitmap.height;
    for (std::size_t i = 0; i < std::size_t(p.width) * p.height; ++i)
        p.rgb.insert(p.rgb.end(), &bitmap.pixels[4 * i], &bitmap.pixels[4 * i + 3]);
    return p;
}

// PNG rows run from the top.
Picture flipped(Picture p) {
    const std::size_t row = std::size_t(p.width) * 3;
    for (int y = 0; y < p.height / 2; ++y)
        std::swap_ranges(p.rgb.begin() + std::ptrdiff_t(y * row),
                         p.rgb.begin() + std::ptrdiff_t((y + 1) * row),
                         p.rgb.begin() + std::ptrdiff_t((p.height - 1 - y) * row));
    return p;
}

Picture readPng(const fs::path& file) {
    Picture p;
    int channels = 0;
    unsigned char* data = stbi_load(file.c_str(), &p.width, &p.height, &channels, 3);
    if (data != nullptr) p.rgb.assign(data, data + std::size_t(p.width) * p.height * 3);
    stbi_image_free(data);
    return flipped(p);
}

// Pixels whose largest channel differs by more than 2 levels: the demo's
// measure, under which repeated runs and builds agree to the pixel.
long differing(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 1L << 30;
    long count = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3)
        count += std::abs(a.rgb[i] - b.rgb[i]) > 2 || std::abs(a.rgb[i + 1] - b.rgb[i + 1]) > 2 ||
                 std::abs(a.rgb[i + 2] - b.rgb[i + 2]) > 2;
    return count;
}

// The viewer started in a fresh folder of the build tree holding `files`.
class ViewerRun {
public:
    ViewerRun(const std::string& name, const std::map<std::string, std::string>& files,
              std::vector<std::string> arguments)
        : folder_(fs::path(E2E_OUTPUT_DIR) / name) {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        for (const auto& [file, text] : files) write(file, text);
        xvfb_.emplace(folder_);
        x_.emplace(xvfb_->display());
        arguments.insert(arguments.begin(), viewer);
        program_.emplace(arguments, xvfb_->display(), folder_, folder_ / "stdout.txt",
                         folder_ / "stderr.txt");
    }
    void write(const std::string& file, const std::string& text) {
        std::ofstream(folder_ / file, std::ios::binary) << text;
    }
    std::string errors() const { return readFile(folder_ / "stderr.txt"); }
    std::optional<Exit> waitForExit() { return program_->waitFor(limit); }
    Picture shot(const std::string& file) const { return readShot(folder_ / file); }

    // The title of the viewer's window, in X's two properties, once one
    // starting with `prefix` (Latin-1) shows on the screen, where it takes
    // keys; empty when none does in time.
    std::pair<std::string, std::string> titleStartingWith(const std::string& prefix) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            Display* d = x_->display();
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count);
            for (unsigned i = 0; i < count; ++i) {
                char* name = nullptr;
                const std::string latin1 =
                    XFetchName(d, children[i], &name) && name != nullptr ? name : "";
                XFree(name);
                XWindowAttributes shown{};
                if (latin1.rfind(prefix, 0) != 0 || !XGetWindowAttributes(d, children[i], &shown) ||
                    shown.map_state != IsViewable)
                    continue;
                window_ = children[i];
                XFree(children);
                return {latin1, property(d, "_NET_WM_NAME")};
            }
            XFree(children);
            std::this_thread::sleep_for(50ms);
        }
        return {};
    }
    // Keys as a user types them, with the pointer over the window so that
    // it has the focus; F12 last, and the picture it saved.
    Picture keys(const std::vector<unsigned long>& keysyms, const std::string& saved) {
        x_->movePointer(500, 400);
        for (const unsigned long keysym : keysyms) {
            x_->key(keysym, true);
            x_->key(keysym, false);
        }
        x_->key(XK_F12, true);
        x_->key(XK_F12, false);
        for (auto end = std::chrono::steady_clock::now() + limit;
             !fs::exists(folder_ / saved) && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(50ms);
        return shot(saved);
    }

private:
    std::string property(Display* d, const char* name) const {
        Atom type = 0;
        int format = 0;
        unsigned long length = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(d, window_, XInternAtom(d, name, False), 0, 4096, False, AnyPropertyType,
                           &type, &format, &length, &after, &data);
        const std::string text = data != nullptr ? reinterpret_cast<char*>(data) : "";
        XFree(data);
        return text;
    }

    fs::path folder_;
    std::optional<PrivateXvfb> xvfb_;
    std::optional<XClient> x_;
    std::optional<ChildProcess> program_;
    Window window_ = 0;
};

// Frame `frames` of a --frames run, as its --screenshot saved it.
Picture frameOf(const std::string& name, const std::string& model, int frames) {
    ViewerRun run(name, {{"model.pob", model}},
                  {"--frames", std::to_string(frames), "--screenshot", "shot.bmp", "model.pob"});
    const auto exit = run.waitForExit();
    EXPECT_TRUE(exit && exit->exited && exit->code == 0) << name << ": " << run.errors();
    return run.shot("shot.bmp");
}

class ViewerProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (viewer.empty()) GTEST_SKIP() << "no viewer to run: pass its command line after --";
    }
};

// Eight layers shadow as two do, from the first frame (drawn afresh) to the
// third (drawn from what OpenGL kept).
TEST_F(ViewerProgram, OverlappingLayersShadowAsTwoLayersDoInEveryFrame) {
    const Picture kept = frameOf("layers-8-kept", stackedLayers(8, true), 3);
    if (writeReferences) {
        ASSERT_TRUE(stbi_write_png(reference.c_str(), kept.width, kept.height, 3,
                                   flipped(kept).rgb.data(), kept.width * 3));
        return;
    }
    const Picture expected = readPng(reference);
    ASSERT_FALSE(expected.rgb.empty()) << "cannot read " << reference;
    EXPECT_LE(differing(kept, expected), 100);
    EXPECT_LE(differing(frameOf("layers-8-first", stackedLayers(8, true), 1), expected), 100);
    EXPECT_LE(differing(frameOf("layers-2-kept", stackedLayers(8, false), 3), expected), 100);
}

TEST_F(ViewerProgram, ShadowOnTheTwoColourFloorHasTwoTones) {
    ViewerRun run("tones", {{"model.pob", stackedLayers(8, true)}}, {"model.pob"});
    ASSERT_FALSE(run.titleStartingWith("model.pob").first.empty()) << run.errors();
    const Picture shadowed = run.keys({}, "screenshot-0001.bmp");
    const Picture bare = run.keys({XK_space}, "screenshot-0002.bmp");
    ASSERT_FALSE(shadowed.rgb.empty() || bare.rgb.empty()) << run.errors();
    // A floor colour under the shadow, with each shade it took there.
    std::map<std::array<unsigned char, 3>, std::map<std::array<unsigned char, 3>, long>> tones;
    long once = 0, otherwise = 0;
    for (std::size_t i = 0; i < std::size_t(bare.width) * bare.height; ++i) {
        const unsigned char *lit = bare.at(i), *dark = shadowed.at(i);
        if (std::equal(lit, lit + 3, dark)) continue;
        bool darkenedOnce = true;
        for (int c = 0; c < 3; ++c) darkenedOnce &= std::abs(dark[c] - lit[c] * 0.4) <= 1.0;
        (darkenedOnce ? once : otherwise) += 1;
        ++tones[{lit[0], lit[1], lit[2]}][{dark[0], dark[1], dark[2]}];
    }
    EXPECT_GT(once, 20000);
    EXPECT_EQ(otherwise, 0);
    // The two floor colours are the two most common there, each one tone.
    std::vector<std::pair<long, std::size_t>> common;
    for (const auto& [lit, shades] : tones) {
        long pixels = 0;
        for (const auto& [shade, n] : shades) pixels += n;
        common.emplace_back(pixels, shades.size());
    }
    std::sort(common.rbegin(), common.rend());
    ASSERT_GE(common.size(), 2u);
    EXPECT_EQ(common[0].second + common[1].second, 2u);
}

TEST_F(ViewerProgram, ReadsTheModelAgainAsItIsWrittenAndKeepsTheLastGoodOneMeanwhile) {
    const std::string name =
                          "t\xc3\xa2"
                          "ble 1.pob",
                      first = stackedLayers(8, false), second = stackedLayers(5, true, -60);
    ViewerRun run("reload", {{name, first}}, {name});
    const std::string latin1 =
        "t\xe2"
        "ble 1.pob (";
    EXPECT_EQ(run.titleStartingWith(latin1).second.rfind(name + " (24 vertices", 0), 0u);
    const Picture a = run.keys({XK_Left, XK_Left, XK_Left}, "screenshot-0001.bmp");

    // Caught half written: the model on the screen stays, and the title says why.
    run.write(name, first.substr(0, first.size() / 2));
    EXPECT_NE(run.titleStartingWith(latin1.substr(0, latin1.size() - 2) + ":")
                  .second.find("(the last model that loaded is shown)"),
              std::string::npos);
    EXPECT_LE(differing(run.keys({}, "screenshot-0002.bmp"), a), 100);

    run.write(name, second);
    EXPECT_FALSE(run.titleStartingWith(latin1 + "36 vertices").first.empty()) << run.errors();
    const Picture c = run.keys({}, "screenshot-0003.bmp");
    EXPECT_GT(differing(c, a), 10000);
    // The camera stayed where the user turned it.
    EXPECT_GT(differing(c, frameOf("reload-fresh", second, 3)), 10000);
}

TEST_F(ViewerProgram, ScriptedRunsEndWithExitOneAndNoBoxWhenTheyCannotStart) {
    ViewerRun run("scripted", {}, {"--frames", "2", "missing.pob"});
    const auto exit = run.waitForExit();
    ASSERT_TRUE(exit) << "the viewer waited";
    EXPECT_TRUE(exit->exited && exit->code == 1) << exit->describe();
    EXPECT_NE(run.errors().find("Error: Cannot show the model: missing.pob: "), std::string::npos)
        << run.errors();
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
