#include "gloam/app/screenshot.h"

#include <cstdio>
#include <filesystem>

#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/bitmap.h"

namespace gloam {

void readFramePixels(FramePixels& pixels) {
    pixels.width = viewportWidth > 0 && viewportHeight > 0 ? viewportWidth : 0;
    pixels.height = pixels.width > 0 ? viewportHeight : 0;
    pixels.rgb.resize(std::size_t(pixels.width) * std::size_t(pixels.height) * 3);
    if (pixels.rgb.empty()) return;
    // Rows packed tightly, as a bitmap row is before its padding; the
    // default of 4 would pad every row whose width is not a multiple of 4.
    // A double-buffered context reads from the back buffer unless told
    // otherwise, and nothing here tells it otherwise.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, pixels.width, pixels.height, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
}

bool saveScreenshot(const char* fileName, FileError& error) {
    FramePixels pixels;
    readFramePixels(pixels);
    return writeBitmap(fileName, pixels.rgb.data(), pixels.width, pixels.height, error);
}

std::string nextScreenshotName() {
    char name[32];
    for (int number = 1;; ++number) {
        std::snprintf(name, sizeof name, "screenshot-%04d.bmp", number);
        std::error_code error;
        // When the folder cannot be looked into, the write will fail and
        // say why; searching on would never end.
        if (!std::filesystem::exists(name, error) || error) return name;
    }
}

}  // namespace gloam
