#pragma once

#include <cstdint>
#include <memory>

#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"

namespace gloam {

// What runScene returns: the loop ended because the window was closed, or the
// scene could not be set up (the user has been told why) and never ran.
constexpr std::int32_t sceneFinished = 1;
constexpr std::int32_t sceneFailed = -1;

// Sets up the demo scene from the working directory's assets and renders
// frames through theRenderer until the window is closed.
std::int32_t runScene();

// Loads the three textures under the names the scene's meshes use. False,
// after telling the user which file failed and why, when one cannot be read.
bool loadSceneTextures();

// The per-frame animation, in single precision: each step is a fixed amount
// per frame, and every sum is rounded to float as it is stored.
struct SceneAnimation {
    float swing = -0.4f;  // (swing, 1, swing) points from the scene to the light
    float swingStep = 0.005f;
    float boxX = 0.0f;
    float boxY = 120.0f;
    float boxZ = 0.0f;
    float boxStepX = 5.0f;
    float boxStepZ = 5.0f;

    // Moves everything one frame on, turning at the ends of each range.
    void advance();
};

// The scene's meshes, lights and animation. runScene owns one; tests drive it
// a frame at a time.
class DemoScene {
public:
    DemoScene();
    // The light list points into the object itself.
    DemoScene(const DemoScene&) = delete;
    DemoScene& operator=(const DemoScene&) = delete;

    // Loads the assets and places everything. False, after telling the user
    // which file failed and why, when an asset cannot be loaded.
    bool setUp();
    // One frame after the loop's running check: animate, draw the lit meshes,
    // then their shadows, present, and handle the window's messages.
    void frame();

    SceneAnimation animation;
    std::unique_ptr<Mesh> tableMesh;
    std::unique_ptr<Mesh> floorGrid;
    std::unique_ptr<Mesh> bigBox;
    std::unique_ptr<Mesh> smallBox;
    DirectionalLight sunLight;
    AmbientLight ambientLight;
    PointLight boxLight;
    Light* sceneLights[3];  // what applyLights is given, in this order
};

}  // namespace gloam
