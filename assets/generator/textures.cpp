#include "textures.h"

#include <algorithm>
#include <cstdlib>

#include "noise.h"

namespace {

// Noise centred on 0: -amplitude..amplitude.
int centred(int noise, int amplitude) { return (noise - 2048) * amplitude / 2048; }

// A growth-ring profile across the grain: dark at the abrupt latewood edge,
// fading through the earlywood. `t` is the across-grain position in 1/256
// pixel, `period` the ring spacing in the same unit. Returns 0..256. The
// edge rises over a third of a pixel rather than in one step, which would
// show the pixel staircase wherever a ring runs slightly askew.
int ringDarkness(int t, int period) {
    constexpr int rise = 96;
    const int f = wrap(t, period);
    const int edge = period / 4;
    if (f < edge) return 256 - f * 128 / edge;
    if (f >= period - rise) return (f - (period - rise)) * 256 / rise;
    return std::max(0, 128 - (f - edge) * 160 / (period - rise - edge));
}

}  // namespace

Image paintDoorBands() {
    constexpr int size = 128, plankWidth = 32;
    constexpr int bandTops[] = {14, 86};
    constexpr int bandHeight = 14;
    const Rgb oak{128, 84, 48}, oakDark{78, 46, 24}, gap{38, 24, 14};
    const Rgb iron{74, 74, 78}, rust{122, 66, 36}, rivet{104, 104, 110};
    constexpr Octave warpOctaves[] = {{16, 64, 2}, {8, 32, 1}};
    Image image(size, size);

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int plank = x / plankWidth, lx = x % plankWidth;
            const std::uint32_t seed = 100u + std::uint32_t(plank);

            // Wood: rings run down the plank, wandering a little sideways.
            const int warp = centred(layeredNoise(x, y, warpOctaves, size, size, seed), 4 * 256);
            const int offset = int(hashCell(std::uint32_t(plank), 0, 7) % 1280u);
            const int rings = ringDarkness(lx * 256 + warp + offset, 5 * 256);
            const int streak = centred(valueNoise(x, y, 1, 16, size, size, seed + 50), 14);
            const int tone = int(hashCell(std::uint32_t(plank), 1, 7) % 21u) - 10;
            Rgb c = brightened(mix(oak, oakDark, rings * 3 / 4), streak + tone);

            // Plank edges: a dark gap, a lit edge after it, a shaded one before the next.
            if (lx == 0) c = mix(c, gap, 200);
            if (lx == 1) c = brightened(c, 12);
            if (lx == plankWidth - 1) c = scaled(c, 78);

            for (const int top : bandTops) {
                const int by = y - top;
                // The band casts a short shadow downwards onto the planks.
                if (by == bandHeight) c = scaled(c, 55);
                if (by == bandHeight + 1) c = scaled(c, 70);
                if (by == bandHeight + 2) c = scaled(c, 86);
                if (by == -1) c = scaled(c, 82);
                if (by < 0 || by >= bandHeight) continue;

                const int hammered = centred(valueNoise(x, y, 4, 4, size, size, 300), 10);
                const int rustAmount = valueNoise(x, y, 8, 4, size, size, 301) - 2600;
                c = brightened(iron, hammered);
                if (rustAmount > 0) c = mix(c, rust, std::min(220, rustAmount / 3));
                if (by == 0) c = brightened(c, 34);
                if (by == 1) c = brightened(c, 14);
                if (by == bandHeight - 1) c = scaled(c, 62);

                // A domed rivet through every plank, lit from the upper left.
                const int dx = lx - plankWidth / 2, dy = by - bandHeight / 2;
                const int d2 = dx * dx + dy * dy;
                if (d2 <= 10) {
                    c = brightened(rivet, -(dx + dy) * 9);
                    if (d2 >= 7) c = scaled(c, 75);
                } else if (d2 <= 14 && dx + dy > 0) {
                    c = scaled(c, 70);
                }
            }
            image.at(x, y) = c;
        }
    }
    return image;
}

Image paintLimestoneTile() {
    constexpr int size = 64, tileSize = 32;
    const Rgb stone{208, 199, 176}, warm{222, 206, 166}, grey{184, 182, 172};
    const Rgb grout{122, 116, 104};
    constexpr Octave mottle[] = {{32, 32, 4}, {16, 16, 3}, {8, 8, 2}, {4, 4, 1}};
    constexpr Octave veins[] = {{32, 32, 3}, {8, 8, 1}};
    Image image(size, size);

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int tx = x / tileSize, ty = y / tileSize;
            const int lx = x % tileSize, ly = y % tileSize;

            // Grout: the last column and row of one tile and the first of the
            // next, so that the seam between two copies of the picture is one.
            if (lx == 0 || ly == 0 || lx == tileSize - 1 || ly == tileSize - 1) {
                image.at(x, y) =
                    brightened(grout, centred(valueNoise(x, y, 2, 2, size, size, 9), 8));
                continue;
            }

            // Every tile is cut from a different part of the quarry: its own
            // tone, warmth and cloudy pattern.
            const std::uint32_t tile = std::uint32_t(ty * 2 + tx);
            const int tone = int(hashCell(tile, 0, 11) % 25u) - 12;
            const int warmth = int(hashCell(tile, 1, 11) % 160u);
            const int m = layeredNoise(x, y, mottle, size, size, 20u + tile);
            Rgb c = mix(stone, warm, warmth + std::max(0, m - 2048) / 12);
            c = mix(c, grey, std::max(0, 2048 - m) / 10);
            c = brightened(c, tone + centred(m, 16));

            // Thin, faint veins where a noise field crosses its middle value.
            const int vein = std::abs(layeredNoise(x, y, veins, size, size, 40u + tile) - 2048);
            if (vein < 60) c = scaled(c, 93 + vein / 10);

            // Pits and shell fragments.
            const std::uint32_t speck = hashCell(std::uint32_t(x), std::uint32_t(y), 12) % 1000u;
            if (speck < 22) {
                c = scaled(c, 84);
            } else if (speck < 30) {
                c = brightened(c, 14);
            }

            // A worn bevel, lit from the upper left.
            if (lx == 1 || ly == 1) c = brightened(c, 12);
            if (lx == tileSize - 2 || ly == tileSize - 2) c = scaled(c, 88);
            image.at(x, y) = c;
        }
    }
    return image;
}

