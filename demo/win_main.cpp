// The program: one window with an OpenGL context, and the demo scene in it
// until the user closes the window.

#include <cstdint>

#include "demo/scene.h"
#include "gloam/app/app.h"
#include "gloam/platform/win32.h"
#include "gloam/render/renderer.h"

using namespace gloam;

namespace {

constexpr const char* windowTitle = "Simple OpenGL App";
// The outer size; the client area, and so the viewport, is smaller by the
// window frame.
constexpr int windowWidth = 1024;
constexpr int windowHeight = 768;

// The exit code when start-up or the scene's assets failed; the user has
// been told why.
constexpr int failureExit = 1;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    HWND window = createAppWindow(windowTitle, 0, 0, windowWidth, windowHeight);
    // Returning leaves the process as exit(1) would, and keeps WinMain
    // callable from tests.
    if (window == nullptr) return failureExit;

    // The class's CS_OWNDC makes this the window's own device context, the
    // one its pixel format was set on, valid for the whole run.
    HDC deviceContext = GetDC(window);
    HGLRC renderingContext = wglCreateContext(deviceContext);
    wglMakeCurrent(deviceContext, renderingContext);
    theRenderer.init(windowWidth, windowHeight);
    // Creation and the first show report the client size to the procedure,
    // which sets the viewport from it before the first frame.
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    theRenderer.setDeviceContext(deviceContext);
    theRenderer.setWindow(window);

    const std::int32_t outcome = runScene();

    // The context goes before the device context and the window it draws on.
    wglMakeCurrent(nullptr, nullptr);
    ReleaseDC(window, deviceContext);
    wglDeleteContext(renderingContext);
    DestroyWindow(window);
    return outcome == sceneFailed ? failureExit : 0;
}
