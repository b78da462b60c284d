// gloam-pob's conversions and its command line.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gloam/import/picture.h"
#include "gloam/meshio/primitives.h"
#include "gloam/textures/texture.h"
#include "tests/support/mesh_support.h"
#include "tests/support/scratch.h"
#include "tool/commands.h"
#include "tool/mesh_edit.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

using namespace gloam;

namespace {

TEST(MeshEdit, ScalesThenPlacesThenFlips) {
    auto mesh = makeBox(2, 4, 6);
    mesh->verts[0].setPosition(-1, -3, -3);  // lowest point below the box
    std::string reason;
    ASSERT_TRUE(editMesh(
        *mesh, {.scale = 0.5, .centre = true, .floor = true, .flipWinding = true, .flipV = true},
        reason));
    const MeshReport r = reportMesh(*mesh);
    EXPECT_EQ(r.min[0], -0.5f);
    EXPECT_EQ(r.max[2], 1.5f);
    EXPECT_EQ(r.min[1], 0.0f);
    EXPECT_EQ(r.max[1], 2.5f);
    EXPECT_EQ(*mesh->tris[0], (Triangle{0, 2, 1}));
    EXPECT_EQ((*mesh->triUVs[0])[1].tu, 1.0f);  // corner 2's (1, 1), v flipped to 0
    EXPECT_EQ((*mesh->triUVs[0])[1].tv, 0.0f);
    EXPECT_FALSE(editMesh(*mesh, {.scale = 1e39}, reason));
    EXPECT_EQ(r.max[1], reportMesh(*mesh).max[1]);
}

TEST(MeshReport, CountsWhatTheInfoCommandShows) {
    const auto mesh = meshOf(
        {blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0), blackAt(2, 2, 0), blackAt(5, 5, 5)},
        {{0, 1, 2}, {2, 1, 0}, {0, 1, 3}, {0, 0, 1}, {1, 2, 0}});
    (*mesh->triUVs[2])[1] = {-1, 3};
    const MeshReport r = reportMesh(*mesh);
    EXPECT_EQ(r.unusedVertices, 1);
    EXPECT_EQ(r.degenerate, 1);
    EXPECT_EQ(r.duplicates, 2);
    EXPECT_EQ(r.max[2], 5);
    EXPECT_EQ(r.uvMin[0], -1);
    EXPECT_EQ(r.uvMax[1], 3);
}

// An uncompressed TGA, top row first, from rows of RGBA pixels.
std::string tga(int width, int height, const std::vector<std::uint8_t>& rgba) {
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(width), file[14] = char(height);
    file[16] = 32, file[17] = 0x28;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        file += {char(rgba[i + 2]), char(rgba[i + 1]), char(rgba[i]), char(rgba[i + 3])};
    }
    return file;
}

TEST(Picture, PowerOfTwoSidesBottomRowFirst) {
    EXPECT_EQ(nearestPowerOfTwo(1), 1);
    EXPECT_EQ(nearestPowerOfTwo(3), 4);
    EXPECT_EQ(nearestPowerOfTwo(383), 256);
    EXPECT_EQ(nearestPowerOfTwo(384), 512);
    EXPECT_EQ(nearestPowerOfTwo(100000), 16384);

    // Top row red and see-through, bottom row one key pixel and one blue.
    const std::string file =
        tga(2, 2, {255, 0, 0, 0, 0, 255, 0, 128, 255, 0, 255, 255, 0, 0, 255, 255});
    Picture p;
    std::string reason;
    ASSERT_TRUE(convertPicture(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), 0,
                               p, reason))
        << reason;
    EXPECT_EQ(p.rgb, (std::vector<std::uint8_t>{255, 0, 255, 0, 0, 255, 255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(p.translucentPixels, 2);
    EXPECT_EQ(p.keyPixels, 1);

    ASSERT_TRUE(convertPicture(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), 8,
                               p, reason));
    EXPECT_EQ(p.width * p.height, 64);
    EXPECT_EQ(p.sourceKeyPixels, 1);
    EXPECT_GT(p.rgb[2], 200);  // magenta at the bottom left, red at the top left
    EXPECT_LT(p.rgb[3 * 56 + 2], 60);
    const std::string text = "not a picture";
    EXPECT_FALSE(convertPicture(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0,
                                p, reason));
}

TEST(Picture, AJpegIsTurnedUprightAsItsExifOrientationSays) {
    // 16 x 8, red on the left and blue on the right, with the EXIF
    // orientation of a camera held a quarter turn clockwise.
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t red = x < 8 ? 255 : 0;
            pixels.insert(pixels.end(), {red, 0, std::uint8_t(255 - red)});
        }
    }
    std::string jpeg;
    stbi_write_jpg_to_func(
        [](void* to, void* data, int size) {
            static_cast<std::string*>(to)->append(static_cast<const char*>(data),
                                                  std::size_t(size));
        },
        &jpeg, 16, 8, 3, pixels.data(), 100);
    ASSERT_GT(jpeg.size(), 2u);
    const std::string exif(
        "\xFF\xE1\0\x22"
        "Exif\0\0"
        "MM\0\x2A\0\0\0\x08"
        "\0\x01"
        "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
        "\0\0\0\0",
        36);
    jpeg.insert(2, exif);
    Picture p;
    std::string reason;
    ASSERT_TRUE(convertPicture(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), 0,
                               p, reason))
        << reason;
    EXPECT_EQ(p.orientation, 6);
    EXPECT_EQ(p.width, 8);
    EXPECT_EQ(p.height, 16);
    // Upright it is red above blue; the bottom row comes first.
    EXPECT_GT(p.rgb[2], 200);
    EXPECT_LT(p.rgb[0], 50);
    EXPECT_GT(p.rgb[3 * 8 * 15], 200);
    EXPECT_LT(p.rgb[3 * 8 * 15 + 2], 50);
}

