// Every model format but POB and OBJ, through assimp. What it returns is
// treated as another reader's output, which a hostile file shaped: every
// count, index and pointer is checked before it is used.

#include <assimp/DefaultIOSystem.h>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "gloam/import/model_parts.h"
#include "gloam/import/polygon.h"

namespace gloam {

namespace {

constexpr std::int64_t maxCount = std::numeric_limits<std::int32_t>::max();
// Far beyond any real scene; a node tree that goes on longer has a loop, and
// one that places meshes more often than this would fill memory with the
// places alone, even if the meshes it places are empty.
constexpr std::size_t maxNodes = std::size_t{1} << 24;

bool isRegularFile(const char* file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error);
}

// How assimp opens the model and every file it names (a glTF file's
// buffers, a material library): regular files only, so that a name leading
// to a device or a pipe cannot be read without end.
class RegularFiles : public Assimp::DefaultIOSystem {
public:
    bool Exists(const char* file) const override { return isRegularFile(file); }
    Assimp::IOStream* Open(const char* file, const char* mode) override {
        return isRegularFile(file) ? DefaultIOSystem::Open(file, mode) : nullptr;
    }
};

// A node's transform to the model's space, in double, row by row.
struct Transform {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    Transform then(const aiMatrix4x4& local) const {
        const double l[3][4] = {{local.a1, local.a2, local.a3, local.a4},
                                {local.b1, local.b2, local.b3, local.b4},
                                {local.c1, local.c2, local.c3, local.c4}};
        Transform out;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                out.m[r][c] = m[r][0] * l[0][c] + m[r][1] * l[1][c] + m[r][2] * l[2][c] +
                              (c == 3 ? m[r][3] : 0.0);
            }
        }
        return out;
    }
    bool identity() const {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                if (m[r][c] != (r == c ? 1.0 : 0.0)) return false;
            }
        }
        return true;
    }
    // A mirroring transform reverses which way a face's corners run.
    bool mirrors() const {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                   m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                   m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]) <
               0;
    }
};

struct Instance {
    unsigned mesh;
    Transform transform;
};

struct PartPlan {
    std::int64_t vertices = 0;
    std::int64_t triangles = 0;
    bool used = false;
};

// Names are fixed-size buffers whose length field is the importer's word.
std::string nameOf(const aiString& name) {
    return std::string(name.data, std::min<std::size_t>(name.length, sizeof name.data - 1));
}

