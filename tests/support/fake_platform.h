#pragma once

// A recording stand-in for the window calls of platform/win32.h that a
// backend supplies (CreateWindowExA, GetDC, the pixel format, WGL, ...),
// linked by tests in place of a real backend. Creating a window runs its
// procedure as the real stand-in does, and the message calls are the
// stand-in's own. Every call, the stand-in's included, appends one Call to a
// log; fakeplatform::call::Xxx takes the arguments of Xxx and returns the
// Call it records, for expected streams.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include "gloam/platform/win32.h"

// Every recorded call once: name, parameters, and the arguments kept (not
// what a call only writes to).
#define FAKEPLATFORM_CALLS(X)                                                             \
    /* Implemented by the fake. */                                                        \
    X(CreateWindowExA,                                                                    \
      (DWORD a, LPCSTR b, LPCSTR c, DWORD d, int e, int f, int g, int h, HWND i, HMENU j, \
       HINSTANCE k, LPVOID l),                                                            \
      (a, b, c, d, e, f, g, h, i, j, k, l))                                               \
    X(DestroyWindow, (HWND a), (a))                                                       \
    X(ShowWindow, (HWND a, int b), (a, b))                                                \
    X(UpdateWindow, (HWND a), (a))                                                        \
    X(SetWindowTextA, (HWND a, LPCSTR b), (a, b))                                         \
    X(GetDC, (HWND a), (a))                                                               \
    X(ReleaseDC, (HWND a, HDC b), (a, b))                                                 \
    X(BeginPaint, (HWND a, LPPAINTSTRUCT), (a))                                           \
    X(EndPaint, (HWND a, const PAINTSTRUCT*), (a))                                        \
    X(ChoosePixelFormat, (HDC a, const PIXELFORMATDESCRIPTOR* b), (a, b))                 \
    X(SetPixelFormat, (HDC a, int b, const PIXELFORMATDESCRIPTOR* c), (a, b, c))          \
    X(SwapBuffers, (HDC a), (a))                                                          \
    X(wglCreateContext, (HDC a), (a))                                                     \
    X(wglMakeCurrent, (HDC a, HGLRC b), (a, b))                                           \
    X(wglDeleteContext, (HGLRC a), (a))                                                   \
    X(MessageBoxA, (HWND a, LPCSTR b, LPCSTR c, UINT d), (a, b, c, d))                    \
    X(GetModuleHandleA, (LPCSTR a), (a))                                                  \
    X(LoadIconA, (HINSTANCE a, LPCSTR b), (a, b))                                         \
    X(LoadCursorA, (HINSTANCE a, LPCSTR b), (a, b))                                       \
    /* The stand-in's own that tests read, heard through its observer. */                 \
    X(RegisterClassA, (const WNDCLASSA* a), (a))                                          \
    X(PostMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))                   \
    X(PostQuitMessage, (int a), (a))                                                      \
    X(SendMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))

namespace fakeplatform {

#define FAKEPLATFORM_ENUMERATOR(name, ...) name,
enum class Fn : std::uint8_t { FAKEPLATFORM_CALLS(FAKEPLATFORM_ENUMERATOR) count_ };
#undef FAKEPLATFORM_ENUMERATOR

// A call with its arguments as printed: strings, window classes and
// pixel-format descriptors by value, handles and other pointers by address.
struct Call {
    Fn fn{};
    std::string args;
    bool operator==(const Call&) const = default;
};

// "PostMessageA(0x1, 15, 0, 0)".
std::string format(const Call& call);
std::ostream& operator<<(std::ostream& out, const Call& call);
void PrintTo(const Call& call, std::ostream* out);  // for GoogleTest

// What the fake answers, changeable by tests until the next reset. The
// other answers are fixed: ChoosePixelFormat chooses 7, MessageBoxA returns
// IDOK, and a window with a caption or sizing border has a client area
// 16 × 39 smaller than its outer rectangle (Windows 10's frame at 100 %).
struct Script {
    // Calls that fail as Windows reports failure, doing nothing but being
    // recorded.
    std::bitset<std::size_t(Fn::count_)> failing;
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

// The rendering context created last, or null.
HGLRC lastContext();

// The Call each entry point records, for building expected streams.
namespace call {
#define FAKEPLATFORM_DECLARE(name, params, ...) Call name params;
FAKEPLATFORM_CALLS(FAKEPLATFORM_DECLARE)
#undef FAKEPLATFORM_DECLARE
}  // namespace call

}  // namespace fakeplatform
