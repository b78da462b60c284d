#include "viewer/viewer.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "gloam/app/command_line.h"
#include "gloam/import/model.h"
#include "gloam/meshio/primitives.h"
#include "gloam/textures/texture.h"

namespace gloam::viewer {

namespace {

constexpr const char* programName = "gloam-view";
constexpr const char* operands = "MODEL [PICTURE.bmp]";

// Just below the plane the shadow is flattened onto: with the shadow's own
// pull towards the viewer, the shadow wins the depth test by two margins.
constexpr float floorGap = 0.5f;
constexpr float shadowAlpha = 0.6f;
constexpr float wireColour[4] = {0.05f, 0.05f, 0.05f, 0.7f};
// Grey light, so that the texture's own colours show: a face square to the
// sun comes to white and no further, and one turned away keeps the ambient
// part, so its shape still reads.
constexpr std::int32_t sunLevel = 200;
constexpr std::int32_t ambientLevel = 255 - sunLevel;
// A shadow darkens each pixel once only through the stencil buffer.
constexpr int stencilBits = 8;

void say(const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", programName, line.c_str());
    std::fflush(stderr);
}

void reportLoadFailure(const FileError& error, bool scripted) {
    const std::string text = "Cannot show the model: " + error.message() + ".";
#ifdef _WIN32
    // Windows gives a GUI program's standard error no console, but a shell
    // or script that started it may be reading it; elsewhere the message
    // box itself writes its text there, as a scripted run's report does.
    if (!scripted) say(text);
#else
    (void)scripted;
#endif
    reportError(text.c_str());
}

}  // namespace

std::string windowTitle(const std::string& path, const ShownModel& model, double framesPerSecond) {
    std::string title = path.substr(path.find_last_of("/\\") + 1) + " (";
    if (model.parts.size() > 1) title += std::to_string(model.parts.size()) + " parts, ";
    title += std::to_string(model.vertices) + " vertices, " + std::to_string(model.triangles) +
             " triangles)";
    if (framesPerSecond > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, " %.3g fps", framesPerSecond);
        title += rate;
    }
    return title + " - " + programName;
}

ViewerScene::ViewerScene(std::string modelPath, std::string picturePath, ShownModel shown)
    : sun(sunLevel, sunLevel, sunLevel, 0.0f, -1.0f, 0.0f),
      ambient(ambientLevel, ambientLevel, ambientLevel),
      lights{&sun, &ambient},
      modelPath(std::move(modelPath)),
      picturePath(std::move(picturePath)) {
    useModel(std::move(shown));
    for (const std::string& file : model.files) stamps.push_back(stampOf(file));
}

void ViewerScene::useModel(ShownModel shown) {
    model = std::move(shown);
    for (const std::string& line : model.report) say(line);
    // Squares of a fixed size, as many as hold the shadow of the lowest sun.
    const double cell = shownRadius * floorCell;
    const auto half = std::int32_t(std::ceil(floorReachFor(model.shown, lowestSun) / cell));
    floorReach = half * cell;
    floor = makeGrid(2 * half + 1, 2 * half + 1, float(cell));
    floor->setPosition(0.0f, model.floorY - floorGap, 0.0f);
    floor->setTexture(floorTexture);
    world = World::Stale;
    modelKept = false;
}

void ViewerScene::uploadPictures() {
    std::int32_t next = firstPartTexture;
    for (ShownPart& part : model.parts) {
        part.mesh->setTexture(plainTexture);
        if (part.pixels.empty()) continue;
        FileError error;
        if (next >= textureTableSize) {
            say("warning: more parts with pictures than the " +
                std::to_string(textureTableSize - firstPartTexture) + " the viewer has room for; " +
                part.name + " is drawn in its lit colour");
        } else if (addTexturePixels(next, part.pixels.data(), part.width, part.height,
                                    part.channels, error) < 0) {
            say("warning: the picture of " + part.name + " cannot be used: " + error.reason +
                "; it is drawn in its lit colour");
        } else {
            part.mesh->setTexture(next++);
        }
        // The texture table keeps its own copy.
        part.pixels = {};
    }
}

