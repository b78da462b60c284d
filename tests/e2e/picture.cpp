#include "tests/e2e/picture.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "gloam/meshio/pob.h"

using namespace gloam;

namespace e2e {

namespace {

// The scene, as the demo builds it.
constexpr double floorMin = -500, floorMax = 400, floorY = -0.5;
constexpr double bigBoxX = -220, bigBoxY = 75, bigBoxZ = 180, bigBoxHalf = 75;
constexpr double smallBoxY = 120;
// The small box (35 on a side) spins about all three axes; a cube of half
// the box's diagonal contains it at every turn.
constexpr double smallBoxReach = 17.5 * 1.7320508075688772 + 0.5;
// The camera: a circle of radius 600 at height 800 around the origin, a
// 45° vertical field of view.
constexpr double orbitRadius = 600, orbitHeight = 800, fieldOfView = 45;

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
// Window pixel coordinates: x to the right, y down from the top row.
struct Point {
    double x = 0, y = 0;
};

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
double share(long part, long whole) { return whole == 0 ? 0 : double(part) / double(whole); }
double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    const std::size_t k = std::min(values.size() - 1, std::size_t(share * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
}

// The convex hull of some points (Andrew's monotone chain), for inside tests.
class ConvexPolygon {
public:
    ConvexPolygon() = default;
    explicit ConvexPolygon(std::vector<Point> points) {
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
        left_ = points.front().x;
        right_ = points.back().x;
        for (const Point& p : corners_) {
            top_ = std::min(top_, p.y);
            bottom_ = std::max(bottom_, p.y);
        }
    }
    bool contains(Point p) const {
        if (corners_.size() < 3 || p.x < left_ || p.x > right_ || p.y < top_ || p.y > bottom_)
            return false;
        for (std::size_t i = 0; i < corners_.size(); ++i)
            if (turn(corners_[i], corners_[(i + 1) % corners_.size()], p) < 0) return false;
        return true;
    }

private:
    std::vector<Point> corners_;
    double left_ = 0, right_ = 0, top_ = 1e300, bottom_ = -1e300;
};

// The animation state the program draws frame `frame` (counted from 1)
// with, replayed in the program's single-precision steps.
struct FrameState {
    int frame = 0;
    float orbitAngle = 0, swing = 0, boxX = 0, boxZ = 0;
};

std::vector<FrameState> replayFrames(int count) {
    std::vector<FrameState> frames;
    float angle = 0, swing = -0.4f, swingStep = 0.005f;
    float boxX = 0, boxZ = 0, stepX = 5, stepZ = 5;
    for (int frame = 1; frame <= count; ++frame) {
        const float drawnAngle = angle;
        angle = float(double(angle) + 0.01);
        if (double(angle) > 6.28318) angle = 0;
        swing += swingStep;
        if (swing > 3.0f || swing < -3.0f) swingStep = -swingStep;
        boxX += stepX;
        boxZ += stepZ;
        if (boxX > 500.0f || boxX < -500.0f) stepX = -stepX;
        if (boxZ > 500.0f || boxZ < -500.0f) stepZ = -stepZ;
        frames.push_back({frame, drawnAngle, swing, boxX, boxZ});
    }
    return frames;
}

// The projection and camera of a frame, for a viewport of width × height.
class Camera {
public:
    Camera(float orbitAngle, int width, int height) : width_(width), height_(height) {
        eye_ = {std::cos(double(orbitAngle)) * orbitRadius, orbitHeight,
                std::sin(double(orbitAngle)) * orbitRadius};
        forward_ = normalised(minus(Vec3{}, eye_));
        side_ = normalised(cross(forward_, Vec3{0, 1, 0}));
        up_ = cross(side_, forward_);
        focalY_ = 1 / std::tan(fieldOfView / 2 * 3.14159265358979323846 / 180);
        focalX_ = focalY_ / (double(width) / double(height));
    }
    Point project(const Vec3& p) const {
        const Vec3 d = minus(p, eye_);
        const double depth = dot(d, forward_);
        return {(focalX_ * dot(d, side_) / depth + 1) / 2 * width_,
                height_ - (focalY_ * dot(d, up_) / depth + 1) / 2 * height_};
    }
    // The point at height `y` that the pixel point `p` shows.
    Vec3 onPlane(const Point& p, double y) const {
        const double sx = (p.x / width_ * 2 - 1) / focalX_;
        const double sy = ((height_ - p.y) / height_ * 2 - 1) / focalY_;
        const Vec3 ray{forward_.x + sx * side_.x + sy * up_.x,
                       forward_.y + sx * side_.y + sy * up_.y,
                       forward_.z + sx * side_.z + sy * up_.z};
        const double t = (y - eye_.y) / ray.y;
        return {eye_.x + t * ray.x, y, eye_.z + t * ray.z};
    }

private:
    Vec3 eye_, side_, up_, forward_;
    double focalX_ = 0, focalY_ = 0;
    int width_ = 0, height_ = 0;
};

// Corners of an axis-aligned box, or (radius 0 in x and z) of a prism.
std::vector<Vec3> boxCorners(Vec3 centre, double halfX, double bottom, double top) {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({centre.x + (i & 1 ? halfX : -halfX), i & 2 ? top : bottom,
                           centre.z + (i & 4 ? halfX : -halfX)});
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

// The table's extent: a vertical prism around the y axis that contains it
// at any turn.
struct TableBounds {
    double radius = 0, bottom = 0, top = 0;
};

// What a pixel of a frame should show.
enum class Expect : unsigned char {
    Background,   // nothing drawn: the clear colour
    Floor,        // the lit floor
    FloorShadow,  // the floor under the big box's shadow only
    BigBox,
    Unsure,  // the table, the small box and their shadows, whose exact shape
             // is not modelled, and pixels on an edge between two expectations
};

class FrameView {
public:
    FrameView(const FrameState& state, const TableBounds& table, int width, int height)
        : camera_(state.orbitAngle, width, height) {
        floor_ = projected(camera_, {{floorMin, floorY, floorMin},
                                     {floorMax, floorY, floorMin},
                                     {floorMax, floorY, floorMax},
                                     {floorMin, floorY, floorMax}});
        const auto big = boxCorners({bigBoxX, 0, bigBoxZ}, bigBoxHalf, bigBoxY - bigBoxHalf,
                                    bigBoxY + bigBoxHalf);
        bigBox_ = projected(camera_, big);
        bigBoxShadow_ = projected(camera_, shadowOf(big, state.swing));
        const auto small = boxCorners({state.boxX, 0, state.boxZ}, smallBoxReach,
                                      smallBoxY - smallBoxReach, smallBoxY + smallBoxReach);
        const auto tableShape = boxCorners({}, table.radius, table.bottom, table.top);
        unsure_ = {projected(camera_, small), projected(camera_, tableShape)};
        unsureOnFloor_ = {projected(camera_, shadowOf(small, state.swing)),
                          projected(camera_, shadowOf(tableShape, state.swing))};
    }

    // What the pixel whose centre is (x, y) should show.
    Expect at(double x, double y) const {
        const Point p{x, y};
        for (const auto& polygon : unsure_)
            if (polygon.contains(p)) return Expect::Unsure;
        if (bigBox_.contains(p)) return Expect::BigBox;
        if (!floor_.contains(p)) return Expect::Background;
        for (const auto& polygon : unsureOnFloor_)
            if (polygon.contains(p)) return Expect::Unsure;
        return bigBoxShadow_.contains(p) ? Expect::FloorShadow : Expect::Floor;
    }

    // Every pixel, rows from the top; those with a pixel two away (in any of
    // eight directions) that expects otherwise count as Unsure: rasterisation
    // rounding and the smoothing of the texture filter reach about one pixel
    // across an edge.
    std::vector<Expect> pixels(int width, int height) const {
        constexpr int margin = 2;
        const auto index = [width](int x, int y) { return std::size_t(y) * width + x; };
        std::vector<Expect> exact(std::size_t(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) exact[index(x, y)] = at(x + 0.5, y + 0.5);
        std::vector<Expect> result = exact;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int dy = -margin; dy <= margin; dy += margin)
                    for (int dx = -margin; dx <= margin; dx += margin)
                        if (exact[index(std::clamp(x + dx, 0, width - 1),
                                        std::clamp(y + dy, 0, height - 1))] != exact[index(x, y)])
                            result[index(x, y)] = Expect::Unsure;
        return result;
    }

    // Where on its texture the floor is at the pixel point `p`: each
    // 100 × 100 cell of the grid shows the whole texture, u along x and v
    // along z.
    Point floorTexturePoint(const Point& p) const {
        const Vec3 w = camera_.onPlane(p, floorY);
        const double u = (w.x - floorMin) / 100, v = (w.z - floorMin) / 100;
        return {u - std::floor(u), v - std::floor(v)};
    }

private:
    Camera camera_;
    ConvexPolygon floor_, bigBox_, bigBoxShadow_;
    std::vector<ConvexPolygon> unsure_, unsureOnFloor_;
};

// An uncompressed 24-bit bitmap, rows from the top; read here rather than
// by the engine's reader, so that a fault there cannot hide in both.
Image readBmp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto number = [&data](std::size_t at, int bytes) {
        std::uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = value << 8 | std::uint8_t(data[at + i]);
        return value;
    };
    if (data.size() < 54 || data.compare(0, 2, "BM") != 0 || number(28, 2) != 24 ||
        number(30, 4) != 0)
        throw std::runtime_error("cannot read " + file.string());
    const std::size_t offset = number(10, 4);
    Image image;
    image.width = int(number(18, 4));
    const int height = int(std::int32_t(number(22, 4)));
    image.height = std::abs(height);
    const std::size_t stride = (std::size_t(image.width) * 3 + 3) & ~std::size_t(3);
    if (image.width <= 0 || offset + stride * image.height > data.size())
        throw std::runtime_error("cannot read " + file.string());
    for (int y = 0; y < image.height; ++y) {
        // Positive heights store the bottom row first.
        const std::size_t row =
            offset + stride * std::size_t(height > 0 ? image.height - 1 - y : y);
        for (int x = 0; x < image.width; ++x) {
            const char* p = &data[row + 3 * std::size_t(x)];
            image.pixels.push_back({std::uint8_t(p[2]), std::uint8_t(p[1]), std::uint8_t(p[0])});
        }
    }
    return image;
}

// The floor texture as the floor shows it, red + green.
class FloorTexture {
public:
    explicit FloorTexture(const Image& texture) : width_(texture.width), height_(texture.height) {
        for (const Rgb& p : texture.pixels) levels_.push_back(double(p.r) + p.g);
    }
    // Bilinear and repeating, at texture point `p`. GL's v = 0 is the
    // bitmap's bottom row, which the image holds last.
    double level(const Point& p) const {
        const double tx = p.x * width_ - 0.5, ty = (1 - p.y) * height_ - 0.5;
        const int x0 = int(std::floor(tx)), y0 = int(std::floor(ty));
        const double fx = tx - x0, fy = ty - y0;
        return (texel(x0, y0) * (1 - fx) + texel(x0 + 1, y0) * fx) * (1 - fy) +
               (texel(x0, y0 + 1) * (1 - fx) + texel(x0 + 1, y0 + 1) * fx) * fy;
    }
    // Whether the texels within two of `p` are alike (within 12%): the
    // bilinear filter reaches one, a pixel's error in position about one
    // more, and there such errors change nothing.
    bool even(const Point& p) const {
        const int x = int(std::lround(p.x * width_ - 0.5));
        const int y = int(std::lround((1 - p.y) * height_ - 0.5));
        double low = 1e9, high = 0;
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                low = std::min(low, texel(x + dx, y + dy));
                high = std::max(high, texel(x + dx, y + dy));
            }
        }
        return high <= 1.12 * low;
    }

private:
    double texel(int x, int y) const {
        return levels_[std::size_t((y % height_ + height_) % height_) * width_ +
                       (x % width_ + width_) % width_];
    }
    int width_ = 0, height_ = 0;
    std::vector<double> levels_;
};

enum class Seen : unsigned char { Black, LitFloor, DarkFloor, Box, Other };

// Eight-bit channels: after the light and the shadow have scaled a texel,
// each channel is off by up to one step each way.
constexpr double rounding = 1.5;
// Both channels at or below this are taken for the black clear colour. A
// shadowed grout line under the weakest sun (a quarter of full light, then a
// fifth of that) comes down to about 5, so it is also counted as black,
// which is what a shadow may look like.
constexpr int blackLevel = 6;
// Lit floor against shadowed floor: the grout is ~0.58 of the tile's
// brightness, a shadowed tile at most ~0.23 of it; this splits them.
constexpr double darkFloorShare = 0.4;
// Pixels closer than this to any floor texel's ratio are not the box's red.
constexpr double boxRedGap = 2.0;

struct Model {
    // Red over green of the floor texture, 1st and 99th percentile. The
    // lights are white and blue and the shadow black, so every floor pixel
    // keeps this ratio however it is lit.
    double floorRedLow = 0, floorRedHigh = 0;
    FloorTexture floorTexture;
    TableBounds table;
    // Ten laps of the camera: far more frames than are drawn before a grab
    // at any speed seen here (100-150 frames a second natively).
    std::vector<FrameState> frames = replayFrames(6290);

