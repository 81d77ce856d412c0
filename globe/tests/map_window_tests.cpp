// "World Explorer" on a temporary data directory, offscreen: the layer menus,
// the read-outs and clicks, units, zoom, plots and freeing.
#include <gtest/gtest.h>

#include <optional>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <tuple>

#include "clockapp/state/tests/FakeServices.h"
#include "clockapp/tests/TestApp.h"
#include "globe/TimeZoneMap.h"
#include <QLineEdit>
#include <QListWidget>

#include "locations/TimeZoneManager.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/HXMessageBoxes.h"

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
const QString kShipped = HX_SOURCE_DIR "/data/map/";

struct FakeManager : IMapClickTarget {
    bool Open = true;
    double Lat = 1000, Lon = 1000;
    std::string Offset = "unset";
    bool Showing() override { return Open; }
    void ShowLatitude(double v) override { Lat = v; }
    void ShowLongitude(double v) override { Lon = v; }
    void SetUTCOffsetText(const std::string& t) override { Offset = t; }
};

struct Recorder : IMessagePresenter {
    std::vector<std::string> Texts;
    TModalResult Present(const std::string& t, TMsgDlgType, TMsgDlgButtons, int) override {
        Texts.push_back(t);
        return mrOk;
    }
};

TTimeLocation Place(const std::string& name, double lat, double lonWest) {
    TTimeLocation l;
    l.Name = name;
    l.Latitude = lat;
    l.Longitude = lonWest;
    return l;
}

class MapWindow : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        SetMessagePresenter(&boxes);
        QDir(dir.path()).mkdir("map");
    }
    void TearDown() override {
        ResetClockSource();
        delete map.data();
        services.reset();
        w.reset();
        SetMessagePresenter(nullptr);
    }
    void Ship(const QString& from, const QString& as) {
        ASSERT_TRUE(QFile::copy(kShipped + from, dir.path() + "/map/" + as));
    }
    // The clock state started read-only on the directory, then the map made
    // by its installed factory and shown, centred on the home place.
    // No layer given: the preferences as a new user has them.
    void Open(std::optional<int> zoneLayer = 0, std::optional<int> objectLayer = 0) {
        w = std::make_unique<TClockState>(store);
        StartClockState(*w, dir.path().toStdString(), true);
        services = std::make_unique<TFakeServices>(*w);
        InstallMapWindow(*w, services->Services());
        if (zoneLayer) w->ZoneLayer = *zoneLayer;
        if (objectLayer) w->ObjectLayer = *objectLayer;
        ASSERT_TRUE(services->Factories.Map);
        IMapWindow* made = services->Factories.Map(nullptr);
        map = dynamic_cast<TFTimeZoneMap*>(made);
        ASSERT_TRUE(map);
        services->Windows.Map = made;
        made->SetHomeLocation(w->LocalClock.Location);
        made->ShowAndRaise();
        map->ClickTarget = [this] { return &manager; };
        map->resize(800, 600);
        QApplication::processEvents();
    }
    void Centre(const TTimeLocation& l) {
        map->SetHomeLocation(l);
        map->SetCentrePending();
        map->ShowAndRaise();
        QApplication::processEvents();
    }
    QPoint Middle() const { return map->MainGlobe->viewport()->rect().center(); }
    void Mouse(QEvent::Type t, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QMouseEvent e(t, QPointF(p), map->MainGlobe->viewport()->mapToGlobal(QPointF(p)), b,
                      t == QEvent::MouseButtonRelease || t == QEvent::MouseMove ? Qt::NoButton : b, Qt::NoModifier);
        QApplication::sendEvent(map->MainGlobe->viewport(), &e);
    }
    void Click(QPoint p) {
        Mouse(QEvent::MouseMove, p);
        Mouse(QEvent::MouseButtonPress, p);
        Mouse(QEvent::MouseButtonRelease, p);
    }
    std::string Label(const char* name) { return map->findChild<QLabel*>(name)->text().toStdString(); }
    QStringList Captions(const char* menu) {
        QStringList out;
        for (QAction* a : map->findChild<QMenu*>(menu)->actions())
            out << a->text() + "=" + a->property("Tag").toString() + (a->isChecked() ? "*" : "");
        return out;
    }

    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    Recorder boxes;
    FakeManager manager;
    std::unique_ptr<TClockState> w;
    std::unique_ptr<TFakeServices> services;
    QPointer<TFTimeZoneMap> map;
};

