#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"

namespace gloam {

namespace {

// In units of the depth buffer's smallest step, and of the polygon's depth
// slope for the factor: the slope covers a floor seen at a grazing angle,
// where one pixel spans many steps, and the steps cover a floor seen from
// far away, where the gap between floor and shadow has fallen below one.
constexpr GLfloat shadowSlopePull = -1.0f;
constexpr GLfloat shadowStepPull = -2.0f;
constexpr GLfloat wireSlopePull = -1.0f;
constexpr GLfloat wireStepPull = -1.0f;

}  // namespace

void Renderer::flushShadow(float red, float green, float blue, float alpha) {
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_STENCIL_BUFFER_BIT);
    if (stencilBits > 0) {
        // The first triangle to blend a pixel marks it, and the stencil test
        // turns away every later one: overlapping parts of a mesh flatten
        // into overlapping triangles, which would each darken it again.
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_EQUAL, 0, ~GLuint(0));
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    }
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(shadowSlopePull, shadowStepPull);
    drawQueueFlat(red, green, blue, alpha);
    glPopAttrib();
    queueCount = 0;
    glFinish();
}

void Renderer::flushWireframe(float red, float green, float blue, float alpha) {
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glPolygonOffset(wireSlopePull, wireStepPull);
    glLineWidth(1.0f);
    drawQueueFlat(red, green, blue, alpha);
    glPopAttrib();
    queueCount = 0;
    glFinish();
}

bool KeptDrawing::startRecording() {
    if (list == 0) list = glGenLists(1);
    kept = false;
    recording = list != 0;
    if (recording) glNewList(list, GL_COMPILE_AND_EXECUTE);
    return recording;
}

void KeptDrawing::finishRecording() {
    if (!recording) return;
    glEndList();
    recording = false;
    kept = true;
}

void KeptDrawing::draw() const {
    if (kept) glCallList(list);
}

void KeptDrawing::forget() {
    if (list != 0) glDeleteLists(list, 1);
    list = 0;
    kept = false;
    recording = false;
}

}  // namespace gloam
