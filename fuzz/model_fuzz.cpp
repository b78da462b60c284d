// Feeds the model path what the importer might return for a hostile file: a
// scene built from the bytes (nodes with any transform and any mesh number,
// meshes with any counts, faces with any corners, null arrays, materials
// naming embedded or outside pictures, embedded pictures of any bytes), taken
// by loadModel's own code from there on. assimp's parsers are not fuzzed
// here: its loaders hang and leak on fuzzed files within seconds, which is
// why everything after them is checked.
//
// Besides not crashing: a rejection must name the file and say why; an
// accepted model must hold meshes whose triangles name their own vertices,
// and pictures of the size they claim with power-of-two sides, or a reason
// for a picture named and not used.
#include <assimp/material.h>
#include <assimp/scene.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "gloam/import/model.h"
#include "gloam/import/model_parts.h"

using namespace gloam;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "model: %s\n", what);
    std::abort();
}

// The input, read as small numbers; zeros once it runs out.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    unsigned next() { return size > 0 ? (--size, *data++) : 0; }
    unsigned below(unsigned n) { return next() % n; }
    bool chance(unsigned in) { return below(in) == 0; }
    // Mostly small numbers, now and then one that is no number or huge.
    float number() {
        switch (const unsigned n = next(); n) {
            case 255:
                return NAN;
            case 254:
                return INFINITY;
            case 253:
                return 3e38f;
            default:
                return (float(n) - 128) / 8;
        }
    }
    std::string text(unsigned most) {
        std::string s(below(most + 1), '\0');
        for (char& c : s) c = char(next());
        return s;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
};

aiMesh* makeMesh(Bytes& in, unsigned materials) {
    auto* mesh = new aiMesh;
    mesh->mNumVertices = in.below(24);
    if (!in.chance(16)) mesh->mVertices = new aiVector3D[mesh->mNumVertices];
    if (in.chance(2)) mesh->mTextureCoords[0] = new aiVector3D[mesh->mNumVertices];
    if (in.chance(3)) mesh->mColors[0] = new aiColor4D[mesh->mNumVertices];
    for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
        if (mesh->mVertices) mesh->mVertices[i] = {in.number(), in.number(), in.number()};
        if (mesh->mTextureCoords[0]) mesh->mTextureCoords[0][i] = {in.number(), in.number(), 0};
        if (mesh->mColors[0]) mesh->mColors[0][i] = {in.number(), in.number(), in.number(), 1};
    }
    mesh->mNumFaces = in.below(16);
    if (!in.chance(16)) mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; mesh->mFaces && f < mesh->mNumFaces; ++f) {
        aiFace& face = mesh->mFaces[f];
        face.mNumIndices = in.below(6);
        if (in.chance(32)) continue;  // corners counted, none given
        face.mIndices = new unsigned[face.mNumIndices];
        for (unsigned c = 0; c < face.mNumIndices; ++c) {
            face.mIndices[c] = in.chance(32) ? 0xFFFFFFFFu : in.below(mesh->mNumVertices + 2);
        }
    }
    mesh->mMaterialIndex = in.below(materials + 2);
    return mesh;
}

aiMaterial* makeMaterial(Bytes& in) {
    auto* material = new aiMaterial;
    const aiString name(in.text(8));
    material->AddProperty(&name, AI_MATKEY_NAME);
    if (in.chance(2)) {
        // An embedded picture's number or a file name. Built in place: GCC 12
        // at -O3 takes "*" + std::string for an overlapping copy and stops.
        std::string named;
        if (in.chance(2)) {
            named = std::to_string(in.below(4));
            named.insert(named.begin(), '*');
        } else {
            named = in.text(12);
        }
        const aiString picture(named);
        material->AddProperty(&picture, AI_MATKEY_TEXTURE_DIFFUSE(0));
    }
    return material;
}