TEST_F(MapWindow, WithoutLayerFilesBothReadOutsLookAtThePlottedPlaces) {
    Open(5, 0);
    EXPECT_EQ(map->MainGlobe->LayerCount(), 1);
    EXPECT_EQ(w->ZoneLayer, 1);
    EXPECT_EQ(w->ObjectLayer, 1);
    EXPECT_EQ(map->windowTitle(), "World Explorer");
    Centre(Place("Quito", -0.22, 78.5));
    Mouse(QEvent::MouseMove, Middle());
    EXPECT_EQ(Label("l_Object"), "Object: Quito");
    EXPECT_EQ(Label("lZone"), "Zone: Quito");
    // The pixel under the mouse is within a few kilometres of the place.
    const std::string d = Label("lDistanceToLocal");
    ASSERT_EQ(d.rfind("Distance from Quito: ", 0), 0u) << d;
    EXPECT_LT(std::stod(d.substr(21)), 10) << d;
    EXPECT_EQ(d.substr(d.size() - 3), " Km");
}

TEST_F(MapWindow, LayerMenusFollowTheSortedFilesAndABrokenFileIsToldOnce) {
    Ship("02-countries.lyr", "b&c.lyr");
    Ship("01-timezones.lyr", "A.lyr");
    QFile bad(dir.path() + "/map/c.LYR");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("\x01\x03 not a layer");
    bad.close();
    Open(2, 9);
    EXPECT_EQ(Captions("miZoneLayer"), QStringList({"A.lyr=1", "b&&c.lyr=2*", "c.LYR=3"}));
    EXPECT_EQ(Captions("miObjectLayer"), QStringList({"A.lyr=1", "b&&c.lyr=2", "c.LYR=3"}));
    EXPECT_EQ(w->ObjectLayer, 1);
    EXPECT_EQ(map->MainGlobe->GetLayer(2)->ObjectCount(), 0);
    EXPECT_EQ(map->FailedFiles, std::vector<std::string>({"c.LYR"}));
    QApplication::processEvents();
    map->hide();
    map->ShowAndRaise();
    QApplication::processEvents();
    EXPECT_EQ(std::count_if(boxes.Texts.begin(), boxes.Texts.end(),
                            [](const std::string& t) { return t.find("c.LYR") != std::string::npos; }),
              1);
    // Choosing an item sets the preference; opening the menu shows it.
    map->findChild<QMenu*>("miObjectLayer")->actions()[1]->trigger();
    EXPECT_EQ(w->ObjectLayer, 2);
    emit map->findChild<QMenu*>("miObjectLayer")->aboutToShow();
    EXPECT_EQ(Captions("miObjectLayer"), QStringList({"A.lyr=1", "b&&c.lyr=2*", "c.LYR=3"}));
}

