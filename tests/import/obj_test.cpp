// The OBJ reader and writer.

#include "gloam/import/obj.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "gloam/import/model.h"
#include "gloam/meshio/pob.h"
#include "gloam/meshio/primitives.h"
#include "tests/support/mesh_support.h"
#include "tests/support/scratch.h"

using namespace gloam;

namespace {

// The mesh of a model of one part, read as the model loader reads it.
std::unique_ptr<Mesh> fromObj(const std::string& text, FileError& error,
                              std::int64_t limit = std::numeric_limits<std::int32_t>::max()) {
    ObjModel model;
    if (!readObj(text, model, error, limit)) return nullptr;
    EXPECT_EQ(model.parts.size(), 1u);
    return std::move(model.parts.at(0).mesh);
}

std::string pobOfObj(const std::string& text) {
    FileError error;
    const auto mesh = fromObj(text, error);
    return mesh ? formatPob(*mesh) : error.message();
}

TEST(ObjToPob, QuadWithNegativeIndexAndMissingUvAcrossGroups) {
    const std::string obj =
        "# a quad in two objects\r\n"
        "o first\nv 0 0 0\nv 2 0 0\nv 2 1 0\n"
        "g second\r\nv 0 1 0\n"
        "vt 0 0\nvt 1 0\nvt 1 1\n"
        "f 1/1 2/2 -2/3 -1\n";
    EXPECT_EQ(pobOfObj(obj),
              "POBFILE\n#Number of Vertices, Number of Indices\n4 2\n"
              "#Vertex Definitions, 1 per line, x,y,z\n0 0 0\n2 0 0\n2 1 0\n0 1 0\n"
              "#Triangles, 1 per line, vertex num for point 1,2,3\n0 1 2\n0 2 3\n"
              "#TCoords, tu, tv pairs, 3 per triangle\n0 0 1 0 1 1\n0 0 1 1 0 0\n");
}

TEST(ObjToPob, PolygonsNoTrianglesCoverAreLeftOutAndNamed) {
    // Two bow ties, one polygon of no area, and a triangle.
    const std::string obj =
        "v 0 0 0\nv 2 2 0\nv 2 0 0\nv 0 2 0\n#\nf 1 2 3 4\nf 1 3 2\nf 1 2 4 3\nf 1 1 2 2\n";
    FileError error;
    ObjNotes notes;
    const auto mesh = meshFromObj(obj, error, notes);
    ASSERT_TRUE(mesh) << error.message();
    EXPECT_EQ(mesh->triCount, 1);
    EXPECT_EQ(notes.flatPolygons, 1);
    EXPECT_EQ(notes.uncoveredPolygons, 2);
    ASSERT_EQ(notes.uncovered.size(), 2u);
    EXPECT_EQ(notes.uncovered[0].line, 6);
    EXPECT_EQ(notes.uncovered[1].line, 8);
}

// Three vertices and a face line after them.
#define ON3 "v 0 0 0\nv 1 0 0\nv 0 1 0\n"

TEST(ObjToPob, NumbersIndicesCommentsAndJoinsAreReadOrRefusedSayingWhere) {
    const struct {
        const char* obj;
        const char* outcome;  // where and why, or the counts read
        std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    } cases[] = {
        {"v 0 0 0\nv 1 0 0\n\nf 1 2 3\nv 0 1 0\n", "4:7: vertex index 3 is outside 1..2"},
        {"v 0 0 0\r\nv 1 0 0\rf 1 -3 2\n", "3:5: vertex index -3 is outside -2..-1"},
        {"f 1 2 3\n", "1:3: vertex index 1: no vertex comes before this face"},
        {"v 0 0 0\nvt 0 0\n  f  1/1 1/2 1\n", "3:10: texture coordinate index 2 is outside 1..1"},
        {"\xEF\xBB\xBFv 0 1e39 0\n", "1:8: y is not a number in float range"},
        {"vt 0.5 -1e40\n", "1:8: v is not a number in float range"},
        {"v 1e99999999999 0 0\n", "1:3: x is not a number in float range"},
        {"v 0 0 0\n#\nv 1 0 0\nv 2 0 0\n", "4:1: more than 2 vertices", 2},
        {ON3 "f 1 2 3\nf 1 2 3\nf 3 2 1\nf 1 2 3 1\n", "7:1: more than 3 triangles", 3},
        // What is not a number is not read as one.
        {"v nan 0 0\n", "1:3: expected a number for x, found 'nan'"},
        {"v 0 -inf 0\n", "1:5: expected a number for y, found '-inf'"},
        {"vt abc\n", "1:4: expected a number for u, found 'abc'"},
        {"vt 0,5 1\n", "1:5: unexpected ',' in the number for u"},
        {"v 0 0 3.1+e2\n", "1:10: unexpected '+' in the number for z"},
        {"v 0 0 1-2\n", "1:8: unexpected '-' in the number for z"},
        {"v 0 0\n", "1:6: expected z, found the end of the line"},
        {ON3 "f 1 2.9 3\n", "4:6: unexpected '.' after the vertex index"},
        {ON3 "f 1 3x 2\n", "4:6: unexpected 'x' after the vertex index"},
        // An index past 32 bits is named as written, not wrapped round.
        {ON3 "f 1 2 4294967299\n", "4:7: vertex index 4294967299 is outside 1..3"},
        {ON3 "f 1 2 -099999999999\n", "4:7: vertex index -099999999999 is outside -3..-1"},
        // A comment ends any line; a backslash joins the next one.
        {ON3 "f 1 2 3 # the first\nf 3#\n", "5:4: unexpected '#' after the vertex index"},
        {ON3 "f 1 2 \\\n  3 # joined\n", "3 vertices, 1 triangle"},
        {ON3 "f 1 \\ \r\n 2 4\n", "5:4: vertex index 4 is outside 1..3"},
    };
    for (const auto& c : cases) {
        FileError error;
        error.file = "m.obj";
        const auto mesh = fromObj(c.obj, error, c.limit);
        EXPECT_EQ(mesh ? std::to_string(mesh->vertCount) + " vertices, " +
                             std::to_string(mesh->triCount) + " triangle"
                       : error.message(),
                  mesh ? c.outcome : std::string("m.obj:") + c.outcome)
            << c.obj;
    }
}

TEST(ObjModel, EachMaterialIsAPartWithItsVerticesInFileOrderAndItsPicture) {
    const Scratch scratch("obj_materials");
    scratch.put("m.obj",
                "mtllib m.mtl gone.mtl\n"
                "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 5 5 5\nv 2 0 0\n"
                "f 6 5 2\nusemtl wood  # the frame\nf 1 2 3\n"
                "usemtl cloth\nf 1 3 4\nusemtl wood\nf 2 6 3\nusemtl ghost\nf 4 3 6\n");
    scratch.put("m.mtl",
                "newmtl wood\nKd 1 1 1\n"
                "map_Kd -s 1 1 1 -o 0.5 -clamp on wood grain.png\n"
                "newmtl cloth\nmap_Kd C:\\Users\\me\\cloth.jpg\n");
    Model model;
    FileError error;
    // In the file's own winding, which loadModel otherwise turns round.
    ASSERT_TRUE(loadModel(scratch.path("m.obj"), model, error, {.keepWinding = true}))
        << error.message();
    const struct {
        const char* name;
        const char* picture;
        std::vector<float> xs;  // of the vertices, in order
        std::vector<Triangle> triangles;
    } parts[] = {
        {"m.obj", "", {1, 5, 2}, {{2, 1, 0}}},
        {"wood", "wood grain.png", {0, 1, 1, 2}, {{0, 1, 2}, {1, 3, 2}}},
        {"cloth", "C:\\Users\\me\\cloth.jpg", {0, 1, 0}, {{0, 1, 2}}},
        {"ghost", "", {1, 0, 2}, {{1, 0, 2}}},
    };
    ASSERT_EQ(model.parts.size(), std::size(parts));
    for (std::size_t k = 0; k < model.parts.size(); ++k) {
        const ModelPart& got = model.parts[k];
        EXPECT_EQ(got.name, parts[k].name);
        EXPECT_EQ(got.pictureName, parts[k].picture) << got.name;
        std::vector<float> xs;
        for (int i = 0; i < got.mesh->vertCount; ++i) xs.push_back(got.mesh->verts[i].x);
        EXPECT_EQ(xs, parts[k].xs) << got.name;
        std::vector<Triangle> triangles;
        for (int i = 0; i < got.mesh->triCount; ++i) triangles.push_back(*got.mesh->tris[i]);
        EXPECT_EQ(triangles, parts[k].triangles) << got.name;
    }
    EXPECT_EQ(model.warnings,
              (std::vector<std::string>{"material library 'gone.mtl' is not in the model's folder",
                                        "material 'ghost' is in none of its material libraries; "
                                        "its part has no picture"}));
}

// ASCII text in UTF-16 or UTF-32, with or without the byte-order mark.
std::string wide(const std::string& text, int unit, bool bigEndian, bool marked) {
    std::string out;
    for (const char32_t c : (marked ? U"\uFEFF" : U"") + std::u32string(text.begin(), text.end())) {
        for (int k = 0; k < unit; ++k) {
            out += char(c >> (8 * (bigEndian ? unit - 1 - k : k)) & 0xFF);
        }
    }
    return out;
}

TEST(ObjToPob, WideTextIsReadByItsMarkAndRefusedWithoutIt) {
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    EXPECT_EQ(pobOfObj(wide(obj, 2, false, true)), pobOfObj(obj));
    EXPECT_EQ(pobOfObj(wide(obj, 4, true, true)), pobOfObj(obj));
    EXPECT_EQ(pobOfObj(wide(obj, 2, false, false)),
              "1:2: a NUL byte: this looks like UTF-16 (little-endian) text without a "
              "byte-order mark, which is not read; save it as UTF-8");
    EXPECT_EQ(pobOfObj(wide(obj, 2, true, true) + "x"),
              "5:1: the text is marked as UTF-16 (big-endian) but does not decode as such here");
}

TEST(PobToObj, EngineMeshesComeBackByteForByte) {
    std::vector<std::unique_ptr<Mesh>> meshes;
    meshes.push_back(loadPob(GLOAM_ASSET_DIR "/table.pob"));
    meshes.push_back(makeBox(150, 150, 150));
    meshes.push_back(makeGrid(7, 4, 0.1f));
    meshes.push_back(makeQuad(3, 1.5f));
    meshes.push_back(meshOf({blackAt(-0.0f, 1e-7f, 3e38f), blackAt(1, 2, 3)}));
    for (const auto& mesh : meshes) {
        ASSERT_TRUE(mesh);
        std::string obj, reason;
        ASSERT_TRUE(formatObj(*mesh, obj, reason)) << reason;
        EXPECT_EQ(pobOfObj(obj), formatPob(*mesh)) << obj;
    }
    meshes[3]->verts[2].x = std::numeric_limits<float>::infinity();
    std::string obj, reason;
    EXPECT_FALSE(formatObj(*meshes[3], obj, reason));
    EXPECT_EQ(reason, "vertex 2 is not finite, which OBJ cannot hold");
}

}  // namespace
