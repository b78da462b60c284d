#pragma once

// What the user steers in the viewer, and the window messages that steer
// it, with Windows' meanings (the Linux stand-in makes the same messages).

#include "gloam/platform/win32.h"

namespace gloam::viewer {

struct ViewState {
    // The camera (see orbitView): a little to the side and above.
    double yaw = 0.6;
    double pitch = 0.45;
    double zoom = 1.0;
    // Where the sun stands: round the vertical from +x towards +z, and
    // above the floor's plane (radians).
    double sunAzimuth = 2.2;
    double sunElevation = 0.95;
    bool shadow = true;
    bool wireframe = false;  // the triangles' edges drawn over the model

    // Back to the first view; the sun, the shadow and the wireframe stay as
    // they are.
    void resetCamera();
};

// Limits that keep every view meaningful: the camera never quite straight
// above or below (the up direction would be lost), never inside the sphere
// round the mesh (the nearest zoom puts the eye just outside it in the
// widest window; see orbitView) nor out of sight of it; the sun above the
// floor, so the shadow falls on it.
inline constexpr double pitchLimit = 1.45;
inline constexpr double nearestZoom = 0.4;
inline constexpr double farthestZoom = 20.0;
inline constexpr double lowestSun = 0.15;
inline constexpr double highestSun = 1.5707;

enum class Response {
    Ignored,  // not the viewer's: runApp's own keys and the system's get it
    Handled,
    Close,  // the user asked to quit
};

class Controls {
public:
    ViewState state;

    Response handle(UINT message, WPARAM wParam, LPARAM lParam);

private:
    enum class Drag { None, Camera, Sun };
    Drag drag = Drag::None;
    int lastX = 0;
    int lastY = 0;

    Response key(WPARAM key);
    void turnCamera(double yaw, double pitch);
    void turnSun(double azimuth, double elevation);
    void zoomBy(double steps);
};

// The keys and mouse actions, for --help.
const char* controlsHelp();

}  // namespace gloam::viewer
