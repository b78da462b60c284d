#include "tests/e2e/scene_view.h"

#include <algorithm>
#include <cmath>

namespace e2e {

namespace {

// The scene, as the demo builds it.
constexpr double floorMin = -500, floorMax = 400, floorY = -0.5;
constexpr Vec3 bigBoxCentre{-220, 75, 180};
constexpr double bigBoxHalf = 75;
constexpr double smallBoxY = 120;
// The small box (35 on a side) spins about all three axes; a cube of half
// the box's diagonal contains it at every turn.
constexpr double smallBoxReach = 17.5 * 1.7320508075688772 + 0.5;
// The camera: a circle of radius 600 at height 800 around the origin, a
// 45° vertical field of view.
constexpr double orbitRadius = 600, orbitHeight = 800, fieldOfView = 45;

double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 minus(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalised(const Vec3& a) {
    const double length = std::sqrt(dot(a, a));
    return {a.x / length, a.y / length, a.z / length};
}
double turn(const Point& o, const Point& a, const Point& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

std::vector<Vec3> boxCorners(const Vec3& centre, double half) {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({centre.x + (i & 1 ? half : -half), centre.y + (i & 2 ? half : -half),
                           centre.z + (i & 4 ? half : -half)});
    return corners;
}

std::vector<Vec3> prismCorners(double radius, double bottom, double top) {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back(
            {i & 1 ? radius : -radius, i & 2 ? top : bottom, i & 4 ? radius : -radius});
    return corners;
}

// Flattened onto y = 0 along (swing, 1, swing), as the shadow pass does.
std::vector<Vec3> shadowOf(std::vector<Vec3> points, double swing) {
    for (Vec3& p : points) p = {p.x - swing * p.y, 0, p.z - swing * p.y};
    return points;
}

ConvexPolygon projected(const Camera& camera, const std::vector<Vec3>& points) {
    std::vector<Point> screen;
    for (const Vec3& p : points) screen.push_back(camera.project(p));
    return ConvexPolygon(screen);
}

}  // namespace

ConvexPolygon::ConvexPolygon(std::vector<Point> points) {
    // Andrew's monotone chain.
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
        return a.x < b.x || (a.x == b.x && a.y < b.y);
    });
    if (points.size() < 3) return;
    std::vector<Point> hull(2 * points.size());
    std::size_t k = 0;
    for (const Point& p : points) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], p) <= 0) --k;
        hull[k++] = p;
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && turn(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    corners_ = hull;
    left_ = right_ = corners_[0].x;
    top_ = bottom_ = corners_[0].y;
    for (const Point& p : corners_) {
        left_ = std::min(left_, p.x);
        right_ = std::max(right_, p.x);
        top_ = std::min(top_, p.y);
        bottom_ = std::max(bottom_, p.y);
    }
}

bool ConvexPolygon::contains(Point p) const {
    if (empty() || p.x < left_ || p.x > right_ || p.y < top_ || p.y > bottom_) return false;
    for (std::size_t i = 0; i < corners_.size(); ++i)
        if (turn(corners_[i], corners_[(i + 1) % corners_.size()], p) < 0) return false;
    return true;
}

std::vector<FrameState> replayFrames(int count) {
    std::vector<FrameState> frames;
    float angle = 0, swing = -0.4f, swingStep = 0.005f;
    float boxX = 0, boxZ = 0, stepX = 5, stepZ = 5;
    for (int frame = 1; frame <= count; ++frame) {
        FrameState state;
        state.frame = frame;
        state.orbitAngle = angle;
        angle = float(double(angle) + 0.01);
        if (double(angle) > 6.28318) angle = 0;

        swing += swingStep;
        if (swing > 3.0f) swingStep = -swingStep;
        if (swing < -3.0f) swingStep = -swingStep;
        boxX += stepX;
        boxZ += stepZ;
        if (boxX > 500.0f) stepX = -stepX;
        if (boxZ > 500.0f) stepZ = -stepZ;
        if (boxX < -500.0f) stepX = -stepX;
        if (boxZ < -500.0f) stepZ = -stepZ;
        state.swing = swing;
        state.boxX = boxX;
        state.boxZ = boxZ;
        frames.push_back(state);
    }
    return frames;
}

