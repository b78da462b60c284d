// The X11 side of the stand-in against a real X server (a private Xvfb) and
// Mesa's GLX: the messages a window procedure sees, and a context that draws.

// Before the X headers, whose macros (None, Bool) break it.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/x11/x11_standin.h"
#include "tests/x11/private_x.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;
PAINTSTRUCT paint;

// The program's window procedure in small, with every message written down.
LRESULT CALLBACK recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, wParam, lParam});
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

std::vector<UINT> messagesSeen() {
    std::vector<UINT> messages;
    for (const Seen& s : seen) messages.push_back(s.message);
    return messages;
}

constexpr DWORD appStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

PIXELFORMATDESCRIPTOR appFormat(BYTE depthBits = 32) {
    PIXELFORMATDESCRIPTOR p{};
    p.nSize = sizeof p;
    p.nVersion = 1;
    p.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    p.iPixelType = PFD_TYPE_RGBA;
    p.cColorBits = 24;
    p.cDepthBits = depthBits;
    p.iLayerType = PFD_MAIN_PLANE;
    return p;
}

void registerRecorder() {
    WNDCLASSA c{};
    c.style = CS_OWNDC;
    c.lpfnWndProc = recorder;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.lpszClassName = "OpenGL";
    ASSERT_NE(RegisterClassA(&c), 0);
}

HWND createAppLikeWindow() {
    return CreateWindowExA(0, "OpenGL", "Simple OpenGL App", appStyle, 0, 0, 1024, 768, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Mesa unloads its driver when the last connection that used it closes, and
// what the driver still holds in its own globals then looks leaked to
// LeakSanitizer. A program keeps its connection until it ends, and so the
// driver; tests close theirs after each case, so they pin the driver.
void keepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "_dri.so") != nullptr) {
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}

class X11Test : public ::testing::Test {
protected:
    virtual std::vector<std::string> serverArguments() { return {}; }

    void SetUp() override {
        server.emplace(serverArguments());
        ASSERT_TRUE(server->started()) << "Xvfb did not start";
        setenv("DISPLAY", server->name().c_str(), 1);
        observer = XOpenDisplay(server->name().c_str());
        ASSERT_NE(observer, nullptr);
        seen.clear();
        registerRecorder();
    }

    void TearDown() override {
        keepGlDriverLoaded();
        x11standin::closeDisplay();
        if (observer != nullptr) XCloseDisplay(observer);
        server.reset();
    }

    // What the program does before its first frame: window, pixel format,
    // context, then shown and updated.
    HWND createShownWithContext() {
        HWND window = createAppLikeWindow();
        if (window == nullptr) return nullptr;
        HDC dc = GetDC(window);
        PIXELFORMATDESCRIPTOR p = appFormat();
        int format = ChoosePixelFormat(dc, &p);
        if (format == 0 || !SetPixelFormat(dc, format, &p)) return nullptr;
        context = wglCreateContext(dc);
        if (context == nullptr || !wglMakeCurrent(dc, context)) return nullptr;
        ShowWindow(window, SW_SHOWDEFAULT);
        UpdateWindow(window);
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
            BOOL got = GetMessageA(&m, window, 0, 0);
            if (got == 0) {
                quit = true;
            } else if (got > 0) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            } else {
                break;
            }
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

    std::string titleOf(Window w) {
        char* name = nullptr;
        std::string title = XFetchName(observer, w, &name) && name != nullptr ? name : "";
        if (name != nullptr) XFree(name);
        return title;
    }

    bool closesOnRequest(Window w) {
        Atom* protocols = nullptr;
        int count = 0;
        bool found = false;
        if (XGetWMProtocols(observer, w, &protocols, &count)) {
            Atom deleteWindow = XInternAtom(observer, "WM_DELETE_WINDOW", False);
            for (int i = 0; i < count; ++i) found |= protocols[i] == deleteWindow;
            XFree(protocols);
        }
        return found;
    }

    std::optional<PrivateX> server;
    Display* observer = nullptr;  // the test's own client, a window manager's view
    HGLRC context = nullptr;
    bool quit = false;
};

