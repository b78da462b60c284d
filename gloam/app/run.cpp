#include "gloam/app/run.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "gloam/app/app.h"
#include "gloam/app/input.h"
#include "gloam/app/screenshot.h"
#include "gloam/platform/gl.h"
#include "gloam/platform/input_messages.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/bitmap.h"

namespace gloam {

namespace {

constexpr LPARAM repeatBit = LPARAM(1) << 30;

// Whether failures go to standard error alone (see reportError).
bool scriptedRun = false;

// What the window procedure reaches while runApp runs a scene.
struct ActiveRun {
    Scene* scene = nullptr;
    bool screenshotAsked = false;  // F12, served before the next frame is presented
};
ActiveRun activeRun;

class RunningScene {
public:
    explicit RunningScene(Scene& scene) { activeRun = {&scene, false}; }
    ~RunningScene() { activeRun = {}; }
    RunningScene(const RunningScene&) = delete;
    RunningScene& operator=(const RunningScene&) = delete;
};

// The window with its OpenGL context current and theRenderer set up on it.
// Teardown releases the context before the device context it was made on,
// and that before the window.
class AppWindow {
public:
    AppWindow(const AppSettings& settings, const RunOptions& options)
        : window(createAppWindow(settings.title, 0, 0, settings.width, settings.height,
                                 settings.stencilBits)) {
        if (window == nullptr) return;
        // The class's CS_OWNDC makes this the window's own device context,
        // the one its pixel format was set on, valid for the whole run.
        deviceContext = GetDC(window);
        // Neither result is looked at: without a context the OpenGL calls
        // do nothing, and the window stays black.
        renderingContext = wglCreateContext(deviceContext);
        wglMakeCurrent(deviceContext, renderingContext);
        theRenderer.init(settings.width, settings.height);
        if (settings.stencilBits > 0) readStencilBits();
        ShowWindow(window, settings.showCommand);
        UpdateWindow(window);
        // The client size has reached the procedure, which set the viewport
        // from it: the stand-ins report it at creation, Windows only when a
        // top-level window is first shown.
        if (!clientAreaFits(options)) return;
        theRenderer.setDeviceContext(deviceContext);
        theRenderer.setWindow(window);
        shown = true;
    }
    ~AppWindow() {
        if (window == nullptr) return;
        wglMakeCurrent(nullptr, nullptr);
        ReleaseDC(window, deviceContext);
        wglDeleteContext(renderingContext);
        DestroyWindow(window);
    }
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    // The window, shown and ready for frames; null when it could not be.
    HWND handle() const { return shown ? window : nullptr; }

private:
    // Reading back a window larger than OpenGL draws can crash inside the
    // driver, and a screenshot no bitmap holds would fail only after every
    // frame was drawn: a run asked for a screenshot is told now. A run
    // without one asks OpenGL nothing here, so the demo's stream stays its
    // own.
    bool clientAreaFits(const RunOptions& options) const {
        if (options.screenshot.empty()) return true;
        const std::string size =
            std::to_string(viewportWidth) + " x " + std::to_string(viewportHeight);
        // 0 x 0 until a context answers, and then nothing is drawn anyway.
        GLint most[2] = {0, 0};
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, most);
        if (most[0] > 0 && most[1] > 0 && (viewportWidth > most[0] || viewportHeight > most[1])) {
            reportError(("The window's client area, " + size +
                         ", is larger than OpenGL draws here (at most " + std::to_string(most[0]) +
                         " x " + std::to_string(most[1]) + ").")
                            .c_str());
            return false;
        }
        if (viewportWidth < 1 || viewportHeight < 1 || viewportWidth > maxBitmapDimension ||
            viewportHeight > maxBitmapDimension) {
            reportError(("A screenshot of the window's client area, " + size +
                         ", cannot be saved: a bitmap has 1 to " +
                         std::to_string(maxBitmapDimension) + " pixels a side.")
                            .c_str());
            return false;
        }
        return true;
    }

    void readStencilBits() const {
        GLint bits = 0;
        glGetIntegerv(GL_STENCIL_BITS, &bits);
        theRenderer.stencilBits = bits;
        if (bits > 0) return;
        std::fprintf(stderr,
                     "gloam: no pixel format here has a stencil buffer; shadows darken again "
                     "where they overlap\n");
        std::fflush(stderr);
    }

