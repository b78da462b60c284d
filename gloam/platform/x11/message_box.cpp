// MessageBoxA: the text on standard error, always, so that it is seen where
// no one watches a screen; and, where an X server can be reached, a small
// modal window with the text and an OK button.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gloam/platform/x11/backend.h"

namespace gloam::x11standin {

namespace {

constexpr int margin = 16;
constexpr int buttonWidth = 80;
constexpr int buttonHeight = 26;
constexpr int minimumWidth = 220;

std::vector<std::string> linesOf(const char* text) {
    std::vector<std::string> lines(1);
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            lines.emplace_back();
        } else if (*p != '\r') {
            lines.back() += *p;
        }
    }
    return lines;
}

class Dialog {
public:
    Dialog(Display* d, const char* text, const char* caption, Window owner)
        : d(d), lines(linesOf(text)) {
        int screen = DefaultScreen(d);
        font = XLoadQueryFont(d, "fixed");
        gc = XCreateGC(d, RootWindow(d, screen), 0, nullptr);
        XSetForeground(d, gc, BlackPixel(d, screen));
        if (font != nullptr) XSetFont(d, gc, font->fid);
        XFontStruct* metrics = font != nullptr ? font : XQueryFont(d, XGContextFromGC(gc));
        lineHeight = metrics != nullptr ? metrics->ascent + metrics->descent + 2 : 14;
        ascent = metrics != nullptr ? metrics->ascent : 11;
        int textWidth = 0;
        for (const std::string& line : lines) textWidth = std::max(textWidth, measure(line));
        if (metrics != nullptr && metrics != font) XFreeFontInfo(nullptr, metrics, 1);

        width = std::max(minimumWidth, textWidth + 2 * margin);
        height = margin + int(lines.size()) * lineHeight + margin + buttonHeight + margin;
        button = {(width - buttonWidth) / 2, height - margin - buttonHeight};
        int x = std::max(0, (DisplayWidth(d, screen) - width) / 2);
        int y = std::max(0, (DisplayHeight(d, screen) - height) / 2);
        window =
            XCreateSimpleWindow(d, RootWindow(d, screen), x, y, unsigned(width), unsigned(height),
                                1, BlackPixel(d, screen), WhitePixel(d, screen));
        XSelectInput(d, window,
                     ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                         StructureNotifyMask);
        XStoreName(d, window, caption);
        protocols = XInternAtom(d, "WM_PROTOCOLS", False);
        deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(d, window, &deleteWindow, 1);
        if (owner != 0) XSetTransientForHint(d, window, owner);
        Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
        Atom dialog = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
        XChangeProperty(d, window, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&dialog), 1);
        XSizeHints* hints = XAllocSizeHints();
        if (hints != nullptr) {
            hints->flags = PPosition | PMinSize | PMaxSize;
            hints->x = x;
            hints->y = y;
            hints->min_width = hints->max_width = width;
            hints->min_height = hints->max_height = height;
            XSetWMNormalHints(d, window, hints);
            XFree(hints);
        }
        XMapRaised(d, window);
    }

    ~Dialog() {
        XDestroyWindow(d, window);
        XFreeGC(d, gc);
        if (font != nullptr) XFreeFont(d, font);
    }

    // Until OK is clicked, Return, Escape or space is pressed, or the window
    // is asked to close or goes away.
    void run() {
        XEvent e;
        for (;;) {
            XNextEvent(d, &e);
            switch (e.type) {
                case Expose:
                    if (e.xexpose.count == 0) draw();
                    break;
                case MapNotify:
                    // With no window manager to give it, the box takes the
                    // keyboard itself so that Return answers it.
                    XSetInputFocus(d, window, RevertToPointerRoot, CurrentTime);
                    break;
                case KeyPress: {
                    KeySym key = XLookupKeysym(&e.xkey, 0);
                    if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape ||
                        key == XK_space) {
                        return;
                    }
                    break;
                }
                case ButtonPress:
                    pressed = e.xbutton.button == Button1 && onButton(e.xbutton.x, e.xbutton.y);
                    break;
                case ButtonRelease:
                    if (pressed && e.xbutton.button == Button1 &&
                        onButton(e.xbutton.x, e.xbutton.y)) {
                        return;
                    }
                    pressed = false;
                    break;
                case ClientMessage:
                    if (e.xclient.message_type == protocols && e.xclient.format == 32 &&
                        Atom(e.xclient.data.l[0]) == deleteWindow) {
                        return;
                    }
                    break;
                case DestroyNotify:
                    return;
                default:
                    break;
            }
        }
    }

private:
    int measure(const std::string& s) const {
        if (font == nullptr) return int(s.size()) * 6;
        return XTextWidth(font, s.data(), int(s.size()));
    }

    bool onButton(int x, int y) const {
        return x >= button.x && x < button.x + buttonWidth && y >= button.y &&
               y < button.y + buttonHeight;
    }

    void draw() {
        XClearWindow(d, window);
        int y = margin + ascent;
        for (const std::string& line : lines) {
            XDrawString(d, window, gc, margin, y, line.data(), int(line.size()));
            y += lineHeight;
        }
        XDrawRectangle(d, window, gc, button.x, button.y, buttonWidth - 1, buttonHeight - 1);
        static const char ok[] = "OK";
        int okWidth = measure(ok);
        XDrawString(d, window, gc, button.x + (buttonWidth - okWidth) / 2,
                    button.y + (buttonHeight + ascent) / 2 - 1, ok, 2);
    }

    Display* d;
    std::vector<std::string> lines;
    XFontStruct* font = nullptr;
    GC gc{};
    int lineHeight = 0;
    int ascent = 0;
    int width = 0;
    int height = 0;
    struct {
        int x = 0;
        int y = 0;
    } button;
    Window window = 0;
    Atom protocols = 0;
    Atom deleteWindow = 0;
    bool pressed = false;
};

}  // namespace

}  // namespace gloam::x11standin

using namespace gloam;
using namespace gloam::x11standin;

// Only the OK button exists, whatever the style asks for, and every way of
// dismissing the box answers IDOK, as Windows answers a box that has only
// OK. The box has a connection of its own, so the program's windows keep
// their events for when it returns. Without a display, standard error is
// all there is, and it says why: most often that display is the very
// reason the program failed, and DISPLAY is where a user looks first.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT) {
    if (text == nullptr) text = "";
    if (caption == nullptr) caption = "Error";  // Windows' default caption
    Display* main = connection().display;
    Display* d = XOpenDisplay(main != nullptr ? DisplayString(main) : nullptr);
    if (d == nullptr) {
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || *name == '\0') {
            std::fprintf(stderr, "%s: %s (no X display: DISPLAY is not set)\n", caption, text);
        } else {
            std::fprintf(stderr, "%s: %s (no X display: cannot open DISPLAY=\"%s\")\n", caption,
                         text, name);
        }
        std::fflush(stderr);
        return IDOK;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    installErrorHandler();  // the focus request may meet a window being unmapped
    {
        Dialog dialog(d, text, caption, nativeWindow(owner));
        dialog.run();
    }
    XCloseDisplay(d);
    return IDOK;
}
