// Fuzz target for the bitmap decoder. Besides memory errors it checks what
// the decoder promises: a rejected input leaves the texture empty, an
// accepted one has a buffer of the stated size, and flipping the rows gives
// the same rows in the opposite order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gloam/textures/bitmap.h"
#include "gloam/textures/texture.h"

using namespace gloam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Texture plain;
    if (!decodeBitmap(plain, data, size, false, false, false)) {
        if (plain.pixels != nullptr || plain.width != 0 || plain.height != 0) std::abort();
        return 0;
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
