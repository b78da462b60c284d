#pragma once

#include <cstdint>
#include <memory>

#include "gloam/geometry/large_array.h"
#include "gloam/geometry/vec3.h"
#include "gloam/geometry/vertex.h"

namespace gloam {

class Camera;
class Light;

// The unit of geometry the engine places, lights and draws. It keeps its
// vertices twice: `verts` in model space, with normals computed once at
// construction, and `worldVerts`, rebuilt from them by every update() and
// then turned, moved and scaled into world space. Lighting colours the world
// copy, a shadow flattens it, and drawing sends it to OpenGL as it stands.
//
// The fields are public because the lighting, drawing and file code work on
// them directly. A mesh owns all of its arrays; it cannot be copied.
class Mesh {
public:
    // Copies everything it is given: the caller keeps its arrays and may free
    // them at once. `triangles` and `uvs` hold one pointer per triangle, and
    // every triangle index must lie in 0..vertexCount-1. Negative counts are
    // taken as 0.
    Mesh(std::int32_t vertexCount, std::int32_t triangleCount, const Vertex* vertices,
         const Triangle* const* triangles, const TriangleUV* const* uvs);
    // The same, taking over arrays that a reader has filled instead of
    // copying them: the vertices (default-constructed apart from what the
    // reader set), and one Triangle and one TriangleUV per triangle.
    Mesh(std::int32_t vertexCount, LargeArray<Vertex> vertices, std::int32_t triangleCount,
         LargeArray<Triangle> triangles, LargeArray<TriangleUV> uvs);
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Rebuilds the world copy from the source vertices: every world position
    // is scale ⊙ (Rz·Ry·Rx·p + position), every world normal Rz·Ry·Rx·n.
    // Colours come back from the source, so lighting must follow.
    void update();

    // Flattens the world copy onto the plane a·x + b·y + c·z + d = 0 along
    // the direction L = (lx, ly, lz) towards a light at infinity:
    // p' = k·p - (a·x + b·y + c·z + d)·L with k = a·lx + b·ly + c·lz. That is
    // the projection along L when k = 1; otherwise it is scaled by k about the
    // origin. Only positions change.
    void projectShadow(float a, float b, float c, float d, float lx, float ly, float lz);

    // Writes integer colours into the world copy from `count` lights, in list
    // order; update() must come first. Null entries (and a null list) are
    // skipped, so a list may keep a slot for a light that is switched off.
    // Defined with the lights.
    void applyLights(Light* const* lights, int count);

    // Carries the world copy into the camera's view with a perspective divide;
    // update() must come first. Defined with the camera.
    void projectToCamera(const Camera& camera);

    // Writes the source geometry as a POB file: untransformed positions,
    // triangles and per-corner texture coordinates. The file is replaced only
    // once everything is written; false, with any existing file untouched,
    // when that fails. The text is formatPob's (gloam/geometry/pob_writer.h).
    bool savePob(const char* fileName) const;

    void setPosition(float x, float y, float z) { position = {x, y, z}; }
    void moveBy(float x, float y, float z) { position += {x, y, z}; }
    void setRotation(float x, float y, float z) { rotation = {x, y, z}; }
    void rotateBy(float x, float y, float z) { rotation += {x, y, z}; }
    void setScale(float x, float y, float z) { scale = {x, y, z}; }
    // Adds to the scale factors; it does not multiply them.
    void scaleBy(float x, float y, float z) { scale += {x, y, z}; }
    void setTexture(std::int32_t name) { textureName = name; }
    std::int32_t texture() const { return textureName; }
    void setAlpha(float alpha) { alphaValue = alpha; }
    float alpha() const { return alphaValue; }

    Vertex* vertices() { return verts.get(); }
    Vertex* transformedVertices() { return worldVerts.get(); }
    Triangle** triangles() { return tris.get(); }
    TriangleUV** triangleUVs() { return triUVs.get(); }
    std::int32_t vertexCount() const { return vertCount; }
    std::int32_t triangleCount() const { return triCount; }
    // The render queue's sort key.
    float depth() const { return position.z; }

    LargeArray<Vertex> verts;
    LargeArray<Vertex> worldVerts;
    LargeArray<Triangle*> tris;
    LargeArray<TriangleUV*> triUVs;
    std::int32_t vertCount = 0;
    std::int32_t triCount = 0;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 rotation{0.0f, 0.0f, 0.0f};
    Vec3 scale{1.0f, 1.0f, 1.0f};
    std::int32_t textureName = 0;  // callers set it before the mesh is drawn textured
    float alphaValue = 1.0f;

private:
    void computeNormals();

    // Which way the next pass over the world copy runs (see passes.h).
    bool nextPassBackwards = false;

    // The blocks that `tris` and `triUVs` point into, one allocation each
    // rather than one per triangle.
    LargeArray<Triangle> triangleStore;
    LargeArray<TriangleUV> uvStore;
};

}  // namespace gloam
