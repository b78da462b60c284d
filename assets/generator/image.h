#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

// t in 0..256 goes from a to b.
Rgb mix(Rgb a, Rgb b, int t);
// Scales every channel by percent / 100.
Rgb scaled(Rgb c, int percent);
// Adds the same amount to every channel.
Rgb brightened(Rgb c, int amount);

// A picture held top row first, as it is painted; the writer turns it into
// the bottom-up rows of a bitmap file.
struct Image {
    Image(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h)) {}

    Rgb& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    const Rgb& at(int x, int y) const {
        return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }

    int width;
    int height;
    std::vector<Rgb> pixels;
};

// Writes an uncompressed 24-bit bitmap. Refuses (false) a width that would
// need row padding and a picture that holds the engine's colour key, which
// the texture loader would turn transparent; false as well when the file
// cannot be written.
bool writeBitmap(const Image& image, const char* fileName);