// Compressed (the bytes of a picture file: a TGA header and what follows)
// or raw texels.
aiTexture* makePicture(Bytes& in) {
    auto* texture = new aiTexture;
    texture->mFilename = aiString(in.text(8));
    if (in.chance(2)) {
        const std::uint8_t header[18] = {0,
                                         0,
                                         2,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         std::uint8_t(in.below(5)),
                                         0,
                                         std::uint8_t(in.below(5)),
                                         0,
                                         24,
                                         0x20};
        const unsigned size = 18 + in.below(64);
        texture->pcData = new aiTexel[(size + 3) / 4];
        auto* bytes = reinterpret_cast<std::uint8_t*>(texture->pcData);
        std::memcpy(bytes, header, 18);
        for (unsigned i = 18; i < size; ++i) bytes[i] = std::uint8_t(in.next());
        texture->mWidth = size;
    } else {
        texture->mWidth = in.below(6);
        texture->mHeight = 1 + in.below(5);
        texture->pcData = new aiTexel[texture->mWidth * texture->mHeight];
        for (unsigned i = 0; i < texture->mWidth * texture->mHeight; ++i) {
            texture->pcData[i] = {std::uint8_t(in.next()), std::uint8_t(in.next()),
                                  std::uint8_t(in.next()), std::uint8_t(in.next())};
        }
    }
    return texture;
}

aiNode* makeNode(Bytes& in, unsigned meshes, int depth) {
    auto* node = new aiNode(in.text(6));
    if (!in.chance(2)) {
        float* m = &node->mTransformation.a1;
        for (int i = 0; i < 12; ++i) m[i] = in.number();
    }
    node->mNumMeshes = in.below(3);
    if (!in.chance(32)) {
        node->mMeshes = new unsigned[node->mNumMeshes];
        for (unsigned i = 0; i < node->mNumMeshes; ++i) node->mMeshes[i] = in.below(meshes + 2);
    }
    node->mNumChildren = depth < 3 ? in.below(3) : 0;
    if (node->mNumChildren > 0) {
        node->mChildren = new aiNode*[node->mNumChildren];
        for (unsigned i = 0; i < node->mNumChildren; ++i) {
            node->mChildren[i] = makeNode(in, meshes, depth + 1);
            node->mChildren[i]->mParent = node;
        }
    }
    return node;
}

// The run's own folder, in memory where the system has such a place, for
// the pictures the scene names; gone when the run ends.
struct Folder {
    std::string path;
    Folder() {
        const std::filesystem::path shm = "/dev/shm";
        const auto base =
            std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        path = (base / ("model_fuzz_" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(path);
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

bool powerOfTwo(std::int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    Bytes in(data, size);
    const auto scene = std::make_unique<aiScene>();
    const unsigned meshes = in.below(4), materials = in.below(4), textures = in.below(3);
    const bool keepWinding = in.chance(2);
    scene->mNumMaterials = materials;
    scene->mMaterials = new aiMaterial*[materials];
    for (unsigned i = 0; i < materials; ++i) {
        scene->mMaterials[i] = in.chance(16) ? nullptr : makeMaterial(in);
    }
    scene->mNumMeshes = meshes;
    scene->mMeshes = new aiMesh*[meshes];
    for (unsigned i = 0; i < meshes; ++i) {
        scene->mMeshes[i] = in.chance(16) ? nullptr : makeMesh(in, materials);
    }
    scene->mNumTextures = textures;
    scene->mTextures = new aiTexture*[textures];
    for (unsigned i = 0; i < textures; ++i) scene->mTextures[i] = makePicture(in);
    scene->mRootNode = in.chance(32) ? nullptr : makeNode(in, meshes, 0);

    const std::string path = folder.path + "/model.gltf";
    Model model;
    FileError error;
    if (!loadSceneModel(*scene, path, {keepWinding}, model, error)) {
        if (error.file != path || error.reason.empty()) fail("rejected without its file and why");
        return 0;
    }
    for (const ModelPart& part : model.parts) {
        if (!part.mesh) fail("a part without a mesh");
        const Mesh& mesh = *part.mesh;
        if (mesh.vertCount < 0 || mesh.triCount < 0) fail("negative counts");
        for (std::int32_t k = 0; k < mesh.triCount; ++k) {
            for (const std::int32_t index : *mesh.tris[k]) {
                if (index < 0 || index >= mesh.vertCount) fail("index outside the vertices");
            }
        }
        const Picture& p = part.picture;
        if (p.width != 0 || p.height != 0 || !p.rgb.empty()) {
            if (!powerOfTwo(p.width) || !powerOfTwo(p.height) ||
                p.rgb.size() != 3 * std::size_t(p.width) * std::size_t(p.height)) {
                fail("a picture not of the size it claims, or not of power-of-two sides");
            }
        } else if (!part.pictureName.empty() && part.pictureProblem.empty()) {
            fail("a picture named and not used, without a reason");
        }
    }
    return 0;
}
