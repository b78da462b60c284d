#pragma once

// The null backend: the window calls of platform/win32.h with no window
// system beneath them, and OpenGL with nothing beneath it. Windows are
// records only, a pixel format and a rendering context are numbers, a GL
// call only counts, nothing is drawn or shown (a screenshot is black), and
// a message box is a line on standard error. Input comes from a script instead of a
// user: messages posted to the window right after it presents a given
// frame. Pick it with -DGLOAM_PLATFORM=null for runs on machines without a
// display; the tests' recording fake of the window calls builds on it.
//
// The script comes from the environment, GLOAM_NULL_SCRIPT, read when the
// first window is made, or from setScript. Entries are separated by ';' or
// line breaks, each "FRAME MESSAGE [WPARAM [LPARAM]]": the frame after whose
// presentation the message arrives (1 for the first frame), the message by
// its Windows name (any of gloam/platform/input_messages.h, or WM_CLOSE,
// the user closing the window) or its number, and its parameters as
// numbers, decimal or 0x hexadecimal, 0 when left out. For instance
//
//   GLOAM_NULL_SCRIPT='10 WM_KEYDOWN 0x7B; 10 WM_KEYUP 0x7B 0xC0000001; 20 WM_CLOSE'
//
// presses and releases F12 after frame 10 and closes the window after frame
// 20. A script that cannot be read makes window creation fail, after saying
// on standard error where and why.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gloam/platform/win32.h"

namespace gloam::nullstandin {

struct ScriptedMessage {
    std::int64_t frame = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool operator==(const ScriptedMessage&) const = default;
};

// Reads a script written as above into `script`. False, with `error`
// naming the entry and what is wrong with it, for one that cannot be read.
bool parseScript(std::string_view text, std::vector<ScriptedMessage>& script, std::string& error);

// The script of this run, in place of the environment's.
void setScript(std::vector<ScriptedMessage> script);

// The rendering context created last, or null.
HGLRC lastContext();

// The OpenGL and GLU calls made since the process began: with nothing drawn,
// what a benchmark of a frame's own cost reads.
std::uint64_t glCallCount();

// Forgets every window, pixel format, rendering context, presented frame and
// the script (the environment's is read again), and resets the stand-in
// (standin::reset): a fresh process, for tests.
void reset();

}  // namespace gloam::nullstandin
