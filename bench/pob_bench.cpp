// The POB reader and writer on a million-vertex grid, against
// tinyobjloader reading the same mesh as OBJ and fprintf writing the same
// numbers.

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "bench/suite.h"
#include "gloam/geometry/mesh.h"
#include "gloam/meshio/pob.h"
#include "gloam/meshio/primitives.h"

using namespace gloam;

namespace {

// Positions in tenths, so that most numbers take the general float path
// rather than the short one for whole numbers.
constexpr int side = 1000;
constexpr float spacing = 0.1f;

std::string path(const char* name) { return suite::dataDir() + "/" + name; }

std::string slurp(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "pob benchmark set-up: %s\n", what);
    std::exit(1);
}

// The writer as printf would have it: same layout, same numbers.
void printPob(const Mesh& mesh, const char* fileName) {
    std::FILE* f = std::fopen(fileName, "wb");
    if (!f) fail("cannot write the printf copy");
    std::fprintf(f, "POBFILE\n#Number of Vertices, Number of Indices\n%d %d\n", mesh.vertCount,
                 mesh.triCount);
    std::fprintf(f, "#Vertex Definitions, 1 per line, x,y,z\n");
    for (int i = 0; i < mesh.vertCount; ++i) {
        const Vertex& v = mesh.verts[i];
        std::fprintf(f, "%g %g %g\n", double(v.x), double(v.y), double(v.z));
    }
    std::fprintf(f, "#Triangles, 1 per line, vertex num for point 1,2,3\n");
    for (int k = 0; k < mesh.triCount; ++k) {
        const Triangle& t = *mesh.tris[k];
        std::fprintf(f, "%d %d %d\n", t[0], t[1], t[2]);
    }
    std::fprintf(f, "#TCoords, tu, tv pairs, 3 per triangle\n");
    for (int k = 0; k < mesh.triCount; ++k) {
        const TriangleUV& uv = *mesh.triUVs[k];
        std::fprintf(f, "%g %g %g %g %g %g\n", double(uv[0].tu), double(uv[0].tv), double(uv[1].tu),
                     double(uv[1].tv), double(uv[2].tu), double(uv[2].tv));
    }
    std::fclose(f);
}

// The same mesh as OBJ: positions, one texture coordinate per triangle
// corner (as POB keeps them), and faces naming both.
void writeObj(const Mesh& mesh, const char* fileName) {
    std::FILE* f = std::fopen(fileName, "wb");
    if (!f) fail("cannot write the OBJ copy");
    for (int i = 0; i < mesh.vertCount; ++i) {
        const Vertex& v = mesh.verts[i];
        std::fprintf(f, "v %g %g %g\n", double(v.x), double(v.y), double(v.z));
    }
    for (int k = 0; k < mesh.triCount; ++k) {
        for (const TexCoord& c : *mesh.triUVs[k]) {
            std::fprintf(f, "vt %g %g\n", double(c.tu), double(c.tv));
        }
    }
    for (int k = 0; k < mesh.triCount; ++k) {
        const Triangle& t = *mesh.tris[k];
        std::fprintf(f, "f %d/%d %d/%d %d/%d\n", t[0] + 1, 3 * k + 1, t[1] + 1, 3 * k + 2, t[2] + 1,
                     3 * k + 3);
    }
    std::fclose(f);
}

struct Files {
    std::unique_ptr<Mesh> mesh;
};

// Made once: the mesh, its POB and OBJ files, and a check that the printf
// writer really writes what savePob does.
Files& files() {
    static Files made = [] {
        Files f{makeGrid(side, side, spacing)};
        if (!f.mesh->savePob(path("grid.pob").c_str())) fail("savePob failed");
        printPob(*f.mesh, path("grid-printf.pob").c_str());
        if (slurp(path("grid.pob")) != slurp(path("grid-printf.pob"))) {
            fail("savePob and printf disagree");
        }
        writeObj(*f.mesh, path("grid.obj").c_str());
        return f;
    }();
    return made;
}

void loadPobFile(benchmark::State& state) {
    const std::string file = (files(), path("grid.pob"));
    for (auto _ : state) {
        std::unique_ptr<Mesh> mesh = loadPob(file.c_str());
        if (!mesh) state.SkipWithError("loadPob failed");
        benchmark::DoNotOptimize(mesh.get());
    }
}

void loadObjFile(benchmark::State& state) {
    const std::string file = (files(), path("grid.obj"));
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

void savePobFile(benchmark::State& state) {
    Mesh& mesh = *files().mesh;
    const std::string file = path("out.pob");
    for (auto _ : state) {
        if (!mesh.savePob(file.c_str())) state.SkipWithError("savePob failed");
    }
}

void printPobFile(benchmark::State& state) {
    Mesh& mesh = *files().mesh;
    const std::string file = path("out-printf.pob");
    for (auto _ : state) printPob(mesh, file.c_str());
}

const bool registered = [] {
    suite::addFiles([] { files(); });
    benchmark::RegisterBenchmark("loadPob", loadPobFile)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("tinyobjloader", loadObjFile)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("savePob", savePobFile)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("fprintf_pob", printPobFile)->Unit(benchmark::kMillisecond);
    const std::string grid = "1000 × 1000 grid";
    suite::addRow({"`loadPob`", grid + " (POB; OBJ for the baseline)", "loadPob", "tinyobjloader",
                   suite::Compare::SpeedUp, 1.0, 1.0, 4.0});
    suite::addRow({"`Mesh::savePob`", grid, "savePob", "fprintf_pob", suite::Compare::SpeedUp, 1.0,
                   1.0, 2.5});
    return true;
}();

}  // namespace
