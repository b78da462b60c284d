#include "gloam/import/polygon.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace gloam {

namespace {

// The sign of the exact sum of `count` doubles: the terms are added into an
// expansion, components that do not overlap in increasing magnitude, whose
// largest component has the sign of the whole.
int signOfSum(const double* terms, int count) {
    double parts[8];
    int used = 0;
    for (int i = 0; i < count; ++i) {
        double q = terms[i];
        int kept = 0;
        for (int j = 0; j < used; ++j) {
            // Two-sum: q + parts[j] as a rounded sum and its exact error.
            const double sum = q + parts[j];
            const double bigger = sum - q;
            const double smaller = sum - bigger;
            const double error = (q - smaller) + (parts[j] - bigger);
            if (error != 0) parts[kept++] = error;
            q = sum;
        }
        if (q != 0) parts[kept++] = q;
        used = kept;
    }
    return used == 0 ? 0 : parts[used - 1] > 0 ? 1 : -1;
}

// Which side of the line a -> b the point c lies on: 1 left, -1 right, 0 on
// it, exactly. The coordinates are floats, so each product of two of them
// is exact in double; only when the rounded determinant is too close to 0 to
// trust are those products summed exactly.
int orient(double ax, double ay, double bx, double by, double cx, double cy) {
    const double left = (bx - ax) * (cy - ay);
    const double right = (by - ay) * (cx - ax);
    const double det = left - right;
    // The rounding error bound of the expression above, for double inputs.
    const double bound = 3.3306690738754716e-16 * (std::fabs(left) + std::fabs(right));
    if (det > bound) return 1;
    if (-det > bound) return -1;
    const double terms[6] = {bx * cy, -(bx * ay), -(ax * cy), -(by * cx), by * ax, ay * cx};
    return signOfSum(terms, 6);
}

// Whether the triangle faces away from `normal` only because it is thinner
// than floats can place its corners: corners meant to lie on one line come
// out of rounding (the exporter's and ours) a hair to one side or the other
// of it, and seen in the polygon's plane turn the right way while their own
// plane tips over. Moving a corner by d changes twice the area by at most d
// times the opposite side.
bool tippedSliver(const Vec3& a, const Vec3& b, const Vec3& c, const double* normal) {
    const double ab[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double ac[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    const double cross[3] = {ab[1] * ac[2] - ab[2] * ac[1], ab[2] * ac[0] - ab[0] * ac[2],
                             ab[0] * ac[1] - ab[1] * ac[0]};
    if (cross[0] * normal[0] + cross[1] * normal[1] + cross[2] * normal[2] > 0) return false;
    const double bc[3] = {ac[0] - ab[0], ac[1] - ab[1], ac[2] - ab[2]};
    const auto length = [](const double* v) {
        return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    };
    const auto magnitude = [](const Vec3& p) {
        return std::max({std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
    };
    // Text with six significant digits is some 16 units in the last place
    // of a float off; a few times that.
    const double wobble =
        magnitude(a) * length(bc) + magnitude(b) * length(ac) + magnitude(c) * length(ab);
    return length(cross) <= 64 * 0x1p-24 * wobble;
}

float component(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

}  // namespace

int PolygonSplitter::side(std::int32_t a, std::int32_t b, std::int32_t c) const {
    const Point &p = points[std::size_t(a)], &q = points[std::size_t(b)],
                &r = points[std::size_t(c)];
    return orient(p.x, p.y, q.x, q.y, r.x, r.y);
}

PolygonCover PolygonSplitter::split(std::span<const Vec3> corners,
                                    std::vector<Triangle>& triangles) {
    const std::size_t n = corners.size();
    if (n < 3) return PolygonCover::NoArea;
    if (n == 3) {
        triangles.push_back({0, 1, 2});
        return PolygonCover::Exact;
    }
    if (n > maxPolygonCorners) return PolygonCover::TooManyCorners;

    // Newell's normal picks the plane to work in: the one across its largest
    // component, with the other two axes in cyclic order so that a positive
    // area means anticlockwise seen along the normal.
    double normal[3] = {0, 0, 0};
    for (std::size_t k = 0; k < n; ++k) {
        const Vec3& a = corners[k];
        const Vec3& b = corners[k + 1 == n ? 0 : k + 1];
        normal[0] += (double(a.y) - b.y) * (double(a.z) + b.z);
        normal[1] += (double(a.z) - b.z) * (double(a.x) + b.x);
        normal[2] += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    int axis = 0;
    for (int i = 1; i < 3; ++i) {
        if (std::fabs(normal[i]) > std::fabs(normal[axis])) axis = i;
    }
    if (normal[axis] == 0) {
        // No area in any plane: flat, or lobes that cancel. Seen along its
        // thinnest extent it shows which.
        float low[3], high[3];
        for (int i = 0; i < 3; ++i) low[i] = high[i] = component(corners[0], i);
        for (const Vec3& corner : corners) {
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], component(corner, i));
                high[i] = std::max(high[i], component(corner, i));
            }
        }
        for (int i = 1; i < 3; ++i) {
            if (double(high[i]) - low[i] < double(high[axis]) - low[axis]) axis = i;
        }
    }
    // Swapping the two axes mirrors the plane, which turns a clockwise
    // polygon anticlockwise without rounding anything.
    const bool mirrored = normal[axis] < 0;
    points.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double u = component(corners[k], (axis + 1) % 3);
        const double v = component(corners[k], (axis + 2) % 3);
        points[k] = mirrored ? Point{v, u} : Point{u, v};
    }

    const std::size_t before = triangles.size();
    if (convex()) {
        for (std::size_t k = 1; k + 1 < n; ++k) {
            triangles.push_back({0, std::int32_t(k), std::int32_t(k + 1)});
        }
    } else if (n > maxPolygonCorners) {
        return PolygonCover::TooManyCorners;
    } else if (!clipEars(triangles) ||
               !overlapFree(triangles.data() + before, triangles.size() - before)) {
        triangles.resize(before);
        return PolygonCover::SelfCrossing;
    }
    const auto kept = std::remove_if(
        triangles.begin() + std::ptrdiff_t(before), triangles.end(), [&](const Triangle& t) {
            return tippedSliver(corners[std::size_t(t[0])], corners[std::size_t(t[1])],
                                corners[std::size_t(t[2])], normal);
        });
    triangles.erase(kept, triangles.end());
    return triangles.size() == before ? PolygonCover::NoArea : PolygonCover::Exact;
}

// Every corner turns left, and the edges go round once: their x directions
// change sign twice, where a star that goes round twice changes four times.
bool PolygonSplitter::convex() const {
    const std::size_t n = points.size();
    int changes = 0;
    double lastDx = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t a = k == 0 ? n - 1 : k - 1, c = k + 1 == n ? 0 : k + 1;
        if (side(std::int32_t(a), std::int32_t(k), std::int32_t(c)) <= 0) return false;
        const double dx = points[c].x - points[k].x;
        if (dx != 0) {
            if (lastDx != 0 && (dx > 0) != (lastDx > 0)) ++changes;
            lastDx = dx;
        }
    }
    // The change from the last edge with a direction back to the first.
    for (std::size_t k = 0; k < n; ++k) {
        const double dx = points[k + 1 == n ? 0 : k + 1].x - points[k].x;
        if (dx != 0) {
            changes += (dx > 0) != (lastDx > 0);
            break;
        }
    }
    return changes <= 2;
}

void PolygonSplitter::unlink(std::int32_t k) {
    next[std::size_t(prev[std::size_t(k)])] = next[std::size_t(k)];
    prev[std::size_t(next[std::size_t(k)])] = prev[std::size_t(k)];
    alive[std::size_t(k)] = false;
}

// Whether corner p keeps a -> b -> c from being cut off: it lies inside the
// triangle, or on its border with one of its edges heading inside. Corners
// on the border whose edges stay out are where a bridge or a touching part
// of the ring meets the triangle, and do not hinder it.
bool PolygonSplitter::blocks(std::int32_t p, std::int32_t a, std::int32_t b, std::int32_t c) const {
    const std::int32_t sides[3][2] = {{a, b}, {b, c}, {c, a}};
    int where[3];
    for (int e = 0; e < 3; ++e) {
        where[e] = side(sides[e][0], sides[e][1], p);
        if (where[e] < 0) return false;
    }
    if (where[0] > 0 && where[1] > 0 && where[2] > 0) return true;
    for (const std::int32_t q : {prev[std::size_t(p)], next[std::size_t(p)]}) {
        bool inward = true;
        for (int e = 0; e < 3 && inward; ++e) {
            inward = where[e] > 0 || side(sides[e][0], sides[e][1], q) > 0;
        }
        if (inward) return true;
    }
    return false;
}

// Cuts off corners one at a time: those on a straight line with their
// neighbours (spikes and repeated corners too) as soon as there are any,
// without a triangle, and otherwise the tip of an ear: a left turn whose
// triangle holds no part of the rest of the ring. Each cut leaves the area
// the rest winds round smaller by exactly what was cut off. A ring with
// only antennas left winds round nothing, and an ear cut from it would be
// outside the polygon; clearing the straight corners first never leaves
// one. False when no corner can be cut, which a polygon that crosses itself
// comes to.
bool PolygonSplitter::clipEars(std::vector<Triangle>& triangles) {
    const std::size_t n = points.size();
    prev.resize(n);
    next.resize(n);
    alive.assign(n, true);
    byX.resize(n);
    straight.clear();
    for (std::size_t k = 0; k < n; ++k) {
        prev[k] = std::int32_t(k == 0 ? n - 1 : k - 1);
        next[k] = std::int32_t(k + 1 == n ? 0 : k + 1);
        byX[k] = std::int32_t(k);
        straight.push_back(std::int32_t(k));
    }
    std::sort(byX.begin(), byX.end(), [&](std::int32_t i, std::int32_t j) {
        return points[std::size_t(i)].x < points[std::size_t(j)].x;
    });

    std::size_t left = n;
    const auto cut = [&](std::int32_t k) {
        unlink(k);
        --left;
        straight.push_back(prev[std::size_t(k)]);
        straight.push_back(next[std::size_t(k)]);
    };
    const auto cutStraight = [&] {
        while (!straight.empty() && left > 2) {
            const std::int32_t k = straight.back();
            straight.pop_back();
            if (alive[std::size_t(k)] && side(prev[std::size_t(k)], k, next[std::size_t(k)]) == 0) {
                cut(k);
            }
        }
    };

    cutStraight();
    std::int32_t b = 0;
    while (!alive[std::size_t(b)]) ++b;
    for (std::size_t tries = 0; left > 2; b = next[std::size_t(b)]) {
        if (tries++ == left) return false;
        const std::int32_t a = prev[std::size_t(b)], c = next[std::size_t(b)];
        if (side(a, b, c) <= 0 || !isEar(a, b, c)) continue;
        triangles.push_back({a, b, c});
        cut(b);
        cutStraight();
        tries = 0;
        // The corner before has a new neighbour, and may be an ear now.
        b = alive[std::size_t(a)] ? prev[std::size_t(a)] : c;
    }
    return true;
}

// Whether no corner of the ring keeps a -> b -> c from being cut off.
bool PolygonSplitter::isEar(std::int32_t a, std::int32_t b, std::int32_t c) const {
    const Point &pa = points[std::size_t(a)], &pb = points[std::size_t(b)],
                &pc = points[std::size_t(c)];
    const double x0 = std::min({pa.x, pb.x, pc.x}), x1 = std::max({pa.x, pb.x, pc.x});
    const double y0 = std::min({pa.y, pb.y, pc.y}), y1 = std::max({pa.y, pb.y, pc.y});
    auto it = std::lower_bound(byX.begin(), byX.end(), x0, [&](std::int32_t i, double x) {
        return points[std::size_t(i)].x < x;
    });
    for (; it != byX.end() && points[std::size_t(*it)].x <= x1; ++it) {
        const std::int32_t p = *it;
        const double y = points[std::size_t(p)].y;
        if (alive[std::size_t(p)] && p != a && p != b && p != c && y >= y0 && y <= y1 &&
            blocks(p, a, b, c)) {
            return false;
        }
    }
    return true;
}

// Whether no two of the triangles share any area. The cuts cover every
// point as often as the ring winds round it, so left-turning triangles can
// only overlap where a polygon that does not cross its edges still winds
// round twice. Two triangles share no area when an edge of one has the
// other wholly on its outer side.
bool PolygonSplitter::overlapFree(const Triangle* first, std::size_t count) {
    boxes.resize(count);
    order.resize(count);
    for (std::size_t t = 0; t < count; ++t) {
        Box& b = boxes[t];
        b = {INFINITY, -INFINITY, INFINITY, -INFINITY};
        for (const std::int32_t corner : first[t]) {
            const Point& p = points[std::size_t(corner)];
            b = {std::min(b.x0, p.x), std::max(b.x1, p.x), std::min(b.y0, p.y),
                 std::max(b.y1, p.y)};
        }
        order[t] = std::int32_t(t);
    }
    std::sort(order.begin(), order.end(), [&](std::int32_t s, std::int32_t t) {
        return boxes[std::size_t(s)].x0 < boxes[std::size_t(t)].x0;
    });
    const auto apart = [&](const Triangle& s, const Triangle& t) {
        for (int e = 0; e < 3; ++e) {
            const std::int32_t p = s[std::size_t(e)], q = s[std::size_t((e + 1) % 3)];
            if (side(p, q, t[0]) <= 0 && side(p, q, t[1]) <= 0 && side(p, q, t[2]) <= 0) {
                return true;
            }
        }
        return false;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t s = std::size_t(order[i]);
        const Box& bs = boxes[s];
        for (std::size_t j = i + 1; j < count; ++j) {
            const std::size_t t = std::size_t(order[j]);
            const Box& bt = boxes[t];
            if (bt.x0 >= bs.x1) break;
            if (bt.y0 >= bs.y1 || bs.y0 >= bt.y1) continue;
            if (!apart(first[s], first[t]) && !apart(first[t], first[s])) return false;
        }
    }
    return true;
}

}  // namespace gloam
