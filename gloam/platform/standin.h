#pragma once

// The platform contract: what the engine asks of a window system, and how a
// backend provides it. With Windows' own backend, USER32, GDI32 and OPENGL32
// are the platform and none of this is built.
//
// The engine calls the Win32 names of platform/win32.h. With any other
// backend they come in two halves. The stand-in, in this folder, is the part of USER32 that
// needs no window system: the window-class registry, the window records, the
// one message queue of the one thread, and the calls over them. A backend,
// in a folder of its own under platform/ (x11/: Xlib and GLX; null/: no
// window at all), defines every other call and implements WindowSystem,
// building on the helpers at the end of this header so that window
// procedures see the messages in the order Windows sends them. The CMake
// variable GLOAM_PLATFORM picks the backend that programs link;
// CONTRIBUTING.md says how to add one.
//
// Everything runs on one thread and nothing is locked. A call given a handle
// it does not know fails as Windows reports failure: null, FALSE or 0.

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>

#include "gloam/platform/win32.h"

// The stand-in's own calls, defined in this folder for every backend:
//
//   RegisterClassA/ExA  registers a class once by name, which lookups compare
//                       without regard to case; returns its atom, 0xC000 up
//   PostMessageA        queues a message behind those posted before it; null
//                       window: a thread message
//   PostQuitMessage     asks for WM_QUIT, retrieved after everything queued
//   PeekMessageA        takes (or, without PM_REMOVE, looks at) the next
//                       message: posted ones in order, then input, then
//                       WM_QUIT, then WM_PAINT for a window that needs one;
//                       a window filter takes its descendants too
//   GetMessageA         the same, waiting through WindowSystem::collectEvents;
//                       0 for WM_QUIT, -1 where Windows would wait for ever
//   TranslateMessage    posts WM_CHAR (WM_SYSCHAR) for what a key-down typed
//   DispatchMessageA    calls the message's window procedure
//   SendMessageA        calls the window procedure at once
//   DefWindowProcA      the system's answers: WM_CLOSE destroys the window
//                       through the backend, Alt+F4 and SC_CLOSE close it,
//                       WM_PAINT validates, WM_NCCREATE allows creation
// clang-format off
#define GLOAM_STANDIN_CALLS(X) \
    X(RegisterClassA)          \
    X(RegisterClassExA)        \
    X(PostMessageA)            \
    X(PostQuitMessage)         \
    X(PeekMessageA)            \
    X(GetMessageA)             \
    X(TranslateMessage)        \
    X(DispatchMessageA)        \
    X(SendMessageA)            \
    X(DefWindowProcA)
// clang-format on

// The calls every backend defines, and what each must do:
//
//   GetModuleHandleA   null name: the program's module, a constant; any
//                      other name: null (the program is the only module).
//                      On Windows KERNEL32 defines it, whatever the backend
//   LoadIconA,         the system's stock ones only (a null instance and a
//   LoadCursorA        MAKEINTRESOURCE number): a handle of their own each
//   CreateWindowExA    null for an unknown class or for a child (WS_CHILD)
//                      without a parent; else makes the native window with
//                      a client area the outer size less the frame Windows
//                      draws round a top-level window with a caption or a
//                      sizing border (16 x 39), records it with
//                      createWindow() below, which runs the creation
//                      messages, and shows it at the end if WS_VISIBLE.
//                      Windows itself sends a top-level window its first
//                      WM_SIZE only when first shown: a program that needs
//                      the size looks after ShowWindow, whatever the backend
//   DestroyWindow      destroyWindow() below, then the native windows go;
//                      rendering contexts stay
//   ShowWindow         any command but SW_HIDE shows; a change of
//                      visibility sends WM_SHOWWINDOW and leaves a shown
//                      window needing a paint; returns whether it was visible
//   UpdateWindow       takes the events that have arrived, then sends
//                      WM_PAINT at once if the window needs one
//   SetWindowTextA     the window's title, bytes in UTF-8, shown as the
//                      window system shows titles; FALSE for no window
//   GetDC, ReleaseDC   the window's own device context, the same handle for
//                      its whole life (every window behaves as CS_OWNDC);
//                      a null window: the screen's. Releasing changes nothing
//   BeginPaint,        the window's device context and its whole client area
//   EndPaint           in the PAINTSTRUCT, and the window validated
//   ChoosePixelFormat  the 1-based number of the format closest to the
//                      request for a window's or the screen's device
//                      context; 0 when none can draw what it asks
//   SetPixelFormat     once per window: the same format again succeeds,
//                      another fails
//   SwapBuffers        presents the back buffer of a window whose format is
//                      set; a single-buffered one succeeds doing nothing
//   wglCreateContext   a context for the format of the device context,
//                      which must have one
//   wglMakeCurrent     makes the context current on the device context's
//                      window, which must have the context's format; a null
//                      context releases the current one, whatever the dc
//   wglDeleteContext   releases the context first if it is current
//   MessageBoxA        writes the caption and the text to standard error,
//                      where they are seen when no one watches a screen,
//                      shows them to the user where there is a screen, and
//                      returns IDOK once dismissed
// clang-format off
#define GLOAM_BACKEND_CALLS(X) \
    X(GetModuleHandleA)        \
    X(LoadIconA)               \
    X(LoadCursorA)             \
    X(CreateWindowExA)         \
    X(DestroyWindow)           \
    X(ShowWindow)              \
    X(UpdateWindow)            \
    X(SetWindowTextA)          \
    X(GetDC)                   \
    X(ReleaseDC)               \
    X(BeginPaint)              \
    X(EndPaint)                \
    X(ChoosePixelFormat)       \
    X(SetPixelFormat)          \
    X(SwapBuffers)             \
    X(wglCreateContext)        \
    X(wglMakeCurrent)          \
    X(wglDeleteContext)        \
    X(MessageBoxA)