TEST_F(X11Test, CreationReportsTheClientSizeAndTheFormatGivesTheWindowItsVisual) {
    HWND window = createAppLikeWindow();
    ASSERT_NE(window, nullptr);
    // No window manager runs, so only the stand-in can report the size, and
    // it does so inside CreateWindowExA, as Windows does.
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                                 WM_CREATE, WM_SIZE, WM_MOVE}));
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[4], (Seen{WM_SIZE, SIZE_RESTORED, MAKELPARAM(1008, 729)}));
    Window first = x11standin::nativeWindow(window);
    XWindowAttributes a = attributesOf(window);
    EXPECT_EQ(a.width, 1008);
    EXPECT_EQ(a.height, 729);
    EXPECT_EQ(a.map_state, IsUnmapped);
    EXPECT_EQ(titleOf(first), "Simple OpenGL App");

    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR p = appFormat();
    int format = ChoosePixelFormat(dc, &p);
    ASSERT_NE(format, 0);
    ASSERT_TRUE(SetPixelFormat(dc, format, &p));
    EXPECT_EQ(ReleaseDC(window, dc), 1);

    // The window now shows the format's visual: double-buffered, 32 depth
    // bits. Replacing the X window kept what the window manager reads.
    Window second = x11standin::nativeWindow(window);
    a = attributesOf(window);
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(a.visual);
    int found = 0;
    XVisualInfo* visual = XGetVisualInfo(observer, VisualIDMask, &wanted, &found);
    ASSERT_NE(visual, nullptr);
    int depthBits = 0;
    int doubleBuffered = 0;
    glXGetConfig(observer, visual, GLX_DEPTH_SIZE, &depthBits);
    glXGetConfig(observer, visual, GLX_DOUBLEBUFFER, &doubleBuffered);
    XFree(visual);
    EXPECT_EQ(depthBits, 32);
    EXPECT_TRUE(doubleBuffered);
    EXPECT_EQ(a.width, 1008);
    EXPECT_EQ(a.height, 729);
    EXPECT_EQ(titleOf(second), "Simple OpenGL App");
    EXPECT_TRUE(closesOnRequest(second));
    if (second != first) {
        EXPECT_FALSE(exists(first));
    }

    seen.clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_EQ(attributesOf(window).map_state, IsViewable);
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_SHOWWINDOW, WM_PAINT}));
    // Mapping without a window manager reports no size, and the stand-in
    // must not make one up either.
    pump(window);
    for (const Seen& s : seen) EXPECT_NE(s.message, WM_SIZE);
}

TEST_F(X11Test, TheContextIsACurrentCompatibilityContextThatDrawsIntoTheWindow) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    pump(window);
    ASSERT_NE(glXGetCurrentContext(), nullptr);
    // A context first made current covers its whole window.
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 1008, 729}));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 32);

    // Immediate mode, which a core profile would refuse.
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0);
    glVertex2f(-0.5f, -0.5f);
    glVertex2f(0.5f, -0.5f);
    glVertex2f(0.0f, 0.5f);
    glEnd();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    unsigned char corner[4] = {};
    unsigned char centre[4] = {};
    glReadPixels(2, 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    glReadPixels(504, 364, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
    EXPECT_EQ(std::vector<int>(corner, corner + 3), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(std::vector<int>(centre, centre + 3), (std::vector<int>{255, 0, 0}));
    EXPECT_TRUE(SwapBuffers(GetDC(window)));

    // After the swap the window shows the frame. GL cannot tell: the back
    // buffer's content is undefined now, and Mesa's software rasteriser
    // reads its front buffer as black; so look as a screenshot does.
    XSync(x11standin::display(), False);
    XImage* image =
        XGetImage(observer, x11standin::nativeWindow(window), 0, 0, 1008, 729, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 2, 726), image->blue_mask);
    EXPECT_EQ(XGetPixel(image, 504, 364), image->red_mask);
    XDestroyImage(image);

    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(wglDeleteContext(context));
}

TEST_F(X11Test, ACloseRequestBecomesWmCloseAndTheWindowLivesUntilDestroyed) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    pump(window);
    seen.clear();
    Window native = x11standin::nativeWindow(window);

    // What a window manager sends when the user closes the window.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = native;
    e.xclient.message_type = XInternAtom(observer, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(observer, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    ASSERT_TRUE(XSendEvent(observer, native, False, NoEventMask, &e));
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_CLOSE}));
    EXPECT_TRUE(quit) << "the quit message must reach the window-filtered pump";
    EXPECT_TRUE(exists(native));
    EXPECT_TRUE(SwapBuffers(GetDC(window)));

    // The default answer to a close destroys the window, X window included.
    seen.clear();
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    EXPECT_EQ(DefWindowProcA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(x11standin::nativeWindow(window), 0u);
    XSync(x11standin::display(), False);
    EXPECT_FALSE(exists(native));
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(X11Test, AWindowDestroyedByAnotherClientIsClosedRatherThanDrawnInto) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    pump(window);
    seen.clear();
    XDestroyWindow(observer, x11standin::nativeWindow(window));
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_CLOSE}));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_FALSE(SwapBuffers(GetDC(window)));
    EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(X11Test, ExposuresBecomeOnePaintAndAValidatedWindowGetsNoMore) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    pump(window);
    seen.clear();
    Window native = x11standin::nativeWindow(window);
    XClearArea(observer, native, 0, 0, 10, 10, True);
    XClearArea(observer, native, 100, 100, 10, 10, True);
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_PAINT}));
    seen.clear();
    pump(window);
    EXPECT_TRUE(seen.empty());
}

