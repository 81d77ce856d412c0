// The globe control offscreen: dragging, rubber band, scroll bars,
// projection switch, clicks and selection, rebuilds, profile and printing.
#include <gtest/gtest.h>

#include <QFile>
#include <QMouseEvent>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include "globe/GlobeView.h"
#include "globe/core/GlobeIni.h"
#include "globe/tests/GlobeDrawTestSupport.h"

namespace {

struct ViewFixture : ::testing::Test {
    std::unique_ptr<TGlobeView> V;
    void SetUp() override {
        EnsureTestApp();
        V = std::make_unique<TGlobeView>();
        V->SetScrollBars(TScrollStyle::ssNone);
        V->resize(400, 300);
        V->show();
        QApplication::processEvents();
    }
    void Mouse(QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held,
               Qt::KeyboardModifiers m = Qt::NoModifier) {
        QMouseEvent e(t, QPointF(p), V->viewport()->mapToGlobal(QPointF(p)), b, held, m);
        QApplication::sendEvent(V->viewport(), &e);
    }
    void Drag(Qt::MouseButton b, QPoint from, QPoint to, Qt::KeyboardModifiers m = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, from, b, b, m);
        const QPoint mid = (from + to) / 2;
        Mouse(QEvent::MouseMove, mid, Qt::NoButton, b, m);
        Mouse(QEvent::MouseMove, to, Qt::NoButton, b, m);
        Mouse(QEvent::MouseButtonRelease, to, b, Qt::NoButton, m);
    }
    void Click(QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, m);
        Mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, m);
    }
    TPoint Px(const GlobePoint& p) {
        V->Model->ProjectPoint(p, 0);
        return V->SP(0);
    }
};

TEST_F(ViewFixture, DragRotatesWithTheGrabbedPointUnderTheCursor) {
    for (TGlobeProjection p : {TGlobeProjection::gpSpherical, TGlobeProjection::gpCartesian, TGlobeProjection::gpMercator}) {
        V->SetProjection(p);
        const QPoint from(220, 170), to(250, 130);
        GlobePoint grabbed;
        ASSERT_TRUE(V->XYToLL(from.x(), from.y(), grabbed));
        int clicks = 0;
        V->OnClick = [&] { ++clicks; };
        Drag(Qt::LeftButton, from, to);
        const TPoint now = Px(grabbed);
        EXPECT_LE(std::abs(now.X - to.x()), 1) << static_cast<int>(p);
        EXPECT_LE(std::abs(now.Y - to.y()), 1) << static_cast<int>(p);
        EXPECT_EQ(clicks, 0) << "a drag is no click";
    }
}

