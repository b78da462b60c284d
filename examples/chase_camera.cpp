// A camera of your own: instead of the renderer's orbit, every frame hands
// beginFrame a View (where the eye is, what it looks at, how wide it sees).
// Here the eye chases a box round a ring of posts, from behind and above it,
// as a racing game's camera does.

#include <cmath>
#include <memory>
#include <vector>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

class ChaseCamera : public Scene {
    std::vector<std::unique_ptr<Mesh>> meshes;  // the floor, the box, then the posts
    Mesh* car = nullptr;
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    AmbientLight sky{40, 40, 60};
    Light* lights[2] = {&sun, &sky};

public:
    bool setUp() override {
        addCheckerTexture(1, 64, 0xD8D0C0, 0x8C8478);
        addCheckerTexture(2, 64, 0xE04030, 0x902010);
        addCheckerTexture(3, 1, 0x80C080, 0x80C080);  // one colour
        meshes.push_back(makeGrid(13, 13, 100));
        meshes.back()->setTexture(1);
        meshes.push_back(makeBox(60, 40, 100));
        car = meshes.back().get();
        car->setTexture(2);
        for (int i = 0; i < 12; ++i) {  // posts on two rings, the track between them
            const double angle = 0.5236 * i, radius = i % 2 ? 220 : 380;
            meshes.push_back(makeBox(30, 120, 30));
            meshes.back()->setPosition(float(radius * std::cos(angle)), 60,
                                       float(radius * std::sin(angle)));
            meshes.back()->setTexture(3);
        }
        return true;
    }

    void frame(const FrameInfo& time) override {
        const double angle = 0.5 * time.seconds;  // how far round the box is, in radians
        const double x = 300 * std::cos(angle), z = 300 * std::sin(angle);
        car->setPosition(float(x), 20, float(z));
        car->setRotation(0, float(-angle), 0);  // its long side along the track

        View view;
        // Behind the box (a little less far round) and above it, looking at
        // it; wider than the default 45 degrees, to keep the posts in sight.
        view.eyeX = 300 * std::cos(angle - 0.6);
        view.eyeY = 180;
        view.eyeZ = 300 * std::sin(angle - 0.6);
        view.targetX = x;
        view.targetZ = z;
        view.fieldOfView = 60;
        theRenderer.beginFrame(view);
        for (auto& mesh : meshes) {
            mesh->update();
            mesh->applyLights(lights, 2);
            theRenderer.submit(mesh.get(), mesh->texture());
        }
        theRenderer.flushTextured();
    }
};

int main(int argc, char** argv) {
    ChaseCamera scene;
    return runApp(scene, {"Chase camera", 800, 600}, argc, argv);
}
