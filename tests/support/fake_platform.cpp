#include "tests/support/fake_platform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <ostream>
#include <sstream>
#include <type_traits>

#include "gloam/platform/standin.h"

using namespace gloam;

namespace fakeplatform {

namespace {

// Handles of the fake's own objects, numbered apart from each other and
// from window handles (1, 2, ...) so that a mixed-up handle is caught.
constexpr std::uintptr_t screenDc = 0xDC00;
constexpr std::uintptr_t firstContext = 0x6C00;
constexpr std::uintptr_t moduleHandle = 0x400000;
constexpr std::uintptr_t stockIconBase = 0x1C00000;
constexpr std::uintptr_t stockCursorBase = 0xC500000;
constexpr int chosenPixelFormat = 7;
constexpr int frameWidth = 16, frameHeight = 39;

template <typename H>
H handle(std::uintptr_t value) {
    return reinterpret_cast<H>(value);
}
std::uintptr_t bitsOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// A window's own device context (every window behaves as CS_OWNDC).
HDC dcOf(HWND window) { return handle<HDC>(screenDc + bitsOf(window)); }
HWND windowOf(HDC dc) { return handle<HWND>(bitsOf(dc) - screenDc); }
bool validDc(HDC dc) { return standin::findWindow(windowOf(dc)) != nullptr; }

struct State {
    std::vector<Call> log;
    Script script;
    std::map<HDC, int> pixelFormats;
    std::map<HGLRC, HDC> contexts;
    std::uintptr_t nextContext = firstContext;
    int swaps = 0;
};

State& state() {
    static State theState;
    return theState;
}
int pixelFormat(HDC dc) { return state().pixelFormats.contains(dc) ? state().pixelFormats[dc] : 0; }

// False when the call is scripted to fail.
bool record(const Call& call) {
    State& s = state();
    s.log.push_back(call);
    return !s.script.failing.test(std::size_t(call.fn));
}

void put(std::ostream& out, const char* s) {
    if (s == nullptr) {
        out << "NULL";
    } else if (IS_INTRESOURCE(s)) {
        out << '#' << bitsOf(s);
    } else {
        out << '"' << s << '"';
    }
}
template <typename T>
void put(std::ostream& out, T value) {
    if constexpr (std::is_pointer_v<T>) {
        out << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(value) << std::dec;
    } else {
        out << value;
    }
}
// The bytes in hex: the engine leaves most fields 0.
void put(std::ostream& out, const PIXELFORMATDESCRIPTOR* d) {
    if (d == nullptr) return void(out << "NULL");
    out << std::hex;
    for (std::size_t k = 0; k < sizeof *d; ++k)
        out << (k == 0 ? "{" : " ") << int(reinterpret_cast<const unsigned char*>(d)[k]);
    out << std::dec << '}';
}
void put(std::ostream& out, const WNDCLASSA* c);

template <typename... Args>
std::string joined(const Args&... args) {
    std::ostringstream out;
    const char* separator = "";
    ((out << separator, put(out, args), separator = ", "), ...);
    return out.str();
}

void put(std::ostream& out, const WNDCLASSA* c) {
    if (c == nullptr) return void(out << "NULL");
    out << '{'
        << joined(c->style, c->lpfnWndProc, c->cbClsExtra, c->cbWndExtra, c->hInstance, c->hIcon,
                  c->hCursor, c->hbrBackground, c->lpszMenuName, c->lpszClassName)
        << '}';
}

struct Maker {
    Fn fn;
    template <typename... Args>
    Call operator()(const Args&... args) const {
        return {fn, joined(args...)};
    }
};

bool observe(const standin::ApiCall& c) {
    using standin::Api;
    switch (c.api) {
        case Api::RegisterClassA:
            return record(call::RegisterClassA(c.windowClass));
        case Api::PostMessageA:
            return record(call::PostMessageA(c.window, c.message, c.wParam, c.lParam));
        case Api::PostQuitMessage:
            return record(call::PostQuitMessage(int(c.wParam)));
        case Api::SendMessageA:
            return record(call::SendMessageA(c.window, c.message, c.wParam, c.lParam));
        default:
            return true;
    }
}

// Nothing arrives on its own: tests post or send what the window system
// would deliver.
class FakeSystem final : public standin::WindowSystem {
public:
    bool collectEvents(bool) override { return false; }
    BOOL destroyWindow(HWND window) override { return ::DestroyWindow(window); }
};
FakeSystem theSystem;

void install() {
    standin::setWindowSystem(&theSystem);
    standin::setObserver(&observe);
}

// Posts as the window system does when the user acts: the message joins the
// queue but is not logged, since the code under test made no call.
void deliver(HWND window, UINT message) {
    standin::setObserver(nullptr);
    ::PostMessageA(window, message, 0, 0);
    standin::setObserver(&observe);
}

// Linking the fake is enough to install it; reset() installs it again.
const bool installed = (install(), true);

}  // namespace

std::string format(const Call& call) {
#define FAKEPLATFORM_NAME(name, ...) #name,
    static const char* const names[] = {FAKEPLATFORM_CALLS(FAKEPLATFORM_NAME)};
#undef FAKEPLATFORM_NAME
    return names[std::size_t(call.fn)] + ('(' + call.args + ')');
}

std::ostream& operator<<(std::ostream& out, const Call& call) { return out << format(call); }
void PrintTo(const Call& call, std::ostream* out) { *out << call; }

Script& script() { return state().script; }

void reset() {
    state() = State{};
    standin::reset();
    install();
}

const std::vector<Call>& calls() { return state().log; }

std::vector<Call> callsTo(std::initializer_list<Fn> fns) {
    std::vector<Call> kept;
    for (const Call& c : state().log)
        if (std::find(fns.begin(), fns.end(), c.fn) != fns.end()) kept.push_back(c);
    return kept;
}

std::size_t count(Fn fn) { return callsTo({fn}).size(); }

std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected) {
    const std::size_t first = std::size_t(
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
        actual.begin());
    if (first == actual.size() && first == expected.size()) return "";
    std::ostringstream out;
    out << actual.size() << " calls, expected " << expected.size() << "; first difference at "
        << first << '\n';
    auto list = [&](const char* title, const std::vector<Call>& calls) {
        out << title << ":\n";
        for (std::size_t i = first < 3 ? 0 : first - 3; i < calls.size() && i < first + 4; ++i)
            out << (i == first ? "> " : "  ") << i << ' ' << calls[i] << '\n';
    };
    list("actual", actual);
    list("expected", expected);
    return out.str();
}

