// What the reader does not insist on but the demo's textures promise. The
// generator's tests compare the committed files with its output byte for
// byte, and the demo's reference pictures show the table and the textures
// drawn; this is the layout no picture shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "gloam/textures/texture.h"

using namespace gloam;

namespace {

std::string assetPath(const char* name) { return std::string(GLOAM_ASSET_DIR) + "/" + name; }

std::uint32_t little32(const std::vector<char>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

TEST(AssetTextures, AreUnpaddedBottomUpBitmapsOfTheirSizesWithoutTheColourKey) {
    const struct {
        const char* name;
        std::int32_t width, height;
    } textures[] = {
        {"doorbands.bmp", 128, 128}, {"limestonetile.bmp", 64, 64}, {"wethrdwood.bmp", 128, 128}};
    for (const auto& expected : textures) {
        SCOPED_TRACE(expected.name);
        const std::string path = assetPath(expected.name);

        // The plain 54-byte layout, bottom row first, sizes that add up.
        std::ifstream file(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        ASSERT_GE(bytes.size(), 54u);
        const std::uint32_t pixelBytes = std::uint32_t(expected.width * expected.height * 3);
        EXPECT_EQ(little32(bytes, 2), bytes.size());
        EXPECT_EQ(little32(bytes, 10), 54u);
        EXPECT_EQ(little32(bytes, 22), std::uint32_t(expected.height));  // positive
        EXPECT_EQ(little32(bytes, 34), pixelBytes);
        EXPECT_EQ(bytes.size(), 54u + pixelBytes);

        Texture texture;
        ASSERT_TRUE(readBitmap(texture, path.c_str(), false, false, false));
        EXPECT_EQ(texture.width, expected.width);
        EXPECT_EQ(texture.height, expected.height);
        const std::uint8_t* p = texture.pixels.get();
        const std::int32_t count = texture.width * texture.height;
        EXPECT_TRUE(std::all_of(p, p + 4 * count, [&](const std::uint8_t& byte) {
            return (&byte - p) % 4 != 3 || byte == 255;
        })) << "a colour-key pixel would be transparent";
    }
}

}  // namespace
