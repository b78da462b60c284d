#include "gloam/import/picture.h"

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "gloam/textures/bitmap.h"

namespace gloam {

namespace {

// Decoded as RGBA, four bytes a pixel: 256 MB at most.
constexpr std::int64_t maxPixels = std::int64_t{1} << 26;

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

bool isKey(const std::uint8_t* rgb) {
    return rgb[0] == colourKey.red && rgb[1] == colourKey.green && rgb[2] == colourKey.blue;
}

std::int64_t countKeys(const std::vector<std::uint8_t>& rgb) {
    std::int64_t count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) count += isKey(&rgb[i]);
    return count;
}

// The widest side the decoder takes, as third_party.cpp sets it.
constexpr std::int64_t maxSide = std::int64_t{1} << 15;

std::uint32_t bigEndian(const std::uint8_t* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}

std::uint32_t littleEndian(const std::uint8_t* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

// What a picture's header says, for a reason the decoder does not give: it
// reports only "unknown image type" when no decoder takes the bytes.
struct Header {
    std::int64_t width = -1;
    std::int64_t height = -1;
    std::int32_t bmpCompression = -1;
};

Header readHeader(const std::uint8_t* d, std::size_t n) {
    Header h;
    if (n >= 24 && std::memcmp(d, "\x89PNG\r\n\x1A\n", 8) == 0 &&
        std::memcmp(d + 12, "IHDR", 4) == 0) {
        h.width = bigEndian(d + 16, 4);
        h.height = bigEndian(d + 20, 4);
    } else if (n >= 10 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) {
        h.width = littleEndian(d + 6, 2);
        h.height = littleEndian(d + 8, 2);
    } else if (n >= 26 && d[0] == 'B' && d[1] == 'M') {
        const std::uint32_t size = littleEndian(d + 14, 4);
        if (size == 12) {
            h.width = littleEndian(d + 18, 2);
            h.height = littleEndian(d + 20, 2);
        } else if (n >= 34) {
            h.width = std::int32_t(littleEndian(d + 18, 4));
            h.height = std::abs(std::int64_t(std::int32_t(littleEndian(d + 22, 4))));
            h.bmpCompression = std::int32_t(littleEndian(d + 30, 4));
        }
    } else if (n >= 4 && d[0] == 0xFF && d[1] == 0xD8) {
        // The frame header (SOF0 to SOF15, less DHT, JPG and DAC) holds the size.
        for (std::size_t p = 2; p + 9 <= n && d[p] == 0xFF;) {
            const std::uint8_t marker = d[p + 1];
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                marker != 0xCC) {
                h.height = bigEndian(d + p + 5, 2);
                h.width = bigEndian(d + p + 7, 2);
                break;
            }
            p += 2 + bigEndian(d + p + 2, 2);
        }
    }
    return h;
}

// The orientation a JPEG's EXIF data gives, 1 to 8; 1 (upright as stored)
// when there is none.
int exifOrientation(const std::uint8_t* d, std::size_t n) {
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return 1;
    for (std::size_t p = 2; p + 4 <= n && d[p] == 0xFF && d[p + 1] != 0xDA;) {
        const std::size_t length = bigEndian(d + p + 2, 2);
        if (length < 2 || p + 2 + length > n) return 1;
        const std::uint8_t* segment = d + p + 4;
        const std::size_t size = length - 2;
        if (d[p + 1] == 0xE1 && size >= 14 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            const std::uint8_t* tiff = segment + 6;
            const std::size_t tiffSize = size - 6;
            const bool motorola = tiff[0] == 'M' && tiff[1] == 'M';
            if (!motorola && !(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
            const auto read = [&](std::size_t at, int bytes) {
                return motorola ? bigEndian(tiff + at, bytes) : littleEndian(tiff + at, bytes);
            };
            const std::size_t ifd = read(4, 4);
            if (ifd > tiffSize || tiffSize - ifd < 2) return 1;
            const std::size_t entries = read(ifd, 2);
            for (std::size_t e = 0; e < entries; ++e) {
                const std::size_t at = ifd + 2 + 12 * e;
                if (at + 12 > tiffSize) return 1;
                // Orientation, a SHORT.
                if (read(at, 2) == 0x0112 && read(at + 2, 2) == 3) {
                    const int value = int(read(at + 8, 2));
                    return value >= 1 && value <= 8 ? value : 1;
                }
            }
            return 1;
        }
        p += 2 + length;
    }
    return 1;
}

// The pixels turned upright as EXIF orientation `o` asks: a transpose
// (orientations 5 to 8), then mirrorings across each axis.
void turnUpright(std::vector<std::uint8_t>& rgb, int& width, int& height, int o) {
    if (o <= 1 || o > 8) return;
    static const bool turns[9][3] = {{},        {},        {0, 1, 0}, {0, 1, 1}, {0, 0, 1},
                                     {1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}};
    const bool transpose = turns[o][0], mirrorX = turns[o][1], mirrorY = turns[o][2];
    const int w = transpose ? height : width, h = transpose ? width : height;
    std::vector<std::uint8_t> out(rgb.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int sx = transpose ? y : x, sy = transpose ? x : y;
            if (mirrorX) sx = width - 1 - sx;
            if (mirrorY) sy = height - 1 - sy;
            std::memcpy(&out[3 * (std::size_t(y) * std::size_t(w) + std::size_t(x))],
                        &rgb[3 * (std::size_t(sy) * std::size_t(width) + std::size_t(sx))], 3);
        }
    }
    rgb = std::move(out);
    width = w;
    height = h;
}

// Why a JPEG must not reach the decoder, or empty. The decoder builds each
// Huffman table in arrays of 256 codes, from a count that can say up to
// 4,080, and writes past them; a table of more codes than any byte can name
// is damaged anyway. The segments are walked as the decoder walks them, and
// tables may come between scans, so the scans are passed over too.
std::string jpegProblem(const std::uint8_t* d, std::size_t n) {
    // Fill bytes may come before the start marker too.
    std::size_t start = 0;
    while (start < n && d[start] == 0xFF) ++start;
    if (start == 0 || start == n || d[start] != 0xD8) return "";
    for (std::size_t p = start + 1; p + 4 <= n;) {
        // The decoder looks for the next marker past anything else, as here.
        const std::uint8_t marker = d[p + 1];
        if (d[p] != 0xFF || marker == 0xFF) {
            ++p;
            continue;
        }
        if (marker == 0xD9) return "";
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            p += 2;
            continue;
        }
        const std::size_t length = bigEndian(d + p + 2, 2);
        if (length < 2) return "";
        if (marker == 0xC4) {
            // Table after table while the segment lasts, as the decoder reads
            // them, even one that runs past its end or the file's.
            for (std::size_t q = p + 4, end = p + 2 + length; q < end && q < n;) {
                std::size_t codes = 0;
                for (std::size_t i = 1; i <= 16 && q + i < n; ++i) codes += d[q + i];
                if (codes > 256) {
                    return "a JPEG with a Huffman table of " + std::to_string(codes) +
                           " codes, where 256 is the most there can be: the file is damaged";
                }
                q += 17 + codes;
            }
        }
        p += 2 + length;
        if (marker == 0xDA) {
            // Entropy-coded data: a 0xFF in it is followed by 0 or a restart.
            while (p + 1 < n &&
                   !(d[p] == 0xFF && d[p + 1] != 0 && !(d[p + 1] >= 0xD0 && d[p + 1] <= 0xD7))) {
                ++p;
            }
        }
    }
    return "";
}

// Why a PNG must not reach the decoder, or empty. The decoder makes room
// for a chunk of image data as large as the chunk says, up to 2 GB, before
// it looks whether the file holds that much.
std::string pngProblem(const std::uint8_t* d, std::size_t n) {
    if (n < 8 || std::memcmp(d, "\x89PNG\r\n\x1A\n", 8) != 0) return "";
    for (std::size_t p = 8; p + 8 <= n;) {
        const std::size_t length = bigEndian(d + p, 4);
        if (length > n - p - 8) {
            return "a PNG chunk says it holds " + std::to_string(length) + " bytes where " +
                   std::to_string(n - p - 8) + " are left: the file is cut short or damaged";
        }
        if (std::memcmp(d + p + 4, "IEND", 4) == 0) break;
        p += 12 + length;
    }
    return "";
}

// Why the decoder takes no picture from the bytes, in words a user can act on.
std::string whyUnreadable(const std::uint8_t* data, std::size_t size) {
    const Header h = readHeader(data, size);
    if (h.bmpCompression == 1 || h.bmpCompression == 2) {
        return std::string("a BMP compressed with run lengths (") +
               (h.bmpCompression == 1 ? "RLE8" : "RLE4") +
               "), which the picture decoder does not read; save it uncompressed";
    }
    if (h.width > maxSide || h.height > maxSide) {
        return std::to_string(h.width) + " x " + std::to_string(h.height) +
               " pixels: a side is longer than " + std::to_string(maxSide) +
               ", the most the picture decoder reads";
    }
    // Decoding picks the decoder by the bytes' signature, and says what that
    // one found wrong.
    int width = 0, height = 0, channels = 0;
    stbi_image_free(stbi_load_from_memory(data, int(size), &width, &height, &channels, 4));
    return std::string("not a picture that can be read (") + stbi_failure_reason() + ")";
}

}  // namespace

