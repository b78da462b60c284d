#pragma once

// Small models of the importer's formats, written in memory, for the tests
// of the import library and of the tool.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace model_support {

inline std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = std::uint32_t(std::uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) n |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) n |= std::uint8_t(bytes[i + 2]);
        for (std::size_t k = 0; k < 4; ++k) {
            text += i + k <= bytes.size() ? digits[(n >> (18 - 6 * k)) & 63] : '=';
        }
    }
    return text;
}

template <class T>
std::string bytesOf(std::initializer_list<T> values) {
    std::string bytes;
    for (const T value : values) bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    return bytes;
}

// An uncompressed 2 x 2 TGA, top row red and green, bottom row blue and white.
inline std::string tga() {
    std::string file(18, '\0');
    file[2] = 2, file[12] = 2, file[14] = 2, file[16] = 24, file[17] = 0x20;
    return file + std::string("\0\0\xFF\0\xFF\0\xFF\0\0\xFF\xFF\xFF", 12);
}

// One triangle, counter-clockwise seen from +z, placed twice by nodes under
// a root that moves it by 10 in x and doubles it, once plainly and once
// mirrored in x; and again with two more materials whose pictures lie
// beside the model (under another system's path, in capitals) and nowhere
// (in a folder named the Windows way).
inline std::string gltf() {
    const std::string buffer = bytesOf<float>({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1}) +
                               bytesOf<std::uint16_t>({0, 1, 2, 0});
    return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 3]}],
  "nodes": [{"translation": [10, 0, 0], "scale": [2, 2, 2], "children": [1, 2]},
            {"mesh": 0}, {"mesh": 0, "scale": [-1, 1, 1]}, {"mesh": 1, "translation": [0, 0, 5]}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "indices": 2,
                              "material": 0}]},
             {"primitives": [{"attributes": {"POSITION": 0}, "indices": 2, "material": 1},
                             {"attributes": {"POSITION": 0}, "indices": 2, "material": 2}]}],
  "materials": [{"name": "embedded", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
                {"name": "beside", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}},
                {"name": "missing", "pbrMetallicRoughness": {"baseColorTexture": {"index": 2}}}],
  "textures": [{"source": 0}, {"source": 1}, {"source": 2}],
  "images": [{"uri": "data:image/x-tga;base64,)" +
           base64(tga()) + R"("}, {"uri": "C:\\art\\Wood.TGA"}, {"uri": "pictures\\missing.png"}],
  "buffers": [{"byteLength": 68, "uri": "data:application/octet-stream;base64,)" +
           base64(buffer) + R"("}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                  {"buffer": 0, "byteOffset": 36, "byteLength": 24},
                  {"buffer": 0, "byteOffset": 60, "byteLength": 6}],
  "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                 "min": [0, 0, 0], "max": [1, 1, 0]},
                {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"},
                {"bufferView": 2, "componentType": 5123, "count": 3, "type": "SCALAR"}]})";
}

// A tetrahedron whose faces run counter-clockwise seen from outside, with
// one coloured corner.
inline const float corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
inline const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
inline const char* const tetrahedronPly =
    "ply\nformat ascii 1.0\nelement vertex 4\n"
    "property float x\nproperty float y\nproperty float z\n"
    "property uchar red\nproperty uchar green\nproperty uchar blue\n"
    "element face 4\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0 255 128 0\n1 0 0 0 0 0\n0 1 0 0 0 0\n0 0 1 0 0 0\n"
    "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";

// A binary STL file: every triangle with corners of its own.
inline std::string stl(const std::vector<std::array<std::array<float, 3>, 3>>& triangles) {
    std::string file(80, '\0');
    file += bytesOf<std::uint32_t>({std::uint32_t(triangles.size())});
    for (const auto& t : triangles) {
        file += bytesOf<float>({0, 0, 0, t[0][0], t[0][1], t[0][2], t[1][0], t[1][1], t[1][2],
                                t[2][0], t[2][1], t[2][2]}) +
                std::string(2, '\0');
    }
    return file;
}

}  // namespace model_support
