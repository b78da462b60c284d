#include "viewer/viewer.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "gloam/app/command_line.h"
#include "gloam/meshio/pob.h"
#include "gloam/meshio/primitives.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

namespace gloam::viewer {

namespace {

constexpr const char* programName = "gloam-view";
constexpr const char* operands = "FILE.pob [TEXTURE.bmp]";

// An odd count of grid lines centres the floor under the mesh.
constexpr std::int32_t floorLines = 11;
// Just below the plane the shadow is flattened onto, so the shadow wins the
// depth test.
constexpr float floorGap = 0.5f;
constexpr float shadowAlpha = 0.6f;
// Grey light, so that the texture's own colours show: a face square to the
// sun comes to white and no further, and one turned away keeps the ambient
// part, so its shape still reads.
constexpr std::int32_t sunLevel = 200;
constexpr std::int32_t ambientLevel = 255 - sunLevel;

void reportLoadFailure(const FileError& error) {
    const std::string text = "Cannot show the mesh: " + error.message() + ".";
#ifdef _WIN32
    // Windows gives a GUI program's standard error no console, but a shell
    // or script that started it may be reading it; elsewhere the message
    // box itself writes its text there.
    std::fprintf(stderr, "%s: %s\n", programName, text.c_str());
    std::fflush(stderr);
#endif
    reportError(text.c_str());
}

}  // namespace

std::string windowTitle(const std::string& path, const Mesh& mesh) {
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    return name + " (" + std::to_string(mesh.vertexCount()) + " vertices, " +
           std::to_string(mesh.triangleCount()) + " triangles) - " + programName;
}

ViewerScene::ViewerScene(std::unique_ptr<Mesh> loaded, std::string texture)
    : mesh(shownMesh(std::move(loaded))),
      floor(
          makeGrid(floorLines, floorLines, float(shownRadius * floorReach * 2 / (floorLines - 1)))),
      sun(sunLevel, sunLevel, sunLevel, 0.0f, -1.0f, 0.0f),
      ambient(ambientLevel, ambientLevel, ambientLevel),
      lights{&sun, &ambient},
      texturePath(std::move(texture)) {
    const Bounds shown = boundsOf(*mesh);
    if (shown.counted > 0) floorY = float(shown.min[1]);
    floor->setPosition(0.0f, floorY - floorGap, 0.0f);
    floor->setTexture(floorTexture);
}

bool ViewerScene::setUp() {
    // Textures need the OpenGL context: here, not in the constructor.
    addCheckerTexture(floorTexture, 64, 0xB4B0A8, 0x84807A);
    addCheckerTexture(plainTexture, 1, 0xFFFFFF, 0xFFFFFF);
    mesh->setTexture(plainTexture);
    if (!texturePath.empty()) {
        FileError error;
        if (addTexture(texturePath.c_str(), false, false, meshTexture, error) >= 0) {
            mesh->setTexture(meshTexture);
        } else {
            std::fprintf(stderr, "%s: warning: %s; the mesh is drawn in its lit colour\n",
                         programName, error.message().c_str());
            std::fflush(stderr);
        }
    }
    theRenderer.setDrawPath(DrawArrays);
    return true;
}

void ViewerScene::frame(const FrameInfo&) {
    const ViewState& state = controls.state;
    const double aspect = viewportWidth > 0 && viewportHeight > 0
                              ? double(viewportWidth) / double(viewportHeight)
                              : 1.0;
    const View view = orbitView(state.yaw, state.pitch, state.zoom, aspect);
    theRenderer.beginFrame(view);

    const double up = std::sin(state.sunElevation);
    const double across = std::cos(state.sunElevation);
    const double towardsSun[3] = {across * std::cos(state.sunAzimuth), up,
                                  across * std::sin(state.sunAzimuth)};
    sun.setDirection(float(-towardsSun[0]), float(-towardsSun[1]), float(-towardsSun[2]));

    // From below, the floor would hide the mesh's underside, which is what
    // the user turned round to see.
    const bool aboveFloor = view.eyeY > double(floorY);
    if (aboveFloor) {
        floor->update();
        floor->applyLights(lights, 2);
        theRenderer.submit(floor.get(), floor->texture());
    }
    mesh->update();
    mesh->applyLights(lights, 2);
    theRenderer.submit(mesh.get(), mesh->texture());
    theRenderer.flushTextured();

    if (state.shadow && aboveFloor && mesh->triangleCount() > 0) {
        // The lit copy has been drawn, so it can be flattened in place: a
        // second update of a big mesh would cost as much as the first.
        mesh->projectShadow(0.0f, 1.0f, 0.0f, -floorY, float(towardsSun[0] / up), 1.0f,
                            float(towardsSun[2] / up));
        theRenderer.submit(mesh.get(), mesh->texture());
        theRenderer.flushFlat(0.0f, 0.0f, 0.0f, shadowAlpha);
    }
}

bool ViewerScene::message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Response response = controls.handle(message, wParam, lParam);
    // What Windows itself does when the close button is clicked.
    if (response == Response::Close) SendMessageA(window, WM_CLOSE, 0, 0);
    return response != Response::Ignored;
}

int runViewer(const std::vector<std::string>& arguments) {
    const CommandLine line = parseCommandLine(arguments, 2);
    if (line.help) {
        std::printf("%s\n%s", usageText(programName, operands).c_str(), controlsHelp());
        std::fflush(stdout);
        return exitSuccess;
    }
    if (const auto code = answerCommandLine(line, programName, operands)) return *code;
    const std::vector<std::string>& files = line.options.files;
    if (files.empty()) {
        std::fprintf(stderr, "%s: which mesh? Name a POB file.\nTry '%s --help'.\n", programName,
                     programName);
        return exitUsage;
    }

    FileError error;
    std::unique_ptr<Mesh> mesh = loadPob(files[0].c_str(), error);
    if (mesh == nullptr) {
        reportLoadFailure(error);
        return exitFailure;
    }
    // The title is fixed when the window is made, so the mesh comes first.
    const std::string title = windowTitle(files[0], *mesh);
    ViewerScene scene(std::move(mesh), files.size() > 1 ? files[1] : std::string());
    return runApp(scene, {title.c_str(), 1024, 768}, line.options);
}

}  // namespace gloam::viewer
