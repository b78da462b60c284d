#include <cstdint>
#include <vector>

#include "gloam/textures/bitmap.h"

namespace gloam {

namespace {

void putU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    putU16(p, v);
    putU16(p + 2, v >> 16);
}

}  // namespace

bool writeBitmap(const char* fileName, const std::uint8_t* rgb, std::int32_t width,
                 std::int32_t height, FileError& error) {
    error = FileError{fileName != nullptr ? fileName : "", 0, 0, ""};
    if (width < 1 || height < 1 || width > maxBitmapDimension || height > maxBitmapDimension) {
        error.reason =
            "cannot write a " + std::to_string(width) + " x " + std::to_string(height) + " bitmap";
        return false;
    }
    constexpr std::uint32_t headers = 14 + 40;
    const std::uint32_t stride = (std::uint32_t(width) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = stride * std::uint32_t(height);
    std::vector<std::uint8_t> file(headers + std::size_t(pixelBytes), 0);
    std::uint8_t* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    putU32(h + 2, headers + pixelBytes);
    putU32(h + 10, headers);
    putU32(h + 14, 40);
    putU32(h + 18, std::uint32_t(width));
    putU32(h + 22, std::uint32_t(height));  // positive: bottom row first
    putU16(h + 26, 1);
    putU16(h + 28, 24);
    putU32(h + 34, pixelBytes);
    putU32(h + 38, 2835);  // 72 dots per inch
    putU32(h + 42, 2835);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = rgb + std::size_t(y) * std::size_t(width) * 3;
        std::uint8_t* out = file.data() + headers + std::size_t(y) * stride;
        for (std::int32_t x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return writeFileAtomically(fileName, file.data(), file.size(), error);
}

}  // namespace gloam
