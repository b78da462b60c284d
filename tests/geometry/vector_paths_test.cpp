// The mesh's per-vertex loops run blocks of four or eight vertices through
// vector code and the rest one at a time. Each vertex depends on nothing but
// itself, so a vertex must come out with the same bits whichever path took it.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"
#include "gloam/geometry/passes.h"
#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

// 23 = two blocks of eight, one of four and three left over, so every path
// of every loop gets some vertices.
constexpr int count = 23;

Vertex varied(int i) {
    // Spread over some hundred units around the lamp below, so that some
    // vertices are within its range, most beyond, and the falloff still
    // shows in the colours; with both zeros, a subnormal and a far vertex.
    // NaN is left out: the sign of a NaN result is not something either
    // path promises.
    Vertex v;
    v.setPosition(float(i * 37 % 23) * 7.5f - 60.0f, float(i * 11 % 23) * 5.0f - 40.0f,
                  float(i * 5 % 23) * 6.0f - 50.0f);
    if (i % 8 == 5) v.x = -0.0f;
    if (i % 8 == 6) v.y = 1e-39f;
    if (i == 21) v.z = 7e5f;
    v.nx = float(i * 5 % 7 - 3) / 3.0f;
    v.ny = float(i * 3 % 5 - 2) / 2.0f;
    v.nz = float(i * 7 % 9 - 4) / 4.0f;
    v.tu = float(i);
    v.tv = -float(i);
    v.red = i * 11;
    v.green = 300 - i * 13;
    v.blue = -i;
    return v;
}

// Every field a vertex has, as bits.
std::vector<std::uint32_t> bitsOf(const Vertex& v) {
    const float floats[] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.tu, v.tv};
    std::vector<std::uint32_t> bits(11);
    std::memcpy(bits.data(), floats, sizeof floats);
    bits[8] = std::uint32_t(v.red);
    bits[9] = std::uint32_t(v.green);
    bits[10] = std::uint32_t(v.blue);
    return bits;
}

// Runs update, the lights and the shadow twice (so that each pass runs
// both ways) over a mesh whose vertex i is varied(i % count), and checks
// every vertex after every step against the same vertex alone.
void expectEachVertexAsAlone(int vertexCount) {
    MeshSource all;
    std::vector<std::unique_ptr<Mesh>> alone;
    for (int i = 0; i < vertexCount; ++i) all.vertices.push_back(varied(i % count));
    for (int i = 0; i < count; ++i) alone.push_back(MeshSource{{varied(i)}, {}, {}}.build());
    const auto mesh = all.build();

    AmbientLight ambient(30, -20, 5);
    DirectionalLight sun(200, 150, 0, 0.395f, -1.0f, 0.395f);
    PointLight lamp(90, 0, 255, 5.0f, 20.0f, -3.0f, 40.0f);  // some vertices in range, most not
    Light* lights[] = {&sun, &ambient, &lamp};

    const auto each = [&](const char* step, auto&& apply) {
        apply(*mesh);
        for (auto& single : alone) apply(*single);
        int wrong = 0;
        for (int i = 0; i < vertexCount && wrong < 5; ++i) {
            const Vertex& v = mesh->transformedVertices()[i];
            const auto expected = bitsOf(alone[i % count]->transformedVertices()[0]);
            if (bitsOf(v) != expected || v.getX() != v.x) {
                ADD_FAILURE() << step << ", vertex " << i << " of " << vertexCount;
                ++wrong;
            }
        }
    };
    for (int round = 0; round < 2; ++round) {
        each("update", [](Mesh& m) {
            m.setRotation(0.3f, 1.28f, -2.1f);
            m.setPosition(10.0f, -4.5f, 0.25f);
            m.setScale(2.0f, 0.5f, -1.0f);
            m.update();
        });
        each("applyLights", [&](Mesh& m) { m.applyLights(lights, 3); });
        each("projectShadow",
             [](Mesh& m) { m.projectShadow(0.1f, 1.0f, -0.2f, 3.0f, 0.4f, 1.0f, 0.3f); });
    }
}

TEST(VectorPaths, EveryVertexComesOutAsItWouldAlone) { expectEachVertexAsAlone(count); }

// Past the size from which update() streams its stores to memory, so that
// the streamed blocks, the passes' blocks in both orders and a last block
// with vertices left over all come in.
TEST(VectorPaths, LargeMeshesComeOutAsTheirVerticesWouldAlone) {
    expectEachVertexAsAlone(int(passes::streamingBytes / sizeof(Vertex)) + 11);
}

}  // namespace
