#pragma once

// A recording stand-in for the window system, for tests of the code that
// calls platform/win32.h. Test programs link `fake_platform` instead of a
// real backend. It implements the window calls (CreateWindowExA, GetDC, the
// pixel format, WGL, ShowWindow, painting, message boxes, ...) with just
// enough behaviour to drive the code above them: creating a window runs its
// procedure synchronously with the messages Windows sends, as the real
// stand-in does, and the message calls are the stand-in's own queue logic.
// Every call, the stand-in's included, appends one Call to a log. Recording
// formats nothing and allocates nothing once the log has its capacity.
//
// How tests use it:
//   fakeplatform::reset();                          // in SetUp: a fresh process
//   fakeplatform::script().failing.set(fakeplatform::Fn::SetPixelFormat);
//   createAppWindow("Simple OpenGL App", 0, 0, 1024, 768);   // code under test
//   namespace win = fakeplatform::call;
//   EXPECT_EQ(fakeplatform::differences(fakeplatform::calls(), {
//                 win::GetModuleHandleA(nullptr),
//                 win::LoadIconA(nullptr, IDI_WINLOGO), ...}),
//             "");
// fakeplatform::call::Xxx takes exactly the arguments of Xxx and returns the
// Call that Xxx records; what a call only writes to (the MSG of PeekMessageA,
// the PAINTSTRUCT of BeginPaint) is not recorded, so pass null there. Strings
// and pixel-format descriptors are recorded by value, handles and pointers by
// address, MSG arguments by their four first fields.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace fakeplatform {

enum class Fn : std::uint8_t {
    // Implemented by the fake.
    CreateWindowExA,
    DestroyWindow,
    ShowWindow,
    UpdateWindow,
    GetDC,
    ReleaseDC,
    BeginPaint,
    EndPaint,
    ChoosePixelFormat,
    SetPixelFormat,
    SwapBuffers,
    wglCreateContext,
    wglMakeCurrent,
    wglDeleteContext,
    MessageBoxA,
    GetModuleHandleA,
    LoadIconA,
    LoadCursorA,
    // The stand-in's own, heard through its observer.
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
    count_
};
constexpr std::size_t fnCount = std::size_t(Fn::count_);

// How an argument is kept and printed.
enum class Kind : std::uint8_t {
    Int,
    Hex,
    Handle,      // handles, procedures and other pointers, by address
    Message,     // a window message number, printed by name
    Text,        // a string, copied; value is its offset in Call::text, or -1 for null
    Resource,    // MAKEINTRESOURCE/MAKEINTATOM in place of a string; value is the number
    Descriptor,  // a PIXELFORMATDESCRIPTOR, copied like a string
};

struct Call {
    static constexpr std::size_t maxArgs = 12;
    static constexpr std::size_t textCapacity = 112;

    Fn fn{};
    std::uint8_t argCount = 0;
    std::uint8_t textSize = 0;
    Kind kinds[maxArgs]{};
    std::int64_t values[maxArgs]{};
    // The bytes of Text and Descriptor arguments, one after another; strings
    // longer than the room left are cut short.
    char text[textCapacity]{};

    std::int64_t arg(std::size_t i) const { return values[i]; }
    // The string of a Text argument, or null.
    const char* textArg(std::size_t i) const;
    // The descriptor of a Descriptor argument (zeroed when it was null).
    PIXELFORMATDESCRIPTOR descriptorArg(std::size_t i) const;

    friend bool operator==(const Call& a, const Call& b);
};

const char* fnName(Fn fn);
// "PostMessageA(0x1, WM_PAINT, 0, 0x0)".
std::string format(const Call& call);
std::ostream& operator<<(std::ostream& out, const Call& call);
void PrintTo(const Call& call, std::ostream* out);  // for GoogleTest

// What the fake answers, changeable by tests until the next reset.
struct Script {
    // Calls that fail as Windows reports failure (null, 0, FALSE, -1 from
    // GetMessageA), doing nothing but being recorded.
    std::bitset<fnCount> failing;
    int chosenPixelFormat = 7;  // what ChoosePixelFormat answers
    // How much smaller than the outer rectangle the client area of a window
    // with a caption or sizing border is (Windows 10's frame at 100 %).
    int frameWidth = 16;
    int frameHeight = 39;
    int messageBoxResult = IDOK;
    // The user closes a window right after the N-th SwapBuffers since the
    // reset presented into it: WM_CLOSE is delivered to that window. 0: never.
    // Lets a test run a whole program, whose loop only ends on a close.
    int closeAfterSwaps = 0;
};
Script& script();

// A fresh process: empties the log, forgets every class, window, message,
// device context and rendering context, restores the default script, and
// installs the fake beneath the stand-in.
void reset();

// The log since the last reset, in call order.
const std::vector<Call>& calls();
// Those of `fns` only, in call order.
std::vector<Call> callsTo(std::initializer_list<Fn> fns);
std::size_t count(Fn fn);
// Empty when the streams are equal; otherwise both lengths, the first
// differing position, and both streams around it.
std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected);

// The rendering context made current last, or null.
HGLRC currentContext();
// The pixel format set on a device context, or 0.
int pixelFormat(HDC dc);

// The Call each entry point records, for building expected streams.
namespace call {
Call CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam);
Call DestroyWindow(HWND hWnd);
Call ShowWindow(HWND hWnd, int nCmdShow);
Call UpdateWindow(HWND hWnd);
Call GetDC(HWND hWnd);
Call ReleaseDC(HWND hWnd, HDC hDC);
Call BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
Call EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
Call ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* ppfd);
Call SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* ppfd);
Call SwapBuffers(HDC hdc);
Call wglCreateContext(HDC hdc);
Call wglMakeCurrent(HDC hdc, HGLRC hglrc);
Call wglDeleteContext(HGLRC hglrc);
Call MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
Call GetModuleHandleA(LPCSTR lpModuleName);
Call LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
Call LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
Call RegisterClassA(const WNDCLASSA* lpWndClass);
Call RegisterClassExA(const WNDCLASSEXA* lpWndClass);
Call PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
Call PostQuitMessage(int nExitCode);
Call PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
Call GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
Call TranslateMessage(const MSG* lpMsg);
Call DispatchMessageA(const MSG* lpMsg);
Call SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
Call DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
}  // namespace call

}  // namespace fakeplatform
