#pragma once

// Models from other tools, as the engine draws them: a model is a list of
// parts, each the triangles of one material as a Mesh, with the picture its
// material shows.
//
//   gloam::Model model;
//   gloam::FileError error;
//   if (!gloam::loadModel("chair.obj", model, error)) {
//       std::fprintf(stderr, "%s\n", error.message().c_str());   // "chair.obj:12:3: ..."
//       return 1;
//   }
//   for (gloam::ModelPart& part : model.parts) ...part.mesh, part.picture...

#include <memory>
#include <string>
#include <vector>

#include "gloam/geometry/mesh.h"
#include "gloam/import/picture.h"
#include "gloam/platform/files.h"

namespace gloam {

// The triangles of one material.
struct ModelPart {
    // The material's name, or the file's for a model without materials.
    std::string name;
    // Source vertices in the file's own units, made by the one Mesh
    // constructor (so with normals); never null in a loaded model.
    std::unique_ptr<Mesh> mesh;
    // The base-colour picture as the model names it (a path as written in
    // the file), before it is looked for; empty when it names none.
    std::string pictureName;
    // The material's base-colour picture, ready for the engine: power-of-two
    // sides, red, green and blue, bottom row first. Empty (0 × 0) when the
    // part has none or it could not be used; `pictureProblem` says which.
    Picture picture;
    // The file the picture was read from; empty when it has none.
    std::string pictureFile;
    // Why a picture the material names is not used (not found, does not
    // decode); empty otherwise.
    std::string pictureProblem;
};

// How loadModel reads a model.
struct ModelOptions {
    // Every format but POB runs a face's corners counter-clockwise seen from
    // the side it shows, while the engine lights the side from which they run
    // clockwise: by default each triangle is turned round (corners 0 2 1) so
    // that the model is lit from outside. True keeps the file's order.
    bool keepWinding = false;
};

struct Model {
    std::vector<ModelPart> parts;
    // What the reader left out or mended, one sentence each, for the user:
    // notes for what was expected, warnings for what may show. A sentence
    // about one line of the file starts with its number and a colon
    // ("12: ..."), to follow the file's name as in an error message.
    std::vector<std::string> notes;
    std::vector<std::string> warnings;
};

// Reads the model at `path`, choosing the reader by the file's extension
// (modelFormats() lists them): one part per material that has triangles, in
// the order of the file's materials, with node transforms baked into the
// positions, the first set of texture coordinates per corner and vertex
// colours (0..255) where the file has them. Lines and points are left out
// with a note. Each part's picture is decoded from the model itself when it
// is embedded, or else looked for as named, relative to the model's folder,
// and then by the name's last component in that folder. A closed part that
// would still be lit from inside gets a warning.
//
// False, with the file, the place where there is one and the reason in
// `error`, when the file cannot be read, is no model of its kind, names
// vertices or materials it does not have, or holds more than the engine can
// count (2^31 - 1 vertices or triangles in a part). A picture that cannot be
// used does not fail the model: its part keeps no picture and says why.
bool loadModel(const std::string& path, Model& model, FileError& error,
               const ModelOptions& options = {});

// The extensions loadModel reads in this build, lower case, separated by
// spaces ("pob obj" where the build has no importer for other formats).
const char* modelFormats();

}  // namespace gloam