TEST_F(X11Test, AWindowManagersResizeAndMinimiseBecomeSizeMessages) {
    HWND window = createShownWithContext();
    ASSERT_NE(window, nullptr);
    pump(window);
    seen.clear();
    Window native = x11standin::nativeWindow(window);

    // Shrinking exposes nothing new.
    XResizeWindow(observer, native, 640, 480);
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}}));

    // Iconified as ICCCM has it: the state property, then the unmap.
    seen.clear();
    Atom wmState = XInternAtom(observer, "WM_STATE", False);
    long state[2] = {3, 0};  // IconicState
    XChangeProperty(observer, native, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 2);
    XUnmapWindow(observer, native);
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0)}}));

    seen.clear();
    state[0] = 1;  // NormalState
    XChangeProperty(observer, native, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 2);
    XMapWindow(observer, native);
    pump(window);
    EXPECT_EQ(seen, (std::vector<Seen>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)},
                                       {WM_PAINT, 0, 0}}));

    // Hiding it ourselves is no minimise.
    seen.clear();
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    pump(window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_SHOWWINDOW}));
}

TEST_F(X11Test, APixelFormatIsSetOnceAndAContextDrawsOnlyToWindowsOfItsFormat) {
    HWND a = createAppLikeWindow();
    HWND b = createAppLikeWindow();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    HDC dcA = GetDC(a);
    HDC dcB = GetDC(b);
    PIXELFORMATDESCRIPTOR deep = appFormat(32);
    PIXELFORMATDESCRIPTOR shallow = appFormat(16);
    int deepFormat = ChoosePixelFormat(dcA, &deep);
    int shallowFormat = ChoosePixelFormat(GetDC(nullptr), &shallow);
    ASSERT_NE(deepFormat, 0);
    ASSERT_NE(shallowFormat, 0);
    ASSERT_NE(deepFormat, shallowFormat);

    EXPECT_EQ(wglCreateContext(dcA), nullptr) << "no format set yet";
    EXPECT_FALSE(SetPixelFormat(GetDC(nullptr), deepFormat, &deep)) << "the screen's is fixed";
    EXPECT_FALSE(SetPixelFormat(dcA, 0, &deep));
    EXPECT_TRUE(SetPixelFormat(dcA, deepFormat, &deep));
    EXPECT_TRUE(SetPixelFormat(dcA, deepFormat, &deep));
    EXPECT_FALSE(SetPixelFormat(dcA, shallowFormat, &shallow));
    EXPECT_TRUE(SetPixelFormat(dcB, shallowFormat, &shallow));

    HGLRC deepContext = wglCreateContext(dcA);
    ASSERT_NE(deepContext, nullptr);
    EXPECT_FALSE(wglMakeCurrent(dcB, deepContext));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_TRUE(wglMakeCurrent(dcA, deepContext));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 32);

    // Deleting the current context releases it; destroying a window with
    // a context current on it as well.
    EXPECT_TRUE(wglDeleteContext(deepContext));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    HGLRC shallowContext = wglCreateContext(dcB);
    ASSERT_TRUE(wglMakeCurrent(dcB, shallowContext));
    EXPECT_TRUE(DestroyWindow(b));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_FALSE(SwapBuffers(dcB));
    EXPECT_TRUE(wglDeleteContext(shallowContext));
}

class X11WithoutGlx : public X11Test {
protected:
    std::vector<std::string> serverArguments() override { return {"-extension", "GLX"}; }
};

TEST_F(X11WithoutGlx, TheWindowIsMadeButNoPixelFormatIsOffered) {
    HWND window = createAppLikeWindow();
    ASSERT_NE(window, nullptr);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR p = appFormat();
    EXPECT_EQ(ChoosePixelFormat(dc, &p), 0);
    EXPECT_FALSE(SetPixelFormat(dc, 1, &p));
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(X11WithoutDisplay, WindowCreationFailsBeforeTheProcedureRuns) {
    unsetenv("DISPLAY");
    seen.clear();
    registerRecorder();
    EXPECT_EQ(createAppLikeWindow(), nullptr);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(GetDC(nullptr), nullptr);
    PIXELFORMATDESCRIPTOR p = appFormat();
    EXPECT_EQ(ChoosePixelFormat(nullptr, &p), 0);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    x11standin::closeDisplay();
}

}  // namespace
