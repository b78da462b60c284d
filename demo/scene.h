#pragma once

#include <cstdint>
#include <memory>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"

namespace gloam {

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

// The scene's meshes, lights and animation, run by runApp; tests drive it a
// frame at a time.
class DemoScene : public Scene {
public:
    DemoScene();
    // The light list points into the object itself.
    DemoScene(const DemoScene&) = delete;
    DemoScene& operator=(const DemoScene&) = delete;

    // Loads the assets from the working directory and places everything.
    // False, after telling the user which file failed and why, when an asset
    // cannot be loaded.
    bool setUp() override;
    // Animates by one step, whatever the time, then draws the lit meshes and
    // their shadows.
    void frame(const FrameInfo& time) override;
    // Escape closes the window the way its close button does; no other key
    // or button does anything.
    bool message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

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
