// Chains on flat maps: runs and halves cut at the edge meridian, rings
// closed along their pole, segmented lines; and the day/night shadow.
#include <gtest/gtest.h>

#include "globe/core/GlobeGeodesy.h"
#include "globe/tests/GlobeDrawTestSupport.h"

namespace {

struct Flat {
    TGlobeDrawContext G;
    TRecordingCanvas Rec;
    TGlobeLayer* L;
    explicit Flat(TGlobeProjection p, int w = 720, int h = 360) : G(w, h) {
        EnsureTestApp();
        G.SetProjection(p);
        G.SetScaleFactor(0);
        G.DrawGrid = TDrawGrid::dgNone;
        G.GlobeColor = G.Color = 0xFFFFFF;
        L = G.AddNewLayer("l");
    }
    TPoint Px(int64_t x, int64_t y) {
        EXPECT_TRUE(G.Model->ProjectPoint(MakePoint(x, y), 0));
        return G.SP(0);
    }
    void Record(TGeoDataObject* o, bool polygon) {
        G.Canvas = &Rec;
        o->EnsureExtent();
        o->State &= static_cast<uint16_t>(~gsVisible);
        polygon ? G.RenderPolygon(*o) : G.RenderPolyline(*o);
        G.Canvas = &G.GlobeCanvas;
    }
    QImage Draw() {
        G.ObjectsChangedMark = true;
        G.RenderAll();
        return G.GlobeCanvas.Image.copy();
    }
    bool Filled(const QImage& img, double lon, double lat) {
        if (!G.Model->ProjectPoint(Deg(lon, lat), 0))
            return false;
        const TPoint p = G.SP(0);
        EXPECT_TRUE(img.rect().contains(p.X, p.Y)) << lon << " " << lat;
        return img.rect().contains(p.X, p.Y) && At(img, p.X, p.Y) != 0xFFFFFF;
    }
};

TEST(GlobeChains, PolylineAcrossTheEdgeMeridianEndsOneUnitEitherSide) {
    for (TGlobeProjection p : {TGlobeProjection::gpCartesian, TGlobeProjection::gpMercator}) {
        Flat f(p);
        auto* o = AddChain(f.L, nullptr, {{160, 10}, {170, 10}, {-170, 20}, {-160, 20}});
        f.Record(o, false);
        ASSERT_EQ(f.Rec.Count("polyline"), 2);
        const int64_t e = -GU_180, lat = 15 * GU_DEGREE;  // halfway between 10 and 20 degrees
        EXPECT_EQ(f.Rec.Calls[0].Pts.back(), f.Px(e - 1 + GU_360, lat));
        EXPECT_EQ(f.Rec.Calls[0].Pts.size(), 3u);
        EXPECT_EQ(f.Rec.Calls[1].Pts.front(), f.Px(e + 1, lat));
        EXPECT_EQ(f.Rec.Calls[1].Pts.size(), 3u);
    }
}

TEST(GlobeChains, PolygonAcross180BecomesTwoWholeHalvesAlongTheEdge) {
    for (TGlobeProjection p : {TGlobeProjection::gpCartesian, TGlobeProjection::gpMercator}) {
        Flat f(p);
        auto* pr = new TPolygonPresenter(f.L, "p", 1);
        pr->PolygonPen.SetPen(0x0000FF, TPenStyle::psClear, 1);
        pr->PolygonBrush.SetBrush(0x0000FF, TBrushStyle::bsSolid);
        auto* o = AddChain(f.L, pr, {{170, 0}, {-170, 0}, {-170, 10}, {170, 10}});
        f.Record(o, true);
        ASSERT_EQ(f.Rec.Count("polygon"), 2);
        // Each half runs along the edge in whole degrees: 4 corners and 9 more.
        for (const auto& c : f.Rec.Calls)
            EXPECT_EQ(c.Pts.size(), 13u);
        const QImage img = f.Draw();
        for (auto [lon, lat] : {std::pair{175.0, 5.0}, {-175.0, 5.0}, {179.5, 9.5}, {-179.5, 9.5}, {179.5, 0.5}, {-179.5, 0.5}})
            EXPECT_TRUE(f.Filled(img, lon, lat)) << lon << " " << lat;
        for (auto [lon, lat] : {std::pair{0.0, 5.0}, {165.0, 5.0}, {-165.0, 5.0}, {175.0, 12.0}})
            EXPECT_FALSE(f.Filled(img, lon, lat)) << lon << " " << lat;
    }
}

TEST(GlobeChains, PolarRingsCloseAlongTheirPole) {
    struct Case {
        TGlobeProjection P;
        double Lat;
        double Inside, Outside;
    };
    const Case cases[] = {
        {TGlobeProjection::gpCartesian, -70, -85, -60}, {TGlobeProjection::gpCartesian, 70, 85, 60},
        {TGlobeProjection::gpMercator, -70, -86, -60}, {TGlobeProjection::gpMercator, 70, 86, 60},
    };
    for (const Case& k : cases) {
        // A tall canvas shows Mercator almost up to the poles.
        Flat f(k.P, 360, k.P == TGlobeProjection::gpMercator ? 720 : 360);
        auto* pr = new TPolygonPresenter(f.L, "p", 1);
        pr->PolygonBrush.SetBrush(0x00FF00, TBrushStyle::bsSolid);
        auto* o = new TGeoDataObject(f.L);
        for (int lon = -170; lon < 180; lon += 20)
            o->AddPoint(Deg(lon, k.Lat));
        o->SetPresenter(pr);
        const QImage img = f.Draw();
        for (double lon : {-90.0, -45.0, 0.0, 45.0, 90.0}) {
            EXPECT_TRUE(f.Filled(img, lon, k.Inside)) << static_cast<int>(k.P) << " " << k.Lat << " " << lon;
            EXPECT_FALSE(f.Filled(img, lon, k.Outside)) << static_cast<int>(k.P) << " " << k.Lat << " " << lon;
        }
    }
}

TEST(GlobeChains, SegmentedLineHasOnePointMoreThanSegmentsAndCrossesWhereItMust) {
    Flat f(TGlobeProjection::gpCartesian);
    f.G.Canvas = &f.Rec;
    f.G.RenderLine(Deg(0, 10), Deg(90, 10), 6);
    ASSERT_EQ(f.Rec.Count("polyline"), 1);
    EXPECT_EQ(f.Rec.Calls[0].Pts.size(), 7u);
    EXPECT_EQ(f.Rec.Calls[0].Pts.back(), f.Px(90 * GU_DEGREE, 10 * GU_DEGREE));
    // From 100 E to 100 W beyond the quarter meridians: round by 180 degrees,
    // not across the map's middle.
    f.Rec.Calls.clear();
    f.G.RenderLine(Deg(100, 0), Deg(-100, 0), 8);
    ASSERT_EQ(f.Rec.Count("polyline"), 2);
    size_t total = 0;
    for (const auto& c : f.Rec.Calls) {
        total += c.Pts.size();
        for (const TPoint& p : c.Pts)
            EXPECT_TRUE(p.X <= f.Px(-100 * GU_DEGREE, 0).X || p.X >= f.Px(100 * GU_DEGREE, 0).X) << p.X;
    }
    EXPECT_EQ(total, 9u + 2u);  // the points and the two edge points
    // The steps round to the nearest unit: 2/3 and 4/3 of 2 units are both 1.
    f.Rec.Calls.clear();
    f.G.SetScaleFactor(4);
    f.G.RenderLine(MakePoint(0, 0), MakePoint(0, 2), 3);
    ASSERT_EQ(f.Rec.Count("polyline"), 1);
    ASSERT_EQ(f.Rec.Calls[0].Pts.size(), 4u);
    EXPECT_EQ(f.Rec.Calls[0].Pts[1], f.Px(0, 1));
    EXPECT_EQ(f.Rec.Calls[0].Pts[2], f.Px(0, 1));
}

TEST(GlobeChains, TransparentGlobeShowsTheFarSideInTheTransparentColours) {
    Flat f(TGlobeProjection::gpSpherical, 300, 300);
    f.G.LocateToLL(0, 0);
    auto* pr = new TPolygonPresenter(f.L, "p", 1);
    pr->PolygonBrush.SetBrush(0x0000FF, TBrushStyle::bsSolid);
    AddChain(f.L, pr, {{150, -10}, {170, -10}, {170, 10}, {150, 10}});  // behind, seen right of the centre
    AddChain(f.L, pr, {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}});      // in front
    f.G.Color = 0x000000;
    const TPoint c = f.Px(0, 0);
    QImage img = f.Draw();
    EXPECT_EQ(At(img, c.X, c.Y), Rgb(255, 0, 0));
    EXPECT_EQ(At(img, c.X + 50, c.Y), Rgb(255, 255, 255));
    f.G.TransparentGlobe = true;
    img = f.Draw();
    EXPECT_EQ(At(img, c.X, c.Y), Rgb(255, 0, 0));             // the near side is drawn over the far
    EXPECT_EQ(At(img, c.X + 50, c.Y), Rgb(0xC0, 0xC0, 0xC0));  // the far square
    EXPECT_EQ(At(img, c.X - 50, c.Y), 0u);                      // no globe disk
}

