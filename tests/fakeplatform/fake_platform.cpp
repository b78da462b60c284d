#include "tests/fakeplatform/fake_platform.h"

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
// from window handles (1, 2, ...) so that a mixed-up handle is caught and
// reads well in a listing.
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
bool validDc(HDC dc) { return dc == handle<HDC>(screenDc) || standin::findWindow(windowOf(dc)); }

struct State {
    std::vector<Call> log;
    Script script;
    std::map<HDC, int> pixelFormats;
    std::map<HGLRC, HDC> contexts;
    std::uintptr_t nextContext = firstContext;
    HGLRC current = nullptr;
    int swaps = 0;
};

State& state() {
    static State theState;
    return theState;
}

// False when the call is scripted to fail.
bool record(const Call& call) {
    State& s = state();
    // Growth is the only allocation of recording; a large capacity up front
    // keeps it out of the frames that tests count allocations in.
    if (s.log.capacity() == 0) s.log.reserve(8192);
    s.log.push_back(call);
    return !s.script.failing.test(std::size_t(call.fn));
}

class Builder {
public:
    explicit Builder(Fn fn) { call.fn = fn; }
    Builder& integer(std::int64_t v) { return add(Kind::Int, v); }
    Builder& hex(std::uint64_t v) { return add(Kind::Hex, std::int64_t(v)); }
    Builder& pointer(const void* p) { return add(Kind::Handle, std::int64_t(bitsOf(p))); }
    Builder& message(UINT m) { return add(Kind::Message, m); }
    Builder& text(const char* s) {
        if (s == nullptr) return add(Kind::Text, -1);
        if (IS_INTRESOURCE(s)) return add(Kind::Resource, std::int64_t(bitsOf(s)));
        return bytes(Kind::Text, s, std::strlen(s) + 1);
    }
    Builder& descriptor(const PIXELFORMATDESCRIPTOR* d) {
        if (d == nullptr) return add(Kind::Descriptor, -1);
        return bytes(Kind::Descriptor, d, sizeof *d);
    }
    Builder& msg(HWND window, UINT m, WPARAM wParam, LPARAM lParam) {
        return pointer(window).message(m).integer(std::int64_t(wParam)).hex(std::uint64_t(lParam));
    }
    Builder& msg(const MSG* m) {
        return m == nullptr ? pointer(nullptr) : msg(m->hwnd, m->message, m->wParam, m->lParam);
    }
    // Both registrations: the fields they share, WNDCLASSEXA's size first
    // and its small icon last.
    template <typename C>
    Builder& windowClass(const C* c) {
        if (c == nullptr) return pointer(nullptr);
        if constexpr (std::is_same_v<C, WNDCLASSEXA>) integer(c->cbSize);
        hex(c->style).add(Kind::Handle,
                          std::int64_t(reinterpret_cast<std::uintptr_t>(c->lpfnWndProc)));
        integer(c->cbClsExtra).integer(c->cbWndExtra).pointer(c->hInstance).pointer(c->hIcon);
        pointer(c->hCursor).pointer(c->hbrBackground).text(c->lpszMenuName).text(c->lpszClassName);
        if constexpr (std::is_same_v<C, WNDCLASSEXA>) pointer(c->hIconSm);
        return *this;
    }
    operator Call() const { return call; }

private:
    Builder& add(Kind kind, std::int64_t value) {
        call.kinds[call.argCount] = kind;
        call.values[call.argCount++] = value;
        return *this;
    }
    Builder& bytes(Kind kind, const void* data, std::size_t size) {
        std::size_t offset = call.textSize;
        std::size_t kept = std::min(size, Call::textCapacity - offset);
        std::memcpy(call.text + offset, data, kept);
        if (kind == Kind::Text && kept > 0) call.text[offset + kept - 1] = '\0';
        call.textSize = std::uint8_t(offset + kept);
        return add(kind, std::int64_t(offset));
    }

    Call call;
};

