// MessageBoxA: the text always reaches standard error; with a display, a
// modal box waits for the user and any of the usual ways of dismissing it
// ends the wait.

// Before the X headers, whose macros (None, Bool) break it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "gloam/platform/win32.h"
#include "tests/e2e/harness.h"

namespace {

using namespace std::chrono_literals;

TEST(MessageBoxWithoutDisplay, WritesToStandardErrorWhyAndReturnsAtOnce) {
    unsetenv("DISPLAY");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "CreateWindow() failed", "Error", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: CreateWindow() failed (no X display: DISPLAY is not set)\n");
    setenv("DISPLAY", ":4093", 1);  // no server there
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "CreateWindow() failed", "Error", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: CreateWindow() failed (no X display: cannot open DISPLAY=\":4093\")\n");
    unsetenv("DISPLAY");
}

// Each box runs in a child process, so that a box that never goes away
// fails the test instead of hanging it.
struct Box {
    Box(const char* text, const char* caption) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        child = fork();
        if (child == 0) {
            dup2(fds[1], 2);
            _exit(MessageBoxA(nullptr, text, caption, MB_OK));
        }
        close(fds[1]);
        errors = fds[0];
    }
    ~Box() {
        if (child > 0) kill(child, SIGKILL);
        if (child > 0) waitpid(child, nullptr, 0);
        close(errors);
    }

    // The box's answer, or -1 while it is still up after `limit`.
    int answer(std::chrono::milliseconds limit = 10s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(5ms);
        }
        child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }

    std::string written() {
        std::string text;
        char buffer[256];
        for (ssize_t got; (got = read(errors, buffer, sizeof buffer)) > 0;)
            text.append(buffer, std::size_t(got));
        return text;
    }

    pid_t child = -1;
    int errors = -1;
};

void send(Display* d, Window w, long mask, XEvent e) {
    e.xany.window = w;
    e.xkey.root = DefaultRootWindow(d);  // the same field of key and button events
    e.xkey.same_screen = True;
    ASSERT_TRUE(XSendEvent(d, w, False, mask, &e));
    XSync(d, False);
}

void press(Display* d, Window w, KeySym key) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.keycode = XKeysymToKeycode(d, key);
    send(d, w, KeyPressMask, e);
}

void click(Display* d, Window w, int x, int y) {
    XEvent e{};
    e.xbutton.button = Button1;
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.type = ButtonPress;
    send(d, w, ButtonPressMask, e);
    e.xbutton.type = ButtonRelease;
    send(d, w, ButtonReleaseMask, e);
}

TEST(MessageBoxOnDisplay, TheCloseRequestReturnAndTheOkButtonDismissItOtherInputDoesNot) {
    e2e::PrivateXvfb server;
    setenv("DISPLAY", server.display().c_str(), 1);
    e2e::XClient x(server.display());
    Display* d = x.display();
    // A box may go between our finding it and asking about it.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    {
        Box box("SetPixelFormat() failed", "Error");
        const Window w = x.findWindow("Error", 10s);
        ASSERT_NE(w, 0u) << "no box titled Error appeared";
        x.requestClose(w);
        EXPECT_EQ(box.answer(), IDOK);
        EXPECT_EQ(box.written(), "Error: SetPixelFormat() failed\n");
    }
    {
        Box box("Cannot open wethrdwood.bmp", "Warning");
        const Window w = x.findWindow("Warning", 10s);
        ASSERT_NE(w, 0u);
        press(d, w, XK_a);
        click(d, w, 2, 2);  // beside the button
        EXPECT_EQ(box.answer(300ms), -1) << "dismissed by another key or a click beside the button";
        press(d, w, XK_Return);
        EXPECT_EQ(box.answer(), IDOK);
        EXPECT_EQ(box.written(), "Warning: Cannot open wethrdwood.bmp\n");
    }
    {
        Box box("two\nlines", "Notice");
        const Window w = x.findWindow("Notice", 10s);
        ASSERT_NE(w, 0u);
        XWindowAttributes a;
        ASSERT_TRUE(XGetWindowAttributes(d, w, &a));
        click(d, w, a.width / 2, a.height - 16 - 13);  // the button sits centred at the bottom
        EXPECT_EQ(box.answer(), IDOK);
    }
}

}  // namespace
