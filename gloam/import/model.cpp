#include "gloam/import/model.h"

#include <cctype>
#include <cstdint>
#include <utility>

#include "gloam/import/file_bytes.h"
#include "gloam/import/obj.h"
#include "gloam/import/polygon.h"
#include "gloam/meshio/pob.h"

namespace gloam {

namespace {

std::string extensionOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string count(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool loadObj(const std::string& path, Model& model, FileError& error) {
    FileBytes text;
    if (!readFileBytes(path, text, error)) return false;
    ObjNotes notes;
    std::unique_ptr<Mesh> mesh = meshFromObj(text.view(), error, notes);
    if (!mesh) return false;
    if (notes.cornersWithoutUV > 0) {
        model.notes.push_back(
            count(notes.cornersWithoutUV, "face corner has", "face corners have") +
            " no texture coordinate; they get 0 0");
    }
    if (notes.shortFaces > 0) {
        model.notes.push_back(count(notes.shortFaces, "face", "faces") +
                              " with fewer than three corners left out");
    }
    if (notes.flatPolygons > 0) {
        model.notes.push_back(count(notes.flatPolygons, "face", "faces") +
                              " of no area (corners on one line) left out");
    }
    for (const ObjNotes::Face& face : notes.uncovered) {
        model.warnings.push_back(
            std::to_string(face.line) + ": " +
            (face.corners > std::int64_t(maxPolygonCorners)
                 ? "a concave face of " + std::to_string(face.corners) +
                       " corners, more than the " + std::to_string(maxPolygonCorners) +
                       " that are split into triangles; left out"
                 : "a face that crosses itself or winds round twice, which no triangles between "
                   "its corners cover exactly; left out"));
    }
    if (notes.uncoveredPolygons > std::int64_t(notes.uncovered.size())) {
        model.warnings.push_back(
            count(notes.uncoveredPolygons - std::int64_t(notes.uncovered.size()), "more face",
                  "more faces") +
            " like that left out");
    }
    model.parts.push_back({baseName(path), std::move(mesh), {}, {}, {}, {}});
    return true;
}

}  // namespace

bool loadModel(const std::string& path, Model& model, FileError& error) {
    model = Model{};
    error = FileError{path, 0, 0, ""};
    const std::string ext = extensionOf(path);
    if (ext == "pob") {
        std::unique_ptr<Mesh> mesh = loadPob(path.c_str(), error);
        if (!mesh) return false;
        model.parts.push_back({baseName(path), std::move(mesh), {}, {}, {}, {}});
        return true;
    }
    if (ext == "obj") return loadObj(path, model, error);
    error.reason = "not a model this build reads (it reads " + std::string(modelFormats()) + ")";
    return false;
}

const char* modelFormats() { return "pob obj"; }

}  // namespace gloam
