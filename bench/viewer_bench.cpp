// The viewer's frames on a real OpenGL, same run, same window: a big model
// turned by the camera and lit by a sun being dragged, each drawn the way the
// viewer draws it now (still frames from the drawings OpenGL keeps) and the
// way every frame was drawn before (recomputed and sent whole), and how many
// pixels of a still frame differ between the two.
//
//   gloam-viewer-bench [--triangles N] [--rounds R] [--seconds S] [--rows FILE]
//                      [--only turn-kept|turn-sent|sun-kept|sun-sent [--profile FIFO]]
//
// Each round measures the four ways for S seconds each, in an order that
// turns round from round to round; ratios are taken per round. With --rows,
// the table rows of scripts/bench are appended to FILE. With --only, one way
// runs alone for S seconds, for a profiler; with --profile too, "enable" and
// "disable" are written to FIFO round the measured frames, which is what
// `perf record --control fifo:FIFO -D -1` waits for, so that building the
// model and the first frames are left out of the profile.

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
#include "gloam/meshio/mesh_source.h"
#include "gloam/platform/gl.h"
#include "gloam/render/renderer.h"
#include "viewer/viewer.h"

using namespace gloam;
using namespace gloam::viewer;

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// A rolling height field of about `triangles` triangles, every cell mapping
// the whole picture, so that a vertex carries other texture coordinates in
// each cell round it; its folds overlap in the shadow of a low sun.
std::unique_ptr<Mesh> makeHills(std::int32_t triangles) {
    const auto columns = std::int32_t(std::sqrt(triangles / 2.0 * 4.0 / 3.0));
    const std::int32_t rows = std::max<std::int32_t>(1, triangles / 2 / std::max(columns, 1));
    MeshSource source;
    for (std::int32_t j = 0; j <= rows; ++j) {
        for (std::int32_t i = 0; i <= columns; ++i) {
            const float x = -260.0f + 520.0f * float(i) / float(columns);
            const float z = -195.0f + 390.0f * float(j) / float(rows);
            Vertex v;
            v.setPosition(x, 100.0f + 50.0f * std::sin(x / 70.0f) * std::cos(z / 55.0f), z);
            source.vertices.push_back(v);
        }
    }
    for (std::int32_t j = 0; j < rows; ++j) {
        for (std::int32_t i = 0; i < columns; ++i) {
            const std::int32_t a = j * (columns + 1) + i, b = a + 1, c = a + columns + 1;
            source.triangles.push_back({a, b, c});
            source.triangles.push_back({b, c + 1, c});
            source.uvs.push_back({{{0, 0}, {1, 0}, {0, 1}}});
            source.uvs.push_back({{{1, 0}, {1, 1}, {0, 1}}});
        }
    }
    return source.build();
}

// The model as the viewer would show it, with a checkered picture.
ShownModel shownHills(std::int32_t triangles) {
    std::unique_ptr<Mesh> hills = makeHills(triangles);
    const Framing framing = frameBounds(boundsOf(*hills));
    ShownModel model;
    ShownPart part;
    part.name = "hills";
    part.mesh = placeMesh(std::move(hills), framing);
    part.width = part.height = 64;
    part.channels = 3;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (const int c : {200, 160, 90})
                part.pixels.push_back(std::uint8_t(((x / 8) ^ (y / 8)) & 1 ? c : c / 2));
    model.vertices = part.mesh->vertexCount();
    model.triangles = part.mesh->triangleCount();
    model.shown = boundsOf(*part.mesh);
    model.floorY = float(model.shown.min[1]);
    model.parts.push_back(std::move(part));
    return model;
}

struct Way {
    const char* name;
    bool keep;     // still frames from the kept drawings
    bool moveSun;  // the sun is dragged; otherwise the camera turns
};
constexpr Way ways[] = {{"turn-kept", true, false},
                        {"turn-sent", false, false},
                        {"sun-kept", true, true},
                        {"sun-sent", false, true}};

struct Measured {
    int frames = 0;
    double seconds = 0, cpu = 0;
    double fps() const { return frames / seconds; }
};

