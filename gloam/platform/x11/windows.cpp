// Windows as X windows: creation, showing, painting, destruction, and the X
// events that become window messages.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "gloam/platform/x11/backend.h"

namespace gloam::x11standin {

namespace {

// Stock resources are numbers, as on Windows; no instance of ours holds any.
constexpr std::uintptr_t moduleHandle = 0x400000;  // where Win32 programs load
constexpr std::uintptr_t stockIconBase = 0x1C00000;
constexpr std::uintptr_t stockCursorBase = 0xC500000;

HCURSOR stockArrow() {
    return reinterpret_cast<HCURSOR>(stockCursorBase + reinterpret_cast<std::uintptr_t>(IDC_ARROW));
}

// Windows 10's frame at 100 %: the client area of a window with a caption
// or a sizing border is this much smaller than the rectangle it is created
// with. X windows are client areas (a window manager draws its frame around
// them), so the stand-in subtracts the frame Windows would have drawn.
constexpr int frameWidth = 16;
constexpr int frameHeight = 39;

bool framed(DWORD style) {
    return (style & WS_CHILD) == 0 && (style & (WS_CAPTION | WS_THICKFRAME)) != 0;
}

// ICCCM's WM_STATE, which a window manager sets; IconicState is 3.
bool iconic(const Connection& c, Window xwindow) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap;
    int status = XGetWindowProperty(c.display, xwindow, c.wmState, 0, 2, False, c.wmState, &type,
                                    &format, &count, &after, &data);
    bool result = status == Success && trap.passed() && data != nullptr && format == 32 &&
                  count >= 1 && reinterpret_cast<const long*>(data)[0] == 3;
    if (data != nullptr) XFree(data);
    return result;
}

// X counts a window's width and height in 16 bits; larger ones would wrap.
constexpr int largestSide = 65535;

// The title in the two encodings X names a window in: Latin-1 for WM_NAME,
// which every window manager reads, and UTF-8 for _NET_WM_NAME, which the
// current ones prefer. Titles are taken as UTF-8, as file names here are;
// text that is not UTF-8 is taken as Latin-1, which every byte is.
struct TitleText {
    std::string latin1;
    std::string utf8;
};

// The code point of the UTF-8 sequence at `at`, and its length; length 0
// when the bytes there are no well-formed sequence.
std::pair<std::uint32_t, std::size_t> codePointAt(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return {0, 0};
    std::uint32_t code = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        code = code << 6 | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and numbers past Unicode's last.
    constexpr std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {0, 0};
    return {code, length};
}

TitleText titleText(const std::string& title) {
    TitleText text;
    for (std::size_t at = 0; at < title.size();) {
        const auto [code, length] = codePointAt(title, at);
        if (length == 0) {
            text.latin1 = title;
            text.utf8.clear();
            for (const char c : title) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte >= 0x80) text.utf8 += char(0xC0 | byte >> 6);
                text.utf8 += byte >= 0x80 ? char(0x80 | (byte & 0x3F)) : c;
            }
            return text;
        }
        text.latin1 += code <= 0xFF ? char(code) : '?';
        at += length;
    }
    text.utf8 = title;
    return text;
}

void nameWindow(Display* d, Window w, const std::string& title) {
    const TitleText text = titleText(title);
    XStoreName(d, w, text.latin1.c_str());
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False),
                    XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.utf8.data()),
                    int(text.utf8.size()));
}

void postSize(HWND window, WPARAM kind, int width, int height) {
    PostMessageA(window, WM_SIZE, kind, MAKELPARAM(width, height));
}