std::string count(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// 0..1 to the engine's 0..255, truncated as every conversion of the engine
// is; a colour the file stored as a byte comes back as that byte.
std::int32_t channel(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return std::int32_t(double(value) * 255.0);
}

// A picture the file holds itself: the one a "*N" name points at, or the one
// stored under the same last name (as FBX files keep theirs).
const aiTexture* embeddedPicture(const aiScene& scene, const std::string& name) {
    if (scene.mNumTextures == 0 || !scene.mTextures) return nullptr;
    if (name.size() > 1 && name[0] == '*') {
        unsigned index = 0;
        for (std::size_t i = 1; i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9' || index > scene.mNumTextures) return nullptr;
            index = index * 10 + unsigned(name[i] - '0');
        }
        return index < scene.mNumTextures ? scene.mTextures[index] : nullptr;
    }
    const auto last = [](const std::string& path) {
        const std::size_t slash = path.find_last_of("/\\");
        return slash == std::string::npos ? path : path.substr(slash + 1);
    };
    for (unsigned i = 0; i < scene.mNumTextures; ++i) {
        const aiTexture* texture = scene.mTextures[i];
        if (texture && texture->mFilename.length > 0 &&
            last(nameOf(texture->mFilename)) == last(name)) {
            return texture;
        }
    }
    return nullptr;
}

void decodeEmbedded(const aiTexture& texture, const std::string& modelPath, ModelPart& part) {
    if (!texture.pcData) {
        part.pictureProblem = part.pictureName + " is embedded without its pixels";
        return;
    }
    if (texture.mHeight == 0) {
        // Compressed: the bytes of a picture file, mWidth of them.
        decodePartPicture(reinterpret_cast<const std::uint8_t*>(texture.pcData), texture.mWidth,
                          modelPath, part);
        return;
    }
    // Raw blue, green, red, alpha texels, top row first: the pixels of an
    // uncompressed TGA file, which the picture decoder takes like any other.
    if (texture.mWidth > 0xFFFF || texture.mHeight > 0xFFFF ||
        std::uint64_t(texture.mWidth) * texture.mHeight > (std::uint64_t{1} << 26)) {
        part.pictureFile = modelPath;
        part.pictureProblem = part.pictureName + " is embedded at " +
                              std::to_string(texture.mWidth) + " x " +
                              std::to_string(texture.mHeight) + " pixels, more than is read";
        return;
    }
    const std::size_t pixels = std::size_t(texture.mWidth) * texture.mHeight;
    std::vector<std::uint8_t> tga(18 + 4 * pixels, 0);
    tga[2] = 2;
    tga[12] = std::uint8_t(texture.mWidth), tga[13] = std::uint8_t(texture.mWidth >> 8);
    tga[14] = std::uint8_t(texture.mHeight), tga[15] = std::uint8_t(texture.mHeight >> 8);
    tga[16] = 32, tga[17] = 0x28;
    std::memcpy(tga.data() + 18, texture.pcData, 4 * pixels);
    decodePartPicture(tga.data(), tga.size(), modelPath, part);
}

class SceneReader {
public:
    SceneReader(const std::string& path, const ModelOptions& options, Model& model,
                FileError& error)
        : path(path), options(options), model(model), error(error) {}

    // Reads the file through assimp, then takes what it returns.
    bool read() {
        std::error_code fault;
        const auto status = std::filesystem::status(path, fault);
        if (fault) return refuse(fault.message());
        if (std::filesystem::is_directory(status)) return refuse("is a directory");
        if (!std::filesystem::is_regular_file(status)) {
            return refuse("is not a regular file, and models of this format are read from files");
        }
        importer.SetIOHandler(new RegularFiles);
        // A skinned model without meshes is not drawn as its bones.
        importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
        // No post-processing: polygons are covered here, exactly, rather
        // than by the importer's ear clipping, which overlaps on polygons
        // with holes cut open along a bridge.
        scene = importer.ReadFile(path, 0);
        if (!scene) {
            const char* why = importer.GetErrorString();
            return refuse(why && *why ? why : "the importer cannot read it");
        }
        return take();
    }

    // Takes a scene the caller made (and keeps).
    bool read(const aiScene& given) {
        scene = &given;
        return take();
    }

private:
    bool refuse(const std::string& reason) {
        error.reason = reason;
        return false;
    }

    bool take() { return findInstances() && planParts() && fillParts(); }

    bool findInstances() {
        if (!scene->mRootNode) return refuse("holds no node to place its meshes");
        struct Pending {
            const aiNode* node;
            Transform parent;
        };
        std::vector<Pending> pending{{scene->mRootNode, {}}};
        std::size_t visited = 0;
        while (!pending.empty()) {
            const Pending next = pending.back();
            pending.pop_back();
            if (++visited > maxNodes) {
                return refuse("has more than " + std::to_string(maxNodes) + " nodes");
            }
            const aiNode& node = *next.node;
            const Transform here = next.parent.then(node.mTransformation);
            if ((node.mNumMeshes > 0 && !node.mMeshes) ||
                (node.mNumChildren > 0 && !node.mChildren)) {
                return refuse("node '" + nameOf(node.mName) + "' lists what it does not hold");
            }
            for (unsigned i = 0; i < node.mNumMeshes; ++i) {
                const unsigned mesh = node.mMeshes[i];
                if (mesh >= scene->mNumMeshes || !scene->mMeshes || !scene->mMeshes[mesh]) {
                    return refuse("node '" + nameOf(node.mName) + "' names mesh " +
                                  std::to_string(mesh) + " of " +
                                  std::to_string(scene->mNumMeshes));
                }
                if (instances.size() == maxNodes) {
                    return refuse("places its meshes more than " + std::to_string(maxNodes) +
                                  " times");
                }
                instances.push_back({mesh, here});
            }
            // Children in reverse, so that they come off the stack in order.
            for (unsigned i = node.mNumChildren; i-- > 0;) {
                if (node.mChildren[i]) pending.push_back({node.mChildren[i], here});
            }
        }
        return true;
    }

    // The triangles of one mesh (-1 before they are counted), checked once
    // however many nodes place it.
    bool countTriangles(unsigned index, std::int64_t& triangles) {
        if (meshTriangles[index] >= 0) {
            triangles = meshTriangles[index];
            return true;
        }
        const aiMesh& mesh = *scene->mMeshes[index];
        const std::string name = "mesh '" + nameOf(mesh.mName) + "'";
        if ((mesh.mNumFaces > 0 && !mesh.mFaces) || (mesh.mNumVertices > 0 && !mesh.mVertices)) {
            return refuse(name + " lists what it does not hold");
        }
        triangles = 0;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices > 0 && !face.mIndices) {
                return refuse(name + ", face " + std::to_string(f) + " has no corners");
            }
            for (unsigned c = 0; c < face.mNumIndices; ++c) {
                if (face.mIndices[c] >= mesh.mNumVertices) {
                    return refuse(name + ", face " + std::to_string(f) + ": vertex index " +
                                  std::to_string(face.mIndices[c]) + " is outside 0.." +
                                  std::to_string(std::int64_t(mesh.mNumVertices) - 1));
                }
            }
            if (face.mNumIndices < 3) {
                ++linesAndPoints;
            } else {
                triangles += face.mNumIndices - 2;
            }
        }
        if (mesh.mMaterialIndex >= scene->mNumMaterials || !scene->mMaterials ||
            !scene->mMaterials[mesh.mMaterialIndex]) {
            return refuse(name + " names material " + std::to_string(mesh.mMaterialIndex) + " of " +
                          std::to_string(scene->mNumMaterials));
        }
        meshTriangles[index] = triangles;
        return true;
    }

    bool planParts() {
        meshTriangles.assign(scene->mNumMeshes, -1);
        plans.assign(scene->mNumMaterials, {});
        for (const Instance& instance : instances) {
            std::int64_t triangles = 0;
            if (!countTriangles(instance.mesh, triangles)) return false;
            // A mesh of lines or points alone adds no vertices either.
            if (triangles == 0) continue;
            const aiMesh& mesh = *scene->mMeshes[instance.mesh];
            PartPlan& plan = plans[mesh.mMaterialIndex];
            plan.used = true;
            plan.vertices += mesh.mNumVertices;
            plan.triangles += triangles;
            if (plan.vertices > maxCount || plan.triangles > maxCount) {
                return refuse("material " + std::to_string(mesh.mMaterialIndex) +
                              " has more than " + std::to_string(maxCount) +
                              " vertices or triangles");
            }
        }
        return true;
    }

    std::string partName(unsigned material) const {
        aiString name;
        const bool named = scene->mMaterials[material]->Get(AI_MATKEY_NAME, name) == AI_SUCCESS &&
                           name.length > 0 && nameOf(name) != AI_DEFAULT_MATERIAL_NAME;
        if (named) return nameOf(name);
        // A model without materials is named after its file.
        const auto used = std::count_if(plans.begin(), plans.end(),
                                        [](const PartPlan& plan) { return plan.used; });
        return used == 1 ? std::filesystem::path(path).filename().string()
                         : "material " + std::to_string(material);
    }

    void findPictureName(unsigned material, ModelPart& part) const {
        const aiMaterial& m = *scene->mMaterials[material];
        for (const aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}) {
            aiString name;
            if (m.GetTextureCount(type) > 0 && m.GetTexture(type, 0, &name) == AI_SUCCESS &&
                name.length > 0) {
                part.pictureName = nameOf(name);
                if (const aiTexture* embedded = embeddedPicture(*scene, part.pictureName)) {
                    decodeEmbedded(*embedded, path, part);
                }
                return;
            }
        }
    }

    struct Arrays {
        LargeArray<Vertex> vertices;
        LargeArray<Triangle> triangles;
        LargeArray<TriangleUV> uvs;
        std::int64_t vertexCount = 0;
        std::int64_t triangleCount = 0;
        std::int64_t triangleRoom = 0;
    };

    bool place(const Instance& instance, Arrays& into) {
        const aiMesh& mesh = *scene->mMeshes[instance.mesh];
        const std::int32_t base = std::int32_t(into.vertexCount);
        const bool identity = instance.transform.identity();
        const auto& m = instance.transform.m;
        const aiColor4D* colours = mesh.mColors[0];
        for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
            Vertex& v = into.vertices[std::size_t(base) + i];
            const aiVector3D& p = mesh.mVertices[i];
            if (identity) {
                v.setPosition(p.x, p.y, p.z);
            } else {
                double placed[3];
                for (int r = 0; r < 3; ++r) {
                    placed[r] = m[r][0] * p.x + m[r][1] * p.y + m[r][2] * p.z + m[r][3];
                    if (std::isfinite(placed[r]) &&
                        std::fabs(placed[r]) > std::numeric_limits<float>::max()) {
                        return refuse("mesh '" + nameOf(mesh.mName) + "', vertex " +
                                      std::to_string(i) + ": beyond float range where its node " +
                                      "places it");
                    }
                }
                v.setPosition(float(placed[0]), float(placed[1]), float(placed[2]));
            }
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) ++nonFinite;
            if (colours) {
                v.red = channel(colours[i].r);
                v.green = channel(colours[i].g);
                v.blue = channel(colours[i].b);
            }
        }
        into.vertexCount += mesh.mNumVertices;

        // glTF has it that a mirroring node reverses the faces' winding,
        // which the engine's rule then has to turn back.
        const bool turn = !options.keepWinding != instance.transform.mirrors();
        const aiVector3D* uv = mesh.mTextureCoords[0];
        const auto emit = [&](unsigned a, unsigned b, unsigned c) {
            const unsigned corners[3] = {a, turn ? c : b, turn ? b : c};
            Triangle& t = into.triangles[std::size_t(into.triangleCount)];
            TriangleUV& tuv = into.uvs[std::size_t(into.triangleCount)];
            for (std::size_t k = 0; k < 3; ++k) {
                t[k] = base + std::int32_t(corners[k]);
                tuv[k] = uv ? TexCoord{uv[corners[k]].x, uv[corners[k]].y} : TexCoord{};
            }
            ++into.triangleCount;
        };
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices < 3) continue;
            if (face.mNumIndices == 3) {
                emit(face.mIndices[0], face.mIndices[1], face.mIndices[2]);
                continue;
            }
            // A polygon, covered exactly where it can be, in the plane its
            // node places it in.
            corners.clear();
            for (unsigned c = 0; c < face.mNumIndices; ++c) {
                const Vertex& v = into.vertices[std::size_t(base) + face.mIndices[c]];
                corners.push_back({v.x, v.y, v.z});
            }
            cover.clear();
            const PolygonCover outcome = splitter.split(corners, cover);
            // Exact covers never need more triangles than a fan; the arrays
            // were sized for that.
            if (outcome == PolygonCover::Exact &&
                into.triangleCount + std::int64_t(cover.size()) <= into.triangleRoom) {
                for (const Triangle& t : cover) {
                    emit(face.mIndices[t[0]], face.mIndices[t[1]], face.mIndices[t[2]]);
                }
            } else if (outcome == PolygonCover::NoArea) {
                ++flatPolygons;
            } else if (uncovered++ == 0) {
                firstUncovered = "mesh '" + nameOf(mesh.mName) + "', face " + std::to_string(f) +
                                 " (" + std::to_string(face.mNumIndices) + " corners)";
            }
        }
        return true;
    }

    bool fillParts() {
        std::vector<Arrays> arrays(plans.size());
        for (unsigned material = 0; material < plans.size(); ++material) {
            const PartPlan& plan = plans[material];
            if (!plan.used) continue;
            ModelPart part;
            part.name = partName(material);
            findPictureName(material, part);
            model.parts.push_back(std::move(part));
            Arrays& a = arrays[material];
            a.vertices = makeLargeArray<Vertex>(std::size_t(plan.vertices));
            a.triangles = makeLargeArrayForOverwrite<Triangle>(std::size_t(plan.triangles));
            a.uvs = makeLargeArrayForOverwrite<TriangleUV>(std::size_t(plan.triangles));
            a.triangleRoom = plan.triangles;
        }
        for (const Instance& instance : instances) {
            const aiMesh& mesh = *scene->mMeshes[instance.mesh];
            if (meshTriangles[instance.mesh] > 0 && !place(instance, arrays[mesh.mMaterialIndex])) {
                return false;
            }
        }
        // The meshes are built once the importer's copy is gone.
        importer.FreeScene();
        scene = nullptr;
        std::size_t next = 0;
        for (unsigned material = 0; material < plans.size(); ++material) {
            if (!plans[material].used) continue;
            Arrays& a = arrays[material];
            model.parts[next++].mesh = std::make_unique<Mesh>(
                std::int32_t(a.vertexCount), std::move(a.vertices), std::int32_t(a.triangleCount),
                std::move(a.triangles), std::move(a.uvs));
        }
        if (linesAndPoints > 0) {
            model.notes.push_back(count(linesAndPoints, "line or point", "lines and points") +
                                  " left out: the engine draws triangles");
        }
        if (flatPolygons > 0) {
            model.notes.push_back(count(flatPolygons, "polygon", "polygons") +
                                  " of no area (corners on one line) left out");
        }
        if (uncovered > 0) {
            model.warnings.push_back(
                count(uncovered,
                      "polygon crosses itself, winds round twice or has too many corners, so "
                      "that no triangles between its corners cover it exactly; it is",
                      "polygons cross themselves, wind round twice or have too many corners, so "
                      "that no triangles between their corners cover them exactly; they are") +
                " left out (the first: " + firstUncovered + ")");
        }
        if (nonFinite > 0) {
            model.warnings.push_back(nonFinite == 1
                                         ? "1 vertex has a position that is not a finite number"
                                         : std::to_string(nonFinite) +
                                               " vertices have positions that are not finite "
                                               "numbers");
        }
        return true;
    }

    const std::string& path;
    const ModelOptions& options;
    Model& model;
    FileError& error;
    Assimp::Importer importer;
    const aiScene* scene = nullptr;
    std::vector<Instance> instances;
    std::vector<std::int64_t> meshTriangles;
    std::vector<PartPlan> plans;
    std::int64_t linesAndPoints = 0;
    std::int64_t nonFinite = 0;
    std::int64_t flatPolygons = 0;
    std::int64_t uncovered = 0;
    std::string firstUncovered;
    PolygonSplitter splitter;
    std::vector<Vec3> corners;
    std::vector<Triangle> cover;
};

}  // namespace

bool loadImported(const std::string& path, const ModelOptions& options, Model& model,
                  FileError& error) {
    return SceneReader(path, options, model, error).read();
}

bool loadImportedScene(const aiScene& scene, const std::string& path, const ModelOptions& options,
                       Model& model, FileError& error) {
    return SceneReader(path, options, model, error).read(scene);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
// assimp comes built without the sanitizers and leaks on some of the paths
// where it rejects a file; what it leaks is its own, and would hide ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libassimp.so\n"; }
#endif
#endif

}  // namespace gloam
