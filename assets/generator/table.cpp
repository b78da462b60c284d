#include "table.h"

#include <array>

#include "gloam/meshio/mesh_source.h"

using namespace gloam;

namespace {

constexpr int halfLength = 110;  // along x
constexpr int halfWidth = 65;    // along z
constexpr int height = 90;
constexpr int topThickness = 10;
constexpr int legSize = 10;
constexpr int legInset = 10;  // from the edges of the top

// The wood texture shows its grain along u. The top shows the whole picture
// once, and every other face takes the texture at the same scale, its u along
// the face's longer side, so the grain follows the length of each board and
// leg.
constexpr float grainLength = 2.0f * halfLength;
constexpr float grainAcross = 2.0f * halfWidth;
// Where u and v are 0, per axis: the top starts at (0, 0), and the legs'
// grain starts a little way along the boards, clear of the nails at their ends.
constexpr std::array<int, 3> textureOrigin{-halfLength, -20, -halfWidth};

// An axis-aligned block in world units.
struct Block {
    std::array<int, 3> min;
    std::array<int, 3> max;
};

// One rectangular side of a block, the one facing `side` (-1 or +1) along
// `axis`. Its corners go 0, 1, 2, 3 as in the box builder: 0 → 1 along the
// grain, 1 → 2 across it, split into (0, 1, 2) and (0, 2, 3). That order
// makes (p1 − p0) × (p2 − p0) point into the block, which is what the
// engine's lighting takes for a face lit from outside.
void addFace(MeshSource& mesh, const Block& block, int axis, int side) {
    const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    const auto extent = [&](int a) { return block.max[a] - block.min[a]; };
    // Ties go to x, then z: the leg's square foot takes its grain along x.
    const bool firstIsLonger =
        extent(a1) > extent(a2) || (extent(a1) == extent(a2) && (a1 == 0 || a2 == 1));
    const int along = firstIsLonger ? a1 : a2;
    const int across = firstIsLonger ? a2 : a1;
    // e_along × e_across is +e_axis when the three axes run in cyclic order.
    const int handedness = across == (along + 1) % 3 ? 1 : -1;
    const bool acrossUp = -side * handedness > 0;

    std::array<int, 3> corners[4];
    corners[0][axis] = side > 0 ? block.max[axis] : block.min[axis];
    corners[0][along] = block.min[along];
    corners[0][across] = acrossUp ? block.min[across] : block.max[across];
    corners[1] = corners[0];
    corners[1][along] = block.max[along];
    corners[2] = corners[1];
    corners[2][across] = acrossUp ? block.max[across] : block.min[across];
    corners[3] = corners[0];
    corners[3][across] = corners[2][across];

    const auto first = std::int32_t(mesh.vertices.size());
    for (const std::array<int, 3>& p : corners) {
        Vertex v;  // black, like every vertex a builder makes
        v.setPosition(float(p[0]), float(p[1]), float(p[2]));
        mesh.vertices.push_back(v);
    }
    const auto coord = [&](int k) {
        const std::array<int, 3>& p = corners[k];
        return TexCoord{float(p[along] - textureOrigin[along]) / grainLength,
                        float(p[across] - textureOrigin[across]) / grainAcross};
    };
    mesh.triangles.push_back({first, first + 1, first + 2});
    mesh.uvs.push_back({coord(0), coord(1), coord(2)});
    mesh.triangles.push_back({first, first + 2, first + 3});
    mesh.uvs.push_back({coord(0), coord(2), coord(3)});
}

// The six sides in the box builder's order.
void addBlock(MeshSource& mesh, const Block& block) {
    constexpr std::array<std::array<int, 2>, 6> faces{
        {{2, -1}, {0, 1}, {0, -1}, {1, -1}, {1, 1}, {2, 1}}};
    for (const auto& [axis, side] : faces) addFace(mesh, block, axis, side);
}

}  // namespace

std::unique_ptr<Mesh> buildTable() {
    MeshSource table;
    addBlock(table,
             {{-halfLength, height - topThickness, -halfWidth}, {halfLength, height, halfWidth}});
    // The legs are closed blocks too: their hidden upper faces cost little and
    // keep every part a solid whose inside is well defined.
    constexpr int outer = halfLength - legInset, outerZ = halfWidth - legInset;
    for (const int sz : {-1, 1}) {
        for (const int sx : {-1, 1}) {
            const int x0 = sx < 0 ? -outer : outer - legSize;
            const int z0 = sz < 0 ? -outerZ : outerZ - legSize;
            addBlock(table, {{x0, 0, z0}, {x0 + legSize, height - topThickness, z0 + legSize}});
        }
    }
    return table.build();
}
