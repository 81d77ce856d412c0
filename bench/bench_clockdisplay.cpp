// Cost of one tick of the main window with twelve clocks, half of them
// analog, including the repaint of the clock area.
#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"
#include "clockapp/state/PrefsStore.h"
#include "clockapp/tests/QuietClocks.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_TickTwelveClocks(benchmark::State& state) {
    THXMemoryPrefsStore store;
    store.SetValue(THXRootKey::HKEY_CURRENT_USER, "SOFTWARE\\Horolux\\Prefs", "FirstRun",
                   THXStoredValue::FromInteger(0));
    store.SetValue(THXRootKey::HKEY_CURRENT_USER, "SOFTWARE\\Horolux\\Prefs", "ShowSplash",
                   THXStoredValue::FromInteger(0));
    QTemporaryDir dir;
    QuietClocks w(store);
    w.SplashDelayMs = 0;
    w.FormCreate("/nonexistent", {"-datadir", dir.path().toStdString(), "-readonly"});
    w.Timer1->stop();
    TClockDisplay& d = ClockDisplayOf(w);
    d.SetSoundPlayer(std::make_unique<TRecordingSoundPlayer>());
    w.Clocks.clear();
    for (int i = 0; i < 12; ++i) {
        w.Clocks.push_back(std::make_unique<THXClock>());
        w.Clocks.back()->Analog = i % 2 == 1;
        w.Clocks.back()->ClockType = uint8_t(i % 9);
        w.Clocks.back()->Location.StdOffset = i - 5;
    }
    w.show();
    w.RefreshClockObjects(true, true);
    w.Timer1->stop();
    double t = EncodeDate(2024, 5, 6);
    for (auto _ : state) {
        t += 1.0 / SecsPerDay;
        PinClock(t, 0);
        d.UpdateClockDisplays(false);
        // 1: the clock area, which is what changes each second; 2: the whole window.
        if (state.range(0) == 1) w.ClockArea()->repaint();
        if (state.range(0) == 2) w.repaint();
        QApplication::processEvents();
    }
    w.Timer1->stop();
    ResetClockSource();
}
BENCHMARK(BM_TickTwelveClocks)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
