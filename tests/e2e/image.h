#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace e2e {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// An RGB picture, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    const Rgb& at(int x, int y) const {
        return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
};

// Writes an 8-bit RGB PNG; false when the file cannot be written.
bool writePng(const Image& image, const std::filesystem::path& file);

// Reads an uncompressed 24-bit bitmap (rows from the top in the result);
// an empty image when it cannot.
Image readBmp(const std::filesystem::path& file);

}  // namespace e2e
