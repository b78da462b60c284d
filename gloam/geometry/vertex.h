#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

namespace gloam {

// The per-vertex attributes, behind a small abstract read interface. The
// engine reads and writes the fields directly; the virtual operations exist
// for callers that only hold a VertexBase.
class VertexBase {
public:
    virtual float getX() const = 0;
    virtual float getY() const = 0;
    virtual float getZ() const = 0;
    virtual float length() const = 0;
    virtual float aux1() const = 0;
    virtual float aux2() const = 0;

    float tu = 0.0f;  // per-vertex texture coordinates; drawing uses the per-corner ones
    float tv = 0.0f;
    float nx = 0.0f;  // unit normal
    float ny = 0.0f;
    float nz = 0.0f;
    std::int32_t red = 0;  // 0..255 in normal use; lighting may leave values outside
    std::int32_t green = 0;
    std::int32_t blue = 0;

protected:
    VertexBase() = default;
    VertexBase(const VertexBase&) = default;
    VertexBase& operator=(const VertexBase&) = default;
    // Not virtual: vertices live in flat arrays of Vertex and are never
    // deleted through a base pointer, which the protected destructor enforces.
    ~VertexBase() = default;
};

// Tells the polar constructor apart from the Cartesian one; its value is never read.
enum class Polar : std::int32_t { tag };

class Vertex final : public VertexBase {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // Black, at the origin: what every array of vertices starts from.
    Vertex() = default;
    // White, at (x, y, z).
    Vertex(float x, float y, float z);
    // White, at the point `radius` from the origin, `elevation` above the
    // x-z plane towards +y and `azimuth` from +x towards +z.
    Vertex(float radius, float elevation, float azimuth, Polar);

    void setPosition(float px, float py, float pz) {
        x = px;
        y = py;
        z = pz;
    }

    float getX() const override { return x; }
    float getY() const override { return y; }
    float getZ() const override { return z; }
    // Distance of the position from the origin.
    float length() const override;
    float aux1() const override { return 0.0f; }
    float aux2() const override { return 0.0f; }
};

// Vertex arrays are released as whole blocks with no per-element teardown.
static_assert(std::is_trivially_destructible_v<Vertex>);

class TexCoord {
public:
    float tu = 0.0f;
    float tv = 0.0f;
};

// Indices of corners 0, 1, 2 in the owning mesh's vertex arrays. The corner
// order fixes the face's orientation: its normal is (P1 - P0) x (P2 - P0).
using Triangle = std::array<std::int32_t, 3>;

// Texture coordinates of corners 0, 1, 2 of the triangle at the same index.
using TriangleUV = std::array<TexCoord, 3>;

}  // namespace gloam
