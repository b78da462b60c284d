// gloam-pob's conversions, the whole command as a user runs it (read,
// parse, check, build the meshes, write the POB file atomically): OBJ -> POB
// of a million-vertex grid against tinyobjloader alone parsing the same
// file, and a closed model of a million triangles, as binary glTF and as
// OBJ, against assimp alone reading the same file.

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#if defined(GLOAM_HAVE_ASSIMP)
#include <assimp/scene.h>
#include <assimp/Importer.hpp>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "bench/convert_model.h"
#include "bench/suite.h"
#include "gloam/import/model.h"
#include "gloam/import/obj.h"
#include "gloam/meshio/primitives.h"
#include "gloam/platform/files.h"
#include "tool/commands.h"

using namespace gloam;

namespace {

constexpr int side = 1000;

std::string path(const char* name) { return suite::dataDir() + "/" + name; }

// The grid as the tool itself writes OBJ: positions in tenths, the four
// distinct texture coordinates, faces naming both.
const std::string& objFile() {
    static const std::string file = [] {
        const auto grid = makeGrid(side, side, 0.1f);
        std::string text, reason;
        FileError error;
        if (!formatObj(*grid, text, reason) ||
            !writeFileAtomically(path("convert-grid.obj").c_str(), text.data(), text.size(),
                                 error)) {
            std::fprintf(stderr, "convert benchmark set-up: %s%s\n", reason.c_str(),
                         error.message().c_str());
            std::exit(1);
        }
        return path("convert-grid.obj");
    }();
    return file;
}

void objToPob(benchmark::State& state) {
    const std::vector<std::string> args{"convert", objFile(), path("convert-grid.pob")};
    for (auto _ : state) {
        std::ostringstream out, err;
        if (runTool(args, out, err) != ToolOk) state.SkipWithError("gloam-pob convert failed");
    }
}

void tinyobjParse(benchmark::State& state) {
    const std::string& file = objFile();
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file.c_str()) ||
            attrib.vertices.size() != 3u * side * side) {
            state.SkipWithError("tinyobjloader failed");
        }
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
}

#if defined(GLOAM_HAVE_ASSIMP)
// The whole conversion of one of the large models, as the tool runs it.
void modelToPob(benchmark::State& state, const char* name) {
    const std::string file = convert_model::make(suite::dataDir(), name);
    const std::vector<std::string> args{"convert", file, path("convert-model.pob")};
    for (auto _ : state) {
        std::ostringstream out, err;
        if (runTool(args, out, err) != ToolOk) state.SkipWithError(err.str().c_str());
    }
}

// The library's part of it: loadModel gives the meshes the tool writes.
void modelLoad(benchmark::State& state, const char* name) {
    const std::string file = convert_model::make(suite::dataDir(), name);
    for (auto _ : state) {
        Model model;
        FileError error;
        if (!loadModel(file, model, error)) state.SkipWithError(error.message().c_str());
        benchmark::DoNotOptimize(model.parts.data());
    }
}

// What the importer alone does to read the same file: no post-processing.
void assimpRead(benchmark::State& state, const char* name) {
    const std::string file = convert_model::make(suite::dataDir(), name);
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(file, 0);
        if (!scene || scene->mNumMeshes == 0) state.SkipWithError("assimp failed");
        benchmark::DoNotOptimize(scene);
    }
}
#endif

const bool registered = [] {
    benchmark::RegisterBenchmark("gloam_pob_convert", objToPob)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("tinyobjloader_parse", tinyobjParse)
        ->Unit(benchmark::kMillisecond);
    suite::addRow({"`gloam-pob convert` OBJ → POB", "1000 × 1000 grid (OBJ, 72 MB)",
                   "gloam_pob_convert", "tinyobjloader_parse", suite::Compare::TimeMultiple, 1.0,
                   1.0, 1.3});
#if defined(GLOAM_HAVE_ASSIMP)
    suite::addFiles([] {
        convert_model::make(suite::dataDir(), "convert-model.glb");
        convert_model::make(suite::dataDir(), "convert-model.obj");
    });
    for (const char* name : {"convert-model.glb", "convert-model.obj"}) {
        const std::string format = name[std::strlen(name) - 1] == 'b' ? "glb" : "obj";
        benchmark::RegisterBenchmark(("gloam_pob_convert_" + format).c_str(), modelToPob, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("assimp_read_" + format).c_str(), assimpRead, name)
            ->Unit(benchmark::kMillisecond);
        suite::addRow({"`gloam-pob convert` " +
                           std::string(format == "glb" ? "binary glTF" : "OBJ") + " → POB",
                       convert_model::description(format), "gloam_pob_convert_" + format,
                       "assimp_read_" + format, suite::Compare::TimeMultiple, 1.0, 1.0, 1.25});
    }
    benchmark::RegisterBenchmark("load_model_glb", modelLoad, "convert-model.glb")
        ->Unit(benchmark::kMillisecond);
    suite::addRow({"`loadModel`, binary glTF (the tool's read, no file written)",
                   convert_model::description("glb"), "load_model_glb", "assimp_read_glb",
                   suite::Compare::TimeMultiple, 1.0, 1.0, 0.0});
#endif
    return true;
}();

}  // namespace
