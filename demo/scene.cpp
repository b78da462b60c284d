#include "demo/scene.h"

#include <filesystem>
#include <string>

#include "gloam/meshio/pob.h"
#include "gloam/meshio/primitives.h"
#include "gloam/platform/win32.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

namespace gloam {

namespace {

struct SceneTexture {
    const char* fileName;
    std::int32_t expectedSize;
    std::int32_t name;
};

constexpr SceneTexture boxTexture{"doorbands.bmp", 128, 5};
constexpr SceneTexture floorTexture{"limestonetile.bmp", 64, 6};
constexpr SceneTexture tableTexture{"wethrdwood.bmp", 128, 7};
constexpr const char* tableFile = "table.pob";

// Black at this alpha darkens what lies under a shadow to a fifth.
constexpr float shadowAlpha = 0.8f;

bool fileExists(const char* fileName) {
    std::error_code error;
    return std::filesystem::exists(fileName, error);
}

std::string workingDirectory() {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    return error ? std::string("the working directory") : directory.string();
}

// Tells the user which asset failed and why, in the readers' own words
// ("table.pob:7:1: index 12 is outside 0..7"). A missing file is nearly
// always a program started from the wrong folder, so that case also says
// where it looked and where to start from instead.
void reportAssetFailure(const FileError& error) {
    std::string text = "Cannot load the demo's assets: " + error.message() + ".";
    if (!fileExists(error.file.c_str())) {
        text += " (looked for in " + workingDirectory() +
                ") Start the demo from the assets folder, or with scripts/demo.";
    }
    reportError(text.c_str());
}

}  // namespace

bool loadSceneTextures() {
    for (const SceneTexture& texture : {boxTexture, floorTexture, tableTexture}) {
        if (theRenderer.loadTexture(texture.fileName, texture.expectedSize, texture.expectedSize,
                                    texture.name) < 0) {
            // Read once more, only to learn why: the load itself keeps the
            // renderer's one way of loading.
            Texture probe;
            FileError error;
            readBitmap(probe, texture.fileName, false, false, false, error);
            reportAssetFailure(error);
            return false;
        }
    }
    return true;
}

void SceneAnimation::advance() {
    swing += swingStep;
    if (swing > 3.0f) swingStep = -swingStep;
    if (swing < -3.0f) swingStep = -swingStep;

    // Both axes start and turn together, so the box runs along x = z; each
    // test reads the new position, so it overshoots by one step before turning.
    boxX += boxStepX;
    boxZ += boxStepZ;
    if (boxX > 500.0f) boxStepX = -boxStepX;
    if (boxZ > 500.0f) boxStepZ = -boxStepZ;
    if (boxX < -500.0f) boxStepX = -boxStepX;
    if (boxZ < -500.0f) boxStepZ = -boxStepZ;
}

DemoScene::DemoScene()
    : sunLight(255, 255, 255, -0.4f, 0.0f, -0.4f),
      ambientLight(0, 0, 0),
      boxLight(0, 0, 255, 0.0f, 0.0f, 0.0f, 80.0f),
      sceneLights{&sunLight, &ambientLight, &boxLight} {}

bool DemoScene::setUp() {
    if (!loadSceneTextures()) return false;
    FileError error;
    tableMesh = loadPob(tableFile, error);
    if (tableMesh == nullptr) {
        reportAssetFailure(error);
        return false;
    }
    // The two wall grids the scene once built are left out: the frame never
    // drew them.
    floorGrid = makeGrid(10, 10, 100);
    bigBox = makeBox(150, 150, 150);
    smallBox = makeBox(35, 35, 35);

    tableMesh->setTexture(tableTexture.name);
    tableMesh->rotateBy(0.0f, 1.28f, 0.0f);
    tableMesh->setPosition(0.0f, 0.0f, 0.0f);
    floorGrid->setTexture(floorTexture.name);
    // Just below the plane the shadows are flattened onto, so they win the
    // depth test.
    floorGrid->setPosition(0.0f, -0.5f, 0.0f);
    bigBox->setTexture(boxTexture.name);
    bigBox->setPosition(-220.0f, 75.0f, 180.0f);
    bigBox->setAlpha(1.0f);
    smallBox->setTexture(boxTexture.name);
    smallBox->setPosition(animation.boxX, animation.boxY, animation.boxZ);
    return true;
}

void DemoScene::frame(const FrameInfo&) {
    theRenderer.beginFrame();
    animation.advance();
    const SceneAnimation& a = animation;
    boxLight.setPosition(a.boxX, a.boxY, a.boxZ);
    smallBox->setPosition(a.boxX, a.boxY, a.boxZ);
    smallBox->rotateBy(0.05f, 0.05f, 0.05f);
    sunLight.setDirection(-a.swing, -1.0f, -a.swing);

    for (Mesh* mesh : {tableMesh.get(), floorGrid.get(), bigBox.get(), smallBox.get()}) {
        mesh->update();
        mesh->applyLights(sceneLights, 3);
        theRenderer.submit(mesh, mesh->texture());
    }
    theRenderer.flushTextured();

    // The floor is not among the casters: it would only shadow itself.
    for (Mesh* mesh : {tableMesh.get(), bigBox.get(), smallBox.get()}) {
        mesh->update();
        mesh->projectShadow(0.0f, 1.0f, 0.0f, 0.0f, a.swing, 1.0f, a.swing);
        theRenderer.submit(mesh, mesh->texture());
    }
    theRenderer.flushFlat(0.0f, 0.0f, 0.0f, shadowAlpha);
}

bool DemoScene::message(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_KEYDOWN || wParam != VK_ESCAPE) return false;
    // What Windows itself does when the close button is clicked.
    SendMessageA(window, WM_CLOSE, 0, 0);
    return true;
}

}  // namespace gloam