// clang-format on

namespace gloam::standin {

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

// Every call of the two lists above, for an observer.
#define GLOAM_API_ENUMERATOR(name) name,
enum class Api : std::uint8_t {
    GLOAM_STANDIN_CALLS(GLOAM_API_ENUMERATOR) GLOAM_BACKEND_CALLS(GLOAM_API_ENUMERATOR)
};
#undef GLOAM_API_ENUMERATOR
#define GLOAM_API_COUNT(name) +1
inline constexpr std::size_t apiCount =
    0 GLOAM_STANDIN_CALLS(GLOAM_API_COUNT) GLOAM_BACKEND_CALLS(GLOAM_API_COUNT);
#undef GLOAM_API_COUNT

// The parameters of a call, as a tuple of exactly its parameter types.
template <Api api>
struct ApiFunction;
#define GLOAM_API_FUNCTION(name)           \
    template <>                            \
    struct ApiFunction<Api::name> {        \
        using Pointer = decltype(&::name); \
    };
GLOAM_STANDIN_CALLS(GLOAM_API_FUNCTION)
GLOAM_BACKEND_CALLS(GLOAM_API_FUNCTION)
#undef GLOAM_API_FUNCTION
template <typename Pointer>
struct ParameterList;
template <typename Result, typename... Parameters>
struct ParameterList<Result(WINAPI*)(Parameters...)> {
    using Tuple = std::tuple<Parameters...>;
};
template <Api api>
using Arguments = typename ParameterList<typename ApiFunction<api>::Pointer>::Tuple;

// Told of each call as it begins, with `arguments` pointing at its
// Arguments<api>. Returning false makes the call fail as Windows reports
// failure (0, FALSE, null, or -1 from GetMessageA) without doing anything;
// a test fake records calls and scripts failures that way. The stand-in's
// calls report themselves, and so do the null backend's; the X11 backend's
// do not.
using Observer = bool (*)(Api api, const void* arguments);
void setObserver(Observer observer);
Observer observer();

// What a call that reports itself does first; false when it must fail.
template <Api api, typename... Given>
bool allowed(const Given&... given) {
    const Observer o = observer();
    if (o == nullptr) return true;
    const Arguments<api> arguments(given...);
    return o(api, &arguments);
}

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
// BeginPaint's whole work once the backend knows the window's device
// context: the whole client area painted, the window validated. The class
// brush is never drawn, so there is no background to erase.
HDC beginPaint(HWND window, LPPAINTSTRUCT paint, HDC dc);

// The queue.

// Queues a message as the window system posts one (a close request from the
// window manager): behind the messages posted so far, and no observer hears
// of it. False for a window that does not exist.
bool post(const MSG& message);

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
