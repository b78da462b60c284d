// The process entry off Windows. There the C runtime calls WinMain itself;
// here this does what it does: passes the module handle, the command line
// without the program's name, and the default show state, and ends the
// process with WinMain's result.

#include <string>

#include "gloam/app/command_line.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "gloam/platform/win32.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Mesa's software rasterizer allocates and frees some ten megabytes of
    // 64 KiB to 1 MiB blocks every frame. glibc starts by mapping such blocks
    // one by one and, each time one is freed, raises the size it maps from,
    // so for thousands of frames the program's memory keeps changing shape
    // and its resident set creeps up. Fixed limits instead keep those blocks
    // in the heap from the first frame and the heap at its high-water mark:
    // the memory settles within a few frames and stays as it is, with no
    // system calls or page faults per frame.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    // Windows keeps the command line as one string, quoted where an argument
    // needs it, and WinMain splits it again by Windows' rules.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += gloam::quoteArgument(argv[i]);
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
