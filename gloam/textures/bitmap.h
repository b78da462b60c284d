#pragma once

#include <cstddef>
#include <cstdint>

#include "gloam/platform/files.h"
#include "gloam/textures/texture.h"

namespace gloam {

// An 8-bit RGB colour as a bitmap stores it.
struct BitmapColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// Pixels of exactly this colour are made fully transparent (unless alpha is
// taken from grey), so that artists can cut shapes out of a texture.
inline constexpr BitmapColour colourKey{255, 0, 255};

// The largest width or height accepted. Bounds the pixel buffer before
// anything is allocated, far above what OpenGL 1.1 hardware takes.
inline constexpr std::int32_t maxBitmapDimension = 16384;

// Decodes an uncompressed 24-bit bitmap held in memory into `texture`'s
// pixels, width and height; its name is left alone. Needs no OpenGL.
//
// Accepted: signature "BM"; an info header of 40 bytes or more (the larger
// versions add fields after the first 40, which are not needed here); one
// plane; 24 bits per pixel; no compression; width 1 to maxBitmapDimension;
// height of the same size, positive for rows stored bottom-up, negative for
// top-down; pixel data at the stored offset, which lies after the headers,
// with every row padded to a multiple of 4 bytes and all of them inside
// `size`. Palettes and other blocks between header and pixels are skipped.
//
// Buffer row 0 is the bottom row of the picture for either storage order;
// `flipRows` puts the top row first instead. Each pixel B, G, R converts to
// RGBA as follows (integer arithmetic, truncating):
//   colour: R, G, B, or the grey (R + G + B) / 3 three times if `greyscale`;
//   alpha:  the grey if `alphaFromGrey`, else 0 for the colour key, else 255.
// The key and the grey always come from the bytes in the file.
//
// Returns false, with pixels, width and height cleared, for anything else;
// it never reads outside [data, data + size).
bool decodeBitmap(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
                  bool alphaFromGrey, bool flipRows);

// The same, saying why when it fails: `error.reason` gets what is wrong,
// such as "32 bits per pixel; only 24-bit uncompressed bitmaps are read"
// (`error.file` is left as it is; a bitmap has no lines to point at).
bool decodeBitmap(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
                  bool alphaFromGrey, bool flipRows, FileError& error);

// Writes an uncompressed 24-bit bitmap, rows stored bottom-up, that
// readBitmap reads back to the same pixels. `rgb` holds `height` rows of
// `width` pixels, three bytes each (red, green, blue), bottom row first and
// without padding: what glReadPixels gives for GL_RGB with a pack alignment
// of 1. The file is written atomically (AtomicFile); false, with the reason
// in `error` and any old file untouched, when that fails or a side lies
// outside 1..maxBitmapDimension.
bool writeBitmap(const char* fileName, const std::uint8_t* rgb, std::int32_t width,
                 std::int32_t height, FileError& error);

}  // namespace gloam
