#include "tests/fakeplatform/fake_platform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <ostream>
#include <sstream>

#include "platform/standin.h"

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

bool failing(Fn fn) { return state().script.failing.test(std::size_t(fn)); }

// False when the call is scripted to fail.
bool record(const Call& call) {
    State& s = state();
    // Growth is the only allocation of recording; a large capacity up front
    // keeps it out of the frames that tests count allocations in.
    if (s.log.capacity() == 0) s.log.reserve(8192);
    s.log.push_back(call);
    return !failing(call.fn);
}

class Builder {
public:
    explicit Builder(Fn fn) { call.fn = fn; }
    Builder& integer(std::int64_t v) { return add(Kind::Int, v); }
    Builder& hex(std::uint64_t v) { return add(Kind::Hex, std::int64_t(v)); }
    Builder& pointer(const void* p) { return add(Kind::Handle, std::int64_t(bitsOf(p))); }
    template <typename F>
    Builder& procedure(F* f) {
        return add(Kind::Handle, std::int64_t(reinterpret_cast<std::uintptr_t>(f)));
    }
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
    Builder& msg(const MSG* m) {
        if (m == nullptr) return pointer(nullptr);
        return pointer(m->hwnd)
            .message(m->message)
            .integer(std::int64_t(m->wParam))
            .hex(std::uint64_t(m->lParam));
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
        std::size_t room = Call::textCapacity - offset;
        std::size_t kept = std::min(size, room);
        std::memcpy(call.text + offset, data, kept);
        if (kind == Kind::Text && kept > 0) call.text[offset + kept - 1] = '\0';
        call.textSize = std::uint8_t(offset + kept);
        return add(kind, std::int64_t(offset));
    }

    Call call;
};

Builder wndclass(Builder b, const WNDCLASSA& c) {
    b.hex(c.style).procedure(c.lpfnWndProc).integer(c.cbClsExtra).integer(c.cbWndExtra);
    b.pointer(c.hInstance).pointer(c.hIcon).pointer(c.hCursor).pointer(c.hbrBackground);
    b.text(c.lpszMenuName).text(c.lpszClassName);
    return b;
}

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

const char* messageName(std::int64_t m) {
    switch (m) {
#define NAME(x) \
    case x:     \
        return #x;
        NAME(WM_NULL)
        NAME(WM_CREATE)
        NAME(WM_DESTROY)
        NAME(WM_MOVE)
        NAME(WM_SIZE)
        NAME(WM_ACTIVATE)
        NAME(WM_SETFOCUS)
        NAME(WM_KILLFOCUS)
        NAME(WM_PAINT)
        NAME(WM_CLOSE)
        NAME(WM_QUIT)
        NAME(WM_ERASEBKGND)
        NAME(WM_SHOWWINDOW)
        NAME(WM_GETMINMAXINFO)
        NAME(WM_NCCREATE)
        NAME(WM_NCDESTROY)
        NAME(WM_NCCALCSIZE)
        NAME(WM_KEYDOWN)
        NAME(WM_KEYUP)
        NAME(WM_CHAR)
        NAME(WM_SYSKEYDOWN)
        NAME(WM_SYSKEYUP)
#undef NAME
        default:
            return nullptr;
    }
}

void printDescriptor(std::ostream& out, const PIXELFORMATDESCRIPTOR& d) {
    // Only the fields that are set; the engine leaves most of them 0.
    out << "{nSize=" << d.nSize << ", nVersion=" << d.nVersion << ", dwFlags=0x" << std::hex
        << d.dwFlags << std::dec << ", iPixelType=" << int(d.iPixelType);
    const auto* b =
        reinterpret_cast<const unsigned char*>(&d) + offsetof(PIXELFORMATDESCRIPTOR, cColorBits);
    static const char* const names[] = {
        "cColorBits",    "cRedBits",        "cRedShift",      "cGreenBits",      "cGreenShift",
        "cBlueBits",     "cBlueShift",      "cAlphaBits",     "cAlphaShift",     "cAccumBits",
        "cAccumRedBits", "cAccumGreenBits", "cAccumBlueBits", "cAccumAlphaBits", "cDepthBits",
        "cStencilBits",  "cAuxBuffers",     "iLayerType",     "bReserved"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (b[i] != 0) out << ", " << names[i] << '=' << int(b[i]);
    }
    if (d.dwLayerMask) out << ", dwLayerMask=0x" << std::hex << d.dwLayerMask << std::dec;
    if (d.dwVisibleMask) out << ", dwVisibleMask=0x" << std::hex << d.dwVisibleMask << std::dec;
    if (d.dwDamageMask) out << ", dwDamageMask=0x" << std::hex << d.dwDamageMask << std::dec;
    out << '}';
}

}  // namespace

