// Checks the committed demo assets themselves (the generator's tests compare
// them with its output byte for byte; these say the output is right).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "gloam/meshio/pob.h"
#include "gloam/textures/texture.h"
#include "mesh_support.h"

using namespace gloam;

namespace {

std::string assetPath(const char* name) { return std::string(GLOAM_ASSET_DIR) + "/" + name; }

struct Point {
    double x, y, z;
};

Point pointOf(const Vertex& v) { return {v.x, v.y, v.z}; }
Point minus(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point cross(Point a, Point b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

class DemoTable : public ::testing::Test {
protected:
    void SetUp() override {
        table = loadPob(assetPath("table.pob").c_str());
        ASSERT_NE(table, nullptr);
        ASSERT_GT(table->triangleCount(), 0);
    }

    Point corner(int t, int k) const { return pointOf(table->verts[(*table->tris[t])[k]]); }

    std::unique_ptr<Mesh> table;
};

TEST_F(DemoTable, StandsOnTheFloorAtItsStatedSize) {
    Point low = pointOf(table->vertices()[0]), high = low;
    for (int i = 0; i < table->vertexCount(); ++i) {
        const Point p = pointOf(table->vertices()[i]);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    EXPECT_EQ(std::vector<double>({low.x, low.y, low.z, high.x, high.y, high.z}),
              std::vector<double>({-110, 0, -65, 110, 90, 65}));
}

// The table is built of convex blocks (top and legs) that share no corners.
// Like the box builder's, every face must be wound so that its normal points
// into its block, and no normal may be smoothed across an edge.
TEST_F(DemoTable, FacesAreFlatAndWoundIntoTheirBlocks) {
    // Blocks: the vertices joined by shared triangles or equal positions.
    std::vector<int> parent(std::size_t(table->vertexCount()));
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](int i) {
        while (parent[std::size_t(i)] != i) i = parent[std::size_t(i)];
        return i;
    };
    const auto join = [&](int a, int b) { parent[std::size_t(find(a))] = find(b); };
    std::map<std::tuple<float, float, float>, int> byPosition;
    for (int i = 0; i < table->vertexCount(); ++i) {
        const Vertex& v = table->vertices()[i];
        const auto [at, added] = byPosition.try_emplace({v.x, v.y, v.z}, i);
        if (!added) join(i, at->second);
    }
    for (int t = 0; t < table->triangleCount(); ++t) {
        join((*table->tris[t])[0], (*table->tris[t])[1]);
        join((*table->tris[t])[0], (*table->tris[t])[2]);
    }
    std::map<int, std::pair<Point, int>> centres;  // block -> sum of positions, count
    for (int i = 0; i < table->vertexCount(); ++i) {
        auto& [sum, count] = centres[find(i)];
        const Point p = pointOf(table->vertices()[i]);
        sum = {sum.x + p.x, sum.y + p.y, sum.z + p.z};
        ++count;
    }
    EXPECT_EQ(centres.size(), 5u) << "a top and four legs";

    for (int t = 0; t < table->triangleCount(); ++t) {
        // The orientation the engine gives the face: (p1 - p0) x (p2 - p0).
        const Point n = cross(minus(corner(t, 1), corner(t, 0)), minus(corner(t, 2), corner(t, 0)));
        const double length = std::sqrt(dot(n, n));
        ASSERT_GT(length, 0.0) << "degenerate triangle " << t;
        const auto& [sum, count] = centres[find((*table->tris[t])[0])];
        const Point centre{sum.x / count, sum.y / count, sum.z / count};
        EXPECT_GT(dot(n, minus(centre, corner(t, 0))), 0.0) << "triangle " << t;
        for (const std::int32_t index : *table->tris[t]) {
            SCOPED_TRACE(testing::Message() << "vertex " << index << " of triangle " << t);
            EXPECT_FIELDS3(table->verts[index], nx, ny, nz, n.x / length, n.y / length,
                           n.z / length, 1e-6);
        }
    }
}

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

        // What the reader does not insist on but the assets promise: the
        // plain 54-byte layout, bottom row first, sizes that add up.
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
