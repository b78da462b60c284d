// The whole program under a private X server: started in a folder holding
// its assets, looked at through the X server, and closed as a window manager
// closes a window.
//
// The program to run is the command line after "--" (CMake passes the
// native engine_demo), so the same checks serve any build that opens its
// window on the X server named by DISPLAY, e.g. "env WINEPREFIX=... wine
// engine_demo.exe" (add --reports-not-on-stderr before "--" for a program
// whose message boxes are only drawn). Without one, every test skips.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "meshio/pob.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/picture.h"
#include "tests/e2e/x_client.h"
#include "tests/e2e/xvfb.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace e2e {
namespace {

std::vector<std::string> programCommand;
// Our X11 stand-in writes every message box's text to standard error as
// well; Wine only draws the box, whose text cannot be read from here.
bool reportsOnStandardError = true;

const char* const windowTitle = "Simple OpenGL App";
const char* const assetFiles[] = {"doorbands.bmp", "limestonetile.bmp", "wethrdwood.bmp",
                                  "table.pob"};

// Generous for a first start under Wine (~10 s) on a loaded machine; the
// native program needs well under a second for either.
constexpr auto startLimit = 60s;
constexpr auto exitLimit = 30s;

// One run of the program in a fresh folder of the build tree, which keeps
// its output and pictures afterwards.
class DemoRun {
public:
    DemoRun(const std::string& name, const std::vector<std::string>& omitted, bool withDisplay)
        : folder_(fs::path(E2E_OUTPUT_DIR) / name) {
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "work");
        for (const char* file : assetFiles)
            if (std::find(omitted.begin(), omitted.end(), file) == omitted.end())
                fs::copy_file(fs::path(ENGINE_ASSET_DIR) / file, folder_ / "work" / file);
        Environment environment;
        if (withDisplay) {
            xvfb_.emplace(folder_);
            environment.set.emplace_back("DISPLAY", xvfb_->display());
            x_.emplace(xvfb_->display());
        } else {
            environment.unset.push_back("DISPLAY");
        }
        // The X server is ours alone; no other authority file applies.
        environment.unset.push_back("XAUTHORITY");
        program_.emplace(programCommand, environment, folder_ / "work", folder_ / "stdout.txt",
                         folder_ / "stderr.txt");
    }

    const fs::path& folder() const { return folder_; }
    XClient& x() { return *x_; }
    ChildProcess& program() { return *program_; }
    std::string standardError() const { return readFile(folder_ / "stderr.txt"); }

    // Waits for the program's window to be shown; 0 when it is not within
    // `limit` or the program ends first.
    unsigned long waitForWindow(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!program_->poll() && std::chrono::steady_clock::now() < end) {
            if (const unsigned long window = x_->findWindow(windowTitle)) return window;
            std::this_thread::sleep_for(20ms);
        }
        return 0;
    }

    // Waits for the program to end. A window titled "Error" is a message box
    // (Wine draws real ones); it is dismissed as a user would and noted.
    std::optional<Exit> waitForExit(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (auto exit = program_->waitFor(100ms)) return exit;
            if (x_) {
                if (const unsigned long box = x_->findWindow("Error")) {
                    sawMessageBox_ = true;
                    x_->requestClose(box);
                }
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
            GTEST_SKIP() << "no program to run: engine_demo is not built (pass its command "
                            "line after --)";
    }
};

bool anyLit(const Image& image) {
    return std::any_of(image.pixels.begin(), image.pixels.end(),
                       [](const Rgb& p) { return p.r != 0 || p.g != 0 || p.b != 0; });
}

TableBounds tableBounds() {
    const auto table = loadPob((fs::path(ENGINE_ASSET_DIR) / "table.pob").c_str());
    TableBounds bounds;
    if (table == nullptr) return bounds;
    bounds.bottom = bounds.top = table->vertices()[0].y;
    for (std::int32_t i = 0; i < table->vertexCount(); ++i) {
        const Vertex& v = table->vertices()[i];
        bounds.radius = std::max(bounds.radius, std::hypot(double(v.x), double(v.z)));
        bounds.bottom = std::min(bounds.bottom, double(v.y));
        bounds.top = std::max(bounds.top, double(v.y));
    }
    return bounds;
}