TEST_F(MapWindow, ShippedLayersReadAndClickIntoTheManager) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    Open(1, 2);
    const struct {
        const char* Name;
        double Lat, LonWest;
        const char* Zone;
        const char* Object;
    } places[] = {
        {"New York", 40.71, 74.0, "-5", nullptr},
        {"Paris", 48.86, -2.35, "1", "France"},
        {"Delhi", 28.61, -77.21, "5.5", "India"},
        {"Adelaide", -34.93, -138.6, "9.5", "Australia"},
    };
    for (const auto& p : places) {
        SCOPED_TRACE(p.Name);
        Centre(Place(p.Name, p.Lat, p.LonWest));
        Click(Middle());
        EXPECT_EQ(Label("lZone"), std::string("Zone: ") + p.Zone);
        if (p.Object) {
            EXPECT_EQ(Label("l_Object"), std::string("Object: ") + p.Object);
        }
        // Longitudes go back west-positive.
        EXPECT_NEAR(manager.Lat, p.Lat, 0.05);
        EXPECT_NEAR(manager.Lon, p.LonWest, 0.05);
        EXPECT_EQ(manager.Offset, p.Zone);
    }

    // Off the earth, the end of a rotate drag, and a closed manager change
    // nothing.
    map->sbZoomToFitClick();
    QApplication::processEvents();
    manager.Lat = manager.Lon = 1000;
    manager.Offset = "kept";
    Click(QPoint(1, 1));
    EXPECT_EQ(Label("l_Lat"), "Lat:  --");
    EXPECT_EQ(Label("lZone"), "Zone: --");
    Mouse(QEvent::MouseMove, Middle());
    Mouse(QEvent::MouseButtonPress, Middle());
    Mouse(QEvent::MouseMove, Middle() + QPoint(40, 0), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Middle() + QPoint(40, 0));
    manager.Open = false;
    Click(Middle());
    EXPECT_EQ(manager.Lat, 1000);
    EXPECT_EQ(manager.Offset, "kept");

    // Sea with no zone under the click would be "?", which is no offset.
    map->SelectZoneLayer(map->findChild<QMenu*>("miZoneLayer")->actions()[1]);
    manager.Open = true;
    Centre(Place("Mid-Atlantic", 0, 30));
    Click(Middle());
    EXPECT_EQ(Label("lZone"), "Zone: ?");
    EXPECT_EQ(manager.Offset, "kept");
    EXPECT_NEAR(manager.Lon, 30, 0.05);
}

// As shipped, the read-outs name the country under the mouse and its zone's
// offset, as the README says.
TEST_F(MapWindow, ShippedLayersByDefaultNameTheCountryAndTheZone) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    Open(std::nullopt, std::nullopt);
    EXPECT_EQ(Captions("miZoneLayer"), QStringList({"01-timezones.lyr=1*", "02-countries.lyr=2"}));
    EXPECT_EQ(Captions("miObjectLayer"), QStringList({"01-timezones.lyr=1", "02-countries.lyr=2*"}));
    Centre(Place("Delhi", 28.61, -77.21));
    Mouse(QEvent::MouseMove, Middle());
    EXPECT_EQ(Label("l_Object"), "Object: India");
    EXPECT_EQ(Label("lZone"), "Zone: 5.5");
}

