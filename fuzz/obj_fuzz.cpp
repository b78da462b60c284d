// Feeds arbitrary bytes to the OBJ reader, which is third-party parsing under
// our checks, and to the material library reader. Besides not crashing: a
// rejection must say where and why; every part must name only its own
// vertices, a model of one part must come back from the OBJ writer as the
// same POB file; and the tool's edits must stay defined.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gloam/import/obj.h"
#include "gloam/meshio/pob.h"
#include "tool/mesh_edit.h"

using namespace gloam;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "obj: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The same bytes as a material library.
    std::vector<ObjMaterial> materials;
    FileError error;
    if (!readMtl(text, materials, error) &&
        (error.line < 1 || error.column < 1 || error.reason.empty())) {
        fail("material library rejected without a place and a reason");
    }
    ObjModel model;
    // A low limit lets the fuzzer reach the count checks.
    if (!readObj(text, model, error, 1000)) {
        if (error.line < 1 || error.column < 1 || error.reason.empty()) {
            fail("rejected without a place and a reason");
        }
        return 0;
    }
    for (const ObjPart& part : model.parts) {
        for (std::int32_t k = 0; k < part.mesh->triCount; ++k) {
            for (const std::int32_t index : *part.mesh->tris[k]) {
                if (index < 0 || index >= part.mesh->vertCount) fail("index outside the vertices");
            }
        }
    }
    if (model.parts.size() != 1) return 0;
    Mesh& mesh = *model.parts[0].mesh;

    std::string obj, reason;
    if (!formatObj(mesh, obj, reason)) fail("the writer refused what the reader gave");
    ObjModel again;
    if (!readObj(obj, again, error)) fail("the written OBJ was rejected");
    const std::string pob = formatPob(mesh);
    if (formatPob(*again.parts.at(0).mesh) != pob) fail("the round trip changed the mesh");

    MeshEdit edit;
    edit.scale = size % 2 ? 1e30 : -0.5;
    edit.centre = size % 3 == 0;
    edit.floor = size % 5 == 0;
    edit.flipWinding = edit.flipV = true;
    const bool edited = editMesh(mesh, edit, reason);
    if (mesh.triCount > 0) {
        // A mirroring scale turns the triangles round once more.
        Triangle flipped = *again.parts[0].mesh->tris[0];
        if (edited && edit.scale > 0) std::swap(flipped[1], flipped[2]);
        if (*mesh.tris[0] != flipped) {
            fail("the edit did not turn the triangles round as asked, or failed halfway");
        }
    }
    return 0;
}
