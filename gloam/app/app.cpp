#include "gloam/app/app.h"

#include <algorithm>
#include <string>

#include "gloam/app/input.h"
#include "gloam/app/run.h"
#include "gloam/render/renderer.h"

namespace gloam {

HINSTANCE appInstance = nullptr;
PAINTSTRUCT paintRecord;

namespace {

constexpr const char* windowClassName = "OpenGL";
constexpr DWORD windowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

// Start-up failures are shown to the user, who may have started the program
// from a desktop with no console to read (or, in a scripted run, written to
// standard error).
HWND reportFailure(const char* text) {
    reportError(text);
    return nullptr;
}

PIXELFORMATDESCRIPTOR openGlPixelFormat(int stencilBits) {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cDepthBits = 32;
    if (stencilBits > 0) {
        // Depth is matched before stencil: asking for 32 depth bits would
        // pick the deeper format without a stencil buffer over the one with.
        format.cDepthBits = 24;
        format.cStencilBits = BYTE(std::min(stencilBits, 255));
    }
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

}  // namespace

HWND createAppWindow(const char* title, int x, int y, int width, int height, int stencilBits) {
    if (width < 1 || height < 1 || width > largestWindowSide || height > largestWindowSide) {
        const std::string text = "cannot open a window of " + std::to_string(width) + " x " +
                                 std::to_string(height) + ": each side must be 1 to " +
                                 std::to_string(largestWindowSide) + " pixels";
        return reportFailure(text.c_str());
    }
    if (appInstance == nullptr) {
        appInstance = GetModuleHandleA(nullptr);
        WNDCLASSA windowClass{};
        // The rendering context is bound to one device context for the whole
        // run, so the window must keep its own.
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = windowProc;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 0;
        windowClass.hInstance = appInstance;
        windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        // No background brush: OpenGL covers the client area every frame,
        // and an erase in between would only flicker.
        windowClass.hbrBackground = nullptr;
        windowClass.lpszMenuName = nullptr;
        windowClass.lpszClassName = windowClassName;
        if (RegisterClassA(&windowClass) == 0) return reportFailure("RegisterClass() failed");
    }

    HWND window = CreateWindowExA(0, windowClassName, title, windowStyle, x, y, width, height,
                                  nullptr, nullptr, appInstance, nullptr);
    if (window == nullptr) return reportFailure("CreateWindow() failed");

    HDC deviceContext = GetDC(window);
    const PIXELFORMATDESCRIPTOR format = openGlPixelFormat(stencilBits);
    const int chosen = ChoosePixelFormat(deviceContext, &format);
    if (chosen == 0) return reportFailure("ChoosePixelFormat() failed");
    if (!SetPixelFormat(deviceContext, chosen, &format)) {
        return reportFailure("SetPixelFormat() failed");
    }
    ReleaseDC(window, deviceContext);
    return window;
}

void paintWindow() {}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            // Minimised included: the size is recorded whatever its kind.
            resizeViewport(LOWORD(lParam), HIWORD(lParam));
            PostMessageA(window, WM_PAINT, 0, 0);
            return 0;
        case WM_PAINT:
            // Validating is all a paint must do; without it the system
            // would keep asking.
            BeginPaint(window, &paintRecord);
            paintWindow();
            EndPaint(window, &paintRecord);
            return 0;
        case WM_CLOSE:
            // The window stays until runApp has let go of its context.
            PostQuitMessage(0);
            return 0;
        default:
            if (detail::isInputMessage(message) &&
                detail::offerInput(window, message, wParam, lParam)) {
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace gloam
