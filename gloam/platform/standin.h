#pragma once

// The inside of our Win32 stand-in, for the code that completes it: a window
// system backend (the X11 one, which creates real windows and turns their
// events into messages), a test fake of the window calls, and the tests.
//
// The stand-in itself is the part of USER32 that needs no window system: the
// window-class registry, the window records, the one message queue of the
// one thread, and the calls over them (RegisterClassA/ExA, PostMessageA,
// PostQuitMessage, PeekMessageA, GetMessageA, TranslateMessage,
// DispatchMessageA, SendMessageA, DefWindowProcA). A backend supplies the
// other calls of platform/win32.h (CreateWindowExA, DestroyWindow, GetDC,
// the pixel format, WGL, ...) and builds them from the helpers below, so
// that window procedures see the messages in the order Windows sends them.
//
// Everything runs on one thread and nothing is locked.

#include <cstddef>
#include <cstdint>
#include <string>

#include "gloam/platform/win32.h"

namespace gloam::standin {

struct WindowClass {
    std::string name;  // as registered; lookups ignore case, as Windows' do
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

struct WindowRecord {
    HWND handle = nullptr;
    const WindowClass* windowClass = nullptr;  // classes outlive their windows
    WNDPROC procedure = nullptr;               // the class's, taken at creation
    HWND parent = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string title;
    RECT rect{};  // the outer rectangle as created
    int clientWidth = 0;
    int clientHeight = 0;
    bool visible = false;
    // Set by invalidate(), cleared by validate() (BeginPaint, or
    // DefWindowProcA's WM_PAINT). While set, retrieval offers the window a
    // WM_PAINT once no posted message is waiting, as Windows does, so that
    // any number of exposures cost one repaint.
    bool needsPaint = false;
    std::uintptr_t native = 0;  // the backend's own handle for the window
};

// What the stand-in needs from the native window system beneath it.
class WindowSystem {
public:
    // Turns the window system's pending events into posted messages or
    // invalidations. With `wait`, blocks until at least one has arrived.
    // Returns false when there is nothing to wait for: the caller would
    // otherwise block forever.
    virtual bool collectEvents(bool wait) = 0;
    // DestroyWindow as the backend implements it; DefWindowProcA's answer to
    // WM_CLOSE.
    virtual BOOL destroyWindow(HWND window) = 0;
    // The characters that a key-down message retrieved from the queue types,
    // in the ANSI code page; TranslateMessage posts one WM_CHAR (WM_SYSCHAR
    // after WM_SYSKEYDOWN) for each. Only the backend knows the keyboard
    // layout, and the state of the modifiers when the key went down.
    virtual std::string charactersOf(const MSG& keyDown) {
        (void)keyDown;
        return {};
    }

protected:
    ~WindowSystem() = default;
};

// The backend in use; null (the default) means none: no events ever arrive,
// and WM_CLOSE destroys only the window's record.
void setWindowSystem(WindowSystem* system);

// The stand-in's own calls, as a test fake sees them.
enum class Api : std::uint8_t {
    RegisterClassA,
    RegisterClassExA,
    PostMessageA,
    PostQuitMessage,
    PeekMessageA,
    GetMessageA,
    TranslateMessage,
    DispatchMessageA,
    SendMessageA,
    DefWindowProcA,
};

// One call and its arguments: the message fields for the calls that take a
// message (the MSG contents for TranslateMessage and DispatchMessageA; the
// exit code in wParam for PostQuitMessage), the filter for PeekMessageA and
// GetMessageA, and the class description for the registrations.
struct ApiCall {
    Api api{};
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    UINT filterFirst = 0;
    UINT filterLast = 0;
    UINT removeFlags = 0;
    const WNDCLASSA* windowClass = nullptr;
    const WNDCLASSEXA* windowClassEx = nullptr;
};

// Told of each stand-in call as it begins. Returning false makes the call
// fail as Windows reports failure (0, FALSE, or -1 from GetMessageA) without
// doing anything; a test fake scripts failures that way.
using Observer = bool (*)(const ApiCall& call);
void setObserver(Observer observer);

// Forgets every class, window and message, the quit request, the backend and
// the observer: a fresh process, for tests.
void reset();

// Windows.

const WindowClass* findClass(LPCSTR nameOrAtom);
WindowRecord* findWindow(HWND window);
// The window itself, or one of its descendants.
bool isWithin(HWND window, HWND ancestor);

// The pure half of CreateWindowExA, for a backend that has made its native
// window and knows the client size: records the window, then calls its
// procedure as Windows does inside CreateWindowExA: WM_GETMINMAXINFO,
// WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, then WM_SIZE (SIZE_RESTORED with the
// client size) and WM_MOVE. `native` is stored before the first message, so
// the procedure can already reach the native window. Returns null, with
// nothing left recorded, when the class is unknown or the procedure refuses
// the window (FALSE from WM_NCCREATE, -1 from WM_CREATE).
HWND createWindow(const CREATESTRUCTA& create, int clientWidth, int clientHeight,
                  std::uintptr_t native);
// The pure half of DestroyWindow: sends WM_DESTROY and then WM_NCDESTROY to
// the window and each of its descendants, forgets them and drops their
// queued messages. The backend reads what it needs from the record first.
BOOL destroyWindow(HWND window);

// Calls the window's procedure directly, as the window system does when it
// sends a message; no observer hears of it. 0 for an unknown window.
LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void invalidate(HWND window);
void validate(HWND window);

// The queue.

// Queues a keyboard or mouse message, as the window system's input reaches
// a thread on Windows: behind the posted messages whatever the order of their
// arrival, and a mouse move that finds the window's previous move still last
// in the queue replaces it, so that a slow loop sees the latest position
// instead of a backlog.
void postInput(const MSG& message);

// Messages posted or input and not yet retrieved.
std::size_t queuedMessageCount();
bool quitRequested();

}  // namespace gloam::standin
