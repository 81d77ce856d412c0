// What the astronomy window works out every ten seconds for one place.
#include "tools/AstroTexts.h"
#include "tools/Moon.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SixEventsPhaseAgeDistance(benchmark::State& state) {
    const TDateTime ut = EncodeDate(2026, 6, 21) + 0.5;
    const double lon = 0.13, lat = 51.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SunriseTime(lon, lat, ut));
        benchmark::DoNotOptimize(SunsetTime(lon, lat, ut));
        benchmark::DoNotOptimize(SunTransitTime(lon, lat, ut));
        benchmark::DoNotOptimize(MoonriseTime(lon, lat, ut));
        benchmark::DoNotOptimize(MoonsetTime(lon, lat, ut));
        benchmark::DoNotOptimize(MoonTransitTime(lon, lat, ut));
        benchmark::DoNotOptimize(LunarIlluminatedFraction(ut));
        benchmark::DoNotOptimize(LunarAgeDays(ut));
        benchmark::DoNotOptimize(LunarDistanceKm(ut));
    }
}
BENCHMARK(BM_SixEventsPhaseAgeDistance)->Unit(benchmark::kMicrosecond);

void BM_AllWindowTexts(benchmark::State& state) {
    TTimeLocation l;
    l.Latitude = 51.5;
    l.Longitude = 0.13;
    l.ImposeAlternate(EncodeDate(2026, 6, 21) + 0.5);
    for (auto _ : state)
        benchmark::DoNotOptimize(CalcAstronomyTexts(l, false));
}
BENCHMARK(BM_AllWindowTexts)->Unit(benchmark::kMicrosecond);

// Beyond the polar circle, a different day of the year each time round.
void BM_AllWindowTextsBeyondThePolarCircle(benchmark::State& state) {
    TTimeLocation l;
    l.Latitude = 69.65;
    l.Longitude = -18.96;
    l.StdOffset = 1;
    int day = 0;
    for (auto _ : state) {
        l.ImposeAlternate(EncodeDate(2026, 1, 1) + day++ % 365 + 0.5);
        benchmark::DoNotOptimize(CalcAstronomyTexts(l, false));
    }
}
BENCHMARK(BM_AllWindowTextsBeyondThePolarCircle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
