#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gloam/platform/gl.h"
#include "gloam/textures/texture.h"
#include "tests/support/bitmap_support.h"
#include "tests/support/fake_gl.h"

using namespace gloam;

namespace {

namespace gl = fakegl::call;
using fakegl::Fn;

class TextureTable : public ::testing::Test {
protected:
    void SetUp() override {
        clearTable();
        dir = bitmaptest::scratchDirectory("texture_test");
        // 4 × 2, 2 × 1 and 1 × 1 images, so that entries can be told apart.
        file4x2 = write("a.bmp", 4, 2, {10, 20, 31});
        file2x1 = write("b.bmp", 2, 1, {1, 2, 3});
        file1x1 = write("c.bmp", 1, 1, {7, 8, 9});
        missing = (dir / "missing.bmp").string();
        fakegl::reset();
    }

    void TearDown() override {
        clearTable();
        std::filesystem::remove_all(dir);
    }

    static void clearTable() {
        for (Texture& t : textureTable) t = Texture{};
        textureFilter = FilterNearest;
        textureCount = 0;
    }

    std::string write(const char* name, std::int32_t width, std::int32_t height,
                      bitmaptest::Rgb colour) {
        const std::vector<bitmaptest::Rgb> pixels(std::size_t(width * height), colour);
        bitmaptest::writeFile(dir / name, bitmaptest::bitmapFile(width, height, pixels, 0, 40, 0));
        return (dir / name).string();
    }

    // The names bound since the last reset, in order.
    static std::vector<std::int64_t> boundNames() {
        std::vector<std::int64_t> names;
        for (const auto& c : fakegl::calls()) {
            if (c.fn == Fn::glBindTexture) names.push_back(c.intArg(1));
        }
        return names;
    }

    static void expectEmpty(std::int32_t name) {
        const Texture& t = textureTable[name];
        EXPECT_TRUE(t.pixels == nullptr && t.width == 0 && t.height == 0 && t.name == 0) << name;
    }

    std::filesystem::path dir;
    std::string file4x2, file2x1, file1x1, missing;
};

// Loads go to the entry they name and count; a failed one counts nothing,
// uploads nothing and leaves its entry empty, even one that was in use.
TEST_F(TextureTable, LoadsFillTheNamedEntryAndFailuresLeaveItEmpty) {
    EXPECT_EQ(addTexture(file4x2.c_str(), false, false, 5), 0);
    EXPECT_EQ(addTexture(file2x1.c_str(), false, false, 7), 1);
    for (std::int32_t name : {-1, textureTableSize, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(addTexture(file4x2.c_str(), false, false, name), -1) << name;
    }
    EXPECT_EQ(addTexture(missing.c_str(), false, false, 3), -1);
    EXPECT_EQ(textureCount, 2);
    EXPECT_EQ(boundNames(), (std::vector<std::int64_t>{5, 7}));
    for (std::int32_t name = 0; name < textureTableSize; ++name) {
        if (name != 5 && name != 7) expectEmpty(name);
    }
    EXPECT_TRUE(textureTable[7].name == 7 && textureTable[7].width == 2 &&
                textureTable[7].height == 1);
    // The conversion flags reach the reader: grey (10 + 20 + 31) / 3 = 20.
    EXPECT_EQ(addTexture(file4x2.c_str(), true, true, 5), 2);
    const std::uint8_t* p = textureTable[5].pixels.get();
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{20, 20, 20, 20}));

    const auto notABitmap = dir / "bad.bmp";
    bitmaptest::writeFile(notABitmap, {'B', 'A', 0, 0});
    fakegl::reset();
    EXPECT_EQ(addTexture(notABitmap.string().c_str(), false, false, 5), -1);
    expectEmpty(5);
    EXPECT_EQ(textureCount, 3);
    EXPECT_TRUE(fakegl::calls().empty());
}

