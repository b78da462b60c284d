#include "bench/convert_model.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gloam/import/obj.h"
#include "gloam/platform/files.h"

namespace convert_model {

namespace {

constexpr int around = 709, across = 709;

struct Torus {
    std::vector<float> positions;  // (around + 1) x (across + 1) vertices, seams doubled
    std::vector<float> uvs;
    std::vector<std::uint32_t> indices;
};

Torus torus() {
    Torus t;
    const double pi = 3.14159265358979323846;
    for (int u = 0; u <= around; ++u) {
        for (int v = 0; v <= across; ++v) {
            // The seams take their angles from the first row and column, so
            // that the surface closes exactly.
            const double a = 2 * pi * (u % around) / around, b = 2 * pi * (v % across) / across;
            t.positions.insert(t.positions.end(), {float((100 + 40 * std::cos(b)) * std::cos(a)),
                                                   float(40 * std::sin(b)),
                                                   float((100 + 40 * std::cos(b)) * std::sin(a))});
            t.uvs.insert(t.uvs.end(), {float(u) / around, float(v) / across});
        }
    }
    const auto at = [](int u, int v) { return std::uint32_t(u * (across + 1) + v); };
    for (int u = 0; u < around; ++u) {
        for (int v = 0; v < across; ++v) {
            t.indices.insert(t.indices.end(), {at(u, v), at(u, v + 1), at(u + 1, v + 1), at(u, v),
                                               at(u + 1, v + 1), at(u + 1, v)});
        }
    }
    return t;
}

template <class T>
void append(std::string& bytes, const std::vector<T>& values) {
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

void put32(std::string& bytes, std::uint32_t value) {
    bytes.append(reinterpret_cast<const char*>(&value), 4);
}

std::string glb(const Torus& t) {
    const std::size_t vertices = t.positions.size() / 3;
    std::string bin;
    append(bin, t.positions);
    append(bin, t.uvs);
    append(bin, t.indices);
    const std::size_t uvAt = t.positions.size() * 4, indexAt = uvAt + t.uvs.size() * 4;
    char text[2048];
    std::snprintf(
        text, sizeof text,
        R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"indices":2}]}],)"
        R"("buffers":[{"byteLength":%zu}],"bufferViews":[{"buffer":0,"byteLength":%zu},)"
        R"({"buffer":0,"byteOffset":%zu,"byteLength":%zu},{"buffer":0,"byteOffset":%zu,"byteLength":%zu}],)"
        R"("accessors":[{"bufferView":0,"componentType":5126,"count":%zu,"type":"VEC3",)"
        R"("min":[-140,-40,-140],"max":[140,40,140]},)"
        R"({"bufferView":1,"componentType":5126,"count":%zu,"type":"VEC2"},)"
        R"({"bufferView":2,"componentType":5125,"count":%zu,"type":"SCALAR"}]})",
        bin.size(), uvAt, uvAt, indexAt - uvAt, indexAt, bin.size() - indexAt, vertices, vertices,
        t.indices.size());
    std::string json = text;
    while (json.size() % 4) json += ' ';
    std::string file;
    put32(file, 0x46546C67);  // "glTF"
    put32(file, 2);
    put32(file, std::uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    put32(file, std::uint32_t(json.size()));
    put32(file, 0x4E4F534A);  // "JSON"
    file += json;
    put32(file, std::uint32_t(bin.size()));
    put32(file, 0x004E4942);  // "BIN"
    return file + bin;
}

std::string obj(const Torus& t) {
    const std::size_t vertices = t.positions.size() / 3, triangles = t.indices.size() / 3;
    auto v = gloam::makeLargeArray<gloam::Vertex>(vertices);
    for (std::size_t i = 0; i < vertices; ++i) {
        v[i].setPosition(t.positions[3 * i], t.positions[3 * i + 1], t.positions[3 * i + 2]);
    }
    auto tris = gloam::makeLargeArrayForOverwrite<gloam::Triangle>(triangles);
    auto uvs = gloam::makeLargeArray<gloam::TriangleUV>(triangles);
    for (std::size_t k = 0; k < triangles; ++k) {
        for (std::size_t c = 0; c < 3; ++c) {
            const std::uint32_t i = t.indices[3 * k + c];
            tris[k][c] = std::int32_t(i);
            uvs[k][c] = {t.uvs[2 * i], t.uvs[2 * i + 1]};
        }
    }
    const gloam::Mesh mesh(std::int32_t(vertices), std::move(v), std::int32_t(triangles),
                           std::move(tris), std::move(uvs));
    std::string text, reason;
    if (!gloam::formatObj(mesh, text, reason)) {
        std::fprintf(stderr, "convert model: %s\n", reason.c_str());
        std::exit(1);
    }
    return text;
}

}  // namespace

std::string make(const std::string& folder, const std::string& name) {
    const std::string file = folder + "/" + name;
    if (std::filesystem::exists(file)) return file;
    const Torus t = torus();
    const std::string bytes =
        name.size() > 4 && name.substr(name.size() - 4) == ".glb" ? glb(t) : obj(t);
    gloam::FileError error;
    if (!gloam::writeFileAtomically(file.c_str(), bytes.data(), bytes.size(), error)) {
        std::fprintf(stderr, "convert model: %s\n", error.message().c_str());
        std::exit(1);
    }
    return file;
}

std::string description(const std::string& format) {
    return "709 × 709 torus, 1,005,362 triangles (" +
           std::string(format == "glb" ? "binary glTF, 22 MB" : "OBJ") + ")";
}

}  // namespace convert_model
