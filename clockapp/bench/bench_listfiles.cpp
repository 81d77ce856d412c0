// Loading a 10,000-line locations file and writing it back: what the start
// with "Load Locations at Startup" and every save of the location manager cost.
#include "clockapp/state/ClockState.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct TBenchDir {
    TBenchDir() {
        path = fs::temp_directory_path() / ("hxbench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        std::ofstream out(path / "hxzones.hxd", std::ios::binary);
        out << "# benchmark list\r\nVERSION:\t1\r\n";
        for (int i = 0; i < 10000; ++i) {
            TTimeLocation l;
            l.Name = "Place " + std::to_string(i);
            l.City = "City " + std::to_string(i);
            l.Region = "Region " + std::to_string(i % 50);
            l.Country = "Country " + std::to_string(i % 200);
            l.Code = "CC";
            l.StdOffset = (i % 27) - 12;
            l.Latitude = (i % 180) - 90 + 0.12345;
            l.Longitude = (i % 360) - 180 + 0.6789;
            l.Rule.ReadDataString(std::to_string(i % 8));
            out << l.LocationDataStr('\t') << "\r\n";
        }
    }
    ~TBenchDir() { fs::remove_all(path); }
    fs::path path;
};

void BM_LoadLocations10000(benchmark::State& state) {
    TBenchDir dir;
    THXMemoryPrefsStore store;
    TClockState s(store);
    s.DataDir = dir.path.string() + "/";
    for (auto _ : state) {
        s.LoadStandardLocations();
        benchmark::DoNotOptimize(s.StandardLocations.size());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_LoadLocations10000)->Unit(benchmark::kMillisecond);

// The shipped places (24,460): the list read and every record checked, as
// the location manager's first opening does.
void BM_LoadShippedLocations(benchmark::State& state) {
    TBenchDir dir;
    fs::copy_file(HX_SOURCE_DIR "/data/hxzones.hxd", dir.path / "hxzones.hxd",
                  fs::copy_options::overwrite_existing);
    THXMemoryPrefsStore store;
    TClockState s(store);
    s.DataDir = dir.path.string() + "/";
    for (auto _ : state) {
        s.LoadStandardLocations();
        benchmark::DoNotOptimize(s.StandardLocations.size());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(s.StandardLocations.size()));
}
BENCHMARK(BM_LoadShippedLocations)->Unit(benchmark::kMillisecond);

void BM_WriteLocations10000(benchmark::State& state) {
    TBenchDir dir;
    THXMemoryPrefsStore store;
    TClockState s(store);
    s.DataDir = dir.path.string() + "/";
    s.LoadStandardLocations();
    for (auto _ : state)
        s.WriteStandardLocations();
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_WriteLocations10000)->Unit(benchmark::kMillisecond);

void BM_SortLocationsByName10000(benchmark::State& state) {
    TBenchDir dir;
    THXMemoryPrefsStore store;
    TClockState s(store);
    s.DataDir = dir.path.string() + "/";
    s.LoadStandardLocations();
    for (auto _ : state) {
        state.PauseTiming();
        s.SortLocationsByZone();
        state.ResumeTiming();
        s.SortLocationsByName(0, int(s.StandardLocations.size()) - 1);
    }
}
BENCHMARK(BM_SortLocationsByName10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