bool observe(const standin::ApiCall& c) {
    using standin::Api;
    MSG m{c.window, c.message, c.wParam, c.lParam, 0, {0, 0}};
    switch (c.api) {
        case Api::RegisterClassA:
            return record(call::RegisterClassA(c.windowClass));
        case Api::RegisterClassExA:
            return record(call::RegisterClassExA(c.windowClassEx));
        case Api::PostMessageA:
            return record(call::PostMessageA(c.window, c.message, c.wParam, c.lParam));
        case Api::PostQuitMessage:
            return record(call::PostQuitMessage(int(c.wParam)));
        case Api::PeekMessageA:
            return record(
                call::PeekMessageA(nullptr, c.window, c.filterFirst, c.filterLast, c.removeFlags));
        case Api::GetMessageA:
            return record(call::GetMessageA(nullptr, c.window, c.filterFirst, c.filterLast));
        case Api::TranslateMessage:
            return record(call::TranslateMessage(&m));
        case Api::DispatchMessageA:
            return record(call::DispatchMessageA(&m));
        case Api::SendMessageA:
            return record(call::SendMessageA(c.window, c.message, c.wParam, c.lParam));
        case Api::DefWindowProcA:
            return record(call::DefWindowProcA(c.window, c.message, c.wParam, c.lParam));
    }
    return true;
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

struct Name {
    std::int64_t value;
    const char* name;
};
#define NAME(x) \
    Name { x, #x }
// The messages of window creation, destruction, painting and closing.
constexpr Name messageNames[] = {NAME(WM_NULL),          NAME(WM_CREATE),   NAME(WM_DESTROY),
                                 NAME(WM_MOVE),          NAME(WM_SIZE),     NAME(WM_PAINT),
                                 NAME(WM_CLOSE),         NAME(WM_QUIT),     NAME(WM_SHOWWINDOW),
                                 NAME(WM_GETMINMAXINFO), NAME(WM_NCCREATE), NAME(WM_NCDESTROY),
                                 NAME(WM_NCCALCSIZE)};
#undef NAME

void printDescriptor(std::ostream& out, const char* bytes) {
    PIXELFORMATDESCRIPTOR d;
    std::memcpy(&d, bytes, sizeof d);
    out << "{nSize=" << d.nSize << ", nVersion=" << d.nVersion << ", dwFlags=0x" << std::hex
        << d.dwFlags << std::dec << ", iPixelType=" << int(d.iPixelType);
    // Then only the fields that are set; the engine leaves most of them 0.
    const auto* b =
        reinterpret_cast<const unsigned char*>(&d) + offsetof(PIXELFORMATDESCRIPTOR, cColorBits);
    static const char* const names[] = {
        "cColorBits",    "cRedBits",        "cRedShift",      "cGreenBits",      "cGreenShift",
        "cBlueBits",     "cBlueShift",      "cAlphaBits",     "cAlphaShift",     "cAccumBits",
        "cAccumRedBits", "cAccumGreenBits", "cAccumBlueBits", "cAccumAlphaBits", "cDepthBits",
        "cStencilBits",  "cAuxBuffers",     "iLayerType",     "bReserved"};
    for (std::size_t i = 0; i < std::size(names); ++i)
        if (b[i] != 0) out << ", " << names[i] << '=' << int(b[i]);
    if (d.dwLayerMask | d.dwVisibleMask | d.dwDamageMask)
        out << ", masks=0x" << std::hex << d.dwLayerMask << "/0x" << d.dwVisibleMask << "/0x"
            << d.dwDamageMask << std::dec;
    out << '}';
}

}  // namespace

bool operator==(const Call& a, const Call& b) {
    return a.fn == b.fn && a.argCount == b.argCount && a.textSize == b.textSize &&
           std::equal(a.kinds, a.kinds + a.argCount, b.kinds) &&
           std::equal(a.values, a.values + a.argCount, b.values) &&
           std::memcmp(a.text, b.text, a.textSize) == 0;
}

std::ostream& operator<<(std::ostream& out, const Call& c) {
#define FAKEPLATFORM_NAME(name, ...) #name,
    static const char* const names[] = {FAKEPLATFORM_CALLS(FAKEPLATFORM_NAME)};
#undef FAKEPLATFORM_NAME
    out << names[std::size_t(c.fn)] << '(';
    for (std::size_t i = 0; i < c.argCount; ++i) {
        if (i > 0) out << ", ";
        const std::int64_t v = c.values[i];
        const Kind kind = c.kinds[i];
        const Name* name = std::find_if(std::begin(messageNames), std::end(messageNames),
                                        [v](const Name& n) { return n.value == v; });
        if (kind == Kind::Int) {
            out << v;
        } else if ((kind == Kind::Handle && v == 0) ||
                   ((kind == Kind::Text || kind == Kind::Descriptor) && v < 0)) {
            out << "NULL";
        } else if (kind == Kind::Message && name != std::end(messageNames)) {
            out << name->name;
        } else if (kind == Kind::Text) {
            out << '"' << c.textArg(i) << '"';
        } else if (kind == Kind::Resource) {
            out << '#' << v;
        } else if (kind == Kind::Descriptor) {
            printDescriptor(out, c.text + v);
        } else {
            out << "0x" << std::hex << std::uint64_t(v) << std::dec;
        }
    }
    return out << ')';
}

std::string format(const Call& call) {
    std::ostringstream out;
    out << call;
    return out.str();
}

void PrintTo(const Call& call, std::ostream* out) { *out << call; }

Script& script() { return state().script; }

void reset() {
    std::vector<Call> log = std::move(state().log);
    log.clear();  // keeps its capacity
    state() = State{};
    state().log = std::move(log);
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

HGLRC currentContext() { return state().current; }

int pixelFormat(HDC dc) {
    auto it = state().pixelFormats.find(dc);
    return it == state().pixelFormats.end() ? 0 : it->second;
}

namespace call {
#define FAKEPLATFORM_DEFINE(name, params, ...) \
    Call name params { return Builder(Fn::name) __VA_ARGS__; }
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

HDC WINAPI GetDC(HWND hWnd) {
    if (!record(call::GetDC(hWnd))) return nullptr;
    if (hWnd == nullptr) return handle<HDC>(screenDc);
    return standin::findWindow(hWnd) != nullptr ? dcOf(hWnd) : nullptr;
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    if (!record(call::ReleaseDC(hWnd, hDC))) return 0;
    return validDc(hDC) && (hWnd == nullptr ? hDC == handle<HDC>(screenDc) : hDC == dcOf(hWnd));
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
    if (!record(call::EndPaint(hWnd, lpPaint))) return FALSE;
    return TRUE;
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
    if (++state().swaps == state().script.closeAfterSwaps && hdc != handle<HDC>(screenDc)) {
        deliver(windowOf(hdc), WM_CLOSE);
    }
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
    if (!record(call::wglMakeCurrent(hdc, hglrc))) return FALSE;
    if (hglrc == nullptr) {
        state().current = nullptr;
        return TRUE;
    }
    if (!state().contexts.contains(hglrc) || pixelFormat(hdc) == 0) return FALSE;
    state().current = hglrc;
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC hglrc) {
    if (!record(call::wglDeleteContext(hglrc))) return FALSE;
    if (state().contexts.erase(hglrc) == 0) return FALSE;
    if (state().current == hglrc) state().current = nullptr;
    return TRUE;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (!record(call::MessageBoxA(hWnd, lpText, lpCaption, uType))) return 0;
    return IDOK;
}

// The program is the only module.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (!record(call::GetModuleHandleA(lpModuleName))) return nullptr;
    return lpModuleName == nullptr ? handle<HMODULE>(moduleHandle) : nullptr;
}

// Only the system's stock icons and cursors exist (no instance, a number).
HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (!record(call::LoadIconA(hInstance, lpIconName))) return nullptr;
    if (hInstance != nullptr || !IS_INTRESOURCE(lpIconName)) return nullptr;
    return handle<HICON>(stockIconBase + bitsOf(lpIconName));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    if (!record(call::LoadCursorA(hInstance, lpCursorName))) return nullptr;
    if (hInstance != nullptr || !IS_INTRESOURCE(lpCursorName)) return nullptr;
    return handle<HCURSOR>(stockCursorBase + bitsOf(lpCursorName));
}
