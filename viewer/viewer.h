#pragma once

// gloam-view: shows one model, every part with its picture, lit by a sun the
// user swings, with its shadow on a floor, from a camera the user turns round
// it. The model is read again when its files change.

#include <memory>
#include <string>
#include <vector>

#include "gloam/app/run.h"
#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"
#include "gloam/render/renderer.h"
#include "viewer/controls.h"
#include "viewer/framing.h"
#include "viewer/model.h"

namespace gloam::viewer {

// Texture names the viewer uploads under.
inline constexpr std::int32_t floorTexture = 2;
// One white texel: a part without a picture is drawn through it in its lit
// colour alone, on the same path as a textured one.
inline constexpr std::int32_t plainTexture = 3;
// The parts' pictures take the names from here to the end of the table.
inline constexpr std::int32_t firstPartTexture = 4;

// "table.pob (120 vertices, 200 triangles) - gloam-view", with the count of
// parts when there are several and the frames a second once measured; the
// file's own name without its folder.
std::string windowTitle(const std::string& path, const ShownModel& model, double framesPerSecond);

class ViewerScene : public Scene {
public:
    // `modelPath` and `picturePath` (empty: none) are what `model` was read
    // from, and what is read again when they change.
    ViewerScene(std::string modelPath, std::string picturePath, ShownModel model);
    // The light list points into the object itself.
    ViewerScene(const ViewerScene&) = delete;
    ViewerScene& operator=(const ViewerScene&) = delete;

    // Uploads the textures; a picture that cannot be uploaded is reported
    // on standard error and its part drawn plain. Never fails.
    bool setUp() override;
    void frame(const FrameInfo& time) override;
    bool message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    Controls controls;
    ShownModel model;
    std::unique_ptr<Mesh> floor;
    DirectionalLight sun;
    AmbientLight ambient;
    Light* lights[2];
    // Off: every frame recomputes and sends everything, as if each were the
    // first; the frames a second of that are the baseline of the benchmark.
    bool keepDrawings = true;
    // Seconds between looks at the model's files.
    double watchInterval = 1.0;
    // How far the floor reaches from the origin across, each way.
    double floorReach = 0.0;

private:
    // Which copy the parts' world vertices hold.
    enum class World { Stale, Lit, Flat };
    struct Kept {
        KeptDrawing floor, parts, wireframe, shadow;
    };

    void useModel(ShownModel shown);
    void uploadPictures();
    void watchFiles(double now);
    void showRate(double now);
    void setTitle(const std::string& title);
    void drawParts(void (*flush)());
    void prepareLit();
    void prepareFlat(const double towardsSun[3]);

    std::string modelPath;
    std::string picturePath;
    std::vector<FileStamp> stamps;
    World world = World::Stale;
    Kept kept;
    // What the kept drawings show: the sun they were lit by, and the model.
    double keptAzimuth = 0.0, keptElevation = -1.0;
    bool modelKept = false;
    double nextWatch = 0.0;
    double rateSince = 0.0;
    std::int64_t framesSince = 0;
    std::string problem;  // why the last reload failed; empty when it did not
};

// The whole program, from the arguments after its name to its exit code.
int runViewer(const std::vector<std::string>& arguments);

}  // namespace gloam::viewer
