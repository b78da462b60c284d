#include "tests/bitmap_support.h"

#include <chrono>
#include <fstream>

namespace bitmaptest {

std::vector<std::uint8_t> bitmapFile(std::int32_t width, std::int32_t storedHeight,
                                     const std::vector<Rgb>& filePixels, std::uint32_t gap,
                                     std::uint32_t infoSize, std::uint8_t padByte) {
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const std::int32_t rows = storedHeight < 0 ? -storedHeight : storedHeight;
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t offset = 14 + infoSize + gap;
    out.push_back('B');
    out.push_back('M');
    u32(offset + stride * static_cast<std::uint32_t>(rows));
    u32(0);
    u32(offset);
    u32(infoSize);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(storedHeight));
    u16(1);
    u16(24);
    u32(0);
    u32(stride * static_cast<std::uint32_t>(rows));
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    out.resize(14 + infoSize, 0);
    out.resize(offset, 0xCD);
    std::size_t next = 0;
    for (std::int32_t y = 0; y < rows; ++y) {
        for (std::int32_t x = 0; x < width; ++x, ++next) {
            const Rgb& p = filePixels.at(next);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        for (std::uint32_t k = static_cast<std::uint32_t>(width) * 3; k < stride; ++k) {
            out.push_back(padByte);
        }
    }
    return out;
}

// A fresh folder of its own for a test that writes files.
std::filesystem::path scratchDirectory(const std::string& stem) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    auto dir = std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(tick));
    std::filesystem::create_directories(dir);
    return dir;
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace bitmaptest
