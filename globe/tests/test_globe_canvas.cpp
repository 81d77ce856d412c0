// The drawing surface: clipping, strides, symbols, titles, the BMP texture
// and the texture filler, in real pixels.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QTemporaryDir>

#include <fstream>

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