const char* Call::textArg(std::size_t i) const {
    return values[i] < 0 ? nullptr : text + values[i];
}

PIXELFORMATDESCRIPTOR Call::descriptorArg(std::size_t i) const {
    PIXELFORMATDESCRIPTOR d{};
    if (values[i] >= 0) {
        std::memcpy(&d, text + values[i], std::min(sizeof d, textCapacity - values[i]));
    }
    return d;
}

bool operator==(const Call& a, const Call& b) {
    return a.fn == b.fn && a.argCount == b.argCount && a.textSize == b.textSize &&
           std::equal(a.kinds, a.kinds + a.argCount, b.kinds) &&
           std::equal(a.values, a.values + a.argCount, b.values) &&
           std::memcmp(a.text, b.text, a.textSize) == 0;
}

const char* fnName(Fn fn) {
    static const char* const names[] = {"CreateWindowExA",
                                        "DestroyWindow",
                                        "ShowWindow",
                                        "UpdateWindow",
                                        "GetDC",
                                        "ReleaseDC",
                                        "BeginPaint",
                                        "EndPaint",
                                        "ChoosePixelFormat",
                                        "SetPixelFormat",
                                        "SwapBuffers",
                                        "wglCreateContext",
                                        "wglMakeCurrent",
                                        "wglDeleteContext",
                                        "MessageBoxA",
                                        "GetModuleHandleA",
                                        "LoadIconA",
                                        "LoadCursorA",
                                        "RegisterClassA",
                                        "RegisterClassExA",
                                        "PostMessageA",
                                        "PostQuitMessage",
                                        "PeekMessageA",
                                        "GetMessageA",
                                        "TranslateMessage",
                                        "DispatchMessageA",
                                        "SendMessageA",
                                        "DefWindowProcA"};
    static_assert(std::size(names) == fnCount);
    return std::size_t(fn) < fnCount ? names[std::size_t(fn)] : "?";
}