// One X event as Windows would have reported it. True when it left a message
// or a paint request for retrieval.
bool translate(const XEvent& e) {
    // The keyboard's mapping and state concern the connection, not a window.
    if (e.type == MappingNotify || e.type == KeymapNotify) return translateInput(e, nullptr);
    Connection& c = connection();
    NativeWindow* n = nativeOfX(e.xany.window);
    if (n == nullptr || n->handle == nullptr || n->gone) return false;
    HWND window = n->handle;
    standin::WindowRecord* record = standin::findWindow(window);
    if (record == nullptr) return false;
    switch (e.type) {
        case Expose:
            // Every exposure only widens the update region; retrieval turns
            // the region into one WM_PAINT.
            standin::invalidate(window);
            return true;
        case ConfigureNotify: {
            int width = e.xconfigure.width;
            int height = e.xconfigure.height;
            if (n->minimised || (width == record->clientWidth && height == record->clientHeight)) {
                return false;  // moved, restacked, or a size already reported
            }
            record->clientWidth = width;
            record->clientHeight = height;
            postSize(window, SIZE_RESTORED, width, height);
            return true;
        }
        case UnmapNotify:
            // The stand-in unmaps only hidden windows; a visible one that
            // the window manager unmapped into an icon is minimised, which
            // Windows reports as a 0 x 0 client area.
            if (!record->visible || n->minimised || !iconic(c, n->xwindow)) return false;
            n->minimised = true;
            postSize(window, SIZE_MINIMIZED, 0, 0);
            return true;
        case MapNotify:
            if (!n->minimised) return false;
            n->minimised = false;
            postSize(window, SIZE_RESTORED, record->clientWidth, record->clientHeight);
            standin::invalidate(window);
            return true;
        case ClientMessage:
            if (e.xclient.message_type != c.protocols || e.xclient.format != 32 ||
                Atom(e.xclient.data.l[0]) != c.deleteWindow) {
                return false;
            }
            PostMessageA(window, WM_CLOSE, 0, 0);
            return true;
        case DestroyNotify:
            // The stand-in forgets its own X windows before destroying them,
            // so this one was destroyed by another client. Windows has no
            // such event; the nearest is a close request, which lets the
            // program end instead of drawing into nothing.
            releaseDrawable(n->xwindow);
            n->gone = true;
            PostMessageA(window, WM_CLOSE, 0, 0);
            return true;
        default:
            return translateInput(e, window);
    }
}

class X11System final : public standin::WindowSystem {
public:
    bool collectEvents(bool wait) override {
        Display* d = connection().display;
        if (d == nullptr) return false;
        bool arrived = false;
        XEvent e;
        while (XPending(d) > 0) {
            XNextEvent(d, &e);
            arrived |= translate(e);
        }
        while (wait && !arrived) {
            const auto& windows = connection().windows;
            if (std::none_of(windows.begin(), windows.end(),
                             [](const NativeWindow& n) { return !n.gone; })) {
                return false;
            }
            XNextEvent(d, &e);
            arrived = translate(e);
        }
        return arrived;
    }

    BOOL destroyWindow(HWND window) override { return ::DestroyWindow(window); }

    std::string charactersOf(const MSG& keyDown) override { return typedBy(keyDown); }
};
X11System theSystem;

}  // namespace

void installWindowSystem() { standin::setWindowSystem(&theSystem); }

Window createXWindow(Window parent, int x, int y, int width, int height, int depth, Visual* visual,
                     Colormap colormap) {
    Connection& c = connection();
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask | KeyReleaseMask |
                            ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            FocusChangeMask | EnterWindowMask | KeymapStateMask;
    // A null visual is Xlib's CopyFromParent.
    unsigned long mask = CWBackPixmap | CWBorderPixel | CWBitGravity | CWEventMask;
    if (colormap != 0) {
        attributes.colormap = colormap;
        mask |= CWColormap;
    }
    ErrorTrap trap;
    // X has no empty windows; a 0 x 0 client area is reported as such but
    // shown as one pixel.
    Window w = XCreateWindow(c.display, parent, x, y, unsigned(std::max(width, 1)),
                             unsigned(std::max(height, 1)), 0, depth, InputOutput, visual, mask,
                             &attributes);
    if (!trap.passed()) {
        if (w != 0) XDestroyWindow(c.display, w);
        return 0;
    }
    return w;
}