bool ViewerScene::setUp() {
    // Textures need the OpenGL context: here, not in the constructor.
    addCheckerTexture(floorTexture, 64, 0xB4B0A8, 0x84807A);
    addCheckerTexture(plainTexture, 1, 0xFFFFFF, 0xFFFFFF);
    uploadPictures();
    theRenderer.setDrawPath(DrawArrays);
    return true;
}

void ViewerScene::setTitle(const std::string& title) {
    if (theRenderer.window != nullptr) SetWindowTextA(theRenderer.window, title.c_str());
}

void ViewerScene::watchFiles(double now) {
    if (now < nextWatch) return;
    nextWatch = now + watchInterval;
    std::vector<FileStamp> seen;
    for (const std::string& file : model.files) seen.push_back(stampOf(file));
    if (seen == stamps) return;
    // Taken before reading: a write that lands while the files are read is
    // a change at the next look.
    stamps = seen;
    ShownModel fresh;
    FileError error;
    if (!loadShownModel(modelPath, picturePath, true, fresh, error)) {
        problem = error.message();
        say(problem + "; the last model that loaded stays on the screen");
        setTitle(problem + " (the last model that loaded is shown) - " + programName);
        return;
    }
    const std::vector<std::string> watched = model.files;
    useModel(std::move(fresh));
    uploadPictures();
    std::vector<FileStamp> next;
    for (const std::string& file : model.files) {
        std::size_t known = 0;
        while (known < watched.size() && watched[known] != file) ++known;
        next.push_back(known < watched.size() ? seen[known] : stampOf(file));
    }
    stamps = std::move(next);
    problem.clear();
    say("read " + modelPath + " again");
    setTitle(windowTitle(modelPath, model, 0));
}

void ViewerScene::showRate(double now) {
    if (now - rateSince >= 1.0) {
        const double rate = double(framesSince) / (now - rateSince);
        rateSince = now;
        framesSince = 0;
        if (problem.empty()) setTitle(windowTitle(modelPath, model, rate));
    }
    ++framesSince;
}

void ViewerScene::drawParts(void (*flush)()) {
    for (ShownPart& part : model.parts) {
        if (theRenderer.queueCount == Renderer::queueCapacity) flush();
        theRenderer.submit(part.mesh.get(), part.mesh->texture());
    }
    flush();
}

void ViewerScene::prepareLit() {
    if (world == World::Lit) return;
    for (ShownPart& part : model.parts) {
        part.mesh->update();
        part.mesh->applyLights(lights, 2);
    }
    world = World::Lit;
}

void ViewerScene::prepareFlat(const double towardsSun[3]) {
    if (world == World::Flat) return;
    // A lit copy has been drawn, so it can be flattened in place: a second
    // update of a big mesh would cost as much as the first.
    for (ShownPart& part : model.parts) {
        if (world == World::Stale) part.mesh->update();
        part.mesh->projectShadow(0.0f, 1.0f, 0.0f, -model.floorY,
                                 float(towardsSun[0] / towardsSun[1]), 1.0f,
                                 float(towardsSun[2] / towardsSun[1]));
    }
    world = World::Flat;
}

