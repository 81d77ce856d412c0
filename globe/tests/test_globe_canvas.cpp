// The drawing surface: clipping, strides, symbols, titles, the BMP texture
// and the texture filler, in real pixels.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <tuple>

#include "globe/GlobeTool.h"
#include "globe/tests/GlobeDrawTestSupport.h"

namespace {

struct CanvasFixture : ::testing::Test {
    void SetUp() override { EnsureTestApp(); }
};

TEST_F(CanvasFixture, RowsAreFourByteAligned) {
    TGlobeContext g;
    TGlobeCanvas c(&g);
    for (auto [w, stride] : {std::pair{100, 300}, {101, 304}, {1, 4}}) {
        ASSERT_TRUE(c.Resize(w, 10, 96));
        EXPECT_EQ(TGlobeCanvas::StrideFor(w), stride);
        EXPECT_EQ(c.Image.bytesPerLine(), stride);
        EXPECT_EQ(c.Image.format(), QImage::Format_RGB888);
    }
    EXPECT_FALSE(c.Resize(0, 10, 96));
    EXPECT_EQ(c.Width(), 1);
}

TEST_F(CanvasFixture, ClippingKeepsInsideChainsAndCutsAtTheBorder) {
    TGlobeContext g;
    TGlobeCanvas c(&g);
    c.Resize(100, 50, 96);
    struct Case {
        const char* Name;
        std::vector<TPoint> In;
        bool Closed;
        std::vector<TPoint> Out;
    };
    const std::vector<Case> cases = {
        {"open inside", {{1, 1}, {50, 20}, {99, 49}}, false, {{1, 1}, {50, 20}, {99, 49}, {99, 49}}},
        {"closed inside", {{1, 1}, {50, 20}, {10, 40}}, true, {{1, 1}, {50, 20}, {10, 40}, {1, 1}}},
        {"leaves right and comes back", {{90, 10}, {110, 10}, {90, 30}}, false, {{90, 10}, {100, 10}, {100, 20}, {90, 30}, {90, 30}}},
        {"crosses top", {{10, 10}, {10, -10}}, false, {{10, 10}, {10, -1}}},
        {"all outside", {{-50, -50}, {-60, -70}}, false, {}},
    };
    for (const Case& k : cases) {
        std::vector<TPoint> pts = k.In;
        const int n = c.ClipPoints(pts, static_cast<int>(k.In.size()), k.Closed);
        EXPECT_EQ(std::vector<TPoint>(pts.begin(), pts.begin() + n), k.Out) << k.Name;
    }
    // Far-away points neither overflow nor leave the clip rectangle.
    std::vector<TPoint> far = {{-2000000000, -2000000000}, {2000000000, 2000000000}, {2000000000, -2000000000}};
    const int n = c.ClipPoints(far, 3, true);
    ASSERT_GT(n, 2);
    for (int i = 0; i < n; ++i) {
        EXPECT_GE(far[i].X, -1);
        EXPECT_LE(far[i].X, 100);
        EXPECT_GE(far[i].Y, -1);
        EXPECT_LE(far[i].Y, 50);
    }
}

// Column widths and rows of ink of one colour.
struct Ink {
    int MinX = INT32_MAX, MaxX = INT32_MIN, MinY = INT32_MAX, MaxY = INT32_MIN, Count = 0;
};
Ink InkOf(const QImage& img, QRgb bg) {
    Ink k;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (At(img, x, y) != bg) {
                k.MinX = std::min(k.MinX, x);
                k.MaxX = std::max(k.MaxX, x);
                k.MinY = std::min(k.MinY, y);
                k.MaxY = std::max(k.MaxY, y);
                ++k.Count;
            }
    return k;
}

struct PointScene {
    TGlobeDrawContext G{100, 100};
    TGlobeLayer* L;
    TPointPresenter* P;
    TGeoDataObject* O;
    PointScene() {
        G.SetProjection(TGlobeProjection::gpCartesian);
        G.SetScaleFactor(0);  // (0, 0) at the centre
        G.GlobeColor = G.Color = 0xFFFFFF;
        G.DrawGrid = TDrawGrid::dgNone;
        L = G.AddNewLayer("points");
        P = new TPointPresenter(L, "p", 1);
        P->PointPen.SetPen(0x000000, TPenStyle::psClear, 1);
        P->PointBrush.SetBrush(0x0000FF, TBrushStyle::bsSolid);
        O = AddChain(L, P, {{0, 0}});
    }
    QImage Draw() {
        G.RedrawLayers();
        G.ObjectsChangedMark = true;
        G.RenderAll();
        return G.GlobeCanvas.Image.copy();
    }
};

TEST_F(CanvasFixture, PointSymbolsHaveTheirSizesOrientationsAndSelectedColours) {
    struct Case {
        TPointPresenterType Type;
        int Size, Max;
        int Width, Height;
    };
    const Case cases[] = {
        {TPointPresenterType::ppCircle, 6, 4, 4, 4},  {TPointPresenterType::ppCircle, 6, 0, 6, 6},
        {TPointPresenterType::ppSquare, 10, 0, 10, 10}, {TPointPresenterType::ppDot, 10, 0, 1, 1},
    };
    for (const Case& k : cases) {
        PointScene s;
        s.P->PointType = k.Type;
        s.P->SetPointSize(k.Size);
        s.P->SetMaxPointSize(k.Max);
        if (k.Type == TPointPresenterType::ppDot)
            s.P->PointPen.SetPen(0x0000FF, TPenStyle::psSolid, 1);
        const Ink ink = InkOf(s.Draw(), 0xFFFFFF);
        EXPECT_EQ(ink.MaxX - ink.MinX + 1, k.Width) << static_cast<int>(k.Type) << " size " << k.Size;
        EXPECT_EQ(ink.MaxY - ink.MinY + 1, k.Height) << static_cast<int>(k.Type) << " size " << k.Size;
    }
    // Triangles point where their names say: the apex row is the narrow one.
    struct Tri {
        TPointPresenterType Type;
        bool Vertical, NarrowFirst;
    };
    for (const Tri& t : {Tri{TPointPresenterType::ppTriangleUp, true, true}, Tri{TPointPresenterType::ppTriangleDown, true, false},
                         Tri{TPointPresenterType::ppTriangleLeft, false, true},
                         Tri{TPointPresenterType::ppTriangleRight, false, false}}) {
        PointScene s;
        s.P->PointType = t.Type;
        s.P->SetPointSize(20);
        const QImage img = s.Draw();
        const Ink ink = InkOf(img, 0xFFFFFF);
        auto span = [&](int i) {
            int n = 0;
            for (int j = 0; j < 100; ++j)
                n += At(img, t.Vertical ? j : i, t.Vertical ? i : j) != 0xFFFFFF;
            return n;
        };
        const int first = span(t.Vertical ? ink.MinY : ink.MinX), last = span(t.Vertical ? ink.MaxY : ink.MaxX);
        EXPECT_EQ(first < last, t.NarrowFirst) << static_cast<int>(t.Type);
    }
    // A selected object takes the selected brush (yellow).
    PointScene s;
    s.P->PointType = TPointPresenterType::ppSquare;
    s.P->SetPointSize(10);
    s.O->SetSelected(true);
    EXPECT_EQ(At(s.Draw(), 50, 50), Rgb(255, 255, 0));
    s.O->SetSelected(false);
    EXPECT_EQ(At(s.Draw(), 50, 50), Rgb(255, 0, 0));
}

TEST_F(CanvasFixture, ImageSymbolIsFoundInTheLayerFolderIgnoringCaseAndStretched) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Pics");
    QImage pic(4, 2, QImage::Format_RGB888);
    pic.fill(QColor(0, 128, 255));
    ASSERT_TRUE(pic.save(dir.filePath("Pics/Dot.png")));
    PointScene s;
    s.L->FilePath = dir.path().toStdString() + "/";
    s.P->PointType = TPointPresenterType::ppImage;
    s.P->SetPointSize(20);
    s.P->SetImageName("pics\\DOT.PNG");
    ASSERT_NE(s.P->Image, nullptr);
    const Ink ink = InkOf(s.Draw(), 0xFFFFFF);
    EXPECT_EQ(ink.MaxX - ink.MinX + 1, 20);
    EXPECT_EQ(ink.MaxY - ink.MinY + 1, 10);  // the picture's own shape
    s.P->SetImageName("missing.png");
    EXPECT_EQ(s.P->Image, nullptr);
    EXPECT_EQ(InkOf(s.Draw(), 0xFFFFFF).Count, 0);
}

