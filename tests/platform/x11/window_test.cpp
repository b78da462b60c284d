// The X11 side of the stand-in against a private Xvfb and Mesa's GLX: the
// messages a window procedure sees, and its contexts. That they draw is the
// end-to-end tests' part.

// Before the X headers, whose macros (None, Bool) break it.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "gloam/app/app.h"
#include "gloam/platform/standin.h"
#include "gloam/platform/win32.h"
#include "gloam/platform/x11/x11_standin.h"
#include "gloam/render/renderer.h"
#include "tests/support/harness.h"

using namespace gloam;

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;

std::vector<UINT> messagesSeen() {
    std::vector<UINT> messages;
    for (const Seen& s : seen) messages.push_back(s.message);
    return messages;
}

// The program's own window, class, style and pixel format, with every
// message its procedure gets written down on the way in.
LRESULT CALLBACK recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, wParam, lParam});
    return windowProc(window, message, wParam, lParam);
}

HWND createProgramWindow() {
    seen.clear();
    HWND window = createAppWindow("Simple OpenGL App", 0, 0, 1024, 768);
    if (window != nullptr) standin::findWindow(window)->procedure = recorder;
    return window;
}

// Mesa unloads its driver when the last connection that used it closes, and
// what the driver still holds in its own globals then looks leaked to
// LeakSanitizer. A program keeps its connection until it ends, and so the
// driver; tests close theirs after each case, so they pin the driver.
void keepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "_dri.so") != nullptr)
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

class X11Test : public ::testing::Test {
protected:
    virtual std::vector<std::string> serverArguments() { return {}; }

    void SetUp() override {
        appInstance = nullptr;  // every test's server starts without the class
        server.emplace(std::filesystem::path{}, serverArguments());
        setenv("DISPLAY", server->display().c_str(), 1);
        client.emplace(server->display());
        observer = client->display();
    }

    void TearDown() override {
        keepGlDriverLoaded();
        x11standin::closeDisplay();
        client.reset();
        server.reset();
    }

    // What the program does before its first frame: window with its pixel
    // format, context, then shown and updated; and the first events handled.
    HWND createShownWithContext() {
        HWND window = createProgramWindow();
        if (window == nullptr) return nullptr;
        HDC dc = GetDC(window);
        context = wglCreateContext(dc);
        if (!wglMakeCurrent(dc, context)) return nullptr;
        ShowWindow(window, SW_SHOWDEFAULT);
        UpdateWindow(window);
        pump(window);
        seen.clear();
        return window;
    }

    // Handles every message that the server's events so far have caused, as
    // the renderer's pump does. The two round trips make that exact: the
    // server sends us the events of the observer's requests before it
    // answers our own request.
    void pump(HWND window) {
        XSync(observer, False);
        XSync(x11standin::display(), False);
        MSG m;
        while (PeekMessageA(&m, window, 0, 0, PM_NOREMOVE)) {
            const BOOL got = GetMessageA(&m, window, 0, 0);
            if (got < 0) break;
            quit |= got == 0;
            if (got > 0) TranslateMessage(&m);
            if (got > 0) DispatchMessageA(&m);
        }
    }

    bool exists(Window w) {
        XWindowAttributes a;
        return w != 0 && XGetWindowAttributes(observer, w, &a) != 0;
    }

    XWindowAttributes attributesOf(HWND window) {
        XSync(x11standin::display(), False);
        XWindowAttributes a{};
        XGetWindowAttributes(observer, x11standin::nativeWindow(window), &a);
        return a;
    }

    std::optional<e2e::PrivateXvfb> server;
    std::optional<e2e::XClient> client;
    Display* observer = nullptr;  // the test's own client, a window manager's view
    HGLRC context = nullptr;
    bool quit = false;
};

