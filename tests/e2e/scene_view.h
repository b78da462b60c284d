#pragma once

// Where the demo scene's parts land on the screen in a given frame: the
// scene's animation replayed frame by frame, and its camera, box, floor and
// shadow geometry projected to window pixels. The picture checks compare a
// grabbed frame against this.

#include <vector>

namespace e2e {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Window pixel coordinates: x to the right, y down from the top row.
struct Point {
    double x = 0, y = 0;
};

// A convex polygon with its bounding box, for fast inside tests.
class ConvexPolygon {
public:
    ConvexPolygon() = default;
    // The convex hull of `points`.
    explicit ConvexPolygon(std::vector<Point> points);
    bool contains(Point p) const;
    bool empty() const { return corners_.size() < 3; }
    const std::vector<Point>& corners() const { return corners_; }

private:
    std::vector<Point> corners_;  // counter-clockwise in x-right, y-down terms
    double left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
};

// The animation state the program draws frame `frame` (counted from 1) with,
// replayed in the program's single-precision steps.
struct FrameState {
    int frame = 0;
    float orbitAngle = 0;  // the camera angle used for this frame
    float swing = 0;       // the shadows fall along -(swing, 1, swing)
    float boxX = 0, boxZ = 0;
};
// Frames 1..count, in order.
std::vector<FrameState> replayFrames(int count);

// The projection and camera of a frame, for a viewport of width × height.
class Camera {
public:
    Camera(float orbitAngle, int width, int height);
    Point project(const Vec3& p) const;
    // The point at height `y` that the pixel point `p` shows.
    Vec3 onPlane(const Point& p, double y) const;

private:
    Vec3 eye_, side_, up_, forward_;
    double focalX_ = 0, focalY_ = 0;
    int width_ = 0, height_ = 0;
};

// The table's extent, from its mesh file: a vertical prism around the y
// axis that contains it at any turn.
struct TableBounds {
    double radius = 0;
    double bottom = 0, top = 0;
};

// What a pixel of a frame should show.
enum class Expect {
    Background,   // nothing drawn: the clear colour
    Floor,        // the lit floor
    FloorShadow,  // the floor under the big box's shadow only
    BigBox,
    Unsure,  // the table, the small box and their shadows, whose exact shape
             // is not modelled, and pixels on an edge between two expectations
};

class FrameView {
public:
    FrameView(const FrameState& state, const TableBounds& table, int width, int height);
    // What the pixel whose centre is (x, y) should show.
    Expect at(double x, double y) const;
    // Every pixel of the window, rows from the top; pixels within `margin`
    // of an edge between two expectations count as Unsure.
    std::vector<Expect> pixels(int width, int height, int margin) const;

    const ConvexPolygon& bigBox() const { return bigBox_; }
    const ConvexPolygon& bigBoxShadow() const { return bigBoxShadow_; }
    const ConvexPolygon& floor() const { return floor_; }
    const Camera& camera() const { return camera_; }
    // Where on its texture the floor is at the pixel point `p`: texture
    // coordinates in 0..1, as the floor's grid maps one copy per cell.
    Point floorTexturePoint(const Point& p) const;

private:
    Camera camera_;
    ConvexPolygon floor_, bigBox_, bigBoxShadow_;
    std::vector<ConvexPolygon> unsure_, unsureOnFloor_;
};

}  // namespace e2e