std::ostream& operator<<(std::ostream& out, const Call& c) {
    out << fnName(c.fn) << '(';
    for (std::size_t i = 0; i < c.argCount; ++i) {
        if (i > 0) out << ", ";
        std::int64_t v = c.values[i];
        switch (c.kinds[i]) {
            case Kind::Int:
                out << v;
                break;
            case Kind::Hex:
                out << "0x" << std::hex << std::uint64_t(v) << std::dec;
                break;
            case Kind::Handle:
                if (v == 0) {
                    out << "NULL";
                } else {
                    out << "0x" << std::hex << std::uint64_t(v) << std::dec;
                }
                break;
            case Kind::Message:
                if (const char* name = messageName(v)) {
                    out << name;
                } else {
                    out << "0x" << std::hex << v << std::dec;
                }
                break;
            case Kind::Text:
                if (v < 0) {
                    out << "NULL";
                } else {
                    out << '"' << c.textArg(i) << '"';
                }
                break;
            case Kind::Resource:
                out << '#' << v;
                break;
            case Kind::Descriptor:
                if (v < 0) {
                    out << "NULL";
                } else {
                    printDescriptor(out, c.descriptorArg(i));
                }
                break;
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
    State& s = state();
    s.log.clear();  // keeps its capacity
    s.script = Script{};
    s.pixelFormats.clear();
    s.contexts.clear();
    s.nextContext = firstContext;
    s.current = nullptr;
    s.swaps = 0;
    standin::reset();
    install();
}

const std::vector<Call>& calls() { return state().log; }

std::vector<Call> callsTo(std::initializer_list<Fn> fns) {
    std::vector<Call> kept;
    for (const Call& c : state().log) {
        if (std::find(fns.begin(), fns.end(), c.fn) != fns.end()) kept.push_back(c);
    }
    return kept;
}

std::size_t count(Fn fn) {
    const auto& log = state().log;
    return std::size_t(
        std::count_if(log.begin(), log.end(), [fn](const Call& c) { return c.fn == fn; }));
}

std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected) {
    std::size_t first = 0;
    while (first < actual.size() && first < expected.size() && actual[first] == expected[first]) {
        ++first;
    }
    if (first == actual.size() && first == expected.size()) return "";
    std::ostringstream out;
    out << actual.size() << " calls, expected " << expected.size() << "; first difference at "
        << first << '\n';
    std::size_t from = first < 3 ? 0 : first - 3;
    auto list = [&](const char* title, const std::vector<Call>& calls) {
        out << title << ":\n";
        for (std::size_t i = from; i < calls.size() && i < first + 4; ++i) {
            out << (i == first ? "> " : "  ") << i << ' ' << calls[i] << '\n';
        }
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

Call CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
    Builder b(Fn::CreateWindowExA);
    b.hex(dwExStyle).text(lpClassName).text(lpWindowName).hex(dwStyle);
    b.integer(X).integer(Y).integer(nWidth).integer(nHeight);
    b.pointer(hWndParent).pointer(hMenu).pointer(hInstance).pointer(lpParam);
    return b;
}
Call DestroyWindow(HWND hWnd) { return Builder(Fn::DestroyWindow).pointer(hWnd); }
Call ShowWindow(HWND hWnd, int nCmdShow) {
    return Builder(Fn::ShowWindow).pointer(hWnd).integer(nCmdShow);
}
Call UpdateWindow(HWND hWnd) { return Builder(Fn::UpdateWindow).pointer(hWnd); }
Call GetDC(HWND hWnd) { return Builder(Fn::GetDC).pointer(hWnd); }
Call ReleaseDC(HWND hWnd, HDC hDC) { return Builder(Fn::ReleaseDC).pointer(hWnd).pointer(hDC); }
Call BeginPaint(HWND hWnd, LPPAINTSTRUCT) { return Builder(Fn::BeginPaint).pointer(hWnd); }
Call EndPaint(HWND hWnd, const PAINTSTRUCT*) { return Builder(Fn::EndPaint).pointer(hWnd); }
Call ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* ppfd) {
    return Builder(Fn::ChoosePixelFormat).pointer(hdc).descriptor(ppfd);
}
Call SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* ppfd) {
    return Builder(Fn::SetPixelFormat).pointer(hdc).integer(format).descriptor(ppfd);
}
Call SwapBuffers(HDC hdc) { return Builder(Fn::SwapBuffers).pointer(hdc); }
Call wglCreateContext(HDC hdc) { return Builder(Fn::wglCreateContext).pointer(hdc); }
Call wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    return Builder(Fn::wglMakeCurrent).pointer(hdc).pointer(hglrc);
}
Call wglDeleteContext(HGLRC hglrc) { return Builder(Fn::wglDeleteContext).pointer(hglrc); }
Call MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    return Builder(Fn::MessageBoxA).pointer(hWnd).text(lpText).text(lpCaption).hex(uType);
}
Call GetModuleHandleA(LPCSTR lpModuleName) {
    return Builder(Fn::GetModuleHandleA).text(lpModuleName);
}
Call LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    return Builder(Fn::LoadIconA).pointer(hInstance).text(lpIconName);
}
Call LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    return Builder(Fn::LoadCursorA).pointer(hInstance).text(lpCursorName);
}
Call RegisterClassA(const WNDCLASSA* c) {
    if (c == nullptr) return Builder(Fn::RegisterClassA).pointer(nullptr);
    return wndclass(Builder(Fn::RegisterClassA), *c);
}
Call RegisterClassExA(const WNDCLASSEXA* c) {
    Builder b(Fn::RegisterClassExA);
    if (c == nullptr) return b.pointer(nullptr);
    b.integer(c->cbSize);
    WNDCLASSA a{c->style, c->lpfnWndProc, c->cbClsExtra,    c->cbWndExtra,   c->hInstance,
                c->hIcon, c->hCursor,     c->hbrBackground, c->lpszMenuName, c->lpszClassName};
    return wndclass(b, a).pointer(c->hIconSm);
}
Call PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return Builder(Fn::PostMessageA)
        .pointer(hWnd)
        .message(Msg)
        .integer(std::int64_t(wParam))
        .hex(std::uint64_t(lParam));
}
Call PostQuitMessage(int nExitCode) { return Builder(Fn::PostQuitMessage).integer(nExitCode); }
Call PeekMessageA(LPMSG, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    return Builder(Fn::PeekMessageA)
        .pointer(hWnd)
        .message(wMsgFilterMin)
        .message(wMsgFilterMax)
        .hex(wRemoveMsg);
}
Call GetMessageA(LPMSG, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    return Builder(Fn::GetMessageA).pointer(hWnd).message(wMsgFilterMin).message(wMsgFilterMax);
}
Call TranslateMessage(const MSG* lpMsg) { return Builder(Fn::TranslateMessage).msg(lpMsg); }
Call DispatchMessageA(const MSG* lpMsg) { return Builder(Fn::DispatchMessageA).msg(lpMsg); }
Call SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return Builder(Fn::SendMessageA)
        .pointer(hWnd)
        .message(Msg)
        .integer(std::int64_t(wParam))
        .hex(std::uint64_t(lParam));
}
Call DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return Builder(Fn::DefWindowProcA)
        .pointer(hWnd)
        .message(Msg)
        .integer(std::int64_t(wParam))
        .hex(std::uint64_t(lParam));
}

}  // namespace call

}  // namespace fakeplatform

