// The window calls with nothing beneath them: windows are the stand-in's
// records, device contexts, pixel formats and rendering contexts are
// numbers, and the only events are the script's messages.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "gloam/platform/input_messages.h"
#include "gloam/platform/null/null_standin.h"
#include "gloam/platform/standin.h"

namespace gloam::nullstandin {

namespace {

using standin::allowed;
using standin::Api;

// Handles of the backend's own objects, numbered apart from each other and
// from window handles (1, 2, ...), so that one kind passed for another fails
// instead of going unnoticed. Device contexts are window handles moved into
// a range of their own; the screen's is the range's start.
constexpr std::uintptr_t dcBase = 0xDC00;
constexpr std::uintptr_t dcRange = 0x1000;
constexpr std::uintptr_t firstContext = 0x6C00;
constexpr std::uintptr_t moduleHandle = 0x400000;  // where Win32 programs load
constexpr std::uintptr_t stockIconBase = 0x1C00000;
constexpr std::uintptr_t stockCursorBase = 0xC500000;
// Windows numbers pixel formats from 1. The one format here has a number no
// window handle or count of a short run has, for the same reason.
constexpr int onlyPixelFormat = 7;
// Windows 10's frame at 100 %, as the X11 backend takes it off too: a
// program sees the client area it would see there.
constexpr int frameWidth = 16;
constexpr int frameHeight = 39;
// What CW_USEDEFAULT gives a top-level window: three quarters of a
// 1280 x 1024 screen, as the X11 backend gives on such a screen.
constexpr int defaultWidth = 960;
constexpr int defaultHeight = 768;

template <typename Handle>
Handle handle(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}
std::uintptr_t bitsOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

HDC screenDc() { return handle<HDC>(dcBase); }
HDC dcOf(HWND window) { return handle<HDC>(dcBase + bitsOf(window)); }
HWND windowOfDc(HDC dc) {
    const std::uintptr_t bits = bitsOf(dc);
    if (bits <= dcBase || bits >= dcBase + dcRange) return nullptr;
    HWND window = handle<HWND>(bits - dcBase);
    return standin::findWindow(window) != nullptr ? window : nullptr;
}
bool validDc(HDC dc) { return dc == screenDc() || windowOfDc(dc) != nullptr; }

struct State {
    std::map<HWND, int> pixelFormats;
    std::map<HGLRC, int> contexts;  // with the format each was made for
    std::uintptr_t nextContext = firstContext;
    std::int64_t framesPresented = 0;
    std::vector<ScriptedMessage> script;
    bool scriptRead = false;
};

State& state() {
    static State theState;
    return theState;
}

int pixelFormatOf(HWND window) {
    const auto found = state().pixelFormats.find(window);
    return found == state().pixelFormats.end() ? 0 : found->second;
}

// The environment's script, once per run; false after saying why it cannot
// be used.
bool readScript() {
    State& s = state();
    if (s.scriptRead) return true;
    const char* text = std::getenv("GLOAM_NULL_SCRIPT");
    std::string error;
    if (text != nullptr && !parseScript(text, s.script, error)) {
        std::fprintf(stderr, "GLOAM_NULL_SCRIPT: %s\n", error.c_str());
        std::fflush(stderr);
        return false;
    }
    s.scriptRead = true;
    return true;
}

// Input joins the queue as the window system's input does, everything else
// as the window system's own posts do.
void deliver(HWND window, std::int64_t frame) {
    for (const ScriptedMessage& m : state().script) {
        if (m.frame != frame) continue;
        const MSG message{window, m.message, m.wParam, m.lParam, DWORD(frame), {0, 0}};
        if (findInputMessage(m.message) != nullptr) {
            standin::postInput(message);
        } else {
            standin::post(message);
        }
    }
}

class NullSystem final : public standin::WindowSystem {
public:
    bool collectEvents(bool) override { return false; }
    BOOL destroyWindow(HWND window) override { return ::DestroyWindow(window); }
};
NullSystem theSystem;

}  // namespace

void setScript(std::vector<ScriptedMessage> script) {
    state().script = std::move(script);
    state().scriptRead = true;
}

HGLRC lastContext() {
    const std::uintptr_t next = state().nextContext;
    return next == firstContext ? nullptr : handle<HGLRC>(next - 1);
}

void reset() {
    state() = State{};
    standin::reset();
}

}  // namespace gloam::nullstandin

using namespace gloam;
using namespace gloam::nullstandin;