TEST_F(X11Test, CreationReportsTheClientSizeAndShowingPaintsWithoutAnother) {
    viewportWidth = viewportHeight = 0;
    HWND window = createProgramWindow();
    ASSERT_NE(window, nullptr);
    // No window manager runs, so only the stand-in can report the size, and
    // it does so inside CreateWindowExA, as Windows does.
    EXPECT_EQ(viewportWidth, 1008);
    EXPECT_EQ(viewportHeight, 729);
    EXPECT_EQ(attributesOf(window).map_state, IsUnmapped);
    // The title, the close protocol and the visual are the end-to-end tests'
    // part: the program is found by its title, closed, and draws its frames.
    // Mapping without a window manager reports no size, and the stand-in
    // must not make one up either.
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_SHOWWINDOW, WM_PAINT}));
    EXPECT_EQ(attributesOf(window).map_state, IsViewable);
    pump(window);
    for (const Seen& s : seen) EXPECT_NE(s.message, WM_SIZE);
}

TEST_F(X11Test, ACloseRequestBecomesWmCloseAndTheWindowLivesUntilDestroyed) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    const Window native = x11standin::nativeWindow(window);
    client->requestClose(native);
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_CLOSE}));
    EXPECT_TRUE(quit) << "the quit message must reach the window-filtered pump";
    EXPECT_TRUE(exists(native));
    EXPECT_TRUE(SwapBuffers(GetDC(window)));

    // The default answer to a close destroys the window, X window included,
    // once the program has let go of its context.
    seen.clear();
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_EQ(DefWindowProcA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    XSync(x11standin::display(), False);
    EXPECT_FALSE(exists(native));
}

TEST_F(X11Test, AWindowDestroyedByAnotherClientIsClosedRatherThanDrawnInto) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    XDestroyWindow(observer, x11standin::nativeWindow(window));
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_CLOSE}));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_FALSE(SwapBuffers(GetDC(window)));
    EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(X11Test, ExposuresBecomeOnePaintAndAWindowManagersResizeAndMinimiseSizeMessages) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    const Window native = x11standin::nativeWindow(window);
    XClearArea(observer, native, 0, 0, 10, 10, True);
    XClearArea(observer, native, 100, 100, 10, 10, True);
    pump(window);
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_PAINT}));

    // Shrinking exposes nothing new; the paint is the program's own, asked
    // for by every size.
    seen.clear();
    XResizeWindow(observer, native, 640, 480);
    pump(window);
    const Seen paint{WM_PAINT, 0, 0};
    EXPECT_EQ(seen, (std::vector<Seen>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}, paint}));

    // Iconified as ICCCM has it: the state property, then the unmap.
    seen.clear();
    const Atom wmState = XInternAtom(observer, "WM_STATE", False);
    long state[2] = {3, 0};  // IconicState
    XChangeProperty(observer, native, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 2);
    XUnmapWindow(observer, native);
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0)}, paint}));

    seen.clear();
    state[0] = 1;  // NormalState
    XChangeProperty(observer, native, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 2);
    XMapWindow(observer, native);
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}, paint}));
}

class X11WithoutGlx : public X11Test {
protected:
    std::vector<std::string> serverArguments() override { return {"-extension", "GLX"}; }
};

