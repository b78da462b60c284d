#include "gloam/textures/bitmap.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace gloam {

namespace {

constexpr std::uint64_t fileHeaderSize = 14;
constexpr std::uint64_t minInfoHeaderSize = 40;
constexpr std::uint32_t uncompressed = 0;
// Room for the largest accepted image (768 MiB of pixels) and generous
// headers; stops a read from a device or a runaway file early.
constexpr std::size_t maxFileSize = std::size_t{1} << 30;

std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void clear(Texture& texture) {
    texture.pixels.reset();
    texture.width = 0;
    texture.height = 0;
}

void convertRow(const std::uint8_t* in, std::uint8_t* out, std::int32_t width, bool greyscale,
                bool alphaFromGrey) {
    for (std::int32_t j = 0; j < width; ++j, in += 3, out += 4) {
        const std::uint8_t blue = in[0];
        const std::uint8_t green = in[1];
        const std::uint8_t red = in[2];
        const auto grey = static_cast<std::uint8_t>((red + green + blue) / 3);
        if (greyscale) {
            out[0] = out[1] = out[2] = grey;
        } else {
            out[0] = red;
            out[1] = green;
            out[2] = blue;
        }
        if (alphaFromGrey) {
            out[3] = grey;
        } else {
            const bool keyed =
                red == colourKey.red && green == colourKey.green && blue == colourKey.blue;
            out[3] = keyed ? 0 : 255;
        }
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool decodeBitmap(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
                  bool alphaFromGrey, bool flipRows) {
    clear(texture);
    if (data == nullptr || size < fileHeaderSize + minInfoHeaderSize) return false;
    if (data[0] != 'B' || data[1] != 'M') return false;

    const std::uint32_t pixelOffset = readU32(data + 10);
    const std::uint32_t infoHeaderSize = readU32(data + 14);
    const auto width = static_cast<std::int32_t>(readU32(data + 18));
    const auto storedHeight = static_cast<std::int32_t>(readU32(data + 22));
    const std::uint16_t planes = readU16(data + 26);
    const std::uint16_t bitCount = readU16(data + 28);
    const std::uint32_t compression = readU32(data + 30);

    if (infoHeaderSize < minInfoHeaderSize || planes != 1 || bitCount != 24 ||
        compression != uncompressed) {
        return false;
    }
    if (width <= 0 || width > maxBitmapDimension) return false;
    // Widened before negating: -INT32_MIN does not exist in 32 bits.
    const bool topDown = storedHeight < 0;
    const std::int64_t rows64 = topDown ? -static_cast<std::int64_t>(storedHeight) : storedHeight;
    if (rows64 == 0 || rows64 > maxBitmapDimension) return false;
    const auto height = static_cast<std::int32_t>(rows64);

    // Everything in 64 bits, so that no product of header fields can wrap
    // into a small size that passes the bounds checks.
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(height);
    if (pixelOffset < fileHeaderSize + infoHeaderSize || pixelOffset > size ||
        pixelBytes > size - pixelOffset) {
        return false;
    }

    const std::size_t outStride = static_cast<std::size_t>(width) * 4;
    // Every byte is written below, so the buffer need not be zeroed first.
    auto pixels = std::make_unique_for_overwrite<std::uint8_t[]>(outStride * height);
    const std::uint8_t* in = data + pixelOffset;
    for (std::int32_t i = 0; i < height; ++i, in += stride) {
        // The file's row i counted from the bottom of the picture.
        const std::int32_t fromBottom = topDown ? height - 1 - i : i;
        const std::int32_t target = flipRows ? height - 1 - fromBottom : fromBottom;
        convertRow(in, pixels.get() + outStride * target, width, greyscale, alphaFromGrey);
    }

    texture.pixels = std::move(pixels);
    texture.width = width;
    texture.height = height;
    return true;
}

bool readBitmap(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
                bool flipRows) {
    clear(texture);
    if (fileName == nullptr) return false;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "rb"));
    if (!file) return false;

    // The whole file at once, so that the decoder checks every field against
    // the bytes really there instead of trusting reads to succeed.
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (got > maxFileSize - bytes.size()) return false;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get())) return false;
    return decodeBitmap(texture, bytes.data(), bytes.size(), greyscale, alphaFromGrey, flipRows);
}

}  // namespace gloam
