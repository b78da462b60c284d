#pragma once

#include <cstddef>
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

// How the flushes hand meshes to OpenGL. Both draw the same world-space
// triangles with the same colours (unclamped, / 255), alpha, per-corner
// texture coordinates and texture, and both leave texturing as the last
// mesh drawn set it. The choice belongs to the renderer, not to a mesh:
// meshes know nothing of OpenGL.
enum DrawPath : std::int32_t {
    // One glBegin/glEnd per triangle with the texture state set again for
    // each: the engine's own call stream, the default, and what the demo keeps.
    DrawImmediate,
    // Client-side vertex arrays (OpenGL 1.1), filled from each mesh's world
    // copy at every flush and drawn with glDrawArrays(GL_TRIANGLES): a few
    // calls per mesh instead of a dozen per triangle, for meshes of many
    // triangles. The client arrays are off again when a flush returns. After
    // a textured flush OpenGL's current colour is undefined (the immediate
    // path leaves the last corner's); after a flat one it is the flat colour.
    DrawArrays,
};

// Where a frame is seen from, for a scene that moves its own camera rather
// than riding the renderer's orbit. Doubles, because that is what GLU takes:
// a camera far from the origin keeps its precision up to the matrix.
struct View {
    double eyeX = 0.0, eyeY = 0.0, eyeZ = 1.0;
    double targetX = 0.0, targetY = 0.0, targetZ = 0.0;
    double upX = 0.0, upY = 1.0, upZ = 0.0;
    double fieldOfView = 45.0;  // vertical, in degrees
    // Their ratio decides the depth buffer's precision: keep it to a few
    // thousand.
    double nearPlane = 1.0;
    double farPlane = 8000.0;
};

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
    // Clears the frame and loads `view`'s projection and camera; the orbit
    // does not move.
    void beginFrame(const View& view);
    // Queues a mesh. The queue holds queueCapacity meshes: a full queue
    // drops the mesh, which is not drawn, and the first drop of a run is
    // reported once on standard error. Flush before it fills.
    void submit(Mesh* mesh, std::int32_t textureName);
    // Draw the queue in order, empty it, and wait until OpenGL has finished.
    void flushTextured();
    void flushFlat(float red, float green, float blue, float alpha);
    // Draws the queue flat in one colour, as a shadow cast onto a surface
    // already drawn: every pixel is blended once, however many of the
    // queue's triangles cover it, and the triangles are pulled towards the
    // viewer by a few steps of the depth buffer so that they win against
    // the surface they lie on at any distance. Blending once takes a stencil
    // buffer (AppSettings::stencilBits); without one, overlaps darken again.
    // Empties the queue and waits like the other flushes, and leaves every
    // OpenGL setting as it found it.
    void flushShadow(float red, float green, float blue, float alpha);
    // Draws the edges of the queue's triangles as one-pixel lines in one
    // colour, pulled towards the viewer so that they show on the faces they
    // outline. Empties the queue, waits, and leaves OpenGL's settings as it
    // found them.
    void flushWireframe(float red, float green, float blue, float alpha);
    // Orders the queue back to front by Mesh::depth, largest first; stable.
    void sortQueue();
    void swapBuffers();
    // Handles every message waiting for the window without blocking; the
    // quit message ends the run.
    void pumpMessages();
    // Read by every flush. A program that shows big meshes calls
    // setDrawPath(DrawArrays) once after init() and then submits and flushes
    // exactly as the demo does; one that wants both in a frame switches
    // between flushes.
    void setDrawPath(DrawPath path) { drawPath = path; }
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
    // The stencil bits of the context's pixel format, which flushShadow
    // reads: runApp sets them when the program asked for a stencil buffer.
    std::int32_t stencilBits = 0;
    // Whether a full queue has dropped a mesh since init(): reported once.
    bool dropReported = false;
    float orbitAngle = 0.0f;  // radians, in 0..6.28318 between frames
    DrawPath drawPath = DrawImmediate;

    // The array path stages corners here (nine floats each: u, v, red,
    // green, blue, alpha, x, y, z), a batch of at most 16,384 triangles at a
    // time, about 1.7 MB. The first array flush that needs more room
    // allocates it; later ones reuse it, so steady frames allocate nothing
    // whatever the sizes of the meshes.
    std::unique_ptr<float[]> cornerStore;
    std::size_t cornerCapacity = 0;  // in corners

private:
    void flushTexturedArrays();
    void flushFlatArrays(float red, float green, float blue, float alpha);
    // The flat draw of the queue on the current path, leaving the queue.
    void drawQueueFlat(float red, float green, float blue, float alpha);
    // Room for the largest queued mesh's first batch; the number of
    // triangles per batch, 0 when no queued mesh has any.
    std::int32_t reserveCorners();
};

extern Renderer theRenderer;

// Drawing that OpenGL keeps: what the flushes send between startRecording()
// and finishRecording() is drawn as usual and also kept in OpenGL's own
// memory (a display list), and draw() draws it again without the engine
// touching a vertex. For what stays still while only the camera moves:
// what it keeps is the drawing as it was sent, so a mesh that moves, is lit
// again or flattened anew must be recorded again. Textures are kept by name,
// so a texture uploaded again under its name shows in the kept drawing.
// What is kept lives with the OpenGL context; the object makes no OpenGL
// call when it goes.
class KeptDrawing {
public:
    // Starts keeping, replacing what was kept. False when OpenGL cannot keep
    // a drawing now (no context, or no room): the drawing is then only sent.
    bool startRecording();
    void finishRecording();
    bool isKept() const { return kept; }
    // Draws what was kept; nothing when nothing is.
    void draw() const;
    // Lets OpenGL free what was kept.
    void forget();

private:
    std::uint32_t list = 0;  // the display list's name; 0 until OpenGL gave one
    bool recording = false;
    bool kept = false;
};

}  // namespace gloam
