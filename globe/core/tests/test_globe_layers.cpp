#include <gtest/gtest.h>

#include "globe/core/tests/GlobeTestSupport.h"

namespace {

TGeoDataObject* Chain(TGlobeLayer* l, std::initializer_list<std::pair<double, double>> lonlat,
                      TGlobePresenter* p = nullptr, const std::string& title = "") {
    auto* o = new TGeoDataObject(l);
    for (auto [lon, lat] : lonlat)
        o->AddPoint(Deg(lon, lat));
    o->Title = title;
    if (p)
        o->SetPresenter(p);
    return o;
}

template <class F>
std::string ErrorOf(F f) {
    try {
        f();
    } catch (const EGlobeException& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(GlobePresenters, NamesIdsLookupAndAttributes) {
    TGlobeContext g;
    g.GlobalLayer->Clear();
    auto* gp = new TPointPresenter(g.GlobalLayer);
    EXPECT_EQ(gp->FeatureID, -1);
    EXPECT_EQ(gp->Name, "GlobalPointPresenter-1");
    TGlobeLayer* l = g.AddNewLayer("l");
    new TPolylinePresenter(l);
    new TPolygonPresenter(l, "Named");
    auto* third = new TPointPresenter(l);
    EXPECT_EQ(third->Name, "PointPresenter3");
    EXPECT_EQ(third->FeatureID, 3);
    EXPECT_EQ(FindPresenter(l, "named", 0), l->Presenters[1]);
    EXPECT_EQ(FindPresenter(l, "", -1), gp);
    EXPECT_EQ(FindPresenter(l, "", 0), l->Presenters[0]);
    EXPECT_EQ(FindPresenter(l, "", 99), nullptr);

    // Attributes without a layer never make a drawing object.
    TGlobePen free(0, TPenStyle::psSolid, 1);
    free.SetPenColor(0x123456);
    EXPECT_EQ(free.Handle, 0);
    EXPECT_EQ(g.HandlesMade, 0);
    EXPECT_TRUE(TGlobeFont("ARIAL", 0, TGlobeUnits::Pixel, 9, 0, 0).SameAs(*g.DefaultTitleFont));
    EXPECT_FALSE(TGlobeFont("Arial", 0, TGlobeUnits::Pixel, 10, 0, 0).SameAs(*g.DefaultTitleFont));
    EXPECT_FALSE(free.SameAs(TGlobeBrush(0, TBrushStyle::bsSolid)));

    // Font heights: the unit's own factor (a centimetre is under one GU), capped.
    g.SetScaleFactor(1);
    third->TitleFont.SetFontUnit(TGlobeUnits::CentiMeter);
    third->TitleFont.SetFontSize(100);
    EXPECT_EQ(third->TitleFont.PixelHeight(), 49);
    third->TitleFont.SetFontUnit(TGlobeUnits::Degree);
    EXPECT_EQ(third->TitleFont.PixelHeight(), 32767);
    l->MaxFontHeight = 20;
    EXPECT_EQ(third->TitleFont.PixelHeight(), 20);

    // A presenter's Assign takes the title font but not the offset.
    auto* copy = new TPointPresenter(l, "copy", 40);
    third->TitleOffset = 9;
    third->SetPointSize(11);
    copy->Assign(*third);
    EXPECT_EQ(copy->Name, "PointPresenter3");
    EXPECT_EQ(copy->PointSize, 11);
    EXPECT_EQ(copy->TitleOffset, 0);
    EXPECT_TRUE(copy->TitleFont.SameAs(third->TitleFont));

    // Deleting a presenter leaves its objects without one.
    auto* o = Chain(l, {{0, 0}, {1, 1}}, third);
    EXPECT_EQ(o->FeatureID, 3);
    third->Delete();
    EXPECT_EQ(o->Presenter, nullptr);
    EXPECT_EQ(l->Presenters.size(), 3u);
}

TEST(GlobePresenters, PointSymbolsAndTitlesAreDrawnWhereExpected) {
    TRecordingCanvas c;
    TGlobeContext g(400, 400);
    g.Canvas = &c;
    g.SetProjection(TGlobeProjection::gpCartesian);
    TGlobeLayer* l = g.AddNewLayer("l");
    auto* p = new TPointPresenter(l, "p", 1);
    p->SetPointSize(6);
    p->SetMaxPointSize(4);
    p->TitleAlignment = TTitleAlignment::taBottomRight;
    p->TitleOffset = 5;
    p->TitleFont.SetFontSize(12);
    auto* o = new TSinglePointObject(l);
    o->Put(0, Deg(10, 10));
    o->Title = "Spot";
    o->SetPresenter(p);
    g.RenderLayers();
    ASSERT_TRUE(g.Model->ProjectPoint(Deg(10, 10), 0));
    const TPoint at = g.SP(0);
    ASSERT_EQ(c.Count("ellipse"), 1);
    const auto& e = c.Calls[0];
    EXPECT_EQ(e.Pts[1].X - e.Pts[0].X, 4);
    EXPECT_EQ(e.Pts[0], (TPoint{at.X - 2, at.Y - 2}));
    ASSERT_EQ(c.Count("title"), 1);
    const auto& t = c.Calls[1];
    EXPECT_EQ(t.Text, "Spot");
    EXPECT_EQ(t.Pts[0], (TPoint{at.X + 5, at.Y + 5}));
    EXPECT_EQ(t.Pts[1], (TPoint{static_cast<int32_t>(THAlign::Left), static_cast<int32_t>(TVAlign::Top)}));
    // Below the smallest text height nothing is titled.
    c.Calls.clear();
    p->TitleFont.SetFontSize(4);
    g.RenderLayers();
    EXPECT_EQ(c.Count("title"), 0);
    // A chain without presenter: a 6-pixel circle for one point.
    c.Calls.clear();
    o->SetHidden(true);
    auto* lone = new TGeoDataObject(l);
    lone->AddPoint(Deg(-20, 5));
    g.RenderLayers();
    EXPECT_EQ(c.Count("ellipse"), 1);
}

TEST(GlobeHitTests, PolygonsPolylinesAndTheirExtents) {
    TGlobeContext g(800, 400);
    g.SetProjection(TGlobeProjection::gpCartesian);
    g.SetScaleFactor(1e-5L);  // a pixel is 100,000 GU
    TGlobeLayer* l = g.AddNewLayer("l");
    auto* area = new TPolygonPresenter(l, "area", 1);
    auto* line = new TPolylinePresenter(l, "line", 2);
    Chain(l, {{15, 15}, {25, 15}, {25, 25}, {15, 25}}, area, "square");
    Chain(l, {{175, 0}, {-175, 0}, {-175, 10}, {175, 10}}, area, "dateline");
    std::vector<std::pair<double, double>> ring;
    for (int lon = -180; lon < 180; lon += 10)
        ring.emplace_back(lon, -70 + (lon % 20 == 0 ? 1 : -1));
    auto* polar = new TGeoDataObject(l);
    for (auto [lo, la] : ring)
        polar->AddPoint(Deg(lo, la));
    polar->Title = "polar";
    polar->SetPresenter(area);
    Chain(l, {{40, 40}, {50, 50}}, line, "river");
    Chain(l, {{170, -30}, {-170, -30}}, line, "ferry");
    struct { double lon, lat; const char* expect; } cases[] = {
        {20, 20, "square"},  {14.99, 20, "-"},      {25.01, 20, "-"},     {20, 25.01, "-"},  {20, 14.99, "-"},
        {179, 5, "dateline"}, {-179, 5, "dateline"}, {-176, 9, "dateline"}, {170, 5, "-"},  {-170, 5, "-"},
        {33, -75, "polar"},   {-147, -89.9, "polar"}, {33, -60, "-"},
        {45, 45, "river"},    {45, 45.005, "river"}, {45, 45.05, "-"},     {180, -30, "ferry"}, {-175, -30.001, "ferry"},
        {0, -30, "-"},
    };
    for (const auto& c : cases) {
        const GlobePoint p = Deg(c.lon, c.lat);
        TGlobeObject* o = g.ObjectAtLL(p.X, p.Y);
        EXPECT_EQ(o ? o->Title : std::string("-"), c.expect) << c.lon << "," << c.lat;
    }
    auto* ferry = l->Objects.back();
    EXPECT_TRUE(ferry->State & gsCrosses180);
    EXPECT_EQ(WrapLongitude(static_cast<int64_t>(ferry->Extent.Left) + ferry->Extent.Width), Deg(-170, 0).X + 1);
    EXPECT_EQ(ferry->Centre(), Deg(-180, -30));  // on its own side of the globe
    EXPECT_TRUE(polar->State & gsCrossesOdd);

    // A one-point chain gets a three-pixel box whatever its last extent was.
    auto* one = Chain(l, {{0, 0}, {60, 60}});
    one->EnsureExtent();
    one->DeletePoint(1);
    one->EnsureExtent();
    EXPECT_EQ(one->Extent.Width, 2 * (Rnd(3 / g.ScaleFactor()) / 2));
    EXPECT_EQ(ErrorOf([&] { one->Get(-1); }), "PointList.Get: Bad Index -1");
    EXPECT_EQ(ErrorOf([&] { one->DeletePoint(5); }), "PointList.Delete: Bad Index 5");
    EXPECT_EQ(ErrorOf([&] { one->SetCount(-1); }), "PointList.SetCount: Bad Count -1");
    EXPECT_EQ(ErrorOf([&] { one->SetIndex(99); }), "TGlobeObject.SetIndex: Bad position");
    EXPECT_EQ(ErrorOf([&] { l->SetIndex(3); }), "TGlobeLayer.SetIndex: Bad position");
    EXPECT_EQ(ErrorOf([&] { g.GetLayer(1); }), "TGlobeView.GetLayer: Bad layer index 1");
    EXPECT_EQ(ErrorOf([&] { g.RegisterGlobeClass("TGlobePen", {}); }),
              "TGlobeView.RegisterGlobeClass: Class TGlobePen already registered");
}

TEST(GlobeLayers, ClicksCycleZoomRangesAndRenderProgress) {
    TGlobeContext g(400, 400);
    g.SetProjection(TGlobeProjection::gpCartesian);
    g.SetScaleFactor(0);
    g.LocateToLL(0, 0);
    TGlobeLayer* l = g.AddNewLayer("l");
    for (int i = 0; i < 3; ++i)
        Chain(l, {{-10.0 - i, -10}, {10, -10}, {10, 10}, {-10, 10}}, new TPolygonPresenter(l), std::to_string(i));
    g.RenderLayers();
    std::string clicks;
    for (int i = 0; i < 4; ++i) {
        g.SetSelectedObject(g.ObjectAtXY(200, 200));
        clicks += g.SelectedObject() ? g.SelectedObject()->Title : "-";
    }
    EXPECT_EQ(clicks, "2102");
    EXPECT_EQ(g.Selection.size(), 1u);
    l->Clear();
    EXPECT_TRUE(g.Selection.empty());

    // ZoomMin 100 nautical miles: hidden at exactly 9,000,000 GU, shown above.
    Chain(l, {{0, 0}, {1, 1}});
    l->SetZoomMin(100);
    g.Altitude = 9000000;
    EXPECT_FALSE(l->IsVisible());
    g.Altitude = 9000001;
    EXPECT_TRUE(l->IsVisible());
    l->SetZoomMin(0);

    // Objects render in list order; with a time slice the window gets a copy
    // at every 255th object once the slice has passed.
    for (int i = 0; i < 1000; ++i)
        Chain(l, {{i * 0.1, 0}, {i * 0.1 + 0.05, 1}});
    l->Objects[5]->SetHidden(true);
    int64_t clock = 0;
    g.NowMs = [&] { return clock; };
    g.PeriodicUpdateTime = 10;
    std::vector<TGlobeObject*> order;
    g.OnRenderObject = [&](TGlobeObject* o, bool& done) {
        order.push_back(o);
        ++clock;  // each object takes a millisecond
        done = true;
    };
    g.ViewChangedMark = true;
    g.RenderLayers();
    ASSERT_EQ(order.size(), 1000u);
    EXPECT_EQ(order[0], l->Objects[0]);
    EXPECT_EQ(order[5], l->Objects[6]);
    EXPECT_EQ(order.back(), l->Objects.back());
    EXPECT_EQ(g.CopyCount, 3);  // at objects 255, 510 and 765
}
