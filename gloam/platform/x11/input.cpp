// Keyboard and mouse events as Windows' input messages, and focus changes as
// its focus messages. A window procedure written for Windows reads the same
// wParam and lParam here; where X and Windows disagree, the comments say
// which way the stand-in goes.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstring>

#include "gloam/platform/input_messages.h"
#include "gloam/platform/x11/backend.h"

namespace gloam::x11standin {

namespace {

struct NamedKey {
    KeySym symbol;
    BYTE virtualKey;
};

// Keys are named by the symbol the layout gives them unshifted, as Windows
// names letters by the layout; punctuation gets the code a US keyboard has
// for the same symbol, and a symbol Windows has no code for (an accented
// letter, a dead key) makes no key message. Both Alt keys and AltGr are
// VK_MENU; Windows adds a left Ctrl to AltGr, which the stand-in does not
// fake.
constexpr NamedKey namedKeys[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Clear, VK_CLEAR},
    {XK_Return, VK_RETURN},
    {XK_Pause, VK_PAUSE},
    {XK_Scroll_Lock, VK_SCROLL},
    {XK_Escape, VK_ESCAPE},
    {XK_Delete, VK_DELETE},
    {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_Print, VK_SNAPSHOT},
    {XK_Insert, VK_INSERT},
    {XK_Menu, VK_APPS},
    {XK_Num_Lock, VK_NUMLOCK},
    {XK_KP_Enter, VK_RETURN},
    {XK_KP_Home, VK_HOME},
    {XK_KP_Left, VK_LEFT},
    {XK_KP_Up, VK_UP},
    {XK_KP_Right, VK_RIGHT},
    {XK_KP_Down, VK_DOWN},
    {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Next, VK_NEXT},
    {XK_KP_End, VK_END},
    {XK_KP_Begin, VK_CLEAR},
    {XK_KP_Insert, VK_INSERT},
    {XK_KP_Delete, VK_DELETE},
    {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},
    {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Divide, VK_DIVIDE},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_Meta_R, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Super_L, VK_LWIN},
    {XK_Super_R, VK_RWIN},
    {XK_space, VK_SPACE},
    {XK_plus, VK_OEM_PLUS},
    {XK_equal, VK_OEM_PLUS},
    {XK_minus, VK_OEM_MINUS},
    {XK_comma, VK_OEM_COMMA},
    {XK_period, VK_OEM_PERIOD},
    {XK_semicolon, VK_OEM_1},
    {XK_slash, VK_OEM_2},
    {XK_grave, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},
    {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
    {XK_less, VK_OEM_102},
};

BYTE virtualKeyOf(KeySym s) {
    if (s >= XK_a && s <= XK_z) return BYTE('A' + (s - XK_a));
    if ((s >= XK_A && s <= XK_Z) || (s >= XK_0 && s <= XK_9)) return BYTE(s);
    if (s >= XK_KP_0 && s <= XK_KP_9) return BYTE(VK_NUMPAD0 + (s - XK_KP_0));
    if (s >= XK_F1 && s <= XK_F24) return BYTE(VK_F1 + (s - XK_F1));
    for (const NamedKey& k : namedKeys) {
        if (k.symbol == s) return k.virtualKey;
    }
    return 0;
}

struct ScanCode {
    unsigned code = 0;
    bool extended = false;
};

// Linux numbers the keys of a PC keyboard by their scan codes up to F12;
// the keys that send theirs behind an E0 prefix, which Windows reports as
// extended, have numbers of their own. Num Lock and Pause share 0x45 and
// Windows tells them apart by the extended flag, Num Lock's. Servers with
// other keycodes get scan code 0 and no flag, as keys a program injects
// have on Windows.
ScanCode scanCodeOf(unsigned keycode) {
    if (!connection().evdevKeycodes || keycode < 9) return {};
    const unsigned key = keycode - 8;
    if (key <= 88) return {key, key == 69};
    // Linux 102 to 111: Home, Up, Page Up, Left, Right, End, Down, Page Down,
    // Insert, Delete.
    static constexpr unsigned char editing[] = {0x47, 0x48, 0x49, 0x4B, 0x4D,
                                                0x4F, 0x50, 0x51, 0x52, 0x53};
    if (key >= 102 && key <= 111) return {editing[key - 102], true};
    switch (key) {
        case 96:  // keypad Enter
            return {0x1C, true};
        case 97:  // right Ctrl
            return {0x1D, true};
        case 98:  // keypad divide
            return {0x35, true};
        case 99:  // Print Screen
            return {0x37, true};
        case 100:  // right Alt
            return {0x38, true};
        case 119:  // Pause
            return {0x45, false};
        case 125:  // left and right Windows keys, Menu
        case 126:
        case 127:
            return {0x5B + (key - 125), true};
        default:
            return {};
    }
}

// Windows reads the keypad by Num Lock: digits when on, the editing keys it
// shares with the grey block when off.
KeySym symbolOf(XKeyEvent& e) {
    KeySym s = XLookupKeysym(&e, 0);
    if (IsKeypadKey(s) && (e.state & connection().numLockMask) != 0) {
        KeySym shifted = XLookupKeysym(&e, 1);
        if (IsKeypadKey(shifted)) s = shifted;
    }
    return s;
}

MSG inputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const XKeyEvent& e) {
    return MSG{window, message, wParam, lParam, DWORD(e.time), {e.x_root, e.y_root}};
}