class Command : public ::testing::Test, protected Scratch {
protected:
    Command() : Scratch("tool") {}
    int run(std::vector<std::string> args) {
        out.str(""), err.str("");
        return runTool(args, out, err);
    }
    std::ostringstream out, err;
};

TEST_F(Command, ExitsTwoForUsageOneForInputAndKeepsTheOldOutput) {
    put("old.pob", "old");
    put("bad.obj", "v 0 0 0\nf 1 1 2\n");
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{}, 2},
        {{"help"}, 0},
        {{"explode"}, 2},
        {{"info", "--help"}, 0},
        {{"info", "a.pob", "b.pob"}, 2},
        {{"info", "a.txt"}, 2},
        {{"convert", "--help"}, 0},
        {{"convert", "a.obj"}, 2},
        {{"convert", "a.obj", "b.pob", "--scale", "0"}, 2},
        {{"convert", "a.obj", "b.pob", "--spin"}, 2},
        {{"convert", "a.obj", "b.png"}, 2},
        {{"texture", "--help"}, 0},
        {{"texture", "a.png", "b.bmp", "--size", "48"}, 2},
        {{"texture", "a.png", "b.tga"}, 2},
        {{"info", path("missing.pob")}, 1},
        {{"texture", path("bad.obj"), path("b.bmp")}, 1},
        {{"convert", path("bad.obj"), path("old.pob")}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.code) << (c.args.empty() ? "" : c.args[0]) << err.str();
    }
    EXPECT_EQ(err.str(),
              "gloam-pob: " + path("bad.obj") + ":2:7: vertex index 2 is outside 1..1\n");
    EXPECT_EQ(get("old.pob"), "old");
}

TEST_F(Command, TextureWritesABitmapTheEngineReadsAndWarnsOfTheKey) {
    put("p.tga", tga(4, 1, {255, 0, 255, 255, 9, 9, 9, 255, 1, 2, 3, 0, 9, 9, 9, 255}));
    ASSERT_EQ(run({"texture", path("p.tga"), path("p.bmp")}), 0) << err.str();
    EXPECT_EQ(out.str(), path("p.bmp") + ": 4 x 1 from 4 x 1\n");
    EXPECT_NE(err.str().find("note: " + path("p.tga") + ": alpha dropped: 1 pixel was"),
              std::string::npos);
    EXPECT_NE(err.str().find("warning: " + path("p.tga") + ": 1 pixel is (255, 0, 255)"),
              std::string::npos)
        << err.str();
    Texture texture;
    ASSERT_TRUE(readBitmap(texture, path("p.bmp").c_str(), false, false, false));
    EXPECT_EQ(texture.width, 4);
    EXPECT_EQ(run({"info", path("p.bmp")}), 0);
    EXPECT_NE(out.str().find("4 x 1 (power-of-two sides)"), std::string::npos) << out.str();
}

// A 24-bit BMP header alone, with the given size and compression.
std::string bmpHeader(std::int32_t width, std::int32_t height, std::uint32_t compression) {
    std::string file(54, '\0');
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + std::size_t(i)] = char(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put32(10, 54), put32(14, 40), put32(18, std::uint32_t(width)), put32(22, std::uint32_t(height));
    file[26] = 1, file[28] = 24;
    put32(30, compression);
    return file + std::string(64, '\x7F');
}

