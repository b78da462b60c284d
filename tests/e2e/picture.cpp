#include "tests/e2e/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace e2e {

namespace {

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
// Pixels closer than this to any floor texel's ratio are not counted as the
// box's red.
constexpr double boxRedGap = 2.0;

double share(long part, long whole) { return whole == 0 ? 0 : double(part) / double(whole); }

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    const std::size_t k = std::min(values.size() - 1, std::size_t(share * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
}

bool floorLike(const Rgb& p, const Palette& palette) {
    return p.r >= palette.floorRedLow * p.g - rounding &&
           p.r <= palette.floorRedHigh * p.g + rounding;
}

bool boxRed(const Rgb& p, const Palette& palette) {
    return p.r > palette.floorRedHigh * p.g + rounding + boxRedGap;
}

bool matches(Expect expect, Seen seen, bool shadowsKnown) {
    switch (expect) {
        case Expect::Background:
            return seen == Seen::Black;
        case Expect::Floor:
            return shadowsKnown
                       ? seen == Seen::LitFloor
                       : seen == Seen::LitFloor || seen == Seen::DarkFloor || seen == Seen::Black;
        case Expect::FloorShadow:
            return shadowsKnown
                       ? seen == Seen::DarkFloor || seen == Seen::Black
                       : seen == Seen::LitFloor || seen == Seen::DarkFloor || seen == Seen::Black;
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

// Share of the sampled sure pixels that look as `view` expects.
double sampledAgreement(const Classified& seen, int width, int height, const FrameView& view,
                        int step, bool shadowsKnown) {
    long considered = 0, agreeing = 0;
    for (int y = step / 2; y < height; y += step) {
        for (int x = step / 2; x < width; x += step) {
            const Expect expect = view.at(x + 0.5, y + 0.5);
            if (expect == Expect::Unsure) continue;
            ++considered;
            agreeing +=
                matches(expect, seen.seen[std::size_t(y) * std::size_t(width) + std::size_t(x)],
                        shadowsKnown);
        }
    }
    return considered == 0 ? 0 : double(agreeing) / double(considered);
}

}  // namespace

Palette paletteFrom(const Image& floorTexture, const Image& boxTexture) {
    Palette palette;
    std::vector<double> ratios;
    for (const Rgb& p : floorTexture.pixels) ratios.push_back(double(p.r) / std::max(1, int(p.g)));
    palette.floorRedLow = percentile(ratios, 0.01);
    palette.floorRedHigh = percentile(ratios, 0.99);
    palette.boxRedShare = share(std::count_if(boxTexture.pixels.begin(), boxTexture.pixels.end(),
                                              [&](const Rgb& p) { return boxRed(p, palette); }),
                                long(boxTexture.pixels.size()));
    return palette;
}

Classified classify(const Image& image, const Palette& palette) {
    Classified result;
    std::vector<double> floorGreens;
    for (const Rgb& p : image.pixels)
        if (!(p.r <= blackLevel && p.g <= blackLevel) && floorLike(p, palette))
            floorGreens.push_back(p.g);
    result.floorGreen = percentile(floorGreens, 0.5);
    result.seen.reserve(image.pixels.size());
    for (const Rgb& p : image.pixels) {
        Seen seen = Seen::Other;
        if (p.r <= blackLevel && p.g <= blackLevel) {
            seen = Seen::Black;
        } else if (floorLike(p, palette)) {
            seen = p.g < darkFloorShare * result.floorGreen ? Seen::DarkFloor : Seen::LitFloor;
        } else if (boxRed(p, palette)) {
            seen = Seen::Box;
        }
        result.seen.push_back(seen);
    }
    return result;
}

Fit fitFrame(const Image& image, const Classified& seen, const TableBounds& table,
             const std::vector<FrameState>& frames) {
    // The camera comes back to the same angle every 629 frames, so the angle
    // is found first, on a coarse grid of pixels and without the shadows
    // (they depend on the lap); then the lap, with them, on a finer grid.
    constexpr std::size_t lap = 629;
    double bestScore = -1;
    std::size_t bestAngle = 0;
    for (std::size_t i = 0; i < std::min(lap, frames.size()); ++i) {
        const FrameView view(frames[i], table, image.width, image.height);
        const double a = sampledAgreement(seen, image.width, image.height, view, 8, false);
        if (a > bestScore) {
            bestScore = a;
            bestAngle = i;
        }
    }
    Fit best;
    bestScore = -1;
    // Neighbouring angles too: a coarse grid can prefer one of them.
    for (std::size_t start = bestAngle + lap - 1; start <= bestAngle + lap + 1; ++start) {
        for (std::size_t i = start % lap; i < frames.size(); i += lap) {
            const FrameView view(frames[i], table, image.width, image.height);
            const double a = sampledAgreement(seen, image.width, image.height, view, 4, true);
            if (a > bestScore) {
                bestScore = a;
                best.state = frames[i];
            }
        }
    }
    return best;
}

Image disagreement(const Image& image, const Classified& seen,
                   const std::vector<Expect>& expected) {
    Image result = image;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Rgb& p = result.pixels[i];
        if (expected[i] == Expect::Unsure) {
            p = {std::uint8_t(p.r / 4), std::uint8_t(p.g / 4), std::uint8_t(p.b / 4)};
        } else if (!matches(expected[i], seen.seen[i], true)) {
            p = {255, 0, 255};
        }
    }
    return result;
}

double agreement(const Classified& seen, const std::vector<Expect>& expected) {
    long considered = 0, agreeing = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == Expect::Unsure) continue;
        ++considered;
        agreeing += matches(expected[i], seen.seen[i], true);
    }
    return share(agreeing, considered);
}

