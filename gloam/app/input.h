#pragma once

// How the window procedure reaches the scene that runApp is running. Not
// installed: programs see only Scene::message.

#include "gloam/platform/win32.h"

namespace gloam::detail {

// The keyboard and mouse messages of gloam/platform/input_messages.h, which
// Scene::message receives.
bool isInputMessage(UINT message);

// Offers an input message to the running scene, then to runApp's own keys.
// True when one of them handled it; false when no run is on.
bool offerInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace gloam::detail
