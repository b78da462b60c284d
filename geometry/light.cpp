#include "geometry/light.h"

#include <algorithm>
#include <cmath>

#include "geometry/mesh.h"

AmbientLight::AmbientLight(std::int32_t r, std::int32_t g, std::int32_t b)
    : Light(r, g, b, LightAmbient) {}

DirectionalLight::DirectionalLight(std::int32_t r, std::int32_t g, std::int32_t b, float dx,
                                   float dy, float dz)
    : Light(r, g, b, LightDirectional), direction{dx, dy, dz} {
    normalizeDirection();
}

void DirectionalLight::setDirection(float x, float y, float z) {
    direction = {x, y, z};
    normalizeDirection();
}

void DirectionalLight::normalizeDirection() {
    const float length = vectorLength(direction.x, direction.y, direction.z);
    if (length == 0.0f || std::isnan(length)) return;
    direction.x /= length;
    direction.y /= length;
    direction.z /= length;
}

PointLight::PointLight(std::int32_t r, std::int32_t g, std::int32_t b, float x, float y, float z,
                       float lightRange)
    : Light(r, g, b, LightPoint), position{x, y, z}, range(lightRange) {}

namespace {

// Channel sums saturate instead of overflowing; colours far outside 0..255
// only come from callers that pass absurd light colours.
std::int32_t addChannel(std::int32_t channel, std::int32_t light) {
    const std::int64_t sum = std::int64_t(channel) + light;
    return std::int32_t(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
}

void addColour(Vertex& v, const Light& light) {
    v.red = addChannel(v.red, light.red);
    v.green = addChannel(v.green, light.green);
    v.blue = addChannel(v.blue, light.blue);
}

void applyPoint(Vertex* verts, std::int32_t count, const PointLight& light) {
    for (std::int32_t j = 0; j < count; ++j) {
        Vertex& v = verts[j];
        const double dx = double(v.x) - light.position.x;
        const double dy = double(v.y) - light.position.y;
        const double dz = double(v.z) - light.position.z;
        const float d = float(std::sqrt(dx * dx + dy * dy + dz * dz));
        if (d > light.range) {
            // Falls off as range / d beyond the range.
            const float falloff = d / light.range;
            v.red = truncateToInt(float(v.red) + float(light.red) / falloff);
            v.green = truncateToInt(float(v.green) + float(light.green) / falloff);
            v.blue = truncateToInt(float(v.blue) + float(light.blue) / falloff);
        } else {
            addColour(v, light);
        }
    }
}

void applyDirectional(Vertex* verts, std::int32_t count, const DirectionalLight& light) {
    const Vec3 dir = light.direction;
    for (std::int32_t j = 0; j < count; ++j) {
        Vertex& v = verts[j];
        const float s = dir.x * v.nx + dir.y * v.ny + dir.z * v.nz;
        if (s > 0.0f) {
            v.red = truncateToInt(float(light.red) * s);
            v.green = truncateToInt(float(light.green) * s);
            v.blue = truncateToInt(float(light.blue) * s);
        }
    }
}

void applyAmbient(Vertex* verts, std::int32_t count, const Light& light) {
    for (std::int32_t j = 0; j < count; ++j) addColour(verts[j], light);
}

}  // namespace

void Mesh::applyLights(Light* const* lights, int count) {
    Vertex* const world = worldVerts.get();
    for (int i = 0; i < count; ++i) {
        const Light& light = *lights[i];
        switch (light.type) {
            case LightPoint:
                applyPoint(world, vertCount, static_cast<const PointLight&>(light));
                break;
            case LightDirectional:
                applyDirectional(world, vertCount, static_cast<const DirectionalLight&>(light));
                break;
            case LightAmbient:
                applyAmbient(world, vertCount, light);
                break;
            default:
                break;
        }
    }
    // Only the sum is clamped, and only from above: intermediate values may
    // exceed 255, and a negative light can leave a channel below 0.
    for (std::int32_t j = 0; j < vertCount; ++j) {
        Vertex& v = world[j];
        v.red = std::min(v.red, 255);
        v.green = std::min(v.green, 255);
        v.blue = std::min(v.blue, 255);
    }
}
