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
// (modelFormats() lists them). False, with the file, the place where there is
// one and the reason in `error`, when the file cannot be read, is no model
// of its kind, or holds more than the engine can count.
bool loadModel(const std::string& path, Model& model, FileError& error);

// The extensions loadModel reads in this build, lower case, separated by
// spaces ("pob obj").
const char* modelFormats();

}  // namespace gloam
