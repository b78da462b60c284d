#include "gloam/geometry/light.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

Vertex coloured(int r, int g, int b, float x = 0, float y = 0, float z = 0) {
    Vertex v = blackAt(x, y, z);
    v.red = r;
    v.green = g;
    v.blue = b;
    return v;
}

// Loose vertices lit the way a frame lights them: update, then the list.
struct Scene {
    std::unique_ptr<Mesh> mesh;
    // World normals to set after the update: lighting reads them, and setting
    // them directly spares building faces.
    std::vector<std::pair<int, Vec3>> normals;

    explicit Scene(std::initializer_list<Vertex> vertices) : mesh(meshOf(vertices)) {}
    const Vertex* lit(std::vector<Light*> lights) {
        mesh->update();
        Vertex* world = mesh->transformedVertices();
        for (const auto& [i, n] : normals) {
            world[i].nx = n.x;
            world[i].ny = n.y;
            world[i].nz = n.z;
        }
        mesh->applyLights(lights.data(), int(lights.size()));
        return world;
    }
};

TEST(Lights, DirectionalLightKeepsAUnitDirectionUnlessItHasNone) {
    DirectionalLight sun(255, 255, 255, 3, 0, -4);
    EXPECT_POSITION(sun.direction, 0.6f, 0.0f, -0.8f);
    sun.setDirection(0, -2, 0);
    EXPECT_POSITION(sun.direction, 0.0f, -1.0f, 0.0f);
    sun.setDirection(0, 0, 0);
    EXPECT_POSITION(sun.direction, 0.0f, 0.0f, 0.0f);
}

TEST(Lights, PointLightIsFullWithinItsRangeAndFallsOffBeyond) {
    Scene scene{coloured(0, 0, 0, 80, 0, 0), coloured(100, 0, 0, 0, -160, 0),
                coloured(0, 0, 0, 0, 0, 400)};
    PointLight light(255, 255, 10, 0, 0, 0, 80);
    const Vertex* v = scene.lit({&light});
    EXPECT_COLOUR(v[0], 255, 255, 10);  // exactly at the range: full
    EXPECT_COLOUR(v[1], 227, 127, 5);   // 100 + 127.5 and 0 + 127.5 truncate together
    EXPECT_COLOUR(v[2], 51, 51, 2);     // five ranges away

    // Range 0 reaches only the light's own position; elsewhere c / ∞ adds nothing.
    Scene pinpoint{coloured(0, 0, 0, 5, 5, 5), coloured(3, 3, 3, 5, 5, 5.001f)};
    PointLight point(0, 0, 255, 5, 5, 5, 0);
    v = pinpoint.lit({&point});
    EXPECT_COLOUR(v[0], 0, 0, 255);
    EXPECT_COLOUR(v[1], 3, 3, 3);

    // 1e20 squared overflows a float: measured in float this vertex would be
    // infinitely far; in double it is ten ranges away.
    Scene far{coloured(0, 0, 0, 1e20f, 0, 0)};
    PointLight wide(255, 0, 0, 0, 0, 0, 1e19f);
    EXPECT_COLOUR(far.lit({&wide})[0], 25, 0, 0);
}

TEST(Lights, DirectionalLightSetsTheColourOfTheVerticesItFaces) {
    Scene scene{coloured(200, 10, 10), coloured(200, 10, 10), coloured(200, 10, 10)};
    scene.normals = {{0, {0.5f, 0.8660254f, 0}},  // s = 0.5 exactly
                     {1, {0, 1, 0}},              // s = 0: at right angles
                     {2, {-1, 0, 0}}};            // facing away
    DirectionalLight light(255, 100, -50, 1, 0, 0);
    const Vertex* v = scene.lit({&light});
    EXPECT_COLOUR(v[0], 127, 50, -25);
    EXPECT_COLOUR(v[1], 200, 10, 10);
    EXPECT_COLOUR(v[2], 200, 10, 10);
}

TEST(Lights, ListOrderMattersAndOnlyTheFinalSumIsClamped) {
    Scene scene{coloured(0, 0, 0)};
    scene.normals = {{0, {0, 1, 0}}};
    DirectionalLight sun(100, 100, 100, 0, 1, 0);
    AmbientLight grey(50, 50, 50);
    EXPECT_COLOUR(scene.lit({&grey, &sun})[0], 100, 100, 100);  // the sun erases the ambient
    EXPECT_COLOUR(scene.lit({&sun, &grey})[0], 150, 150, 150);

    AmbientLight bright(200, 200, 200), negative(-500, -300, -500);
    EXPECT_COLOUR(scene.lit({&bright, &bright})[0], 255, 255, 255);
    // 400 - 300 stays 100: nothing is clamped between lights, nor from below.
    EXPECT_COLOUR(scene.lit({&bright, &bright, &negative})[0], -100, 100, -100);

    Scene hot{coloured(300, -5, 1000)};
    EXPECT_COLOUR(hot.lit({})[0], 255, -5, 255);

    // Lights of no known kind are skipped, and so are null entries and lists.
    AmbientLight unassigned(100, 100, 100);
    unassigned.type = LightType(2);
    Light bare;
    EXPECT_COLOUR(hot.lit({&unassigned, nullptr, &bare})[0], 255, -5, 255);
    hot.mesh->applyLights(nullptr, 2);
    EXPECT_COLOUR(hot.mesh->transformedVertices()[0], 255, -5, 255);
}

}  // namespace