void describeWindow(const NativeWindow& native, const standin::WindowRecord& record) {
    Connection& c = connection();
    Display* d = c.display;
    Window w = native.xwindow;
    nameWindow(d, w, record.title);
    if (record.windowClass != nullptr) {
        XClassHint hint{};
        std::string className = record.windowClass->name;
        hint.res_name = program_invocation_short_name;
        hint.res_class = className.data();
        XSetClassHint(d, w, &hint);
        if (record.windowClass->cursor == stockArrow()) XDefineCursor(d, w, c.arrow);
    }
    if ((record.style & WS_CHILD) != 0) return;
    Atom protocols[] = {c.deleteWindow};
    XSetWMProtocols(d, w, protocols, 1);
    // The position is the outer rectangle's, which is where ICCCM puts the
    // frame's corner under north-west gravity.
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) return;
    hints->flags = PPosition | PSize | PWinGravity;
    hints->x = native.x;
    hints->y = native.y;
    hints->width = std::max(record.clientWidth, 1);
    hints->height = std::max(record.clientHeight, 1);
    hints->win_gravity = NorthWestGravity;
    if ((record.style & WS_THICKFRAME) == 0) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = hints->width;
        hints->min_height = hints->max_height = hints->height;
    }
    XSetWMNormalHints(d, w, hints);
    XFree(hints);
}

// Children were created after their parents, so going backwards destroys a
// child before the parent whose destruction would take it along.
void dropOrphans() {
    Connection& c = connection();
    for (std::size_t i = c.windows.size(); i-- > 0;) {
        NativeWindow n = c.windows[i];
        if (n.handle == nullptr || standin::findWindow(n.handle) != nullptr) continue;
        c.windows.erase(c.windows.begin() + std::ptrdiff_t(i));
        if (!n.gone) {
            releaseDrawable(n.xwindow);
            ErrorTrap trap;  // a child may already have gone with its parent
            XDestroyWindow(c.display, n.xwindow);
            trap.passed();
        }
        if (n.colormap != 0) XFreeColormap(c.display, n.colormap);
    }
    if (c.display != nullptr) XFlush(c.display);
}

void closeDisplay() {
    Connection& c = connection();
    if (c.display != nullptr) {
        deleteContexts();
        for (std::size_t i = c.windows.size(); i-- > 0;) {
            const NativeWindow& n = c.windows[i];
            ErrorTrap trap;
            if (!n.gone) XDestroyWindow(c.display, n.xwindow);
            if (n.colormap != 0) XFreeColormap(c.display, n.colormap);
            trap.passed();
        }
        if (c.arrow != 0) XFreeCursor(c.display, c.arrow);
        XCloseDisplay(c.display);
    }
    c = Connection{};
    standin::reset();
}

}  // namespace gloam::x11standin

using namespace gloam;
using namespace gloam::x11standin;

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    installWindowSystem();
    const standin::WindowClass* windowClass = standin::findClass(className);
    if (windowClass == nullptr) return nullptr;
    bool child = (style & WS_CHILD) != 0;
    const NativeWindow* parentNative = parent != nullptr ? nativeOf(parent) : nullptr;
    if (child && parentNative == nullptr) return nullptr;  // as Windows: a child needs a parent
    Display* d = openDisplay();
    if (d == nullptr) return nullptr;
    int screen = DefaultScreen(d);
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : DisplayWidth(d, screen) * 3 / 4;
        height = child ? 0 : DisplayHeight(d, screen) * 3 / 4;
    }
    int clientWidth = std::max(0, width - (framed(style) ? frameWidth : 0));
    int clientHeight = std::max(0, height - (framed(style) ? frameHeight : 0));
    if (clientWidth > largestSide || clientHeight > largestSide) return nullptr;

    // The visual is the screen's until a pixel format asks for another.
    Window xparent = child ? parentNative->xwindow : RootWindow(d, screen);
    Window xwindow =
        createXWindow(xparent, x, y, clientWidth, clientHeight, CopyFromParent, nullptr, 0);
    if (xwindow == 0) return nullptr;
    Connection& c = connection();
    NativeWindow& added = c.windows.emplace_back();
    added.xwindow = xwindow;
    added.xparent = xparent;
    added.x = x;
    added.y = y;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(d, xwindow, &attributes)) {
        added.visual = XVisualIDFromVisual(attributes.visual);
    }

    CREATESTRUCTA create{param, instance, menu,        parent, height,    width,
                         y,     x,        LONG(style), title,  className, exStyle};
    // The procedure runs inside, and may create or destroy windows, so the
    // record is found again by its X window rather than kept by reference.
    HWND window = standin::createWindow(create, clientWidth, clientHeight, xwindow);
    NativeWindow* native = nativeOfX(xwindow);
    if (window == nullptr) {
        if (native != nullptr) {
            std::erase_if(c.windows,
                          [xwindow](const NativeWindow& n) { return n.xwindow == xwindow; });
            XDestroyWindow(d, xwindow);
            XFlush(d);
        }
        return nullptr;
    }
    native->handle = window;
    standin::WindowRecord* record = standin::findWindow(window);
    describeWindow(*native, *record);
    // Windows shows a window created visible at the end of its creation.
    if ((style & WS_VISIBLE) != 0) {
        record->visible = false;
        ShowWindow(window, SW_SHOW);
    }
    XFlush(d);
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (standin::findWindow(window) == nullptr) return FALSE;
    BOOL destroyed = standin::destroyWindow(window);
    dropOrphans();
    return destroyed;
}