TEST_F(ViewFixture, RubberBandZoomsBothWaysButNotWhenSmallOrCancelled) {
    const extended s0 = V->ScaleFactor();
    Drag(Qt::RightButton, {100, 100}, {108, 180});  // 8 wide
    Drag(Qt::RightButton, {100, 100}, {180, 109});  // 9 tall
    EXPECT_EQ(V->ScaleFactor(), s0);
    // A second button gives the band up.
    Mouse(QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, {200, 200}, Qt::NoButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonPress, {200, 200}, Qt::LeftButton, Qt::RightButton | Qt::LeftButton);
    EXPECT_FALSE(V->ZoomDragging());
    Mouse(QEvent::MouseButtonRelease, {200, 200}, Qt::RightButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {200, 200}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(V->ScaleFactor(), s0);
    // Down-right and up-left give the same zoom onto the band's centre.
    GlobePoint centre;
    ASSERT_TRUE(V->XYToLL(200, 150, centre));
    TGlobeViewRec start;
    V->GetViewRec(start);
    Drag(Qt::RightButton, {150, 110}, {250, 190});
    TGlobeViewRec a;
    V->GetViewRec(a);
    EXPECT_NEAR(static_cast<double>(a.ScaleFactor / s0), 3.75, 0.01);
    const TPoint c = Px(centre);
    EXPECT_LE(std::abs(c.X - 200), 1);
    EXPECT_LE(std::abs(c.Y - 150), 1);
    V->SetViewRec(start);
    Drag(Qt::RightButton, {250, 190}, {150, 110});
    TGlobeViewRec b;
    V->GetViewRec(b);
    EXPECT_EQ(b.ScaleFactor, a.ScaleFactor);
    EXPECT_EQ(b.XOrigin, a.XOrigin);
    EXPECT_EQ(b.YOrigin, a.YOrigin);
}

TEST_F(ViewFixture, ScrollStepsPanByATwentiethAndAHalfOfThePage) {
    V->SetScrollBars(TScrollStyle::ssBoth);
    QApplication::processEvents();
    struct Case {
        QScrollBar* Bar;
        QAbstractSlider::SliderAction Action;
        int Divisor, Sign;
    };
    const Case cases[] = {
        {V->horizontalScrollBar(), QAbstractSlider::SliderSingleStepAdd, 20, 1},
        {V->horizontalScrollBar(), QAbstractSlider::SliderPageStepSub, 2, -1},
        {V->verticalScrollBar(), QAbstractSlider::SliderSingleStepSub, 20, -1},
        {V->verticalScrollBar(), QAbstractSlider::SliderPageStepAdd, 2, 1},
    };
    for (const Case& k : cases) {
        const bool h = k.Bar == V->horizontalScrollBar();
        const int32_t page = h ? V->ViewRect.Width : V->ViewRect.Height;
        const QPoint o0 = V->GetOrigin();
        const int v0 = k.Bar->value();
        k.Bar->triggerAction(k.Action);
        const QPoint o1 = V->GetOrigin();
        const int32_t moved = h ? o0.x() - o1.x() : o0.y() - o1.y();
        EXPECT_EQ(moved, Rnd(static_cast<extended>(k.Sign * (page / k.Divisor)) * V->ScaleFactor()));
        EXPECT_NEAR(k.Bar->value() - v0, k.Sign * (page / k.Divisor), page / 200.0 + 2);
    }
}

TEST_F(ViewFixture, RotationPropertiesReadAndWriteInTheirUnits) {
    V->SetRotationIn(TGlobeView::riX | TGlobeView::riDegrees, 100);  // the globe stops at the pole
    EXPECT_EQ(V->Rotation(TGlobeView::riX), GU_90);
    V->SetRotationIn(TGlobeView::riY | TGlobeView::riMinutes, -90);
    EXPECT_EQ(V->Rotation(TGlobeView::riY | TGlobeView::riDegrees), -1);
    EXPECT_EQ(V->Rotation(TGlobeView::riY | TGlobeView::riSeconds), -5400);
    const int redraws = V->RedrawCount;
    V->SetRotationIn(TGlobeView::riY | TGlobeView::riMinutes, -90);  // unchanged: no redraw
    EXPECT_EQ(V->RedrawCount, redraws);
}

TEST_F(ViewFixture, ProjectionSwitchKeepsTheCentreAndTheSize) {
    V->LocateToLL(40 * GU_DEGREE, 30 * GU_DEGREE);
    V->SetScaleFactor(V->ScaleFactor() * 2);
    for (TGlobeProjection p : {TGlobeProjection::gpMercator, TGlobeProjection::gpCartesian, TGlobeProjection::gpSpherical}) {
        GlobePoint before;
        ASSERT_TRUE(V->XYToLL(200, 150, before));
        const GlobeExtent size = V->ViewRect;
        V->SetProjection(p);
        const TPoint c = Px(before);
        EXPECT_LE(std::abs(c.X - 200), 1) << static_cast<int>(p);
        EXPECT_LE(std::abs(c.Y - 150), 1) << static_cast<int>(p);
        EXPECT_NEAR(V->ViewRect.Width, size.Width, size.Width / 100.0) << static_cast<int>(p);
    }
}

struct SquaresFixture : ViewFixture {
    TGeoDataObject *A = nullptr, *B = nullptr;
    void SetUp() override {
        ViewFixture::SetUp();
        V->SetProjection(TGlobeProjection::gpCartesian);
        V->SetScaleFactor(0);
        TGlobeLayer* l = V->AddNewLayer("squares");
        auto* p = new TPolygonPresenter(l, "p", 1);
        A = AddChain(l, p, {{0, 0}, {20, 0}, {20, 20}, {0, 20}}, "A");
        B = AddChain(l, p, {{-60, -40}, {-30, -40}, {-30, -10}, {-60, -10}}, "B");
        V->viewport()->repaint();  // objects are found where they were drawn
    }
};

TEST_F(SquaresFixture, ClickReportsThePlaceAndTheObjectAndCtrlClickToggles) {
    std::vector<std::pair<GlobePoint, TGlobeObject*>> seen;
    V->OnClick = [&] {
        GlobePoint p;
        V->XYToLL(V->LastMousePos.x(), V->LastMousePos.y(), p);
        seen.push_back({p, V->SelectedObject()});
    };
    const TPoint a = Px(Deg(10, 10)), b = Px(Deg(-45, -25));
    Click({a.X, a.Y});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].second, A);
    EXPECT_NEAR(seen[0].first.X / double(GU_DEGREE), 10, 0.5);
    EXPECT_NEAR(seen[0].first.Y / double(GU_DEGREE), 10, 0.5);
    Click({b.X, b.Y});
    EXPECT_EQ(seen.back().second, B);
    EXPECT_FALSE(A->Selected());
    // With MultiSelect, Ctrl-click toggles one object and keeps the others.
    V->MultiSelect = true;
    Click({a.X, a.Y}, Qt::ControlModifier);
    EXPECT_TRUE(A->Selected());
    EXPECT_TRUE(B->Selected());
    Click({a.X, a.Y}, Qt::ControlModifier);
    EXPECT_FALSE(A->Selected());
    EXPECT_TRUE(B->Selected());
    // Off the map nothing is taken for a place.
    V->SetScaleFactor(V->ScaleFactor() / 2);
    Click({2, 2});
    GlobePoint off;
    EXPECT_FALSE(V->XYToLL(2, 2, off));
    EXPECT_EQ(V->SelectedObject(), nullptr);
}

