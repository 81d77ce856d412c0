// Seeding the whole store of system zones from the host's tz database, and
// reading it back, in a key store of the benchmark's own.
#include "rulewick/SystemZones.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct TStoreDir {
    TStoreDir() {
        std::string tmpl = (fs::temp_directory_path() / "bench-rulewick-XXXXXX").string();
        if (::mkdtemp(tmpl.data())) Dir = tmpl;
        ::setenv("HOROLUX_KEYSTORE_DIR", Dir.c_str(), 1);
    }
    ~TStoreDir() {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    void Empty() {
        std::error_code ec;
        fs::remove(Dir + "/HKEY_LOCAL_MACHINE.reg", ec);
    }
    std::string Dir;
};

void BM_SeedSystemZones(benchmark::State& state) {
    TStoreDir store;
    int zones = 0;
    for (auto _ : state) {
        state.PauseTiming();
        store.Empty();
        state.ResumeTiming();
        TRegistry reg(HKEY_LOCAL_MACHINE);
        zones = SeedSystemZones(reg, 2026);
    }
    state.counters["zones"] = zones;
}
BENCHMARK(BM_SeedSystemZones)->Unit(benchmark::kMillisecond);

void BM_LoadSystemRules(benchmark::State& state) {
    TStoreDir store;
    {
        TRegistry reg(HKEY_LOCAL_MACHINE);
        SeedSystemZones(reg, 2026);
    }
    std::vector<TDSTRule> rules;
    for (auto _ : state) {
        TRegistry reg(HKEY_LOCAL_MACHINE);
        LoadSystemRules(reg, rules);
    }
    state.counters["zones"] = double(rules.size());
}
BENCHMARK(BM_LoadSystemRules)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