Image paintWeatheredWood() {
    constexpr int size = 128, boardWidth = 32;
    const Rgb weathered{150, 139, 121}, silver{182, 178, 168}, grain{92, 82, 68};
    const Rgb gap{52, 46, 40}, crack{58, 50, 42}, nailRust{96, 58, 34};
    constexpr Octave warpOctaves[] = {{64, 16, 2}, {32, 8, 1}};
    constexpr Octave patchOctaves[] = {{32, 32, 2}, {16, 16, 1}};
    Image image(size, size);

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int board = y / boardWidth, ly = y % boardWidth;
            const std::uint32_t seed = 500u + std::uint32_t(board);

            // Rings run along the board and swerve around its knot.
            int t = ly * 256 + centred(layeredNoise(x, y, warpOctaves, size, size, seed), 6 * 256);
            const int knotX = int(hashCell(std::uint32_t(board), 2, 13) % 128u);
            const int knotY = 9 + int(hashCell(std::uint32_t(board), 3, 13) % 14u);
            const int kdx = wrap(x - knotX + size / 2, size) - size / 2, kdy = ly - knotY;
            const int knotDistance = kdx * kdx / 4 + kdy * kdy;
            t -= kdy * 24 * 256 / (knotDistance + 16);
            t += int(hashCell(std::uint32_t(board), 4, 13) % 1536u);
            const int rings = ringDarkness(t, 6 * 256);

            const int patches = layeredNoise(x, y, patchOctaves, size, size, seed + 40);
            const int streak = centred(valueNoise(x, y, 16, 1, size, size, seed + 60), 16);
            const int tone = int(hashCell(std::uint32_t(board), 5, 13) % 19u) - 9;
            Rgb c = mix(weathered, silver, std::clamp((patches - 1500) / 6, 0, 256));
            c = brightened(mix(c, grain, rings * 5 / 8), streak + tone);

            // The knot itself: a dark, reddish heart with a ring around it.
            const int knotRadius = kdx * kdx / 3 + kdy * kdy * 2;
            if (knotRadius <= 12) {
                c = mix(c, Rgb{86, 62, 46}, 190);
            } else if (knotRadius <= 24) {
                c = scaled(c, 82);
            }

            // Two splits along the grain, darkest and widest in their middle.
            for (std::uint32_t k = 0; k < 2; ++k) {
                const std::uint32_t id = std::uint32_t(board) * 2 + k;
                const int row = 4 + int(hashCell(id, 6, 13) % 24u);
                const int start = int(hashCell(id, 7, 13) % 128u);
                const int length = 24 + int(hashCell(id, 8, 13) % 44u);
                const int along = wrap(x - start, size);
                const int wobble = centred(valueNoise(x, int(id), 16, 1, size, 8, seed + 80), 2);
                if (along >= length) continue;
                const int depth = std::min(along, length - along);
                if (ly == row + wobble) c = mix(c, crack, std::min(240, 110 + depth * 20));
                if (ly == row + wobble + 1) {
                    c = depth > 8 ? mix(c, crack, 120) : brightened(c, 12);
                }
            }

            // Rusty nails near both ends, with the stain the rain drew from them.
            for (const int nailX : {5, size - 6}) {
                for (const int nailY : {10, 21}) {
                    const int ndx = wrap(x - nailX + size / 2, size) - size / 2, ndy = ly - nailY;
                    const int d2 = ndx * ndx + ndy * ndy;
                    if (d2 <= 2) {
                        c = mix(Rgb{44, 36, 30}, nailRust, d2 * 80);
                    } else if (d2 <= 18 && std::abs(ndy) <= 2) {
                        c = mix(c, nailRust, 110 - d2 * 5);
                    }
                }
            }

            // Board edges: a dark gap, a lit edge after it, a shaded one before the next.
            if (ly == 0) c = mix(c, gap, 210);
            if (ly == 1) c = brightened(c, 14);
            if (ly == boardWidth - 2) c = scaled(c, 92);
            if (ly == boardWidth - 1) c = scaled(c, 80);
            image.at(x, y) = c;
        }
    }
    return image;
}
