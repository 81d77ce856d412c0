// The clock-drift window over sync logs with one line in ten a failure: the
// first read of 100,000 lines into the chart with its statistics, and an
// activation after a sync has appended its lines to a log of a million. The
// activation is what holds the clocks: it should stay well under 50 ms.
#include "tickmatch/SyncRules.h"
#include "tools/F_SysTimeInfo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>

namespace {

const TDateTime kStart = EncodeDate(2020, 1, 1);

void WriteLines(std::ofstream& out, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        const TDateTime t = kStart + i / 24.0;
        out << tickmatch::LogLineStart("time.example.org", t);
        if (i % 10 == 9)
            out << tickmatch::LogFailField(tickmatch::FailTimedOut);
        else
            out << tickmatch::LogSuccessFields(t, t + ((i % 7) - 3) * 0.2 / 86400);
        out << "\r\n";
    }
}

std::string WriteLog(const QTemporaryDir& dir, int lines) {
    const std::string path = dir.filePath("hxsynclog.hxd").toStdString();
    std::ofstream out(path, std::ios::binary);
    WriteLines(out, 0, lines);
    return path;
}

// Runs the event loop until the window has read to the end of the log.
void ReadToEnd(TFSystemDrift& window) {
    while (window.Reading()) QCoreApplication::processEvents();
}

// Opening: the whole log read, in slices between which the clocks tick.
void BM_DriftWindowFirstRead(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = WriteLog(dir, int(state.range(0)));
    int entries = 0;
    for (auto _ : state) {
        TFSystemDrift window(nullptr, path);
        window.FormActivate();
        ReadToEnd(window);
        entries = window.Statistics().Entries;
    }
    state.counters["entries"] = entries;
}
BENCHMARK(BM_DriftWindowFirstRead)->Arg(100000)->Unit(benchmark::kMillisecond);

// Ten lines appended, then the window activated: the time the GUI thread
// spends in the activation, which reads them and shows them.
void BM_DriftWindowActivateAfterAppend(benchmark::State& state) {
    QTemporaryDir dir;
    int lines = int(state.range(0));
    const std::string path = WriteLog(dir, lines);
    TFSystemDrift window(nullptr, path);
    window.FormActivate();
    ReadToEnd(window);
    for (auto _ : state) {
        state.PauseTiming();
        {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            WriteLines(out, lines, 10);
            lines += 10;
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(window.FormActivate());
        if (window.Reading()) state.SkipWithError("the activation left the read unfinished");
    }
    if (window.Statistics().Entries != lines) state.SkipWithError("the appended lines were not read");
    state.counters["entries"] = window.Statistics().Entries;
}
BENCHMARK(BM_DriftWindowActivateAfterAppend)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
