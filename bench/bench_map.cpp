// The shipped map layers: loading both, and redrawing both at 800 x 600 after
// a rotation step on the globe, after a zoom and on the flat maps.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdlib>

#include "globe/GlobeDraw.h"

namespace {

const std::string kMap = HX_SOURCE_DIR "/data/map/";

void Load(TGlobeContext& g) {
    g.DataDirectory = kMap;
    const char* only = std::getenv("HX_BENCH_LAYER");
    for (const char* f : {"01-timezones.lyr", "02-countries.lyr"})
        if (!only || std::string(only) == f)
            g.AddNewLayer("")->SetFilename(f);
}

void BM_LoadShippedLayers(benchmark::State& state) {
    for (auto _ : state) {
        TGlobeContext g;
        Load(g);
        benchmark::DoNotOptimize(g.GetLayer(1)->ObjectCount());
    }
}
BENCHMARK(BM_LoadShippedLayers)->Unit(benchmark::kMillisecond);

// One step of the loop below; a function of its own so that instruction
// counts can be taken of it alone (valgrind --tool=callgrind
// --collect-atstart=no --toggle-collect='*RotationStep*').
[[gnu::noinline]] void RotationStep(TGlobeDrawContext& g, int step) {
    g.LocateToLL(DecimalToGlobeUnits(10 + step % 20), DecimalToGlobeUnits(48));
    g.GlobeCanvas.BeginOffscreen();
    g.RenderAll();
    g.GlobeCanvas.EndOffscreen();
}

// projection, zoom (0: the whole earth)
void BM_RedrawAfterRotation(benchmark::State& state) {
    TGlobeDrawContext g(800, 600);
    g.SetProjection(static_cast<TGlobeProjection>(state.range(0)));
    Load(g);
    if (std::getenv("HX_BENCH_NOGRID"))
        g.DrawGrid = TDrawGrid::dgNone;
    g.SetScaleFactor(0);
    if (state.range(1))
        g.SetScaleFactor(g.ScaleFactor() * static_cast<double>(state.range(1)));
    // Every view of the loop once: the chains' first projections stay out
    // of the figures.
    for (int step = 0; step < 20; ++step) {
        g.LocateToLL(DecimalToGlobeUnits(10 + step), DecimalToGlobeUnits(48));
        g.GlobeCanvas.BeginOffscreen();
        g.RenderAll();
        g.GlobeCanvas.EndOffscreen();
    }
    int step = 0;
    for (auto _ : state)
        RotationStep(g, ++step);
}
BENCHMARK(BM_RedrawAfterRotation)
    ->ArgNames({"projection", "zoom"})
    ->Args({0, 0})
    ->Args({0, 4})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