TEST(GlobeShadow, NightTwilightAndDayAtTheJuneSolstice) {
    const double t = static_cast<double>(GlobeDayNumber(2026, 6, 21)) + 0.5;
    Flat f(TGlobeProjection::gpCartesian, 360, 180);  // one pixel per degree
    f.Draw();
    f.G.RenderShadow(0x000000, 0xC0C0C0, 1, t);
    const QImage& img = f.G.GlobeCanvas.Image;
    auto at = [&](double lon, double lat) {
        EXPECT_TRUE(f.G.Model->ProjectPoint(Deg(lon, lat), 0));
        return At(img, std::min(f.G.SP(0).X, 359), std::min(f.G.SP(0).Y, 179));
    };
    EXPECT_EQ(at(0, 23.4), 0xFFFFFFu);
    EXPECT_EQ(at(10, 30), 0xFFFFFFu);
    EXPECT_EQ(at(179, 0), 0u);
    EXPECT_EQ(at(0, -75), 0u);
    EXPECT_EQ(at(0, 23.44 - 93), 0xC0C0C0u);
    EXPECT_EQ(at(0, 89), 0xFFFFFFu);  // the North Pole is lit
    // On the globe the pixels off the earth keep their colour.
    Flat s(TGlobeProjection::gpSpherical, 200, 200);
    s.G.Color = 0x123456;
    s.Draw();
    const QImage before = s.G.GlobeCanvas.Image.copy();
    s.G.RenderShadow(0x000000, 0xC0C0C0, 1, t + 0.25);
    const QImage& after = s.G.GlobeCanvas.Image;
    int changed = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            GlobePoint p;
            const bool on = s.G.XYToLL(x, y, p);
            if (!on) {
                EXPECT_EQ(At(after, x, y), At(before, x, y)) << x << " " << y;
            }
            changed += At(after, x, y) != At(before, x, y);
        }
    EXPECT_GT(changed, 2000);
}

}  // namespace

