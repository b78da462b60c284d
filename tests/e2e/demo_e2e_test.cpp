// The whole program under a private X server: started in a folder holding
// its assets, looked at through the X server, and closed as a window manager
// closes a window.
//
// The program to run is the command line after "--" (CMake passes the
// native gloam-demo), so the same checks serve any build that opens its
// window on the X server named by DISPLAY, e.g. "env WINEPREFIX=... wine
// gloam-demo.exe" (add --reports-not-on-stderr before "--" for a program
// whose message boxes are only drawn). Without one, every test skips.

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gloam/textures/texture.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/picture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace e2e {
namespace {

std::vector<std::string> programCommand;
// Our X11 stand-in writes every message box's text to standard error as
// well; Wine only draws the box, whose text cannot be read from here.
bool reportsOnStandardError = true;

const char* const windowTitle = "Simple OpenGL App";

// Generous for a first start under Wine (~10 s) on a loaded machine; the
// native program needs well under a second for either.
constexpr auto startLimit = 60s;
constexpr auto exitLimit = 30s;

// One run of the program in a fresh folder of the build tree, which keeps
// its output and pictures afterwards.
class DemoRun {
public:
    DemoRun(const std::string& name, const std::string& omitted, bool withDisplay,
            const std::vector<std::string>& arguments = {})
        : folder_(fs::path(E2E_OUTPUT_DIR) / name) {
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "work");
        for (const char* file :
             {"doorbands.bmp", "limestonetile.bmp", "wethrdwood.bmp", "table.pob"})
            if (file != omitted)
                fs::copy_file(fs::path(GLOAM_ASSET_DIR) / file, folder_ / "work" / file);
        if (withDisplay) {
            xvfb_.emplace(folder_);
            x_.emplace(xvfb_->display());
        }
        std::vector<std::string> command = programCommand;
        command.insert(command.end(), arguments.begin(), arguments.end());
        program_.emplace(command, withDisplay ? xvfb_->display() : "", folder_ / "work",
                         folder_ / "stdout.txt", folder_ / "stderr.txt");
    }

    const fs::path& folder() const { return folder_; }
    XClient& x() { return *x_; }
    std::string standardError() const { return readFile(folder_ / "stderr.txt"); }
    std::string state() {
        const auto exit = program_->poll();
        return (exit ? exit->describe() : "running") + "; standard error:\n" + standardError();
    }

    // The program's window once it is shown and presents a frame; 0 when
    // not within the start limit.
    unsigned long waitForFrame() {
        const auto end = std::chrono::steady_clock::now() + startLimit;
        for (unsigned long window = 0; !program_->poll() && std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(20ms)) {
            if (window == 0) window = x_->findWindow(windowTitle);
            const Image image = window != 0 ? x_->grab(window) : Image{};
            if (std::any_of(image.pixels.begin(), image.pixels.end(),
                            [](const Rgb& p) { return p.r != 0 || p.g != 0 || p.b != 0; }))
                return window;
        }
        return 0;
    }

    // Waits for the program to end. A window titled "Error" is a message box
    // (Wine draws real ones); it is dismissed as a user would and noted.
    std::optional<Exit> waitForExit(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (auto exit = program_->waitFor(100ms)) return exit;
            if (const unsigned long box = x_ ? x_->findWindow("Error") : 0) {
                sawMessageBox_ = true;
                x_->requestClose(box);
            }
        }
        return std::nullopt;
    }
    bool sawMessageBox() const { return sawMessageBox_; }

private:
    fs::path folder_;
    // Declared so that they go in reverse: the program, our client, the server.
    std::optional<PrivateXvfb> xvfb_;
    std::optional<XClient> x_;
    std::optional<ChildProcess> program_;
    bool sawMessageBox_ = false;
};

class DemoProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (programCommand.empty())
            GTEST_SKIP() << "no program to run: gloam-demo is not built (pass its command "
                            "line after --)";
    }
};

