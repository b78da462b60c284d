#pragma once

// Building bitmap files for the texture tests.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace bitmaptest {

struct Rgb {
    std::uint8_t r, g, b;
};

// A 24-bit bitmap file: `filePixels` row by row in file order, rows padded
// with `padByte`, `gap` filler bytes between the headers and the pixels, and
// an info header of `infoSize` bytes.
inline std::vector<std::uint8_t> bitmapFile(std::int32_t width, std::int32_t storedHeight,
                                            const std::vector<Rgb>& filePixels,
                                            std::uint32_t gap = 0, std::uint32_t infoSize = 40,
                                            std::uint8_t padByte = 0xEE) {
    std::vector<std::uint8_t> out{'B', 'M'};
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
    };
    const std::uint32_t rows = std::uint32_t(storedHeight < 0 ? -storedHeight : storedHeight);
    const std::uint32_t stride = (std::uint32_t(width) * 3 + 3) & ~3u;
    const std::uint32_t offset = 14 + infoSize + gap;
    // File size, reserved, pixel offset; header size, width, height, one
    // plane and 24 bits, no compression, image size, 2835 pixels per metre
    // both ways, no palette.
    for (std::uint32_t v :
         {offset + stride * rows, 0u, offset, infoSize, std::uint32_t(width),
          std::uint32_t(storedHeight), 1u | 24u << 16, 0u, stride * rows, 2835u, 2835u, 0u, 0u}) {
        u32(v);
    }
    out.resize(14 + infoSize, 0);
    out.resize(offset, 0xCD);
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const Rgb& p = filePixels.at(y * std::uint32_t(width) + std::uint32_t(x));
            out.insert(out.end(), {p.b, p.g, p.r});
        }
        out.resize(out.size() + stride - std::uint32_t(width) * 3, padByte);
    }
    return out;
}

// A fresh folder of its own for a test that writes files.
inline std::filesystem::path scratchDirectory(const std::string& stem) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    auto dir = std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(tick));
    std::filesystem::create_directories(dir);
    return dir;
}

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace bitmaptest
