// The renderer's two draw paths on a real OpenGL, same run, same window:
// frames per second of a big textured, lit mesh drawn the immediate way and
// with vertex arrays, where each path's frame time goes, and how many pixels
// of the same frame differ between the two.
//
//   gloam-draw-bench [--triangles N]... [--rounds R] [--seconds S] [--rows FILE]
//                    [--only immediate|arrays]
//
// Each --triangles gives one mesh size (default 100000 and 1000000). Each
// round measures both paths for S seconds each, in alternating order, so a
// machine that slows down or speeds up during the run weighs on both alike;
// ratios are taken per round. Each path then runs once more with a one-pixel
// viewport: OpenGL still transforms and sets up every triangle but fills
// almost nothing, which tells the geometry's cost from the rasterizer's.
// With --rows, the table rows of scripts/bench are appended to FILE. With
// --only, one path runs alone for S seconds, for a profiler.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "gloam/app/app.h"
#include "gloam/app/heap_limits.h"
#include "gloam/geometry/light.h"
#include "gloam/geometry/mesh.h"
#include "gloam/meshio/mesh_source.h"
#include "gloam/meshio/primitives.h"
#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"
#include "gloam/textures/texture.h"

using namespace gloam;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double cpuSeconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

constexpr std::int32_t meshTexture = 1;
constexpr std::int32_t floorTexture = 2;

// A checkerboard with some shading in it, so that filtering has work to do.
void makeTexture(std::int32_t name, std::uint8_t tint) {
    std::vector<std::uint8_t> rgb(64 * 64 * 3);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = &rgb[std::size_t(y * 64 + x) * 3];
            const bool dark = ((x / 8) ^ (y / 8)) & 1;
            p[0] = std::uint8_t(dark ? 60 + x : 200 + x / 2);
            p[1] = std::uint8_t(dark ? 60 + y : tint);
            p[2] = std::uint8_t(dark ? 90 : 160 + y / 2);
        }
    }
    FileError error;
    addTexturePixels(name, rgb.data(), 64, 64, 3, error);
}

// A rolling height field of `triangles` triangles (rounded up to even),
// every cell mapping the whole texture, so that a vertex carries different
// texture coordinates in each cell around it. At 520 x 390 units it stays
// whole in view all round the renderer's orbit, as a viewer frames a mesh:
// once part of a mesh leaves the view, Mesa's immediate path takes about ten
// times as long a frame while the array path barely changes, and the
// comparison would flatter the arrays.
std::unique_ptr<Mesh> makeHills(std::int32_t triangles) {
    const std::int32_t cells = (triangles + 1) / 2;
    // The divisor of `cells` nearest a 4:3 grid, so the count is exact.
    std::int32_t columns = 1;
    const double ideal = std::sqrt(cells * 4.0 / 3.0);
    for (std::int32_t c = 1; c <= cells; ++c)
        if (cells % c == 0 && std::abs(c - ideal) < std::abs(columns - ideal)) columns = c;
    const std::int32_t rows = cells / columns;
    MeshSource source;
    source.vertices.reserve(std::size_t(columns + 1) * (rows + 1));
    for (std::int32_t j = 0; j <= rows; ++j) {
        for (std::int32_t i = 0; i <= columns; ++i) {
            const float x = -260.0f + 520.0f * float(i) / float(columns);
            const float z = -195.0f + 390.0f * float(j) / float(rows);
            Vertex v;
            v.setPosition(x, 100.0f + 50.0f * std::sin(x / 70.0f) * std::cos(z / 55.0f), z);
            source.vertices.push_back(v);
        }
    }
    const TriangleUV lower{{{0, 0}, {1, 0}, {0, 1}}};
    const TriangleUV upper{{{1, 0}, {1, 1}, {0, 1}}};
    for (std::int32_t j = 0; j < rows; ++j) {
        for (std::int32_t i = 0; i < columns; ++i) {
            const std::int32_t a = j * (columns + 1) + i, b = a + 1, c = a + columns + 1;
            // Wound like the engine's grids: the faces look down, as the
            // sun's light travels.
            source.triangles.push_back({a, b, c});
            source.triangles.push_back({b, c + 1, c});
            source.uvs.push_back(lower);
            source.uvs.push_back(upper);
        }
    }
    return source.build();
}

struct Scene {
    std::unique_ptr<Mesh> hills;
    std::unique_ptr<Mesh> floor = makeGrid(10, 10, 100);
    DirectionalLight sun{255, 255, 255, -0.5f, -1.0f, -0.3f};
    AmbientLight ambient{40, 40, 40};
    Light* lights[2] = {&sun, &ambient};
};

// Where a frame's time goes, summed over the frames measured.
struct Split {
    double scene = 0;    // update and lighting, the engine on the CPU
    double draw = 0;     // submit and flush, up to OpenGL having finished
    double present = 0;  // swap and messages
    double cpu = 0;      // processor time of every thread, OpenGL's included
    double mainCpu = 0;  // of the program's own thread
    int frames = 0;
    double total() const { return scene + draw + present; }
    void add(const Split& s) {
        scene += s.scene, draw += s.draw, present += s.present, cpu += s.cpu;
        mainCpu += s.mainCpu, frames += s.frames;
    }
    double fps() const { return frames / total(); }
};

