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

// A 4 x 4 checkerboard in two colours (0xRRGGBB), uploaded as texture `name`.
void makeChecker(std::int32_t name, std::uint32_t light, std::uint32_t dark) {
    Texture& texture = textureTable[name];
    texture.name = name;
    texture.width = texture.height = 64;
    texture.pixels = std::make_unique<std::uint8_t[]>(64 * 64 * 4);
    for (int i = 0; i < 64 * 64; ++i) {
        const std::uint32_t colour = (i % 64 / 16 + i / 1024) % 2 ? dark : light;
        std::uint8_t* pixel = &texture.pixels[i * 4];
        pixel[0] = std::uint8_t(colour >> 16);
        pixel[1] = std::uint8_t(colour >> 8);
        pixel[2] = std::uint8_t(colour);
        pixel[3] = 255;
    }
    uploadTexture(texture);
}

class SpinningBox : public Scene {
    std::unique_ptr<Mesh> floor = makeGrid(9, 9, 100);
    std::unique_ptr<Mesh> box = makeBox(150, 150, 150);
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    AmbientLight sky{40, 40, 60};
    Light* lights[2] = {&sun, &sky};

public:
    bool setUp() override {
        makeChecker(1, 0xD8D0C0, 0x8C8478);  // textures need the OpenGL context: here, not before
        makeChecker(2, 0xE89838, 0x983818);
        floor->setTexture(1);
        floor->setPosition(0, -0.5f, 0);  // under the shadow, so the shadow wins the depth test
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
        theRenderer.flushFlat(0, 0, 0, 0.6f);
    }
};

int main(int argc, char** argv) {
    SpinningBox scene;
    return runApp(scene, {"Spinning box", 800, 600}, argc, argv);
}
