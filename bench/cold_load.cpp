// One load of one file, then exit: what a program that opens a mesh or a
// texture once pays, fresh process, fresh memory and all. scripts/bench times
// whole runs of it (with the file in the page cache) for the cold-load rows.
//
//   gloam_cold_load pob FILE    loadPob
//   gloam_cold_load obj FILE    tinyobjloader's LoadObj
//   gloam_cold_load bmp FILE    readBitmap
//   gloam_cold_load stb FILE    stb_image's stbi_load to RGBA
//
// With GLOAM_COLD_NO_THP set in the environment, the process runs without
// transparent huge pages (as on a machine where they are off), so that
// every fresh 4 KiB page costs a fault.

#include <stb/stb_image.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gloam/meshio/pob.h"
#include "gloam/textures/texture.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s pob|obj|bmp|stb FILE\n", argv[0]);
        return 2;
    }
#if defined(__linux__)
    if (std::getenv("GLOAM_COLD_NO_THP") && prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0) {
        std::perror("prctl(PR_SET_THP_DISABLE)");
        return 2;
    }
#endif
    const std::string kind = argv[1];
    const char* file = argv[2];
    // Each prints what it read, so that none of the work can be left out.
    if (kind == "pob") {
        gloam::FileError error;
        const auto mesh = gloam::loadPob(file, error);
        if (!mesh) {
            std::fprintf(stderr, "%s\n", error.message().c_str());
            return 1;
        }
        std::printf("%d vertices, %d triangles\n", mesh->vertexCount(), mesh->triangleCount());
    } else if (kind == "obj") {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file)) {
            std::fprintf(stderr, "%s: %s\n", file, err.c_str());
            return 1;
        }
        std::size_t corners = 0;
        for (const auto& shape : shapes) corners += shape.mesh.indices.size();
        std::printf("%zu vertices, %zu triangles\n", attrib.vertices.size() / 3, corners / 3);
    } else if (kind == "bmp") {
        gloam::Texture texture;
        gloam::FileError error;
        if (!gloam::readBitmap(texture, file, false, false, false, error)) {
            std::fprintf(stderr, "%s\n", error.message().c_str());
            return 1;
        }
        std::printf("%d x %d\n", texture.width, texture.height);
    } else if (kind == "stb") {
        int width = 0, height = 0, channels = 0;
        stbi_uc* pixels = stbi_load(file, &width, &height, &channels, 4);
        if (!pixels) {
            std::fprintf(stderr, "%s: %s\n", file, stbi_failure_reason());
            return 1;
        }
        std::printf("%d x %d\n", width, height);
        stbi_image_free(pixels);
    } else {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        return 2;
    }
    return 0;
}