TEST_F(MapWindow, UnitsZoomPlotsAndFreeing) {
    Open();
    Centre(Place("Home", 10, 20));
    map->findChild<QAction*>("miPixel")->trigger();
    const auto* g = map->MainGlobe;
    char want[64];
    std::snprintf(want, sizeof want, "View Altitude: %.2Lf pixels", g->Altitude * g->ScaleFactor());
    EXPECT_EQ(Label("l_Altitude"), want);
    EXPECT_TRUE(map->findChild<QAction*>("miPixel")->isChecked());
    EXPECT_FALSE(map->findChild<QAction*>("miKilometer")->isChecked());

    auto* in = map->findChild<QToolButton*>("sbZoomIn");
    for (int i = 0; i < 40; ++i)
        in->click();
    EXPECT_EQ(g->ScaleFactor(), 4);
    auto* out = map->findChild<QToolButton*>("sbZoomOut");
    for (int i = 0; i < 80; ++i)
        out->click();
    const extended floor = g->ScaleFactor();
    out->click();
    EXPECT_GT(floor, 0);
    EXPECT_EQ(g->ScaleFactor(), floor);

    w->Clocks.clear();
    for (const char* n : {"A", "B"}) {
        w->Clocks.push_back(std::make_unique<THXClock>());
        w->Clocks.back()->Location.Name = n;
    }
    const int before = map->LocationsLayer->ObjectCount();
    map->findChild<QToolButton*>("sbPlotClocks")->click();
    EXPECT_EQ(map->LocationsLayer->ObjectCount(), before + 2);
    map->findChild<QAction*>("miClear")->trigger();
    ASSERT_EQ(map->LocationsLayer->ObjectCount(), 1);
    EXPECT_EQ(map->LocationsLayer->GetObject(0)->Title, "Home");
    services->Windows.ManagerAvailable = false;
    map->findChild<QToolButton*>("sbPlotKnown")->click();
    EXPECT_EQ(map->LocationsLayer->ObjectCount(), 1);

    // "Free Memory and Close Window": the map lets the main window forget it
    // (which then asks again on its next map command) and frees itself.
    QPointer<QWidget> old = map.data();
    map->findChild<QAction*>("smiUnload")->trigger();
    EXPECT_EQ(services->Windows.MapReleases, 1);
    EXPECT_EQ(services->Windows.Map, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
}

// The shipped layers on the globe with the night shadow, 800 x 600, against
// a picture checked by eye; HX_REMAKE_GOLDEN=1 writes it again.
TEST_F(MapWindow, ShippedLayersWithTheJuneShadowLookAsBefore) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    PinClock(EncodeDate(2026, 6, 21) + EncodeTime(12, 0, 0, 0), 0);
    Open(1, 2);
    Centre(Place("Dhaka", 23.8, -90.4));
    map->sbShadowClick();
    TGlobeView* g = map->MainGlobe;
    g->SetCanvasSize(800, 600, 96);
    g->SetAltitude(0);
    g->LocateToLL(DecimalToGlobeUnits(90), DecimalToGlobeUnits(10));
    g->RebuildIfNeeded();
    const QImage got = g->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
    ResetClockSource();
    ASSERT_EQ(got.size(), QSize(800, 600));
    const QString golden = HX_SOURCE_DIR "/globe/tests/golden/map-june-shadow.png";
    if (qEnvironmentVariableIntValue("HX_REMAKE_GOLDEN")) {
        ASSERT_TRUE(got.save(golden));
        GTEST_SKIP() << "written " << golden.toStdString();
    }
    const QImage want = QImage(golden).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(want.size(), got.size());
    int differ = 0, night = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const QRgb a = got.pixel(x, y), b = want.pixel(x, y);
            differ += std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24 ||
                      std::abs(qBlue(a) - qBlue(b)) > 24;
            night += x >= 520 && x < 600 && y >= 380 && y < 460 && qRed(a) == 0 && qGreen(a) == 0 && qBlue(a) == 0;
        }
    EXPECT_LE(differ, 800 * 600 / 200) << "pixels differing";
    // Australia, at 22:00 local time, is in the night shadow.
    EXPECT_GT(night, 500);
}

