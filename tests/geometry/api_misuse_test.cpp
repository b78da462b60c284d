// What the API does with arguments a caller got wrong: refused with a
// reason, never a crash. (Null lights are skipped: see light_test.cpp.)

#include <gtest/gtest.h>

#include "tests/support/mesh_support.h"

namespace {

TEST(ApiMisuse, MeshSourceRefusesWhatCannotMakeAMeshAndSaysWhy) {
    const std::vector<Vertex> three = {blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)};
    const TriangleUV corners{};
    const struct {
        MeshSource source;
        const char* why;
    } rows[] = {
        {{three, {{0, 1, 2}}, {corners}}, ""},
        {{three, {{0, 1, 2}, {2, 1, 0}}, {}}, "2 triangles but 0 texture coordinate sets"},
        {{three, {{0, 1, 1000000000}}, {corners}},
         "triangle 0: vertex index 1000000000 is outside 0..2"},
        {{three, {{0, 1, 2}, {0, -1, 2}}, {corners, corners}}, "triangle 1: vertex index -1 is"},
        {{{}, {{0, 0, 0}}, {corners}}, "triangle 0: vertex index 0, but there are no vertices"},
    };
    for (const auto& row : rows) {
        std::string why = "unchanged";
        const auto mesh = row.source.build(why);
        EXPECT_EQ(mesh == nullptr, *row.why != '\0') << row.why;
        EXPECT_EQ(why.rfind(row.why, 0), 0u) << why;
        EXPECT_EQ(row.source.build() == nullptr, mesh == nullptr);
    }
}

}  // namespace
