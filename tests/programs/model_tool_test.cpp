// gloam-pob's conversion of models of any format: parts, pictures, winding.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gloam/import/model.h"
#include "gloam/textures/texture.h"
#include "tests/support/model_support.h"
#include "tests/support/scratch.h"
#include "tool/commands.h"

using namespace gloam;
using namespace model_support;

namespace {

class Convert : public ::testing::Test, protected Scratch {
protected:
    Convert() : Scratch("convert") {}
    void SetUp() override {
        if (std::string(modelFormats()).find("gltf") == std::string::npos) {
            GTEST_SKIP() << "this build reads no model format but POB and OBJ";
        }
    }
    int run(const std::vector<std::string>& args) {
        out.str(""), err.str("");
        return runTool(args, out, err);
    }
    bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    std::ostringstream out, err;
};

TEST_F(Convert, SeveralPartsGiveNumberedFilesAndAListing) {
    put("scene.gltf", gltf());
    put("wood.tga", tga());
    ASSERT_EQ(run({"convert", path("scene.gltf"), path("out.pob")}), ToolOk) << err.str();
    EXPECT_TRUE(has(out.str(), path("out-1.pob") +
                                   ": part #1 'embedded', 6 vertices, 2 triangles\n" +
                                   path("out-1.bmp") + ": 2 x 2 from embedded picture *0\n"))
        << out.str();
    EXPECT_TRUE(has(out.str(), path("out-2.bmp") + ": 2 x 2 from " + path("wood.tga")));
    EXPECT_TRUE(has(err.str(), "part #3 'missing': pictures\\missing.png not found")) << err.str();
    for (const char* name : {"out-1.pob", "out-2.pob", "out-3.pob", "out-1.bmp", "out-2.bmp"}) {
        EXPECT_TRUE(std::filesystem::exists(path(name))) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(path("out-3.bmp")));
    EXPECT_FALSE(std::filesystem::exists(path("out.pob")));
    Texture texture;
    ASSERT_TRUE(readBitmap(texture, path("out-2.bmp").c_str(), false, false, false));
    EXPECT_EQ(texture.pixels[0], 0);  // bottom left: blue
    EXPECT_EQ(texture.pixels[2], 255);

    ASSERT_EQ(run({"info", path("scene.gltf")}), ToolOk);
    EXPECT_TRUE(has(out.str(),
                    ": 3 parts\n  part #1 'embedded': 6 vertices, 2 triangles, picture "
                    "2 x 2 from embedded picture *0\n"))
        << out.str();
    EXPECT_TRUE(has(out.str(),
                    "part #3 'missing': 3 vertices, 1 triangle, picture "
                    "pictures\\missing.png not used"));
}

TEST_F(Convert, WindingTurnsRoundBothWaysUnlessKept) {
    const std::string table = GLOAM_ASSET_DIR "/table.pob";
    for (const bool keep : {false, true}) {
        std::vector<std::string> extra;
        if (keep) extra.push_back("--keep-winding");
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.end(), extra.begin(), extra.end());
            return run(args);
        };
        ASSERT_EQ(with({"convert", table, path("t.obj")}), ToolOk) << err.str();
        const std::string obj = get("t.obj");
        ASSERT_EQ(with({"convert", path("t.obj"), path("t.pob")}), ToolOk) << err.str();
        EXPECT_EQ(get("t.pob"), textOf(table));
        // The table's first triangle is 0 1 2 in the engine's winding.
        EXPECT_TRUE(has(obj, keep ? "\nf 1/1 2/" : "\nf 1/1 3/")) << obj.substr(0, 400);
    }
    put("solid.ply", tetrahedronPly);
    EXPECT_EQ(run({"convert", path("solid.ply"), path("s.pob"), "--flip-winding"}), ToolOk);
    EXPECT_TRUE(has(err.str(), "--flip-winding is what convert does anyway")) << err.str();
    EXPECT_FALSE(has(err.str(), "lit from inside"));
    // Between two POB files it turns a mesh that was wound the wrong way.
    ASSERT_EQ(run({"convert", table, path("turned.pob"), "--flip-winding"}), ToolOk);
    EXPECT_TRUE(
        has(get("turned.pob"), "#Triangles, 1 per line, vertex num for point 1,2,3\n0 2 1\n"));
    EXPECT_EQ(run({"convert", path("solid.ply"), path("s.pob"), "--keep-winding"}), ToolOk);
    EXPECT_TRUE(has(err.str(), "part #1 'solid.ply' is closed and would be lit from inside"));
    EXPECT_EQ(
        run({"convert", path("solid.ply"), path("s.pob"), "--flip-winding", "--keep-winding"}),
        ToolBadUsage);
    EXPECT_EQ(run({"convert", path("solid.xyz"), path("s.pob")}), ToolBadUsage);
    EXPECT_TRUE(has(err.str(), std::string("it reads ") + modelFormats())) << err.str();

    // Points alone convert to an empty mesh, with a word of it.
    put("points.ply",
        "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
        "property float z\nend_header\n0 0 0\n1 1 1\n");
    EXPECT_EQ(run({"convert", path("points.ply"), path("p.pob")}), ToolOk);
    EXPECT_TRUE(has(err.str(), "no triangle to convert")) << err.str();
    EXPECT_TRUE(has(get("p.pob"), "\n0 0\n"));
}

}  // namespace
