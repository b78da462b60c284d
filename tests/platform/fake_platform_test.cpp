// The fake's own behaviour where the engine's tests do not reach it: its
// failure script, the Windows rules it enforces, and what it prints when a
// stream differs. Its recording of a whole start-up is checked by the
// program's tests.
#include "tests/fakeplatform/fake_platform.h"

#include <gtest/gtest.h>

#include <vector>

namespace win = fakeplatform::call;
using fakeplatform::Fn;

namespace {

std::vector<UINT> received;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back(message);
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

PIXELFORMATDESCRIPTOR openGlFormat() {
    PIXELFORMATDESCRIPTOR d{};
    d.nSize = sizeof d;
    d.nVersion = 1;
    d.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    d.cColorBits = 24;
    d.cDepthBits = 32;
    return d;
}
const PIXELFORMATDESCRIPTOR format = openGlFormat();

class FakePlatform : public ::testing::Test {
protected:
    void SetUp() override {
        fakeplatform::reset();
        received.clear();
        WNDCLASSA c{};
        c.lpfnWndProc = procedure;
        c.lpszClassName = "OpenGL";
        ASSERT_NE(RegisterClassA(&c), 0);
    }
    static HWND makeWindow() {
        return CreateWindowExA(0, "OpenGL", "Title", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                               nullptr, nullptr, nullptr);
    }
};

TEST_F(FakePlatform, FailsWhereScriptedAndWhereWindowsWould) {
    fakeplatform::script().failing.set(std::size_t(Fn::CreateWindowExA));
    EXPECT_EQ(makeWindow(), nullptr);
    EXPECT_EQ(fakeplatform::count(Fn::CreateWindowExA), 1u) << "failed calls are recorded too";
    EXPECT_TRUE(received.empty());

    fakeplatform::script().failing.reset();
    fakeplatform::script().failing.set(std::size_t(Fn::SetPixelFormat));
    HDC dc = GetDC(makeWindow());
    EXPECT_FALSE(SetPixelFormat(dc, 1, &format));
    EXPECT_EQ(wglCreateContext(dc), nullptr) << "no context without a pixel format";
    fakeplatform::script().failing.reset();
    EXPECT_TRUE(SetPixelFormat(dc, 1, &format));
    EXPECT_FALSE(SetPixelFormat(dc, 2, &format)) << "a window's format is set once";
    EXPECT_EQ(fakeplatform::pixelFormat(dc), 1);

    // The stand-in's own calls fail through the script as well.
    fakeplatform::script().failing.set(std::size_t(Fn::RegisterClassA));
    WNDCLASSA c{};
    c.lpszClassName = "other";
    EXPECT_EQ(RegisterClassA(&c), 0);
}

TEST_F(FakePlatform, ShowingAndUpdatingPaintAndAWindowIsDestroyedOnce) {
    HWND window = makeWindow();
    received.clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(received, (std::vector<UINT>{WM_SHOWWINDOW, WM_PAINT, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(FakePlatform, PrintsCallsAndDifferencesReadably) {
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(fakeplatform::format(win::PostMessageA(window, WM_PAINT, 0, 0)),
              "PostMessageA(0x1, WM_PAINT, 0, 0x0)");
    EXPECT_EQ(fakeplatform::format(win::ChoosePixelFormat(nullptr, &format)),
              "ChoosePixelFormat(NULL, {nSize=40, nVersion=1, dwFlags=0x25, iPixelType=0, "
              "cColorBits=24, cDepthBits=32})");
    EXPECT_EQ(fakeplatform::format(win::LoadIconA(nullptr, IDI_WINLOGO)),
              "LoadIconA(NULL, #32517)");
    EXPECT_NE(win::MessageBoxA(nullptr, "failed", "Error", MB_OK),
              win::MessageBoxA(nullptr, "failed", "Errors", MB_OK));
    EXPECT_EQ(
        fakeplatform::differences({win::ShowWindow(window, SW_SHOW), win::UpdateWindow(window)},
                                  {win::ShowWindow(window, SW_SHOW)}),
        "2 calls, expected 1; first difference at 1\n"
        "actual:\n"
        "  0 ShowWindow(0x1, 5)\n"
        "> 1 UpdateWindow(0x1)\n"
        "expected:\n"
        "  0 ShowWindow(0x1, 5)\n");
}

}  // namespace
