// A box you move: the arrow keys slide it over the floor, and dragging with
// the left mouse button turns it. Keys and the mouse reach the scene as the
// window's messages; a key only says it is held, and each frame moves the
// box by the time that frame took, so the speed does not hang on the
// keyboard's repeat rate or the frame rate.

#include <memory>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

class MovingBox : public Scene {
    std::unique_ptr<Mesh> floor = makeGrid(9, 9, 100);
    std::unique_ptr<Mesh> box = makeBox(120, 120, 120);
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    AmbientLight sky{40, 40, 60};
    Light* lights[2] = {&sun, &sky};
    bool held[4] = {};  // the arrow keys, in the order of their codes: left, up, right, down
    int dragX = -1;     // where the mouse was when the drag last turned the box; -1: no drag

public:
    bool setUp() override {
        addCheckerTexture(1, 64, 0xD8D0C0, 0x8C8478);
        addCheckerTexture(2, 64, 0x60A0E0, 0x204880);
        floor->setTexture(1);
        box->setTexture(2);
        box->setPosition(0, 60, 0);
        return true;
    }

    bool message(HWND, UINT message, WPARAM wParam, LPARAM lParam) override {
        // The other keys (Escape, F12, ...) keep their meaning.
        if ((message == WM_KEYDOWN || message == WM_KEYUP) && wParam >= VK_LEFT &&
            wParam <= VK_DOWN) {
            held[wParam - VK_LEFT] = message == WM_KEYDOWN;
            return true;
        }
        const int x = GET_X_LPARAM(lParam);
        if (message == WM_LBUTTONDOWN) {
            dragX = x;
        } else if (message == WM_LBUTTONUP) {
            dragX = -1;
        } else if (message == WM_MOUSEMOVE && dragX >= 0) {
            box->rotateBy(0, 0.01f * float(x - dragX), 0);  // a hundred pixels: one radian
            dragX = x;
        } else {
            return false;
        }
        return true;
    }

    void frame(const FrameInfo& time) override {
        const float step = 300.0f * float(time.deltaSeconds);  // units a second
        box->moveBy(step * float(held[2] - held[0]), 0, step * float(held[3] - held[1]));
        // A camera that stays put, so that the arrows keep their directions.
        View view;
        view.eyeY = 700;
        view.eyeZ = 900;
        theRenderer.beginFrame(view);
        for (Mesh* mesh : {floor.get(), box.get()}) {
            mesh->update();
            mesh->applyLights(lights, 2);
            theRenderer.submit(mesh, mesh->texture());
        }
        theRenderer.flushTextured();
    }
};

int main(int argc, char** argv) {
    MovingBox scene;
    return runApp(scene, {"Moving box: arrow keys, drag to turn", 800, 600}, argc, argv);
}
