// gloam-view's entry. The viewer itself is in viewer.cpp (runViewer).

#include <string>
#include <vector>

#include "gloam/app/heap_limits.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    gloam::fixHeapLimits();
    return gloam::viewer::runViewer(std::vector<std::string>(argv + (argc > 0), argv + argc));
}