Measured measure(ViewerScene& scene, const Way& way, double seconds, std::FILE* profile = nullptr) {
    scene.keepDrawings = way.keep;
    Measured m;
    ViewState& state = scene.controls.state;
    const auto step = [&] {
        if (way.moveSun)
            state.sunAzimuth = std::remainder(state.sunAzimuth + 0.01, 2 * 3.14159265358979);
        else
            state.yaw = std::remainder(state.yaw + 0.01, 2 * 3.14159265358979);
        scene.frame({});
        theRenderer.swapBuffers();
        theRenderer.pumpMessages();
    };
    for (int i = 0; i < 3; ++i) step();  // a kept drawing is made on the way
    if (profile != nullptr) std::fputs("enable\n", profile), std::fflush(profile);
    const auto start = Clock::now();
    const double cpu0 = cpuSeconds();
    while (m.frames < 5 || m.seconds < seconds) {
        step();
        ++m.frames;
        m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    m.cpu = cpuSeconds() - cpu0;
    if (profile != nullptr) std::fputs("disable\n", profile), std::fflush(profile);
    return m;
}

// One still frame, read back before it is shown: the first, drawn afresh,
// and the third, drawn from the kept drawings.
std::vector<std::uint8_t> still(ViewerScene& scene, int frames) {
    scene.keepDrawings = true;
    scene.controls.state.sunAzimuth += 0.5;  // a change: the frames after it start afresh
    std::vector<std::uint8_t> pixels(std::size_t(viewportWidth) * viewportHeight * 3);
    for (int i = 1; i <= frames; ++i) {
        scene.frame({});
        if (i == frames) {
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, viewportWidth, viewportHeight, GL_RGB, GL_UNSIGNED_BYTE,
                         pixels.data());
        }
        theRenderer.swapBuffers();
        theRenderer.pumpMessages();
    }
    scene.controls.state.sunAzimuth -= 0.5;
    return pixels;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string spread(const std::vector<double>& ratios) {
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.2f× (%.2f–%.2f)", median(ratios), *low, *high);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    gloam::fixHeapLimits();
    std::int32_t triangles = 1000000;
    int rounds = 3;
    double seconds = 4.0;
    const char* rowsFile = nullptr;
    const char* only = nullptr;
    const char* profile = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--triangles"))
            triangles = std::int32_t(std::atol(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rows"))
            rowsFile = argv[i + 1];
        else if (!std::strcmp(argv[i], "--only"))
            only = argv[i + 1];
        else if (!std::strcmp(argv[i], "--profile"))
            profile = argv[i + 1];
        else
            return std::fprintf(stderr, "unknown option %s\n", argv[i]), 2;
    }
    if (argc % 2 == 0 || triangles < 2 || rounds < 1 || !(seconds > 0)) {
        std::fprintf(stderr,
                     "usage: %s [--triangles N] [--rounds R] [--seconds S] [--rows FILE] "
                     "[--only turn-kept|turn-sent|sun-kept|sun-sent [--profile FIFO]]\n",
                     argv[0]);
        return 2;
    }
    // The viewer's own window: the same size, and a stencil buffer.
    HWND window = createAppWindow("gloam viewer bench", 0, 0, 1024, 768, 8);
    if (window == nullptr) return 1;
    HDC dc = GetDC(window);
    HGLRC context = wglCreateContext(dc);
    wglMakeCurrent(dc, context);
    theRenderer.init(1024, 768);
    GLint stencil = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    theRenderer.stencilBits = stencil;
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
    theRenderer.setDeviceContext(dc);
    theRenderer.setWindow(window);

    int status = 0;
    {
        ViewerScene scene("", "", shownHills(triangles));
        scene.setUp();
        const long count = long(scene.model.triangles);
        std::printf("window client area %d x %d, %d stencil bits, %s; %ld triangles\n",
                    viewportWidth, viewportHeight, int(stencil),
                    reinterpret_cast<const char*>(glGetString(GL_RENDERER)), count);
        if (only != nullptr) {
            const Way* way = std::find_if(std::begin(ways), std::end(ways), [only](const Way& w) {
                return !std::strcmp(w.name, only);
            });
            if (way == std::end(ways)) return 2;
            std::FILE* control = profile != nullptr ? std::fopen(profile, "w") : nullptr;
            const Measured m = measure(scene, *way, seconds, control);
            if (control != nullptr) std::fclose(control);
            std::printf("  %-10s %6.2f fps, processor %6.1f ms a frame\n", way->name, m.fps(),
                        1e3 * m.cpu / m.frames);
        } else {
            std::vector<double> fps[4], turnRatios, sunRatios;
            for (int round = 0; round < rounds; ++round) {
                Measured m[4];
                for (int k = 0; k < 4; ++k) {
                    const int w = (k + round) % 4;
                    m[w] = measure(scene, ways[w], seconds);
                    fps[w].push_back(m[w].fps());
                }
                turnRatios.push_back(m[0].fps() / m[1].fps());
                sunRatios.push_back(m[2].fps() / m[3].fps());
                std::printf("  round %d:", round + 1);
                for (int w = 0; w < 4; ++w)
                    std::printf(" %s %.2f fps (%.0f ms cpu);", ways[w].name, m[w].fps(),
                                1e3 * m[w].cpu / m[w].frames);
                std::printf("\n");
            }
            const std::vector<std::uint8_t> first = still(scene, 1), kept = still(scene, 3);
            long differing = 0;
            for (std::size_t i = 0; i < first.size(); i += 3)
                differing += std::memcmp(&first[i], &kept[i], 3) != 0;
            std::printf("  turning: %s the rate; dragging the sun: %s; %ld of %zu pixels differ\n",
                        spread(turnRatios).c_str(), spread(sunRatios).c_str(), differing,
                        first.size() / 3);
            if (std::FILE* rows = rowsFile ? std::fopen(rowsFile, "a") : nullptr) {
                const double turn = median(turnRatios), sun = median(sunRatios);
                std::fprintf(rows,
                             "| gloam-view turning a %ld-triangle model | %d × %d window under "
                             "Xvfb, %d rounds of %g s | %.2f fps (kept drawings) | %.2f fps "
                             "(recomputed and sent every frame) | %s the rate | ≥ 2×, or the "
                             "rasteriser's share below | %s |\n",
                             count, viewportWidth, viewportHeight, rounds, seconds, median(fps[0]),
                             median(fps[1]), spread(turnRatios).c_str(),
                             turn >= 2 ? "yes" : "see below");
                std::fprintf(rows,
                             "| gloam-view with the sun dragged | the same | %.2f fps | %.2f fps "
                             "(as before) | %s the rate | ≥ 0.95× | %s |\n",
                             median(fps[2]), median(fps[3]), spread(sunRatios).c_str(),
                             sun >= 0.95 ? "yes" : "**no**");
                std::fprintf(rows,
                             "| pixels that differ between a kept and a fresh frame | one still "
                             "frame of the same model | %ld of %zu | — | — | 0 | %s |\n",
                             differing, first.size() / 3, differing == 0 ? "yes" : "**no**");
                std::fclose(rows);
            }
            status = differing == 0 ? 0 : 1;
        }
    }
    wglMakeCurrent(nullptr, nullptr);
    ReleaseDC(window, dc);
    wglDeleteContext(context);
    DestroyWindow(window);
    return status;
}
