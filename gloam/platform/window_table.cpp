// Window classes and window records, and the calls that reach a window
// procedure directly.

#include <strings.h>
#include <cstring>

#include "gloam/platform/desktop.h"

namespace gloam::standin {

namespace {

// Windows numbers registered classes from 0xC000 up; the range keeps an atom
// apart from a string pointer once cast (MAKEINTATOM).
constexpr ATOM firstAtom = 0xC000;

HWND handleOf(std::size_t index) { return reinterpret_cast<HWND>(index + 1); }

ATOM registerClass(const WNDCLASSEXA& description) {
    Desktop& d = desktop();
    const char* name = description.lpszClassName;
    if (name == nullptr || IS_INTRESOURCE(name) || *name == '\0') return 0;
    if (findClass(name) != nullptr) return 0;
    if (d.classes.size() >= std::size_t(0x10000 - firstAtom)) return 0;
    WindowClass& c = d.classes.emplace_back();
    c.name = name;
    c.atom = ATOM(firstAtom + d.classes.size() - 1);
    c.style = description.style;
    c.procedure = description.lpfnWndProc;
    c.instance = description.hInstance;
    c.icon = description.hIcon;
    c.cursor = description.hCursor;
    c.background = description.hbrBackground;
    return c.atom;
}

// Windows sends WM_DESTROY to a parent before its children, and WM_NCDESTROY
// to the children before the parent. Indices, not iterators: a procedure
// may create windows while it is told of a destruction.
void sendDestroyMessages(HWND window) {
    callProcedure(window, WM_DESTROY, 0, 0);
    auto& windows = desktop().windows;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (windows[i] != nullptr && windows[i]->parent == window) sendDestroyMessages(handleOf(i));
    }
    callProcedure(window, WM_NCDESTROY, 0, 0);
}

void forget(HWND window) {
    Desktop& d = desktop();
    for (std::size_t i = 0; i < d.windows.size(); ++i) {
        if (d.windows[i] != nullptr && d.windows[i]->parent == window) forget(handleOf(i));
    }
    std::erase_if(d.posted, [window](const MSG& m) { return m.hwnd == window; });
    std::erase_if(d.input, [window](const MSG& m) { return m.hwnd == window; });
    d.windows[reinterpret_cast<std::uintptr_t>(window) - 1].reset();
}

}  // namespace

LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = findWindow(window);
    if (record == nullptr || record->procedure == nullptr) return 0;
    return record->procedure(window, message, wParam, lParam);
}

Desktop& desktop() {
    static Desktop theDesktop;
    return theDesktop;
}

void setWindowSystem(WindowSystem* system) { desktop().system = system; }
void setObserver(Observer observer) { desktop().observer = observer; }
Observer observer() { return desktop().observer; }
void reset() { desktop() = Desktop{}; }

const WindowClass* findClass(LPCSTR nameOrAtom) {
    if (nameOrAtom == nullptr) return nullptr;
    for (const WindowClass& c : desktop().classes) {
        if (IS_INTRESOURCE(nameOrAtom) ? c.atom == reinterpret_cast<std::uintptr_t>(nameOrAtom)
                                       : strcasecmp(c.name.c_str(), nameOrAtom) == 0) {
            return &c;
        }
    }
    return nullptr;
}

WindowRecord* findWindow(HWND window) {
    auto index = reinterpret_cast<std::uintptr_t>(window);
    auto& windows = desktop().windows;
    if (index == 0 || index > windows.size()) return nullptr;
    return windows[index - 1].get();
}

bool isWithin(HWND window, HWND ancestor) {
    for (const WindowRecord* r = findWindow(window); r != nullptr; r = findWindow(r->parent)) {
        if (r->handle == ancestor) return true;
    }
    return false;
}

