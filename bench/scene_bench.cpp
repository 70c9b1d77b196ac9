// Time per frame of each scene drawn offscreen at 640 x 480 and 1920 x 1080, and
// the time of the loading sequence's drawing part. Each frame goes through
// onDisplay and ends with glFinish. Run from anywhere: the data is found in the
// build directory.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "app/demo.h"
#include "shared/random.h"
#include "assets/textures.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "platform/offscreen_gl.h"
#include "scenes/display.h"
#include "sync/show_state.h"

namespace {

constexpr int LOADING_WALK_STEPS = 200;  // particle steps of the loading sequence

// Size of the current offscreen context: written by useContext, read there.
int contextWidth = 0;
int contextHeight = 0;

// Empties every texture slot and frees what it held.
void releaseTextures()
{
    for (const ImageSlot& image : IMAGE_SLOTS) {
        TextureImage* slot = image.slot;
        if (slot->texName != 0) {
            glDeleteTextures(1, &slot->texName);
        }
        std::free(slot->pixels);
        *slot = TextureImage{nullptr, 0, 0, 0, 0};
    }
}

// Makes a current context of the given size with the show loaded; false if none can be had.
bool useContext(int width, int height)
{
    if (width == contextWidth && height == contextHeight) {
        return true;
    }
    if (contextWidth != 0) {
        releaseTextures();
        destroyOffscreenGL();
        contextWidth = contextHeight = 0;
    }
    if (!createOffscreenGL(width, height)) {
        return false;
    }
    contextWidth = width;
    contextHeight = height;
    loadDemo();  // on the stand-ins for the machine: the canvas, the swarm, the rings, the images
    std::printf("\n");
    return true;
}

// A show state where every layer of every scene is drawn.
void busyShow(int scene)
{
    show.scene.store(scene);
    show.tick.store(25);
    show.pulse.store(1.0f);
    show.beatFlash.store(1);
    show.showVersus.store(1);
    show.wisdomAlt.store(1);
    show.spinX.store(1);
    show.spinY.store(0);
    show.spinZ.store(1);
    show.fadeLevel = 120;
    for (int advance = 0; advance < 40; ++advance) {
        advanceRings();
    }
}

// One scene's frames: args are the scene number and the buffer width (640 or 1920).
void sceneFrame(benchmark::State& state)
{
    const int scene = static_cast<int>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = width == 640 ? 480 : 1080;
    if (!useContext(width, height)) {
        state.SkipWithError("no offscreen OpenGL context");
        return;
    }
    busyShow(scene);
    std::vector<double> frames;
    frames.reserve(4096);
    for (auto _ : state) {
        show.scene.store(scene);
        show.tick.fetch_add(1);
        const auto start = std::chrono::steady_clock::now();
        onDisplay();
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        frames.push_back(seconds);
    }
    std::sort(frames.begin(), frames.end());
    state.counters["median_ms"] = frames.empty() ? 0.0 : frames[frames.size() / 2] * 1e3;
}

// The loading sequence's drawing part: degree tables, the swarm's 200 steps, rings, the 17 images.
void loadingSequence(benchmark::State& state)
{
    if (!useContext(640, 480)) {
        state.SkipWithError("no offscreen OpenGL context");
        return;
    }
    std::vector<double> runs;
    for (auto _ : state) {
        releaseTextures();
        const auto start = std::chrono::steady_clock::now();
        buildDegreeTables();
        initParticles();
        for (int step = 0; step < LOADING_WALK_STEPS; ++step) {
            stepParticles();
        }
        initRings();
        loadTextures();
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        runs.push_back(seconds);
    }
    if (afraid512.texName == 0) {
        state.SkipWithError("the show's images were not found in data/");
        return;
    }
    std::sort(runs.begin(), runs.end());
    state.counters["median_ms"] = runs.empty() ? 0.0 : runs[runs.size() / 2] * 1e3;
}

BENCHMARK(sceneFrame)
    ->ArgNames({"scene", "width"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {640}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(sceneFrame)
    ->ArgNames({"scene", "width"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {1920}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(loadingSequence)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

// Runs the benchmarks from the build directory, where data/ holds the images.
int main(int argc, char** argv)
{
    // The images are read from data/ beside the build's programs.
    if (chdir(K3L_BUILD_DIR) != 0) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (contextWidth != 0) {
        releaseTextures();
        destroyOffscreenGL();
    }
    return 0;
}
