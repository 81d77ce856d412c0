// The location manager's commands on long lists: a search, a change of
// grouping (sort and tree), and Add (sort, list file, tree, find), on
// generated places and on the shipped ones.
#include "clockapp/state/PrefsStore.h"
#include "clockapp/state/tests/FakeServices.h"
#include "locations/TimeZoneManager.h"
#include "timemodel/HXMessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <random>

namespace {

struct TSilent : IMessagePresenter {
    TModalResult Present(const std::string&, TMsgDlgType, TMsgDlgButtons b, int) override {
        return EscapeResult(b);
    }
};

// The clock state with n generated places, or the shipped places when n is
// kShipped, and its manager, opened as the main window's command opens it.
constexpr int kShipped = -1;
struct TSetup {
    THXMemoryPrefsStore store;
    QTemporaryDir dir;
    TSilent silent;
    std::unique_ptr<TClockState> w;
    std::unique_ptr<TFakeServices> services;
    std::unique_ptr<QWidget> window;
    TFTimeZoneManager* m = nullptr;

    explicit TSetup(int n) {
        SetMessagePresenter(&silent);
        if (n == kShipped)
            QFile::copy(HX_SOURCE_DIR "/data/hxzones.hxd", dir.filePath("hxzones.hxd"));
        w = std::make_unique<TClockState>(store);
        StartClockState(*w, dir.path().toStdString());
        std::mt19937 rng(7);
        for (int i = 0; i < n; ++i) {
            auto l = std::make_unique<TTimeLocation>();
            l->Name = "Place " + std::to_string(i);
            l->City = "City " + std::to_string(rng() % 50000);
            l->Region = "Region " + std::to_string(rng() % 500);
            l->Country = "Country " + std::to_string(rng() % 200);
            l->Code = std::to_string(rng() % 100000);
            l->StdOffset = double(int(rng() % 53) - 24) / 2;
            l->Latitude = double(rng() % 180) - 90;
            l->Longitude = double(rng() % 360) - 180;
            l->Rule.ReadDataString(std::to_string(rng() % 8));
            w->StandardLocations.push_back(std::move(l));
        }
        services = std::make_unique<TFakeServices>(*w);
        InstallTimeZoneManager(*w, services->Services());
        if (w->StandardLocations.empty()) w->LoadStandardLocations();
        ITimeZoneManager* made = services->Factories.Manager(nullptr);
        services->Windows.Manager = made;
        window.reset(made->Window());
        window->show();
        m = static_cast<TFTimeZoneManager*>(made);
        QApplication::processEvents();
    }
    ~TSetup() {
        window.reset();
        services.reset();
        w.reset();
        SetMessagePresenter(nullptr);
    }
    QLineEdit* Field(const char* name) { return m->findChild<QLineEdit*>(name); }
};

void BM_FindByCity(benchmark::State& state) {
    TSetup s(int(state.range(0)));
    s.Field("me_City")->setText("City 4242");
    for (auto _ : state) {
        s.m->LocationChanged = false;
        s.m->sbSearchByCityClick();
    }
}
BENCHMARK(BM_FindByCity)->Arg(100000)->Unit(benchmark::kMillisecond);

// What a user types: a name without its accents.
void BM_FindByNameShipped(benchmark::State& state) {
    TSetup s(kShipped);
    s.Field("e_zoneName")->setText("Tromso");
    for (auto _ : state) {
        s.m->LocationChanged = false;
        s.m->sbSearchByNameClick();
    }
    state.counters["places"] = double(s.w->StandardLocations.size());
}
BENCHMARK(BM_FindByNameShipped)->Unit(benchmark::kMillisecond);

void BM_FindByCityShipped(benchmark::State& state) {
    TSetup s(kShipped);
    s.Field("me_City")->setText("sao");
    for (auto _ : state) {
        s.m->LocationChanged = false;
        s.m->sbSearchByCityClick();
    }
}
BENCHMARK(BM_FindByCityShipped)->Unit(benchmark::kMillisecond);

// The first opening: the list read, sorted and made a tree, the window shown.
void BM_OpenManagerShipped(benchmark::State& state) {
    for (auto _ : state) {
        std::optional<TSetup> s;
        s.emplace(kShipped);
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenManagerShipped)->Unit(benchmark::kMillisecond)->Iterations(5);

void GroupingChanges(benchmark::State& state, int n) {
    TSetup s(n);
    int k = 0;
    for (auto _ : state) {
        switch (k++ % 3) {
        case 0:
            s.m->sbSortByZoneClick();
            break;
        case 1:
            s.m->sbSortByNameClick();
            break;
        default:
            s.m->sbSortByLocationClick();
        }
    }
}
void BM_GroupingChange(benchmark::State& state) {
    GroupingChanges(state, int(state.range(0)));
}
BENCHMARK(BM_GroupingChange)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
void BM_GroupingChangeShipped(benchmark::State& state) {
    GroupingChanges(state, kShipped);
}
BENCHMARK(BM_GroupingChangeShipped)->Unit(benchmark::kMillisecond);

void Adds(benchmark::State& state, int n) {
    TSetup s(n);
    int k = 0;
    for (auto _ : state) {
        s.Field("e_zoneName")->setText(QString("Added %1").arg(k++));
        s.m->sb_AddLocClick();
    }
}
void BM_Add(benchmark::State& state) {
    Adds(state, int(state.range(0)));
}
BENCHMARK(BM_Add)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
void BM_AddShipped(benchmark::State& state) {
    Adds(state, kShipped);
}
BENCHMARK(BM_AddShipped)->Unit(benchmark::kMillisecond)->Iterations(5);

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
