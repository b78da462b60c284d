// MessageBoxA with a display: a modal box waits for the user, and any of
// the usual ways of dismissing it ends the wait. (Without one, the text goes
// to standard error alone: the demo's no-display test reads it there.)

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
#include "tests/support/harness.h"

namespace {

using namespace std::chrono_literals;

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

// A key press (button 0) or a click at (x, y), sent to the box alone.
void send(Display* d, Window w, KeySym key, int button = 0, int x = 0, int y = 0) {
    XEvent e{};
    e.xany.window = w;
    e.xkey.root = DefaultRootWindow(d);  // the same fields of key and button events
    e.xkey.same_screen = True;
    e.xkey.x = x;
    e.xkey.y = y;
    e.xkey.type = button ? ButtonPress : KeyPress;
    e.xkey.keycode = button ? unsigned(button) : XKeysymToKeycode(d, key);
    XSendEvent(d, w, False, button ? ButtonPressMask : KeyPressMask, &e);
    e.xkey.type = ButtonRelease;
    if (button) XSendEvent(d, w, False, ButtonReleaseMask, &e);
    XSync(d, False);
}

TEST(MessageBoxOnDisplay, TheCloseRequestReturnAndTheOkButtonDismissItOtherInputDoesNot) {
    e2e::PrivateXvfb server;
    setenv("DISPLAY", server.display().c_str(), 1);
    e2e::XClient x(server.display());
    Display* d = x.display();
    // A box may go between our finding it and asking about it.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    // Each way that dismisses a box, after input that must not (another key,
    // a click beside the button); the text is the box's, of one line or two.
    enum class Way { CloseRequest, ReturnKey, OkButton };
    using enum Way;
    for (const Way way : {CloseRequest, ReturnKey, OkButton}) {
        SCOPED_TRACE(int(way));
        Box box(way == OkButton ? "two\nlines" : "Cannot open wethrdwood.bmp", "Warning");
        const Window w = x.findWindow("Warning", 10s);
        ASSERT_NE(w, 0u) << "no box titled Warning appeared";
        send(d, w, XK_a);
        send(d, w, 0, Button1, 2, 2);
        EXPECT_EQ(box.answer(300ms), -1) << "dismissed by another key or a click beside the button";
        XWindowAttributes a;
        ASSERT_TRUE(XGetWindowAttributes(d, w, &a));
        if (way == CloseRequest) x.requestClose(w);
        if (way == ReturnKey) send(d, w, XK_Return);
        // The button sits centred at the bottom.
        if (way == OkButton) send(d, w, 0, Button1, a.width / 2, a.height - 16 - 13);
        EXPECT_EQ(box.answer(), IDOK);
        EXPECT_EQ(box.written(), way == OkButton ? "Warning: two\nlines\n"
                                                 : "Warning: Cannot open wethrdwood.bmp\n");
    }
}

}  // namespace