// Windows' key-message lParam: a repeat count of 1 (Windows counts each
// repeat on its own too), the scan code, the extended flag, Alt for the system
// messages only, whether the key was down before, whether it goes up.
// Alt makes system messages unless Ctrl is down as well (Ctrl+Alt is AltGr
// to Windows); F10 makes them on its own, as it opens a menu bar there.
bool translateKey(XKeyEvent& e, HWND window) {
    Connection& c = connection();
    const bool press = e.type == KeyPress;
    const KeySym symbol = symbolOf(e);
    BYTE key = virtualKeyOf(symbol);
    // Layouts that shift their digits (French, say) still have them on the
    // digit keys to Windows.
    if (KeySym shifted = XLookupKeysym(&e, 1); key == 0 && shifted >= XK_0 && shifted <= XK_9) {
        key = BYTE(shifted);
    }
    const bool wasDown = press ? c.keysDown.test(e.keycode) : true;
    c.keysDown.set(e.keycode, press);
    // Keys Windows has no code for make no message at all.
    if (key == 0) return false;

    // AltGr is Ctrl+Alt to Windows, never a system key; it sets no Mod1.
    const bool altGr = symbol == XK_ISO_Level3_Shift;
    const bool altBefore = (e.state & Mod1Mask) != 0;
    const bool altAfter = key == VK_MENU && !altGr ? press : altBefore;
    const bool ctrl = (e.state & ControlMask) != 0 || (press && key == VK_CONTROL);
    const bool system = !ctrl && (altBefore || altAfter || key == VK_F10);
    const ScanCode scan = scanCodeOf(e.keycode);
    WORD flags = WORD(scan.code & 0xFF);
    if (scan.extended) flags |= KF_EXTENDED;
    if (system && altAfter) flags |= KF_ALTDOWN;
    if (wasDown) flags |= KF_REPEAT;
    if (!press) flags |= KF_UP;
    const UINT message =
        press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    const MSG m = inputMessage(window, message, key, MAKELPARAM(1, flags), e);
    standin::postInput(m);

    if (press) {
        char text[16];
        int length = XLookupString(&e, text, sizeof text, nullptr, nullptr);
        // X types DEL with the Delete key; Windows types nothing.
        if (length > 0 && key != VK_DELETE) {
            // A program that never translates must not make this grow.
            if (c.typed.size() >= 64) c.typed.pop_front();
            c.typed.push_back({m, std::string(text, std::size_t(length))});
        }
    }
    return true;
}

WPARAM keyStateOf(unsigned state) {
    WPARAM keys = 0;
    if (state & Button1Mask) keys |= MK_LBUTTON;
    if (state & Button2Mask) keys |= MK_MBUTTON;
    if (state & Button3Mask) keys |= MK_RBUTTON;
    if (state & ShiftMask) keys |= MK_SHIFT;
    if (state & ControlMask) keys |= MK_CONTROL;
    return keys;
}

// X numbers the buttons 1 left, 2 middle, 3 right, then the wheels' notches:
// 4 away from the user, 5 towards, 6 left, 7 right. Buttons 8 and up make no
// message.
constexpr PointerButton xButtons[] = {PointerButton::Left,         PointerButton::Middle,
                                      PointerButton::Right,        PointerButton::WheelAway,
                                      PointerButton::WheelTowards, PointerButton::WheelLeft,
                                      PointerButton::WheelRight};

// X reports the buttons as they were before the event, Windows as they are
// after it. A notch is one press, and its release says nothing; the wheel
// turns the window under the pointer (as Windows 10 has it by default; older
// Windows sent it to the focus). Every click is a single click: no window
// class here asks for double clicks, and the stand-in does not make them.
// While a button is down X keeps sending the pointer to the window it went
// down in, outside it too, which the stand-in passes on as Windows would to
// a window that captures the mouse on a press: moves, and the release, with
// client coordinates that may be negative or past the edge.
bool translateButton(const XButtonEvent& e, HWND window) {
    if (e.button < 1 || e.button > std::size(xButtons)) return false;
    const ButtonMessages& b = messagesOf(xButtons[e.button - 1]);
    const bool press = e.type == ButtonPress;
    const UINT message = press ? b.press : b.release;
    if (message == WM_NULL) return false;
    const WPARAM before = keyStateOf(e.state);
    const WPARAM held = press ? before | b.held : before & ~b.held;
    // Windows gives the wheel's position on the screen.
    const LPARAM where = b.wheelDelta != 0 ? MAKELPARAM(e.x_root, e.y_root) : MAKELPARAM(e.x, e.y);
    standin::postInput(MSG{window,
                           message,
                           MAKEWPARAM(held, b.wheelDelta),
                           where,
                           DWORD(e.time),
                           {e.x_root, e.y_root}});
    return true;
}

