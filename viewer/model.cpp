#include "viewer/model.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <utility>

#include "gloam/import/model.h"
#include "gloam/textures/texture.h"

namespace gloam::viewer {

namespace {

std::string baseName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

}  // namespace

bool loadShownModel(const std::string& path, const std::string& picturePath, bool pictureRequired,
                    ShownModel& shown, FileError& error) {
    Model model;
    if (!loadModel(path, model, error)) return false;

    // The picture of the command line, for the parts that bring none.
    Texture given;
    std::string givenProblem;
    if (!picturePath.empty()) {
        FileError pictureError;
        if (!readBitmap(given, picturePath.c_str(), false, false, false, pictureError)) {
            if (pictureRequired) {
                error = pictureError;
                return false;
            }
            givenProblem = pictureError.message();
        }
    }

    ShownModel result;
    result.files.push_back(path);
    if (!picturePath.empty()) result.files.push_back(picturePath);
    for (const std::string& note : model.notes) result.report.push_back("note: " + note);
    for (const std::string& warning : model.warnings)
        result.report.push_back("warning: " + warning);
    if (!givenProblem.empty())
        result.report.push_back("warning: " + givenProblem + "; it is not used");

    Bounds bounds;
    for (const ModelPart& part : model.parts) bounds.add(boundsOf(*part.mesh));
    const Framing framing = frameBounds(bounds);
    const bool several = model.parts.size() > 1;
    for (std::size_t i = 0; i < model.parts.size(); ++i) {
        ModelPart& part = model.parts[i];
        ShownPart placed;
        placed.name = part.name;
        const std::string who =
            several ? "part #" + std::to_string(i + 1) + " (" + part.name + ")" : baseName(path);
        std::string picture;
        if (!part.picture.rgb.empty()) {
            placed.pixels = std::move(part.picture.rgb);
            placed.width = part.picture.width;
            placed.height = part.picture.height;
            placed.channels = 3;
            picture = "picture " + part.pictureFile;
            result.files.push_back(part.pictureFile);
        } else if (given.pixels != nullptr) {
            const std::size_t bytes = std::size_t(given.width) * std::size_t(given.height) * 4;
            placed.pixels.assign(given.pixels.get(), given.pixels.get() + bytes);
            placed.width = given.width;
            placed.height = given.height;
            placed.channels = 4;
            picture = "picture " + picturePath;
        }
        if (!part.pictureProblem.empty())
            picture = part.pictureProblem + (picture.empty() ? "" : "; " + picture + " instead");
        if (picture.empty()) picture = "no picture";
        if (placed.pixels.empty()) picture += "; drawn in its lit colour";
        result.report.push_back(who + ": " + picture);

        placed.mesh = placeMesh(std::move(part.mesh), framing);
        const Bounds partBounds = boundsOf(*placed.mesh);
        result.shown.add(partBounds);
        result.vertices += placed.mesh->vertexCount();
        result.triangles += placed.mesh->triangleCount();
        result.parts.push_back(std::move(placed));
    }
    if (result.shown.counted > 0) result.floorY = float(result.shown.min[1]);
    shown = std::move(result);
    return true;
}

FileStamp stampOf(const std::string& path) {
    FileStamp stamp;
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    if (error) return stamp;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return stamp;
    stamp.present = true;
    stamp.time = time;
    stamp.size = size;
    return stamp;
}

}  // namespace gloam::viewer