TEST_F(X11WithoutGlx, TheWindowIsMadeButNoPixelFormatIsOffered) {
    WNDCLASSA c{};
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "plain";
    RegisterClassA(&c);
    HWND window = CreateWindowExA(0, "plain", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    PIXELFORMATDESCRIPTOR p{};
    p.nSize = sizeof p;
    p.nVersion = 1;
    p.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    EXPECT_EQ(ChoosePixelFormat(GetDC(window), &p), 0);
    EXPECT_FALSE(SetPixelFormat(GetDC(window), 1, &p));
}

// Input: a user's keys and mouse, through XTest, to the window procedure.

constexpr WORD ext = KF_EXTENDED, up = KF_REPEAT | KF_UP, alt = KF_ALTDOWN;
// A key message as Windows packs it: one stroke, the scan code, the flags.
Seen key(UINT m, WPARAM vk, unsigned scan, WORD f = 0) { return {m, vk, MAKELPARAM(1, scan | f)}; }

// Presses (+) and releases (-) keys, by keysym name, and mouse buttons b1 to
// b9: "+Shift_L +b1 -b1 -Shift_L".
void strike(e2e::XClient& client, const std::string& strokes) {
    std::istringstream in(strokes);
    for (std::string s; in >> s;) {
        if (s.size() == 3 && s[1] == 'b') client.button(unsigned(s[2] - '0'), s[0] == '+');
        if (s.size() != 3 || s[1] != 'b') client.key(XStringToKeysym(s.c_str() + 1), s[0] == '+');
    }
}

TEST_F(X11Test, KeysBecomeKeyMessagesWithWindowsCodesCharactersRepeatsAndFocus) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    // Keysym, virtual key, scan code, flags, and the character typed (0: none).
    // clang-format off
    const std::tuple<const char*, WPARAM, unsigned, WORD, WPARAM> keys[] = {
        {"a", 'A', 0x1E, 0, 'a'}, {"9", '9', 0x0A, 0, '9'}, {"Escape", VK_ESCAPE, 0x01, 0, 0x1B},
        {"Return", VK_RETURN, 0x1C, 0, '\r'}, {"KP_Enter", VK_RETURN, 0x1C, ext, '\r'},
        {"Left", VK_LEFT, 0x4B, ext, 0}, {"KP_Up", VK_UP, 0x48, 0, 0} /* Num Lock is off */,
        {"Delete", VK_DELETE, 0x53, ext, 0}, {"F12", VK_F12, 0x58, 0, 0},
        {"minus", VK_OEM_MINUS, 0x0C, 0, '-'}, {"KP_Subtract", VK_SUBTRACT, 0x4A, 0, '-'},
        {"Control_R", VK_CONTROL, 0x1D, ext, 0}, {"ISO_Level3_Shift", VK_MENU, 0x54, 0, 0}};
    // clang-format on
    for (auto [name, vk, scan, flags, typed] : keys) {
        SCOPED_TRACE(name);
        seen.clear();
        strike(*client, std::string("+") + name + " -" + name);
        pump(window);
        const Seen down = key(WM_KEYDOWN, vk, scan, flags),
                   release = key(WM_KEYUP, vk, scan, flags | up);
        EXPECT_EQ(seen, (typed ? std::vector{down, key(WM_CHAR, typed, scan, flags), release}
                               : std::vector{down, release}));
    }

    // Shift types '+'; Num Lock turns the keypad to digits; Alt makes system
    // messages, unless Ctrl is down too (AltGr to Windows), and Alt+F4 closes
    // the window as its close button does.
    seen.clear();
    strike(*client, "+Shift_L +equal -equal -Shift_L +Num_Lock -Num_Lock +KP_8 -KP_8");
    strike(*client, "+Control_L +Alt_L -Alt_L -Control_L +Alt_L +x -x +F4 -F4 -Alt_L");
    pump(window);
    // clang-format off
    EXPECT_EQ(seen, (std::vector<Seen>{
        key(WM_KEYDOWN, VK_SHIFT, 0x2A), key(WM_KEYDOWN, VK_OEM_PLUS, 0x0D), key(WM_CHAR, '+', 0x0D),
        key(WM_KEYUP, VK_OEM_PLUS, 0x0D, up), key(WM_KEYUP, VK_SHIFT, 0x2A, up),
        key(WM_KEYDOWN, VK_NUMLOCK, 0x45, ext), key(WM_KEYUP, VK_NUMLOCK, 0x45, ext | up),
        key(WM_KEYDOWN, VK_NUMPAD8, 0x48), key(WM_CHAR, '8', 0x48), key(WM_KEYUP, VK_NUMPAD8, 0x48, up),
        key(WM_KEYDOWN, VK_CONTROL, 0x1D), key(WM_KEYDOWN, VK_MENU, 0x38),
        key(WM_KEYUP, VK_MENU, 0x38, up), key(WM_KEYUP, VK_CONTROL, 0x1D, up),
        key(WM_SYSKEYDOWN, VK_MENU, 0x38, alt), key(WM_SYSKEYDOWN, 'X', 0x2D, alt),
        key(WM_SYSCHAR, 'x', 0x2D, alt), key(WM_SYSKEYUP, 'X', 0x2D, alt | up),
        key(WM_SYSKEYDOWN, VK_F4, 0x3E, alt), {WM_SYSCOMMAND, SC_CLOSE, 0}, {WM_CLOSE, 0, 0},
        key(WM_SYSKEYUP, VK_F4, 0x3E, alt | up), key(WM_SYSKEYUP, VK_MENU, 0x38, up)}));
    // clang-format on

    // Focus given and taken is sent (focus that follows the pointer is never);
    // a key released while the window lacked it is new when pressed again.
    seen.clear();
    auto focus = [&](Window w) { XSetInputFocus(observer, w, RevertToNone, CurrentTime); };
    focus(None);
    focus(PointerRoot);
    focus(x11standin::nativeWindow(window));
    strike(*client, "+Left");
    pump(window);  // focus messages are sent, ahead of input still queued
    focus(None);
    strike(*client, "-Left");
    focus(x11standin::nativeWindow(window));
    strike(*client, "+Left -Left");
    pump(window);
    const Seen down = key(WM_KEYDOWN, VK_LEFT, 0x4B, ext),
               released = key(WM_KEYUP, VK_LEFT, 0x4B, ext | up);
    const Seen focused{WM_SETFOCUS, 0, 0}, unfocused{WM_KILLFOCUS, 0, 0};
    EXPECT_EQ(seen, (std::vector<Seen>{focused, down, unfocused, focused, down, released}));
}