// The measured frame: the camera orbits, the mesh is updated, lit and drawn
// textured. With `tiny` the viewport shrinks to one pixel for the draw, so
// that OpenGL still transforms and sets up every triangle but fills almost
// nothing.
void frame(Scene& scene, Split& split, bool tiny) {
    const double cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double main0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    auto t0 = Clock::now();
    theRenderer.beginFrame();
    scene.hills->update();
    scene.hills->applyLights(scene.lights, 2);
    auto t1 = Clock::now();
    if (tiny) glViewport(0, 0, 1, 1);
    theRenderer.submit(scene.hills.get(), meshTexture);
    theRenderer.flushTextured();
    if (tiny) glViewport(0, 0, viewportWidth, viewportHeight);
    auto t2 = Clock::now();
    theRenderer.swapBuffers();
    theRenderer.pumpMessages();
    auto t3 = Clock::now();
    split.scene += std::chrono::duration<double>(t1 - t0).count();
    split.draw += std::chrono::duration<double>(t2 - t1).count();
    split.present += std::chrono::duration<double>(t3 - t2).count();
    split.cpu += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    split.mainCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - main0;
    ++split.frames;
}

Split measure(Scene& scene, DrawPath path, bool tiny, double seconds) {
    theRenderer.setDrawPath(path);
    theRenderer.orbitAngle = 0.0f;
    Split warm;
    for (int i = 0; i < 2; ++i) frame(scene, warm, tiny);
    Split split;
    const auto start = Clock::now();
    // At least five frames, or a slow path would be measured on one or two.
    while (split.frames < 5 || secondsSince(start) < seconds) frame(scene, split, tiny);
    return split;
}

