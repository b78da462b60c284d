#include "viewer/framing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::viewer {

namespace {

// A little room round the sphere, so the mesh does not touch the window's
// edges.
constexpr double margin = 1.1;
// The nearest the near plane comes, as a part of the far one: some thousand
// steps of the depth buffer apart when the camera is inside the scene.
constexpr double nearestPart = 1.0 / 2000.0;

}  // namespace

bool isFinite(const Vertex& vertex) {
    return std::isfinite(vertex.x) && std::isfinite(vertex.y) && std::isfinite(vertex.z);
}

Bounds boundsOf(const Mesh& mesh) {
    Bounds bounds;
    const Vertex* vertices = mesh.verts.get();
    for (std::int32_t i = 0; i < mesh.vertexCount(); ++i) {
        const Vertex& v = vertices[i];
        if (!isFinite(v)) continue;
        const double p[3] = {v.x, v.y, v.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (bounds.counted == 0 || p[axis] < bounds.min[axis]) bounds.min[axis] = p[axis];
            if (bounds.counted == 0 || p[axis] > bounds.max[axis]) bounds.max[axis] = p[axis];
        }
        ++bounds.counted;
    }
    return bounds;
}

void Bounds::add(const Bounds& other) {
    if (other.counted == 0) return;
    for (int axis = 0; axis < 3; ++axis) {
        if (counted == 0 || other.min[axis] < min[axis]) min[axis] = other.min[axis];
        if (counted == 0 || other.max[axis] > max[axis]) max[axis] = other.max[axis];
    }
    counted += other.counted;
}

Framing frameBounds(const Bounds& bounds) {
    Framing framing;
    if (bounds.counted == 0) return framing;
    double half[3];
    // In double, where float coordinates cannot overflow.
    for (int axis = 0; axis < 3; ++axis) {
        framing.centre[axis] = (bounds.max[axis] + bounds.min[axis]) / 2;
        half[axis] = (bounds.max[axis] - bounds.min[axis]) / 2;
    }
    const double radius = std::sqrt(half[0] * half[0] + half[1] * half[1] + half[2] * half[2]);
    if (radius > 0.0) framing.scale = shownRadius / radius;
    return framing;
}

std::unique_ptr<Mesh> placeMesh(std::unique_ptr<Mesh> loaded, const Framing& framing) {
    const std::int32_t vertexCount = loaded->vertexCount();
    LargeArray<Vertex> vertices = std::move(loaded->verts);
    const auto drawable = [&vertices](const Triangle& t) {
        return isFinite(vertices[t[0]]) && isFinite(vertices[t[1]]) && isFinite(vertices[t[2]]);
    };
    std::int32_t kept = 0;
    for (std::int32_t i = 0; i < loaded->triangleCount(); ++i) kept += drawable(*loaded->tris[i]);
    auto triangles = makeLargeArrayForOverwrite<Triangle>(std::size_t(kept));
    auto uvs = makeLargeArrayForOverwrite<TriangleUV>(std::size_t(kept));
    std::int32_t next = 0;
    for (std::int32_t i = 0; i < loaded->triangleCount(); ++i) {
        if (drawable(*loaded->tris[i])) {
            triangles[next] = *loaded->tris[i];
            uvs[next] = *loaded->triUVs[i];
            ++next;
        }
    }
    loaded.reset();

    for (std::int32_t i = 0; i < vertexCount; ++i) {
        Vertex& v = vertices[i];
        v.x = float((double(v.x) - framing.centre[0]) * framing.scale);
        v.y = float((double(v.y) - framing.centre[1]) * framing.scale);
        v.z = float((double(v.z) - framing.centre[2]) * framing.scale);
    }
    return std::make_unique<Mesh>(vertexCount, std::move(vertices), kept, std::move(triangles),
                                  std::move(uvs));
}

double floorReachFor(const Bounds& shown, double sunElevation) {
    if (shown.counted == 0) return shownRadius;
    // Every point lies in the box, so no shadow falls farther out than the
    // box's farthest corner across, moved by the shadow of its top.
    double across = 0.0;
    for (const double x : {shown.min[0], shown.max[0]})
        for (const double z : {shown.min[2], shown.max[2]})
            across = std::max(across, std::hypot(x, z));
    const double height = shown.max[1] - shown.min[1];
    return std::max(shownRadius, across + height / std::tan(sunElevation));
}

View orbitView(double yaw, double pitch, double zoom, double aspect, double floorReach) {
    View view;
    const double halfHeight = view.fieldOfView / 2 * std::numbers::pi / 180;
    // A window narrower than it is high sees less across than up and down.
    const double halfAngle = std::min(halfHeight, std::atan(std::tan(halfHeight) * aspect));
    const double distance = shownRadius * margin / std::sin(halfAngle) * zoom;
    view.eyeX = distance * std::cos(pitch) * std::cos(yaw);
    view.eyeY = distance * std::sin(pitch);
    view.eyeZ = distance * std::cos(pitch) * std::sin(yaw);
    // The mesh and the floor, with the floor's corners, lie inside this sphere.
    const double sceneRadius = std::hypot(std::sqrt(2.0) * floorReach, shownRadius) * margin;
    view.farPlane = distance + sceneRadius;
    view.nearPlane = std::max(distance - sceneRadius, view.farPlane * nearestPart);
    return view;
}

}  // namespace gloam::viewer
