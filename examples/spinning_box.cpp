// A textured, lit box spinning above a floor, with its shadow. It needs no
// files: its two textures are made in code.

#include <cstdint>
#include <memory>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

class SpinningBox : public Scene {
    std::unique_ptr<Mesh> floor = makeGrid(9, 9, 100);
    std::unique_ptr<Mesh> box = makeBox(150, 150, 150);
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    AmbientLight sky{40, 40, 60};
    Light* lights[2] = {&sun, &sky};

public:
    bool setUp() override {
        // Textures need the OpenGL context: here, not before.
        addCheckerTexture(1, 64, 0xD8D0C0, 0x8C8478);
        addCheckerTexture(2, 64, 0xE89838, 0x983818);
        floor->setTexture(1);
        floor->setPosition(0, -0.5f, 0);  // under the shadow's plane
        box->setTexture(2);
        box->setPosition(0, 200, 0);
        return true;
    }

    void frame(const FrameInfo& time) override {
        theRenderer.beginFrame();  // clears, and moves the camera on its circle round the origin
        box->setRotation(0.4f, float(time.seconds), 0);
        for (Mesh* mesh : {floor.get(), box.get()}) {
            mesh->update();
            mesh->applyLights(lights, 2);
            theRenderer.submit(mesh, mesh->texture());
        }
        theRenderer.flushTextured();
        box->update();  // a fresh copy, flattened onto the plane y = 0 away from the sun
        box->projectShadow(0, 1, 0, 0, -0.3f, 1, 1.0f);
        theRenderer.submit(box.get(), 0);
        theRenderer.flushShadow(0, 0, 0, 0.6f);  // each floor pixel darkened once
    }
};

int main(int argc, char** argv) {
    SpinningBox scene;
    AppSettings settings{"Spinning box", 800, 600};
    settings.stencilBits = 8;  // what flushShadow darkens once with
    return runApp(scene, settings, argc, argv);
}
