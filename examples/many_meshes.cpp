// Many meshes at once: four hundred boxes, each turning at its own pace. The
// array path (setDrawPath(DrawArrays)) hands each mesh to OpenGL in a few
// calls instead of a dozen per triangle: the same picture, drawn faster when
// there is much to draw. A flush takes at most Renderer::queueCapacity (500)
// meshes; a scene with more flushes in batches.

#include <memory>
#include <vector>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

class ManyMeshes : public Scene {
    static constexpr int side = 20;  // boxes along each side of the field
    std::vector<std::unique_ptr<Mesh>> boxes;
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    PointLight lamp{255, 120, 40, 0, 150, 0, 150};  // warm, in the middle
    AmbientLight sky{30, 30, 50};
    Light* lights[3] = {&sun, &lamp, &sky};

public:
    bool setUp() override {
        theRenderer.setDrawPath(DrawArrays);          // once, after the renderer's set-up
        addCheckerTexture(1, 1, 0xFFFFFF, 0xFFFFFF);  // white: the lit colour alone
        for (int i = 0; i < side * side; ++i) {
            boxes.push_back(makeBox(24, 24, 24));
            boxes.back()->setPosition(float(i % side - side / 2) * 40, 0,
                                      float(i / side - side / 2) * 40);
            boxes.back()->setTexture(1);
        }
        return true;
    }

    void frame(const FrameInfo& time) override {
        theRenderer.beginFrame();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const float pace = 0.3f + 0.1f * float(i % 13);
            boxes[i]->setRotation(pace * float(time.seconds), 0.7f * pace * float(time.seconds), 0);
            boxes[i]->update();
            boxes[i]->applyLights(lights, 3);
            theRenderer.submit(boxes[i].get(), boxes[i]->texture());
        }
        theRenderer.flushTextured();
    }
};

int main(int argc, char** argv) {
    ManyMeshes scene;
    return runApp(scene, {"Many meshes on the array path", 800, 600}, argc, argv);
}