// Beside a fitted flat map there is no earth: no read-out, no click, no shadow.
TEST_F(MapWindow, TheMarginsOfAFittedFlatMapAreOffTheEarth) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    PinClock(EncodeDate(2026, 6, 21) + EncodeTime(6, 0, 0, 0), 0);  // dusk at 180 degrees
    Open(1, 1);
    // A wide window: the widest view leaves a strip on either side.
    map->resize(1300, 480);
    QApplication::processEvents();
    Centre(Place("Greenwich", 51.48, 0));
    map->sbShadowClick();
    TGlobeView* g = map->MainGlobe;
    for (const char* projection : {"miCartesian", "miMercator"}) {
        SCOPED_TRACE(projection);
        map->findChild<QAction*>(projection)->trigger();
        map->sbZoomToFitClick();
        g->RebuildIfNeeded();
        const QImage img = g->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
        const int half = static_cast<int>(GU_180 * g->ScaleFactor());
        const int left = g->Model->XOrigin - half, right = g->Model->XOrigin + half;
        ASSERT_GT(left, 40);
        ASSERT_LT(right, g->CanvasWidth - 40);
        int shaded = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                shaded += (x < left - 1 || x > right + 1) && (img.pixel(x, y) & 0xFFFFFF) != 0;
        EXPECT_EQ(shaded, 0) << "shadow or map beside the map";
        for (QPoint p : {QPoint(left / 2, g->Model->YOrigin), QPoint(right + 20, g->Model->YOrigin - 30)}) {
            manager.Lat = manager.Lon = 1000;
            manager.Offset = "kept";
            Click(p);
            EXPECT_EQ(Label("l_Lat"), "Lat:  --");
            EXPECT_EQ(Label("l_Long"), "Long:  --");
            EXPECT_EQ(Label("lZone"), "Zone: --");
            EXPECT_EQ(manager.Lat, 1000);
            EXPECT_EQ(manager.Offset, "kept");
        }
        // Just inside the left edge is the far west.
        Click(QPoint(left + 2, g->Model->YOrigin));
        EXPECT_NEAR(manager.Lon, 180, 1);
    }
}

// A layer file cut short is told, and its layer stays empty: nothing of it is
// drawn or read out, not even after painting.
TEST_F(MapWindow, ACutLayerFileDrawsNothingAndAnswersNoReadOut) {
    QFile whole(kShipped + "01-timezones.lyr");
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray data = whole.readAll();
    QFile cut(dir.path() + "/map/01-timezones.lyr");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(data.left(data.size() / 2));
    cut.close();
    Open(1, 1);
    EXPECT_EQ(map->FailedFiles, std::vector<std::string>({"01-timezones.lyr"}));
    Centre(Place("Paris", 48.86, -2.35));
    map->sbZoomToFitClick();
    map->MainGlobe->RebuildIfNeeded();
    map->grab();
    QApplication::processEvents();
    EXPECT_EQ(map->MainGlobe->GetLayer(0)->ObjectCount(), 0);
    // Only the globe, the grid and the place's marker and name are drawn.
    const QImage img = map->MainGlobe->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
    int other = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y) & 0xFFFFFF;
            other += c != 0 && c != 0x0000FF && c != 0xC0C0C0 && c != 0xFF0000 && std::abs(x - img.width() / 2) > 60;
        }
    EXPECT_LT(other, img.width() * img.height() / 200);
    Mouse(QEvent::MouseMove, Middle() + QPoint(0, -40));
    EXPECT_EQ(Label("lZone"), "Zone: ?");
    EXPECT_EQ(Label("l_Object"), "Object: --");
}

// A maximised window shows the whole fitted globe.
// "Plot All" with every shipped place on a whole globe still lets the land
// be seen: centred on Europe, the most crowded part of the map, most land
// in view keeps its colour.
TEST_F(MapWindow, AllShippedPlacesOnAWholeGlobeLeaveTheLandVisible) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    ASSERT_TRUE(QFile::copy(HX_SOURCE_DIR "/data/hxzones.hxd", dir.path() + "/hxzones.hxd"));
    Open(1, 2);
    w->LoadStandardLocations();
    ASSERT_GT(w->StandardLocations.size(), 20000u);
    Centre(Place("Paris", 48.86, -2.35));
    map->sbClearClick();
    TGlobeView* g = map->MainGlobe;
    g->SetCanvasSize(800, 600, 96);
    map->sbZoomToFitClick();
    g->LocateToLL(DecimalToGlobeUnits(10), DecimalToGlobeUnits(48));
    auto picture = [g] {
        g->RedrawLayers();
        g->RebuildIfNeeded();
        return g->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
    };
    const QImage before = picture();
    map->findChild<QToolButton*>("sbPlotKnown")->click();
    ASSERT_GT(map->LocationsLayer->ObjectCount(), 20000);
    const QImage after = picture();
    ASSERT_EQ(before.size(), after.size());
    int land = 0, covered = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QRgb b = before.pixel(x, y) & 0xFFFFFF;
            if (b == 0x0000FF || b == 0 || b == 0xFFFFFF) continue;
            ++land;
            // The diamonds' red rim and blue fill.
            const QRgb a = after.pixel(x, y) & 0xFFFFFF;
            covered += a == 0xFF0000 || a == 0x0000FF;
        }
    ASSERT_GT(land, 5000);
    EXPECT_LT(double(covered) / land, 0.5) << covered << " of " << land << " land pixels covered";
}