TEST_F(CanvasFixture, FontSymbolIsCentredOnItsPointAtAnyAngle) {
    for (int angle : {0, 900, 1800, 450}) {
        PointScene s;
        s.P->PointType = TPointPresenterType::ppFontSymbol;
        s.P->SymbolIndex = 0x6E;  // "WingDings" black square
        s.P->PointFont.SetFontName("WingDings");
        s.P->PointFont.SetFontColor(0x000000);
        s.P->PointFont.SetFontAngle(angle);
        s.P->SetPointSize(24);
        const QImage img = s.Draw();
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                if (At(img, x, y) == 0) {
                    sx += x;
                    sy += y;
                    ++n;
                }
        ASSERT_GT(n, 20) << angle;
        EXPECT_NEAR(sx / n, 50, 4) << angle;
        EXPECT_NEAR(sy / n, 50, 4) << angle;
    }
}

TEST_F(CanvasFixture, BottomRightTitleStartsAtTheOffsetCorner) {
    PointScene s;
    s.P->PointType = TPointPresenterType::ppNone;
    s.P->TitleAlignment = TTitleAlignment::taBottomRight;
    s.P->TitleOffset = 5;
    s.P->TitleFont.SetFontSize(20);
    s.P->TitleFont.SetFontColor(0x000000);
    s.O->Title = "H";
    const QImage img = s.Draw();
    const Ink ink = InkOf(img, 0xFFFFFF);
    ASSERT_GT(ink.Count, 10);
    const QFontMetrics fm(ToQGlobeFont(s.P->TitleFont, 20));
    EXPECT_GE(ink.MinX, 55);
    EXPECT_LE(ink.MinX, 58);
    EXPECT_GE(ink.MinY, 55);
    EXPECT_LE(ink.MinY, 55 + fm.ascent() - fm.capHeight() + 1);
}

