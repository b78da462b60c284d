// Compiled on every system: on Windows it holds <windows.h> to the values that
// our own declarations use elsewhere, so a wrong value in them fails the
// Windows build instead of going unnoticed.

#include <cstddef>

#include "gloam/platform/win32.h"

namespace {

template <auto actual, auto expected>
constexpr bool same = static_cast<unsigned long long>(actual) ==
                      static_cast<unsigned long long>(expected);

static_assert(same<WM_NULL, 0x0000> && same<WM_CREATE, 0x0001> && same<WM_DESTROY, 0x0002> &&
              same<WM_MOVE, 0x0003> && same<WM_SIZE, 0x0005> && same<WM_ACTIVATE, 0x0006> &&
              same<WM_SETFOCUS, 0x0007> && same<WM_KILLFOCUS, 0x0008> && same<WM_PAINT, 0x000F> &&
              same<WM_CLOSE, 0x0010> && same<WM_QUIT, 0x0012> && same<WM_ERASEBKGND, 0x0014> &&
              same<WM_SHOWWINDOW, 0x0018> && same<WM_GETMINMAXINFO, 0x0024> &&
              same<WM_NCCREATE, 0x0081> && same<WM_NCDESTROY, 0x0082> &&
              same<WM_NCCALCSIZE, 0x0083> && same<WM_KEYDOWN, 0x0100> && same<WM_KEYUP, 0x0101> &&
              same<WM_CHAR, 0x0102> && same<WM_SYSKEYDOWN, 0x0104> && same<WM_SYSKEYUP, 0x0105> &&
              same<WM_USER, 0x0400>);
static_assert(same<SIZE_RESTORED, 0> && same<SIZE_MINIMIZED, 1> && same<SIZE_MAXIMIZED, 2>);
static_assert(same<PM_NOREMOVE, 0> && same<PM_REMOVE, 1> && same<PM_NOYIELD, 2>);
static_assert(same<CS_VREDRAW, 0x1> && same<CS_HREDRAW, 0x2> && same<CS_OWNDC, 0x20> &&
              same<CS_GLOBALCLASS, 0x4000>);
static_assert(same<WS_OVERLAPPEDWINDOW, 0x00CF0000> && same<WS_CLIPCHILDREN, 0x02000000> &&
              same<WS_CLIPSIBLINGS, 0x04000000> && same<WS_VISIBLE, 0x10000000> &&
              same<WS_POPUP, 0x80000000> && same<WS_CHILD, 0x40000000> &&
              same<WS_MINIMIZE, 0x20000000> && same<WS_MAXIMIZE, 0x01000000> &&
              same<WS_DISABLED, 0x08000000> && same<WS_BORDER, 0x00800000> &&
              same<WS_DLGFRAME, 0x00400000> && same<CW_USEDEFAULT, int(0x80000000)>);
static_assert(same<SW_HIDE, 0> && same<SW_SHOWNORMAL, 1> && same<SW_NORMAL, 1> &&
              same<SW_SHOWMINIMIZED, 2> && same<SW_SHOWMAXIMIZED, 3> && same<SW_MAXIMIZE, 3> &&
              same<SW_SHOWNOACTIVATE, 4> && same<SW_SHOW, 5> && same<SW_MINIMIZE, 6> &&
              same<SW_SHOWMINNOACTIVE, 7> && same<SW_SHOWNA, 8> && same<SW_RESTORE, 9> &&
              same<SW_SHOWDEFAULT, 10>);
static_assert(same<MB_OK, 0> && same<MB_ICONERROR, 0x10> && same<IDOK, 1>);
static_assert(same<PFD_DOUBLEBUFFER, 0x01> && same<PFD_STEREO, 0x02> &&
              same<PFD_DRAW_TO_WINDOW, 0x04> && same<PFD_DRAW_TO_BITMAP, 0x08> &&
              same<PFD_SUPPORT_GDI, 0x10> && same<PFD_SUPPORT_OPENGL, 0x20> &&
              same<PFD_TYPE_RGBA, 0> && same<PFD_TYPE_COLORINDEX, 1> && same<PFD_MAIN_PLANE, 0>);

static_assert(LOWORD(MAKELPARAM(1008, 729)) == 1008 && HIWORD(MAKELPARAM(1008, 729)) == 729);
static_assert(LOWORD(MAKELPARAM(0xFFFF, 0xFFFF)) == 0xFFFF);

// Layouts whose fields are all fixed-width match Windows' byte for byte; the
// others differ with the size of a pointer.
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);
static_assert(offsetof(PIXELFORMATDESCRIPTOR, dwFlags) == 4 &&
              offsetof(PIXELFORMATDESCRIPTOR, cColorBits) == 9 &&
              offsetof(PIXELFORMATDESCRIPTOR, cDepthBits) == 23 &&
              offsetof(PIXELFORMATDESCRIPTOR, iLayerType) == 26 &&
              offsetof(PIXELFORMATDESCRIPTOR, dwLayerMask) == 28);
static_assert(sizeof(RECT) == 16 && sizeof(POINT) == 8);
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(WORD) == 2);
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*) &&
              sizeof(LRESULT) == sizeof(void*));

}  // namespace
