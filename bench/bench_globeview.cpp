// The globe's drawing at 800 x 600: a redraw of 100,000 chain points after a
// rotation step, the day/night shadow pass, the textured globe, and the map
// window's redraw after a scroll step with every shipped place plotted.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "globe/GlobeDraw.h"
#include "globe/GlobeTool.h"
#include "globe/core/GlobeGeodesy.h"

namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "bench_globeview";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return *app;
}

// 1,000 chains of 100 points, half areas and half lines, over the whole world.
void AddChains(TGlobeContext& g) {
    TGlobeLayer* l = g.AddNewLayer("bench");
    auto* area = new TPolygonPresenter(l, "a", 1);
    area->PolygonBrush.SetBrush(0x00A000, TBrushStyle::bsSolid);
    auto* line = new TPolylinePresenter(l, "l", 2);
    for (int k = 0; k < 1000; ++k) {
        auto* o = new TGeoDataObject(l);
        const double lon0 = -180 + (k % 40) * 9, lat0 = -80 + (k / 40) * 6.4;
        for (int i = 0; i < 100; ++i) {
            const double a = i * 2 * M_PI / 100;
            GlobePoint p;
            DecimalLLToPoint(p, lon0 + 3 * std::cos(a), lat0 + 2 * std::sin(a));
            o->AddPoint(p);
        }
        o->SetPresenter(k % 2 ? static_cast<TGlobePresenter*>(line) : area);
    }
}

void BM_RedrawAfterRotation(benchmark::State& state) {
    App();
    TGlobeDrawContext g(800, 600);
    g.SetProjection(static_cast<TGlobeProjection>(state.range(0)));
    AddChains(g);
    g.RenderAll();
    int32_t step = 0;
    for (auto _ : state) {
        g.Model->SetParameter(TPrjModel::pYRotation, WrapLongitude(g.Model->YRotation + GU_DEGREE));
        g.RedrawLayers();
        g.RenderAll();
        ++step;
    }
    state.counters["points"] = 100000;
}
BENCHMARK(BM_RedrawAfterRotation)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_ShadowPass(benchmark::State& state) {
    App();
    TGlobeDrawContext g(800, 600);
    g.SetProjection(static_cast<TGlobeProjection>(state.range(0)));
    g.RenderAll();
    const double t = static_cast<double>(GlobeDayNumber(2026, 6, 21)) + 0.5;
    for (auto _ : state)
        g.RenderShadow(0, 0xC0C0C0, static_cast<int>(state.range(1)), t);
}
BENCHMARK(BM_ShadowPass)->Args({0, 2})->Args({0, 1})->Args({1, 2})->Args({1, 1})->Unit(benchmark::kMillisecond);

void BM_TexturedGlobe(benchmark::State& state) {
    App();
    QTemporaryDir dir;
    const std::string tex = dir.filePath("world.bmp").toStdString();
    std::vector<uint8_t> idx(1024 * 512);
    uint32_t rgb[256];
    for (int i = 0; i < 256; ++i)
        rgb[i] = static_cast<uint32_t>(i << 16 | (255 - i) << 8 | 128);
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = static_cast<uint8_t>((i % 1024) / 4);
    WriteBmp8(tex, 1024, 512, idx, rgb);
    TGlobeDrawContext g(800, 600);
    g.SetProjection(static_cast<TGlobeProjection>(state.range(0)));
    g.SetTextureFilename(tex);
    g.SetTextureBackground(true);
    for (auto _ : state) {
        g.RedrawLayers();
        g.RenderAll();
    }
}
BENCHMARK(BM_TexturedGlobe)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Every shipped place as the map window's "Plot All" puts it on the globe:
// a diamond of 4 pixels with its name, over the shipped layers.
int PlotShippedPlaces(TGlobeContext& g) {
    g.DataDirectory = HX_SOURCE_DIR "/data/map/";
    if (!std::getenv("HX_BENCH_NOLAYERS"))
        for (const char* f : {"01-timezones.lyr", "02-countries.lyr"})
            g.AddNewLayer("")->SetFilename(f);
    TGlobeLayer* places = g.AddNewLayer("Locations");
    places->MaxFontHeight = 15;
    TPointPresenter* p = NewPlaceMarker(places, "KnownPresenter", 4, 30);
    std::ifstream in(HX_SOURCE_DIR "/data/hxzones.hxd");
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("VERSION:", 0) == 0)
            continue;
        std::istringstream f(line);
        std::string name, std, host, lat, lon;
        if (!std::getline(f, name, '\t') || !std::getline(f, std, '\t') || !std::getline(f, host, '\t') ||
            !std::getline(f, lat, '\t') || !std::getline(f, lon, '\t'))
            continue;
        auto* o = new TGeoDataObject(places);
        o->SetPresenter(p);
        o->Title = name;
        o->AddPoint(MakePoint(DecimalToGlobeUnits(-std::stod(lon)), DecimalToGlobeUnits(std::stod(lat))));
        ++n;
    }
    return n;
}

// One scroll-bar line step (a twentieth of the view) and the redraw it asks
// for; a function of its own so that instruction counts can be taken of it
// alone (valgrind --tool=callgrind --collect-atstart=no
// --toggle-collect='*::ScrollStep(*').
[[gnu::noinline]] void ScrollStep(TGlobeDrawContext& g, int step) {
    const int32_t d = g.ViewRect.Width / 20;
    g.PanGlobe((step / 20) % 2 ? -d : d, 0);
    g.GlobeCanvas.BeginOffscreen();
    g.RenderAll();
    g.GlobeCanvas.EndOffscreen();
}

// projection, altitude in km (0: the whole earth).
void BM_ScrollStepWithEveryPlace(benchmark::State& state) {
    App();
    TGlobeDrawContext g(800, 600);
    g.SetProjection(static_cast<TGlobeProjection>(state.range(0)));
    const int n = PlotShippedPlaces(g);
    g.SetAltitude(state.range(1) ? g.ToGlobeUnits(static_cast<extended>(state.range(1)), TGlobeUnits::Kilometer) : 0);
    g.LocateToLL(DecimalToGlobeUnits(10), DecimalToGlobeUnits(48));
    g.GlobeCanvas.BeginOffscreen();
    g.RenderAll();
    g.GlobeCanvas.EndOffscreen();
    int step = 0;
    for (auto _ : state)
        ScrollStep(g, ++step);
    state.counters["places"] = n;
}
BENCHMARK(BM_ScrollStepWithEveryPlace)
    ->ArgNames({"projection", "km"})
    ->Args({0, 0})
    ->Args({0, 2000})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