// The POB file of a triangle 0 1 2 over vertices at x = 0, 2 and 4, one
// more vertex `extra`, and a triangle over it.
std::string pobWith(const char* extra) {
    return std::string("POBFILE\n#\n4 2\n#\n0 0 0\n2 0 0\n4 2 0\n") + extra +
           "\n#\n0 1 2\n0 1 3\n#\n0 0 1 0 0 1\n0 0 1 0 0 1\n";
}

TEST_F(Command, OptionsAndInputsAreReadAsAUserMeansThem) {
    put("m.pob", pobWith("1 1 1"));
    put("nan.pob", pobWith("nan 5 inf"));
    put("rle.bmp", bmpHeader(4, 4, 1));
    // A PNG header one pixel wide and 32,769 high.
    put("tall.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01\0\0\x80\x01"
                                "\x08\x02\0\0\0",
                                29) +
                        std::string(16, '\0'));
    put("p.tga", tga(2, 1, {1, 2, 3, 255, 4, 5, 6, 255}));
    const struct {
        std::vector<std::string> args;
        int code;
        const char* said;     // in what it prints
        const char* written;  // in the file it writes, "out.pob"
    } cases[] = {
        {{"convert", "m.pob", "out.pob", "--scale=+2"}, 0, "", "0 0 0\n4 0 0\n8 4 0\n2 2 2\n"},
        // A mirror image keeps its lit side only with its corners turned round.
        {{"convert", "m.pob", "out.pob", "--scale", "-1"},
         0,
         "a negative scale mirrors the mesh",
         "-4 -2 0\n-1 -1 -1\n#Triangles, 1 per line, vertex num for point 1,2,3\n0 2 1\n"},
        {{"convert", "m.pob", "out.pob", "--scale", "1e-50"}, 2, "collapses the mesh", ""},
        {{"convert", "m.pob", "out.pob", "--centre=yes"}, 2, "--centre takes no value", ""},
        {{"convert", "m.pob", "out.pob", "--scale", "2", "--scale=3"}, 2, "given twice", ""},
        {{"convert", "--", "m.pob", "out.pob", "--centre"}, 2, "takes 2 file names, not 3", ""},
        // Bounds of the finite vertices only; the other one stays as it was.
        {{"convert", "nan.pob", "out.pob", "--centre", "--floor"},
         0,
         "1 vertex is not finite",
         "-2 0 0\n0 0 0\n2 2 0\nnan 5 inf\n"},
        {{"texture", "rle.bmp", "out.bmp"}, 1, "compressed with run lengths (RLE8)", ""},
        {{"texture", "tall.png", "out.bmp"},
         1,
         "1 x 32769 pixels: a side is longer than 32768",
         ""},
        {{"texture", "p.tga", "out.bmp", "--size=4"}, 0, "4 x 4 from 2 x 1", ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path("out.pob"));
        std::vector<std::string> args;
        for (const std::string& arg : c.args) {
            args.push_back(arg.find('.') != std::string::npos ? path(arg) : arg);
        }
        EXPECT_EQ(run(args), c.code) << c.args[1] << " " << c.args.back() << ": " << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.said), std::string::npos) << err.str();
        EXPECT_NE(get("out.pob").find(c.written), std::string::npos) << c.args.back() << ":\n"
                                                                     << get("out.pob");
    }
}

TEST_F(Command, InfoNamesVerticesThatAreNotFiniteAndBoundsTheRest) {
    put("nan.pob", pobWith("nan 5 inf"));
    put("empty.pob", "POBFILE\n#\n0 0\n#\n#\n#\n");
    ASSERT_EQ(run({"info", path("nan.pob")}), 0);
    EXPECT_EQ(out.str(), path("nan.pob") +
                             ": POB mesh\n"
                             "  vertices   4 (0 unused)\n"
                             "  not finite 1 vertex (3), in 1 triangle\n"
                             "  triangles  2 (0 degenerate, 0 duplicate)\n"
                             "  bounds     x 0 .. 4, y 0 .. 2, z 0 .. 0 (of the finite vertices)\n"
                             "  size       4 x 2 x 0\n"
                             "  uv range   u 0 .. 1, v 0 .. 1\n");
    ASSERT_EQ(run({"info", path("empty.pob")}), 0);
    EXPECT_NE(out.str().find("  bounds     no vertices\n"), std::string::npos) << out.str();
}

}  // namespace
