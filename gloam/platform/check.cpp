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
              same<WM_SYSCHAR, 0x0106> && same<WM_MOUSEMOVE, 0x0200> &&
              same<WM_LBUTTONDOWN, 0x0201> && same<WM_LBUTTONUP, 0x0202> &&
              same<WM_RBUTTONDOWN, 0x0204> && same<WM_RBUTTONUP, 0x0205> &&
              same<WM_MBUTTONDOWN, 0x0207> && same<WM_MBUTTONUP, 0x0208> &&
              same<WM_MOUSEWHEEL, 0x020A> && same<WM_MOUSEHWHEEL, 0x020E> &&
              same<WM_USER, 0x0400> && same<WM_SYSCOMMAND, 0x0112> && same<SC_CLOSE, 0xF060>);
static_assert(same<WM_DEADCHAR, 0x0103> && same<WM_SYSDEADCHAR, 0x0107> &&
              same<WM_LBUTTONDBLCLK, 0x0203> && same<WM_RBUTTONDBLCLK, 0x0206> &&
              same<WM_MBUTTONDBLCLK, 0x0209> && same<WM_XBUTTONDOWN, 0x020B> &&
              same<WM_XBUTTONUP, 0x020C> && same<WM_XBUTTONDBLCLK, 0x020D>);
static_assert(same<KF_EXTENDED, 0x0100> && same<KF_ALTDOWN, 0x2000> && same<KF_REPEAT, 0x4000> &&
              same<KF_UP, 0x8000>);
static_assert(same<MK_LBUTTON, 0x01> && same<MK_RBUTTON, 0x02> && same<MK_SHIFT, 0x04> &&
              same<MK_CONTROL, 0x08> && same<MK_MBUTTON, 0x10> && same<WHEEL_DELTA, 120> &&
              same<MK_XBUTTON1, 0x20> && same<MK_XBUTTON2, 0x40> && same<XBUTTON1, 1> &&
              same<XBUTTON2, 2>);
static_assert(same<VK_BACK, 0x08> && same<VK_TAB, 0x09> && same<VK_RETURN, 0x0D> &&
              same<VK_SHIFT, 0x10> && same<VK_CONTROL, 0x11> && same<VK_MENU, 0x12> &&
              same<VK_PAUSE, 0x13> && same<VK_CAPITAL, 0x14> && same<VK_ESCAPE, 0x1B> &&
              same<VK_SPACE, 0x20> && same<VK_PRIOR, 0x21> && same<VK_NEXT, 0x22> &&
              same<VK_END, 0x23> && same<VK_HOME, 0x24> && same<VK_LEFT, 0x25> &&
              same<VK_UP, 0x26> && same<VK_RIGHT, 0x27> && same<VK_DOWN, 0x28> &&
              same<VK_INSERT, 0x2D> && same<VK_DELETE, 0x2E> && same<VK_NUMPAD0, 0x60> &&
              same<VK_NUMPAD9, 0x69> && same<VK_MULTIPLY, 0x6A> && same<VK_ADD, 0x6B> &&
              same<VK_SUBTRACT, 0x6D> && same<VK_DECIMAL, 0x6E> && same<VK_DIVIDE, 0x6F> &&
              same<VK_F1, 0x70> && same<VK_F12, 0x7B> && same<VK_LSHIFT, 0xA0> &&
              same<VK_RSHIFT, 0xA1> && same<VK_LCONTROL, 0xA2> && same<VK_RCONTROL, 0xA3> &&
              same<VK_LMENU, 0xA4> && same<VK_RMENU, 0xA5> && same<VK_OEM_PLUS, 0xBB> &&
              same<VK_OEM_COMMA, 0xBC> && same<VK_OEM_MINUS, 0xBD> && same<VK_OEM_PERIOD, 0xBE>);
static_assert(same<VK_CLEAR, 0x0C> && same<VK_SNAPSHOT, 0x2C> && same<VK_LWIN, 0x5B> &&
              same<VK_RWIN, 0x5C> && same<VK_APPS, 0x5D> && same<VK_NUMLOCK, 0x90> &&
              same<VK_SCROLL, 0x91> && same<VK_OEM_1, 0xBA> && same<VK_OEM_2, 0xBF> &&
              same<VK_OEM_3, 0xC0> && same<VK_OEM_4, 0xDB> && same<VK_OEM_5, 0xDC> &&
              same<VK_OEM_6, 0xDD> && same<VK_OEM_7, 0xDE> && same<VK_OEM_102, 0xE2>);
static_assert(GET_X_LPARAM(MAKELPARAM(-5, 7)) == -5 && GET_Y_LPARAM(MAKELPARAM(-5, 7)) == 7);
static_assert(GET_WHEEL_DELTA_WPARAM(MAKEWPARAM(MK_LBUTTON, -WHEEL_DELTA)) == -120);
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