TEST_F(CanvasFixture, TitlesTurnWithTheirFontAndClearTheirOwnMarker) {
    // At 20 degrees the end of a title stands higher than its start.
    PointScene s;
    s.P->PointType = TPointPresenterType::ppNone;
    s.P->TitleAlignment = TTitleAlignment::taBottomRight;
    s.P->TitleFont.SetFontSize(14);
    s.P->TitleFont.SetFontColor(0x000000);
    s.P->TitleFont.SetFontAngle(200);
    s.O->Title = "MMM";
    const QImage img = s.Draw();
    const Ink ink = InkOf(img, 0xFFFFFF);
    ASSERT_GT(ink.Count, 20);
    const int mid = (ink.MinX + ink.MaxX) / 2;
    double left = 0, right = 0;
    int nl = 0, nr = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (At(img, x, y) != 0xFFFFFF)
                (x < mid ? left : right) += y, ++(x < mid ? nl : nr);
    ASSERT_GT(nl, 0);
    ASSERT_GT(nr, 0);
    EXPECT_GT(left / nl - right / nr, 4);

    // A title set off from a diamond of 10 pixels starts beyond the diamond.
    PointScene d;
    d.P->PointType = TPointPresenterType::ppDiamond;
    d.P->SetPointSize(10);
    d.P->TitleAlignment = TTitleAlignment::taBottomRight;
    d.P->TitleFont.SetFontSize(14);
    d.O->Title = "HH";
    TRecordingCanvas rec;
    d.G.Canvas = &rec;
    d.G.RenderLayersPass();
    d.G.Canvas = &d.G.GlobeCanvas;
    ASSERT_EQ(rec.Count("title"), 1);
    for (const auto& c : rec.Calls)
        if (c.Op == "title") {
            EXPECT_GT(c.Pts[0].X, 55);
            EXPECT_GT(c.Pts[0].Y, 55);
        }
}