    explicit Model(const std::filesystem::path& assets)
        : Model(assets, readBmp(assets / "limestonetile.bmp")) {}
    Model(const std::filesystem::path& assets, const Image& floor) : floorTexture(floor) {
        std::vector<double> ratios;
        for (const Rgb& p : floor.pixels) ratios.push_back(double(p.r) / std::max(1, int(p.g)));
        floorRedLow = percentile(ratios, 0.01);
        floorRedHigh = percentile(ratios, 0.99);
        const auto mesh = loadPob((assets / "table.pob").c_str());
        if (mesh == nullptr) throw std::runtime_error("cannot read the table");
        table.bottom = table.top = mesh->vertices()[0].y;
        for (std::int32_t i = 0; i < mesh->vertexCount(); ++i) {
            const Vertex& v = mesh->vertices()[i];
            table.radius = std::max(table.radius, std::hypot(double(v.x), double(v.z)));
            table.bottom = std::min(table.bottom, double(v.y));
            table.top = std::max(table.top, double(v.y));
        }
    }

    bool floorLike(const Rgb& p) const {
        return p.r >= floorRedLow * p.g - rounding && p.r <= floorRedHigh * p.g + rounding;
    }

    std::vector<Seen> classify(const Image& image) const {
        // Median green of the floor-coloured pixels: lit tiles, mostly.
        std::vector<double> floorGreens;
        for (const Rgb& p : image.pixels)
            if (!(p.r <= blackLevel && p.g <= blackLevel) && floorLike(p))
                floorGreens.push_back(p.g);
        const double floorGreen = percentile(floorGreens, 0.5);
        std::vector<Seen> seen;
        for (const Rgb& p : image.pixels) {
            if (p.r <= blackLevel && p.g <= blackLevel) {
                seen.push_back(Seen::Black);
            } else if (floorLike(p)) {
                seen.push_back(p.g < darkFloorShare * floorGreen ? Seen::DarkFloor
                                                                 : Seen::LitFloor);
            } else {
                seen.push_back(p.r > floorRedHigh * p.g + rounding + boxRedGap ? Seen::Box
                                                                               : Seen::Other);
            }
        }
        return seen;
    }
};

bool matches(Expect expect, Seen seen, bool shadowsKnown) {
    const bool floorOrDark =
        seen == Seen::LitFloor || seen == Seen::DarkFloor || seen == Seen::Black;
    switch (expect) {
        case Expect::Background:
            return seen == Seen::Black;
        case Expect::Floor:
            return shadowsKnown ? seen == Seen::LitFloor : floorOrDark;
        case Expect::FloorShadow:
            return shadowsKnown ? seen == Seen::DarkFloor || seen == Seen::Black : floorOrDark;
        case Expect::BigBox:
            // Anything but the lit floor: faces turned from the sun are dark,
            // and dark pixels of any colour pass for dark floor; the iron
            // bands, blued by the small box's light, are neither red nor floor.
            return seen != Seen::LitFloor;
        case Expect::Unsure:
            break;
    }
    return false;
}

// Share of the sure pixels, every `step`-th in both directions, that look as
// `view` expects.
double sampledAgreement(const std::vector<Seen>& seen, int width, int height, const FrameView& view,
                        int step, bool shadowsKnown) {
    long considered = 0, agreeing = 0;
    for (int y = step / 2; y < height; y += step) {
        for (int x = step / 2; x < width; x += step) {
            const Expect expect = view.at(x + 0.5, y + 0.5);
            if (expect == Expect::Unsure) continue;
            ++considered;
            agreeing += matches(expect, seen[std::size_t(y) * width + x], shadowsKnown);
        }
    }
    return share(agreeing, considered);
}

// The frame whose expected picture the grab agrees with best. The camera
// comes back to the same angle every 629 frames, so the angle is found
// first, on a coarse grid of pixels and without the shadows (they depend on
// the lap); then the lap, with them, on a finer grid.
FrameState fitFrame(const Image& image, const std::vector<Seen>& seen, const Model& model) {
    constexpr std::size_t lap = 629;
    const auto score = [&](std::size_t i, int step, bool shadowsKnown) {
        return sampledAgreement(seen, image.width, image.height,
                                FrameView(model.frames[i], model.table, image.width, image.height),
                                step, shadowsKnown);
    };
    double bestScore = -1;
    std::size_t bestAngle = 0, best = 0;
    for (std::size_t i = 0; i < lap; ++i) {
        if (const double a = score(i, 8, false); a > bestScore) bestScore = a, bestAngle = i;
    }
    bestScore = -1;
    // Neighbouring angles too: a coarse grid can prefer one of them.
    for (std::size_t start = bestAngle + lap - 1; start <= bestAngle + lap + 1; ++start) {
        for (std::size_t i = start % lap; i < model.frames.size(); i += lap) {
            if (const double a = score(i, 4, true); a > bestScore) bestScore = a, best = i;
        }
    }
    return model.frames[best];
}

const Model& model() {
    static const Model theModel(GLOAM_ASSET_DIR);
    return theModel;
}

}  // namespace

