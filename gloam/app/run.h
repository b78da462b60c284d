#pragma once

// Running your own scene. A program on the engine is a Scene and one call:
//
//   class MyScene : public gloam::Scene {
//       bool setUp() override { ...load textures, build meshes...; return true; }
//       void frame(const gloam::FrameInfo& time) override {
//           gloam::theRenderer.beginFrame();      // clear, camera
//           ...update, light and submit meshes, then flush...
//       }
//   };
//   int main(int argc, char** argv) {
//       MyScene scene;
//       return gloam::runApp(scene, {"My scene", 1024, 768}, argc, argv);
//   }
//
// runApp opens the window with its OpenGL context, sets up theRenderer,
// calls setUp once, then frame after frame until the window is closed, and
// takes everything down again in order. Failures end the program with exit
// code 1 after the user has been told why (reportError: a message box
// captioned "Error", or in a run with --frames standard error alone).
// Everything happens on the calling thread, which owns the context.

#include <cstdint>

#include "gloam/app/command_line.h"
#include "gloam/platform/win32.h"

namespace gloam {

// Where a frame stands in the run.
struct FrameInfo {
    std::int64_t number = 0;    // 1 for the first frame of the run
    double seconds = 0.0;       // from the start of the first frame to the start of this one
    double deltaSeconds = 0.0;  // from the start of the previous frame; 0 in the first
};

// A program's own content. Override what you need; only frame is required.
class Scene {
public:
    virtual ~Scene() = default;

    // Called once, after the window, its OpenGL context and theRenderer are
    // ready and before the first frame: load textures (they need the
    // context) and build meshes. Returning false ends the program with exit
    // code 1; tell the user why first (reportError).
    virtual bool setUp() { return true; }

    // Draws one frame into the back buffer, usually theRenderer.beginFrame(),
    // then meshes submitted and flushed. runApp presents it afterwards and
    // then handles the window's messages, which is when message() is called.
    virtual void frame(const FrameInfo& time) = 0;

    // Keyboard and mouse messages of the window, exactly as Windows defines
    // them: WM_KEYDOWN/WM_KEYUP (wParam a virtual-key code such as VK_ESCAPE
    // or 'A'; bit 30 of lParam set for an auto-repeat), WM_SYSKEYDOWN/UP,
    // WM_CHAR, WM_MOUSEMOVE, WM_[LRM]BUTTONDOWN/UP (GET_X_LPARAM and
    // GET_Y_LPARAM give the client position, wParam the MK_ buttons held),
    // WM_MOUSEWHEEL (GET_WHEEL_DELTA_WPARAM: 120 a notch, positive away from
    // the user; its lParam is in screen coordinates, as on Windows). Return
    // true when the scene has handled the message. When it has not, runApp
    // handles F12 (a screenshot) and the rest goes to DefWindowProcA, which
    // keeps the system's keys, such as Alt+F4, working.
    // To end the program as the close button does, send the window WM_CLOSE.
    virtual bool message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// How the window looks.
struct AppSettings {
    const char* title = "gloam";
    // The outer size, frame and caption included; the client area, where
    // the frame is drawn, is smaller.
    int width = 1024;
    int height = 768;
    // How the window is first shown: WinMain's last argument, or the default.
    int showCommand = SW_SHOWDEFAULT;
    // Stencil bits to ask the pixel format for; 0 asks for none. A window
    // system that has no format with them says so on standard error, and
    // the program runs without (theRenderer.stencilBits is then 0).
    int stencilBits = 0;
};

// Runs `scene` in a new window until the window is closed, or as `options`
// ask (--frames, --screenshot; their files are the program's own business),
// and returns the program's exit code: exitSuccess, or exitFailure after the
// window, the scene's setUp or the screenshot failed (each reported). A
// window whose client area OpenGL cannot draw whole, or whose screenshot
// (--screenshot) no bitmap can hold, is refused before it is shown. With
// --frames the run is scripted (see reportError). One run at a time, on one
// thread.
int runApp(Scene& scene, const AppSettings& settings, const RunOptions& options = {});

// The same, taking the options from main()'s arguments: --help prints the
// usage and returns exitSuccess, and a mistake (an unknown option, or any
// argument that is not an option) is printed on standard error and returns
// exitUsage, without opening a window.
int runApp(Scene& scene, const AppSettings& settings, int argc, char** argv);

// Tells the user about a failure the way the engine does: a modal message
// box captioned "Error" (off Windows its text also goes to standard error).
// In a scripted run the text goes to standard error alone: a script that
// makes pictures with --frames must never wait for someone to click OK.
void reportError(const char* text);

// Whether the run is scripted. runApp decides it from its options (--frames
// given); a program that can fail before it calls runApp, reading files of
// its own, decides it first from the same options.
void setScriptedRun(bool scripted);

}  // namespace gloam