TEST_F(SquaresFixture, RepeatedClicksTakeOverlappingObjectsInTurn) {
    TGeoDataObject* c = AddChain(A->Layer, A->Presenter, {{5, 5}, {25, 5}, {25, 25}, {5, 25}}, "C");
    V->viewport()->repaint();
    const TPoint p = Px(Deg(10, 10));
    std::vector<TGlobeObject*> picked;
    for (int i = 0; i < 4; ++i) {
        Click({p.X, p.Y});
        picked.push_back(V->SelectedObject());
    }
    EXPECT_EQ(picked, (std::vector<TGlobeObject*>{c, A, c, A}));
}

TEST_F(SquaresFixture, OnRenderRunsOncePerRebuildNotPerRepaint) {
    int renders = 0;
    V->OnRender = [&] { ++renders; };
    V->viewport()->repaint();
    const int after = renders;
    EXPECT_LE(after, 1);
    V->viewport()->repaint();
    V->viewport()->repaint();
    EXPECT_EQ(renders, after);
    V->RedrawLayers();
    V->viewport()->repaint();
    V->viewport()->repaint();
    EXPECT_EQ(renders, after + 1);
    // The picture shows the layer.
    const TPoint a = Px(Deg(10, 10));
    EXPECT_EQ(At(V->GlobeCanvas.Image, a.X, a.Y), Rgb(255, 255, 255));
    EXPECT_NE(At(V->GlobeCanvas.Image, a.X, a.Y), At(V->GlobeCanvas.Image, 2, 2));
}

TEST_F(ViewFixture, LongLayersShowProgressWhileTheyAreRebuilt) {
    TGlobeLayer* l = V->AddNewLayer("many");
    auto* p = new TPolylinePresenter(l, "p", 1);
    for (int i = 0; i < 600; ++i)
        AddChain(l, p, {{-10.0 + i * 0.01, 0}, {-9.0 + i * 0.01, 1}});
    int64_t clock = 0;
    V->NowMs = [&] { return clock += 50; };  // every look at the clock is 50 ms later
    int renders = 0;
    V->OnRender = [&] { ++renders; };
    V->viewport()->repaint();
    V->PeriodicUpdateTime = 20;
    const int copies = V->CopyCount;
    V->RedrawLayers();
    QApplication::processEvents();  // the rebuild runs outside the paint
    EXPECT_GE(V->CopyCount - copies, 2);
    EXPECT_EQ(renders, 2);
    EXPECT_FALSE(V->ViewChangedMark);
}

TEST_F(ViewFixture, AThrowingHandlerDoesNotEscapeTheEventLoop) {
    V->OnClick = [] { throw EGlobeException("click"); };
    V->OnRender = [] { throw std::runtime_error("render"); };
    V->OnPaint = [] { throw std::runtime_error("paint"); };
    V->RedrawLayers();
    EXPECT_NO_THROW(V->viewport()->repaint());
    EXPECT_NO_THROW(Click({200, 150}));
    EXPECT_FALSE(V->GlobeCanvas.Active());
    EXPECT_FALSE(V->ViewChangedMark);
}

TEST(GlobeViewAlone, TransparentBackgroundShowsTheParentAroundTheGlobe) {
    EnsureTestApp();
    QWidget parent;
    parent.resize(300, 300);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(10, 200, 30));
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    auto* v = new TGlobeView(&parent);
    v->SetScrollBars(TScrollStyle::ssNone);
    v->setGeometry(20, 20, 200, 200);
    v->SetTransparentBackground(true);
    parent.show();
    QApplication::processEvents();
    v->viewport()->repaint();
    EXPECT_EQ(At(v->GlobeCanvas.Image, 1, 1), Rgb(10, 200, 30));
    EXPECT_EQ(At(v->GlobeCanvas.Image, v->Model->XOrigin + 7, v->Model->YOrigin + 7), Rgb(0, 255, 255));
}