TEST_F(MapWindow, AfterMaximisingTheFittedGlobeIsWholeInTheView) {
    Open();
    Centre(Place("Home", 10, 20));
    map->resize(600, 400);
    QApplication::processEvents();
    map->sbZoomToFitClick();
    map->resize(1366, 740);
    QApplication::processEvents();
    TGlobeView* g = map->MainGlobe;
    ASSERT_EQ(g->CanvasWidth, g->viewport()->width());
    ASSERT_GT(g->CanvasWidth, 1200);
    auto* m = dynamic_cast<TSphericalPrj*>(g->Model.get());
    ASSERT_NE(m, nullptr);
    EXPECT_GT(m->RadiusPixels, g->CanvasHeight / 2 - 60);
    EXPECT_GE(m->XOrigin - m->RadiusPixels, -1);
    EXPECT_LE(m->XOrigin + m->RadiusPixels, g->CanvasWidth + 1);
    EXPECT_GE(m->YOrigin - m->RadiusPixels, -1);
    EXPECT_LE(m->YOrigin + m->RadiusPixels, g->CanvasHeight + 1);
    // The picture agrees: the globe's blue does not touch the top or bottom
    // row beyond its single tangent point.
    g->RebuildIfNeeded();
    const QImage img = g->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
    int edge = 0;
    for (int x = 0; x < img.width(); ++x)
        edge += (img.pixel(x, 0) & 0xFFFFFF) == 0x0000FF || (img.pixel(x, img.height() - 1) & 0xFFFFFF) == 0x0000FF;
    EXPECT_LT(edge, 120);
}

// Night dots stay off the home marker and its name, and the name is beside
// the marker; after a drag over the pole "Current Location" centres on home.
TEST_F(MapWindow, CurrentLocationCentresOnHomeWithItsMarkerOverTheShadow) {
    PinClock(EncodeDate(2026, 6, 21) + EncodeTime(0, 0, 0, 0), 0);  // London at night
    Open();
    Centre(Place("London", 51.51, 0.13));
    map->sbShadowClick();
    TGlobeView* g = map->MainGlobe;
    map->sbZoomToFitClick();
    const QPoint m = Middle();
    Mouse(QEvent::MouseMove, m);
    Mouse(QEvent::MouseButtonPress, m);
    for (int dy = 10; dy <= 230; dy += 10)
        Mouse(QEvent::MouseMove, m + QPoint(dy / 8, dy), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, m + QPoint(28, 230));
    QApplication::processEvents();
    GlobePoint c;
    ASSERT_TRUE(g->XYToLL(g->CanvasWidth / 2, g->CanvasHeight / 2, c));
    EXPECT_GT(std::abs(c.Y - DecimalToGlobeUnits(51.51)), 10 * GU_DEGREE) << "the drag moved the globe";

    map->findChild<QToolButton*>("sbGoHome")->click();
    ASSERT_TRUE(g->XYToLL(g->CanvasWidth / 2, g->CanvasHeight / 2, c));
    EXPECT_NEAR(c.X, DecimalToGlobeUnits(-0.13), GU_MINUTE);
    EXPECT_NEAR(c.Y, DecimalToGlobeUnits(51.51), GU_MINUTE);
    Mouse(QEvent::MouseMove, QPoint(g->CanvasWidth / 2, g->CanvasHeight / 2));
    EXPECT_EQ(Label("lDistanceToLocal"), "Distance from London: 0.00 Km");

    g->RebuildIfNeeded();
    const QImage img = g->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
    const int cx = g->CanvasWidth / 2, cy = g->CanvasHeight / 2;
    int night = 0, covered = 0;
    for (int y = cy - 40; y < cy + 40; ++y)
        for (int x = cx - 40; x < cx + 40; ++x) {
            const QRgb p = img.pixel(x, y) & 0xFFFFFF;
            night += p == 0;
            // Inside the diamond (10 pixels across): its blue alone.
            covered += std::abs(x - cx) + std::abs(y - cy) <= 3 && p != 0x0000FF;
        }
    EXPECT_GT(night, 500) << "the place is in the night";
    EXPECT_EQ(covered, 0);
    EXPECT_EQ(img.pixel(cx, cy) & 0xFFFFFF, 0x0000FFu);
}

