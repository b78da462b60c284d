// A mesh and its texture from files: a POB mesh (gloam-pob makes one from an
// OBJ) and a 24-bit bitmap (gloam-pob makes one from a PNG or JPEG), named on
// the command line:
//
//   load-files table.pob wood.bmp
//
// Every reader says where and why it refuses a file; the program passes
// that on and ends. The mesh is read before the window opens, the texture
// after, since it goes to OpenGL.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/meshio/pob.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

class LoadedMesh : public Scene {
    std::unique_ptr<Mesh> mesh;
    std::string textureFile;
    View view;
    DirectionalLight sun{255, 245, 220, 0.3f, -1.0f, -1.0f};
    AmbientLight sky{60, 60, 70};
    Light* lights[2] = {&sun, &sky};

public:
    LoadedMesh(std::unique_ptr<Mesh> loaded, std::string texture)
        : mesh(std::move(loaded)), textureFile(std::move(texture)) {}

    bool setUp() override {
        FileError error;
        if (addTexture(textureFile.c_str(), false, false, 1, error) < 0) {
            reportError(error.message().c_str());  // "wood.bmp: 32 bits per pixel; ..."
            return false;
        }
        mesh->setTexture(1);
        // Far enough back to see all of the mesh, whatever its size.
        float radius = 1;
        for (std::int32_t i = 0; i < mesh->vertexCount(); ++i) {
            const Vertex& v = mesh->vertices()[i];
            radius = std::max(radius, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
        }
        view.eyeY = 1.5 * radius;
        view.eyeZ = 2.5 * radius;
        view.nearPlane = radius / 100;
        view.farPlane = 10 * radius;
        return true;
    }

    void frame(const FrameInfo& time) override {
        theRenderer.beginFrame(view);
        mesh->setRotation(0, float(0.5 * time.seconds), 0);
        mesh->update();
        mesh->applyLights(lights, 2);
        theRenderer.submit(mesh.get(), mesh->texture());
        theRenderer.flushTextured();
    }
};

int main(int argc, char** argv) {
    CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), 2);
    if (line.mistake.empty() && line.options.files.size() != 2) {
        line.mistake = "name a POB mesh and a bitmap";
    }
    if (auto code = answerCommandLine(line, "load-files", "MESH.pob TEXTURE.bmp")) return *code;
    FileError error;
    std::unique_ptr<Mesh> mesh = loadPob(line.options.files[0].c_str(), error);
    if (!mesh) {
        std::fprintf(stderr, "load-files: %s\n", error.message().c_str());  // "table.pob:7:1: ..."
        return exitFailure;
    }
    LoadedMesh scene(std::move(mesh), line.options.files[1]);
    return runApp(scene, {"Mesh and texture from files", 800, 600}, line.options);
}