HWND createWindow(const CREATESTRUCTA& create, int clientWidth, int clientHeight,
                  std::uintptr_t native) {
    const WindowClass* windowClass = findClass(create.lpszClass);
    if (windowClass == nullptr) return nullptr;
    Desktop& d = desktop();
    HWND window = handleOf(d.windows.size());
    auto& record = *d.windows.emplace_back(std::make_unique<WindowRecord>());
    record.handle = window;
    record.windowClass = windowClass;
    record.procedure = windowClass->procedure;
    record.parent = create.hwndParent;
    record.style = DWORD(create.style);
    record.exStyle = create.dwExStyle;
    record.title = create.lpszName != nullptr ? create.lpszName : "";
    record.rect = {create.x, create.y, create.x + create.cx, create.y + create.cy};
    record.clientWidth = clientWidth;
    record.clientHeight = clientHeight;
    record.visible = (create.style & WS_VISIBLE) != 0;
    record.native = native;

    // The procedure may keep the structure's address for the length of the
    // call only, so one copy serves both creation messages.
    CREATESTRUCTA params = create;
    auto lParamOf = [](auto* p) { return reinterpret_cast<LPARAM>(p); };
    MINMAXINFO limits{};  // the stand-in imposes no limits of its own
    callProcedure(window, WM_GETMINMAXINFO, 0, lParamOf(&limits));
    if (!callProcedure(window, WM_NCCREATE, 0, lParamOf(&params))) {
        callProcedure(window, WM_NCDESTROY, 0, 0);
        forget(window);
        return nullptr;
    }
    RECT client = {0, 0, clientWidth, clientHeight};
    callProcedure(window, WM_NCCALCSIZE, FALSE, lParamOf(&client));
    if (callProcedure(window, WM_CREATE, 0, lParamOf(&params)) == -1) {
        destroyWindow(window);
        return nullptr;
    }
    callProcedure(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientWidth, clientHeight));
    callProcedure(window, WM_MOVE, 0, MAKELPARAM(create.x, create.y));
    return findWindow(window) != nullptr ? window : nullptr;
}

BOOL destroyWindow(HWND window) {
    if (findWindow(window) == nullptr) return FALSE;
    sendDestroyMessages(window);
    // The procedure may have destroyed the window itself meanwhile.
    if (findWindow(window) != nullptr) forget(window);
    return TRUE;
}

void invalidate(HWND window) {
    if (WindowRecord* r = findWindow(window)) r->needsPaint = true;
}

void validate(HWND window) {
    if (WindowRecord* r = findWindow(window)) r->needsPaint = false;
}

HDC beginPaint(HWND window, LPPAINTSTRUCT paint, HDC dc) {
    const WindowRecord* record = findWindow(window);
    if (record == nullptr || paint == nullptr) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = {0, 0, record->clientWidth, record->clientHeight};
    validate(window);
    return dc;
}

}  // namespace gloam::standin

using namespace gloam;
using namespace gloam::standin;

ATOM WINAPI RegisterClassA(const WNDCLASSA* c) {
    if (!allowed<Api::RegisterClassA>(c) || c == nullptr) return 0;
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA), c->style,        c->lpfnWndProc,   c->cbClsExtra,
                   c->cbWndExtra,       c->hInstance,    c->hIcon,         c->hCursor,
                   c->hbrBackground,    c->lpszMenuName, c->lpszClassName, nullptr};
    return registerClass(ex);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* c) {
    if (!allowed<Api::RegisterClassExA>(c) || c == nullptr) return 0;
    if (c->cbSize != sizeof(WNDCLASSEXA)) return 0;
    return registerClass(*c);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!allowed<Api::SendMessageA>(window, message, wParam, lParam)) return 0;
    return callProcedure(window, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!allowed<Api::DefWindowProcA>(window, message, wParam, lParam)) return 0;
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_PAINT:
            // Validating is what stops Windows from offering WM_PAINT again.
            validate(window);
            return 0;
        case WM_SYSKEYDOWN:
            // Alt+F4 asks the top-level window to close, through the command
            // of its system menu. A window manager usually takes the keys
            // first; without one, they still close the window.
            if (wParam == VK_F4 && (HIWORD(lParam) & KF_ALTDOWN) != 0) {
                HWND top = window;
                while (const WindowRecord* r = findWindow(top)) {
                    if ((r->style & WS_CHILD) == 0 || r->parent == nullptr) break;
                    top = r->parent;
                }
                callProcedure(top, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return 0;
        case WM_SYSCOMMAND:
            // The low four bits are the system's own.
            if ((wParam & 0xFFF0) == SC_CLOSE) callProcedure(window, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE:
            if (WindowSystem* system = desktop().system) {
                system->destroyWindow(window);
            } else {
                destroyWindow(window);
            }
            return 0;
        default:
            // Includes WM_ERASEBKGND: the stand-in never paints a class
            // background, so it reports the background as not erased.
            return 0;
    }
}
