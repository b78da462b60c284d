#include "gloam/import/model.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

#include "gloam/import/file_bytes.h"
#include "gloam/import/model_parts.h"
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

// A file an OBJ file names, such as a material library: as written,
// relative to the model's folder, then by the name's last component in that
// folder (exporters often write the artist's own absolute path). Empty when
// neither is there.
std::string findBesideModel(const std::string& modelPath, const std::string& name) {
    const std::size_t slash = modelPath.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : modelPath.substr(0, slash + 1);
    const bool absolute =
        name.starts_with('/') || name.starts_with('\\') || (name.size() > 1 && name[1] == ':');
    for (const std::string& candidate :
         {absolute ? name : folder + name, folder + baseName(name)}) {
        std::error_code failed;
        if (std::filesystem::is_regular_file(candidate, failed)) return candidate;
    }
    return "";
}

// The materials of the libraries an `mtllib` statement names: the whole
// rest of its line as one file name first, for names with blanks, then
// each word of it.
void readLibraries(const std::string& modelPath, const std::string& names,
                   std::vector<ObjMaterial>& materials, Model& model) {
    std::vector<std::string> files{names};
    if (findBesideModel(modelPath, names).empty()) {
        files.clear();
        for (std::size_t p = 0; (p = names.find_first_not_of(" \t", p)) != std::string::npos;) {
            const std::size_t end = std::min(names.find_first_of(" \t", p), names.size());
            files.push_back(names.substr(p, end - p));
            p = end;
        }
    }
    for (const std::string& name : files) {
        const std::string file = findBesideModel(modelPath, name);
        FileBytes text;
        FileError error{file, 0, 0, ""};
        std::vector<ObjMaterial> read;
        if (file.empty()) {
            model.warnings.push_back("material library '" + name +
                                     "' is not in the model's folder");
        } else if (!readFileBytes(file, text, error, startsAsText) ||
                   !readMtl(text.view(), read, error)) {
            model.warnings.push_back("material library " + error.message());
        }
        materials.insert(materials.end(), read.begin(), read.end());
    }
}

bool loadObj(const std::string& path, Model& model, FileError& error) {
    FileBytes text;
    if (!readFileBytes(path, text, error, startsAsText)) return false;
    ObjModel obj;
    if (!readObj(text.view(), obj, error)) return false;
    const ObjNotes& notes = obj.notes;
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
    if (notes.verticesLeftOut > 0) {
        model.notes.push_back(count(notes.verticesLeftOut, "vertex", "vertices") +
                              " that no face uses left out of the parts");
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

    std::vector<ObjMaterial> materials;
    for (const std::string& names : obj.libraries) readLibraries(path, names, materials, model);
    std::vector<std::string> unknown;
    for (ObjPart& part : obj.parts) {
        std::string picture;
        if (!part.material.empty()) {
            const auto found =
                std::find_if(materials.begin(), materials.end(),
                             [&](const ObjMaterial& m) { return m.name == part.material; });
            if (found != materials.end()) {
                picture = found->picture;
            } else if (!obj.libraries.empty()) {
                unknown.push_back("'" + part.material + "'");
            }
        }
        model.parts.push_back({part.material.empty() ? baseName(path) : part.material,
                               std::move(part.mesh),
                               picture,
                               {},
                               {},
                               {}});
    }
    if (!unknown.empty()) {
        std::string list;
        for (const std::string& name : unknown) list += (list.empty() ? "" : ", ") + name;
        model.warnings.push_back(
            (unknown.size() == 1 ? "material " + list + " is" : "materials " + list + " are") +
            " in none of its material libraries; " +
            (unknown.size() == 1 ? "its part has" : "their parts have") + " no picture");
    }
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
            std::string text = "part #" + std::to_string(i + 1) + " '" + part.name +
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
