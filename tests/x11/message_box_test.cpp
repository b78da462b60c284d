// MessageBoxA: the text always reaches standard error; with a display, a
// modal box waits for the user and any of the usual ways of dismissing it
// ends the wait.

// Before the X headers, whose macros (None, Bool) break it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "platform/x11/x11_standin.h"
#include "tests/x11/private_x.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(MessageBoxWithoutDisplay, WritesToStandardErrorAndReturnsAtOnce) {
    unsetenv("DISPLAY");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "CreateWindow() failed", "Error", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: CreateWindow() failed\n");
}

// The box runs in a child process, so that a box that never goes away fails
// the test instead of hanging it.
class MessageBoxOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.started()) << "Xvfb did not start";
        setenv("DISPLAY", server.name().c_str(), 1);
        observer = XOpenDisplay(server.name().c_str());
        ASSERT_NE(observer, nullptr);
    }

    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        if (errors >= 0) close(errors);
        if (observer != nullptr) XCloseDisplay(observer);
    }

    void show(const char* text, const char* caption) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(fds[1], 2);
            _exit(MessageBoxA(nullptr, text, caption, MB_OK));
        }
        close(fds[1]);
        errors = fds[0];
    }

    // The top-level window with this title, once it is on the screen.
    Window find(const std::string& title) {
        auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            Window root = DefaultRootWindow(observer);
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            Window found = 0;
            if (XQueryTree(observer, root, &root, &parent, &children, &count)) {
                for (unsigned i = 0; i < count && found == 0; ++i) {
                    char* name = nullptr;
                    XWindowAttributes a;
                    if (XFetchName(observer, children[i], &name) && name != nullptr &&
                        title == name && XGetWindowAttributes(observer, children[i], &a) &&
                        a.map_state == IsViewable) {
                        found = children[i];
                    }
                    if (name != nullptr) XFree(name);
                }
                if (children != nullptr) XFree(children);
            }
            if (found != 0) return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    // The box's answer, or -1 if it is still up after a while.
    int answer() {
        auto deadline = Clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }

    std::string written() {
        std::string text;
        char buffer[256];
        ssize_t got;
        while ((got = read(errors, buffer, sizeof buffer)) > 0)
            text.append(buffer, std::size_t(got));
        return text;
    }

    void send(Window w, long mask, XEvent& e) {
        e.xany.window = w;
        ASSERT_TRUE(XSendEvent(observer, w, False, mask, &e));
        XSync(observer, False);
    }

    void press(Window w, KeySym key) {
        XEvent e{};
        e.xkey.type = KeyPress;
        e.xkey.root = DefaultRootWindow(observer);
        e.xkey.same_screen = True;
        e.xkey.keycode = XKeysymToKeycode(observer, key);
        send(w, KeyPressMask, e);
    }

    void click(Window w, int x, int y) {
        XEvent e{};
        e.xbutton.root = DefaultRootWindow(observer);
        e.xbutton.same_screen = True;
        e.xbutton.button = Button1;
        e.xbutton.x = x;
        e.xbutton.y = y;
        e.xbutton.type = ButtonPress;
        send(w, ButtonPressMask, e);
        e.xbutton.type = ButtonRelease;
        send(w, ButtonReleaseMask, e);
    }

    PrivateX server;
    Display* observer = nullptr;
    pid_t child = -1;
    int errors = -1;
};

TEST_F(MessageBoxOnDisplay, TheWindowManagersCloseRequestDismissesIt) {
    show("SetPixelFormat() failed", "Error");
    Window box = find("Error");
    ASSERT_NE(box, 0u) << "no box titled Error appeared";
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.message_type = XInternAtom(observer, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(observer, "WM_DELETE_WINDOW", False));
    send(box, NoEventMask, e);
    EXPECT_EQ(answer(), IDOK);
    EXPECT_EQ(written(), "Error: SetPixelFormat() failed\n");
}

TEST_F(MessageBoxOnDisplay, OtherKeysLeaveItUpAndReturnDismissesIt) {
    show("Cannot open wethrdwood.bmp", "Error");
    Window box = find("Error");
    ASSERT_NE(box, 0u);
    press(box, XK_a);
    click(box, 2, 2);  // beside the button
    press(box, XK_Return);
    EXPECT_EQ(answer(), IDOK);
    EXPECT_EQ(written(), "Error: Cannot open wethrdwood.bmp\n");
}

TEST_F(MessageBoxOnDisplay, TheOkButtonDismissesIt) {
    show("two\nlines", "Notice");
    Window box = find("Notice");
    ASSERT_NE(box, 0u);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(observer, box, &a));
    click(box, a.width / 2, a.height - 16 - 13);  // the button sits centred at the bottom
    EXPECT_EQ(answer(), IDOK);
}

}  // namespace
