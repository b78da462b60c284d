// A model file of any format the import library reads (crate.gltf beside
// this file is one), standing on a floor with its shadow under the orbiting
// camera, each part with its own picture:  show-model MODEL [--frames N]

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gloam/app/command_line.h"
#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/import/model.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

class ShowModel : public Scene {
    Model model;
    std::unique_ptr<Mesh> floor = makeGrid(9, 9, 100);
    std::vector<Mesh*> parts;
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    AmbientLight sky{50, 50, 60};
    Light* lights[2] = {&sun, &sky};

public:
    std::string file;

    bool setUp() override {
        FileError error;
        if (!loadModel(file, model, error)) {  // turned to the engine's winding on the way in
            reportError(error.message().c_str());
            return false;
        }
        addCheckerTexture(1, 64, 0xD8D0C0, 0x8C8478);
        addCheckerTexture(2, 1, 0xFFFFFF, 0xFFFFFF);  // white, for a part without a picture
        floor->setTexture(1);
        floor->setPosition(0, -0.5f, 0);
        // How far the model reaches, to stand it on the floor 300 units across at most.
        float reach = 0, foot = INFINITY;
        for (const ModelPart& part : model.parts) {
            for (std::int32_t i = 0; i < part.mesh->vertCount; ++i) {
                const Vertex& v = part.mesh->verts[i];
                if (!std::isfinite(v.x + v.y + v.z)) continue;  // kept, but no place to frame
                reach = std::max({reach, std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
                foot = std::min(foot, v.y);
            }
        }
        const float scale = reach > 0 ? 150 / reach : 1;
        for (std::size_t i = 0; i < model.parts.size(); ++i) {
            const Picture& picture = model.parts[i].picture;
            Mesh* mesh = model.parts[i].mesh.get();
            // Texture names from 3 up hold the parts' pictures, while the table has room.
            const std::int32_t name = std::int32_t(3 + i);
            const bool textured = picture.width > 0 && name < 128 &&
                                  addTexturePixels(name, picture.rgb.data(), picture.width,
                                                   picture.height, 3, error) >= 0;
            mesh->setTexture(textured ? name : 2);
            mesh->setPosition(0, reach > 0 ? -foot : 0, 0);  // scaled too: the foot to y = 0
            mesh->setScale(scale, scale, scale);
            parts.push_back(mesh);
        }
        return true;
    }

    void frame(const FrameInfo&) override {
        theRenderer.beginFrame();
        for (Mesh* mesh : parts) mesh->update(), mesh->applyLights(lights, 2);
        floor->update(), floor->applyLights(lights, 2);
        theRenderer.submit(floor.get(), floor->texture());
        for (Mesh* mesh : parts) theRenderer.submit(mesh, mesh->texture());
        theRenderer.flushTextured();
        for (Mesh* mesh : parts) {  // fresh copies, flattened onto the floor away from the sun
            mesh->update();
            mesh->projectShadow(0, 1, 0, 0, -0.3f, 1, 1.0f);
            theRenderer.submit(mesh, 0);
        }
        theRenderer.flushFlat(0, 0, 0, 0.6f);
    }
};

int main(int argc, char** argv) {
    const CommandLine line = parseCommandLine({argv + 1, argv + argc}, 1);
    if (auto code = answerCommandLine(line, "show-model", "MODEL")) return *code;
    ShowModel scene;
    scene.file = line.options.files.empty() ? "crate.gltf" : line.options.files[0];
    return runApp(scene, {"Show a model", 800, 600}, line.options);
}