TEST_F(ViewFixture, ProfileRoundTripsWithRelativeLayerPaths) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("maps");
    QDir(dir.path()).mkpath("prof");
    const std::string lyr = (dir.path() + "/maps/Coast.lyr").toStdString();
    {
        TGlobeContext g;
        TGlobeLayer* l = g.AddNewLayer("c");
        AddChain(l, new TPolylinePresenter(l, "", 0), {{0, 0}, {10, 10}});
        l->SaveToFile(lyr);
    }
    TGlobeLayer* l = V->AddNewLayer("");
    l->SetFilename(lyr);
    l->SetZoomMin(100);
    l->SetVisible(false);
    V->DataDirectory = (dir.path() + "/maps/").toStdString();
    const std::string prof = (dir.path() + "/prof/globe.ini").toStdString();
    V->SaveProfile(prof);
    const TIniFile ini(prof);
    EXPECT_EQ(ini.ReadString("LayerList", "0", ""), "../maps/Coast.lyr");

    TGlobeView w;
    w.SetProfileName(prof);
    EXPECT_EQ(w.ProfileName(), prof);
    ASSERT_EQ(w.LayerCount(), 1);
    TGlobeLayer* r = w.GetLayer(0);
    EXPECT_EQ(r->Filename, "Coast.lyr");
    EXPECT_EQ(r->ZoomMin, 100);
    EXPECT_FALSE(r->Visible);
    EXPECT_EQ(r->ObjectCount(), 1);
    EXPECT_EQ(w.DataDirectory, V->DataDirectory);
}

TEST_F(SquaresFixture, PrintToPdfHasTheLayers) {
    QTemporaryDir dir;
    auto print = [&](bool layers) {
        for (int i = 0; i < V->LayerCount(); ++i)
            V->GetLayer(i)->SetVisible(layers);
        const QString path = dir.filePath(layers ? "with.pdf" : "without.pdf");
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        V->Print(printer);

        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    const QByteArray without = print(false), with = print(true);
    EXPECT_TRUE(with.startsWith("%PDF"));
    EXPECT_GT(with.size(), without.size());
    // The screen picture is back to the window's size.
    EXPECT_EQ(V->CanvasWidth, V->viewport()->width());
}

}  // namespace

// On a screen of two device pixels to the pixel the picture is made at the
// device's pixels, shown one to one, and the mouse lands where it points.
// The ratio is set for the whole process, so the test runs itself again with it.
TEST(GlobeViewHiDpi, PictureHasTheDevicePixelsOfASharpScreen) {
    if (!qEnvironmentVariableIsSet("HX_GLOBE_RATIO_CHILD")) {
        EnsureTestApp();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HX_GLOBE_RATIO_CHILD", "1");
        env.insert("QT_SCALE_FACTOR", "2");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=GlobeViewHiDpi.PictureHasTheDevicePixelsOfASharpScreen"});
        ASSERT_TRUE(child.waitForFinished(240000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
        return;
    }
    EnsureTestApp();
    TGlobeView v;
    v.SetScrollBars(TScrollStyle::ssNone);
    v.resize(200, 150);
    v.show();
    QApplication::processEvents();
    ASSERT_EQ(v.viewport()->devicePixelRatioF(), 2.0);
    EXPECT_EQ(v.PixelRatio(), 2.0);
    v.RebuildIfNeeded();
    const QImage& img = v.GlobeCanvas.Image;
    ASSERT_EQ(img.size(), 2 * v.viewport()->size());
    EXPECT_EQ(v.CanvasWidth, img.width());
    // The grid's lines are one device pixel thin somewhere: across a line
    // its neighbours on both sides are not the grid's colour.
    const QRgb grid = 0xC0C0C0;
    int thin = 0;
    for (int y = 1; y + 1 < img.height(); ++y)
        for (int x = 1; x + 1 < img.width(); ++x)
            if (At(img, x, y) == grid && ((At(img, x - 1, y) != grid && At(img, x + 1, y) != grid) ||
                                          (At(img, x, y - 1) != grid && At(img, x, y + 1) != grid)))
                ++thin;
    EXPECT_GT(thin, 100);
    // The window shows those pixels as they are.
    const QImage shown = v.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(shown.size(), img.size());
    int differ = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            differ += At(shown, x, y) != At(img, x, y);
    EXPECT_EQ(differ, 0);
    // A drag moves the grabbed place to the device pixel under the cursor.
    const QPoint from(110, 85), to(125, 65);
    GlobePoint grabbed;
    ASSERT_TRUE(v.XYToLL(2 * from.x(), 2 * from.y(), grabbed));
    auto mouse = [&](QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held) {
        QMouseEvent e(t, QPointF(p), v.viewport()->mapToGlobal(QPointF(p)), b, held, Qt::NoModifier);
        QApplication::sendEvent(v.viewport(), &e);
    };
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    v.Model->ProjectPoint(grabbed, 0);
    EXPECT_LE(std::abs(v.SP(0).X - 2 * to.x()), 2);
    EXPECT_LE(std::abs(v.SP(0).Y - 2 * to.y()), 2);
}
