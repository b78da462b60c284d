#pragma once

// gloam-view: shows one POB mesh, lit by a sun the user swings, with its
// shadow on a floor, from a camera the user turns round it.

#include <memory>
#include <string>
#include <vector>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"
#include "viewer/controls.h"
#include "viewer/framing.h"

namespace gloam::viewer {

// Texture names the viewer uploads under.
inline constexpr std::int32_t meshTexture = 1;
inline constexpr std::int32_t floorTexture = 2;
// One white texel: a mesh without a picture is drawn through it in its lit
// colour alone, on the same path as a textured one.
inline constexpr std::int32_t plainTexture = 3;

// "table.pob (120 vertices, 200 triangles) - gloam-view": the file's own
// name without its folder.
std::string windowTitle(const std::string& path, const Mesh& mesh);

class ViewerScene : public Scene {
public:
    // `texturePath` empty: the mesh is drawn in its lit colour.
    ViewerScene(std::unique_ptr<Mesh> mesh, std::string texturePath);
    // The light list points into the object itself.
    ViewerScene(const ViewerScene&) = delete;
    ViewerScene& operator=(const ViewerScene&) = delete;

    // Uploads the textures; a texture that cannot be read is reported on
    // standard error and the mesh is drawn plain. Never fails.
    bool setUp() override;
    void frame(const FrameInfo& time) override;
    bool message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    Controls controls;
    std::unique_ptr<Mesh> mesh;
    std::unique_ptr<Mesh> floor;
    float floorY = 0.0f;  // the mesh's lowest point, where its shadow lies
    DirectionalLight sun;
    AmbientLight ambient;
    Light* lights[2];

private:
    std::string texturePath;
};

// The whole program, from the arguments after its name to its exit code.
int runViewer(const std::vector<std::string>& arguments);

}  // namespace gloam::viewer
