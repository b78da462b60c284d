#include "tool/mesh_edit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace gloam {

namespace {

bool finite(const Vertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool normalFloat(float f) { return std::fpclassify(f) == FP_NORMAL; }

}  // namespace

bool scaleCollapses(const Mesh& mesh, double scale, std::string& reason) {
    const std::size_t vertexCount = std::size_t(std::max(mesh.vertCount, 0));
    bool spread = false, spreadAfter = false;
    float first[3] = {0, 0, 0}, firstAfter[3] = {0, 0, 0};
    bool any = false;
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vertex& v = mesh.verts[i];
        if (!finite(v)) continue;
        const float p[3] = {v.x, v.y, v.z};
        for (int axis = 0; axis < 3; ++axis) {
            const float scaled = float(double(p[axis]) * scale);
            if (normalFloat(p[axis]) && !normalFloat(scaled)) {
                char numbers[64];
                std::snprintf(numbers, sizeof numbers, "%g, would become %g", double(p[axis]),
                              double(p[axis]) * scale);
                reason = "vertex " + std::to_string(i) + "'s " + char('x' + axis) + ", " + numbers +
                         ", too small for a float to keep apart from 0";
                return true;
            }
            if (any) {
                spread |= p[axis] != first[axis];
                spreadAfter |= scaled != firstAfter[axis];
            } else {
                first[axis] = p[axis];
                firstAfter[axis] = scaled;
            }
        }
        any = true;
    }
    if (spread && !spreadAfter) {
        reason = "every vertex would come to the same point";
        return true;
    }
    return false;
}

bool editMesh(Mesh& mesh, const MeshEdit& edit, std::string& reason,
              std::vector<std::string>* notes) {
    const std::size_t vertexCount = std::size_t(std::max(mesh.vertCount, 0));
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));

    // Positions are worked out in double and rounded to float once. A vertex
    // that is not finite stays as it is, out of the bounds, which it would
    // otherwise make NaN or infinite, and every other vertex with them.
    std::vector<double> xyz(3 * vertexCount);
    std::size_t nonFinite = 0;
    bool bounded = false;
    double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vertex& v = mesh.verts[i];
        const double p[3] = {double(v.x) * edit.scale, double(v.y) * edit.scale,
                             double(v.z) * edit.scale};
        if (!finite(v)) {
            ++nonFinite;
            continue;
        }
        for (int axis = 0; axis < 3; ++axis) {
            xyz[3 * i + std::size_t(axis)] = p[axis];
            low[axis] = bounded ? std::min(low[axis], p[axis]) : p[axis];
            high[axis] = bounded ? std::max(high[axis], p[axis]) : p[axis];
        }
        bounded = true;
    }
    double shift[3] = {0, 0, 0};
    for (int axis = 0; axis < 3; ++axis) {
        if (edit.centre) shift[axis] = -(low[axis] + high[axis]) / 2;
    }
    if (edit.floor) shift[1] = -low[1];
    constexpr double largest = std::numeric_limits<float>::max();
    for (std::size_t i = 0; i < vertexCount; ++i) {
        if (!finite(mesh.verts[i])) continue;
        for (int axis = 0; axis < 3; ++axis) {
            double& p = xyz[3 * i + std::size_t(axis)];
            p += shift[axis];
            if (std::fabs(p) > largest) {
                reason = "vertex " + std::to_string(i) + " would lie beyond float range";
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < vertexCount; ++i) {
        if (!finite(mesh.verts[i])) continue;
        mesh.verts[i].setPosition(float(xyz[3 * i]), float(xyz[3 * i + 1]), float(xyz[3 * i + 2]));
    }
    // A mirror image faces the other way unless its corners are turned round.
    const bool mirrored = edit.scale < 0;
    for (std::size_t k = 0; k < triangleCount; ++k) {
        Triangle& corners = *mesh.tris[k];
        TriangleUV& uv = *mesh.triUVs[k];
        if (edit.flipWinding != mirrored) {
            std::swap(corners[1], corners[2]);
            std::swap(uv[1], uv[2]);
        }
        if (edit.flipV) {
            for (TexCoord& c : uv) c.tv = float(1.0 - double(c.tv));
        }
    }
    if (notes && nonFinite > 0 && (edit.scale != 1 || edit.centre || edit.floor)) {
        notes->push_back(std::to_string(nonFinite) +
                         (nonFinite == 1
                              ? " vertex is not finite (NaN or infinite): left as it is, out of "
                                "the bounds"
                              : " vertices are not finite (NaN or infinite): left as they are, "
                                "out of the bounds"));
    }
    if (notes && mirrored) {
        notes->push_back("a negative scale mirrors the mesh: its triangles are turned round, " +
                         std::string("so that it is still lit from outside"));
    }
    return true;
}

MeshReport reportMesh(const Mesh& mesh) {
    MeshReport report;
    report.vertices = std::max(mesh.vertCount, 0);
    report.triangles = std::max(mesh.triCount, 0);
    for (std::int32_t i = 0; i < report.vertices; ++i) {
        if (!finite(mesh.verts[i])) {
            if (report.nonFinite.size() < MeshReport::named) report.nonFinite.push_back(i);
            ++report.nonFiniteVertices;
            continue;
        }
        const float p[3] = {mesh.verts[i].x, mesh.verts[i].y, mesh.verts[i].z};
        for (int axis = 0; axis < 3; ++axis) {
            if (report.finiteVertices == 0 || p[axis] < report.min[axis])
                report.min[axis] = p[axis];
            if (report.finiteVertices == 0 || p[axis] > report.max[axis])
                report.max[axis] = p[axis];
        }
        ++report.finiteVertices;
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
        if (!finite(mesh.verts[t[0]]) || !finite(mesh.verts[t[1]]) || !finite(mesh.verts[t[2]])) {
            ++report.touchingNonFinite;
        } else if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2] || flat) {
            ++report.degenerate;
        }

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
