#pragma once

// A model as the viewer shows it: every part placed by one framing over the
// whole model, with the picture each part is drawn with, read without OpenGL
// so that a reload can fail without touching what is on the screen.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gloam/geometry/mesh.h"
#include "gloam/platform/files.h"
#include "viewer/framing.h"

namespace gloam::viewer {

struct ShownPart {
    std::string name;
    std::unique_ptr<Mesh> mesh;  // placed; its texture is set when uploaded
    // The picture to draw it with: width × height pixels of `channels` bytes,
    // bottom row first, power-of-two sides; none when empty.
    std::vector<std::uint8_t> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t channels = 0;
};

struct ShownModel {
    std::vector<ShownPart> parts;
    std::int64_t vertices = 0;
    std::int64_t triangles = 0;  // drawable ones: every corner finite
    Bounds shown;                // of the placed vertices
    // Where the model stands: its lowest point, or 0 when it has none.
    float floorY = 0.0f;
    // The files it was read from (the model's and the pictures'): a change to
    // any of them is a new model.
    std::vector<std::string> files;
    // What the user is told on standard error: which picture each part uses
    // or that it has none, and the reader's notes and warnings.
    std::vector<std::string> report;
};

// Reads the model at `path` and, when `picturePath` is not empty, the bitmap
// the parts without a picture of their own are drawn with. False, with the
// reason in `error`, when the model cannot be read, or the bitmap cannot be
// and `pictureRequired` says that matters; otherwise a bitmap that cannot be
// read is a warning in the report and those parts are drawn plain.
bool loadShownModel(const std::string& path, const std::string& picturePath, bool pictureRequired,
                    ShownModel& model, FileError& error);

// Enough of a file's outside to tell that it was written since: its
// modification time and size, or that it is missing.
struct FileStamp {
    bool present = false;
    std::filesystem::file_time_type time{};
    std::uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::string& path);

}  // namespace gloam::viewer
