// loadModel over the importer: small models of each kind written here, the
// winding rule both ways, pictures embedded and beside the model, and the
// closed-part check.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gloam/import/model.h"
#include "gloam/import/model_parts.h"
#include "gloam/meshio/mesh_source.h"
#include "gloam/meshio/primitives.h"
#include "tests/support/model_support.h"
#include "tests/support/scratch.h"

using namespace gloam;
using namespace model_support;

namespace {

class Models : public ::testing::Test, protected Scratch {
protected:
    Models() : Scratch("import") {}
    void SetUp() override {
        if (std::string(modelFormats()).find("gltf") == std::string::npos) {
            GTEST_SKIP() << "this build reads no model format but POB and OBJ";
        }
    }
    bool load(const std::string& name, bool keepWinding = false) {
        return loadModel(path(name), model, error, {.keepWinding = keepWinding});
    }
    Model model;
    FileError error;
};

// The z of a triangle's normal (P1 - P0) x (P2 - P0), for one in a z plane.
float normalZ(const Mesh& mesh, std::int32_t k) {
    const Triangle& t = *mesh.tris[k];
    const Vertex &a = mesh.verts[t[0]], &b = mesh.verts[t[1]], &c = mesh.verts[t[2]];
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

TEST_F(Models, GltfPartsPerMaterialWithNodesBakedAndPicturesFound) {
    put("scene.gltf", gltf());
    put("wood.tga", tga());
    for (const bool keep : {false, true}) {
        ASSERT_TRUE(load("scene.gltf", keep)) << error.message();
        ASSERT_EQ(model.parts.size(), 3u);
        const ModelPart& part = model.parts[0];
        EXPECT_EQ(part.name, "embedded");
        ASSERT_EQ(part.mesh->vertCount, 6);
        ASSERT_EQ(part.mesh->triCount, 2);
        EXPECT_EQ(part.mesh->verts[1].x, 12.0f);  // 10 + 2 x 1
        EXPECT_EQ(part.mesh->verts[2].y, 2.0f);
        EXPECT_EQ(part.mesh->verts[4].x, 8.0f);  // mirrored: 10 - 2 x 1
        EXPECT_EQ(model.parts[2].mesh->verts[0].z, 5.0f);
        // Both instances face +z as the file has it; the engine lights the
        // side its corners run clockwise from, so by default both turn round.
        for (std::int32_t k = 0; k < 2; ++k) {
            EXPECT_EQ(normalZ(*part.mesh, k) > 0, keep) << "instance " << k << ", keep " << keep;
        }
        // v runs down the picture in glTF and up it in the engine; corner 1
        // is file vertex 2 when turned round, 1 when kept.
        const TexCoord uv = (*part.mesh->triUVs[0])[1];
        EXPECT_EQ(uv.tu, keep ? 1.0f : 0.0f);
        EXPECT_EQ(uv.tv, keep ? 1.0f : 0.0f);
    }
    EXPECT_EQ(model.parts[0].pictureFile, path("scene.gltf"));
    EXPECT_EQ(model.parts[0].picture.rgb,
              (std::vector<std::uint8_t>{0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(model.parts[1].pictureName, "C:\\art\\Wood.TGA");
    EXPECT_EQ(model.parts[1].pictureFile, path("wood.tga"));
    EXPECT_EQ(model.parts[1].picture.rgb, model.parts[0].picture.rgb);
    EXPECT_EQ(model.parts[2].picture.width, 0);
    EXPECT_NE(model.parts[2].pictureProblem.find(path("pictures/missing.png")), std::string::npos)
        << model.parts[2].pictureProblem;
}

TEST_F(Models, ClosedPartsWoundToBeLitFromInsideAreNamed) {
    put("solid.ply", tetrahedronPly);
    std::vector<std::array<std::array<float, 3>, 3>> triangles;
    for (const auto& f : faces) {
        triangles.push_back({});
        for (int c = 0; c < 3; ++c) {
            for (int a = 0; a < 3; ++a) triangles.back()[c][a] = corners[f[c]][a];
        }
    }
    put("solid.stl", stl(triangles));
    for (const char* file : {"solid.ply", "solid.stl"}) {
        for (const bool keep : {false, true}) {
            ASSERT_TRUE(load(file, keep)) << error.message();
            ASSERT_EQ(model.parts.size(), 1u);
            EXPECT_EQ(model.parts[0].name, file);
            ASSERT_EQ(model.warnings.size(), keep ? 1u : 0u) << file;
            if (keep) {
                EXPECT_EQ(model.warnings[0].find("part #1 '" + std::string(file) + "' is closed"),
                          0u);
            }
        }
    }
    ASSERT_TRUE(load("solid.ply"));
    const Mesh& mesh = *model.parts[0].mesh;
    for (std::int32_t i = 0; i < mesh.vertCount; ++i) {
        const Vertex& v = mesh.verts[i];
        const bool origin = v.x == 0 && v.y == 0 && v.z == 0;
        EXPECT_EQ(v.red, origin ? 255 : 0);
        EXPECT_EQ(v.green, origin ? 128 : 0);
    }
}

TEST(ClosedParts, AreThoseWhoseEveryEdgeIsRunOnceEachWay) {
    // The engine's own box is lit from outside; an open grid is not closed,
    // nor are two boxes that share an edge.
    auto box = makeBox(2, 3, 4);
    EXPECT_FALSE(litFromInside(*box));
    EXPECT_TRUE(litFromInside(*turnedRound(*makeBox(2, 3, 4))));
    EXPECT_FALSE(litFromInside(*turnedRound(*makeGrid(3, 3, 1))));
    MeshSource two;
    for (int copy = 0; copy < 2; ++copy) {
        for (std::int32_t i = 0; i < box->vertCount; ++i) {
            two.vertices.push_back(box->verts[i]);
            two.vertices.back().x += copy ? 2.0f : 0.0f;
            two.vertices.back().y += copy ? 3.0f : 0.0f;
        }
        for (std::int32_t k = 0; k < box->triCount; ++k) {
            const Triangle& t = *box->tris[k];
            two.triangles.push_back({t[0] + 8 * copy, t[2] + 8 * copy, t[1] + 8 * copy});
        }
    }
    two.uvs.resize(two.triangles.size());
    EXPECT_FALSE(litFromInside(*two.build()));
    // Two triangles, each drawn from both sides (begun at different
    // corners), enclose nothing, though rounding makes the sum of their
    // volumes other than 0.
    MeshSource sheet;
    sheet.vertices = {Vertex(0.1f, 0.7f, -0.16666667f), Vertex(1.3f, 0.2f, -0.23333333f),
                      Vertex(1.7f, 1.1f, -0.96666664f), Vertex(2.3f, 1.9f, -1.7f),
                      Vertex(3.1f, 0.3f, -0.9f),        Vertex(2.9f, 2.7f, -2.4333334f)};
    sheet.triangles = {{0, 1, 2}, {3, 4, 5}, {1, 0, 2}, {4, 3, 5}};
    sheet.uvs.resize(4);
    EXPECT_FALSE(litFromInside(*sheet.build()));
}

TEST_F(Models, PolygonsAreCoveredExactlyOrLeftOutWithAWarning) {
    // A comb of three teeth, counter-clockwise seen from +z, which a fan
    // from its first corner would fold over itself; and a bow tie.
    put("polygons.ply",
        "ply\nformat ascii 1.0\nelement vertex 13\n"
        "property float x\nproperty float y\nproperty float z\n"
        "element face 2\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n6 0 0\n6 3 0\n5 3 0\n4 1 0\n3 3 0\n2 1 0\n1 3 0\n0 3 0\n"
        "0 5 0\n2 5 0\n0 7 0\n2 7 0\n"
        "9 0 1 2 3 4 5 6 7 8\n4 9 10 11 12\n");
    ASSERT_TRUE(load("polygons.ply")) << error.message();
    ASSERT_EQ(model.parts.size(), 1u);
    const Mesh& mesh = *model.parts[0].mesh;
    ASSERT_EQ(mesh.triCount, 7);
    double area = 0;
    for (std::int32_t k = 0; k < mesh.triCount; ++k) {
        EXPECT_LT(normalZ(mesh, k), 0) << "triangle " << k;  // all turned round alike
        area -= normalZ(mesh, k) / 2;
    }
    EXPECT_DOUBLE_EQ(area, 14);
    ASSERT_EQ(model.warnings.size(), 1u);
    EXPECT_EQ(model.warnings[0].find("1 polygon crosses itself"), 0u) << model.warnings[0];
}

TEST_F(Models, NonFiniteCornersCountedAndRejectionsNamed) {
    put("part.stl",
        stl({{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {{{0, 0, 0}, {1, 0, 0}, {0, 0, INFINITY}}}}));
    ASSERT_TRUE(load("part.stl")) << error.message();
    ASSERT_EQ(model.parts.size(), 1u);
    EXPECT_EQ(model.parts[0].mesh->triCount, 2);
    ASSERT_EQ(model.warnings.size(), 1u);
    EXPECT_EQ(model.warnings[0], "1 vertex has a position that is not a finite number");

    put("broken.gltf", "{\"asset\": ");
    EXPECT_FALSE(load("broken.gltf"));
    EXPECT_EQ(error.message().find(path("broken.gltf: ")), 0u) << error.message();
    EXPECT_FALSE(error.reason.empty());
    EXPECT_FALSE(load("missing.glb"));
    EXPECT_EQ(error.message(), path("missing.glb: No such file or directory"));
    put("model.xyz", "");
    EXPECT_FALSE(load("model.xyz"));
    EXPECT_EQ(error.reason,
              std::string("not a model this build reads (it reads ") + modelFormats() + ")");
}

// Public models, where the optional package that has them is installed.
TEST(PublicModels, LoadLitFromOutside) {
    const std::string root = "/usr/share/assimp/models/";
    if (std::string(modelFormats()).find("gltf") == std::string::npos) {
        GTEST_SKIP() << "this build reads no model format but POB and OBJ";
    }
    if (!std::filesystem::exists(root)) GTEST_SKIP() << "no public models in " << root;
    for (const char* file :
         {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "Collada/duck.dae", "FBX/box.fbx",
          "PLY/cube.ply", "STL/Spider_binary.stl", "3DS/fels.3ds", "OBJ/box.obj"}) {
        Model model;
        FileError error;
        ASSERT_TRUE(loadModel(root + file, model, error)) << error.message();
        ASSERT_FALSE(model.parts.empty()) << file;
        EXPECT_GT(model.parts[0].mesh->triCount, 0) << file;
        for (const std::string& warning : model.warnings) {
            EXPECT_EQ(warning.find("lit from inside"), std::string::npos)
                << file << ": " << warning;
        }
    }
}

}  // namespace