TEST_F(CanvasFixture, KeptTitlesDrawThePixelsOfPlainText) {
    // Titles drawn on the picture itself are kept from one draw to the
    // next; a painter on another target draws them afresh each time. Both
    // must give the same pixels, partly off every edge, whatever the title,
    // alignment, font and angle drawn just before.
    TGlobeContext g;
    TGlobeCanvas kept(&g), plain(&g);
    ASSERT_TRUE(kept.Resize(90, 60, 96));
    QImage ref(90, 60, QImage::Format_RGB888);
    const TGlobeFont fonts[] = {{"", 0, TGlobeUnits::Pixel, 12, 0, 0},
                                {"", 0, TGlobeUnits::Pixel, 12, 200, 0},
                                {"", 0, TGlobeUnits::Pixel, 15, 0, fsBold | fsUnderline},
                                {"", 0, TGlobeUnits::Pixel, 11, -450, fsItalic | fsStrikeOut}};
    const std::string titles[] = {"Oslo", "Hà Nội Ürümqi", "W"};
    const TPoint at[] = {{2, 3}, {-6, 30}, {45, -4}, {88, 58}, {45, 30}, {60, 70}};
    int compared = 0, inked = 0;
    for (int a = 0; a < 9; ++a)
        for (const std::string& title : titles)
            for (const TPoint p : at)
                for (const TGlobeFont& f : fonts) {
                    const auto h = static_cast<THAlign>(a % 3);
                    const auto v = static_cast<TVAlign>(a / 3);
                    kept.Image.fill(Qt::white);
                    ref.fill(Qt::white);
                    kept.BeginOffscreen();
                    plain.BeginOffscreen(&ref);
                    for (TGlobeCanvas* c : {&kept, &plain}) {
                        c->SelectFont(f, f.FontSize, 0x804020);
                        c->DrawTitle(p.X, p.Y, title, h, v);
                    }
                    kept.EndOffscreen();
                    plain.EndOffscreen();
                    ASSERT_EQ(kept.Image, ref) << title << " at " << p.X << "," << p.Y << " alignment " << a
                                               << " size " << f.FontSize << " angle " << f.FontAngle;
                    ++compared;
                    inked += InkOf(kept.Image, 0xFFFFFF).Count > 0;
                }
    EXPECT_EQ(compared, 3 * 6 * 9 * 4);
    EXPECT_GT(inked, compared / 2);
    // At least the last alignment's titles in every font were kept (none
    // fell back to Qt).
    EXPECT_GE(kept.KeptTitles(), 3u * 4);
    EXPECT_EQ(plain.KeptTitles(), 0u);
}

