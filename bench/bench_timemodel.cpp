// The costs the one-second tick pays for every clock, and the cost of
// reading the location list line by line.
#include "timemodel/HXClock.h"
#include "timemodel/TimeLocation.h"

#include <benchmark/benchmark.h>

namespace {

TTimeLocation Sydney() {
    TTimeLocation l;
    l.Name = "Sydney";
    l.City = "Sydney";
    l.Region = "New South Wales";
    l.Country = "Australia";
    l.Code = "AU";
    l.StdOffset = 10;
    l.HostOffset = 1;
    l.Latitude = -33.8688;
    l.Longitude = -151.2093;
    l.Rule.ReadDataString("4");
    return l;
}

void BM_CurrentDateTimeWithRule(benchmark::State& state) {
    const TTimeLocation l = Sydney();
    for (auto _ : state)
        benchmark::DoNotOptimize(l.CurrentDateTime());
}
BENCHMARK(BM_CurrentDateTimeWithRule);

void BM_ParseLocationRecord(benchmark::State& state) {
    const std::string line = Sydney().LocationDataStr('\t');
    TTimeLocation l;
    for (auto _ : state) {
        l.ParseDataString(line, '\t');
        benchmark::DoNotOptimize(l.StdOffset);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_ParseLocationRecord);

void BM_WriteLocationRecord(benchmark::State& state) {
    const TTimeLocation l = Sydney();
    for (auto _ : state)
        benchmark::DoNotOptimize(l.LocationDataStr('\t'));
}
BENCHMARK(BM_WriteLocationRecord);

void BM_ClockDisplayString(benchmark::State& state) {
    THXClock c;
    c.Location.Copy(Sydney());
    c.ShowDate = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(c.DisplayString());
}
BENCHMARK(BM_ClockDisplayString);

} // namespace

BENCHMARK_MAIN();