void ViewerScene::frame(const FrameInfo& time) {
    watchFiles(time.seconds);
    showRate(time.seconds);
    const ViewState& state = controls.state;
    const double aspect = viewportWidth > 0 && viewportHeight > 0
                              ? double(viewportWidth) / double(viewportHeight)
                              : 1.0;
    const View view = orbitView(state.yaw, state.pitch, state.zoom, aspect, floorReach);
    theRenderer.beginFrame(view);

    const double up = std::sin(state.sunElevation);
    const double across = std::cos(state.sunElevation);
    const double towardsSun[3] = {across * std::cos(state.sunAzimuth), up,
                                  across * std::sin(state.sunAzimuth)};
    sun.setDirection(float(-towardsSun[0]), float(-towardsSun[1]), float(-towardsSun[2]));

    // Only the camera moves between still frames: what the sun lights and
    // flattens is drawn from what OpenGL kept. A frame that follows a change
    // draws afresh, and the first still frame after it keeps what it draws,
    // so that a sun being dragged costs no more than it did before.
    const bool sunStill = state.sunAzimuth == keptAzimuth && state.sunElevation == keptElevation;
    if (!sunStill || !modelKept) {
        for (KeptDrawing* drawing : {&kept.floor, &kept.parts, &kept.shadow}) drawing->forget();
        if (!modelKept) kept.wireframe.forget();
        keptAzimuth = state.sunAzimuth;
        keptElevation = state.sunElevation;
        world = World::Stale;
    }
    if (!keepDrawings) world = World::Stale;
    const bool keepLit = keepDrawings && sunStill && modelKept;
    const bool keepWire = keepDrawings && modelKept;
    modelKept = true;
    const auto layer = [](KeptDrawing& drawing, bool keep, auto draw) {
        if (keep && drawing.isKept()) return drawing.draw();
        const bool recording = keep && drawing.startRecording();
        draw();
        if (recording) drawing.finishRecording();
    };

    // From below, the floor would hide the model's underside, which is what
    // the user turned round to see.
    const bool aboveFloor = view.eyeY > double(model.floorY);
    if (aboveFloor) {
        layer(kept.floor, keepLit, [this] {
            floor->update();
            floor->applyLights(lights, 2);
            theRenderer.submit(floor.get(), floor->texture());
            theRenderer.flushTextured();
        });
    }
    layer(kept.parts, keepLit, [this] {
        prepareLit();
        drawParts([] { theRenderer.flushTextured(); });
    });
    if (state.wireframe) {
        layer(kept.wireframe, keepWire, [this] {
            if (world != World::Lit) prepareLit();
            drawParts([] {
                theRenderer.flushWireframe(wireColour[0], wireColour[1], wireColour[2],
                                           wireColour[3]);
            });
        });
    }
    if (state.shadow && aboveFloor && model.triangles > 0) {
        layer(kept.shadow, keepLit, [this, &towardsSun] {
            prepareFlat(towardsSun);
            drawParts([] { theRenderer.flushShadow(0.0f, 0.0f, 0.0f, shadowAlpha); });
        });
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
        std::printf(
            "%sMODEL is a file of one of these kinds: %s. PICTURE.bmp is drawn on the\n"
            "parts that bring no picture of their own. The model is read again when\n"
            "its files change.\n%s",
            usageText(programName, operands).c_str(), modelFormats(), controlsHelp());
        std::fflush(stdout);
        return exitSuccess;
    }
    if (const auto code = answerCommandLine(line, programName, operands)) return *code;
    const std::vector<std::string>& files = line.options.files;
    if (files.empty()) {
        std::fprintf(stderr, "%s: which model? Name a model file (%s).\nTry '%s --help'.\n",
                     programName, modelFormats(), programName);
        return exitUsage;
    }
    const bool scripted = line.options.frames != 0;
    setScriptedRun(scripted);

    const std::string picture = files.size() > 1 ? files[1] : std::string();
    ShownModel model;
    FileError error;
    if (!loadShownModel(files[0], picture, false, model, error)) {
        reportLoadFailure(error, scripted);
        return exitFailure;
    }
    // The first title is given when the window is made, so the model comes
    // first.
    const std::string title = windowTitle(files[0], model, 0);
    ViewerScene scene(files[0], picture, std::move(model));
    AppSettings settings{title.c_str(), 1024, 768};
    settings.stencilBits = stencilBits;
    return runApp(scene, settings, line.options);
}

}  // namespace gloam::viewer
