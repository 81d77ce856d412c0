#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "globe/core/tests/GlobeTestSupport.h"

namespace {
const TGlobeProjection kModels[] = {TGlobeProjection::gpSpherical, TGlobeProjection::gpCartesian,
                                    TGlobeProjection::gpMercator};
}

// Pixel -> place -> pixel, and place -> pixel -> place within a pixel, for
// random views and points in every model; the view centre is mid-canvas with
// north up.
TEST(GlobeProjection, RoundTripsWithinAPixel) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-85, 85), zoom(0, 4);
    int checked = 0;
    for (TGlobeProjection m : kModels) {
        for (int view = 0; view < 40; ++view) {
            TGlobeContext g(640 + view, 480);
            g.SetProjection(m);
            g.SetScaleFactor(0);
            g.SetScaleFactor(g.ScaleFactor() * (1 + zoom(rng)));
            const double clon = lon(rng), clat = m == TGlobeProjection::gpSpherical ? lat(rng) : lat(rng) * 0.8;
            const GlobePoint c = Deg(clon, clat);
            g.LocateToLL(c.X, c.Y);
            ASSERT_TRUE(g.Model->ProjectPoint(c, 0));
            EXPECT_NEAR(g.SP(0).X, g.CanvasWidth / 2, 1);
            EXPECT_NEAR(g.SP(0).Y, g.CanvasHeight / 2, 1);
            const GlobePoint north = MakePoint(c.X, c.Y + GU_DEGREE / 100);
            ASSERT_TRUE(g.Model->ProjectPoint(north, 1));
            EXPECT_LE(g.SP(1).Y, g.SP(0).Y);
            EXPECT_NEAR(g.SP(1).X, g.SP(0).X, 1);
            const double pixel = 1 / static_cast<double>(g.ScaleFactor());
            for (int i = 0; i < 120; ++i) {
                const GlobePoint p = Deg(lon(rng), lat(rng));
                if (!g.Model->ProjectPoint(p, 0))
                    continue;
                const TPoint s = g.SP(0);
                if (s.X < 0 || s.Y < 0 || s.X >= g.CanvasWidth || s.Y >= g.CanvasHeight)
                    continue;
                GlobePoint back;
                ASSERT_TRUE(g.XYToLL(s.X, s.Y, back)) << static_cast<int>(m) << " " << s.X << "," << s.Y;
                ASSERT_TRUE(g.Model->ProjectPoint(back, 1));
                ++checked;
                EXPECT_LE(std::abs(g.SP(1).X - s.X), 1);
                EXPECT_LE(std::abs(g.SP(1).Y - s.Y), 1);
                if (m != TGlobeProjection::gpSpherical) {
                    EXPECT_LE(std::abs(WrapLongitude(static_cast<int64_t>(back.X) - p.X)), 1.5 * pixel);
                    if (m == TGlobeProjection::gpCartesian) {
                        EXPECT_LE(std::abs(back.Y - p.Y), 1.5 * pixel);
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 1500);
}

TEST(GlobeProjection, ModelEdges) {
    TGlobeContext g(600, 600);
    auto& sph = dynamic_cast<TSphericalPrj&>(*g.Model);
    // One pixel beyond the rim: refused, entry untouched.
    g.SP(3) = {77, 88};
    const int32_t r = static_cast<int32_t>(std::ceil(static_cast<double>(sph.RadiusPixels)));
    EXPECT_FALSE(sph.XYToLL(sph.XOrigin + r + 1, sph.YOrigin, 3));
    EXPECT_EQ(g.SP(3), (TPoint{77, 88}));
    EXPECT_TRUE(sph.XYToLL(sph.XOrigin + r - 1, sph.YOrigin, 3));
    sph.SetParameter(TPrjModel::pXRotation, 100 * GU_DEGREE);
    EXPECT_EQ(sph.XRotation, 486000000);
    const extended s = sph.ScaleFactor;
    sph.SetScaleFactor(0);
    sph.SetScaleFactor(NAN);
    EXPECT_EQ(sph.ScaleFactor, s);

    g.SetProjection(TGlobeProjection::gpMercator);
    EXPECT_FALSE(g.Model->ProjectPoint(Deg(0, 89.5), 0));
    EXPECT_TRUE(g.Model->ProjectPoint(MakePoint(0, 89 * GU_DEGREE), 0));
    // Cartesian YRotation wraps, and a latitude change off the map moves the
    // origin by exactly the change.
    g.SetProjection(TGlobeProjection::gpCartesian);
    auto& flat = *g.Model;
    for (int i = 0; i < 20; ++i)
        flat.SetParameter(TPrjModel::pYRotation, static_cast<int32_t>(flat.YRotation + 170 * GU_DEGREE));
    EXPECT_GE(flat.YRotation, -GU_180);
    EXPECT_LT(flat.YRotation, GU_180);
    const int32_t y0 = flat.YOrigin;
    flat.SetParameter(TPrjModel::pXRotation, flat.XRotation + 200 * GU_DEGREE);
    EXPECT_NEAR(flat.YOrigin - y0, 200 * GU_DEGREE * static_cast<double>(flat.ScaleFactor), 1);
}

// A pixel on the rim, even one just outside the disk, reads the limb point in
// its direction: that point is drawn back on the same pixel, on small and
// large globes, turned any way.
TEST(GlobeProjection, RimPixelsReadTheLimbInTheirDirection) {
    {
        // The one named: north-north-east on a 100-pixel globe at 0 N 0 E.
        TGlobeContext g(100, 100);
        g.SetScaleFactor(0);
        g.LocateToLL(0, 0);
        GlobePoint p;
        ASSERT_TRUE(g.XYToLL(57, 0, p));
        EXPECT_NEAR(p.Y / double(GU_DEGREE), 82.03, 0.01);
        EXPECT_NEAR(p.X / double(GU_DEGREE), 90, 0.01);
    }
    struct View {
        int W, H;
        double Zoom, Lon, Lat;
    } views[] = {{100, 100, 1, 0, 0}, {61, 47, 1, 10, 45}, {101, 77, 1.7, -120, -60},
                 {600, 600, 1, 0, 0}, {800, 600, 1, 35, 80},  {1366, 700, 2.3, 170, -20}};
    for (const View& v : views) {
        TGlobeContext g(v.W, v.H);
        g.SetScaleFactor(0);
        g.SetScaleFactor(g.ScaleFactor() * v.Zoom);
        const GlobePoint c = Deg(v.Lon, v.Lat);
        g.LocateToLL(c.X, c.Y);
        auto& sph = dynamic_cast<TSphericalPrj&>(*g.Model);
        const double r = static_cast<double>(sph.RadiusPixels);
        int rim = 0;
        for (int y = sph.YOrigin - int(r) - 2; y <= sph.YOrigin + int(r) + 2; ++y)
            for (int x = sph.XOrigin - int(r) - 2; x <= sph.XOrigin + int(r) + 2; ++x) {
                const double d = std::hypot(x - sph.XOrigin, y - sph.YOrigin);
                if (d < r - 1 || d > r + 0.7)
                    continue;
                GlobePoint p;
                ASSERT_TRUE(g.XYToLL(x, y, p)) << v.W << " " << x << "," << y;
                g.Model->ProjectPoint(p, 0);
                ++rim;
                EXPECT_LE(std::abs(g.SP(0).X - x), 1) << v.W << "x" << v.H << " " << x << "," << y;
                EXPECT_LE(std::abs(g.SP(0).Y - y), 1) << v.W << "x" << v.H << " " << x << "," << y;
            }
        EXPECT_GT(rim, 4 * r) << v.W;
    }
}

// At the largest scale and after many pans nothing overflows: points far off
// the canvas saturate instead of wrapping onto it.
TEST(GlobeProjection, HugeScalesSaturate) {
    for (TGlobeProjection m : kModels) {
        TGlobeContext g(1000, 800);
        g.SetProjection(m);
        g.SetScaleFactor(100);
        EXPECT_EQ(g.ScaleFactor(), 4);
        for (int i = 0; i < 1000; ++i)
            g.PanGlobe(-400000000, 300000000);
        const GlobePoint far = Deg(90, 0);
        g.Model->ProjectPoint(far, 0);
        EXPECT_TRUE(g.SP(0).X > 1000 || g.SP(0).X < 0 || m == TGlobeProjection::gpSpherical);
        GlobePoint p;
        g.XYToLL(500, 400, p);  // must not trap
        uint8_t code = 0;
        GlobeExtent e{-GU_180, -GU_90, GU_360 - 1, 2 * GU_90};
        g.Model->ExtentVisible(e, nullptr, code);
    }
}

TEST(GlobeProjection, BackgroundsAndGraticule) {
    TRecordingCanvas c;
    TGlobeContext g(400, 300);
    g.Canvas = &c;
    g.Model->PaintBackground();
    ASSERT_EQ(c.Calls.size(), 1u);
    EXPECT_EQ(c.Calls[0].Pts.size(), 90u);
    g.TextureBackground = true;
    c.Calls.clear();
    g.Model->PaintBackground();
    EXPECT_GT(c.Count("textri"), 0);
    EXPECT_LT(c.Count("textri"), 8 * 4 * 4 * 4 * 4);  // depth 4: the far side is skipped
    g.SetProjection(TGlobeProjection::gpMercator);
    c.Calls.clear();
    g.TextureBackground = false;
    g.Model->PaintBackground();
    ASSERT_EQ(c.Count("polygon"), 1);
    EXPECT_EQ(c.Calls[0].Pts.size(), 108u);
    g.TextureBackground = true;
    c.Calls.clear();
    g.Model->PaintBackground();
    EXPECT_EQ(c.Count("texrect"), 45 * 120);
    c.Calls.clear();
    g.Model->PaintGraticule();
    EXPECT_EQ(c.Count("polyline"), 24 + 6 * 4);
}

// The sphere's chain cache and the rim push: a point exactly behind the
// centre has no direction to the rim and is left where it is.
TEST(GlobeProjection, SphereChainCacheAndRim) {
    TGlobeContext g(400, 400);
    TGlobeLayer* l = g.AddNewLayer("l");
    auto* o = new TGeoDataObject(l);
    g.LocateToLL(0, 0);
    o->AddPoint(Deg(0, 0));
    o->AddPoint(Deg(0, 0));         // within a pixel: thinned away
    o->AddPoint(Deg(180, 0));       // exactly behind the centre
    o->AddPoint(Deg(45, 10));
    o->State |= gsPartHidden | gsPartShown;
    const int n = g.Model->ProjectChain(*o);
    ASSERT_TRUE(o->Cache);
    EXPECT_EQ(o->Cache->Count(), 3);
    ASSERT_GE(n, 2);
    const double r = static_cast<double>(dynamic_cast<TSphericalPrj&>(*g.Model).RadiusPixels);
    for (int i = 0; i < n; ++i)
        EXPECT_LE(std::hypot(g.SP(i).X - 200, g.SP(i).Y - 200), r + 1);
}

// Every model's pixels are the long double formulas' own, whatever the memos
// and the double fast paths hold: many points (colliding in the memos), seen
// twice, at scales from the whole earth to the closest zoom.
TEST(GlobeProjection, PixelsMatchTheLongDoubleFormulas) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> lon(-GU_180, GU_180 - 1), lat(-GU_90, GU_90);
    for (TGlobeProjection m : kModels) {
        for (const double zoom : {1.0, 3.7, 1e3, 1e5, 1e6}) {
            TGlobeContext g(800, 600);
            g.SetProjection(m);
            g.SetScaleFactor(0);
            g.SetScaleFactor(std::min<long double>(4, g.ScaleFactor() * zoom));
            g.LocateToLL(DecimalToGlobeUnits(12.5), DecimalToGlobeUnits(41));
            TPrjModel& md = *g.Model;
            const long double s = md.ScaleFactor;
            auto reference = [&](const GlobePoint& p) {
                if (m == TGlobeProjection::gpSpherical) {
                    auto* sp = dynamic_cast<TSphericalPrj*>(&md);
                    const GlobePoint v = PointTo3D(p);
                    auto pix = [](double d, int32_t o) { return static_cast<int32_t>(std::nearbyint(d) + o); };
                    return TPoint{pix(v.X * sp->M[0] + v.Y * sp->M[1] + v.Z * sp->M[2], md.XOrigin),
                                  pix(v.X * sp->M[3] + v.Y * sp->M[4] + v.Z * sp->M[5], md.YOrigin)};
                }
                const long double y = m == TGlobeProjection::gpMercator
                                          ? std::log(std::tan(GlobePi / 4 + p.Y / (2 * RadiansToGU))) * RadiansToGU
                                          : static_cast<long double>(p.Y);
                return TPoint{Sat32(Rnd64(WrapLongitude(static_cast<int64_t>(p.X) - md.CentralMeridian) * s) + md.XOrigin),
                              Sat32(md.YOrigin - Rnd64(y * s))};
            };
            std::vector<GlobePoint> pts;
            for (int i = 0; i < 30000; ++i)
                pts.push_back(i % 3 ? GlobePoint{lon(rng), lat(rng), 0}
                                    : GlobePoint{lon(rng) / GU_MINUTE * GU_MINUTE, lat(rng) / GU_MINUTE * GU_MINUTE, 0});
            int bad = 0;
            for (int pass = 0; pass < 2; ++pass)
                for (const GlobePoint& p : pts) {
                    if (!md.ProjectPoint(p, 0))
                        continue;
                    const TPoint want = reference(p);
                    if (!(g.SP(0) == want) && ++bad < 4)
                        ADD_FAILURE() << static_cast<int>(m) << " zoom " << zoom << ": " << p.X << "," << p.Y << " gives "
                                      << g.SP(0).X << "," << g.SP(0).Y << " not " << want.X << "," << want.Y;
                }
            EXPECT_EQ(bad, 0);
        }
    }
}

// The flat maps' chains and places keep what they projected: after turns, a
// zoom and moved points they still give ProjectPoint's pixels.
TEST(GlobeProjection, KeptFlatProjectionsFollowViewScaleAndPoints) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> lon(-GU_180, GU_180 - 1), lat(-GU_90, GU_90);
    for (TGlobeProjection m : {TGlobeProjection::gpCartesian, TGlobeProjection::gpMercator}) {
        TGlobeContext g(800, 600);
        g.SetProjection(m);
        auto* o = new TGeoDataObject(g.AddNewLayer("l"));
        for (int i = 0; i < 3000; ++i)
            o->AddPoint(i % 2 ? GlobePoint{lon(rng), lat(rng), 0} : GlobePoint{lon(rng) / 50, lat(rng) / 50, 0});
        g.SetScaleFactor(0);
        const long double fit = g.ScaleFactor();
        const double zooms[] = {1, 1, 40, 40, 1e5};
        for (int step = 0; step < 5; ++step) {
            g.SetScaleFactor(fit * zooms[step]);
            g.LocateToLL(DecimalToGlobeUnits(10 + 7 * step), DecimalToGlobeUnits(20 - 9 * step));
            if (step == 3)
                for (int32_t i = 0; i < 100; ++i)
                    o->Put(i, MakePoint(o->Get(i).X, o->Get(i).Y / 2));
            o->EnsureExtent();
            std::vector<TPoint> want;
            for (const GlobePoint& p : o->Points)
                if (g.Model->ProjectPoint(p, 0) && (want.empty() || !(want.back() == g.SP(0))))
                    want.push_back(g.SP(0));
            ASSERT_EQ(g.Model->ProjectChain(*o), static_cast<int>(want.size())) << static_cast<int>(m) << " step " << step;
            int bad = 0;
            for (size_t i = 0; i < want.size(); ++i)
                bad += !(g.SP(static_cast<int>(i)) == want[i]);
            for (int32_t i = 0; i < o->Count(); ++i) {
                const GlobePoint p = o->Get(i);
                const bool shown = g.Model->ProjectPoint(p, 0);
                const TPoint at = g.SP(0);
                bad += g.Model->ProjectKept(*o, static_cast<size_t>(i), p, 0) != shown || (shown && !(g.SP(0) == at));
            }
            EXPECT_EQ(bad, 0) << static_cast<int>(m) << " step " << step;
        }
    }
}
