#include "image.h"

#include <algorithm>
#include <fstream>

namespace {

int clampChannel(int c) { return std::clamp(c, 0, 255); }

void put16(std::vector<char>& out, std::uint32_t value) {
    out.push_back(char(value & 0xffu));
    out.push_back(char((value >> 8) & 0xffu));
}

void put32(std::vector<char>& out, std::uint32_t value) {
    put16(out, value & 0xffffu);
    put16(out, value >> 16);
}

}  // namespace

Rgb mix(Rgb a, Rgb b, int t) {
    return {a.r + (b.r - a.r) * t / 256, a.g + (b.g - a.g) * t / 256, a.b + (b.b - a.b) * t / 256};
}

Rgb scaled(Rgb c, int percent) {
    return {c.r * percent / 100, c.g * percent / 100, c.b * percent / 100};
}

Rgb brightened(Rgb c, int amount) { return {c.r + amount, c.g + amount, c.b + amount}; }

bool writeBitmap(const Image& image, const char* fileName) {
    if (image.width <= 0 || image.height <= 0 || image.width % 4 != 0) return false;
    const std::uint32_t headerSize = 14 + 40;
    const std::uint32_t dataSize = std::uint32_t(image.width) * std::uint32_t(image.height) * 3;

    std::vector<char> out;
    out.reserve(headerSize + dataSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, headerSize + dataSize);  // file size
    put32(out, 0);                      // two reserved words
    put32(out, headerSize);             // where the pixels start
    put32(out, 40);                     // info header size
    put32(out, std::uint32_t(image.width));
    put32(out, std::uint32_t(image.height));  // positive: bottom row first
    put16(out, 1);                            // planes
    put16(out, 24);                           // bits per pixel
    put32(out, 0);                            // no compression
    put32(out, dataSize);
    put32(out, 2835);  // 72 dots per inch, both ways
    put32(out, 2835);
    put32(out, 0);  // no palette
    put32(out, 0);

    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb& c = image.at(x, y);
            const int r = clampChannel(c.r), g = clampChannel(c.g), b = clampChannel(c.b);
            if (r == 255 && g == 0 && b == 255) return false;
            out.push_back(char(b));
            out.push_back(char(g));
            out.push_back(char(r));
        }
    }

    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    file.write(out.data(), std::streamsize(out.size()));
    file.close();
    return bool(file);
}