// Any command but SW_HIDE maps the window; the minimised and maximised
// states are left to the window manager, which reports them back.
BOOL WINAPI ShowWindow(HWND window, int command) {
    standin::WindowRecord* record = standin::findWindow(window);
    NativeWindow* native = nativeOf(window);
    if (record == nullptr || native == nullptr) return FALSE;
    bool wasVisible = record->visible;
    bool show = command != SW_HIDE;
    if (show == wasVisible) return wasVisible;
    record->visible = show;
    standin::callProcedure(window, WM_SHOWWINDOW, show, 0);
    // The procedure may have destroyed the window meanwhile.
    native = nativeOf(window);
    if (native == nullptr || native->gone) return wasVisible;
    Display* d = connection().display;
    if (show) {
        XMapWindow(d, native->xwindow);
        // As on Windows, a window that appears needs painting at once, not
        // only when the server gets round to exposing it.
        standin::invalidate(window);
    } else {
        XUnmapWindow(d, native->xwindow);
    }
    XFlush(d);
    return wasVisible;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    standin::WindowRecord* record = standin::findWindow(window);
    NativeWindow* native = nativeOf(window);
    if (record == nullptr || native == nullptr) return FALSE;
    record->title = text != nullptr ? text : "";
    if (native->gone) return TRUE;
    nameWindow(connection().display, native->xwindow, record->title);
    XFlush(connection().display);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    if (standin::findWindow(window) == nullptr) return FALSE;
    theSystem.collectEvents(false);  // exposures that have arrived count too
    const standin::WindowRecord* record = standin::findWindow(window);
    if (record != nullptr && record->needsPaint) {
        standin::callProcedure(window, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HDC WINAPI GetDC(HWND window) {
    if (window == nullptr) return openDisplay() != nullptr ? screenDc() : nullptr;
    return standin::findWindow(window) != nullptr ? dcOf(window) : nullptr;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    if (window == nullptr) return isScreenDc(dc) ? 1 : 0;
    return standin::findWindow(window) != nullptr && dc == dcOf(window) ? 1 : 0;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    return standin::beginPaint(window, paint, dcOf(window));
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    return standin::findWindow(window) != nullptr && paint != nullptr;
}

// The program is the only module.
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    return moduleName == nullptr ? reinterpret_cast<HMODULE>(moduleHandle) : nullptr;
}

// Only the system's stock icons and cursors exist (no instance, a number).
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
    return reinterpret_cast<HICON>(stockIconBase + reinterpret_cast<std::uintptr_t>(name));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
    return reinterpret_cast<HCURSOR>(stockCursorBase + reinterpret_cast<std::uintptr_t>(name));
}
