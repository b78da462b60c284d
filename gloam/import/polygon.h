#pragma once

// Polygons from other tools, as triangles that cover exactly what the
// polygon covers: their areas add up to the polygon's own, all of them run
// the polygon's way round, and none lies over another. Exporters write
// polygons with holes as one ring cut open along a bridge edge, so that some
// corners are visited twice; those, runs of corners on one line and corners
// repeated one after the other are covered like any other polygon.
//
//   gloam::PolygonSplitter splitter;   // keep it: it reuses its memory
//   std::vector<gloam::Triangle> triangles;
//   if (splitter.split(corners, triangles) != gloam::PolygonCover::Exact) ...

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gloam/geometry/vec3.h"
#include "gloam/geometry/vertex.h"

namespace gloam {

enum class PolygonCover {
    // Triangles were added that cover the polygon exactly once.
    Exact,
    // Its corners lie on one line or in one point (fewer than three corners
    // too), so there is nothing to cover: no triangle is added.
    NoArea,
    // It crosses itself or winds round some of its area twice, so no set of
    // triangles between its corners covers it once with one winding: no
    // triangle is added, rather than triangles that overlap or face both ways.
    SelfCrossing,
    // A concave polygon of more than maxPolygonCorners corners: no triangle
    // is added.
    TooManyCorners,
};

// The most corners of a concave polygon split() takes. Covering one
// carefully takes time that grows with the square of its corner count; no
// modelling tool writes single faces anywhere near this large.
inline constexpr std::size_t maxPolygonCorners = 1 << 13;

class PolygonSplitter {
public:
    // Appends to `triangles` the triangles that cover the polygon whose
    // corners, in order, are at `corners`, each as three indices into
    // `corners`, running round the same way as the polygon. A triangle comes
    // back as it is, and a convex polygon as a fan from its first corner (a
    // quad 0 1 2 3 as 0 1 2 and 0 2 3). A polygon out of its plane is split
    // as seen along its average normal. Slivers between corners that lie on
    // one line but for rounding, whose own plane then tips over, are left
    // out: they cover nothing.
    PolygonCover split(std::span<const Vec3> corners, std::vector<Triangle>& triangles);

private:
    struct Point {
        double x, y;
    };
    // Which side of the line a -> b corner c lies on: 1 left, -1 right, 0
    // on it, exactly.
    int side(std::int32_t a, std::int32_t b, std::int32_t c) const;
    bool convex() const;
    bool clipEars(std::vector<Triangle>& triangles);
    bool isEar(std::int32_t a, std::int32_t b, std::int32_t c) const;
    bool blocks(std::int32_t p, std::int32_t a, std::int32_t b, std::int32_t c) const;
    void unlink(std::int32_t k);
    bool overlapFree(const Triangle* first, std::size_t count);

    // The corners in the plane across the normal's largest component, turned
    // so that the polygon runs anticlockwise.
    std::vector<Point> points;
    // The ring still to be cut, as links between the corners left.
    std::vector<std::int32_t> prev, next;
    std::vector<bool> alive;
    // Corners whose neighbours changed, to look at for a straight line.
    std::vector<std::int32_t> straight;
    // The corners by x, for finding those near a candidate triangle.
    std::vector<std::int32_t> byX;
    // The triangles' bounds, and the triangles by their left edge.
    struct Box {
        double x0, x1, y0, y1;
    };
    std::vector<Box> boxes;
    std::vector<std::int32_t> order;
};

}  // namespace gloam