TEST_F(CanvasFixture, DrawingPropertiesRedrawWhenChanged) {
    TGlobeDrawContext g(100, 100);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"DrawGrid", [&] { g.SetDrawGrid(TDrawGrid::dgInFront); }},
        {"TransparentGlobe", [&] { g.SetTransparentGlobe(true); }},
        {"MinTextHeight", [&] { g.SetMinTextHeight(9); }},
        {"Color", [&] { g.SetColor(0x123456); }},
        {"GlobeColor", [&] { g.SetGlobeColor(0x654321); }},
        {"Background", [&] { g.SetBackground(QImage(4, 4, QImage::Format_RGB888)); }},
        {"SelectedPen", [&] { g.SelectedPen->SetPenColor(0x00FF00); }},
        {"SelectedBrush", [&] { g.SelectedBrush->SetBrush(0x00FF00, TBrushStyle::bsClear); }},
        {"TransparentPen", [&] { g.TransparentPen->SetPenWidth(3); }},
        {"TransparentBrush", [&] { g.TransparentBrush->SetBrushColor(0x00FF00); }},
        {"GridPen", [&] { g.GridPen.SetPenStyle(TPenStyle::psDot); }},
    };
    for (const auto& [name, change] : changes) {
        g.ViewChangedMark = false;
        const int before = g.RedrawCount;
        change();
        EXPECT_GT(g.RedrawCount, before) << name;
        EXPECT_TRUE(g.ViewChangedMark) << name;
    }
    const int before = g.RedrawCount;
    g.SetMinTextHeight(9);  // unchanged
    EXPECT_EQ(g.RedrawCount, before);
}

TEST_F(CanvasFixture, AResizedCanvasKeepsTheFittedGlobeWholeGivesEachSizeItsScaleBackAndTakesTheBackdropAgain) {
    // 600 x 400 to 1366 x 700, as a maximised map window: the disk grows by
    // the height's ratio and stays inside.
    TGlobeDrawContext g(600, 400);
    g.SetScaleFactor(0);
    g.SetCanvasSize(1366, 700, 96);
    auto* m = dynamic_cast<TSphericalPrj*>(g.Model.get());
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(static_cast<double>(m->RadiusPixels), 350, 1);
    EXPECT_GE(m->XOrigin - m->RadiusPixels, -1);
    EXPECT_LE(m->XOrigin + m->RadiusPixels, 1367);
    EXPECT_GE(m->YOrigin - m->RadiusPixels, -1);
    EXPECT_LE(m->YOrigin + m->RadiusPixels, 701);
    EXPECT_EQ(m->XOrigin, 683);
    // Shrunk, all of it stays in view too.
    g.SetCanvasSize(600, 400, 96);
    EXPECT_LE(m->RadiusPixels, 200);
    EXPECT_EQ(m->XOrigin, 300);
    EXPECT_EQ(m->YOrigin, 200);

    // Maximised and restored, widened and narrowed, again and again: a fitted
    // globe stays whole at every size and every size gives its radius back.
    g.SetCanvasSize(800, 600, 96);
    g.SetScaleFactor(0);
    const extended first = m->RadiusPixels;
    auto whole = [&](const char* what, int i) {
        EXPECT_GE(m->XOrigin - m->RadiusPixels, -0.5L) << what << " " << i;
        EXPECT_LE(m->XOrigin + m->RadiusPixels, g.CanvasWidth + 0.5L) << what << " " << i;
        EXPECT_GE(m->YOrigin - m->RadiusPixels, -0.5L) << what << " " << i;
        EXPECT_LE(m->YOrigin + m->RadiusPixels, g.CanvasHeight + 0.5L) << what << " " << i;
    };
    for (const auto& [what, w, h] : {std::tuple{"maximised", 1366, 700}, std::tuple{"narrowed", 700, 600}}) {
        extended there = 0;
        for (int i = 0; i < 5; ++i) {
            g.SetCanvasSize(w, h, 96);
            whole(what, i);
            if (i == 0)
                there = m->RadiusPixels;
            EXPECT_EQ(m->RadiusPixels, there) << what << " " << i;
            g.SetCanvasSize(800, 600, 96);
            whole("back", i);
            EXPECT_EQ(m->RadiusPixels, first) << what << " " << i;
            EXPECT_EQ(m->XOrigin, 400);
            EXPECT_EQ(m->YOrigin, 300);
        }
    }
    // A zoom made at one size is the reference from then on, and Fit fits.
    g.SetCanvasSize(1366, 700, 96);
    g.SetScaleFactor(g.ScaleFactor() * 2);
    const extended zoomed = g.ScaleFactor();
    g.SetCanvasSize(800, 600, 96);
    EXPECT_NEAR(static_cast<double>(g.ScaleFactor() / zoomed), 600.0 / 700, 1e-12);
    g.SetCanvasSize(1366, 700, 96);
    EXPECT_EQ(g.ScaleFactor(), zoomed);
    g.SetScaleFactor(0);
    EXPECT_EQ(g.ScaleFactor(), g.FitScale(1366, 700));
    g.SetCanvasSize(800, 600, 96);
    EXPECT_EQ(m->RadiusPixels, first);

    // What lies behind a transparent control is taken again after a resize.
    g.TransparentBackground = true;
    g.Background = QImage(600, 400, QImage::Format_RGB888);
    g.SetCanvasSize(500, 300, 96);
    EXPECT_TRUE(g.Background.isNull());
}

