// gloam-pob's conversions and its command line.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gloam/import/picture.h"
#include "gloam/meshio/primitives.h"
#include "gloam/textures/texture.h"
#include "tests/support/mesh_support.h"
#include "tool/commands.h"
#include "tool/mesh_edit.h"

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

class Command : public ::testing::Test {
protected:
    int run(std::vector<std::string> args) {
        out.str(""), err.str("");
        return runTool(args, out, err);
    }
    // A folder of the test's own: two test runs may share the machine.
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    const std::string dir =
        ::testing::TempDir() + "tool_" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string path(const std::string& name) { return dir + "/" + name; }
    void put(const std::string& name, const std::string& bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string get(const std::string& name) {
        std::ostringstream s;
        s << std::ifstream(path(name), std::ios::binary).rdbuf();
        return s.str();
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

}  // namespace
