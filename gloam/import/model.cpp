#include "gloam/import/model.h"

#include <cctype>
#include <cstdint>
#include <utility>

#include "gloam/import/file_bytes.h"
#include "gloam/import/model_parts.h"
#include "gloam/import/obj.h"
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
    if (!readFileBytes(path, text, error, startsAsText)) return false;
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
    if (notes.largeConcave > 0) {
        model.warnings.push_back(
            count(notes.largeConcave, "concave face has", "concave faces have") +
            " too many corners to split carefully; split as fans, which may overlap");
    }
    model.parts.push_back({baseName(path), std::move(mesh), {}, {}, {}, {}});
    return true;
}

#if defined(GLOAM_HAVE_ASSIMP)
// What assimp reads well enough to offer: each was tried on public models
// of its kind, and the tests hold the main ones.
constexpr const char* importedFormats = "gltf glb fbx dae ply stl 3ds";

bool isImported(const std::string& ext) {
    const std::string list = std::string(" ") + importedFormats + " ";
    return !ext.empty() && list.find(" " + ext + " ") != std::string::npos;
}
#endif

// What every reader's model goes through: the pictures its parts name, and
// the closed parts that would be lit from inside.
void finish(const std::string& path, const std::string& ext, bool turned, Model& model) {
    PictureFiles seen;
    for (std::size_t i = 0; i < model.parts.size(); ++i) {
        ModelPart& part = model.parts[i];
        if (!part.pictureName.empty() && part.pictureFile.empty()) findPicture(path, part, seen);
        if (litFromInside(*part.mesh)) {
            std::string text = "part " + std::to_string(i + 1) + " '" + part.name +
                               "' is closed and would be lit from inside";
            if (ext != "pob") {
                text += turned ? ": its file winds it against the format's rule, and keeping the "
                                 "file's winding would light it from outside"
                               : "; turning its winding round would light it from outside";
            }
            model.warnings.push_back(text);
        }
    }
}

}  // namespace

bool loadModel(const std::string& path, Model& model, FileError& error,
               const ModelOptions& options) {
    model = Model{};
    error = FileError{path, 0, 0, ""};
    const std::string ext = extensionOf(path);
    // POB is the engine's own winding already; every other format is turned
    // round here unless the caller keeps it.
    bool turned = false;
    if (ext == "pob") {
        std::unique_ptr<Mesh> mesh = loadPob(path.c_str(), error);
        if (!mesh) return false;
        model.parts.push_back({baseName(path), std::move(mesh), {}, {}, {}, {}});
    } else if (ext == "obj") {
        if (!loadObj(path, model, error)) return false;
        if (!options.keepWinding) {
            for (ModelPart& part : model.parts) part.mesh = turnedRound(*part.mesh);
        }
        turned = !options.keepWinding;
#if defined(GLOAM_HAVE_ASSIMP)
    } else if (isImported(ext)) {
        if (!loadImported(path, options, model, error)) return false;
        turned = !options.keepWinding;
#endif
    } else {
        error.reason =
            "not a model this build reads (it reads " + std::string(modelFormats()) + ")";
        return false;
    }

    finish(path, ext, turned, model);
    return true;
}

#if defined(GLOAM_HAVE_ASSIMP)
bool loadSceneModel(const aiScene& scene, const std::string& path, const ModelOptions& options,
                    Model& model, FileError& error) {
    model = Model{};
    error = FileError{path, 0, 0, ""};
    if (!loadImportedScene(scene, path, options, model, error)) return false;
    finish(path, extensionOf(path), !options.keepWinding, model);
    return true;
}
#endif

const char* modelFormats() {
#if defined(GLOAM_HAVE_ASSIMP)
    static const std::string formats = std::string("pob obj ") + importedFormats;
    return formats.c_str();
#else
    return "pob obj";
#endif
}

}  // namespace gloam