// London at night, close up: the home diamond and its name, turned by 20
// degrees, lie over the shadow (golden picture; HX_REMAKE_GOLDEN=1 writes it).
TEST_F(MapWindow, TheHomePlaceAndItsTurnedNameLieOverTheNight) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    PinClock(EncodeDate(2026, 6, 21) + EncodeTime(0, 0, 0, 0), 0);
    Open(1, 2);
    Centre(Place("London", 51.51, 0.13));
    map->sbShadowClick();
    TGlobeView* g = map->MainGlobe;
    g->SetCanvasSize(400, 300, 96);
    map->GoToCurrentLocation();
    auto picture = [&] {
        g->RedrawLayers();
        g->RebuildIfNeeded();
        return g->GlobeCanvas.Image.convertToFormat(QImage::Format_RGB32);
    };
    const QImage got = picture();
    map->LocationPresenter->TitleAlignment = TTitleAlignment::taNone;
    const QImage bare = picture();
    ASSERT_EQ(got.size(), QSize(400, 300));
    // The name is what differs from the picture without it; it rises to
    // the right.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            if (got.pixel(x, y) != bare.pixel(x, y)) {
                sx += x, sy += y, sxx += double(x) * x, sxy += double(x) * y, ++n;
                EXPECT_GT(std::abs(x - 200) + std::abs(y - 150), 5) << x << "," << y << " on the marker";
            }
    ASSERT_GT(n, 30);
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    EXPECT_NEAR(slope, -std::tan(20 * M_PI / 180), 0.12);
    // The diamond keeps its blue under the night.
    for (int y = 147; y <= 153; ++y)
        for (int x = 197; x <= 203; ++x)
            if (std::abs(x - 200) + std::abs(y - 150) <= 3) {
                EXPECT_EQ(got.pixel(x, y) & 0xFFFFFF, 0x0000FFu) << x << "," << y;
            }

    const QString golden = HX_SOURCE_DIR "/globe/tests/golden/map-home-night.png";
    if (qEnvironmentVariableIntValue("HX_REMAKE_GOLDEN")) {
        ASSERT_TRUE(got.save(golden));
        GTEST_SKIP() << "written " << golden.toStdString();
    }
    const QImage want = QImage(golden).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(want.size(), got.size());
    int differ = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            const QRgb a = got.pixel(x, y), b = want.pixel(x, y);
            differ += std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24 ||
                      std::abs(qBlue(a) - qBlue(b)) > 24;
        }
    EXPECT_LE(differ, 400 * 300 / 200) << "pixels differing";
}

