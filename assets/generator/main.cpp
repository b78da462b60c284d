// Makes the demo's asset files: the three textures and the table mesh.
//
//   asset_generator OUTPUT_FOLDER
//
// The output is the same bytes on every machine and compiler, so the files
// committed in assets/ can be checked against a fresh run.

#include <cstdio>
#include <filesystem>
#include <string>

#include "table.h"
#include "textures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argc > 0 ? argv[0] : "asset_generator");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    // A folder that cannot be made shows up as the writes into it failing.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);

    bool ok = true;
    const auto report = [&](bool written, const std::string& path) {
        if (!written) std::fprintf(stderr, "cannot write %s\n", path.c_str());
        ok = ok && written;
    };
    const auto pathOf = [&](const char* name) { return (folder / name).string(); };
    const auto bitmap = [&](const Image& image, const char* name) {
        report(writeBitmap(image, pathOf(name).c_str()), pathOf(name));
    };
    bitmap(paintDoorBands(), "doorbands.bmp");
    bitmap(paintLimestoneTile(), "limestonetile.bmp");
    bitmap(paintWeatheredWood(), "wethrdwood.bmp");
    report(buildTable()->savePob(pathOf("table.pob").c_str()), pathOf("table.pob"));
    return ok ? 0 : 1;
}
