#pragma once

// What the model readers share: the winding turn, the closed-part check and
// the picture lookup. Not installed.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "gloam/geometry/mesh.h"
#include "gloam/import/model.h"

struct aiScene;

namespace gloam {

// The same mesh with every triangle turned round (corners 0 2 1, with their
// texture coordinates) and its normals computed again; `mesh` gives up its
// vertices to it.
std::unique_ptr<Mesh> turnedRound(Mesh& mesh);

// True when the triangles, taken by their corners' positions, close a surface
// (every edge is run once each way, by two triangles) that encloses a
// positive volume with the faces' normals (P1 - P0) x (P2 - P0): the engine
// then lights it from inside.
bool litFromInside(const Mesh& mesh);

// Pictures already read for one model, by the file they came from, so that
// parts sharing a picture decode it once.
using PictureFiles = std::map<std::string, std::pair<Picture, std::string>>;

// Looks for the picture `part.pictureName` names, for the model at
// `modelPath`, and fills the part's picture, or its reason for having none.
void findPicture(const std::string& modelPath, ModelPart& part, PictureFiles& seen);

// Decodes a picture held in memory into the part, or says why it could not.
void decodePartPicture(const std::uint8_t* data, std::size_t size, const std::string& from,
                       ModelPart& part);

#if defined(GLOAM_HAVE_ASSIMP)
// Reads any format of importedFormats() through assimp into `model`, turning
// the winding round unless asked to keep it. The pictures the materials name
// are left to findPicture, apart from those the file embeds.
bool loadImported(const std::string& path, const ModelOptions& options, Model& model,
                  FileError& error);

// The same for a scene already in memory, as if assimp had read it from
// `path`: the checks of everything assimp returns, on their own.
bool loadImportedScene(const aiScene& scene, const std::string& path, const ModelOptions& options,
                       Model& model, FileError& error);

// loadModel's whole work after the importer, on such a scene: the parts,
// their pictures and the closed-part check.
bool loadSceneModel(const aiScene& scene, const std::string& path, const ModelOptions& options,
                    Model& model, FileError& error);
#endif

}  // namespace gloam
