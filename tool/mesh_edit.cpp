#include "tool/mesh_edit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace gloam {

namespace {

struct Bounds {
    double min[3] = {0, 0, 0};
    double max[3] = {0, 0, 0};
};

Bounds boundsOf(const std::vector<double>& xyz) {
    Bounds b;
    for (std::size_t i = 0; i < xyz.size(); ++i) {
        const std::size_t axis = i % 3;
        if (i < 3 || xyz[i] < b.min[axis]) b.min[axis] = xyz[i];
        if (i < 3 || xyz[i] > b.max[axis]) b.max[axis] = xyz[i];
    }
    return b;
}

}  // namespace

bool editMesh(Mesh& mesh, const MeshEdit& edit, std::string& reason) {
    const std::size_t vertexCount = std::size_t(std::max(mesh.vertCount, 0));
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));

    // Positions are worked out in double and rounded to float once.
    std::vector<double> xyz(3 * vertexCount);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        xyz[3 * i] = double(mesh.verts[i].x) * edit.scale;
        xyz[3 * i + 1] = double(mesh.verts[i].y) * edit.scale;
        xyz[3 * i + 2] = double(mesh.verts[i].z) * edit.scale;
    }
    if (edit.centre || edit.floor) {
        const Bounds b = boundsOf(xyz);
        double shift[3] = {0, 0, 0};
        for (int axis = 0; axis < 3; ++axis) {
            if (edit.centre) shift[axis] = -(b.min[axis] + b.max[axis]) / 2;
        }
        if (edit.floor) shift[1] = -b.min[1];
        for (std::size_t i = 0; i < xyz.size(); ++i) xyz[i] += shift[i % 3];
    }
    constexpr double largest = std::numeric_limits<float>::max();
    for (std::size_t i = 0; i < xyz.size(); ++i) {
        // NaN and infinity stay what they are; a finite number must stay finite.
        if (std::isfinite(xyz[i]) && std::fabs(xyz[i]) > largest) {
            reason = "vertex " + std::to_string(i / 3) + " would lie beyond float range";
            return false;
        }
    }
    for (std::size_t i = 0; i < vertexCount; ++i) {
        mesh.verts[i].setPosition(float(xyz[3 * i]), float(xyz[3 * i + 1]), float(xyz[3 * i + 2]));
    }
    for (std::size_t k = 0; k < triangleCount; ++k) {
        Triangle& corners = *mesh.tris[k];
        TriangleUV& uv = *mesh.triUVs[k];
        if (edit.flipWinding) {
            std::swap(corners[1], corners[2]);
            std::swap(uv[1], uv[2]);
        }
        if (edit.flipV) {
            for (TexCoord& c : uv) c.tv = float(1.0 - double(c.tv));
        }
    }
    return true;
}

MeshReport reportMesh(const Mesh& mesh) {
    MeshReport report;
    report.vertices = std::max(mesh.vertCount, 0);
    report.triangles = std::max(mesh.triCount, 0);
    for (std::int32_t i = 0; i < report.vertices; ++i) {
        const float p[3] = {mesh.verts[i].x, mesh.verts[i].y, mesh.verts[i].z};
        for (int axis = 0; axis < 3; ++axis) {
            if (i == 0 || p[axis] < report.min[axis]) report.min[axis] = p[axis];
            if (i == 0 || p[axis] > report.max[axis]) report.max[axis] = p[axis];
        }
    }

    std::vector<bool> used(std::size_t(report.vertices), false);
    // Positions compared by their bits, which orders NaNs too.
    using Position = std::array<std::uint32_t, 3>;
    std::vector<std::array<Position, 3>> keys;
    keys.reserve(std::size_t(report.triangles));
    for (std::int32_t k = 0; k < report.triangles; ++k) {
        const Triangle& t = *mesh.tris[k];
        std::array<Position, 3> key;
        double p[3][3];
        for (std::size_t c = 0; c < 3; ++c) {
            const Vertex& v = mesh.verts[t[c]];
            used[std::size_t(t[c])] = true;
            p[c][0] = v.x;
            p[c][1] = v.y;
            p[c][2] = v.z;
            std::memcpy(key[c].data(), &v.x, 4);
            std::memcpy(key[c].data() + 1, &v.y, 4);
            std::memcpy(key[c].data() + 2, &v.z, 4);
        }
        std::sort(key.begin(), key.end());
        keys.push_back(key);
        // Three corners on one line: the cross product of two edges is zero.
        double e1[3], e2[3];
        for (int axis = 0; axis < 3; ++axis) {
            e1[axis] = p[1][axis] - p[0][axis];
            e2[axis] = p[2][axis] - p[0][axis];
        }
        const bool flat = e1[1] * e2[2] - e1[2] * e2[1] == 0 &&
                          e1[2] * e2[0] - e1[0] * e2[2] == 0 && e1[0] * e2[1] - e1[1] * e2[0] == 0;
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2] || flat) ++report.degenerate;

        for (int c = 0; c < 3; ++c) {
            const TexCoord& uv = (*mesh.triUVs[k])[std::size_t(c)];
            const float st[2] = {uv.tu, uv.tv};
            for (int axis = 0; axis < 2; ++axis) {
                if ((k == 0 && c == 0) || st[axis] < report.uvMin[axis])
                    report.uvMin[axis] = st[axis];
                if ((k == 0 && c == 0) || st[axis] > report.uvMax[axis])
                    report.uvMax[axis] = st[axis];
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    report.duplicates = std::int32_t(
        keys.size() - std::size_t(std::unique(keys.begin(), keys.end()) - keys.begin()));
    report.unusedVertices = std::int32_t(std::count(used.begin(), used.end(), false));
    return report;
}

}  // namespace gloam