// The README's picture of the window (HX_MAP_SCREENSHOT=out.png).
TEST_F(MapWindow, Screenshot) {
    const QString out = qEnvironmentVariable("HX_MAP_SCREENSHOT");
    if (out.isEmpty())
        GTEST_SKIP() << "HX_MAP_SCREENSHOT not set";
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    PinClock(EncodeDate(2026, 6, 21) + EncodeTime(17, 0, 0, 0), 0);
    Open(1, 2);
    map->resize(760, 560);
    QApplication::processEvents();
    Centre(Place("Paris", 48.86, -2.35));
    map->sbClearClick();
    map->sbZoomToFitClick();
    map->MainGlobe->LocateToLL(DecimalToGlobeUnits(10), DecimalToGlobeUnits(30));
    map->sbShadowClick();
    for (const auto& [name, lat, lon] : {std::tuple{"New York", 40.71, 74.0}, {"Delhi", 28.61, -77.21},
                                         {"Tokyo", 35.68, -139.69}, {"Moscow", 55.76, -37.62}}) {
        w->Clocks.push_back(std::make_unique<THXClock>());
        w->Clocks.back()->Location = Place(name, lat, lon);
    }
    map->sbPlotClocksClick();
    QApplication::processEvents();
    Mouse(QEvent::MouseMove, Middle() + QPoint(-20, -100));
    QApplication::processEvents();
    ResetClockSource();
    EXPECT_TRUE(map->grab().save(out));
}

// With the real location manager open, a click at New York fills its
// position fields (74 degrees West) and its offset.
TEST_F(MapWindow, AClickFillsTheLocationManager) {
    Ship("01-timezones.lyr", "01-timezones.lyr");
    Ship("02-countries.lyr", "02-countries.lyr");
    ASSERT_TRUE(QFile::copy(HX_SOURCE_DIR "/data/hxzones.hxd", dir.path() + "/hxzones.hxd"));
    w = std::make_unique<TClockState>(store);
    StartClockState(*w, dir.path().toStdString(), true);
    w->ZoneLayer = 1;
    services = std::make_unique<TFakeServices>(*w);
    InstallTimeZoneManager(*w, services->Services());
    InstallMapWindow(*w, services->Services());
    // Both made by their installed factories and shown, as the main window's
    // commands do; the opener hands them to each other.
    ASSERT_TRUE(services->Factories.Manager && services->Factories.Map);
    w->LoadStandardLocations();
    ITimeZoneManager* made = services->Factories.Manager(nullptr);
    services->Windows.Manager = made;
    const std::unique_ptr<QWidget> managerWindow(made->Window());
    managerWindow->show();
    auto* manager = dynamic_cast<TFTimeZoneManager*>(made);
    ASSERT_TRUE(manager && manager->isVisible());
    IMapWindow* shown = services->Factories.Map(nullptr);
    services->Windows.Map = shown;
    shown->SetHomeLocation(w->LocalClock.Location);
    shown->ShowAndRaise();
    map = dynamic_cast<TFTimeZoneMap*>(shown);
    ASSERT_TRUE(map);
    map->resize(800, 600);
    QApplication::processEvents();
    Centre(Place("New York", 40.71, 74.0));
    Click(Middle());
    auto text = [&](const char* name) { return manager->findChild<QLineEdit*>(name)->text().toStdString(); };
    EXPECT_EQ(text("e_LongH"), "74");
    EXPECT_EQ(text("e_LatH"), "40");
    EXPECT_EQ(manager->findChild<QListWidget*>("sg_EastWest")->currentRow(), 1);  // West
    EXPECT_EQ(text("eUTCOffset"), "-5");

    // The manager's "Map" centres the map on its working place and marks it.
    manager->Location = Place("Lima", -12.05, 77.04);
    manager->sb_MapClick();
    EXPECT_EQ(map->HomeLocation.Name, "Lima");
    EXPECT_FALSE(map->CentrePending);
    EXPECT_EQ(map->LocationsLayer->GetObject(map->LocationsLayer->ObjectCount() - 1)->Title, "Lima");
    EXPECT_EQ(services->Windows.ShownOnMap, std::vector<std::string>{"Lima"});
}

}  // namespace
