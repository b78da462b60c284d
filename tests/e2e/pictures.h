#pragma once

// The end-to-end tests' pictures: what a program saved, read back, and
// compared with a reference. Each test program includes this from its one
// source file, which so holds stb's implementation.

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace e2e {

// An 8-bit RGB picture, rows from the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// A PNG or a bitmap; empty when there is none.
inline Picture readPicture(const std::filesystem::path& file) {
    Picture p;
    int channels = 0;
    unsigned char* data = stbi_load(file.c_str(), &p.width, &p.height, &channels, 3);
    if (data != nullptr) p.rgb.assign(data, data + std::size_t(p.width) * p.height * 3);
    stbi_image_free(data);
    return p;
}

inline bool writePng(const Picture& p, const std::filesystem::path& file) {
    stbi_write_png_compression_level = 9;
    return stbi_write_png(file.c_str(), p.width, p.height, 3, p.rgb.data(), p.width * 3) != 0;
}

// Pixels whose largest channel difference exceeds 2 levels; a missing
// picture differs from everything. Measured between runs and between the
// GCC and the Clang+ASan builds, on all the demo's reference frames: not one
// pixel differs by even one level, as llvmpipe rasterises the same calls the
// same way. The threshold leaves room for a rounding change in the vertex
// colours (whole levels). `difference` gets those pixels in white, the ones
// below it dimmed and the rest black.
constexpr int channelThreshold = 2;

inline long differingPixels(const Picture& a, const Picture& b, Picture* difference = nullptr) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 1L << 30;
    if (difference != nullptr) *difference = Picture{a.width, a.height, {}};
    long count = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
        int largest = 0;
        for (std::size_t c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(a.rgb[i + c] - b.rgb[i + c]));
        count += largest > channelThreshold;
        const unsigned char shade = largest > channelThreshold ? 255 : (largest > 0 ? 96 : 0);
        if (difference != nullptr) difference->rgb.insert(difference->rgb.end(), 3, shade);
    }
    return count;
}

}  // namespace e2e
