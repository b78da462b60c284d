#include "tests/fakeplatform/fake_platform.h"

#include <gtest/gtest.h>

#include <vector>

namespace win = fakeplatform::call;
using fakeplatform::Fn;

namespace {

std::vector<MSG> received;
PAINTSTRUCT paint;

// What an application's procedure typically does.
LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({window, message, wParam, lParam, 0, {0, 0}});
    switch (message) {
        case WM_PAINT:
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

std::vector<UINT> messagesReceived() {
    std::vector<UINT> messages;
    for (const MSG& m : received) messages.push_back(m.message);
    return messages;
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
    }

    HWND setUpWindow() {
        WNDCLASSA c{CS_OWNDC,
                    procedure,
                    0,
                    0,
                    GetModuleHandleA(nullptr),
                    LoadIconA(nullptr, IDI_WINLOGO),
                    LoadCursorA(nullptr, IDC_ARROW),
                    nullptr,
                    nullptr,
                    "OpenGL"};
        EXPECT_NE(RegisterClassA(&c), 0);
        return CreateWindowExA(0, "OpenGL", "Title", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                               1024, 768, nullptr, nullptr, c.hInstance, nullptr);
    }
};

TEST_F(FakePlatform, RecordsTheSetUpAndRunsTheProcedureInsideCreation) {
    HWND window = setUpWindow();
    ASSERT_NE(window, nullptr);
    HDC dc = GetDC(window);
    int chosen = ChoosePixelFormat(dc, &format);
    EXPECT_TRUE(SetPixelFormat(dc, chosen, &format));
    HGLRC context = wglCreateContext(dc);
    EXPECT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_EQ(fakeplatform::currentContext(), context);
    EXPECT_EQ(fakeplatform::pixelFormat(dc), 7);

    // Everything but the default procedure's calls from inside creation.
    std::vector<fakeplatform::Call> stream = fakeplatform::callsTo(
        {Fn::GetModuleHandleA, Fn::LoadIconA, Fn::LoadCursorA, Fn::RegisterClassA,
         Fn::CreateWindowExA, Fn::GetDC, Fn::ChoosePixelFormat, Fn::SetPixelFormat,
         Fn::wglCreateContext, Fn::wglMakeCurrent});
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA expectedClass{CS_OWNDC,
                            procedure,
                            0,
                            0,
                            instance,
                            LoadIconA(nullptr, IDI_WINLOGO),
                            LoadCursorA(nullptr, IDC_ARROW),
                            nullptr,
                            nullptr,
                            "OpenGL"};
    EXPECT_EQ(fakeplatform::differences(
                  stream,
                  {win::GetModuleHandleA(nullptr), win::LoadIconA(nullptr, IDI_WINLOGO),
                   win::LoadCursorA(nullptr, IDC_ARROW), win::RegisterClassA(&expectedClass),
                   win::CreateWindowExA(0, "OpenGL", "Title", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                        0, 0, 1024, 768, nullptr, nullptr, instance, nullptr),
                   win::GetDC(window), win::ChoosePixelFormat(dc, &format),
                   win::SetPixelFormat(dc, 7, &format), win::wglCreateContext(dc),
                   win::wglMakeCurrent(dc, context)}),
              "");
    // Creation's messages reach the procedure, and from there the default
    // procedure, before CreateWindowExA returns.
    EXPECT_EQ(messagesReceived(), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                                     WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(received[4].lParam, MAKELPARAM(1024 - 16, 768 - 39));
    EXPECT_EQ(fakeplatform::count(Fn::DefWindowProcA), received.size());
}

TEST_F(FakePlatform, FailsWhereScriptedAndWhereWindowsWould) {
    fakeplatform::script().failing.set(std::size_t(Fn::CreateWindowExA));
    EXPECT_EQ(setUpWindow(), nullptr);
    EXPECT_EQ(fakeplatform::count(Fn::CreateWindowExA), 1u) << "failed calls are recorded too";
    EXPECT_TRUE(received.empty());

    fakeplatform::reset();
    fakeplatform::script().failing.set(std::size_t(Fn::SetPixelFormat));
    HDC dc = GetDC(setUpWindow());
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
    EXPECT_EQ(MessageBoxA(nullptr, "SetPixelFormat() failed", "Error", MB_OK), IDOK);
    EXPECT_EQ(fakeplatform::calls().back(),
              win::MessageBoxA(nullptr, "SetPixelFormat() failed", "Error", MB_OK));
    EXPECT_NE(fakeplatform::calls().back(),
              win::MessageBoxA(nullptr, "SetPixelFormat() failed", "Errors", MB_OK));
}

TEST_F(FakePlatform, ShowingPaintsAndAPumpedCloseEndsTheLoop) {
    HWND window = setUpWindow();
    received.clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(messagesReceived(), (std::vector<UINT>{WM_SHOWWINDOW, WM_PAINT}));

    // A loop of the kind the renderer runs, filtered on the window.
    PostMessageA(window, WM_CLOSE, 0, 0);
    std::size_t before = fakeplatform::calls().size();
    MSG msg;
    int dispatched = 0;
    while (PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&msg, window, 0, 0)) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++dispatched;
    }
    EXPECT_EQ(dispatched, 1) << "the paint was validated by BeginPaint, the quit ended the loop";
    MSG close{window, WM_CLOSE, 0, 0, 0, {0, 0}};
    std::vector<fakeplatform::Call> pumped(fakeplatform::calls().begin() + long(before),
                                           fakeplatform::calls().end());
    EXPECT_EQ(fakeplatform::differences(
                  pumped, {win::PeekMessageA(nullptr, window, 0, 0, PM_NOREMOVE),
                           win::GetMessageA(nullptr, window, 0, 0), win::TranslateMessage(&close),
                           win::DispatchMessageA(&close), win::PostQuitMessage(0),
                           win::PeekMessageA(nullptr, window, 0, 0, PM_NOREMOVE),
                           win::GetMessageA(nullptr, window, 0, 0)}),
              "");

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(received.back().message, UINT(WM_NCDESTROY));
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