// One still frame as a viewer draws it: the floor and the mesh textured,
// then the mesh's shadow flat on the floor; read back before it is shown.
std::vector<std::uint8_t> still(Scene& scene, DrawPath path) {
    theRenderer.setDrawPath(path);
    theRenderer.orbitAngle = 0.7f;
    theRenderer.beginFrame();
    for (Mesh* mesh : {scene.floor.get(), scene.hills.get()}) {
        mesh->update();
        mesh->applyLights(scene.lights, 2);
        theRenderer.submit(mesh, mesh->texture());
    }
    theRenderer.flushTextured();
    scene.hills->update();
    scene.hills->projectShadow(0.0f, 1.0f, 0.0f, 0.0f, 0.5f, 1.0f, 0.3f);
    theRenderer.submit(scene.hills.get(), meshTexture);
    theRenderer.flushFlat(0.0f, 0.0f, 0.0f, 0.8f);
    std::vector<std::uint8_t> pixels(std::size_t(viewportWidth) * viewportHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, viewportWidth, viewportHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    theRenderer.swapBuffers();
    theRenderer.pumpMessages();
    return pixels;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string withCommas(std::int64_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

struct Options {
    std::vector<std::int32_t> sizes;
    int rounds = 5;
    double seconds = 3.0;
    const char* rows = nullptr;
    int only = -1;  // a DrawPath to run alone, for a profiler
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--triangles") && more)
            options.sizes.push_back(std::int32_t(std::atol(argv[++i])));
        else if (!std::strcmp(argv[i], "--rounds") && more)
            options.rounds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds") && more)
            options.seconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--rows") && more)
            options.rows = argv[++i];
        else if (!std::strcmp(argv[i], "--only") && more)
            options.only = std::strcmp(argv[++i], "arrays") ? DrawImmediate : DrawArrays;
        else
            return false;
    }
    if (options.sizes.empty()) options.sizes = {100000, 1000000};
    return options.rounds > 0 && options.seconds > 0 &&
           std::all_of(options.sizes.begin(), options.sizes.end(),
                       [](std::int32_t n) { return n > 0; });
}

void printSplit(const char* name, const Split& s) {
    std::printf(
        "  %-20s %6.2f fps   per frame: scene %5.1f ms, draw %6.1f ms, present %4.1f ms; "
        "processor %6.1f ms, of which the program's thread %6.1f ms\n",
        name, s.fps(), 1e3 * s.scene / s.frames, 1e3 * s.draw / s.frames,
        1e3 * s.present / s.frames, 1e3 * s.cpu / s.frames, 1e3 * s.mainCpu / s.frames);
}

// Spread of per-round ratios: "2.5× (2.3–2.8)".
std::string ratioText(std::vector<double> ratios) {
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.2f× (%.2f–%.2f)", median(ratios), *low, *high);
    return text;
}

// Both paths on one mesh, in alternating rounds, then each with a one-pixel
// viewport, then the picture of one frame from each.
void compare(Scene& scene, const Options& options, const std::string& count, std::FILE* rows) {
    std::vector<double> fps[2], rateRatios, processorRatios;
    Split total[2];
    for (int round = 0; round < options.rounds; ++round) {
        Split split[2];
        for (const int k : {round % 2, 1 - round % 2})
            split[k] = measure(scene, k ? DrawArrays : DrawImmediate, false, options.seconds);
        for (const int k : {0, 1}) {
            fps[k].push_back(split[k].fps());
            total[k].add(split[k]);
        }
        rateRatios.push_back(split[1].fps() / split[0].fps());
        processorRatios.push_back(split[0].cpu / split[0].frames /
                                  (split[1].cpu / split[1].frames));
        std::printf("  round %d: immediate %.2f fps, arrays %.2f fps, %.2f×\n", round + 1,
                    split[0].fps(), split[1].fps(), rateRatios.back());
    }
    printSplit("immediate", total[0]);
    printSplit("arrays", total[1]);
    printSplit("immediate, 1x1 view", measure(scene, DrawImmediate, true, options.seconds));
    printSplit("arrays, 1x1 view", measure(scene, DrawArrays, true, options.seconds));

    const std::vector<std::uint8_t> a = still(scene, DrawImmediate);
    const std::vector<std::uint8_t> b = still(scene, DrawArrays);
    std::int64_t differing = 0;
    for (std::size_t i = 0; i < a.size(); i += 3) differing += std::memcmp(&a[i], &b[i], 3) != 0;
    const auto pixels = std::int64_t(a.size() / 3);
    const double share = 100.0 * double(differing) / double(pixels);
    std::printf("  one frame of floor, mesh and shadow: %lld of %lld pixels differ (%.4f %%)\n",
                (long long)differing, (long long)pixels, share);
    if (rows == nullptr) return;

    const std::int32_t size = scene.hills->triangleCount();
    const double target = size >= 1000000 ? 2.0 : size >= 100000 ? 1.5 : 0.0;
    const double ratio = median(rateRatios);
    std::fprintf(rows,
                 "| array draw path, %s-triangle textured lit mesh | %d × %d window under Xvfb, "
                 "%d rounds of %g s | %.2f fps | %.2f fps (immediate path) | %s the rate | %s | "
                 "%s |\n",
                 count.c_str(), viewportWidth, viewportHeight, options.rounds, options.seconds,
                 median(fps[1]), median(fps[0]), ratioText(rateRatios).c_str(),
                 target > 0 ? (target == 2.0 ? "≥ 2×" : "≥ 1.5×") : "—",
                 target > 0 ? (ratio >= target ? "yes" : "**no**") : "—");
    std::fprintf(rows,
                 "| processor time per frame, every thread | the same frames | %.1f ms (arrays) "
                 "| %.1f ms (immediate path) | %s less | — | — |\n",
                 1e3 * total[1].cpu / total[1].frames, 1e3 * total[0].cpu / total[0].frames,
                 ratioText(processorRatios).c_str());
    std::fprintf(rows,
                 "| pixels that differ between the paths | one frame: floor, %s-triangle mesh "
                 "and its shadow | %lld of %lld | — | %.4f %% | ≤ 0.1 %% | %s |\n",
                 count.c_str(), (long long)differing, (long long)pixels, share,
                 share <= 0.1 ? "yes" : "**no**");
}

}  // namespace

int main(int argc, char** argv) {
    gloam::fixHeapLimits();
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--triangles N]... [--rounds R] [--seconds S] [--rows FILE] "
                     "[--only immediate|arrays]\n",
                     argv[0]);
        return 2;
    }
    HWND window = createAppWindow("gloam draw bench", 0, 0, 1024, 768);
    if (window == nullptr) return 1;
    HDC dc = GetDC(window);
    HGLRC context = wglCreateContext(dc);
    wglMakeCurrent(dc, context);
    theRenderer.init(1024, 768);
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
    theRenderer.setDeviceContext(dc);
    theRenderer.setWindow(window);
    makeTexture(meshTexture, 180);
    makeTexture(floorTexture, 120);
    std::printf("window client area %d x %d, %s\n", viewportWidth, viewportHeight,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    std::FILE* rows = options.rows ? std::fopen(options.rows, "a") : nullptr;
    for (const std::int32_t size : options.sizes) {
        Scene scene;
        scene.hills = makeHills(size);
        scene.hills->setTexture(meshTexture);
        scene.floor->setTexture(floorTexture);
        scene.floor->setPosition(0.0f, -0.5f, 0.0f);
        const std::string count = withCommas(scene.hills->triangleCount());
        std::printf("%s triangles, %d rounds of %.1f s per path\n", count.c_str(), options.rounds,
                    options.seconds);

        if (options.only >= 0) {
            printSplit(options.only == DrawArrays ? "arrays" : "immediate",
                       measure(scene, DrawPath(options.only), false, options.seconds));
            continue;
        }
        compare(scene, options, count, rows);
    }
    if (rows != nullptr) std::fclose(rows);

    wglMakeCurrent(nullptr, nullptr);
    ReleaseDC(window, dc);
    wglDeleteContext(context);
    DestroyWindow(window);
    return 0;
}
