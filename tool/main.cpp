// gloam-pob: brings meshes and pictures from other tools into the engine's
// formats. `gloam-pob --help` lists the commands.

#include <iostream>
#include <string>
#include <vector>

#include "tool/commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return gloam::runTool(args, std::cout, std::cerr);
}
