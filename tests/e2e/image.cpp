#include "tests/e2e/image.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>

namespace e2e {

namespace {

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((value >> shift) & 0xff));
}

void putChunk(std::string& out, const char* type, const std::string& data) {
    putBigEndian(out, std::uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    putBigEndian(out, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                          uInt(body.size()))));
}

std::uint32_t littleEndian(const std::string& data, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | std::uint8_t(data[at + std::size_t(i)]);
    return value;
}

}  // namespace

bool writePng(const Image& image, const std::filesystem::path& file) {
    // Each row starts with filter type 0 (none); zlib does the rest.
    std::string raw;
    raw.reserve(std::size_t(image.height) * (1 + 3 * std::size_t(image.width)));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            const Rgb& p = image.at(x, y);
            raw.push_back(char(p.r));
            raw.push_back(char(p.g));
            raw.push_back(char(p.b));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::string header;
    putBigEndian(header, std::uint32_t(image.width));
    putBigEndian(header, std::uint32_t(image.height));
    header +=
        std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", "");
    std::ofstream out(file, std::ios::binary);
    out << png;
    return bool(out.flush());
}

Image readBmp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Image image;
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M' || littleEndian(data, 28, 2) != 24 ||
        littleEndian(data, 30, 4) != 0)
        return image;
    const std::size_t offset = littleEndian(data, 10, 4);
    const int width = int(littleEndian(data, 18, 4));
    const int height = int(std::int32_t(littleEndian(data, 22, 4)));
    const int rows = height < 0 ? -height : height;
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    if (width <= 0 || rows == 0 || offset + stride * std::size_t(rows) > data.size()) return image;
    image.width = width;
    image.height = rows;
    image.pixels.resize(std::size_t(width) * std::size_t(rows));
    for (int y = 0; y < rows; ++y) {
        // Positive heights store the bottom row first.
        const std::size_t row = offset + stride * std::size_t(height > 0 ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            const std::size_t p = row + 3 * std::size_t(x);
            image.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = {
                std::uint8_t(data[p + 2]), std::uint8_t(data[p + 1]), std::uint8_t(data[p])};
        }
    }
    return image;
}

}  // namespace e2e
