#pragma once

#include <cstdint>

#include "gloam/geometry/vec3.h"

namespace gloam {

// What a Light is; Mesh::applyLights dispatches on it. Any other value
// (2 is deliberately unassigned) makes a light that contributes nothing.
enum LightType : std::int32_t {
    LightPoint = 0,
    LightDirectional = 1,
    LightAmbient = 3,
};

// The light family has no virtual operations: lists hold Light pointers and
// the `type` field tells which derived class stands behind each one.
class Light {
public:
    Light() = default;

    std::int32_t red = 255;
    std::int32_t green = 255;
    std::int32_t blue = 255;
    // A bare Light is of no kind until a derived constructor says so.
    LightType type = LightType(-1);

protected:
    Light(std::int32_t r, std::int32_t g, std::int32_t b, LightType kind)
        : red(r), green(g), blue(b), type(kind) {}
};

// Adds its colour to every vertex.
class AmbientLight : public Light {
public:
    AmbientLight(std::int32_t r, std::int32_t g, std::int32_t b);
};

// Sets (not adds) its colour, scaled by the cosine between its direction and
// the vertex normal, on every vertex whose normal points the way the light
// does. Lights earlier in the list are overwritten on those vertices.
class DirectionalLight : public Light {
public:
    DirectionalLight(std::int32_t r, std::int32_t g, std::int32_t b, float dx, float dy, float dz);

    void setDirection(float x, float y, float z);
    // Scales the direction to unit length; a zero (or NaN) length leaves it
    // as it is, so a zero direction lights nothing.
    void normalizeDirection();

    Vec3 direction;
};

// Adds its full colour within `range` of its position, and colour × range / d
// at a distance d beyond it.
class PointLight : public Light {
public:
    PointLight(std::int32_t r, std::int32_t g, std::int32_t b, float x, float y, float z,
               float lightRange);

    void setPosition(float x, float y, float z) { position = {x, y, z}; }

    Vec3 position;
    float range = 0.0f;
};

}  // namespace gloam
