#pragma once

// The keyboard and mouse messages, declared once for the whole engine: the
// messages a scene's Scene::message is offered (the run loop hands on
// exactly these), what their parameters carry, and the buttons behind the
// mouse's. Windows sends them itself; the X11 backend makes the button and
// wheel messages from X's buttons by the second table, and the null
// backend's scripts name messages by the names of the first.
//
// Adding one: its Windows name in win32.h (check.cpp holds the value to
// Windows'), a row here, and its making in each backend that can make it
// (x11/input.cpp). CONTRIBUTING.md has the whole recipe.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gloam/platform/win32.h"

namespace gloam {

enum class InputDevice : std::uint8_t { Keyboard, Mouse };

struct InputMessage {
    UINT message;
    std::string_view name;  // Windows' name for it
    InputDevice device;
};

// Windows keeps them in two ranges, 0x0100 to 0x0109 and 0x0200 to 0x020E,
// but not every number in them is a message.
inline constexpr InputMessage inputMessages[] = {
    // wParam: the virtual-key code (VK_ESCAPE, 'A'..'Z', '0'..'9', ...).
    // lParam: bits 0-15 the repeat count, 16-23 the scan code, 24 an extended
    // key, 29 Alt held, 30 the key was already down (an auto-repeat), 31 the
    // key is going up. The SYS forms come while Alt is held without Ctrl,
    // and for F10.
    {WM_KEYDOWN, "WM_KEYDOWN", InputDevice::Keyboard},
    {WM_KEYUP, "WM_KEYUP", InputDevice::Keyboard},
    {WM_SYSKEYDOWN, "WM_SYSKEYDOWN", InputDevice::Keyboard},
    {WM_SYSKEYUP, "WM_SYSKEYUP", InputDevice::Keyboard},
    // What a key-down typed, posted by TranslateMessage right behind it.
    // wParam: the character in the ANSI code page; lParam: the key-down's.
    // A dead key (an accent waiting for its letter) types a DEADCHAR.
    {WM_CHAR, "WM_CHAR", InputDevice::Keyboard},
    {WM_DEADCHAR, "WM_DEADCHAR", InputDevice::Keyboard},
    {WM_SYSCHAR, "WM_SYSCHAR", InputDevice::Keyboard},
    {WM_SYSDEADCHAR, "WM_SYSDEADCHAR", InputDevice::Keyboard},
    // wParam: the MK_ buttons and keys held after the event. lParam: the
    // client position (GET_X_LPARAM, GET_Y_LPARAM; negative or past the edge
    // while a button held since a press in the window drags outside it).
    {WM_MOUSEMOVE, "WM_MOUSEMOVE", InputDevice::Mouse},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN", InputDevice::Mouse},
    {WM_LBUTTONUP, "WM_LBUTTONUP", InputDevice::Mouse},
    {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK", InputDevice::Mouse},
    {WM_RBUTTONDOWN, "WM_RBUTTONDOWN", InputDevice::Mouse},
    {WM_RBUTTONUP, "WM_RBUTTONUP", InputDevice::Mouse},
    {WM_RBUTTONDBLCLK, "WM_RBUTTONDBLCLK", InputDevice::Mouse},
    {WM_MBUTTONDOWN, "WM_MBUTTONDOWN", InputDevice::Mouse},
    {WM_MBUTTONUP, "WM_MBUTTONUP", InputDevice::Mouse},
    {WM_MBUTTONDBLCLK, "WM_MBUTTONDBLCLK", InputDevice::Mouse},
    // The side buttons: XBUTTON1 or XBUTTON2 in the high word of wParam.
    {WM_XBUTTONDOWN, "WM_XBUTTONDOWN", InputDevice::Mouse},
    {WM_XBUTTONUP, "WM_XBUTTONUP", InputDevice::Mouse},
    {WM_XBUTTONDBLCLK, "WM_XBUTTONDBLCLK", InputDevice::Mouse},
    // wParam: the MK_ flags in the low word, the turn in the high word
    // (GET_WHEEL_DELTA_WPARAM: 120 a notch, positive away from the user or
    // to the right). lParam: the position on the screen, not in the client.
    {WM_MOUSEWHEEL, "WM_MOUSEWHEEL", InputDevice::Mouse},
    {WM_MOUSEHWHEEL, "WM_MOUSEHWHEEL", InputDevice::Mouse},
};

// The row of a message, or null for one that is not input.
constexpr const InputMessage* findInputMessage(UINT message) {
    for (const InputMessage& m : inputMessages) {
        if (m.message == message) return &m;
    }
    return nullptr;
}
constexpr const InputMessage* findInputMessage(std::string_view name) {
    for (const InputMessage& m : inputMessages) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

// The mouse's buttons and wheel notches, which each backend maps its own
// button numbers onto.
enum class PointerButton : std::uint8_t {
    Left,
    Middle,
    Right,
    WheelAway,  // from the user
    WheelTowards,
    WheelLeft,
    WheelRight,
};

struct ButtonMessages {
    PointerButton button;
    UINT press;
    UINT release;      // WM_NULL for a notch: a wheel's release says nothing
    WPARAM held;       // the MK_ flag while it is down; 0 for a notch
    short wheelDelta;  // the high word of wParam
};

// In PointerButton order.
inline constexpr ButtonMessages buttonMessages[] = {
    {PointerButton::Left, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 0},
    {PointerButton::Middle, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON, 0},
    {PointerButton::Right, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 0},
    {PointerButton::WheelAway, WM_MOUSEWHEEL, WM_NULL, 0, WHEEL_DELTA},
    {PointerButton::WheelTowards, WM_MOUSEWHEEL, WM_NULL, 0, -WHEEL_DELTA},
    {PointerButton::WheelLeft, WM_MOUSEHWHEEL, WM_NULL, 0, -WHEEL_DELTA},
    {PointerButton::WheelRight, WM_MOUSEHWHEEL, WM_NULL, 0, WHEEL_DELTA},
};

constexpr const ButtonMessages& messagesOf(PointerButton button) {
    return buttonMessages[std::size_t(button)];
}

constexpr bool inButtonOrder() {
    for (std::size_t i = 0; i < std::size(buttonMessages); ++i) {
        if (std::size_t(buttonMessages[i].button) != i) return false;
    }
    return true;
}
static_assert(inButtonOrder(), "messagesOf() indexes the rows by button");

}  // namespace gloam