FloorTexture::FloorTexture(const Image& texture) : width_(texture.width), height_(texture.height) {
    for (const Rgb& p : texture.pixels) levels_.push_back(double(p.r) + p.g);
    // Within two texels: the bilinear filter reaches one, a pixel's error in
    // position about one more.
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            double low = 1e9, high = 0;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const double l =
                        levels_[std::size_t((y + dy + height_) % height_) * std::size_t(width_) +
                                std::size_t((x + dx + width_) % width_)];
                    low = std::min(low, l);
                    high = std::max(high, l);
                }
            }
            even_.push_back(high <= 1.12 * low);
        }
    }
}

Point FloorTexture::turned(const Point& p, int turn) const {
    Point q = p;
    if (turn & 1) q.x = 1 - q.x;
    if (turn & 2) q.y = 1 - q.y;
    if (turn & 4) std::swap(q.x, q.y);
    return {q.x * width_ - 0.5, q.y * height_ - 0.5};
}

double FloorTexture::level(const Point& p, int turn) const {
    const Point t = turned(p, turn);
    const int x0 = int(std::floor(t.x)), y0 = int(std::floor(t.y));
    const double fx = t.x - x0, fy = t.y - y0;
    auto at = [&](int x, int y) {
        return levels_[std::size_t((y % height_ + height_) % height_) * std::size_t(width_) +
                       std::size_t((x % width_ + width_) % width_)];
    };
    return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
           (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
}

bool FloorTexture::even(const Point& p, int turn) const {
    const Point t = turned(p, turn);
    const int x = int(std::lround(t.x)), y = int(std::lround(t.y));
    return even_[std::size_t((y % height_ + height_) % height_) * std::size_t(width_) +
                 std::size_t((x % width_ + width_) % width_)];
}

namespace {

struct Sample {
    double value;   // red + green of the pixel
    Point texture;  // where on the floor texture it lies
};

// One 8-bit step in red and in green.
constexpr double levelStep = 2;

double medianRatio(const std::vector<Sample>& samples, const FloorTexture& texture, int turn) {
    std::vector<double> ratios;
    for (const Sample& s : samples)
        if (texture.even(s.texture, turn))
            ratios.push_back(s.value / texture.level(s.texture, turn));
    return percentile(ratios, 0.5);
}

}  // namespace

Measures measure(const Image& image, const Classified& seen, const FrameView& view,
                 const std::vector<Expect>& expected, const FloorTexture& floorTexture) {
    Measures m;
    long floorLit = 0, black = 0, boxLit = 0, boxReds = 0, boxFloor = 0;
    // Red + green of a plank texel under a tenth of full light or more.
    constexpr int litEnough = 40;
    std::vector<Sample> litFloor, shadow;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t index = std::size_t(y) * std::size_t(image.width) + std::size_t(x);
            const Seen s = seen.seen[index];
            const Rgb& p = image.pixels[index];
            const Point centre{x + 0.5, y + 0.5};
            switch (expected[index]) {
                case Expect::Background:
                    ++m.backgroundPixels;
                    black += s == Seen::Black;
                    break;
                case Expect::Floor:
                    ++m.floorPixels;
                    floorLit += s == Seen::LitFloor;
                    if (s == Seen::LitFloor)
                        litFloor.push_back({double(p.r) + p.g, view.floorTexturePoint(centre)});
                    break;
                case Expect::FloorShadow:
                    ++m.shadowPixels;
                    shadow.push_back({double(p.r) + p.g, view.floorTexturePoint(centre)});
                    break;
                case Expect::BigBox:
                    ++m.bigBoxPixels;
                    // Colour is judged where there is light enough to show it.
                    if (int(p.r) + p.g >= litEnough) {
                        ++boxLit;
                        boxReds += s == Seen::Box;
                    }
                    boxFloor += s == Seen::LitFloor;
                    break;
                case Expect::Unsure:
                    break;
            }
        }
    }
    m.floorLit = share(floorLit, m.floorPixels);
    m.backgroundBlack = share(black, m.backgroundPixels);
    m.bigBoxRed = share(boxReds, boxLit);
    m.bigBoxFloorLike = share(boxFloor, m.bigBoxPixels);

    // How the texture lies on a cell is taken from the picture: the turn
    // under which lit floor over texture varies least.
    double leastSpread = 1e9;
    for (int turn = 0; turn < 8; ++turn) {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < litFloor.size(); i += 7)
            ratios.push_back(litFloor[i].value / floorTexture.level(litFloor[i].texture, turn));
        const double median = percentile(ratios, 0.5);
        const double spread = (percentile(ratios, 0.75) - percentile(ratios, 0.25)) / median;
        if (median > 0 && spread < leastSpread) {
            leastSpread = spread;
            m.textureTurn = turn;
        }
    }
    const int turn = m.textureTurn;
    m.floorLight = medianRatio(litFloor, floorTexture, turn);
    long compared = 0, matching = 0;
    for (const Sample& s : litFloor) {
        if (!floorTexture.even(s.texture, turn)) continue;
        const double lit = m.floorLight * floorTexture.level(s.texture, turn);
        ++compared;
        matching += std::abs(s.value - lit) <= 0.08 * lit + levelStep;
    }
    m.floorMatch = share(matching, compared);

    // Black at alpha 0.8 leaves a fifth of what it covers. A flattened box
    // covers its shadow at least twice (the faces the light enters and
    // leaves by); where the rounding of depth lets the second layer through
    // too, a 25th is left.
    long single = 0, layered = 0;
    std::vector<double> singleRatios;
    for (const Sample& s : shadow) {
        if (!floorTexture.even(s.texture, turn)) continue;
        ++m.shadowCompared;
        const double lit = m.floorLight * floorTexture.level(s.texture, turn);
        if (std::abs(s.value - 0.2 * lit) <= 0.1 * 0.2 * lit + levelStep) {
            ++single;
            singleRatios.push_back(s.value / lit);
        } else if (s.value <= 0.04 * lit * 1.2 + levelStep) {
            ++layered;
        }
    }
    m.shadowSingle = share(single, m.shadowCompared);
    m.shadowLayered = share(layered, m.shadowCompared);
    m.shadowSinglePixels = single;
    m.shadowRatio = percentile(singleRatios, 0.5);
    return m;
}

std::string Measures::describe() const {
    char text[640];
    std::snprintf(text, sizeof text,
                  "floor %ld px (lit colours %.4f; texture turn %d, light %.3f, match %.4f), "
                  "background %ld px (black %.4f), big box %ld px (red %.3f, floor-coloured "
                  "%.3f), shadow %ld px (%ld compared: one layer %.3f at %.4f, more %.3f)",
                  floorPixels, floorLit, textureTurn, floorLight, floorMatch, backgroundPixels,
                  backgroundBlack, bigBoxPixels, bigBoxRed, bigBoxFloorLike, shadowPixels,
                  shadowCompared, shadowSingle, shadowRatio, shadowLayered);
    return text;
}

}  // namespace e2e