// Pixels a program made: sizes and channels OpenGL 1.1 cannot take are
// refused with the entry untouched; the colour key cuts out in both layouts.
TEST_F(TextureTable, PixelsFollowTheTablesRules) {
    const std::vector<std::uint8_t> rgba = {255, 0, 255, 200, 1, 2, 3, 40};
    struct Case {
        std::int32_t name, width, height, channels;
    } refused[] = {{-1, 2, 1, 4}, {textureTableSize, 2, 1, 4},
                   {9, 3, 1, 4},  {9, 2, 0, 4},
                   {9, 1, 2, 2},  {9, 32768, 1, 4}};
    for (const Case& c : refused) {
        FileError error;
        EXPECT_EQ(addTexturePixels(c.name, rgba.data(), c.width, c.height, c.channels, error), -1);
        EXPECT_FALSE(error.reason.empty());
    }
    expectEmpty(9);
    EXPECT_TRUE(fakegl::calls().empty());

    FileError error;
    EXPECT_EQ(addTexturePixels(9, rgba.data(), 2, 1, 4, error), 0);
    EXPECT_EQ(addTexturePixels(10, rgba.data(), 1, 2, 3, error), 1);
    const std::uint8_t* four = textureTable[9].pixels.get();
    const std::uint8_t* three = textureTable[10].pixels.get();
    EXPECT_EQ(std::vector<int>(four, four + 8), (std::vector<int>{255, 0, 255, 0, 1, 2, 3, 40}));
    EXPECT_EQ(std::vector<int>(three, three + 8),
              (std::vector<int>{255, 0, 255, 0, 200, 1, 2, 255}));
    EXPECT_EQ(boundNames(), (std::vector<std::int64_t>{9, 10}));
}

TEST_F(TextureTable, UploadMakesTheCallsOfEachFilter) {
    const struct {
        std::int32_t mode;
        GLenum mag, min;
        bool mipmaps;
    } modes[] = {
        {FilterNearest, GL_NEAREST, GL_NEAREST, false},
        {FilterBilinear, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST, true},
        {FilterTrilinear, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR, true},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE("filter " + std::to_string(m.mode));
        clearTable();
        setTextureFilter(m.mode);
        EXPECT_EQ(textureFilter, m.mode);
        EXPECT_TRUE(fakegl::calls().empty()) << "an empty table has nothing to upload";

        ASSERT_EQ(addTexture(file4x2.c_str(), false, false, 9), 0);
        const void* pixels = textureTable[9].pixels.get();
        std::vector<fakegl::Call> expected = {
            gl::glBindTexture(GL_TEXTURE_2D, 9),
            gl::glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT),
            gl::glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT),
            gl::glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(m.mag)),
            gl::glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(m.min)),
            gl::glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE),
            gl::glTexImage2D(GL_TEXTURE_2D, 0, 4, 4, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels),
        };
        if (m.mipmaps) {
            expected.push_back(
                gl::gluBuild2DMipmaps(GL_TEXTURE_2D, 4, 4, 2, GL_RGBA, GL_UNSIGNED_BYTE, pixels));
        }
        EXPECT_TRUE(fakegl::callsAre(expected));
        fakegl::reset();
    }
}

// A filter change uploads every loaded entry again, however sparse the
// names; reuploadTexture does one, and ignores names outside the table.
TEST_F(TextureTable, FilterChangeReachesEverySparseEntryOnce) {
    ASSERT_EQ(addTexture(file4x2.c_str(), false, false, 127), 0);
    ASSERT_EQ(addTexture(file2x1.c_str(), false, false, 5), 1);
    ASSERT_EQ(addTexture(file1x1.c_str(), false, false, 100), 2);
    // Repeated loads can push the count past the table; it must not matter.
    textureCount = 1000;
    fakegl::reset();
    setTextureFilter(FilterTrilinear);
    EXPECT_EQ(boundNames(), (std::vector<std::int64_t>{5, 100, 127}));
    EXPECT_EQ(fakegl::count(Fn::glTexImage2D), 3u);
    EXPECT_EQ(fakegl::count(Fn::gluBuild2DMipmaps), 3u);
    fakegl::reset();
    setTextureFilter(3);
    setTextureFilter(-1);
    EXPECT_EQ(textureFilter, FilterTrilinear);
    for (std::int32_t index : {-1, 2, 64, textureTableSize, INT32_MAX, INT32_MIN}) {
        reuploadTexture(index);
    }
    EXPECT_TRUE(fakegl::calls().empty()) << "a filter outside the modes, or an empty name";
    reuploadTexture(100);
    EXPECT_EQ(boundNames(), (std::vector<std::int64_t>{100}));
    EXPECT_EQ(fakegl::count(Fn::glTexImage2D), 1u);
}

}  // namespace
