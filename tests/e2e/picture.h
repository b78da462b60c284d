#pragma once

// Reading a grabbed frame of the demo: what each pixel looks like (by the
// colours of the scene's textures, which lighting and shadows scale but do
// not tint in red and green), which frame of the scene it is, and the
// measures the tests assert on.

#include <string>
#include <vector>

#include "tests/e2e/image.h"
#include "tests/e2e/scene_view.h"

namespace e2e {

// Colour facts taken from the scene's textures.
struct Palette {
    // Red over green of the floor texture, 1st and 99th percentile. The
    // lights are white and blue and the shadow black, so every floor pixel
    // keeps this ratio however it is lit.
    double floorRedLow = 0, floorRedHigh = 0;
    // Share of box texels redder than any floor texel: the oak planks.
    double boxRedShare = 0;
};
Palette paletteFrom(const Image& floorTexture, const Image& boxTexture);

enum class Seen : unsigned char { Black, LitFloor, DarkFloor, Box, Other };

struct Classified {
    std::vector<Seen> seen;  // one per pixel
    // Median green of the floor-coloured pixels: lit tiles, mostly.
    double floorGreen = 0;
};
Classified classify(const Image& image, const Palette& palette);

struct Fit {
    FrameState state;
    // Share of the sure pixels that look as expected in that frame.
    double agreement = 0;
};
// The frame among `frames` whose expected picture the grab agrees with
// best; its agreement is left for `agreement` to measure exactly.
Fit fitFrame(const Image& image, const Classified& seen, const TableBounds& table,
             const std::vector<FrameState>& frames);
// Share of the sure pixels of `expected` that the grab agrees with.
double agreement(const Classified& seen, const std::vector<Expect>& expected);
// The grab with unsure pixels dimmed and disagreeing ones in magenta.
Image disagreement(const Image& image, const Classified& seen, const std::vector<Expect>& expected);

struct Measures {
    long floorPixels = 0, backgroundPixels = 0, bigBoxPixels = 0, shadowPixels = 0;
    double floorLit = 0;         // floor pixels that show the lit floor's colours
    double backgroundBlack = 0;  // background pixels left black
    double bigBoxRed = 0;        // lit big-box pixels in the colours of its planks
    double bigBoxFloorLike = 0;  // big-box pixels that look like lit floor

    // Compared texel by texel with the floor texture, where the texture is
    // even enough that a pixel's error in position does not matter:
    int textureTurn = 0;       // how the texture lies on a cell (see FloorTexture)
    double floorLight = 0;     // lit floor over texture, red + green: the sun's strength
    double floorMatch = 0;     // lit floor pixels within 8% of texture × floorLight
    long shadowCompared = 0;   // shadowed pixels compared
    double shadowSingle = 0;   // ... that show one layer of shadow (a fifth)
    double shadowLayered = 0;  // ... that show two or more (a 25th or less)
    double shadowRatio = 0;    // median darkening of the single-layer pixels
    long shadowSinglePixels = 0;
    std::string describe() const;
};

// The floor texture as the floor shows it, red + green (the channels the
// blue light leaves alone).
class FloorTexture {
public:
    explicit FloorTexture(const Image& texture);
    // Bilinear, repeating, at texture point `p`; `turn` (0-7) mirrors u
    // (bit 0), mirrors v (bit 1) and swaps them (bit 2).
    double level(const Point& p, int turn) const;
    // Whether the texels around `p` are alike (within 12%), so that a small
    // error in where a pixel lands changes nothing.
    bool even(const Point& p, int turn) const;

private:
    Point turned(const Point& p, int turn) const;
    int width_ = 0, height_ = 0;
    std::vector<double> levels_;
    std::vector<bool> even_;
};

// `expected` is view.pixels() of the grab's size.
Measures measure(const Image& image, const Classified& seen, const FrameView& view,
                 const std::vector<Expect>& expected, const FloorTexture& floorTexture);

}  // namespace e2e
