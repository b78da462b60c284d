// Each library's public functions, called by a program that links that
// library alone (ALONE_<library> says which); it fails if a call gives the
// wrong answer. Calls that need an OpenGL context are linked but made only
// when `drawing` says one is current, which it never is here.

#include <fstream>

#if defined(ALONE_geometry)
#include <gloam/geometry/light.h>
#include <gloam/geometry/mesh.h>

bool run(bool) {
    gloam::Mesh mesh(0, 0, nullptr, nullptr, nullptr);
    gloam::AmbientLight sky(10, 20, 30);
    gloam::Light* lights[] = {&sky};
    mesh.update();
    mesh.applyLights(lights, 1);
    return mesh.savePob("alone.pob");
}
#elif defined(ALONE_meshio)
#include <gloam/meshio/pob.h>
#include <gloam/meshio/primitives.h>

bool run(bool) {
    const auto box = gloam::makeBox(2, 2, 2);
    const auto loaded = box->savePob("alone.pob") ? gloam::loadPob("alone.pob") : nullptr;
    return loaded && gloam::formatPob(*loaded) == gloam::formatPob(*box);
}
#elif defined(ALONE_textures)
#include <gloam/textures/bitmap.h>
#include <gloam/textures/texture.h>

bool run(bool drawing) {
    const std::uint8_t rgb[] = {255, 0, 255};
    gloam::FileError error;
    gloam::Texture read;
    if (drawing) gloam::addTexturePixels(3, rgb, 1, 1, 3, error);
    return gloam::writeBitmap("alone.bmp", rgb, 1, 1, error) &&
           gloam::readBitmap(read, "alone.bmp", false, false, false, error) && read.pixels[3] == 0;
}
#elif defined(ALONE_render)
#include <gloam/geometry/mesh.h>
#include <gloam/render/renderer.h>

bool run(bool drawing) {
    gloam::Mesh mesh(0, 0, nullptr, nullptr, nullptr);
    gloam::theRenderer.submit(&mesh, 1);
    if (drawing) {
        gloam::theRenderer.beginFrame(gloam::View{});
        gloam::theRenderer.flushTextured();
        gloam::theRenderer.swapBuffers();
    }
    return gloam::theRenderer.queueCount == 1;
}
#elif defined(ALONE_app)
#include <gloam/app/run.h>

struct Nothing : gloam::Scene {
    void frame(const gloam::FrameInfo&) override {}
};

bool run(bool) {
    Nothing scene;
    char name[] = "alone", help[] = "--help", *arguments[] = {name, help, nullptr};
    return gloam::runApp(scene, {"alone", 320, 240}, 2, arguments) == gloam::exitSuccess;
}
#elif defined(ALONE_platform)
#include <gloam/platform/files.h>
#include <gloam/platform/win32.h>

bool run(bool) {
    gloam::FileError error;
    MSG message;
    PostQuitMessage(3);
    return gloam::writeFileAtomically("alone.txt", "whole", 5, error) &&
           PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.wParam == 3;
}
#elif defined(ALONE_import)
#include <gloam/import/model.h>

bool run(bool) {
    std::ofstream("alone.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    gloam::Model model;
    gloam::FileError error;
    return gloam::loadModel("alone.obj", model, error) && model.parts.size() == 1;
}
#endif

int main(int argc, char**) { return run(argc > 1) ? 0 : 1; }
