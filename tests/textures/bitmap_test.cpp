#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gloam/textures/bitmap.h"
#include "gloam/textures/texture.h"
#include "tests/support/bitmap_support.h"

using namespace gloam;

namespace {

using bitmaptest::bitmapFile;
using bitmaptest::Rgb;
using Rgba = std::array<int, 4>;
using Bytes = std::vector<std::uint8_t>;

void putU32(Bytes& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

Rgba pixelAt(const Texture& t, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = t.pixels.get() + (static_cast<std::size_t>(y) * t.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Decodes from a heap copy of exactly the file's size, so that
// AddressSanitizer reports any read past the end.
bool decode(Texture& t, const Bytes& file, bool greyscale = false, bool alphaFromGrey = false,
            bool flipRows = false) {
    const auto copy = std::make_unique<std::uint8_t[]>(file.size());
    std::copy(file.begin(), file.end(), copy.get());
    return decodeBitmap(t, copy.get(), file.size(), greyscale, alphaFromGrey, flipRows);
}

// Distinct colours per pixel so that any misplaced pixel shows.
std::vector<Rgb> numbered(std::int32_t width, std::int32_t rows) {
    std::vector<Rgb> pixels;
    for (std::int32_t y = 0; y < rows; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            pixels.push_back(
                {std::uint8_t(10 + x), std::uint8_t(100 + y), std::uint8_t(x * 16 + y)});
        }
    }
    return pixels;
}

// Checks that buffer row y holds file row y, or row rows - 1 - y if reversed.
void expectRows(const Texture& t, std::int32_t width, std::int32_t rows, bool reversed) {
    ASSERT_NE(t.pixels, nullptr);
    ASSERT_EQ(t.width, width);
    ASSERT_EQ(t.height, rows);
    for (std::int32_t y = 0; y < rows; ++y) {
        const std::int32_t f = reversed ? rows - 1 - y : y;
        for (std::int32_t x = 0; x < width; ++x) {
            EXPECT_EQ(pixelAt(t, x, y), (Rgba{10 + x, 100 + f, x * 16 + f, 255}))
                << "pixel " << x << ", buffer row " << y;
        }
    }
}

// Each order with and without the flip (a top-down file's first row is the
// top of the picture), every amount of row padding, a palette-sized gap and
// a larger (version 4) info header.
TEST(BitmapLayout, RowsArePlacedByStorageOrderAndFlipAfterPaddingAndGaps) {
    const struct {
        std::int32_t width, storedHeight;
        bool flip;
        std::uint32_t gap = 0, infoSize = 40;
    } cases[] = {{4, 2, true},   {1, 3, false}, {2, 3, false},     {3, 3, false},
                 {3, -3, false}, {3, -3, true}, {3, 2, false, 12}, {3, 2, false, 7, 108}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.storedHeight << ", flip " << c.flip
                                        << ", gap " << c.gap << ", info " << c.infoSize);
        const std::int32_t rows = std::abs(c.storedHeight);
        Texture t;
        ASSERT_TRUE(decode(
            t, bitmapFile(c.width, c.storedHeight, numbered(c.width, rows), c.gap, c.infoSize),
            false, false, c.flip));
        expectRows(t, c.width, rows, (c.storedHeight < 0) != c.flip);
    }
}

TEST(BitmapLayout, MalformedHeadersAreRejectedWithTheirReason) {
    const auto valid = bitmapFile(4, 2, numbered(4, 2));
    const std::uint32_t size = std::uint32_t(valid.size());
    // Planes and bits per pixel share a word.
    const std::uint32_t oneBy24 = 1 | 24 << 16;
    const std::string only24 = "; only 24-bit uncompressed bitmaps are read";
    const std::string rows =
        ": a bitmap has 1..16384 rows (a negative height stores them top-down)";
    const std::string inside = " lies inside the headers, which end at ";
    const std::string ends = "the file ends before its pixels do: they need ";
    const struct {
        std::function<void(Bytes&)> change;
        std::string reason;
    } cases[] = {
        {[](Bytes& b) { b[1] = 'A'; }, "not a bitmap: it does not start with BM"},
        {[](Bytes& b) { putU32(b, 14, 39); },
         "info header of 39 bytes; only bitmaps with an info header of 40 bytes or more are read"},
        {[](Bytes& b) { putU32(b, 14, 41); }, "pixel data offset 54" + inside + "55"},
        {[](Bytes& b) { putU32(b, 14, 0xFFFFFFFF); },
         "pixel data offset 54" + inside + "4294967309"},
        {[=](Bytes& b) { putU32(b, 26, oneBy24 + 1); }, "2 colour planes; a bitmap has 1"},
        {[](Bytes& b) { putU32(b, 26, 1 | 8 << 16); }, "8 bits per pixel" + only24},
        {[](Bytes& b) { putU32(b, 26, 1 | 32 << 16); }, "32 bits per pixel" + only24},
        {[](Bytes& b) { putU32(b, 30, 3); }, "compressed (method 3)" + only24},
        {[](Bytes& b) { putU32(b, 18, 0); }, "width 0 is outside 1..16384"},
        {[](Bytes& b) { putU32(b, 18, std::uint32_t(-4)); }, "width -4 is outside 1..16384"},
        {[](Bytes& b) { putU32(b, 22, 0); }, "height 0" + rows},
        {[](Bytes& b) { putU32(b, 22, 0x80000000u); }, "height -2147483648" + rows},
        {[](Bytes& b) { putU32(b, 22, std::uint32_t(-16385)); }, "height -16385" + rows},
        {[](Bytes& b) {
             putU32(b, 18, maxBitmapDimension);
             putU32(b, 22, maxBitmapDimension);
         },
         ends + "805306368 bytes from offset 54, the file has 78"},
        {[](Bytes& b) { putU32(b, 10, 40); }, "pixel data offset 40" + inside + "54"},
        {[size](Bytes& b) { putU32(b, 10, size + 1); },
         ends + "24 bytes from offset 79, the file has 78"},
        {[](Bytes& b) { putU32(b, 10, 0xFFFFFFFF); },
         ends + "24 bytes from offset 4294967295, the file has 78"},
        {[](Bytes& b) { b.resize(53); },
         "the file is too short for a bitmap's headers (53 of 54 bytes)"},
        {[](Bytes& b) { b.clear(); }, "the file is empty"},
    };
    for (const auto& c : cases) {
        Bytes file = valid;
        c.change(file);
        Texture t;
        t.pixels = std::make_unique<std::uint8_t[]>(4);
        t.width = t.height = 1;
        t.name = 42;
        EXPECT_FALSE(decode(t, file)) << c.reason;
        EXPECT_TRUE(t.pixels == nullptr && t.width == 0 && t.height == 0) << c.reason;
        EXPECT_EQ(t.name, 42) << c.reason;
        FileError error{"doorbands.bmp", 0, 0, ""};
        EXPECT_FALSE(decodeBitmap(t, file.data(), file.size(), false, false, false, error));
        EXPECT_EQ(error.message(), "doorbands.bmp: " + c.reason);
    }
    Texture t;
    EXPECT_TRUE(decode(t, valid));

    // Past the caps with every byte of pixel data there, so that only the
    // cap can refuse them.
    constexpr std::int32_t over = maxBitmapDimension + 1;
    for (const auto& [width, height] : {std::pair{over, 1}, {1, over}, {1, -over}}) {
        EXPECT_FALSE(decode(t, bitmapFile(width, height, std::vector<Rgb>(over)))) << height;
    }
}

// The plain conversion takes four pixels at a time where the CPU allows and
// the rest one at a time, and a file is read a few rows at a time. Whatever
// way a pixel goes, it must come out as the formula says (here with the key
// and near-keys in every lane of a row of three blocks and one pixel over),
// and a file must read as its bytes decode (here in batches of rows, with a
// texture large enough to be streamed).
TEST(BitmapPaths, PixelsConvertAsTheFormulaSaysAndFilesReadAsTheirBytes) {
    std::vector<Rgb> pixels;
    for (int i = 0; i < 13 * 3; ++i) {
        const auto c = std::uint8_t(i * 37);
        // The key, and colours one step off it in each channel.
        const Rgb keys[] = {{255, 0, 255}, {255, 0, 254}, {255, 1, 255}, {254, 0, 255}};
        pixels.push_back(i % 6 < 4 ? keys[i % 6]
                                   : Rgb{c, std::uint8_t(i * 11), std::uint8_t(255 - c)});
    }
    const Bytes small = bitmapFile(13, 3, pixels);
    for (int flags = 0; flags < 4; ++flags) {
        const bool grey = flags & 1, alphaFromGrey = flags & 2;
        Texture t;
        ASSERT_TRUE(decode(t, small, grey, alphaFromGrey));
        for (int i = 0; i < 13 * 3; ++i) {
            const Rgb& p = pixels[std::size_t(i)];
            const int g = (p.r + p.g + p.b) / 3;
            const bool keyed = p.r == 255 && p.g == 0 && p.b == 255;
            const Rgba expected{grey ? g : p.r, grey ? g : p.g, grey ? g : p.b,
                                alphaFromGrey ? g : (keyed ? 0 : 255)};
            EXPECT_EQ(pixelAt(t, i % 13, i / 13), expected) << "pixel " << i << ", flags " << flags;
        }
    }

    // 8 MiB of pixels, from which they are streamed to memory.
    constexpr std::int32_t wide = maxBitmapDimension, rows = 128;
    std::vector<Rgb> stripes(std::size_t(wide) * rows);
    for (std::size_t i = 0; i < stripes.size(); ++i) {
        stripes[i] = i % 7 ? Rgb{std::uint8_t(i), std::uint8_t(i / wide), 9} : Rgb{255, 0, 255};
    }
    // What the buffer must hold, file rows in order or reversed.
    const auto expected = [&](bool reversed) {
        std::vector<std::uint8_t> rgba;
        for (std::int32_t y = 0; y < rows; ++y) {
            const std::size_t row = std::size_t(reversed ? rows - 1 - y : y) * wide;
            for (std::size_t x = 0; x < std::size_t(wide); ++x) {
                const Rgb& p = stripes[row + x];
                const bool keyed = p.r == 255 && p.g == 0 && p.b == 255;
                rgba.insert(rgba.end(), {p.r, p.g, p.b, std::uint8_t(keyed ? 0 : 255)});
            }
        }
        return rgba;
    };
    const std::vector<std::uint8_t> inOrder = expected(false), reversed = expected(true);
    const auto dir = bitmaptest::scratchDirectory("bitmap_paths_test");
    const std::string path = (dir / "wide.bmp").string();
    for (const std::int32_t storedHeight : {rows, -rows}) {
        const Bytes file = bitmapFile(wide, storedHeight, stripes);
        bitmaptest::writeFile(path, file);
        for (const bool flip : {false, true}) {
            const auto& want = (storedHeight < 0) != flip ? reversed : inOrder;
            Texture fromFile, fromBytes;
            ASSERT_TRUE(readBitmap(fromFile, path.c_str(), false, false, flip));
            ASSERT_TRUE(decode(fromBytes, file, false, false, flip));
            EXPECT_EQ(std::memcmp(fromFile.pixels.get(), want.data(), want.size()), 0)
                << storedHeight << (flip ? " flipped" : "");
            EXPECT_EQ(std::memcmp(fromBytes.pixels.get(), want.data(), want.size()), 0)
                << storedHeight << (flip ? " flipped" : "");
        }
    }
    std::filesystem::remove_all(dir);
}

TEST(ReadBitmap, ReadsTheWholeFileOrNothing) {
    const auto dir = bitmaptest::scratchDirectory("bitmap_test");
    const std::string path = (dir / "numbered.bmp").string();
    bitmaptest::writeFile(path, bitmapFile(5, 3, numbered(5, 3)));

    Texture t;
    t.name = 9;
    ASSERT_TRUE(readBitmap(t, path.c_str(), false, false, true));
    expectRows(t, 5, 3, true);
    EXPECT_EQ(t.name, 9);

    EXPECT_FALSE(readBitmap(t, (dir / "missing.bmp").string().c_str(), false, false, false));
    EXPECT_TRUE(t.pixels == nullptr && t.width == 0 && t.height == 0);
    EXPECT_FALSE(readBitmap(t, dir.string().c_str(), false, false, false));
    EXPECT_FALSE(readBitmap(t, nullptr, false, false, false));

    // The file form names the file and gives the system's reason.
    FileError error;
    const std::string missing = (dir / "missing.bmp").string();
    EXPECT_FALSE(readBitmap(t, missing.c_str(), false, false, false, error));
    EXPECT_EQ(error.message(), missing + ": cannot open: " + systemReason(ENOENT));
    EXPECT_FALSE(readBitmap(t, dir.string().c_str(), false, false, false, error));
    EXPECT_EQ(error.message(), dir.string() + ": is a directory");
    ASSERT_TRUE(readBitmap(t, path.c_str(), false, false, true, error));
    expectRows(t, 5, 3, true);
    EXPECT_EQ(error.reason, "");

    // A load into the table says why it failed, and a good one still counts.
    const std::int32_t before = textureCount;
    EXPECT_EQ(addTexture(path.c_str(), false, false, textureTableSize, error), -1);
    EXPECT_EQ(error.message(), path + ": texture name 128 is outside 0..127");
    EXPECT_EQ(addTexture(missing.c_str(), false, false, 3, error), -1);
    EXPECT_EQ(error.message(), missing + ": cannot open: " + systemReason(ENOENT));
    EXPECT_EQ(addTexture(path.c_str(), false, false, 3, error), before);
    EXPECT_EQ(textureTable[3].width, 5);
    textureTable[3] = Texture{};
    textureCount = before;
    std::filesystem::remove_all(dir);
}

TEST(WriteBitmap, ReadsBackToTheSamePixelsAndFailsWithoutLeavingAFile) {
    const auto dir = bitmaptest::scratchDirectory("bitmap_write_test");
    const std::string path = (dir / "written.bmp").string();
    // Odd width, so that every row is padded; distinct channels, so that a
    // swapped pair or a flipped row shows.
    constexpr std::int32_t width = 5, height = 3;
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < width * height; ++i) rgb.insert(rgb.end(), {std::uint8_t(i), 100, 200});
    FileError error;
    ASSERT_TRUE(writeBitmap(path.c_str(), rgb.data(), width, height, error)) << error.message();

    Texture t;
    ASSERT_TRUE(readBitmap(t, path.c_str(), false, false, false));
    ASSERT_EQ(t.width, width);
    ASSERT_EQ(t.height, height);
    for (int i = 0; i < width * height; ++i) {
        EXPECT_EQ(pixelAt(t, i % width, i / width), (Rgba{i, 100, 200, 255})) << i;
    }

    EXPECT_FALSE(
        writeBitmap((dir / "no" / "such.bmp").string().c_str(), rgb.data(), width, height, error));
    EXPECT_EQ(error.file, (dir / "no" / "such.bmp").string());
    EXPECT_FALSE(writeBitmap(path.c_str(), rgb.data(), 0, height, error));
    ASSERT_TRUE(readBitmap(t, path.c_str(), false, false, false));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    std::filesystem::remove_all(dir);
}

}  // namespace
