// The process entry off Windows. There the C runtime calls WinMain itself;
// here this does what it does: passes the module handle, the command line
// without the program's name, and the default show state, and ends the
// process with WinMain's result.

#include <string>

#include "platform/win32.h"

int main(int argc, char** argv) {
    // WinMain reads no argument, so the quoting that Windows keeps in the
    // command line is not rebuilt.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
