#pragma once

// Reading a grabbed frame of the demo against a model of its scene: which
// frame it is (the scene's animation replayed, its geometry projected to
// window pixels), and how its floor, big box and shadow look next to the
// scene's own textures. Lighting and shadows scale the textures' colours
// but do not tint them in red and green, which is what tells them apart.

#include <filesystem>
#include <string>

#include "tests/e2e/harness.h"

namespace e2e {

struct Reading {
    int frame = 0;         // the frame of the scene the grab agrees with best
    float swing = 0;       // its sun: shadows fall along -(swing, 1, swing)
    double agreement = 0;  // share of the sure pixels that look as that frame expects
    // Lit floor against the floor texture, texel by texel (red + green, the
    // channels the blue light leaves alone), where the texture is even
    // enough that a pixel's error in position does not matter:
    double floorLight = 0;  // lit floor over texture: the sun's strength
    double floorMatch = 0;  // lit floor pixels within 8% of texture × floorLight
    double bigBoxRed = 0;   // lit big-box pixels in the colours of its planks
    long shadowPixels = 0;  // floor pixels under the big box's shadow only
    long shadowCompared = 0;
    double shadowSingle = 0;   // compared ones that show one layer of shadow (a fifth)
    double shadowLayered = 0;  // ... two or more (a 25th or less)
    double shadowRatio = 0;    // median darkening of the single-layer pixels
    long shadowSinglePixels = 0;
    std::string describe() const;
};

// Throws when the scene's assets cannot be read.
Reading readFrame(const Image& grab);

// Writes an 8-bit RGB PNG; false when the file cannot be written.
bool writePng(const Image& image, const std::filesystem::path& file);

}  // namespace e2e