// Windows sends the focus messages, synchronously, from within the call
// that retrieves messages; so does the stand-in. A window has the focus when
// X gives it the focus itself; focus that passes to a window inside it is
// the inner window's, and the grabs of a window manager's switcher change
// nothing. With no window manager, X's focus may instead follow the pointer,
// and the window under it gets keys without ever being told of the focus:
// X reports that kind of focus only when it starts or ends, not as the
// pointer moves, and a window may never hear of it.
bool translateFocus(const XFocusChangeEvent& e, HWND window) {
    if (e.mode == NotifyGrab || e.mode == NotifyUngrab) return false;
    if (e.detail != NotifyAncestor && e.detail != NotifyInferior && e.detail != NotifyNonlinear) {
        return false;
    }
    Connection& c = connection();
    if (e.type == FocusIn) {
        if (c.focus == window) return false;
        // X does not say where the focus came from; the window of ours
        // that lost it last is the best guess, and none is a valid answer.
        HWND previous = c.lostFocus != window && standin::findWindow(c.lostFocus) != nullptr
                            ? c.lostFocus
                            : nullptr;
        c.focus = window;
        standin::callProcedure(window, WM_SETFOCUS, WPARAM(previous), 0);
    } else {
        if (c.focus != window) return false;
        c.focus = nullptr;
        c.lostFocus = window;
        standin::callProcedure(window, WM_KILLFOCUS, 0, 0);
    }
    return false;
}

}  // namespace

void prepareInput(Display* d) {
    Connection& c = connection();
    // X's own auto-repeat sends every repeat as a release and a press; a
    // server that can leave out the release (any with the keyboard extension)
    // is asked to, and a press of a key that is down is then a repeat, as it
    // is to Windows. Elsewhere a held key comes as key-ups and fresh
    // key-downs.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(d, True, &detectable);
    c.numLockMask = XkbKeysymToModifiers(d, XK_Num_Lock);
    c.evdevKeycodes = false;
    if (XkbDescPtr keyboard = XkbAllocKeyboard()) {
        if (XkbGetNames(d, XkbKeycodesNameMask, keyboard) == Success &&
            keyboard->names != nullptr && keyboard->names->keycodes != 0) {
            char* name = XGetAtomName(d, keyboard->names->keycodes);
            c.evdevKeycodes = name != nullptr && std::strncmp(name, "evdev", 5) == 0;
            if (name != nullptr) XFree(name);
        }
        XkbFreeKeyboard(keyboard, 0, True);
    }
}

bool translateInput(const XEvent& event, HWND window) {
    XEvent e = event;  // Xlib's lookups take their events by mutable pointer
    switch (e.type) {
        case KeyPress:
        case KeyRelease:
            return translateKey(e.xkey, window);
        case ButtonPress:
        case ButtonRelease:
            return translateButton(e.xbutton, window);
        case MotionNotify:
            standin::postInput(MSG{window,
                                   WM_MOUSEMOVE,
                                   keyStateOf(e.xmotion.state),
                                   MAKELPARAM(e.xmotion.x, e.xmotion.y),
                                   DWORD(e.xmotion.time),
                                   {e.xmotion.x_root, e.xmotion.y_root}});
            return true;
        case FocusIn:
        case FocusOut:
            return translateFocus(e.xfocus, window);
        case KeymapNotify:
            // Sent as the keyboard or the pointer comes back to a window: a
            // key released while the keys went elsewhere is up, and its next
            // press is new, as it is to Windows. One still held stays down.
            for (unsigned keycode = 0; keycode < 256; ++keycode) {
                if ((e.xkeymap.key_vector[keycode / 8] & (1 << keycode % 8)) == 0) {
                    connection().keysDown.reset(keycode);
                }
            }
            return false;
        case MappingNotify:
            XRefreshKeyboardMapping(&e.xmapping);
            if (e.xmapping.request != MappingPointer) prepareInput(e.xmapping.display);
            return false;
        default:
            return false;
    }
}

std::string typedBy(const MSG& keyDown) {
    auto& typed = connection().typed;
    for (auto it = typed.begin(); it != typed.end(); ++it) {
        const MSG& m = it->keyDown;
        if (m.hwnd == keyDown.hwnd && m.wParam == keyDown.wParam && m.lParam == keyDown.lParam &&
            m.time == keyDown.time) {
            std::string text = std::move(it->text);
            typed.erase(it);
            return text;
        }
    }
    return {};
}

}  // namespace gloam::x11standin
