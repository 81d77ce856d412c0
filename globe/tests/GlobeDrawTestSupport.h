#pragma once
// A GUI application for the drawing tests, synthetic layers and pixel helpers.
#include <QApplication>
#include <QColor>
#include <QImage>


#include "globe/GlobeDraw.h"
#include "globe/core/tests/GlobeTestSupport.h"
#include "platform/qt/tests/QtTestSupport.h"

inline void EnsureTestApp() { EnsureApp(); }

inline QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
inline QRgb Rgb(int r, int g, int b) { return static_cast<QRgb>((r << 16) | (g << 8) | b); }

inline TGeoDataObject* AddChain(TGlobeLayer* l, TGlobePresenter* p, std::initializer_list<std::pair<double, double>> ll,
                                const std::string& title = "") {
    auto* o = new TGeoDataObject(l);
    for (const auto& [lon, lat] : ll)
        o->AddPoint(Deg(lon, lat));
    o->Title = title;
    if (p)
        o->SetPresenter(p);
    return o;
}

// Filled squares, a polyline across 180 degrees and a ring round the south
// pole: no text, so the pictures do not depend on fonts.
inline TGlobeLayer* AddSyntheticLayer(TGlobeContext& g) {
    TGlobeLayer* l = g.AddNewLayer("synthetic");
    auto* red = new TPolygonPresenter(l, "squares", 1);
    red->PolygonBrush.SetBrush(0x0000FF, TBrushStyle::bsSolid);
    red->PolygonPen.SetPen(0x000000, TPenStyle::psSolid, 1);
    auto* blue = new TPolylinePresenter(l, "line", 2);
    blue->PolylinePen.SetPen(0xFF0000, TPenStyle::psSolid, 2);
    auto* green = new TPolygonPresenter(l, "ring", 3);
    green->PolygonBrush.SetBrush(0x00C000, TBrushStyle::bsSolid);
    green->PolygonPen.SetPen(0x004000, TPenStyle::psSolid, 1);
    AddChain(l, red, {{-20, 10}, {0, 10}, {0, 30}, {-20, 30}});
    AddChain(l, red, {{30, -20}, {50, -20}, {50, 0}, {30, 0}});
    AddChain(l, red, {{170, 40}, {-170, 40}, {-170, 55}, {170, 55}});
    AddChain(l, blue, {{150, -10}, {170, 0}, {-170, 10}, {-150, 20}});
    std::vector<std::pair<double, double>> ring;
    auto* r = new TGeoDataObject(l);
    for (int lon = -180; lon < 180; lon += 20)
        r->AddPoint(Deg(lon, -70 + 5 * ((lon / 20) % 2)));
    r->SetPresenter(green);
    return l;
}
