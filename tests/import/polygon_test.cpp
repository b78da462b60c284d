// Splitting polygons into triangles that cover them exactly.

#include "gloam/import/polygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace gloam;

namespace {

struct Normal {
    double x, y, z;
};

Normal cross(const Vec3& a, const Vec3& b, const Vec3& c) {
    const double u[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double v[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

double length(const Normal& n) { return std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z); }

// Twice the polygon's vector area: its normal, as long as twice its area.
Normal newell(const std::vector<Vec3>& p) {
    Normal n{0, 0, 0};
    for (std::size_t k = 0; k < p.size(); ++k) {
        const Vec3 &a = p[k], &b = p[(k + 1) % p.size()];
        n.x += (double(a.y) - b.y) * (double(a.z) + b.z);
        n.y += (double(a.z) - b.z) * (double(a.x) + b.x);
        n.z += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    return n;
}

// Flat (x, y) outlines, placed in 3-D by `tilt`.
using Outline = std::vector<std::pair<float, float>>;

std::vector<Vec3> place(const Outline& outline, bool tilted, bool reversed) {
    std::vector<Vec3> corners;
    for (const auto& [x, y] : outline) {
        corners.push_back(tilted
                              ? Vec3{0.6f * x + 0.1f * y, 0.3f * x - 0.7f * y, 0.74f * x + 0.7f * y}
                              : Vec3{x, y, 2});
    }
    if (reversed) std::reverse(corners.begin(), corners.end());
    return corners;
}

TEST(PolygonSplitter, AwkwardPolygonsAreCoveredExactlyWithTheirWinding) {
    const struct {
        const char* name;
        Outline outline;
    } cases[] = {
        // A square with a square hole, cut open along a bridge from the outer
        // ring's first corner to the hole's, both visited twice.
        {"bridged ring",
         {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}, {1, 1}, {1, 3}, {3, 3}, {3, 1}, {1, 1}}},
        // Two holes, the second bridged from a corner of the first.
        {"two bridged holes",
         {{0, 0},
          {9, 0},
          {9, 4},
          {0, 4},
          {0, 0},
          {1, 1},
          {1, 3},
          {3, 3},
          {3, 1},
          {5, 1},
          {5, 3},
          {7, 3},
          {7, 1},
          {5, 1},
          {3, 1},
          {1, 1}}},
        // An L with runs of corners on one line, and a reflex corner among them.
        {"collinear runs",
         {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 3}, {0, 3}, {0, 2}}},
        // A corner written twice in a row, in a concave polygon.
        {"repeated corner", {{0, 0}, {4, 0}, {4, 4}, {4, 4}, {2, 1}, {0, 4}}},
        // Two squares that touch at one corner, walked as one ring.
        {"pinched", {{0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 1}, {0, 1}}},
        // Cells of a grid, where the line between two corners may run
        // through a third.
        {"grid cells",
         {{8, 5}, {8, 4}, {8, 3}, {9, 3}, {10, 3}, {10, 4}, {9, 4}, {9, 5}, {9, 6}, {9, 7},
          {8, 7}, {7, 7}, {7, 8}, {6, 8}, {5, 8},  {5, 7},  {5, 6}, {6, 6}, {7, 6}, {7, 5}}},
        // An antenna sticking out of a square, there and back.
        {"spike", {{0, 0}, {2, 0}, {2, 2}, {3, 3}, {2, 2}, {0, 2}}},
    };
    PolygonSplitter splitter;
    for (const auto& c : cases) {
        for (const bool tilted : {false, true}) {
            for (const bool reversed : {false, true}) {
                const std::vector<Vec3> corners = place(c.outline, tilted, reversed);
                SCOPED_TRACE(std::string(c.name) + (tilted ? ", tilted" : "") +
                             (reversed ? ", reversed" : ""));
                std::vector<Triangle> triangles{{7, 7, 7}};
                ASSERT_EQ(splitter.split(corners, triangles), PolygonCover::Exact);
                ASSERT_EQ(triangles[0], (Triangle{7, 7, 7}));  // appended, not replaced
                const Normal polygon = newell(corners);
                double sum = 0;
                for (std::size_t k = 1; k < triangles.size(); ++k) {
                    const Triangle& t = triangles[k];
                    const Normal n =
                        cross(corners.at(std::size_t(t[0])), corners.at(std::size_t(t[1])),
                              corners.at(std::size_t(t[2])));
                    EXPECT_GT(n.x * polygon.x + n.y * polygon.y + n.z * polygon.z, 0)
                        << "triangle " << k;
                    sum += length(n);
                }
                EXPECT_NEAR(sum, length(polygon), 1e-4 * length(polygon));
            }
        }
    }
}

TEST(PolygonSplitter, WhatCannotBeCoveredAddsNothing) {
    const struct {
        const char* name;
        Outline outline;
        PolygonCover result;
    } cases[] = {
        {"bow tie", {{0, 0}, {2, 2}, {2, 0}, {0, 2}}, PolygonCover::SelfCrossing},
        {"star that goes round twice",
         {{0, 3}, {2, -3}, {-3, 1}, {3, 1}, {-2, -3}},
         PolygonCover::SelfCrossing},
        // The hole runs the outer ring's way, so the ring winds round it twice.
        {"hole wound the wrong way",
         {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}, {1, 1}, {3, 1}, {3, 3}, {1, 3}, {1, 1}},
         PolygonCover::SelfCrossing},
        {"corners on one line", {{0, 0}, {1, 1}, {3, 3}, {2, 2}}, PolygonCover::NoArea},
        {"two corners", {{0, 0}, {1, 1}}, PolygonCover::NoArea},
    };
    PolygonSplitter splitter;
    for (const auto& c : cases) {
        std::vector<Triangle> triangles;
        EXPECT_EQ(splitter.split(place(c.outline, false, false), triangles), c.result) << c.name;
        EXPECT_TRUE(triangles.empty()) << c.name;
    }
}

}  // namespace
