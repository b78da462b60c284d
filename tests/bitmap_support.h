#pragma once

// Building bitmap files for the texture tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bitmaptest {

struct Rgb {
    std::uint8_t r, g, b;
};

// A 24-bit bitmap file: `filePixels` row by row in file order, rows padded
// with `padByte`, `gap` filler bytes between the headers and the pixels, and
// an info header of `infoSize` bytes.
std::vector<std::uint8_t> bitmapFile(std::int32_t width, std::int32_t storedHeight,
                                     const std::vector<Rgb>& filePixels, std::uint32_t gap = 0,
                                     std::uint32_t infoSize = 40, std::uint8_t padByte = 0xEE);

// A fresh, empty folder under the system's temporary folder.
std::filesystem::path scratchDirectory(const std::string& stem);

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace bitmaptest