    HWND window;
    HDC deviceContext = nullptr;
    HGLRC renderingContext = nullptr;
    bool shown = false;
};

void saveAskedScreenshot() {
    const std::string name = nextScreenshotName();
    FileError error;
    if (saveScreenshot(name.c_str(), error)) {
        std::printf("saved %s\n", name.c_str());
        std::fflush(stdout);
    } else {
        // The run goes on: a picture is not worth ending it for.
        std::fprintf(stderr, "cannot save a screenshot: %s\n", error.message().c_str());
    }
}

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The frame loop, on a window that is ready. Each frame is drawn, read back
// when a screenshot needs it, presented, and then the window's messages are
// handled; a close request seen there ends the loop before the next frame.
int runFrames(Scene& scene, const RunOptions& options, HWND window) {
    RunningScene running(scene);
    if (!scene.setUp()) return exitFailure;

    FramePixels last;
    std::string lastProblem;
    const bool keepLast = !options.screenshot.empty();
    std::chrono::steady_clock::time_point start, previous;
    std::int64_t number = 0;
    while (theRenderer.isRunning()) {
        const auto now = std::chrono::steady_clock::now();
        if (number == 0) start = previous = now;
        scene.frame({++number, secondsBetween(start, now), secondsBetween(previous, now)});
        previous = now;
        // The back buffer's contents are undefined once presented. Without
        // --frames any frame may turn out to be the last.
        if (keepLast && (options.frames == 0 || number == options.frames)) {
            lastProblem.clear();
            readFramePixels(last, lastProblem);
        }
        if (activeRun.screenshotAsked) {
            activeRun.screenshotAsked = false;
            saveAskedScreenshot();
        }
        theRenderer.swapBuffers();
        // The same way out as the close button's, so a scripted run ends
        // exactly as an interactive one.
        if (number == options.frames) PostMessageA(window, WM_CLOSE, 0, 0);
        theRenderer.pumpMessages();
    }

    if (!keepLast) return exitSuccess;
    if (options.frames != 0 && number < options.frames) {
        std::fprintf(stderr,
                     "no screenshot saved: the window was closed after frame %lld of %lld\n",
                     static_cast<long long>(number), static_cast<long long>(options.frames));
        return exitFailure;
    }
    FileError error{options.screenshot, 0, 0, lastProblem};
    if (!lastProblem.empty() ||
        !writeBitmap(options.screenshot.c_str(), last.rgb.data(), last.width, last.height, error)) {
        std::fprintf(stderr, "cannot save the screenshot: %s\n", error.message().c_str());
        return exitFailure;
    }
    return exitSuccess;
}

}  // namespace

bool Scene::message(HWND, UINT, WPARAM, LPARAM) { return false; }

void reportError(const char* text) {
    if (!scriptedRun) {
        MessageBoxA(nullptr, text, "Error", MB_OK);
        return;
    }
    std::fprintf(stderr, "Error: %s\n", text);
    std::fflush(stderr);
}

void setScriptedRun(bool scripted) { scriptedRun = scripted; }

int runApp(Scene& scene, const AppSettings& settings, const RunOptions& options) {
    setScriptedRun(options.frames != 0);
    // A run begins afresh even after an earlier run in the same process
    // has seen its window closed.
    theRenderer.quitRequested = false;
    AppWindow window(settings, options);
    if (window.handle() == nullptr) return exitFailure;
    return runFrames(scene, options, window.handle());
}

int runApp(Scene& scene, const AppSettings& settings, int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    std::string_view program = argc > 0 && argv[0] != nullptr ? argv[0] : settings.title;
    program.remove_prefix(program.find_last_of("/\\") + 1);
    if (const auto code = answerCommandLine(line, program)) return *code;
    return runApp(scene, settings, line.options);
}

namespace detail {

bool isInputMessage(UINT message) { return findInputMessage(message) != nullptr; }

bool offerInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (activeRun.scene == nullptr) return false;
    if (activeRun.scene->message(window, message, wParam, lParam)) return true;
    if (message == WM_KEYDOWN && wParam == VK_F12) {
        // A held key repeats; one press is one picture.
        if ((lParam & repeatBit) == 0) activeRun.screenshotAsked = true;
        return true;
    }
    return false;
}

}  // namespace detail

}  // namespace gloam