TEST_F(DemoProgram, DrawsTheSceneAndEndsWhenItsWindowIsClosed) {
    DemoRun run("scene", "", true);
    const unsigned long window = run.waitForFrame();
    ASSERT_NE(window, 0u) << "no frame in a window titled \"" << windowTitle << "\"; program "
                          << run.state();

    // A few hundred frames in, the shadows lie well beside the boxes. The big
    // box's shadow is measured when it shows enough floor (its length follows
    // the swinging sun, so a slow build may need a later frame).
    constexpr long enoughShadow = 1500;
    std::vector<Reading> readings;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::this_thread::sleep_for(attempt == 0 ? 2000ms : 700ms);
        const Image image = run.x().grab(window);
        ASSERT_GT(image.width, 0) << "the window went away";
        readings.push_back(readFrame(image));
        std::printf("grab %zu: %s\n", readings.size(), readings.back().describe().c_str());
        writePng(image, run.folder() / ("frame-" + std::to_string(readings.size()) + ".png"));
        if (readings.back().shadowPixels >= enoughShadow && readings.size() >= 2) break;
    }

    run.x().requestClose(window);
    const auto exit = run.waitForExit(exitLimit);
    ASSERT_TRUE(exit) << "the program did not end after the close request";
    EXPECT_TRUE(exit->exited && exit->code == 0) << run.state();
    EXPECT_EQ(run.x().findWindow(windowTitle), 0u) << "the window outlived the program";

    for (const Reading& r : readings) {
        SCOPED_TRACE(r.describe());
        // The picture is a frame of the scene: with the frame found, the
        // pixels away from edges (2 px) and from the table and the small box
        // look as expected: black background, lit floor, a big box that is
        // not lit floor, shadowed floor. Measured: 0.9998 and more; what is
        // left is 8-bit rounding in the darkest pixels. The big box moved by
        // 30 units (about 20 pixels) brings it below 0.99.
        EXPECT_GT(r.agreement, 0.995);
        // The floor texture itself, pixel by pixel: lit floor is the texel
        // under it times one light level, within 8% (the texels' spread in
        // a bilinear footprint, compared only where it is even) and one
        // 8-bit step. Measured 0.9997 and more; a flat colour, a texture
        // mirrored or shifted by a few texels matches only the tiles' plain
        // middles.
        EXPECT_GT(r.floorMatch, 0.98);
        // The sun lights the floor by the cosine between its direction
        // (swing, 1, swing) and the floor's normal, truncated to whole steps
        // of 1/255 (vertex colours are integers). 0.01: that step, and the
        // rounding of the texels behind the median.
        EXPECT_NEAR(r.floorLight, std::floor(255 / std::sqrt(1 + 2 * r.swing * r.swing)) / 255,
                    0.01);
        // Where it is lit, the large box shows mostly its planks' red (83% of
        // the texture; the iron bands turn bluish under the small box's light).
        EXPECT_GT(r.bigBoxRed, 0.6);
    }
    // Frames follow each other: the camera and the animation move on.
    for (std::size_t i = 1; i < readings.size(); ++i)
        EXPECT_GT(readings[i].frame, readings[i - 1].frame);

    // Shadows, each pixel against the same floor unshadowed: its texel times
    // the light level of the lit floor (the sun lights the whole floor
    // evenly, as the texture check shows). Black at alpha 0.8 leaves a fifth
    // of the floor under it, and where two layers of the flattened box get
    // through the depth test, a 25th. Every shadowed pixel shows one of these
    // (10% and one 8-bit step of tolerance), and the single layer darkens by
    // 0.2 within 0.01: the median of thousands of pixels, each off by at
    // most one 8-bit step.
    const Reading& shadowed = readings.back();
    ASSERT_GE(shadowed.shadowPixels, enoughShadow) << shadowed.describe();
    EXPECT_GT(shadowed.shadowSingle + shadowed.shadowLayered, 0.95) << shadowed.describe();
    long singles = 0;
    for (const Reading& r : readings) {
        if (r.shadowSinglePixels < 200) continue;
        singles += r.shadowSinglePixels;
        EXPECT_NEAR(r.shadowRatio, 0.2, 0.01) << r.describe();
    }
    EXPECT_GT(singles, 0) << "no grab shows a single layer of shadow";
}

TEST_F(DemoProgram, MissingAssetEndsWithExitOneAndNamesTheFile) {
    for (const std::string missing : {"limestonetile.bmp", "table.pob"}) {
        SCOPED_TRACE("without " + missing);
        DemoRun run("without-" + missing, missing, true);
        const auto exit = run.waitForExit(startLimit);
        ASSERT_TRUE(exit) << "the program did not end";
        EXPECT_TRUE(exit->exited && exit->code == 1) << exit->describe();
        EXPECT_TRUE(run.sawMessageBox()) << "the user was not told";
        if (reportsOnStandardError) {
            EXPECT_NE(run.standardError().find(missing), std::string::npos) << run.standardError();
        }
        EXPECT_EQ(run.x().findWindow(windowTitle), 0u);
    }
}

TEST_F(DemoProgram, WithoutADisplayEndsWithExitOneAndSaysWhy) {
    // With no display there is nowhere to show a message box.
    if (!reportsOnStandardError) GTEST_SKIP() << "the program reports only in message boxes";
    DemoRun run("no-display", "", false);
    const auto exit = run.waitForExit(startLimit);
    ASSERT_TRUE(exit) << "the program did not end";
    EXPECT_TRUE(exit->exited && exit->code == 1) << exit->describe();
    EXPECT_NE(run.standardError().find("CreateWindow() failed (no X display: DISPLAY is not set)"),
              std::string::npos)
        << run.standardError();
}

TEST_F(DemoProgram, FramesAndScreenshotGiveTheSamePictureOfThatFrameOnEveryRun) {
    std::string pictures[2];
    for (std::string& picture : pictures) {
        DemoRun run("frames", "", true, {"--frames", "101", "--screenshot", "frame.bmp"});
        const auto exit = run.waitForExit(startLimit);
        ASSERT_TRUE(exit && exit->exited && exit->code == 0) << run.state();
        picture = readFile(run.folder() / "work" / "frame.bmp");
        ASSERT_GT(picture.size(), 54u);
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << "frame 101 differs between two runs";
    gloam::Texture bitmap;
    ASSERT_TRUE(gloam::readBitmap(
        bitmap, (fs::path(E2E_OUTPUT_DIR) / "frames/work/frame.bmp").c_str(), false, false, true));
    Image image{bitmap.width, bitmap.height, {}};
    for (int i = 0; i < bitmap.width * bitmap.height; ++i)
        image.pixels.push_back(
            {bitmap.pixels[4 * i], bitmap.pixels[4 * i + 1], bitmap.pixels[4 * i + 2]});
    const Reading reading = readFrame(image);
    EXPECT_EQ(reading.frame, 101) << reading.describe();
    EXPECT_GT(reading.agreement, 0.995) << reading.describe();
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--reports-not-on-stderr") e2e::reportsOnStandardError = false;
        if (std::string(argv[i]) == "--") {
            e2e::programCommand.assign(argv + i + 1, argv + argc);
            break;
        }
    }
    // The program may destroy its window between our listing the tree and
    // asking about a window; that is an answer, not a reason to exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return RUN_ALL_TESTS();
}
