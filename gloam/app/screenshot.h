#pragma once

// Pictures of what the program draws. runApp takes them for --screenshot and
// on F12; a scene may take its own at the end of Scene::frame, where the
// frame is complete in the back buffer and not yet presented.

#include <cstdint>
#include <string>
#include <vector>

#include "gloam/platform/files.h"

namespace gloam {

// The client area's pixels: `height` rows of `width` pixels, three bytes
// each (red, green, blue), bottom row first and without padding, as
// writeBitmap takes them.
struct FramePixels {
    std::vector<std::uint8_t> rgb;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Reads the back buffer of the current context over the whole viewport,
// reusing `pixels`' memory. A minimised window has none: 0 x 0. False, with
// `pixels` 0 x 0 and the reason in `reason`, when the picture cannot be
// read: a client area larger than OpenGL draws (a window grown after it
// opened), or more pixels than memory holds.
bool readFramePixels(FramePixels& pixels, std::string& reason);
bool readFramePixels(FramePixels& pixels);

// Reads the back buffer and writes it to `fileName` as a 24-bit bitmap that
// readBitmap gives back bit for bit. The file is replaced whole or not at
// all; false, with the reason in `error`, when the picture could not be read
// or written.
bool saveScreenshot(const char* fileName, FileError& error);

// "screenshot-0001.bmp", or the first of "screenshot-0002.bmp", ... that is
// not yet in the working folder.
std::string nextScreenshotName();

}  // namespace gloam