// On Windows the program's module is KERNEL32's to give, window system or
// not.
#ifndef _WIN32
HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!allowed<Api::GetModuleHandleA>(name)) return nullptr;
    return name == nullptr ? handle<HMODULE>(moduleHandle) : nullptr;
}
#endif

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!allowed<Api::LoadIconA>(instance, name)) return nullptr;
    if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
    return handle<HICON>(stockIconBase + bitsOf(name));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (!allowed<Api::LoadCursorA>(instance, name)) return nullptr;
    if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
    return handle<HCURSOR>(stockCursorBase + bitsOf(name));
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    if (!allowed<Api::CreateWindowExA>(exStyle, className, title, style, x, y, width, height,
                                       parent, menu, instance, param)) {
        return nullptr;
    }
    standin::setWindowSystem(&theSystem);
    const bool child = (style & WS_CHILD) != 0;
    if (child && standin::findWindow(parent) == nullptr) return nullptr;
    if (!readScript()) return nullptr;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : defaultWidth;
        height = child ? 0 : defaultHeight;
    }
    const bool framed = !child && (style & (WS_CAPTION | WS_THICKFRAME)) != 0;
    const int clientWidth = std::max(0, width - (framed ? frameWidth : 0));
    const int clientHeight = std::max(0, height - (framed ? frameHeight : 0));
    const CREATESTRUCTA create{param, instance, menu,        parent, height,    width,
                               y,     x,        LONG(style), title,  className, exStyle};
    HWND window = standin::createWindow(create, clientWidth, clientHeight, 0);
    if (window == nullptr) return nullptr;
    // Windows shows a window created visible at the end of its creation.
    if ((style & WS_VISIBLE) != 0) {
        standin::findWindow(window)->visible = false;
        ShowWindow(window, SW_SHOW);
    }
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (!allowed<Api::DestroyWindow>(window)) return FALSE;
    if (standin::findWindow(window) == nullptr) return FALSE;
    const BOOL destroyed = standin::destroyWindow(window);
    std::erase_if(state().pixelFormats,
                  [](const auto& entry) { return standin::findWindow(entry.first) == nullptr; });
    return destroyed;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    if (!allowed<Api::ShowWindow>(window, command)) return FALSE;
    standin::WindowRecord* record = standin::findWindow(window);
    if (record == nullptr) return FALSE;
    const bool wasVisible = record->visible;
    const bool show = command != SW_HIDE;
    if (show == wasVisible) return wasVisible;
    record->visible = show;
    standin::callProcedure(window, WM_SHOWWINDOW, show, 0);
    if (show) standin::invalidate(window);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND window) {
    if (!allowed<Api::UpdateWindow>(window)) return FALSE;
    const standin::WindowRecord* record = standin::findWindow(window);
    if (record == nullptr) return FALSE;
    if (record->needsPaint) standin::callProcedure(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!allowed<Api::SetWindowTextA>(window, text)) return FALSE;
    standin::WindowRecord* record = standin::findWindow(window);
    if (record == nullptr) return FALSE;
    record->title = text != nullptr ? text : "";
    return TRUE;
}

HDC WINAPI GetDC(HWND window) {
    if (!allowed<Api::GetDC>(window)) return nullptr;
    if (window == nullptr) return screenDc();
    return standin::findWindow(window) != nullptr ? dcOf(window) : nullptr;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    if (!allowed<Api::ReleaseDC>(window, dc)) return 0;
    if (window == nullptr) return dc == screenDc();
    return standin::findWindow(window) != nullptr && dc == dcOf(window);
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (!allowed<Api::BeginPaint>(window, paint)) return nullptr;
    return standin::beginPaint(window, paint, dcOf(window));
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!allowed<Api::EndPaint>(window, paint)) return FALSE;
    return standin::findWindow(window) != nullptr && paint != nullptr;
}

// Nothing is drawn, so one format serves every request.
int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    if (!allowed<Api::ChoosePixelFormat>(dc, request)) return 0;
    return validDc(dc) && request != nullptr ? onlyPixelFormat : 0;
}

BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor) {
    if (!allowed<Api::SetPixelFormat>(dc, format, descriptor)) return FALSE;
    HWND window = windowOfDc(dc);
    if (window == nullptr || format != onlyPixelFormat) return FALSE;
    const int set = pixelFormatOf(window);
    if (set != 0) return set == format;
    state().pixelFormats[window] = format;
    return TRUE;
}

// Presenting is where a frame ends, so the script's messages for it arrive
// here, for the next look at the queue.
BOOL WINAPI SwapBuffers(HDC dc) {
    if (!allowed<Api::SwapBuffers>(dc)) return FALSE;
    HWND window = windowOfDc(dc);
    if (window == nullptr || pixelFormatOf(window) == 0) return FALSE;
    deliver(window, ++state().framesPresented);
    return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC dc) {
    if (!allowed<Api::wglCreateContext>(dc)) return nullptr;
    const int format = pixelFormatOf(windowOfDc(dc));
    if (format == 0) return nullptr;
    HGLRC context = handle<HGLRC>(state().nextContext++);
    state().contexts[context] = format;
    return context;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    if (!allowed<Api::wglMakeCurrent>(dc, context)) return FALSE;
    if (context == nullptr) return TRUE;
    const auto found = state().contexts.find(context);
    const int format = pixelFormatOf(windowOfDc(dc));
    return found != state().contexts.end() && format != 0 && found->second == format;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    if (!allowed<Api::wglDeleteContext>(context)) return FALSE;
    return state().contexts.erase(context) > 0;
}

// Standard error is all there is to show it on, and no one to dismiss it.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (!allowed<Api::MessageBoxA>(owner, text, caption, type)) return 0;
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
                 text != nullptr ? text : "");
    std::fflush(stderr);
    return IDOK;
}
