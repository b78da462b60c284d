// A grid mesh through one frame's per-vertex work, as the demo does it for a
// lit shadow caster (update, the three scene lights, the shadow), against a
// plain copy of the same vertex array.

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "bench/suite.h"
#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"
#include "gloam/meshio/primitives.h"

using namespace gloam;

namespace {

struct Scene {
    std::unique_ptr<Mesh> mesh;
    // The demo's lights in its order, with their first frame's settings.
    DirectionalLight sun{255, 255, 255, -0.4f, 0.0f, -0.4f};
    AmbientLight ambient{0, 0, 0};
    PointLight lamp{0, 0, 255, 5.0f, 120.0f, 5.0f, 80.0f};
    Light* lights[3] = {&sun, &ambient, &lamp};

    explicit Scene(int side) : mesh(makeGrid(side, side, 1.0f)) {
        // Turned on every axis and moved, so no step is trivial.
        mesh->setRotation(0.3f, 1.28f, 0.1f);
        mesh->setPosition(5.0f, -0.5f, 7.0f);
        sun.setDirection(0.395f, -1.0f, 0.395f);
    }
};

// Built on first use: the largest takes a moment and some memory.
Scene& scene(int side) {
    static std::map<int, std::unique_ptr<Scene>> scenes;
    auto& slot = scenes[side];
    if (!slot) slot = std::make_unique<Scene>(side);
    return *slot;
}

void pipeline(benchmark::State& state, int side) {
    Scene& s = scene(side);
    Mesh& mesh = *s.mesh;
    for (auto _ : state) {
        mesh.update();
        mesh.applyLights(s.lights, 3);
        mesh.projectShadow(0.0f, 1.0f, 0.0f, 0.0f, -0.395f, 1.0f, -0.395f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * mesh.vertexCount());
}

// The three calls one at a time, to show where the time of the whole goes.
void updateOnly(benchmark::State& state, int side) {
    Mesh& mesh = *scene(side).mesh;
    for (auto _ : state) {
        mesh.update();
        benchmark::ClobberMemory();
    }
}

void lightsOnly(benchmark::State& state, int side) {
    Scene& s = scene(side);
    s.mesh->update();
    for (auto _ : state) {
        s.mesh->applyLights(s.lights, 3);
        benchmark::ClobberMemory();
    }
}

void shadowOnly(benchmark::State& state, int side) {
    Mesh& mesh = *scene(side).mesh;
    mesh.update();
    for (auto _ : state) {
        // The plane and light of the demo; flattening twice flattens again.
        mesh.projectShadow(0.0f, 1.0f, 0.0f, 0.0f, -0.395f, 1.0f, -0.395f);
        benchmark::ClobberMemory();
    }
}

void copy(benchmark::State& state, int side) {
    Scene& s = scene(side);
    Mesh& mesh = *s.mesh;
    const std::size_t bytes = std::size_t(mesh.vertexCount()) * sizeof(Vertex);
    for (auto _ : state) {
        std::memcpy(static_cast<void*>(mesh.worldVerts.get()), mesh.verts.get(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}

const bool registered = [] {
    const std::pair<int, const char*> sizes[] = {{10, "10²"}, {100, "10⁴"}, {1000, "10⁶"}};
    for (const auto& [side, label] : sizes) {
        const std::string n = std::to_string(side * side);
        benchmark::RegisterBenchmark(("mesh_frame/" + n).c_str(), pipeline, side);
        benchmark::RegisterBenchmark(("memcpy_vertices/" + n).c_str(), copy, side);
        const std::string on = std::string("grid of ") + label + " vertices";
        const std::string what = "`update` + `applyLights` (3 lights) + `projectShadow`";
        // Only the largest grid has a target; the others show the trend.
        suite::addRow({what, on, "mesh_frame/" + n, "memcpy_vertices/" + n,
                       suite::Compare::TimeMultiple, 1.0, 1.0, side == 1000 ? 3.0 : 0.0});
    }
    const std::pair<const char*, void (*)(benchmark::State&, int)> steps[] = {
        {"update", updateOnly}, {"applyLights", lightsOnly}, {"projectShadow", shadowOnly}};
    for (const auto& [name, run] : steps) {
        benchmark::RegisterBenchmark((std::string("mesh_") + name + "/1000000").c_str(), run, 1000);
        suite::addRow({std::string("`") + name + "` alone", "grid of 10⁶ vertices",
                       std::string("mesh_") + name + "/1000000", "memcpy_vertices/1000000",
                       suite::Compare::TimeMultiple, 1.0, 1.0, 0.0});
    }
    // The cost of a vertex must not grow with the mesh once it leaves the caches.
    suite::addRow({"the same, per vertex", "10⁶ against 10⁴ vertices", "mesh_frame/1000000",
                   "mesh_frame/10000", suite::Compare::TimeMultiple, 1e6, 1e4, 1.25});
    // Where memory bandwidth decides that, each pass must at least keep up
    // with memcpy. Every pass touches every line of the world copy (a vertex
    // is 56 bytes), so each moves 56 bytes a vertex in and 56 out, as memcpy
    // does: update() reads the source and streams the world copy out past the
    // caches, the other two read the world copy and write it back.
    const double moved = 1e6 * 2 * sizeof(Vertex);
    for (const char* name : {"update", "applyLights", "projectShadow"}) {
        suite::addRow({std::string("`") + name + "`, memory bandwidth",
                       "10⁶ vertices, 112 bytes a vertex each",
                       std::string("mesh_") + name + "/1000000", "memcpy_vertices/1000000",
                       suite::Compare::Bandwidth, moved, moved, 0.8});
    }
    return true;
}();

}  // namespace
