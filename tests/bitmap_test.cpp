#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/bitmap_support.h"
#include "textures/bitmap.h"
#include "textures/texture.h"

namespace {

using bitmaptest::bitmapFile;
using bitmaptest::Rgb;
using Rgba = std::array<int, 4>;

void putU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    putU16(bytes, at, v & 0xFFFF);
    putU16(bytes, at + 2, v >> 16);
}

Rgba pixelAt(const Texture& t, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = t.pixels.get() + (static_cast<std::size_t>(y) * t.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Decodes from a heap copy of exactly the file's size, so that
// AddressSanitizer reports any read past the end.
bool decode(Texture& t, const std::vector<std::uint8_t>& file, bool greyscale = false,
            bool alphaFromGrey = false, bool flipRows = false) {
    const auto copy = std::make_unique<std::uint8_t[]>(file.size());
    std::copy(file.begin(), file.end(), copy.get());
    return decodeBitmap(t, copy.get(), file.size(), greyscale, alphaFromGrey, flipRows);
}

std::vector<Rgba> firstRow(bool greyscale, bool alphaFromGrey, const std::vector<Rgb>& row) {
    Texture t;
    EXPECT_TRUE(decode(t, bitmapFile(static_cast<std::int32_t>(row.size()), 1, row), greyscale,
                       alphaFromGrey));
    std::vector<Rgba> out;
    for (std::int32_t x = 0; x < t.width; ++x) out.push_back(pixelAt(t, x, 0));
    return out;
}

constexpr Rgb magenta{255, 0, 255};

TEST(BitmapConversion, ColourKeyIsExactMagentaOnly) {
    EXPECT_EQ(firstRow(false, false, {magenta, {255, 1, 255}, {255, 0, 254}, {254, 0, 255}}),
              (std::vector<Rgba>{
                  {255, 0, 255, 0}, {255, 1, 255, 255}, {255, 0, 254, 255}, {254, 0, 255, 255}}));
}

TEST(BitmapConversion, GreyscaleTruncatesAndKeyUsesTheFileColour) {
    EXPECT_EQ(firstRow(true, false, {{10, 20, 31}, magenta, {255, 255, 255}, {0, 0, 2}}),
              (std::vector<Rgba>{
                  {20, 20, 20, 255}, {170, 170, 170, 0}, {255, 255, 255, 255}, {0, 0, 0, 255}}));
}

TEST(BitmapConversion, AlphaFromGreyReplacesTheKey) {
    EXPECT_EQ(firstRow(false, true, {{255, 255, 255}, {0, 0, 0}, magenta, {10, 20, 31}}),
              (std::vector<Rgba>{
                  {255, 255, 255, 255}, {0, 0, 0, 0}, {255, 0, 255, 170}, {10, 20, 31, 20}}));
    EXPECT_EQ(firstRow(true, true, {magenta, {10, 20, 31}}),
              (std::vector<Rgba>{{170, 170, 170, 170}, {20, 20, 20, 20}}));
}

// Distinct colours per pixel so that any misplaced pixel shows.
std::vector<Rgb> numbered(std::int32_t width, std::int32_t rows) {
    std::vector<Rgb> pixels;
    for (std::int32_t y = 0; y < rows; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            pixels.push_back({static_cast<std::uint8_t>(10 + x), static_cast<std::uint8_t>(100 + y),
                              static_cast<std::uint8_t>(x * 16 + y)});
        }
    }
    return pixels;
}

// Checks that buffer row y holds file row fileRowOf(y).
void expectRows(const Texture& t, std::int32_t width, std::int32_t rows,
                const std::function<std::int32_t(std::int32_t)>& fileRowOf) {
    ASSERT_NE(t.pixels, nullptr);
    ASSERT_EQ(t.width, width);
    ASSERT_EQ(t.height, rows);
    for (std::int32_t y = 0; y < rows; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t f = fileRowOf(y);
            EXPECT_EQ(pixelAt(t, x, y), (Rgba{10 + x, 100 + f, x * 16 + f, 255}))
                << "pixel " << x << ", buffer row " << y;
        }
    }
}

TEST(BitmapRows, FileOrderUnlessFlipped) {
    const auto file = bitmapFile(4, 2, numbered(4, 2));
    Texture t;
    ASSERT_TRUE(decode(t, file));
    expectRows(t, 4, 2, [](std::int32_t y) { return y; });
    ASSERT_TRUE(decode(t, file, false, false, true));
    expectRows(t, 4, 2, [](std::int32_t y) { return 1 - y; });
}

TEST(BitmapRows, PaddingBetweenRowsIsSkipped) {
    for (std::int32_t width : {1, 2, 3, 5, 6, 7}) {
        SCOPED_TRACE("width " + std::to_string(width));
        Texture t;
        ASSERT_TRUE(decode(t, bitmapFile(width, 3, numbered(width, 3))));
        expectRows(t, width, 3, [](std::int32_t y) { return y; });
    }
}

TEST(BitmapRows, TopDownFileIsStoredBottomRowFirst) {
    // The file's first row is the top of the picture.
    const auto file = bitmapFile(3, -3, numbered(3, 3));
    Texture t;
    ASSERT_TRUE(decode(t, file));
    expectRows(t, 3, 3, [](std::int32_t y) { return 2 - y; });
    ASSERT_TRUE(decode(t, file, false, false, true));
    expectRows(t, 3, 3, [](std::int32_t y) { return y; });
}