TEST_F(CanvasFixture, AnimatedLayersComeBetweenTheRenderAndPaintEvents) {
    TGlobeDrawContext g(100, 100);
    std::string order;
    g.OnRender = [&] { order += "R"; };
    g.OnPaint = [&] { order += "P"; };
    TGlobeLayer* l = g.AddNewLayer("moving");
    l->SetAnimated(true);
    auto* pr = new TPointPresenter(l, "p", 1);
    AddChain(l, pr, {{0, 0}});
    g.OnRenderObject = [&](TGlobeObject*, bool&) { order += "A"; };
    g.GlobeCanvas.BeginOffscreen();
    g.RenderAnimatedLayers();
    g.GlobeCanvas.EndOffscreen();
    EXPECT_EQ(order, "RAP");
}

TEST_F(CanvasFixture, APointPresenterCopyTakesThePictureAndASizeThatCounts) {
    QTemporaryDir dir;
    QImage pic(4, 2, QImage::Format_RGB888);
    pic.fill(QColor(0, 128, 255));
    ASSERT_TRUE(pic.save(dir.filePath("dot.png")));
    PointScene s;
    s.L->FilePath = dir.path().toStdString() + "/";
    s.P->PointType = TPointPresenterType::ppImage;
    s.P->SetImageName("dot.png");
    s.P->SetPointSize(20);
    ASSERT_NE(s.P->Image, nullptr);
    auto* copy = new TPointPresenter(s.L, "copy", 2);
    s.O->SetPresenter(copy);
    s.O->EnsureExtent();
    const int redraws = s.G.RedrawCount;
    copy->Assign(*s.P);
    EXPECT_EQ(copy->ImageName, "dot.png");
    ASSERT_NE(copy->Image, nullptr);
    EXPECT_NE(copy->Image, s.P->Image);
    EXPECT_EQ(copy->Image->Width(), 4);
    // The size went through its setter: the object's extent is made again.
    EXPECT_FALSE(s.O->State & gsExtentValid);
    EXPECT_GT(s.G.RedrawCount, redraws);
    const Ink ink = InkOf(s.Draw(), 0xFFFFFF);
    EXPECT_EQ(ink.MaxX - ink.MinX + 1, 20);

    // Read back from a layer whose picture is gone, the name is dropped.
    const std::string data = s.L->SaveToString();
    ASSERT_TRUE(QFile::remove(dir.filePath("dot.png")));
    TGlobeDrawContext g2(100, 100);
    TGlobeLayer* l2 = g2.AddNewLayer("again");
    l2->FilePath = dir.path().toStdString() + "/";
    l2->LoadFromString(data);
    ASSERT_GE(l2->Presenters.size(), 1u);
    for (TGlobePresenter* p : l2->Presenters)
        if (auto* pp = dynamic_cast<TPointPresenter*>(p)) {
            EXPECT_EQ(pp->ImageName, "") << pp->Name;
            EXPECT_EQ(pp->Image, nullptr) << pp->Name;
        }
}

