// The program: the demo scene in its window until the user closes it, or for
// as many frames as the command line asks.

#include "demo/scene.h"
#include "gloam/app/command_line.h"
#include "gloam/app/run.h"
#include "gloam/platform/win32.h"

using namespace gloam;

namespace {

constexpr const char* programName = "gloam-demo";
constexpr const char* windowTitle = "Simple OpenGL App";
// The outer size; the client area, and so the viewport, is smaller by the
// window frame.
constexpr int windowWidth = 1024;
constexpr int windowHeight = 768;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int showCommand) {
    // Every way out returns the exit code rather than calling exit(), which
    // keeps WinMain callable from tests.
    const CommandLine line = parseCommandLine(splitCommandLine(commandLine));
    if (const auto code = answerCommandLine(line, programName)) return *code;
    DemoScene scene;
    return runApp(scene, {windowTitle, windowWidth, windowHeight, showCommand}, line.options);
}