TEST(BitmapLayout, PixelsStartAtTheStoredOffset) {
    // A palette-sized gap, and a larger (version 5) info header.
    for (auto [gap, infoSize] : {std::pair{12u, 40u}, std::pair{0u, 124u}, std::pair{7u, 108u}}) {
        SCOPED_TRACE("gap " + std::to_string(gap) + ", info header " + std::to_string(infoSize));
        Texture t;
        ASSERT_TRUE(decode(t, bitmapFile(3, 2, numbered(3, 2), gap, infoSize)));
        expectRows(t, 3, 2, [](std::int32_t y) { return y; });
    }
}

TEST(BitmapLayout, MalformedHeadersAreRejected) {
    const auto valid = bitmapFile(4, 2, numbered(4, 2));
    using Bytes = std::vector<std::uint8_t>;
    const std::uint32_t size = static_cast<std::uint32_t>(valid.size());
    const struct {
        const char* what;
        std::function<void(Bytes&)> change;
    } cases[] = {
        {"signature BA", [](Bytes& b) { b[1] = 'A'; }},
        {"info header of 39 bytes", [](Bytes& b) { putU32(b, 14, 39); }},
        {"OS/2 info header of 12 bytes", [](Bytes& b) { putU32(b, 14, 12); }},
        {"info header running into the pixels", [](Bytes& b) { putU32(b, 14, 41); }},
        {"info header of 4 GiB", [](Bytes& b) { putU32(b, 14, 0xFFFFFFFF); }},
        {"no planes", [](Bytes& b) { putU16(b, 26, 0); }},
        {"two planes", [](Bytes& b) { putU16(b, 26, 2); }},
        {"8 bits per pixel", [](Bytes& b) { putU16(b, 28, 8); }},
        {"32 bits per pixel", [](Bytes& b) { putU16(b, 28, 32); }},
        {"RLE compression", [](Bytes& b) { putU32(b, 30, 1); }},
        {"bit fields", [](Bytes& b) { putU32(b, 30, 3); }},
        {"width 0", [](Bytes& b) { putU32(b, 18, 0); }},
        {"width -4", [](Bytes& b) { putU32(b, 18, static_cast<std::uint32_t>(-4)); }},
        {"width over the cap", [](Bytes& b) { putU32(b, 18, maxBitmapDimension + 1); }},
        {"height 0", [](Bytes& b) { putU32(b, 22, 0); }},
        {"height INT32_MIN", [](Bytes& b) { putU32(b, 22, 0x80000000u); }},
        {"height over the cap", [](Bytes& b) { putU32(b, 22, maxBitmapDimension + 1); }},
        {"top-down height over the cap",
         [](Bytes& b) { putU32(b, 22, static_cast<std::uint32_t>(-maxBitmapDimension - 1)); }},
        {"largest image with no data for it",
         [](Bytes& b) {
             putU32(b, 18, maxBitmapDimension);
             putU32(b, 22, maxBitmapDimension);
         }},
        {"offset inside the headers", [](Bytes& b) { putU32(b, 10, 40); }},
        {"offset past the end", [size](Bytes& b) { putU32(b, 10, size + 1); }},
        {"offset leaving one byte short", [](Bytes& b) { putU32(b, 10, 55); }},
        {"offset of 4 GiB", [](Bytes& b) { putU32(b, 10, 0xFFFFFFFF); }},
        {"one row too many", [](Bytes& b) { putU32(b, 22, 3); }},
        {"last byte missing", [](Bytes& b) { b.pop_back(); }},
    };
    for (const auto& c : cases) {
        Bytes file = valid;
        c.change(file);
        Texture t;
        t.pixels = std::make_unique<std::uint8_t[]>(4);
        t.width = 1;
        t.height = 1;
        t.name = 42;
        EXPECT_FALSE(decode(t, file)) << c.what;
        EXPECT_EQ(t.pixels, nullptr) << c.what;
        EXPECT_EQ(t.width, 0) << c.what;
        EXPECT_EQ(t.height, 0) << c.what;
        EXPECT_EQ(t.name, 42) << c.what;
    }
    Texture t;
    EXPECT_TRUE(decode(t, valid));
}

TEST(BitmapLayout, EveryTruncationIsRejected) {
    const auto file = bitmapFile(3, 2, numbered(3, 2), 5);
    for (std::size_t length = 0; length < file.size(); ++length) {
        Texture t;
        EXPECT_FALSE(decode(t, std::vector<std::uint8_t>(file.begin(), file.begin() + length)))
            << length << " bytes";
    }
    Texture t;
    EXPECT_FALSE(decodeBitmap(t, nullptr, 100, false, false, false));
}

TEST(ReadBitmap, ReadsTheWholeFileOrNothing) {
    const auto dir = bitmaptest::scratchDirectory("bitmap_test");
    const std::string path = (dir / "numbered.bmp").string();
    bitmaptest::writeFile(path, bitmapFile(5, 3, numbered(5, 3)));

    Texture t;
    t.name = 9;
    ASSERT_TRUE(readBitmap(t, path.c_str(), false, false, true));
    expectRows(t, 5, 3, [](std::int32_t y) { return 2 - y; });
    EXPECT_EQ(t.name, 9);

    EXPECT_FALSE(readBitmap(t, (dir / "missing.bmp").string().c_str(), false, false, false));
    EXPECT_EQ(t.pixels, nullptr);
    EXPECT_EQ(t.width, 0);
    EXPECT_EQ(t.height, 0);
    EXPECT_FALSE(readBitmap(t, dir.string().c_str(), false, false, false));
    EXPECT_FALSE(readBitmap(t, nullptr, false, false, false));
    std::filesystem::remove_all(dir);
}

}  // namespace