// One grabbed frame, read.
struct Reading {
    Image image;
    Image disagreement;
    Fit fit;
    Measures measures;
};

Reading read(Image image, const Palette& palette, const FloorTexture& floorTexture,
             const TableBounds& table, const std::vector<FrameState>& frames) {
    Reading reading;
    const Classified seen = classify(image, palette);
    reading.fit = fitFrame(image, seen, table, frames);
    const FrameView view(reading.fit.state, table, image.width, image.height);
    // Two pixels around every edge: rasterisation rounding and the smoothing
    // of the texture filter reach about one pixel across an edge.
    const std::vector<Expect> expected = view.pixels(image.width, image.height, 2);
    reading.fit.agreement = agreement(seen, expected);
    reading.measures = measure(image, seen, view, expected, floorTexture);
    reading.disagreement = disagreement(image, seen, expected);
    reading.image = std::move(image);
    return reading;
}

TEST_F(DemoProgram, DrawsTheSceneAndEndsWhenItsWindowIsClosed) {
    const Image floorImage = readBmp(fs::path(ENGINE_ASSET_DIR) / "limestonetile.bmp");
    ASSERT_GT(floorImage.width, 0) << "cannot read the floor texture";
    const Palette palette =
        paletteFrom(floorImage, readBmp(fs::path(ENGINE_ASSET_DIR) / "doorbands.bmp"));
    const FloorTexture floorTexture(floorImage);
    std::printf("palette: floor red/green %.3f..%.3f, box red %.3f\n", palette.floorRedLow,
                palette.floorRedHigh, palette.boxRedShare);
    const TableBounds table = tableBounds();
    ASSERT_GT(table.radius, 0) << "cannot read the table";
    // Ten laps of the camera: far more frames than are drawn before the grab
    // at any speed seen here (100-150 frames a second natively).
    const std::vector<FrameState> frames = replayFrames(6290);

    DemoRun run("scene", {}, true);
    const unsigned long window = run.waitForWindow(startLimit);
    ASSERT_NE(window, 0u) << "no window titled \"" << windowTitle << "\"; program "
                          << (run.program().poll() ? run.program().poll()->describe() : "running")
                          << ", standard error:\n"
                          << run.standardError();

    // The window may be mapped before its first frame is presented.
    const auto end = std::chrono::steady_clock::now() + startLimit;
    while (!anyLit(run.x().grab(window)) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);

    // A few hundred frames in, the shadows lie well beside the boxes. The big
    // box's shadow is measured when it shows enough floor (its length follows
    // the swinging sun, so a slow build may need a later frame).
    constexpr long enoughShadow = 1500;
    std::vector<Reading> readings;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::this_thread::sleep_for(attempt == 0 ? 2000ms : 700ms);
        Image image = run.x().grab(window);
        ASSERT_GT(image.width, 0) << "the window went away";
        const auto started = std::chrono::steady_clock::now();
        readings.push_back(read(std::move(image), palette, floorTexture, table, frames));
        const Reading& r = readings.back();
        std::printf("grab %zu: frame %d (agreement %.4f, read in %lld ms): %s\n", readings.size(),
                    r.fit.state.frame, r.fit.agreement,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - started)
                                               .count()),
                    r.measures.describe().c_str());
        const std::string number = std::to_string(readings.size());
        writePng(r.image, run.folder() / ("frame-" + number + ".png"));
        writePng(r.disagreement, run.folder() / ("frame-" + number + "-disagreement.png"));
        if (readings.back().measures.shadowPixels >= enoughShadow && readings.size() >= 2) break;
    }

    run.x().requestClose(window);
    const auto exit = run.waitForExit(exitLimit);
    ASSERT_TRUE(exit) << "the program did not end after the close request";
    EXPECT_TRUE(exit->exited && exit->code == 0) << exit->describe() << "; standard error:\n"
                                                 << run.standardError();
    EXPECT_EQ(run.x().findWindow(windowTitle), 0u) << "the window outlived the program";

    for (const Reading& r : readings) {
        SCOPED_TRACE("frame " + std::to_string(r.fit.state.frame) + ": " + r.measures.describe());
        // Not blank: from every point of the camera's circle the floor fills
        // about half the window (a quarter even after the table, the boxes
        // and the edges are left out).
        EXPECT_GT(r.measures.floorPixels, long(r.image.pixels.size()) / 4);
        // The picture is a frame of the scene: with the frame found, the
        // pixels away from edges (2 px) and from the table and the small box
        // look as expected. Measured: 0.9998 and more; what is left is 8-bit
        // rounding in the darkest pixels. The big box moved by 30 units
        // (about 20 pixels) brings it below 0.99.
        EXPECT_GT(r.fit.agreement, 0.995);
        // The floor where the camera sees it, in the floor texture's colours
        // (measured 1.0000; the moved box: 0.985-0.991).
        EXPECT_GT(r.measures.floorLit, 0.995);
        // Nothing drawn beyond the floor's edges.
        EXPECT_GT(r.measures.backgroundBlack, 0.999);
        // The floor texture itself, pixel by pixel: lit floor is the texel
        // under it times one light level, within 8% (the texels' spread in
        // a bilinear footprint, compared only where it is even) and one
        // 8-bit step. Measured 0.9997 and more; a flat colour or a texture
        // shifted by a few texels matches only the tiles' plain middles.
        EXPECT_GT(r.measures.floorMatch, 0.98);
        // The sun lights the floor by the cosine between its direction
        // (swing, 1, swing) and the floor's normal, truncated to whole steps
        // of 1/255 (vertex colours are integers). 0.01: that step, and the
        // rounding of the texels behind the median.
        const double swing = r.fit.state.swing;
        EXPECT_NEAR(r.measures.floorLight, std::floor(255 / std::sqrt(1 + 2 * swing * swing)) / 255,
                    0.01);
        // The large box where the camera sees it: where it is lit, mostly
        // its planks' red (83% of the texture; the iron bands turn bluish
        // under the small box's light), and no lit floor showing through.
        // Under a dim sun, rusty iron passes for floor: measured up to 1.6%
        // (the box moved by 30 units shows up to 13%).
        EXPECT_GT(r.measures.bigBoxRed, 0.6);
        EXPECT_LT(r.measures.bigBoxFloorLike, 0.05);
    }
    // Frames follow each other: the camera and the animation move on.
    for (std::size_t i = 1; i < readings.size(); ++i)
        EXPECT_GT(readings[i].fit.state.frame, readings[i - 1].fit.state.frame);

    // Shadows, each pixel against the same floor unshadowed: its texel times
    // the light level of the lit floor (the sun lights the whole floor
    // evenly, as the texture check shows, so this is the floor beside it).
    // Black at alpha 0.8 leaves a fifth of the floor under it, and
    // where two layers of the flattened box get through the depth test, a
    // 25th. Every shadowed pixel shows one of these (10% and one 8-bit step
    // of tolerance), and the single layer darkens by 0.2 within 0.01: the
    // median of thousands of pixels, each off by at most one 8-bit step.
    const Reading& shadowed = readings.back();
    ASSERT_GE(shadowed.measures.shadowPixels, enoughShadow) << shadowed.measures.describe();
    EXPECT_GT(shadowed.measures.shadowSingle + shadowed.measures.shadowLayered, 0.95)
        << shadowed.measures.describe();
    long singles = 0;
    for (const Reading& r : readings) {
        if (r.measures.shadowSinglePixels < 200) continue;
        singles += r.measures.shadowSinglePixels;
        EXPECT_NEAR(r.measures.shadowRatio, 0.2, 0.01) << r.measures.describe();
    }
    EXPECT_GT(singles, 0) << "no grab shows a single layer of shadow";
}

TEST_F(DemoProgram, MissingAssetEndsWithExitOneAndNamesTheFile) {
    for (const std::string missing : {"limestonetile.bmp", "table.pob"}) {
        SCOPED_TRACE("without " + missing);
        DemoRun run("without-" + missing, {missing}, true);
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
    DemoRun run("no-display", {}, false);
    const auto exit = run.waitForExit(startLimit);
    ASSERT_TRUE(exit) << "the program did not end";
    EXPECT_TRUE(exit->exited && exit->code == 1) << exit->describe();
    EXPECT_NE(run.standardError().find("CreateWindow() failed"), std::string::npos)
        << run.standardError();
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
    return RUN_ALL_TESTS();
}
