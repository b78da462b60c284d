// Conformance against BMP Suite, a public-domain collection of valid, odd and
// broken bitmaps. The suite is not part of the project: the test runs only
// when BMPSUITE_DIR names its folder (the one holding g/, q/, b/ and x/).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gloam/textures/bitmap.h"
#include "gloam/textures/texture.h"

using namespace gloam;

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BmpSuite : public ::testing::Test {
protected:
    void SetUp() override {
        const char* root = std::getenv("BMPSUITE_DIR");
        if (root == nullptr || *root == '\0') {
            GTEST_SKIP() << "BMPSUITE_DIR is not set; set it to the BMP Suite folder to run";
        }
        dir = root;
        ASSERT_TRUE(fs::is_regular_file(dir / "g" / "rgb24.bmp"))
            << "BMPSUITE_DIR=" << root << " holds no g/rgb24.bmp";
        ASSERT_TRUE(
            readBitmap(reference, (dir / "g" / "rgb24.bmp").string().c_str(), false, false, false));
    }

    fs::path dir;
    Texture reference;
};

// The suite's 32-bit copy of the same picture, read here independently: no
// padding, bytes B, G, R and one unused, bottom row first.
TEST_F(BmpSuite, ReferenceMatchesThe32BitCopyOfThePicture) {
    const auto rgb32 = slurp(dir / "g" / "rgb32.bmp");
    ASSERT_EQ(reference.width, 127);
    ASSERT_EQ(reference.height, 64);
    ASSERT_GE(rgb32.size(), 54u + 127u * 64u * 4u);
    std::size_t mismatches = 0;
    for (std::size_t k = 0; k < 127u * 64u; ++k) {
        const std::uint8_t* in = rgb32.data() + 54 + k * 4;
        const std::uint8_t* out = reference.pixels.get() + k * 4;
        const bool keyed = in[2] == 255 && in[1] == 0 && in[0] == 255;
        mismatches +=
            out[0] != in[2] || out[1] != in[1] || out[2] != in[0] || out[3] != (keyed ? 0 : 255);
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(BmpSuite, Uncompressed24BitFilesDecodeAndEverythingElseIsRejected) {
    const std::set<std::string> accepted = {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp",
                                            "q/rgb24lprof.bmp"};
    const std::size_t size = static_cast<std::size_t>(reference.width) * reference.height * 4;
    std::size_t seen = 0;
    std::size_t decoded = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".bmp") continue;
        ++seen;
        const std::string name = fs::relative(entry.path(), dir).generic_string();
        // A heap copy of exactly the file, so that AddressSanitizer sees
        // any read past its end.
        const auto bytes = slurp(entry.path());
        const auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), copy.get());
        Texture t;
        const bool ok = decodeBitmap(t, copy.get(), bytes.size(), false, false, false);
        if (accepted.count(name) != 0) {
            ASSERT_TRUE(ok) << name;
            ++decoded;
            ASSERT_TRUE(t.width == reference.width && t.height == reference.height) << name;
            EXPECT_TRUE(std::equal(t.pixels.get(), t.pixels.get() + size, reference.pixels.get()))
                << name << " decodes to other pixels";
        } else {
            EXPECT_FALSE(ok) << name << " should be rejected";
            EXPECT_TRUE(t.pixels == nullptr && t.width == 0 && t.height == 0) << name;
        }
    }
    EXPECT_EQ(decoded, accepted.size());
    EXPECT_GT(seen, 50u) << "too few files under " << dir;
}

}  // namespace
