// The bitmap reader on a large texture, against stb_image decoding the same
// file to RGBA.

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/suite.h"
#include "gloam/textures/texture.h"

using namespace gloam;

namespace {

constexpr int size = 2048;

std::string file() { return suite::dataDir() + "/texture.bmp"; }

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// A plain bottom-up 24-bit bitmap of smooth colour with a sprinkling of
// colour-keyed pixels, made once.
const std::string& bitmap() {
    static const std::string name = [] {
        const std::uint32_t pixelBytes = size * size * 3;
        std::vector<std::uint8_t> data(54 + pixelBytes);
        data[0] = 'B';
        data[1] = 'M';
        put32(&data[2], std::uint32_t(data.size()));
        put32(&data[10], 54);
        put32(&data[14], 40);
        put32(&data[18], size);
        put32(&data[22], size);
        data[26] = 1;
        data[28] = 24;
        put32(&data[34], pixelBytes);
        std::uint32_t seed = 12345;
        for (int i = 0; i < size * size; ++i) {
            std::uint8_t* p = &data[54 + 3 * std::size_t(i)];
            seed = seed * 1664525u + 1013904223u;
            if (seed >> 28 == 0) {  // one pixel in sixteen
                p[0] = 255, p[1] = 0, p[2] = 255;
            } else {
                p[0] = std::uint8_t(i % size), p[1] = std::uint8_t(i / size), p[2] = seed >> 24;
            }
        }
        std::FILE* f = std::fopen(file().c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size()) {
            std::fprintf(stderr, "bitmap benchmark set-up: cannot write %s\n", file().c_str());
            std::exit(1);
        }
        std::fclose(f);
        return file();
    }();
    return name;
}

void engineReader(benchmark::State& state) {
    const std::string& name = bitmap();
    for (auto _ : state) {
        Texture texture;
        if (!readBitmap(texture, name.c_str(), false, false, false)) {
            state.SkipWithError("readBitmap failed");
        }
        benchmark::DoNotOptimize(texture.pixels.get());
    }
}

void stbReader(benchmark::State& state) {
    const std::string& name = bitmap();
    for (auto _ : state) {
        int w = 0, h = 0, channels = 0;
        stbi_uc* pixels = stbi_load(name.c_str(), &w, &h, &channels, 4);
        if (!pixels || w != size || h != size) state.SkipWithError("stb_image failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}

const bool registered = [] {
    suite::addFiles([] { bitmap(); });
    benchmark::RegisterBenchmark("readBitmap", engineReader)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stb_image", stbReader)->Unit(benchmark::kMillisecond);
    suite::addRow({"`readBitmap`", "2048 × 2048 24-bit bitmap", "readBitmap", "stb_image",
                   suite::Compare::SpeedUp, 1.0, 1.0, 2.5});
    return true;
}();

}  // namespace
