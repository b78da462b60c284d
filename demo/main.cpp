// The process entry off Windows. There the C runtime calls WinMain itself;
// here this does what it does: passes the module handle, the command line
// without the program's name, and the default show state, and ends the
// process with WinMain's result.

#include <string>

#include "gloam/app/command_line.h"
#include "gloam/app/heap_limits.h"
#include "gloam/platform/win32.h"

int main(int argc, char** argv) {
    gloam::fixHeapLimits();
    // Windows keeps the command line as one string, quoted where an argument
    // needs it, and WinMain splits it again by Windows' rules.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += gloam::quoteArgument(argv[i]);
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