Camera::Camera(float orbitAngle, int width, int height) : width_(width), height_(height) {
    const double angle = orbitAngle;
    eye_ = {std::cos(angle) * orbitRadius, orbitHeight, std::sin(angle) * orbitRadius};
    forward_ = normalised(minus(Vec3{}, eye_));
    side_ = normalised(cross(forward_, Vec3{0, 1, 0}));
    up_ = cross(side_, forward_);
    const double pi = 3.14159265358979323846;
    focalY_ = 1 / std::tan(fieldOfView / 2 * pi / 180);
    focalX_ = focalY_ / (double(width) / double(height));
}

Point Camera::project(const Vec3& p) const {
    const Vec3 d = minus(p, eye_);
    const double depth = dot(d, forward_);
    const double ndcX = focalX_ * dot(d, side_) / depth;
    const double ndcY = focalY_ * dot(d, up_) / depth;
    return {(ndcX + 1) / 2 * width_, height_ - (ndcY + 1) / 2 * height_};
}

Vec3 Camera::onPlane(const Point& p, double y) const {
    const double ndcX = p.x / width_ * 2 - 1, ndcY = (height_ - p.y) / height_ * 2 - 1;
    const Vec3 ray{forward_.x + ndcX / focalX_ * side_.x + ndcY / focalY_ * up_.x,
                   forward_.y + ndcX / focalX_ * side_.y + ndcY / focalY_ * up_.y,
                   forward_.z + ndcX / focalX_ * side_.z + ndcY / focalY_ * up_.z};
    const double t = (y - eye_.y) / ray.y;
    return {eye_.x + t * ray.x, y, eye_.z + t * ray.z};
}

Point FrameView::floorTexturePoint(const Point& p) const {
    // Each 100 × 100 cell of the grid shows the whole texture, u along x
    // and v along z.
    const Vec3 w = camera_.onPlane(p, floorY);
    const double u = (w.x - floorMin) / 100, v = (w.z - floorMin) / 100;
    return {u - std::floor(u), v - std::floor(v)};
}

FrameView::FrameView(const FrameState& state, const TableBounds& table, int width, int height)
    : camera_(state.orbitAngle, width, height) {
    const Camera& camera = camera_;
    floor_ = projected(camera, {{floorMin, floorY, floorMin},
                                {floorMax, floorY, floorMin},
                                {floorMax, floorY, floorMax},
                                {floorMin, floorY, floorMax}});
    const auto big = boxCorners(bigBoxCentre, bigBoxHalf);
    bigBox_ = projected(camera, big);
    bigBoxShadow_ = projected(camera, shadowOf(big, state.swing));
    const auto small = boxCorners({state.boxX, smallBoxY, state.boxZ}, smallBoxReach);
    const auto tableShape = prismCorners(table.radius, table.bottom, table.top);
    unsure_ = {projected(camera, small), projected(camera, tableShape)};
    unsureOnFloor_ = {projected(camera, shadowOf(small, state.swing)),
                      projected(camera, shadowOf(tableShape, state.swing))};
}

Expect FrameView::at(double x, double y) const {
    const Point p{x, y};
    for (const auto& polygon : unsure_)
        if (polygon.contains(p)) return Expect::Unsure;
    if (bigBox_.contains(p)) return Expect::BigBox;
    if (!floor_.contains(p)) return Expect::Background;
    for (const auto& polygon : unsureOnFloor_)
        if (polygon.contains(p)) return Expect::Unsure;
    return bigBoxShadow_.contains(p) ? Expect::FloorShadow : Expect::Floor;
}

std::vector<Expect> FrameView::pixels(int width, int height, int margin) const {
    const auto index = [width](int x, int y) {
        return std::size_t(y) * std::size_t(width) + std::size_t(x);
    };
    std::vector<Expect> exact(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) exact[index(x, y)] = at(x + 0.5, y + 0.5);
    std::vector<Expect> result = exact;
    if (margin <= 0) return result;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // The eight pixels `margin` away, clamped to the window.
            for (int dy = -margin; dy <= margin; dy += margin) {
                for (int dx = -margin; dx <= margin; dx += margin) {
                    const int nx = std::clamp(x + dx, 0, width - 1);
                    const int ny = std::clamp(y + dy, 0, height - 1);
                    if (exact[index(nx, ny)] != exact[index(x, y)])
                        result[index(x, y)] = Expect::Unsure;
                }
            }
        }
    }
    return result;
}

}  // namespace e2e