// The window calls.

using namespace fakeplatform;

namespace {
State& fake() { return state(); }
}  // namespace

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
    const Script& s = fake().script;
    int clientWidth = std::max(0, nWidth - (framed ? s.frameWidth : 0));
    int clientHeight = std::max(0, nHeight - (framed ? s.frameHeight : 0));
    return standin::createWindow(create, clientWidth, clientHeight, 0);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    if (!record(call::DestroyWindow(hWnd))) return FALSE;
    if (standin::findWindow(hWnd) == nullptr) return FALSE;
    fake().pixelFormats.erase(dcOf(hWnd));
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
    return validDc(hdc) && ppfd != nullptr ? fake().script.chosenPixelFormat : 0;
}

// A window's pixel format can be set once, as on Windows.
BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* ppfd) {
    if (!record(call::SetPixelFormat(hdc, format, ppfd))) return FALSE;
    if (!validDc(hdc) || format <= 0 || pixelFormat(hdc) != 0) return FALSE;
    fake().pixelFormats[hdc] = format;
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC hdc) {
    if (!record(call::SwapBuffers(hdc))) return FALSE;
    if (!validDc(hdc)) return FALSE;
    if (++fake().swaps == fake().script.closeAfterSwaps && hdc != handle<HDC>(screenDc)) {
        deliver(windowOf(hdc), WM_CLOSE);
    }
    return TRUE;
}

// As on Windows, a context needs a device context with a pixel format.
HGLRC WINAPI wglCreateContext(HDC hdc) {
    if (!record(call::wglCreateContext(hdc))) return nullptr;
    if (pixelFormat(hdc) == 0) return nullptr;
    HGLRC context = handle<HGLRC>(fake().nextContext++);
    fake().contexts[context] = hdc;
    return context;
}

BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    if (!record(call::wglMakeCurrent(hdc, hglrc))) return FALSE;
    if (hglrc == nullptr) {
        fake().current = nullptr;
        return TRUE;
    }
    if (!fake().contexts.contains(hglrc) || pixelFormat(hdc) == 0) return FALSE;
    fake().current = hglrc;
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC hglrc) {
    if (!record(call::wglDeleteContext(hglrc))) return FALSE;
    if (fake().contexts.erase(hglrc) == 0) return FALSE;
    if (fake().current == hglrc) fake().current = nullptr;
    return TRUE;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (!record(call::MessageBoxA(hWnd, lpText, lpCaption, uType))) return 0;
    return fake().script.messageBoxResult;
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
