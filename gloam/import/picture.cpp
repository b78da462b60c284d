#include "gloam/import/picture.h"

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <climits>
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

}  // namespace

std::int32_t nearestPowerOfTwo(std::int64_t n) {
    std::int32_t power = 1;
    while (power < maxBitmapDimension && power * 2 <= n) power *= 2;
    // Between power and 2 * power: go up unless n lies nearer the lower one.
    if (power < maxBitmapDimension && n - power >= 2 * std::int64_t(power) - n) power *= 2;
    return power;
}

bool convertPicture(const std::uint8_t* data, std::size_t size, std::int32_t side, Picture& picture,
                    std::string& reason) {
    if (size > std::size_t(INT_MAX)) {
        reason = "larger than 2 GB, which the picture decoder does not read";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) {
        reason = std::string("not a picture that can be read (") + stbi_failure_reason() + ")";
        return false;
    }
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
    picture.sourceWidth = width;
    picture.sourceHeight = height;
    picture.channels = channels;

    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    std::vector<std::uint8_t> rgb(3 * pixels);
    picture.translucentPixels = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(&rgb[3 * i], rgba.get() + 4 * i, 3);
        picture.translucentPixels += rgba.get()[4 * i + 3] != 255;
    }
    rgba.reset();
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
