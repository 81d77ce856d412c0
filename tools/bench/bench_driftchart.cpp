// The clock-drift window's reload: a 100,000-line sync log (one line in ten
// a failure) into the chart with its statistics. It should stay well under
// 200 ms.
#include "tickmatch/SyncRules.h"
#include "tools/F_SysTimeInfo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>

namespace {

std::string WriteLog(const QTemporaryDir& dir, int lines) {
    const std::string path = dir.filePath("hxsynclog.hxd").toStdString();
    std::ofstream out(path, std::ios::binary);
    const TDateTime start = EncodeDate(2020, 1, 1);
    for (int i = 0; i < lines; ++i) {
        const TDateTime t = start + i / 24.0;
        out << tickmatch::LogLineStart("time.example.org", t);
        if (i % 10 == 9)
            out << tickmatch::LogFailField(tickmatch::FailTimedOut);
        else
            out << tickmatch::LogSuccessFields(t, t + ((i % 7) - 3) * 0.2 / 86400);
        out << "\r\n";
    }
    return path;
}

void BM_DriftWindowReload(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = WriteLog(dir, int(state.range(0)));
    TFSystemDrift window(nullptr, path);
    for (auto _ : state) benchmark::DoNotOptimize(window.FormActivate());
    state.counters["entries"] = window.Contents().Statistics.Entries;
}
BENCHMARK(BM_DriftWindowReload)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