TEST_F(X11Test, MouseMovesButtonsAndWheelsBecomeMouseMessages) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    // Off the screen's corner, so that client and screen positions differ.
    XMoveWindow(observer, x11standin::nativeWindow(window), 100, 50);
    client->movePointer(310, 220);
    client->movePointer(300, 200);
    strike(*client, "+b1 +b3 +Shift_L -b1 -b3 +b2 -b2 +b4 -b4 +b5 -b5 +b7 -b7 -Shift_L +b1");
    client->movePointer(40, 20);  // a drag out of the window, as with a captured mouse
    strike(*client, "-b1");
    pump(window);
    std::erase_if(seen, [](const Seen& s) { return s.message < WM_MOUSEMOVE; });
    const WPARAM shift = MK_SHIFT, l = MK_LBUTTON, r = MK_RBUTTON;
    // clang-format off
    auto at = [](UINT m, WPARAM keys, int x = 200, int y = 150) { return Seen{m, keys, MAKELPARAM(x, y)}; };
    EXPECT_EQ(seen, (std::vector<Seen>{
        at(WM_MOUSEMOVE, 0), at(WM_LBUTTONDOWN, l), at(WM_RBUTTONDOWN, l | r), at(WM_LBUTTONUP, r | shift),
        at(WM_RBUTTONUP, shift), at(WM_MBUTTONDOWN, MK_MBUTTON | shift), at(WM_MBUTTONUP, shift),
        at(WM_MOUSEWHEEL, MAKEWPARAM(shift, WHEEL_DELTA), 300, 200),
        at(WM_MOUSEWHEEL, MAKEWPARAM(shift, -WHEEL_DELTA), 300, 200),
        at(WM_MOUSEHWHEEL, MAKEWPARAM(shift, WHEEL_DELTA), 300, 200),
        at(WM_LBUTTONDOWN, l), at(WM_MOUSEMOVE, l, -60, -30), at(WM_LBUTTONUP, 0, -60, -30)}));
    // clang-format on
}

}  // namespace