std::int32_t nearestPowerOfTwo(std::int64_t n) {
    std::int32_t power = 1;
    while (power < maxBitmapDimension && power * 2 <= n) power *= 2;
    // Between power and 2 * power: go up unless n lies nearer the lower one.
    if (power < maxBitmapDimension && n - power >= 2 * std::int64_t(power) - n) power *= 2;
    return power;
}

bool pictureSize(const std::uint8_t* data, std::size_t size, std::int32_t& width,
                 std::int32_t& height, std::int32_t& channels, std::string& reason) {
    if (size > std::size_t(INT_MAX)) {
        reason = "larger than 2 GB, which the picture decoder does not read";
        return false;
    }
    reason = jpegProblem(data, size) + pngProblem(data, size);
    if (!reason.empty()) return false;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) {
        reason = whyUnreadable(data, size);
        return false;
    }
    // The decoder lets some headers of no pixels through.
    if (width < 1 || height < 1) {
        reason = std::to_string(width) + " x " + std::to_string(height) + " pixels: no picture";
        return false;
    }
    return true;
}

bool convertPicture(const std::uint8_t* data, std::size_t size, std::int32_t side, Picture& picture,
                    std::string& reason) {
    int width = 0, height = 0, channels = 0;
    if (!pictureSize(data, size, width, height, channels, reason)) return false;
    if (std::int64_t(width) * height > maxPixels) {
        reason = std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is more than the tool resizes";
        return false;
    }
    std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(data, int(size), &width, &height, &channels, 4));
    if (!rgba) {
        reason = std::string("cannot decode the picture (") + stbi_failure_reason() + ")";
        return false;
    }
    picture.channels = channels;

    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    std::vector<std::uint8_t> rgb(3 * pixels);
    picture.translucentPixels = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(&rgb[3 * i], rgba.get() + 4 * i, 3);
        picture.translucentPixels += rgba.get()[4 * i + 3] != 255;
    }
    rgba.reset();
    // Cameras store a photo as the sensor saw it and say in EXIF which way
    // is up; the decoder leaves that to us.
    picture.orientation = exifOrientation(data, size);
    turnUpright(rgb, width, height, picture.orientation);
    picture.sourceWidth = width;
    picture.sourceHeight = height;
    picture.sourceKeyPixels = countKeys(rgb);

    picture.width = side > 0 ? side : nearestPowerOfTwo(width);
    picture.height = side > 0 ? side : nearestPowerOfTwo(height);
    if (picture.width != width || picture.height != height) {
        std::vector<std::uint8_t> resized(3 * std::size_t(picture.width) *
                                          std::size_t(picture.height));
        if (!stbir_resize_uint8_srgb(rgb.data(), width, height, 0, resized.data(), picture.width,
                                     picture.height, 0, 3, STBIR_ALPHA_CHANNEL_NONE, 0)) {
            reason = "cannot resize the picture";
            return false;
        }
        rgb = std::move(resized);
    }
    picture.keyPixels = countKeys(rgb);

    // The decoder gives the top row first; a bitmap stores the bottom one first.
    const std::size_t stride = 3 * std::size_t(picture.width);
    picture.rgb.resize(rgb.size());
    for (std::int32_t y = 0; y < picture.height; ++y) {
        std::memcpy(&picture.rgb[std::size_t(picture.height - 1 - y) * stride],
                    &rgb[std::size_t(y) * stride], stride);
    }
    return true;
}

}  // namespace gloam
