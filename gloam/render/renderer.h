#pragma once

#include <cstdint>
#include <memory>

#include "gloam/platform/win32.h"

namespace gloam {

class Mesh;

// The window's client size from its last size notification; the projection's
// aspect ratio comes from here, not from the renderer's nominal size.
extern std::int32_t viewportWidth;
extern std::int32_t viewportHeight;

// Called by the window procedure on every size notification: stores the
// client size and maps the whole client area.
void resizeViewport(std::int32_t width, std::int32_t height);

// The engine's one drawing object. It sets OpenGL's fixed state, orbits the
// camera, and draws meshes that the scene queues each frame, already moved,
// lit and flattened in world space. It never owns a mesh.
//
// Fields are public for the same reason as the mesh's: the program's other
// parts and its tests read them directly.
class Renderer {
public:
    static constexpr std::int32_t queueCapacity = 500;

    // Both allocate the queue once; nothing after allocates.
    Renderer();
    // Stores a nominal size that nothing reads; kept for callers that name one.
    Renderer(std::int32_t width, std::int32_t height);
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Sets the fixed OpenGL state; the context must be current.
    void init(std::int32_t width, std::int32_t height);
    void setDeviceContext(HDC dc) { deviceContext = dc; }
    void setWindow(HWND handle) { window = handle; }
    bool isRunning() const { return !quitRequested; }

    // Clears the frame, loads the projection and the camera on its circle,
    // then moves the camera on for the next frame.
    void beginFrame();
    // Queues a mesh; a full queue drops it until the next flush.
    void submit(Mesh* mesh, std::int32_t textureName);
    // Draw the queue in order, empty it, and wait until OpenGL has finished.
    void flushTextured();
    void flushFlat(float red, float green, float blue, float alpha);
    // Orders the queue back to front by Mesh::depth, largest first; stable.
    void sortQueue();
    void swapBuffers();
    // Handles every message waiting for the window without blocking; the
    // quit message ends the run.
    void pumpMessages();
    // The size always comes from the file; the expected one is not checked.
    std::int32_t loadTexture(const char* fileName, std::int32_t expectedWidth,
                             std::int32_t expectedHeight, std::int32_t textureName);

    // One GL_POLYGON per triangle from the mesh's world copy. The textured draw
    // binds the mesh's own texture and sends its vertex colours and alpha;
    // `textureName` is not read. The flat draw sends one colour throughout.
    static void drawMeshTextured(Mesh* mesh, std::int32_t textureName);
    static void drawMeshFlat(Mesh* mesh, float red, float green, float blue, float alpha);

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::unique_ptr<Mesh*[]> meshQueue;
    std::unique_ptr<std::int32_t[]> textureQueue;  // the name queued with each mesh
    std::int32_t queueCount = 0;
    HDC deviceContext = nullptr;
    HWND window = nullptr;
    bool quitRequested = false;
    float orbitAngle = 0.0f;  // radians, in 0..6.28318 between frames
};

extern Renderer theRenderer;

}  // namespace gloam
