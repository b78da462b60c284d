#pragma once

// A small X client that does to the program's window what a user and a
// window manager would: find it by its title, look at it, close it.

#include <string>

#include "tests/e2e/image.h"

typedef struct _XDisplay Display;

namespace e2e {

class XClient {
public:
    // Connects to `display` (":N"); throws when it cannot.
    explicit XClient(const std::string& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    // The first viewable window with this exact title, searched through the
    // whole window tree; 0 when there is none.
    unsigned long findWindow(const std::string& title);
    // The window's contents; empty when the window is gone or unviewable.
    Image grab(unsigned long window);
    // Sends the window manager's close request (WM_DELETE_WINDOW) and waits
    // until the server has processed it.
    void requestClose(unsigned long window);

private:
    Display* display_ = nullptr;
};

}  // namespace e2e
