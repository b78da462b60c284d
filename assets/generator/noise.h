#pragma once

#include <cstdint>

// Integer-only noise for the texture painters. The committed assets must come
// out bit for bit the same from every compiler and machine, so nothing here
// touches floating point.

std::uint32_t hashCell(std::uint32_t x, std::uint32_t y, std::uint32_t seed);

// a mod n in 0..n-1 for any sign of a.
inline int wrap(int a, int n) { return ((a % n) + n) % n; }

// Smooth value noise in 0..4095 on a lattice of cellW × cellH pixels. It
// repeats every periodW × periodH pixels, which must be multiples of the cell
// sizes: that is what lets the textures tile without a seam.
int valueNoise(int x, int y, int cellW, int cellH, int periodW, int periodH, std::uint32_t seed);

// One layer of a fractal sum: its cell size and its share of the total.
struct Octave {
    int cellW;
    int cellH;
    int weight;
};

// The weighted mean of several layers of valueNoise, in 0..4095.
template <int N>
int layeredNoise(int x, int y, const Octave (&octaves)[N], int periodW, int periodH,
                 std::uint32_t seed) {
    int sum = 0, total = 0;
    for (int i = 0; i < N; ++i) {
        const Octave& o = octaves[i];
        sum += o.weight * valueNoise(x, y, o.cellW, o.cellH, periodW, periodH,
                                     seed + 0x9e37u * std::uint32_t(i + 1));
        total += o.weight;
    }
    return sum / total;
}

std::uint32_t isqrt(std::uint32_t n);
