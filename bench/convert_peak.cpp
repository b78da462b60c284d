// One conversion, or one read by the importer alone, then exit with the
// process's peak resident memory on standard output, in kB: scripts/bench
// runs each in a fresh process for the memory rows of the conversion.
//
//   convert_peak tool MODEL OUT.pob     gloam-pob convert MODEL OUT.pob
//   convert_peak importer MODEL         assimp's ReadFile, no post-processing

#include <assimp/scene.h>
#include <sys/resource.h>
#include <assimp/Importer.hpp>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tool/commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "tool") {
        if (gloam::runTool({"convert", args[1], args[2]}, std::cerr, std::cerr) != gloam::ToolOk) {
            return 1;
        }
    } else if (args.size() == 2 && args[0] == "importer") {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(args[1], 0);
        if (!scene) {
            std::fprintf(stderr, "%s: %s\n", args[1].c_str(), importer.GetErrorString());
            return 1;
        }
        std::fprintf(stderr, "%u meshes\n", scene->mNumMeshes);
    } else {
        std::fprintf(stderr, "usage: convert_peak tool MODEL OUT.pob | importer MODEL\n");
        return 2;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
