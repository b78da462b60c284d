// gloam-pob's OBJ -> POB conversion of a million-vertex grid, the whole
// command as a user runs it (read, parse, check, build the mesh, write the
// POB file atomically), against tinyobjloader alone parsing the same file.

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/suite.h"
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

const bool registered = [] {
    benchmark::RegisterBenchmark("gloam_pob_convert", objToPob)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("tinyobjloader_parse", tinyobjParse)
        ->Unit(benchmark::kMillisecond);
    suite::addRow({"`gloam-pob convert` OBJ → POB", "1000 × 1000 grid (OBJ, 72 MB)",
                   "gloam_pob_convert", "tinyobjloader_parse", suite::Compare::TimeMultiple, 1.0,
                   1.0, 1.3});
    return true;
}();

}  // namespace