Reading readFrame(const Image& image) {
    const Model& m = model();
    const std::vector<Seen> seen = m.classify(image);
    const FrameState state = fitFrame(image, seen, m);
    const FrameView view(state, m.table, image.width, image.height);
    const std::vector<Expect> expected = view.pixels(image.width, image.height);
    Reading r;
    r.frame = state.frame;
    r.swing = state.swing;

    struct Sample {
        double value;   // red + green of the pixel
        Point texture;  // where on the floor texture it lies
    };
    std::vector<Sample> litFloor, shadow;
    long considered = 0, agreeing = 0, boxLit = 0, boxReds = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t i = std::size_t(y) * image.width + x;
            const Rgb& p = image.pixels[i];
            const auto sample = [&] {
                return Sample{double(p.r) + p.g, view.floorTexturePoint({x + 0.5, y + 0.5})};
            };
            if (expected[i] != Expect::Unsure) {
                ++considered;
                agreeing += matches(expected[i], seen[i], true);
            }
            if (expected[i] == Expect::Floor && seen[i] == Seen::LitFloor)
                litFloor.push_back(sample());
            if (expected[i] == Expect::FloorShadow) shadow.push_back(sample());
            // The box's colour is judged where there is light enough to show
            // it: red + green of a plank texel under a tenth of full light.
            if (expected[i] == Expect::BigBox && int(p.r) + p.g >= 40) {
                ++boxLit;
                boxReds += seen[i] == Seen::Box;
            }
        }
    }
    r.agreement = share(agreeing, considered);
    r.bigBoxRed = share(boxReds, boxLit);

    // One 8-bit step in red and in green.
    constexpr double levelStep = 2;
    const FloorTexture& texture = m.floorTexture;
    std::vector<double> ratios;
    for (const Sample& s : litFloor)
        if (texture.even(s.texture)) ratios.push_back(s.value / texture.level(s.texture));
    r.floorLight = percentile(ratios, 0.5);
    long matching = 0;
    for (const Sample& s : litFloor) {
        const double lit = r.floorLight * texture.level(s.texture);
        matching += texture.even(s.texture) && std::abs(s.value - lit) <= 0.08 * lit + levelStep;
    }
    r.floorMatch = share(matching, long(ratios.size()));

    // Black at alpha 0.8 leaves a fifth of what it covers. A flattened box
    // covers its shadow at least twice (the faces the light enters and
    // leaves by); where the rounding of depth lets the second layer through
    // too, a 25th is left.
    r.shadowPixels = long(shadow.size());
    long layered = 0;
    std::vector<double> singleRatios;
    for (const Sample& s : shadow) {
        if (!texture.even(s.texture)) continue;
        ++r.shadowCompared;
        const double lit = r.floorLight * texture.level(s.texture);
        if (std::abs(s.value - 0.2 * lit) <= 0.1 * 0.2 * lit + levelStep) {
            singleRatios.push_back(s.value / lit);
        } else if (s.value <= 0.04 * lit * 1.2 + levelStep) {
            ++layered;
        }
    }
    r.shadowSinglePixels = long(singleRatios.size());
    r.shadowSingle = share(r.shadowSinglePixels, r.shadowCompared);
    r.shadowLayered = share(layered, r.shadowCompared);
    r.shadowRatio = percentile(singleRatios, 0.5);
    return r;
}

