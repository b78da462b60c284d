#include "gloam/render/renderer.h"

#include <cmath>
#include <cstdio>

#include "gloam/geometry/mesh.h"
#include "gloam/platform/gl.h"
#include "gloam/textures/texture.h"

namespace gloam {

std::int32_t viewportWidth = 0;
std::int32_t viewportHeight = 0;

Renderer theRenderer;

void resizeViewport(std::int32_t width, std::int32_t height) {
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, viewportWidth, viewportHeight);
}

namespace {

constexpr double orbitRadius = 600.0;
constexpr double orbitHeight = 800.0;
constexpr double orbitStep = 0.01;
constexpr double orbitEnd = 6.28318;

}  // namespace

Renderer::Renderer()
    : meshQueue(new Mesh*[queueCapacity]), textureQueue(new std::int32_t[queueCapacity]) {}

Renderer::Renderer(std::int32_t width, std::int32_t height) : Renderer() {
    this->width = width;
    this->height = height;
}

void Renderer::init(std::int32_t width, std::int32_t height) {
    this->width = width;
    this->height = height;
    stencilBits = 0;
    dropReported = false;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDrawBuffer(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Colour-keyed texels have alpha 0; this drops them instead of blending.
    glAlphaFunc(GL_GEQUAL, 0.05f);
    glPointSize(4.0f);
    glLineWidth(4.0f);
    setTextureFilter(FilterBilinear);
}

void Renderer::beginFrame() {
    const double angle = orbitAngle;
    View orbit;
    orbit.eyeX = std::cos(angle) * orbitRadius;
    orbit.eyeY = orbitHeight;
    orbit.eyeZ = std::sin(angle) * orbitRadius;
    beginFrame(orbit);
    orbitAngle = float(angle + orbitStep);
    // Back to exactly 0: the excess is dropped, so the circle starts afresh.
    if (double(orbitAngle) > orbitEnd) orbitAngle = 0.0f;
}

void Renderer::beginFrame(const View& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A minimised window reports a 0 × 0 client area; nothing is seen then,
    // but the projection must stay finite for the frames that follow.
    const float aspect = viewportWidth > 0 && viewportHeight > 0
                             ? float(viewportWidth) / float(viewportHeight)
                             : 1.0f;
    gluPerspective(view.fieldOfView, aspect, view.nearPlane, view.farPlane);
    gluLookAt(view.eyeX, view.eyeY, view.eyeZ, view.targetX, view.targetY, view.targetZ, view.upX,
              view.upY, view.upZ);
}

void Renderer::submit(Mesh* mesh, std::int32_t textureName) {
    if (queueCount >= queueCapacity) {
        // Once: a scene that overfills the queue does so every frame.
        if (!dropReported) {
            std::fprintf(stderr,
                         "gloam: the render queue holds %d meshes; a mesh submitted to a full "
                         "queue is not drawn (flush before it fills; reported once)\n",
                         int(queueCapacity));
            std::fflush(stderr);
            dropReported = true;
        }
        return;
    }
    meshQueue[queueCount] = mesh;
    textureQueue[queueCount] = textureName;
    ++queueCount;
}

void Renderer::flushTextured() {
    if (drawPath == DrawArrays)
        flushTexturedArrays();
    else
        for (std::int32_t i = 0; i < queueCount; ++i)
            drawMeshTextured(meshQueue[i], textureQueue[i]);
    queueCount = 0;
    glFinish();
}

void Renderer::flushFlat(float red, float green, float blue, float alpha) {
    drawQueueFlat(red, green, blue, alpha);
    queueCount = 0;
    glFinish();
}

void Renderer::drawQueueFlat(float red, float green, float blue, float alpha) {
    if (drawPath == DrawArrays)
        flushFlatArrays(red, green, blue, alpha);
    else
        for (std::int32_t i = 0; i < queueCount; ++i)
            drawMeshFlat(meshQueue[i], red, green, blue, alpha);
}

void Renderer::sortQueue() {
    // A bubble sort: stable, in place, and the queue is short.
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (std::int32_t i = 0; i + 1 < queueCount; ++i) {
            if (meshQueue[i + 1]->depth() > meshQueue[i]->depth()) {
                std::swap(meshQueue[i], meshQueue[i + 1]);
                std::swap(textureQueue[i], textureQueue[i + 1]);
                swapped = true;
            }
        }
    }
}

void Renderer::swapBuffers() { SwapBuffers(deviceContext); }

void Renderer::pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&message, window, 0, 0)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            quitRequested = true;
        }
    }
}

std::int32_t Renderer::loadTexture(const char* fileName, std::int32_t /*expectedWidth*/,
                                   std::int32_t /*expectedHeight*/, std::int32_t textureName) {
    return addTexture(fileName, false, false, textureName);
}

}  // namespace gloam
