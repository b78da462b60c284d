#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gloam {

// A picture turned into what the engine's bitmap reader takes.
struct Picture {
    // The picture's size upright, before resizing.
    std::int32_t sourceWidth = 0;
    std::int32_t sourceHeight = 0;
    // A JPEG's EXIF orientation, 1 to 8; the pixels have been turned upright
    // by it. 1 when the file has none.
    std::int32_t orientation = 1;
    std::int32_t channels = 0;           // in the file: 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    std::int64_t translucentPixels = 0;  // alpha below 255 in the file; the alpha is dropped
    std::int64_t sourceKeyPixels = 0;    // exactly the colour key, before resizing
    std::int64_t keyPixels = 0;          // exactly the colour key, in the result
    std::int32_t width = 0;
    std::int32_t height = 0;
    // width × height pixels of red, green and blue, bottom row first: what
    // writeBitmap takes.
    std::vector<std::uint8_t> rgb;
};

// The power of two nearest to n (ties go up), within 1..maxBitmapDimension.
std::int32_t nearestPowerOfTwo(std::int64_t n);

// The size and channel count (as Picture::channels) a picture's header
// gives, without decoding it; false, with the reason, when the bytes are no
// picture the decoder reads.
bool pictureSize(const std::uint8_t* data, std::size_t size, std::int32_t& width,
                 std::int32_t& height, std::int32_t& channels, std::string& reason);

// Decodes any picture stb_image reads (PNG, JPEG, TGA, BMP without run-length
// compression, GIF, HDR), turns a JPEG upright as its EXIF orientation says,
// and resizes it, with a filter that weighs in linear light, to `side` ×
// `side`, or, when `side` is 0, to the nearest power of two on each side. A
// picture of that size already is copied unfiltered. False, with the reason,
// when the bytes are no such picture, a side is longer than 32,768 or it has
// more than 2^26 pixels.
bool convertPicture(const std::uint8_t* data, std::size_t size, std::int32_t side, Picture& picture,
                    std::string& reason);

}  // namespace gloam
