#include "gloam/geometry/mesh.h"
#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"

namespace gloam {

// Immediate mode, one GL_POLYGON per triangle, with the texture state set
// again for every triangle: nothing is cached or batched, so each triangle
// draws the same whatever was drawn before it.

void Renderer::drawMeshTextured(Mesh* mesh, std::int32_t /*textureName*/) {
    Triangle* const* triangles = mesh->triangles();
    TriangleUV* const* uvs = mesh->triangleUVs();
    const Vertex* vertices = mesh->transformedVertices();
    const GLuint texture = GLuint(mesh->texture());
    const float alpha = mesh->alpha();
    for (std::int32_t i = 0; i < mesh->triangleCount(); ++i) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glEnable(GL_TEXTURE_2D);
        glBegin(GL_POLYGON);
        for (int k = 0; k < 3; ++k) {
            const Vertex& v = vertices[(*triangles[i])[k]];
            const TexCoord& t = (*uvs[i])[k];
            // Unclamped: lighting may leave a channel outside 0..255.
            glColor4f(float(v.red) / 255, float(v.green) / 255, float(v.blue) / 255, alpha);
            glTexCoord3f(t.tu, t.tv, 0.0f);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

void Renderer::drawMeshFlat(Mesh* mesh, float red, float green, float blue, float alpha) {
    Triangle* const* triangles = mesh->triangles();
    const Vertex* vertices = mesh->transformedVertices();
    for (std::int32_t i = 0; i < mesh->triangleCount(); ++i) {
        glDisable(GL_TEXTURE_2D);
        glBegin(GL_POLYGON);
        for (int k = 0; k < 3; ++k) {
            const Vertex& v = vertices[(*triangles[i])[k]];
            glColor4f(red, green, blue, alpha);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

}  // namespace gloam
