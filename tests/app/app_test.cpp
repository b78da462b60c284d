#include "gloam/app/app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "demo/scene.h"
#include "gloam/app/run.h"
#include "gloam/platform/standin.h"
#include "gloam/render/renderer.h"
#include "tests/support/fake_gl.h"
#include "tests/support/fake_platform.h"
#include "tests/support/scratch.h"

using namespace gloam;

namespace {

namespace gl = fakegl::call;
namespace win = fakeplatform::call;
using fakeplatform::Call;
using fakeplatform::Fn;

// The client area the fake gives a 1024 × 768 window with a caption.
constexpr int clientWidth = 1024 - 16;
constexpr int clientHeight = 768 - 39;

char noArguments[] = "";

PIXELFORMATDESCRIPTOR doubleBufferedRgba() {
    PIXELFORMATDESCRIPTOR d{};
    d.nSize = 40;
    d.nVersion = 1;
    d.dwFlags = 0x25;  // draw to window, OpenGL, double buffer
    d.cColorBits = 24;
    d.cDepthBits = 32;
    return d;
}

// A fresh process for each test, in the folder the program is started from.
// The program's globals are not the fakes' and survive their resets, so
// they are put back to their start-up values here.
class App : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(GLOAM_ASSET_DIR);
        freshProcess();
        paintRecord = PAINTSTRUCT{};
        viewportWidth = 0;
        viewportHeight = 0;
        theRenderer.quitRequested = false;
        theRenderer.queueCount = 0;
        theRenderer.orbitAngle = 0.0f;
        theRenderer.setDeviceContext(nullptr);
        theRenderer.setWindow(nullptr);
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    int runProgram() { return WinMain(nullptr, nullptr, noArguments, SW_SHOWNORMAL); }
    void freshProcess() {
        fakeplatform::reset();
        fakegl::reset();
        appInstance = nullptr;
    }

    // The program's window, with the paint it posted while being created
    // already handled; the logs start after it.
    HWND openWindow() {
        HWND window = createAppWindow("Simple OpenGL App", 0, 0, 1024, 768);
        theRenderer.setWindow(window);
        theRenderer.pumpMessages();
        fakegl::reset();
        mark = fakeplatform::calls().size();
        return window;
    }
    std::vector<Call> callsSinceMark() const {
        return {fakeplatform::calls().begin() + std::ptrdiff_t(mark), fakeplatform::calls().end()};
    }

    std::filesystem::path previous;
    std::size_t mark = 0;
};

TEST_F(App, WindowGetsTheClassTheStyleAndADoubleBufferedOpenGlFormat) {
    HWND window = createAppWindow("Simple OpenGL App", 0, 0, 1024, 768);
    ASSERT_NE(window, nullptr);
    const std::vector<Call> made = fakeplatform::callsTo(
        {Fn::GetModuleHandleA, Fn::LoadIconA, Fn::LoadCursorA, Fn::RegisterClassA,
         Fn::CreateWindowExA, Fn::PostMessageA, Fn::GetDC, Fn::ChoosePixelFormat,
         Fn::SetPixelFormat, Fn::ReleaseDC, Fn::MessageBoxA, Fn::ShowWindow});

    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "OpenGL";
    HDC dc = GetDC(window);
    const PIXELFORMATDESCRIPTOR format = doubleBufferedRgba();
    // The size notification of creation comes through the procedure, so the
    // viewport is the client area before anything is drawn.
    EXPECT_EQ(
        fakeplatform::differences(
            made, {win::GetModuleHandleA(nullptr), win::LoadIconA(nullptr, IDI_WINLOGO),
                   win::LoadCursorA(nullptr, IDC_ARROW), win::RegisterClassA(&windowClass),
                   win::CreateWindowExA(0, "OpenGL", "Simple OpenGL App",
                                        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0,
                                        0, 1024, 768, nullptr, nullptr, module, nullptr),
                   win::PostMessageA(window, WM_PAINT, 0, 0), win::GetDC(window),
                   win::ChoosePixelFormat(dc, &format), win::SetPixelFormat(dc, 7, &format),
                   win::ReleaseDC(window, dc)}),
        "");
    EXPECT_TRUE(fakegl::callsAre({gl::glViewport(0, 0, clientWidth, clientHeight)}));
}