HGLRC lastContext() {
    return state().nextContext == firstContext ? nullptr : handle<HGLRC>(state().nextContext - 1);
}

namespace call {
#define FAKEPLATFORM_DEFINE(name, params, args) \
    Call name params { return Maker{Fn::name} args; }
FAKEPLATFORM_CALLS(FAKEPLATFORM_DEFINE)
#undef FAKEPLATFORM_DEFINE
}  // namespace call

}  // namespace fakeplatform

// The window calls.

using namespace fakeplatform;

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    if (!record(call::CreateWindowExA(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth,
                                      nHeight, hWndParent, hMenu, hInstance, lpParam))) {
        return nullptr;
    }
    CREATESTRUCTA create{lpParam, hInstance, hMenu,         hWndParent,   nHeight,     nWidth,
                         Y,       X,         LONG(dwStyle), lpWindowName, lpClassName, dwExStyle};
    bool framed = (dwStyle & (WS_CAPTION | WS_THICKFRAME)) != 0;
    int clientWidth = std::max(0, nWidth - (framed ? frameWidth : 0));
    int clientHeight = std::max(0, nHeight - (framed ? frameHeight : 0));
    return standin::createWindow(create, clientWidth, clientHeight, 0);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    if (!record(call::DestroyWindow(hWnd))) return FALSE;
    if (standin::findWindow(hWnd) == nullptr) return FALSE;
    state().pixelFormats.erase(dcOf(hWnd));
    return standin::destroyWindow(hWnd);
}

