#include "gloam/app/screenshot.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>

#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/bitmap.h"

namespace gloam {

bool readFramePixels(FramePixels& pixels, std::string& reason) {
    const std::int32_t width = viewportWidth > 0 && viewportHeight > 0 ? viewportWidth : 0;
    const std::int32_t height = width > 0 ? viewportHeight : 0;
    pixels.width = pixels.height = 0;
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    // Past what OpenGL draws, the driver's buffers are not the window's size,
    // and a read can run off them.
    GLint most[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, most);
    if (most[0] > 0 && most[1] > 0 && (width > most[0] || height > most[1])) {
        pixels.rgb.clear();
        reason = "the client area, " + size + ", is larger than OpenGL draws here (at most " +
                 std::to_string(most[0]) + " x " + std::to_string(most[1]) + ")";
        return false;
    }
    // In 64 bits: a 32-bit program's size_t would wrap.
    const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * 3;
    try {
        if (bytes > pixels.rgb.max_size()) throw std::bad_alloc();
        pixels.rgb.resize(std::size_t(bytes));
    } catch (const std::bad_alloc&) {
        pixels.rgb = {};
        reason = "no memory for a picture of " + size;
        return false;
    }
    pixels.width = width;
    pixels.height = height;
    if (pixels.rgb.empty()) return true;
    // Rows packed tightly, as a bitmap row is before its padding; the
    // default of 4 would pad every row whose width is not a multiple of 4.
    // A double-buffered context reads from the back buffer unless told
    // otherwise, and nothing here tells it otherwise.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, pixels.width, pixels.height, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
    return true;
}

bool readFramePixels(FramePixels& pixels) {
    std::string reason;
    return readFramePixels(pixels, reason);
}

bool saveScreenshot(const char* fileName, FileError& error) {
    FramePixels pixels;
    std::string reason;
    if (!readFramePixels(pixels, reason)) {
        error = FileError{fileName != nullptr ? fileName : "", 0, 0, reason};
        return false;
    }
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