TEST_F(App, ClassIsNotRegisteredAgainAfterRegistrationFailed) {
    // A failed registration is not tried again: the next window then finds
    // no class.
    fakeplatform::script().failing.set(std::size_t(Fn::RegisterClassA));
    EXPECT_EQ(createAppWindow("one", 0, 0, 300, 200), nullptr);
    fakeplatform::script().failing.reset();
    EXPECT_EQ(createAppWindow("two", 0, 0, 300, 200), nullptr);
    EXPECT_EQ(fakeplatform::count(Fn::RegisterClassA), 1u);
}

TEST_F(App, EachStartUpFailureIsShownThenTheProgramEndsWithExitCodeOne) {
    const struct {
        Fn failing;
        const char* text;
    } cases[] = {{Fn::RegisterClassA, "RegisterClass() failed"},
                 {Fn::CreateWindowExA, "CreateWindow() failed"},
                 {Fn::ChoosePixelFormat, "ChoosePixelFormat() failed"},
                 {Fn::SetPixelFormat, "SetPixelFormat() failed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        freshProcess();
        fakeplatform::script().failing.set(std::size_t(c.failing));
        EXPECT_EQ(runProgram(), 1);
        // The box is the last thing the program does: no context, no
        // renderer set-up, no scene, no teardown.
        ASSERT_FALSE(fakeplatform::calls().empty());
        EXPECT_EQ(fakeplatform::calls().back(), win::MessageBoxA(nullptr, c.text, "Error", MB_OK));
    }
}

TEST_F(App, SizeNotificationSetsTheViewportAndPostsOnePaint) {
    HWND window = openWindow();
    EXPECT_EQ(windowProc(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFFF, 600)), 0);
    EXPECT_TRUE(fakegl::callsAre({gl::glViewport(0, 0, 0xFFFF, 600)}));
    EXPECT_EQ(
        fakeplatform::differences(callsSinceMark(), {win::PostMessageA(window, WM_PAINT, 0, 0)}),
        "");
}

