#include "geometry/light.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "geometry/mesh.h"
#include "mesh_support.h"

namespace {

// One mesh of loose vertices and a light list, lit the way a frame lights it.
struct Scene {
    std::unique_ptr<Mesh> mesh;
    std::vector<Light*> lights;

    explicit Scene(std::initializer_list<Vertex> vertices) : mesh(meshOf(vertices)) {
        mesh->update();
    }
    // Applies the list once and returns the lit world vertices.
    const Vertex* lit() {
        mesh->applyLights(lights.data(), int(lights.size()));
        return mesh->transformedVertices();
    }
    // Lighting reads the world normal; set it directly rather than build faces.
    void setNormal(int i, float x, float y, float z) {
        Vertex& v = mesh->transformedVertices()[i];
        v.nx = x;
        v.ny = y;
        v.nz = z;
    }
};

Vertex coloured(int r, int g, int b) {
    Vertex v;
    v.red = r;
    v.green = g;
    v.blue = b;
    return v;
}

TEST(Lights, ConstructorsSetKindColourAndGeometry) {
    const Light bare;
    EXPECT_COLOUR(bare, 255, 255, 255);

    const AmbientLight ambient(1, 2, 3);
    EXPECT_COLOUR(ambient, 1, 2, 3);
    EXPECT_EQ(ambient.type, LightAmbient);

    const PointLight point(0, 0, 255, 1, 2, 3, 80);
    EXPECT_EQ(point.type, LightPoint);
    EXPECT_POSITION(point.position, 1.0f, 2.0f, 3.0f);
    EXPECT_EQ(point.range, 80.0f);

    DirectionalLight sun(255, 255, 255, 3, 0, -4);
    EXPECT_EQ(sun.type, LightDirectional);
    EXPECT_POSITION(sun.direction, 0.6f, 0.0f, -0.8f);
    sun.setDirection(0, -2, 0);
    EXPECT_POSITION(sun.direction, 0.0f, -1.0f, 0.0f);
    sun.setDirection(0, 0, 0);  // no direction to normalise: kept, not NaN
    EXPECT_POSITION(sun.direction, 0.0f, 0.0f, 0.0f);
}

TEST(Lights, EmptyListOnlyClampsFromAbove) {
    Scene scene{coloured(300, -5, 255), coloured(256, 0, 1000)};
    const Vertex* v = scene.lit();
    EXPECT_COLOUR(v[0], 255, -5, 255);
    EXPECT_COLOUR(v[1], 255, 0, 255);
}

TEST(Lights, PointLightIsFullWithinItsRangeAndFallsOffBeyond) {
    Vertex atRange = coloured(0, 0, 0), atTwice = coloured(100, 0, 0), beyond = coloured(0, 0, 0);
    atRange.setPosition(80, 0, 0);
    atTwice.setPosition(0, -160, 0);
    beyond.setPosition(0, 0, 400);  // 5 ranges away
    Scene scene{atRange, atTwice, beyond};
    PointLight light(255, 255, 10, 0, 0, 0, 80);
    scene.lights = {&light};

    const Vertex* v = scene.lit();
    EXPECT_COLOUR(v[0], 255, 255, 10);
    // 100 + 127.5 and 0 + 127.5 truncate together to 227 and 127.
    EXPECT_COLOUR(v[1], 227, 127, 5);
    EXPECT_COLOUR(v[2], 51, 51, 2);
}

TEST(Lights, PointLightDistanceIsMeasuredInDouble) {
    // 1e20 squared overflows a float: measured in float this vertex would be
    // infinitely far and get nothing; in double it is 10 ranges away.
    Vertex v = coloured(0, 0, 0);
    v.setPosition(1e20f, 0, 0);
    Scene scene{v};
    PointLight light(255, 0, 0, 0, 0, 0, 1e19f);
    scene.lights = {&light};
    EXPECT_COLOUR(scene.lit()[0], 25, 0, 0);
}

TEST(Lights, PointLightOfRangeZeroOnlyReachesItsOwnPosition) {
    Vertex there = coloured(0, 0, 0), near = coloured(3, 3, 3);
    there.setPosition(5, 5, 5);
    near.setPosition(5, 5, 5.001f);
    Scene scene{there, near};
    PointLight light(0, 0, 255, 5, 5, 5, 0);
    scene.lights = {&light};
    const Vertex* v = scene.lit();
    EXPECT_COLOUR(v[0], 0, 0, 255);
    EXPECT_COLOUR(v[1], 3, 3, 3);
}

TEST(Lights, DirectionalLightSetsTheColourOfTheVerticesItFaces) {
    Scene scene{coloured(200, 10, 10), coloured(200, 10, 10), coloured(200, 10, 10)};
    scene.setNormal(0, 0.5f, 0.8660254f, 0);  // s = 0.5 exactly
    scene.setNormal(1, 0, 1, 0);              // s = 0: at right angles
    scene.setNormal(2, -1, 0, 0);             // s < 0: facing away
    DirectionalLight light(255, 100, -50, 1, 0, 0);
    scene.lights = {&light};
    const Vertex* v = scene.lit();
    EXPECT_COLOUR(v[0], 127, 50, -25);
    EXPECT_COLOUR(v[1], 200, 10, 10);
    EXPECT_COLOUR(v[2], 200, 10, 10);
}

TEST(Lights, ListOrderMatters) {
    Scene scene{coloured(0, 0, 0)};
    scene.setNormal(0, 0, 1, 0);
    DirectionalLight sun(100, 100, 100, 0, 1, 0);
    AmbientLight grey(50, 50, 50);

    scene.lights = {&grey, &sun};  // the directional light erases the ambient light
    EXPECT_COLOUR(scene.lit()[0], 100, 100, 100);

    scene.mesh->update();
    scene.setNormal(0, 0, 1, 0);
    scene.lights = {&sun, &grey};
    EXPECT_COLOUR(scene.lit()[0], 150, 150, 150);
}

TEST(Lights, OnlyTheFinalSumIsClamped) {
    Scene scene{coloured(0, 0, 0)};
    AmbientLight bright(200, 200, 200), negative(-300, -300, -500);
    scene.lights = {&bright, &bright};
    EXPECT_COLOUR(scene.lit()[0], 255, 255, 255);

    // 400 - 300 stays 100: no clamp between lights.
    scene.mesh->update();
    scene.lights = {&bright, &bright, &negative};
    EXPECT_COLOUR(scene.lit()[0], 100, 100, -100);
}

TEST(Lights, LightsOfNoKnownKindAreSkipped) {
    Scene scene{coloured(7, 8, 9)};
    AmbientLight unassigned(100, 100, 100);
    unassigned.type = LightType(2);
    Light bare;
    scene.lights = {&unassigned, &bare};
    EXPECT_COLOUR(scene.lit()[0], 7, 8, 9);
}

TEST(Lights, ExtremeColoursSaturateInsteadOfOverflowing) {
    // Sums and conversions that do not fit an int32 would be undefined; the
    // sanitizer build turns any that slips through into a failure.
    Scene scene{coloured(INT_MAX, INT_MIN, 0)};
    AmbientLight huge(INT_MAX, INT_MIN, INT_MAX);
    // A negative range puts every vertex "beyond" it, with a falloff whose
    // reciprocal is enormous: 255 / (1 / -1e30) does not fit an int32.
    PointLight inverted(0, 0, 255, 1, 0, 0, -1e30f);
    scene.lights = {&huge, &inverted};
    EXPECT_COLOUR(scene.lit()[0], 255, INT_MIN, INT_MIN);
}

}  // namespace
