// One demo frame, the engine's side only: animation, update, lighting,
// shadows and every GL call of both passes, with the calls going to the null
// backend's GL, which only counts them. Its baseline is the time of the same frame drawn by
// Mesa's llvmpipe, measured on the running program and passed in with
// --external=llvmpipe_frame:SECONDS.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "bench/suite.h"
#include "demo/scene.h"
#include "gloam/platform/null/null_standin.h"
#include "gloam/render/renderer.h"

using namespace gloam;

namespace {

DemoScene& scene() {
    static const std::unique_ptr<DemoScene> made = [] {
        auto s = std::make_unique<DemoScene>();
        // The scene loads its assets from the working directory, as the
        // program does.
        const auto here = std::filesystem::current_path();
        std::filesystem::current_path(GLOAM_ASSET_DIR);
        resizeViewport(1024, 768);
        theRenderer.init(1024, 768);
        const bool ok = s->setUp();
        std::filesystem::current_path(here);
        if (!ok) std::exit(1);
        return s;
    }();
    return *made;
}

void demoFrame(benchmark::State& state) {
    DemoScene& s = scene();
    const std::uint64_t before = nullstandin::glCallCount();
    // A frame as runApp runs it: the scene draws, then the loop presents it
    // and handles the window's messages.
    FrameInfo time;
    for (auto _ : state) {
        ++time.number;
        s.frame(time);
        theRenderer.swapBuffers();
        theRenderer.pumpMessages();
    }
    state.counters["gl_calls_per_frame"] =
        double(nullstandin::glCallCount() - before) / double(state.iterations());
}

const bool registered = [] {
    benchmark::RegisterBenchmark("demo_frame_nogl", demoFrame)->Unit(benchmark::kMicrosecond);
    suite::addRow({"one demo frame, engine side (no-op GL)", "the demo scene", "demo_frame_nogl",
                   "external:llvmpipe_frame", suite::Compare::TimeMultiple, 1.0, 1.0, 0.01});
    return true;
}();

}  // namespace