TEST_F(App, CloseOnlyPostsTheQuitMessage) {
    HWND window = openWindow();
    EXPECT_EQ(windowProc(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(fakeplatform::differences(callsSinceMark(), {win::PostQuitMessage(0)}), "");
    EXPECT_NE(standin::findWindow(window), nullptr);
}

TEST_F(App, ClosedWindowEndsTheLoopBetweenFramesThenTearsDownInOrderWithExitCodeZero) {
    fakeplatform::script().closeAfterSwaps = 3;
    EXPECT_EQ(runProgram(), 0);

    HWND window = theRenderer.window;
    HDC dc = theRenderer.deviceContext;
    ASSERT_NE(window, nullptr);
    ASSERT_NE(dc, nullptr);
    HGLRC context = fakeplatform::lastContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(fakeplatform::differences(
                  fakeplatform::callsTo({Fn::GetDC, Fn::ReleaseDC, Fn::wglCreateContext,
                                         Fn::wglMakeCurrent, Fn::wglDeleteContext, Fn::ShowWindow,
                                         Fn::UpdateWindow, Fn::SwapBuffers, Fn::PostQuitMessage,
                                         Fn::DestroyWindow, Fn::MessageBoxA}),
                  {win::GetDC(window), win::ReleaseDC(window, dc), win::GetDC(window),
                   win::wglCreateContext(dc), win::wglMakeCurrent(dc, context),
                   win::ShowWindow(window, SW_SHOWNORMAL), win::UpdateWindow(window),
                   win::SwapBuffers(dc), win::SwapBuffers(dc), win::SwapBuffers(dc),
                   win::PostQuitMessage(0), win::wglMakeCurrent(nullptr, nullptr),
                   win::ReleaseDC(window, dc), win::wglDeleteContext(context),
                   win::DestroyWindow(window)}),
              "");
    // No frame is begun after the one that presented before the close.
    EXPECT_EQ(fakegl::count(fakegl::Fn::glClear), 3u);
    EXPECT_EQ(standin::findWindow(window), nullptr);
}

// Records what runApp hands it, and in given frames posts messages to its
// own window as the window system would. Handles key presses except F12.
class ProbeScene : public Scene {
public:
    void frame(const FrameInfo& time) override {
        frames.push_back(time);
        theRenderer.beginFrame();
        for (const auto& [number, m] : toPost)
            if (number == time.number)
                PostMessageA(theRenderer.window, m.message, m.wParam, m.lParam);
    }
    bool message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        received.emplace_back(window, message, wParam, lParam);
        return message == WM_KEYDOWN && wParam != VK_F12;
    }
    std::vector<FrameInfo> frames;
    std::vector<std::pair<std::int64_t, MSG>> toPost;
    std::vector<std::tuple<HWND, UINT, WPARAM, LPARAM>> received;
};

const AppSettings probeWindow{"Probe", 1024, 768, SW_SHOWNORMAL};

TEST_F(App, FramesOptionEndsTheRunAfterThatFrameTheWayTheCloseButtonDoes) {
    ProbeScene scene;
    scene.toPost = {{1, {nullptr, WM_KEYDOWN, 'A', 0x001E0001, 0, {}}},
                    {1, {nullptr, WM_USER, 1, 2, 0, {}}}};
    EXPECT_EQ(runApp(scene, probeWindow, {3, "", {}}), exitSuccess);
    // Input reaches the scene as the window got it; other messages do not.
    EXPECT_EQ(scene.received, (std::vector{std::tuple<HWND, UINT, WPARAM, LPARAM>{
                                  theRenderer.window, WM_KEYDOWN, 'A', 0x001E0001}}));
    ASSERT_EQ(scene.frames.size(), 3u);
    HWND window = theRenderer.window;
    HDC dc = theRenderer.deviceContext;
    auto ending = fakeplatform::callsTo(
        {Fn::SwapBuffers, Fn::PostMessageA, Fn::PostQuitMessage, Fn::DestroyWindow});
    while (!ending.empty() && ending.front().fn != Fn::SwapBuffers) ending.erase(ending.begin());
    EXPECT_EQ(fakeplatform::differences(
                  ending, {win::SwapBuffers(dc), win::SwapBuffers(dc), win::SwapBuffers(dc),
                           win::PostMessageA(window, WM_CLOSE, 0, 0), win::PostQuitMessage(0),
                           win::DestroyWindow(window)}),
              "");
}

TEST_F(App, ScreenshotsAreTheClientAreaReadBackAndF12TakesTheNextFreeName) {
    const Scratch scratch("run_test");
    std::filesystem::current_path(scratch.dir);
    std::ofstream("screenshot-0001.bmp") << "taken";

    // One picture per press: the repeat of a held key takes none.
    ProbeScene scene;
    scene.toPost = {{1, {nullptr, WM_KEYDOWN, VK_F12, 0x00580001, 0, {}}},
                    {2, {nullptr, WM_KEYDOWN, VK_F12, 0x40580001, 0, {}}},
                    {3, {nullptr, WM_KEYDOWN, VK_F12, 0x00580001, 0, {}}}};
    EXPECT_EQ(runApp(scene, probeWindow, {4, "last.bmp", {}}), exitSuccess);
    EXPECT_TRUE(std::filesystem::exists("screenshot-0003.bmp"));
    EXPECT_FALSE(std::filesystem::exists("screenshot-0004.bmp"));
    EXPECT_TRUE(std::filesystem::exists("last.bmp"));
    // Two presses and the last frame of the --frames run, each read packed.
    EXPECT_EQ(fakegl::count(fakegl::Fn::glReadPixels), 3u);
    const auto& calls = fakegl::calls();
    const auto read = std::find_if(calls.rbegin(), calls.rend(), [](const fakegl::Call& c) {
        return c.fn == fakegl::Fn::glReadPixels;
    });
    ASSERT_NE(read + 1, calls.rend());
    EXPECT_EQ(read[0], gl::glReadPixels(0, 0, clientWidth, clientHeight, GL_RGB, GL_UNSIGNED_BYTE,
                                        const_cast<void*>(read->pointerArg(6))));
    EXPECT_EQ(read[1], gl::glPixelStorei(GL_PACK_ALIGNMENT, 1));
    std::filesystem::current_path(previous);
}

TEST_F(App, DemoAnswersItsCommandLineWithoutAWindow) {
    char help[] = "--help", stray[] = "--frames 2 stray";
    EXPECT_EQ(WinMain(nullptr, nullptr, help, SW_SHOWNORMAL), 0);
    EXPECT_EQ(WinMain(nullptr, nullptr, stray, SW_SHOWNORMAL), 2);
    EXPECT_EQ(fakeplatform::count(Fn::CreateWindowExA), 0u);
}

TEST_F(App, DemoClosesOnEscapeAsOnTheCloseButtonAndReadsNoOtherKey) {
    HWND window = openWindow();
    DemoScene scene;
    EXPECT_FALSE(scene.message(window, WM_KEYUP, VK_ESCAPE, 1));
    EXPECT_TRUE(scene.message(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001));
    EXPECT_EQ(
        fakeplatform::differences(
            callsSinceMark(), {win::SendMessageA(window, WM_CLOSE, 0, 0), win::PostQuitMessage(0)}),
        "");
}

}  // namespace
