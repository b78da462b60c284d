#include "noise.h"

std::uint32_t hashCell(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    // Unsigned arithmetic wraps the same way everywhere; the final avalanche
    // steps spread neighbouring inputs over the whole range.
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

namespace {

// Hermite smoothing of a fraction t in 0..256, so that cell borders show no
// crease: 3t² − 2t³ in the same scale.
int smooth(int t) { return t * t * (3 * 256 - 2 * t) / (256 * 256); }

int latticeValue(int ix, int iy, int columns, int rows, std::uint32_t seed) {
    return int(hashCell(std::uint32_t(wrap(ix, columns)), std::uint32_t(wrap(iy, rows)), seed) &
               0xfffu);
}

}  // namespace

int valueNoise(int x, int y, int cellW, int cellH, int periodW, int periodH, std::uint32_t seed) {
    const int columns = periodW / cellW, rows = periodH / cellH;
    x = wrap(x, periodW);
    y = wrap(y, periodH);
    const int ix = x / cellW, iy = y / cellH;
    const int sx = smooth((x % cellW) * 256 / cellW);
    const int sy = smooth((y % cellH) * 256 / cellH);
    const int v00 = latticeValue(ix, iy, columns, rows, seed);
    const int v10 = latticeValue(ix + 1, iy, columns, rows, seed);
    const int v01 = latticeValue(ix, iy + 1, columns, rows, seed);
    const int v11 = latticeValue(ix + 1, iy + 1, columns, rows, seed);
    const int top = v00 * (256 - sx) + v10 * sx;     // < 2^20
    const int bottom = v01 * (256 - sx) + v11 * sx;  // < 2^20
    return (top * (256 - sy) + bottom * sy) >> 16;   // < 2^28 before the shift
}

std::uint32_t isqrt(std::uint32_t n) {
    std::uint32_t root = 0, bit = 1u << 30;
    while (bit > n) bit >>= 2;
    while (bit != 0) {
        if (n >= root + bit) {
            n -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return root;
}
