// Repainting a rotated globe costs one matrix product per cached point;
// reading a layer file should be dominated by decoding its points.
#include <random>

#include <benchmark/benchmark.h>

#include "globe/core/GlobeContext.h"

namespace {

void BM_SphereCachedChain(benchmark::State& state) {
    TGlobeContext g(1920, 1080);
    g.SetScaleFactor(1e-3L);
    TGlobeLayer* l = g.AddNewLayer("bench");
    auto* o = new TGeoDataObject(l);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int32_t> lon(-GU_180, GU_180 - 1), lat(-GU_90, GU_90);
    o->SetCount(1000000);
    for (auto& p : o->Points)
        p = {lon(rng), lat(rng), 0};
    g.Model->ProjectChain(*o);  // builds the cache
    for (auto _ : state)
        benchmark::DoNotOptimize(g.Model->ProjectChain(*o));
    state.SetItemsProcessed(state.iterations() * o->Cache->Count());
}
BENCHMARK(BM_SphereCachedChain)->Unit(benchmark::kMillisecond);

void BM_LoadLayer200kPoints(benchmark::State& state) {
    std::string file;
    {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("src");
        auto* p = new TPolylinePresenter(l, "p", 1);
        std::mt19937 rng(2);
        std::uniform_int_distribution<int32_t> step(-200 * GU_SECOND, 200 * GU_SECOND);
        for (int i = 0; i < 2000; ++i) {
            auto* o = new TGeoDataObject(l);
            o->SetPresenter(p);
            o->SetCount(100);
            GlobePoint at{(i % 60) * 3 * GU_DEGREE - GU_180 / 2, (i / 60) * GU_DEGREE - GU_90 / 3, 0};
            for (auto& q : o->Points) {
                q = at;
                at = MakePoint(static_cast<int64_t>(at.X) + step(rng), static_cast<int64_t>(at.Y) + step(rng));
            }
        }
        file = l->SaveToString();
    }
    for (auto _ : state) {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("dst");
        l->LoadFromString(file);
        benchmark::DoNotOptimize(l->ObjectCount());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_LoadLayer200kPoints)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
