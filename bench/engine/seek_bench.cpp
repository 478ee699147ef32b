// Seek time on the bundled show: the transport's seek (the show replayed unseen from its script
// up to the target, unchanged assets kept) to times across its 75 seconds, in a real window.
// "CPU" is the whole process (Mesa draws on threads of its own): on a busy machine it is the
// figure to read, the wall time then counts the waits for a core.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <unistd.h>

#include "draw/texture.h"
#include "engine/engine.h"
#include "state/engine_state.h"
#include "tests/support/gl_window.h"

namespace {
void BM_SeekBundledShow(benchmark::State &state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (chdir(VORTAN_SOURCE_DIR) != 0) return state.SkipWithError("no source folder");
    engine_ResetState();
    GLFWwindow *window = nullptr;
    for (int attempt = 0; attempt < 3 && !window; ++attempt) window = testgl_Open(engine.screenWidth, engine.screenHeight);
    if (!window) return state.SkipWithError("no display");
    engine_InitGl();
    texture_SetCache(true);
    engine_SeekTo(1.0); // the first load decodes every asset, as the show's start does
    const double target = double(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(engine_SeekTo(target));
    texture_SetCache(false);
    testgl_Close(window);
}
BENCHMARK(BM_SeekBundledShow)->Arg(10)->Arg(40)->Arg(74)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(5);
} // namespace

BENCHMARK_MAIN();
