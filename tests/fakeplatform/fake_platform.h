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
//   fakeplatform::script().failing.set(std::size_t(fakeplatform::Fn::SetPixelFormat));
//   createAppWindow("Simple OpenGL App", 0, 0, 1024, 768);   // code under test
//   namespace win = fakeplatform::call;
//   EXPECT_EQ(fakeplatform::differences(fakeplatform::calls(), {
//                 win::GetModuleHandleA(nullptr), ...}), "");
// fakeplatform::call::Xxx takes exactly the arguments of Xxx and returns the
// Call that Xxx records; pass null for what a call only writes to (the MSG
// of PeekMessageA, the PAINTSTRUCT of BeginPaint). Strings and pixel-format
// descriptors are recorded by value, handles and pointers by address, MSG
// arguments by their four first fields.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include "gloam/platform/win32.h"

// Every recorded call once: name, parameters, and how its arguments are
// kept (see Builder in fake_platform.cpp). What a call only writes to is not
// kept, nor named.
#define FAKEPLATFORM_CALLS(X)                                                                \
    /* Implemented by the fake. */                                                           \
    X(CreateWindowExA,                                                                       \
      (DWORD a, LPCSTR b, LPCSTR c, DWORD d, int e, int f, int g, int h, HWND i, HMENU j,    \
       HINSTANCE k, LPVOID l),                                                               \
      .hex(a)                                                                                \
          .text(b)                                                                           \
          .text(c)                                                                           \
          .hex(d)                                                                            \
          .integer(e)                                                                        \
          .integer(f)                                                                        \
          .integer(g)                                                                        \
          .integer(h)                                                                        \
          .pointer(i)                                                                        \
          .pointer(j)                                                                        \
          .pointer(k)                                                                        \
          .pointer(l))                                                                       \
    X(DestroyWindow, (HWND a), .pointer(a))                                                  \
    X(ShowWindow, (HWND a, int b), .pointer(a).integer(b))                                   \
    X(UpdateWindow, (HWND a), .pointer(a))                                                   \
    X(GetDC, (HWND a), .pointer(a))                                                          \
    X(ReleaseDC, (HWND a, HDC b), .pointer(a).pointer(b))                                    \
    X(BeginPaint, (HWND a, LPPAINTSTRUCT), .pointer(a))                                      \
    X(EndPaint, (HWND a, const PAINTSTRUCT*), .pointer(a))                                   \
    X(ChoosePixelFormat, (HDC a, const PIXELFORMATDESCRIPTOR* b), .pointer(a).descriptor(b)) \
    X(SetPixelFormat, (HDC a, int b, const PIXELFORMATDESCRIPTOR* c),                        \
      .pointer(a).integer(b).descriptor(c))                                                  \
    X(SwapBuffers, (HDC a), .pointer(a))                                                     \
    X(wglCreateContext, (HDC a), .pointer(a))                                                \
    X(wglMakeCurrent, (HDC a, HGLRC b), .pointer(a).pointer(b))                              \
    X(wglDeleteContext, (HGLRC a), .pointer(a))                                              \
    X(MessageBoxA, (HWND a, LPCSTR b, LPCSTR c, UINT d), .pointer(a).text(b).text(c).hex(d)) \
    X(GetModuleHandleA, (LPCSTR a), .text(a))                                                \
    X(LoadIconA, (HINSTANCE a, LPCSTR b), .pointer(a).text(b))                               \
    X(LoadCursorA, (HINSTANCE a, LPCSTR b), .pointer(a).text(b))                             \
    /* The stand-in's own, heard through its observer. */                                    \
    X(RegisterClassA, (const WNDCLASSA* a), .windowClass(a))                                 \
    X(RegisterClassExA, (const WNDCLASSEXA* a), .windowClass(a))                             \
    X(PostMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), .msg(a, b, c, d))                  \
    X(PostQuitMessage, (int a), .integer(a))                                                 \
    X(PeekMessageA, (LPMSG, HWND b, UINT c, UINT d, UINT e),                                 \
      .pointer(b).message(c).message(d).hex(e))                                              \
    X(GetMessageA, (LPMSG, HWND b, UINT c, UINT d), .pointer(b).message(c).message(d))       \
    X(TranslateMessage, (const MSG* a), .msg(a))                                             \
    X(DispatchMessageA, (const MSG* a), .msg(a))                                             \
    X(SendMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), .msg(a, b, c, d))                  \
    X(DefWindowProcA, (HWND a, UINT b, WPARAM c, LPARAM d), .msg(a, b, c, d))

namespace fakeplatform {

#define FAKEPLATFORM_ENUMERATOR(name, ...) name,
enum class Fn : std::uint8_t { FAKEPLATFORM_CALLS(FAKEPLATFORM_ENUMERATOR) count_ };
#undef FAKEPLATFORM_ENUMERATOR
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
    static constexpr std::size_t textCapacity = 240;

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
    const char* textArg(std::size_t i) const { return values[i] < 0 ? nullptr : text + values[i]; }

    friend bool operator==(const Call& a, const Call& b);
};

// "PostMessageA(0x1, WM_PAINT, 0, 0x0)".
std::string format(const Call& call);
std::ostream& operator<<(std::ostream& out, const Call& call);
void PrintTo(const Call& call, std::ostream* out);  // for GoogleTest

// What the fake answers, changeable by tests until the next reset. The
// other answers are fixed: ChoosePixelFormat chooses 7, MessageBoxA returns
// IDOK, and a window with a caption or sizing border has a client area
// 16 × 39 smaller than its outer rectangle (Windows 10's frame at 100 %).
struct Script {
    // Calls that fail as Windows reports failure (null, 0, FALSE, -1 from
    // GetMessageA), doing nothing but being recorded.
    std::bitset<fnCount> failing;
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
#define FAKEPLATFORM_DECLARE(name, params, ...) Call name params;
FAKEPLATFORM_CALLS(FAKEPLATFORM_DECLARE)
#undef FAKEPLATFORM_DECLARE
}  // namespace call

}  // namespace fakeplatform