// Shows or hides the window with WM_SHOWWINDOW; showing it leaves it in need
// of a paint, which UpdateWindow or the message loop then delivers.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    if (!record(call::ShowWindow(hWnd, nCmdShow))) return FALSE;
    standin::WindowRecord* w = standin::findWindow(hWnd);
    if (w == nullptr) return FALSE;
    bool wasVisible = w->visible;
    bool show = nCmdShow != SW_HIDE;
    if (show != wasVisible) {
        w->visible = show;
        standin::callProcedure(hWnd, WM_SHOWWINDOW, show, 0);
        if (show) standin::invalidate(hWnd);
    }
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    if (!record(call::UpdateWindow(hWnd))) return FALSE;
    standin::WindowRecord* w = standin::findWindow(hWnd);
    if (w == nullptr) return FALSE;
    if (w->needsPaint) standin::callProcedure(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    return record(call::SetWindowTextA(hWnd, lpString)) && standin::findWindow(hWnd) != nullptr;
}

HDC WINAPI GetDC(HWND hWnd) {
    if (!record(call::GetDC(hWnd))) return nullptr;
    return standin::findWindow(hWnd) != nullptr ? dcOf(hWnd) : nullptr;
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    if (!record(call::ReleaseDC(hWnd, hDC))) return 0;
    return validDc(hDC) && hDC == dcOf(hWnd);
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (!record(call::BeginPaint(hWnd, lpPaint))) return nullptr;
    standin::WindowRecord* w = standin::findWindow(hWnd);
    if (w == nullptr || lpPaint == nullptr) return nullptr;
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = dcOf(hWnd);
    lpPaint->rcPaint = {0, 0, w->clientWidth, w->clientHeight};
    standin::validate(hWnd);
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    return record(call::EndPaint(hWnd, lpPaint));
}

int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* ppfd) {
    if (!record(call::ChoosePixelFormat(hdc, ppfd))) return 0;
    return validDc(hdc) && ppfd != nullptr ? chosenPixelFormat : 0;
}

// A window's pixel format can be set once, as on Windows.
BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* ppfd) {
    if (!record(call::SetPixelFormat(hdc, format, ppfd))) return FALSE;
    if (!validDc(hdc) || format <= 0 || pixelFormat(hdc) != 0) return FALSE;
    state().pixelFormats[hdc] = format;
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC hdc) {
    if (!record(call::SwapBuffers(hdc))) return FALSE;
    if (!validDc(hdc)) return FALSE;
    if (++state().swaps == state().script.closeAfterSwaps) deliver(windowOf(hdc), WM_CLOSE);
    return TRUE;
}

// As on Windows, a context needs a device context with a pixel format.
HGLRC WINAPI wglCreateContext(HDC hdc) {
    if (!record(call::wglCreateContext(hdc))) return nullptr;
    if (pixelFormat(hdc) == 0) return nullptr;
    HGLRC context = handle<HGLRC>(state().nextContext++);
    state().contexts[context] = hdc;
    return context;
}

BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    return record(call::wglMakeCurrent(hdc, hglrc)) &&
           (hglrc == nullptr || (state().contexts.contains(hglrc) && pixelFormat(hdc) != 0));
}

BOOL WINAPI wglDeleteContext(HGLRC hglrc) {
    return record(call::wglDeleteContext(hglrc)) && state().contexts.erase(hglrc) > 0;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    return record(call::MessageBoxA(hWnd, lpText, lpCaption, uType)) ? IDOK : 0;
}

// The program is the only module, and only the system's stock icons and
// cursors are asked for.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    return record(call::GetModuleHandleA(lpModuleName)) ? handle<HMODULE>(moduleHandle) : nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    return record(call::LoadIconA(hInstance, lpIconName))
               ? handle<HICON>(stockIconBase + bitsOf(lpIconName))
               : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    return record(call::LoadCursorA(hInstance, lpCursorName))
               ? handle<HCURSOR>(stockCursorBase + bitsOf(lpCursorName))
               : nullptr;
}