// A 4 x 2 palette texture: column c of row r holds index 1 + c + 4r.
std::string SmallBmp(const QTemporaryDir& dir, const std::string& name) {
    uint32_t rgb[256] = {};
    for (int i = 0; i < 256; ++i)
        rgb[i] = static_cast<uint32_t>((i * 20) << 16 | (i * 10) << 8 | 7);
    std::vector<uint8_t> idx = {5, 6, 7, 8, 1, 2, 3, 4};  // top row first
    const std::string p = dir.filePath(QString::fromStdString(name)).toStdString();
    EXPECT_TRUE(WriteBmp8(p, 4, 2, idx, rgb));
    return p;
}

std::string Patch(const std::string& src, const std::string& dst, std::initializer_list<std::pair<size_t, uint8_t>> bytes,
                  size_t truncate = 0) {
    std::ifstream in(src, std::ios::binary);
    std::string d((std::istreambuf_iterator<char>(in)), {});
    for (auto [off, v] : bytes)
        d[off] = static_cast<char>(v);
    if (truncate)
        d.resize(truncate);
    std::ofstream(dst, std::ios::binary) << d;
    return dst;
}

TEST_F(CanvasFixture, TextureLoadsOnlyWholeUncompressed256ColourBitmaps) {
    QTemporaryDir dir;
    const std::string good = SmallBmp(dir, "good.bmp");
    TTextureData t;
    ASSERT_TRUE(t.Load(good)) << t.Error;
    EXPECT_EQ(t.Texel(0, 0), 1);  // bottom row first
    EXPECT_EQ(t.Texel(3, 1), 8);
    EXPECT_EQ(t.Texel(-5, 9), 5);  // clamped
    EXPECT_EQ(t.PaletteColour(2), static_cast<TColor>(7 << 16 | 20 << 8 | 40));
    EXPECT_EQ(t.PaletteIndexOf(t.PaletteColour(3)), 3);

    auto p = [&](const char* n) { return dir.filePath(n).toStdString(); };
    const size_t size = 14 + 40 + 1024 + 8;
    // A sparse file just over the size limit: an 8-bit header, then nothing.
    const std::string huge = Patch(good, p("huge.bmp"), {});
    ASSERT_TRUE(QFile::resize(QString::fromStdString(huge), 256LL * 1024 * 1024 + 1));
    const std::string notTexture = "Globe texture must be a 256 color RGB encoded bitmap";
    const std::string cutShort = "The texture file is cut short";
    struct Case {
        const char* Name;
        std::string File;
        bool Loads;
        std::string Why;  // the reason a refused file gives
    };
    const Case cases[] = {
        {"24-bit", Patch(good, p("b24.bmp"), {{28, 24}}), false, notTexture},
        {"RLE", Patch(good, p("rle.bmp"), {{30, 1}}), false, notTexture},
        {"wrong magic", Patch(good, p("magic.bmp"), {{0, 'X'}}), false, notTexture},
        {"truncated", Patch(good, p("short.bmp"), {}, size - 1), false, cutShort},
        {"short palette", Patch(good, p("pal.bmp"), {}, 14 + 40 + 500), false, cutShort},
        {"header only", Patch(good, p("head.bmp"), {}, 30), false, cutShort},
        {"over 256 MB", huge, false, "The texture file is larger than 256 MB"},
        {"biSizeImage 0", Patch(good, p("size0.bmp"), {{34, 0}}), true, ""},
        {"two colours used", Patch(good, p("clr.bmp"), {{46, 2}, {47, 0}}), true, ""},
        {"top-down", Patch(good, p("topdown.bmp"), {{22, 0xFE}, {23, 0xFF}, {24, 0xFF}, {25, 0xFF}}), true, ""},
    };
    for (const Case& k : cases) {
        TTextureData x;
        EXPECT_EQ(x.Load(k.File), k.Loads) << k.Name;
        EXPECT_EQ(x.Loaded(), k.Loads) << k.Name;
        EXPECT_EQ(x.Error, k.Why) << k.Name;
    }
    QFile::remove(QString::fromStdString(huge));
    TTextureData flipped;
    ASSERT_TRUE(flipped.Load(p("topdown.bmp")));
    EXPECT_EQ(flipped.Texel(0, 0), 5);
    // A missing file leaves a loaded texture as it was.
    EXPECT_FALSE(t.Load(p("none.bmp")));
    EXPECT_TRUE(t.Loaded());
}

