#pragma once

#include <cstdint>
#include <memory>

#include "gloam/platform/files.h"

namespace gloam {

// One entry of the texture table: an RGBA image, four bytes per pixel, rows
// left to right and with no padding, buffer row 0 at the bottom of the
// picture (the row OpenGL maps to t = 0). An entry without pixels is empty.
struct Texture {
    std::unique_ptr<std::uint8_t[]> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Equal to the entry's index in textureTable and used as the OpenGL
    // texture object name: the application picks names, OpenGL never does.
    std::int32_t name = 0;
};

enum TextureFilter : std::int32_t { FilterNearest = 0, FilterBilinear = 1, FilterTrilinear = 2 };

// Texture names run from 0 to textureTableSize - 1.
inline constexpr std::int32_t textureTableSize = 128;

// Indexed by texture name; entries never loaded stay empty. The table owns
// the pixel buffers so that a filter change can specify every image again.
extern Texture textureTable[textureTableSize];
// The TextureFilter that every upload applies.
extern std::int32_t textureFilter;
// Successful loads so far. Loads under a name already in use count again, so
// this is neither an index nor the number of occupied entries.
extern std::int32_t textureCount;

// Reads an uncompressed 24-bit bitmap file into `texture`'s pixels, width
// and height (not its name); see decodeBitmap for what is accepted and how
// pixels convert. False, with the three fields cleared, when the file cannot
// be opened or read or is not such a bitmap. Needs no OpenGL.
bool readBitmap(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
                bool flipRows);
// The same, saying why when it fails: "doorbands.bmp: 32 bits per pixel;
// only 24-bit uncompressed bitmaps are read" (error.message()).
bool readBitmap(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
                bool flipRows, FileError& error);

// Loads a bitmap into the entry `textureName` and uploads it under that
// name. Returns the number of successful loads before this one, or -1 when
// the name lies outside the table (nothing changes then) or the file cannot
// be read. A failed load leaves the entry empty, even if it held a texture
// before, uploads nothing and does not count; the OpenGL texture object of
// that name keeps whatever it last received.
std::int32_t addTexture(const char* fileName, bool greyscale, bool alphaFromGrey,
                        std::int32_t textureName);
// The same, saying why a load failed in `error`.
std::int32_t addTexture(const char* fileName, bool greyscale, bool alphaFromGrey,
                        std::int32_t textureName, FileError& error);

// Loads pixels a program made or decoded itself into the entry
// `textureName` and uploads it under that name, by the table's rules:
// `channels` is 3 (red, green, blue) or 4 (with alpha), rows bottom first and
// unpadded; both sides are powers of two up to maxBitmapDimension, which is
// what OpenGL 1.1 takes. A pixel of exactly the colour key becomes
// transparent, as in a bitmap; every other pixel is opaque, or keeps its own
// alpha when there are four channels. Returns what addTexture returns; on
// failure (a name outside the table, a bad size or channel count, no pixels)
// `error.reason` says why and the entry is left as it was.
std::int32_t addTexturePixels(std::int32_t textureName, const std::uint8_t* pixels,
                              std::int32_t width, std::int32_t height, std::int32_t channels,
                              FileError& error);

// A checkerboard of `size` × `size` pixels (a power of two), two squares to
// a side, in the colours 0xRRGGBB `light` and `dark` (one colour when they
// are the same), loaded and uploaded under `textureName` as above: a floor,
// or a white texel that draws a mesh in its lit colour alone.
std::int32_t addCheckerTexture(std::int32_t textureName, std::int32_t size, std::uint32_t light,
                               std::uint32_t dark);

// Specifies the entry's image to OpenGL under its name with the current
// filter, building mipmaps unless the filter is FilterNearest. A filter value
// outside the three modes uploads as FilterNearest. An entry without pixels
// has nothing to specify and makes no call.
void uploadTexture(const Texture& texture);

// Selects a TextureFilter and uploads every loaded entry again with it;
// values outside the three modes are ignored.
void setTextureFilter(std::int32_t mode);

// Uploads every loaded entry, in name order, wherever the names lie.
void reuploadAllTextures();

// Uploads the entry whose name is `index` if it lies in the table and is
// loaded; otherwise does nothing. With names given densely from 0, that is
// exactly the indices 0 to textureCount - 1.
void reuploadTexture(std::int32_t index);

}  // namespace gloam