std::string Reading::describe() const {
    char text[400];
    std::snprintf(text, sizeof text,
                  "frame %d (agreement %.4f): floor light %.3f, match %.4f; big box red %.3f; "
                  "shadow %ld px (%ld compared: one layer %.3f at %.4f, more %.3f)",
                  frame, agreement, floorLight, floorMatch, bigBoxRed, shadowPixels, shadowCompared,
                  shadowSingle, shadowRatio, shadowLayered);
    return text;
}

bool writePng(const Image& image, const std::filesystem::path& file) {
    const auto bigEndian = [](std::string& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char(value >> shift));
    };
    const auto chunk = [&](std::string& out, const std::string& body) {  // type + data
        bigEndian(out, std::uint32_t(body.size() - 4));
        out += body;
        bigEndian(out, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                           uInt(body.size()))));
    };
    // Each row starts with filter type 0 (none); zlib does the rest.
    std::string raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x)
            raw += {char(image.at(x, y).r), char(image.at(x, y).g), char(image.at(x, y).b)};
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);
    std::string header = "IHDR";
    bigEndian(header, std::uint32_t(image.width));
    bigEndian(header, std::uint32_t(image.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, deflate, no filter or interlace
    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, header);
    chunk(png, "IDAT" + packed);
    chunk(png, "IEND");
    std::ofstream out(file, std::ios::binary);
    return bool(out << png << std::flush);
}

}  // namespace e2e