TEST_F(CanvasFixture, TextureTriangleWritesTexelsAndSkipsTransparentAndEdgeCrossing) {
    QTemporaryDir dir;
    TGlobeDrawContext g(360, 180);
    g.SetProjection(TGlobeProjection::gpCartesian);
    g.SetScaleFactor(0);  // one pixel per degree, (0, 0) at (180, 90)
    ASSERT_TRUE(g.SetTextureFilename(SmallBmp(dir, "t.bmp")));
    g.GlobeCanvas.BeginOffscreen();
    g.GlobeCanvas.P()->fillRect(0, 0, 360, 180, Qt::white);
    // The whole north-west quarter of the world: texture row 1, columns 0..1.
    g.Texture.TransparentIndex = 6;
    g.GlobeCanvas.TextureTriangle(Deg(-180, 90), Deg(0, 90), Deg(-180, 0));
    g.GlobeCanvas.EndOffscreen();
    const QImage& img = g.GlobeCanvas.Image;
    auto pal = [&](int i) { return static_cast<QRgb>(g.Texture.Rgb[i]); };
    EXPECT_EQ(At(img, 10, 10), pal(5));      // near (-170, 80): column 0 of the top row
    EXPECT_EQ(At(img, 100, 5), 0xFFFFFFu);   // column 1 holds the transparent index
    EXPECT_EQ(At(img, 10, 90), 0xFFFFFFu);   // the lowest vertex's row is not filled
    EXPECT_EQ(At(img, 150, 60), 0xFFFFFFu);  // outside the triangle
    // A bitmap object covers its own rectangle and leaves its transparent
    // index unpainted: 10 degrees a texel, north-west corner at (-20, 20).
    g.GlobeCanvas.BeginOffscreen();
    g.GlobeCanvas.P()->fillRect(0, 0, 360, 180, Qt::white);
    g.GlobeCanvas.EndOffscreen();
    TGlobeLayer* l = g.AddNewLayer("bitmaps");
    auto* b = new TBitmapObject(l);
    b->Point = Deg(-20, 20);
    b->SetPixelSize(0, 10 * GU_DEGREE);
    b->SetBMPFilename(SmallBmp(dir, "b.bmp"));
    b->TransparentIndex = 6;
    b->RecomputeExtent();
    g.GlobeCanvas.BeginOffscreen();
    b->RenderObject();
    g.GlobeCanvas.EndOffscreen();
    EXPECT_EQ(At(img, 180 - 15, 90 - 15), pal(5));
    EXPECT_EQ(At(img, 180 - 5, 90 - 15), 0xFFFFFFu);
    EXPECT_EQ(At(img, 180 + 15, 90 - 5), pal(4));
    EXPECT_EQ(At(img, 180 + 25, 90 - 5), 0xFFFFFFu);
    // Across the edge meridian nothing is drawn.
    g.Model->SetParameter(TPrjModel::pYRotation, 0);
    g.Model->CentralMeridian = 90 * GU_DEGREE;
    const QImage before = img.copy();
    g.GlobeCanvas.BeginOffscreen();
    g.GlobeCanvas.TextureTriangle(Deg(-100, 10), Deg(-80, 10), Deg(-90, 30));
    g.GlobeCanvas.EndOffscreen();
    EXPECT_EQ(g.GlobeCanvas.Image, before);
}

}  // namespace