namespace {
// Pixels of the globe's own colour with fill on both sides, across or
// along, that the layer puts on a filled object together with every pixel
// within two (so not the sea in a jagged coast):
// slivers between neighbouring fills.
int Slivers(TGlobeDrawContext& g, QRgb globe, TGlobeLayer* layer) {
    const QImage& img = g.GlobeCanvas.Image;
    const QRgb back = At(img, 0, 0);
    auto fill = [&](int x, int y) {
        const QRgb c = At(img, x, y);
        return c != globe && c != back;
    };
    auto onFill = [&](int x, int y) {
        GlobePoint p;
        // Away from the poles and the globe's rim, where pixels squeeze
        // too much ground for a hit test of their corner to say.
        if (!g.XYToLL(x, y, p) || std::abs(p.Y) > 70 * GU_DEGREE ||
            (g.Model->IsSpherical() && std::hypot(x - g.Model->XOrigin, y - g.Model->YOrigin) >
                                           0.85 * static_cast<double>(dynamic_cast<TSphericalPrj&>(*g.Model).RadiusPixels)))
            return false;
        auto* pres = dynamic_cast<TPolygonPresenter*>(layer->ObjectAtLL(p.X, p.Y) ? layer->ObjectAtLL(p.X, p.Y)->Presenter
                                                                                    : nullptr);
        return pres && pres->PolygonBrush.BrushStyle == TBrushStyle::bsSolid;
    };
    int n = 0;
    for (int y = 1; y + 1 < img.height(); ++y)
        for (int x = 1; x + 1 < img.width(); ++x)
            if (At(img, x, y) == globe && ((fill(x - 1, y) && fill(x + 1, y)) || (fill(x, y - 1) && fill(x, y + 1)))) {
                bool inland = true;
                for (int dy = -2; inland && dy <= 2; ++dy)
                    for (int dx = -2; inland && dx <= 2; ++dx)
                        inland = onFill(x + dx, y + dy);
                n += inland;
            }
    return n;
}
}  // namespace

// Neighbouring fills share their border pixel for pixel: the shipped zone
// layer's cells, in every projection and at several zooms.
TEST(GlobeChains, NeighbouringFillsMeetWithoutSlivers) {
    EnsureTestApp();
    struct View {
        TGlobeProjection Prj;
        double Zoom;
    };
    const View views[] = {{TGlobeProjection::gpSpherical, 1},  {TGlobeProjection::gpSpherical, 2.5},
                          {TGlobeProjection::gpSpherical, 7},  {TGlobeProjection::gpCartesian, 1},
                          {TGlobeProjection::gpCartesian, 3},  {TGlobeProjection::gpMercator, 1}};
    for (const View& v : views) {
        SCOPED_TRACE(std::to_string(static_cast<int>(v.Prj)) + " x" + std::to_string(v.Zoom));
        TGlobeDrawContext g(800, 600);
        g.SetProjection(v.Prj);
        g.SetScaleFactor(0);
        g.SetScaleFactor(g.ScaleFactor() * v.Zoom);
        g.LocateToLL(DecimalToGlobeUnits(100), DecimalToGlobeUnits(30));
        g.DrawGrid = TDrawGrid::dgNone;
        g.Color = 0;
        g.GlobeColor = 0xFF00FF;
        TGlobeLayer* l = g.AddNewLayer("zones");
        g.DataDirectory = HX_SOURCE_DIR "/data/map/";
        l->SetFilename("01-timezones.lyr");
        ASSERT_GT(l->ObjectCount(), 300);
        g.RenderAll();
        // A few pixels may remain where many small cells meet (a city's
        // places); a seam shows as hundreds.
        EXPECT_LE(Slivers(g, Rgb(255, 0, 255), l), 10);
    }
}
