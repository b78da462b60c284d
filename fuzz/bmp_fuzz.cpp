// Fuzz target for the bitmap decoder. Besides memory errors it checks what
// the decoder promises: a rejected input leaves the texture empty, an
// accepted one has a buffer of the stated size, and flipping the rows gives
// the same rows in the opposite order. The diagnostic form accepts exactly
// what the plain one does, to the same pixels, and gives every rejection a
// reason; a bitmap has no lines, so it claims no place in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gloam/platform/files.h"
#include "gloam/textures/bitmap.h"
#include "gloam/textures/texture.h"

using namespace gloam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Texture plain, diagnosed;
    const bool accepted = decodeBitmap(plain, data, size, false, false, false);
    FileError error{"in.bmp", 0, 0, ""};
    if (decodeBitmap(diagnosed, data, size, false, false, false, error) != accepted) std::abort();
    if (error.file != "in.bmp" || error.line != 0 || error.column != 0) std::abort();
    if (error.reason.empty() == !accepted) std::abort();
    if (!accepted) {
        if (plain.pixels != nullptr || plain.width != 0 || plain.height != 0) std::abort();
        if (diagnosed.pixels != nullptr || diagnosed.width != 0) std::abort();
        return 0;
    }
    if (diagnosed.width != plain.width || diagnosed.height != plain.height ||
        std::memcmp(diagnosed.pixels.get(), plain.pixels.get(),
                    std::size_t(plain.width) * 4 * std::size_t(plain.height)) != 0) {
        std::abort();
    }
    if (plain.pixels == nullptr || plain.width <= 0 || plain.height <= 0 ||
        plain.width > maxBitmapDimension || plain.height > maxBitmapDimension) {
        std::abort();
    }

    Texture flipped;
    if (!decodeBitmap(flipped, data, size, true, true, true)) std::abort();
    if (flipped.width != plain.width || flipped.height != plain.height) std::abort();
    const std::size_t stride = static_cast<std::size_t>(plain.width) * 4;
    for (std::int32_t y = 0; y < plain.height; ++y) {
        const std::uint8_t* a = plain.pixels.get() + stride * y;
        const std::uint8_t* b = flipped.pixels.get() + stride * (plain.height - 1 - y);
        for (std::size_t x = 0; x < stride; x += 4) {
            // Greyscale with alpha from grey: four equal bytes, and the key
            // only ever where the plain decode saw magenta.
            if (b[x] != b[x + 1] || b[x] != b[x + 2] || b[x] != b[x + 3]) std::abort();
            if ((a[x + 3] == 0) != (a[x] == colourKey.red && a[x + 1] == colourKey.green &&
                                    a[x + 2] == colourKey.blue)) {
                std::abort();
            }
            if (b[x] != (a[x] + a[x + 1] + a[x + 2]) / 3) std::abort();
        }
    }
    return 0;
}
