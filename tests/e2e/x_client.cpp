#include "tests/e2e/x_client.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace e2e {

namespace {

// The program may destroy its window between our listing the tree and
// asking about a window; that is an answer, not a reason to exit.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

bool viewable(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

Window search(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        const bool match = title == name;
        XFree(name);
        if (match && viewable(display, window)) return window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
        found = search(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

// The top 8 bits of the channel that `mask` selects.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long value = (pixel & mask) >> shift;
    return std::uint8_t(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
}

}  // namespace

XClient::XClient(const std::string& display) {
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) throw std::runtime_error("cannot open display " + display);
    XSetErrorHandler(ignoreErrors);
}

XClient::~XClient() { XCloseDisplay(display_); }

unsigned long XClient::findWindow(const std::string& title) {
    return search(display_, DefaultRootWindow(display_), title);
}

Image XClient::grab(unsigned long window) {
    Image image;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, window, &attributes) == 0 ||
        attributes.map_state != IsViewable)
        return image;
    XImage* pixels = XGetImage(display_, window, 0, 0, unsigned(attributes.width),
                               unsigned(attributes.height), AllPlanes, ZPixmap);
    if (pixels == nullptr) return image;
    image.width = attributes.width;
    image.height = attributes.height;
    image.pixels.resize(std::size_t(image.width) * std::size_t(image.height));
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned long p = XGetPixel(pixels, x, y);
            image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] = {
                channel(p, pixels->red_mask), channel(p, pixels->green_mask),
                channel(p, pixels->blue_mask)};
        }
    }
    XDestroyImage(pixels);
    return image;
}

void XClient::requestClose(unsigned long window) {
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

}  // namespace e2e
