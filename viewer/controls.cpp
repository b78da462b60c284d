#include "viewer/controls.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::viewer {

namespace {

constexpr double keyTurn = 0.08;   // radians per key press (or repeat)
constexpr double dragTurn = 0.01;  // radians per pixel
constexpr double sunKeyTurn = 0.1;
constexpr double sunKeyRise = 0.05;
// Each wheel notch or +/- press brings the camera this much closer.
constexpr double zoomStep = 0.9;

}  // namespace

void ViewState::resetCamera() {
    const ViewState first;
    yaw = first.yaw;
    pitch = first.pitch;
    zoom = first.zoom;
}

void Controls::turnCamera(double yawBy, double pitchBy) {
    state.yaw = std::remainder(state.yaw + yawBy, 2 * std::numbers::pi);
    state.pitch = std::clamp(state.pitch + pitchBy, -pitchLimit, pitchLimit);
}

void Controls::turnSun(double azimuthBy, double elevationBy) {
    state.sunAzimuth = std::remainder(state.sunAzimuth + azimuthBy, 2 * std::numbers::pi);
    state.sunElevation = std::clamp(state.sunElevation + elevationBy, lowestSun, highestSun);
}

void Controls::zoomBy(double steps) {
    state.zoom = std::clamp(state.zoom * std::pow(zoomStep, steps), nearestZoom, farthestZoom);
}

Response Controls::key(WPARAM key) {
    struct Move {
        WPARAM key;
        double yaw, pitch, zoomSteps, sunAzimuth, sunElevation;
    };
    static constexpr Move moves[] = {
        {VK_LEFT, -keyTurn, 0, 0, 0, 0}, {VK_RIGHT, keyTurn, 0, 0, 0, 0},
        {VK_UP, 0, keyTurn, 0, 0, 0},    {VK_DOWN, 0, -keyTurn, 0, 0, 0},
        {VK_ADD, 0, 0, 1, 0, 0},         {VK_OEM_PLUS, 0, 0, 1, 0, 0},
        {VK_SUBTRACT, 0, 0, -1, 0, 0},   {VK_OEM_MINUS, 0, 0, -1, 0, 0},
        {'A', 0, 0, 0, sunKeyTurn, 0},   {'D', 0, 0, 0, -sunKeyTurn, 0},
        {'W', 0, 0, 0, 0, sunKeyRise},   {'S', 0, 0, 0, 0, -sunKeyRise},
    };
    for (const Move& move : moves) {
        if (move.key != key) continue;
        turnCamera(move.yaw, move.pitch);
        zoomBy(move.zoomSteps);
        turnSun(move.sunAzimuth, move.sunElevation);
        return Response::Handled;
    }
    if (key == VK_SPACE) {
        state.shadow = !state.shadow;
    } else if (key == VK_TAB) {
        state.wireframe = !state.wireframe;
    } else if (key == 'R') {
        state.resetCamera();
    } else {
        return key == VK_ESCAPE ? Response::Close : Response::Ignored;
    }
    return Response::Handled;
}

Response Controls::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (message) {
        case WM_KEYDOWN: {
            // A held key repeats, and everything but the toggles should
            // keep going; a toggle would flicker.
            const bool repeat = (lParam & (LPARAM(1) << 30)) != 0;
            if (repeat && (wParam == VK_SPACE || wParam == VK_TAB)) return Response::Handled;
            return key(wParam);
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            drag = message == WM_LBUTTONDOWN ? Drag::Camera : Drag::Sun;
            lastX = x;
            lastY = y;
            return Response::Handled;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            drag = Drag::None;
            return Response::Handled;
        case WM_MOUSEMOVE: {
            // The buttons held now, not the last press, decide: a button
            // let go outside the window sends no button-up here.
            const WPARAM held = drag == Drag::Camera ? MK_LBUTTON : MK_RBUTTON;
            if (drag == Drag::None || (wParam & held) == 0) {
                drag = Drag::None;
                return Response::Ignored;
            }
            // The mesh turns with the hand, as if grabbed: dragging right
            // takes the camera left round it, dragging down takes it up.
            // Across, the sun swings round; upwards, it rises.
            const int dx = x - lastX;
            const int dy = y - lastY;
            lastX = x;
            lastY = y;
            if (drag == Drag::Camera)
                turnCamera(dx * dragTurn, dy * dragTurn);
            else
                turnSun(dx * dragTurn, -dy * dragTurn);
            return Response::Handled;
        }
        case WM_MOUSEWHEEL:
            // Away from the user brings the camera closer; a fine-grained
            // wheel's smaller steps zoom in proportion.
            zoomBy(GET_WHEEL_DELTA_WPARAM(wParam) / double(WHEEL_DELTA));
            return Response::Handled;
        default:
            return Response::Ignored;
    }
}

const char* controlsHelp() {
    return "Keys and mouse:\n"
           "  drag with the left button, arrow keys   turn round the model (up: look from higher)\n"
           "  mouse wheel, + and -                    zoom in and out\n"
           "  drag with the right button, A D W S     swing the sun round, raise and lower it\n"
           "  Space                                   shadow on and off\n"
           "  Tab                                     wireframe over the model on and off\n"
           "  R                                       back to the first view\n"
           "  F12                                     save the picture as screenshot-NNNN.bmp\n"
           "  Escape                                  quit\n";
}

}  // namespace gloam::viewer
