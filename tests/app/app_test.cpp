#include "gloam/app/app.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include "gloam/platform/standin.h"
#include "gloam/render/renderer.h"
#include "tests/fakegl/fake_gl.h"
#include "tests/fakeplatform/fake_platform.h"

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
        fakeplatform::reset();
        fakegl::reset();
        appInstance = nullptr;
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
    EXPECT_EQ(fakeplatform::pixelFormat(dc), 7);
    EXPECT_EQ(viewportWidth, clientWidth);
    EXPECT_EQ(viewportHeight, clientHeight);
    EXPECT_TRUE(fakegl::callsAre({gl::glViewport(0, 0, clientWidth, clientHeight)}));
}

TEST_F(App, ClassIsRegisteredOnceEvenWhenRegistrationFailed) {
    HWND first = createAppWindow("one", 0, 0, 300, 200);
    HWND second = createAppWindow("two", 10, 10, 300, 200);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(fakeplatform::count(Fn::RegisterClassA), 1u);

    // A failed registration is not tried again: the next window then finds
    // no class.
    fakeplatform::reset();
    appInstance = nullptr;
    fakeplatform::script().failing.set(std::size_t(Fn::RegisterClassA));
    EXPECT_EQ(createAppWindow("one", 0, 0, 300, 200), nullptr);
    fakeplatform::script().failing.reset();
    EXPECT_EQ(createAppWindow("two", 0, 0, 300, 200), nullptr);
    EXPECT_EQ(fakeplatform::count(Fn::RegisterClassA), 1u);
    const auto boxes = fakeplatform::callsTo({Fn::MessageBoxA});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_STREQ(boxes[1].textArg(1), "CreateWindow() failed");
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
        fakeplatform::reset();
        fakegl::reset();
        appInstance = nullptr;
        fakeplatform::script().failing.set(std::size_t(c.failing));
        EXPECT_EQ(runProgram(), 1);
        // The box is the last thing the program does: no context, no
        // renderer set-up, no scene, no teardown.
        const auto& calls = fakeplatform::calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), win::MessageBoxA(nullptr, c.text, "Error", MB_OK));
        EXPECT_EQ(fakeplatform::count(Fn::MessageBoxA), 1u);
        EXPECT_EQ(fakegl::count(fakegl::Fn::glClearColor), 0u);
    }
}

TEST_F(App, EverySizeNotificationSetsTheViewportAndPostsOnePaint) {
    HWND window = openWindow();
    const struct {
        WPARAM kind;
        int width, height;
    } sizes[] = {
        {SIZE_RESTORED, 800, 600}, {SIZE_MINIMIZED, 0, 0}, {SIZE_RESTORED, 0xFFFF, 0xFFFF}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
        fakegl::reset();
        mark = fakeplatform::calls().size();
        EXPECT_EQ(windowProc(window, WM_SIZE, s.kind, MAKELPARAM(s.width, s.height)), 0);
        EXPECT_TRUE(fakegl::callsAre({gl::glViewport(0, 0, s.width, s.height)}));
        EXPECT_EQ(fakeplatform::differences(callsSinceMark(),
                                            {win::PostMessageA(window, WM_PAINT, 0, 0)}),
                  "");
    }
}

TEST_F(App, PaintOnlyValidatesTheWindow) {
    HWND window = openWindow();
    ShowWindow(window, SW_SHOW);  // leaves the window in need of a paint
    ASSERT_TRUE(standin::findWindow(window)->needsPaint);
    mark = fakeplatform::calls().size();
    EXPECT_EQ(windowProc(window, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(fakeplatform::differences(callsSinceMark(), {win::BeginPaint(window, nullptr),
                                                           win::EndPaint(window, nullptr)}),
              "");
    EXPECT_TRUE(fakegl::calls().empty());
    EXPECT_FALSE(standin::findWindow(window)->needsPaint);
}

TEST_F(App, CloseOnlyPostsTheQuitMessageAndOthersGoToTheDefaultProcedure) {
    HWND window = openWindow();
    EXPECT_EQ(windowProc(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(fakeplatform::differences(callsSinceMark(), {win::PostQuitMessage(0)}), "");
    EXPECT_TRUE(standin::quitRequested());
    EXPECT_NE(standin::findWindow(window), nullptr);

    for (UINT message : {UINT(WM_DESTROY), UINT(WM_KEYDOWN), UINT(WM_USER + 1)}) {
        mark = fakeplatform::calls().size();
        windowProc(window, message, 2, 3);
        EXPECT_EQ(fakeplatform::differences(callsSinceMark(),
                                            {win::DefWindowProcA(window, message, 2, 3)}),
                  "");
    }
    // The default procedure's answer is the procedure's.
    EXPECT_EQ(windowProc(window, WM_NCCREATE, 0, 0), TRUE);
    EXPECT_TRUE(fakegl::calls().empty());
}

TEST_F(App, ClosedWindowEndsTheLoopBetweenFramesThenTearsDownInOrderWithExitCodeZero) {
    fakeplatform::script().closeAfterSwaps = 3;
    EXPECT_EQ(runProgram(), 0);

    HWND window = theRenderer.window;
    HDC dc = theRenderer.deviceContext;
    ASSERT_NE(window, nullptr);
    ASSERT_NE(dc, nullptr);
    const auto made = fakeplatform::callsTo({Fn::wglMakeCurrent});
    ASSERT_FALSE(made.empty());
    HGLRC context = reinterpret_cast<HGLRC>(made[0].arg(1));
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
    EXPECT_EQ(fakeplatform::currentContext(), nullptr);
    EXPECT_EQ(standin::findWindow(window), nullptr);
}

TEST_F(App, SceneThatCannotLoadItsAssetsStillTearsDownAndExitsWithOne) {
    const auto empty =
        std::filesystem::temp_directory_path() / ("app_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    std::filesystem::current_path(empty);
    EXPECT_EQ(runProgram(), 1);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(empty);

    // The scene has said which asset failed.
    EXPECT_EQ(fakeplatform::count(Fn::MessageBoxA), 1u);
    EXPECT_EQ(fakeplatform::count(Fn::SwapBuffers), 0u);
    EXPECT_EQ(fakegl::count(fakegl::Fn::glClear), 0u);
    HWND window = theRenderer.window;
    HDC dc = theRenderer.deviceContext;
    const auto teardown = fakeplatform::callsTo(
        {Fn::wglMakeCurrent, Fn::ReleaseDC, Fn::wglDeleteContext, Fn::DestroyWindow});
    ASSERT_EQ(teardown.size(), 6u);  // a release and a make-current at start-up
    EXPECT_EQ(fakeplatform::differences(
                  {teardown.begin() + 2, teardown.end()},
                  {win::wglMakeCurrent(nullptr, nullptr), win::ReleaseDC(window, dc),
                   win::wglDeleteContext(reinterpret_cast<HGLRC>(teardown[1].arg(1))),
                   win::DestroyWindow(window)}),
              "");
    EXPECT_EQ(standin::findWindow(window), nullptr);
}

}  // namespace
