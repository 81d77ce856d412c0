// The astronomy window on a clock state and through the main window, and the
// moon picture.
#include "clockapp/state/tests/FakeServices.h"
#include "clockapp/tests/WindowTest.h"
#include "platform/qt/DateField.h"
#include "tools/F_Astronomy.h"
#include "tools/Moon.h"
#include "tools/MoonPicture.h"
#include "tools/TimeTools.h"

#include <QAction>
#include <QCalendarWidget>
#include <QLabel>
#include <QScreen>

#include <cmath>

namespace {

QString Text(QWidget* w, const char* name) {
    auto* l = w->findChild<QLabel*>(name);
    return l ? l->text() : QString("<missing %1>").arg(name);
}

// The window's own clocks: one at the place given, current, with the host
// offset pinned.
void OneClock(TClockState& state, double latitude, double longitude, double stdOffset,
              uint8_t type, TDateTime utc) {
    PinClock(utc, stdOffset);
    state.Clocks.clear();
    auto c = std::make_unique<THXClock>();
    c->ClockType = type;
    c->Location.Latitude = latitude;
    c->Location.Longitude = longitude;
    c->Location.StdOffset = stdOffset;
    c->Location.HostOffset = stdOffset;
    state.Clocks.push_back(std::move(c));
    state.CurrentClock = 0;
}

std::vector<QWidget*> AstronomyWindows() {
    std::vector<QWidget*> v;
    for (QWidget* win : QApplication::topLevelWidgets())
        if (qobject_cast<TF_Astronomy*>(win) && win->isVisible()) v.push_back(win);
    return v;
}

void CloseAstronomyWindows() {
    for (QWidget* win : QApplication::topLevelWidgets())
        if (qobject_cast<TF_Astronomy*>(win)) delete win;
    ResetClockSource();
}

// The window made by its installed factory on a clock state, told the current
// clock's place (the system's own for a Local clock) and shown.
class AstronomyWindow : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        SetMessagePresenter(&presenter);
        w = std::make_unique<TClockState>(store);
        StartClockState(*w, dir.path().toStdString(), true);
        services = std::make_unique<TFakeServices>(*w);
        InstallTimeTools(*w, services->Services());
    }
    void TearDown() override {
        CloseAstronomyWindows();
        services.reset();
        w.reset();
        SetMessagePresenter(nullptr);
    }
    void OneClock(double latitude, double longitude, double stdOffset, uint8_t type, TDateTime utc) {
        ::OneClock(*w, latitude, longitude, stdOffset, type, utc);
    }
    TF_Astronomy* Open() {
        EXPECT_TRUE(services->Factories.Astronomy);
        if (!services->Factories.Astronomy) return nullptr;
        IAstronomyWindow* made = services->Factories.Astronomy(nullptr);
        auto* astro = dynamic_cast<TF_Astronomy*>(made);
        EXPECT_TRUE(astro);
        if (!astro) return nullptr;
        const THXClock& clock = *w->Clocks[size_t(w->CurrentClock)];
        made->SetLocation(clock.TimeLocation(), clock.ClockType == ctLocal);
        made->Window()->setVisible(true);
        return astro;
    }

    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    TRecordingPresenter presenter;
    std::unique_ptr<TClockState> w;
    std::unique_ptr<TFakeServices> services;
};

// The main window's command, with the windows installed into it.
class AstronomyFromMainWindow : public TWindowTest<> {
protected:
    void BeforeStart() override { InstallTimeTools(*w, w->WindowServices()); }
    void TearDown() override {
        CloseAstronomyWindows();
        TWindowTest::TearDown();
    }
    void OneClock(double latitude, double longitude, double stdOffset, uint8_t type, TDateTime utc) {
        ::OneClock(*w, latitude, longitude, stdOffset, type, utc);
    }
    TF_Astronomy* Open() {
        QAction* a = w->findChild<QAction*>("smiAstro");
        EXPECT_TRUE(a && a->isEnabled());
        const auto before = AstronomyWindows();
        a->trigger();
        for (QWidget* win : AstronomyWindows())
            if (std::find(before.begin(), before.end(), win) == before.end())
                return static_cast<TF_Astronomy*>(win);
        return nullptr;
    }
};

TEST_F(AstronomyFromMainWindow, EveryOpeningMakesAWindowForTheCurrentClock) {
    OneClock(51.5, 0.13, 0, 1, EncodeDate(2026, 3, 1) + 0.5);
    TF_Astronomy* first = Open();
    TF_Astronomy* second = Open();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->windowTitle(), "Astronomical Data");
    EXPECT_TRUE(first->t_Astro->isActive());
    EXPECT_EQ(first->t_Astro->interval(), 10000);
    // A Local clock's rule is the system's own.
    EXPECT_EQ(Text(first, "l_DLStart"), "<system>");
    EXPECT_EQ(Text(first, "l_DLEnd"), "<system>");
    EXPECT_FALSE(first->findChild<QLabel*>("l_CurrOffset")->isVisibleTo(first));
    EXPECT_FALSE(first->findChild<QLabel*>("l_CurrentOffset")->isVisibleTo(first));
    EXPECT_EQ(Text(first, "l_UTC"), "12:00");
    EXPECT_NE(Text(first, "l_Sunrise"), "None");
    EXPECT_TRUE(Text(first, "l_MoonDistance").endsWith(" Km"));
}

TEST_F(AstronomyWindow, PolarDayShowsNoSunButTheMoon) {
    OneClock(80, -15, 1, 0, EncodeDate(2026, 6, 21) + 0.5);
    TF_Astronomy* win = Open();
    ASSERT_TRUE(win);
    EXPECT_TRUE(win->findChild<QLabel*>("l_CurrOffset")->isVisibleTo(win));
    EXPECT_EQ(Text(win, "l_Sunrise"), "None");
    EXPECT_EQ(Text(win, "l_Sunset"), "None");
    for (const char* n : {"l_DaylightHours", "l_DaylightHoursPassed", "l_DaylightHoursRemaining"})
        EXPECT_EQ(Text(win, n), "--") << n;
    // The sun that stays up still passes the meridian, about noon here.
    EXPECT_TRUE(Text(win, "l_SunTransit").startsWith("12:0")) << Text(win, "l_SunTransit").toStdString();
    EXPECT_TRUE(Text(win, "l_Phase").endsWith("%"));
    EXPECT_TRUE(Text(win, "l_MoonAge").contains(" Days "));
}

TEST_F(AstronomyWindow, APickedDateStaysAndHasNoElapsedTime) {
    OneClock(48.85, -2.35, 1, 0, EncodeDate(2026, 6, 21) + 0.5);
    TF_Astronomy* win = Open();
    ASSERT_TRUE(win);
    EXPECT_NE(Text(win, "l_DaylightHoursPassed"), "--");
    // Picked from the field's calendar.
    auto* field = win->findChild<TDateField*>("dtp_UserDateChoice");
    ASSERT_TRUE(field);
    field->ShowCalendar();
    auto* calendar = field->findChild<QCalendarWidget*>("calendar");
    ASSERT_TRUE(calendar);
    emit calendar->clicked(QDate(2026, 12, 21));
    // The closed calendar goes, as the event loop would have it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(field->date(), QDate(2026, 12, 21));
    EXPECT_FALSE(win->t_Astro->isActive());
    EXPECT_EQ(Text(win, "l_DaylightHoursPassed"), "--");
    EXPECT_EQ(Text(win, "l_DaylightHoursRemaining"), "--");
    EXPECT_EQ(Text(win, "l_LocalTime"), "00:00");
    // Paris has about eight hours of daylight at the winter solstice.
    EXPECT_TRUE(Text(win, "l_DaylightHours").startsWith("08:")) << Text(win, "l_DaylightHours").toStdString();
}

TEST_F(AstronomyWindow, SunriseIsTheOneOfTheLocalDay) {
    // Auckland (+12, no daylight saving here) late on the 11th: the UT day's
    // sunrise is the next local morning's, so the one before it is shown.
    OneClock(-36.85, -174.76, 12, 0, EncodeDate(2026, 3, 11) + 11.0 / 24);
    TF_Astronomy* win = Open();
    ASSERT_TRUE(win);
    const QString rise = Text(win, "l_Sunrise");
    EXPECT_TRUE(rise.startsWith("06:1")) << rise.toStdString(); // 07:1x in daylight time
}

// The unlit part of the disc, at the phase angles of the four quarters.
TEST(MoonPicture, ShadowFollowsThePhase) {
    auto dark = [](double phase, int dx) {
        QImage img(64, 64, QImage::Format_RGB32);
        img.fill(qRgb(200, 200, 200));
        const auto g = TMoon::Geometry(TMoonSize::ms64);
        TMoon::PaintShadow(img, g.CentreX, g.Radius, g.CentreY, phase);
        return img.pixel(g.CentreX + dx, g.CentreY) == TMoon::Unlit(qRgb(200, 200, 200));
    };
    auto shadowed = [](double phase) {
        QImage img(64, 64, QImage::Format_RGB32);
        img.fill(qRgb(200, 200, 200));
        const auto g = TMoon::Geometry(TMoonSize::ms64);
        TMoon::PaintShadow(img, g.CentreX, g.Radius, g.CentreY, phase);
        int n = 0, inside = 0, insideDark = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool black = img.pixel(x, y) == TMoon::Unlit(qRgb(200, 200, 200));
                n += black;
                const int ex = x - g.CentreX, ey = y - g.CentreY;
                if (ex * ex + ey * ey <= (g.Radius - 1) * (g.Radius - 1)) {
                    ++inside;
                    insideDark += black;
                }
            }
        return std::pair{n, insideDark == inside};
    };
    EXPECT_EQ(shadowed(0).first, 0);     // full: not one pixel
    EXPECT_TRUE(shadowed(180).second);   // new: the whole disc
    EXPECT_TRUE(dark(90, -20));          // first quarter: dark on the left
    EXPECT_FALSE(dark(90, 20));
    EXPECT_TRUE(dark(270, 20));          // last quarter: dark on the right
    EXPECT_FALSE(dark(270, -20));
}

// On the window's picture the dark share of the disc (the icon mask's
// pixels) keeps to the unlit fraction at every phase, and the new moon of
// January 2026, whose phase angle stays some degrees short of 180, leaves no
// pixel lit.
TEST(MoonPicture, DarkShareFollowsTheUnlitFraction) {
    TestApp();
    TMoon moon; // loads the pictures
    const QImage full = QImage(":/moon/MOON_LARGE.png").convertToFormat(QImage::Format_RGB32);
    const QImage mask = QImage(":/moon/MOON_BW_LARGE.png").convertToFormat(QImage::Format_RGB32);
    const auto g = TMoon::Geometry(TMoonSize::ms64);
    // The share is counted on an even grey disc, the lit pixels on the picture.
    QImage grey = full;
    grey.fill(qRgb(200, 200, 200));
    const QRgb dim = TMoon::Unlit(qRgb(200, 200, 200));
    auto shade = [&](double phase) {
        QImage img = full, even = grey;
        TMoon::PaintShadow(img, g.CentreX, g.Radius, g.CentreY, phase);
        TMoon::PaintShadow(even, g.CentreX, g.Radius, g.CentreY, phase);
        int disc = 0, dark = 0, lit = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const bool inDisc = qGray(mask.pixel(x, y)) < 128;
                disc += inDisc;
                dark += inDisc && even.pixel(x, y) == dim;
                lit += img.pixel(x, y) != TMoon::Unlit(full.pixel(x, y));
            }
        return std::pair{double(dark) / disc, lit};
    };
    double worst = 0, worstAt = 0;
    for (double phase = 0; phase < 360; phase += 0.5) {
        const double off = std::fabs(shade(phase).first - (1 - CosDegrees(phase)) / 2);
        if (off > worst) worst = off, worstAt = phase;
    }
    EXPECT_LE(worst, 0.005) << "at phase " << worstAt;
    EXPECT_NEAR(shade(90).first, 0.5, 0.002);
    EXPECT_EQ(shade(180).second, 0);
    TDateTime newMoon = EncodeDate(2026, 1, 1);
    for (double best = 360, t = newMoon; t < EncodeDate(2026, 2, 1); t += 1.0 / 96) {
        const double i = std::fabs(LunarPhaseAngle(t));
        if (180 - i < best) best = 180 - i, newMoon = t;
    }
    EXPECT_LT(std::fabs(LunarPhaseAngle(newMoon)), 179);
    EXPECT_EQ(shade(NormalizeDegrees(LunarPhaseAngle(newMoon))).second, 0);
}

TEST_F(AstronomyWindow, FitsALaptopScreen) {
    OneClock(51.5, 0.1, 0, 0, EncodeDate(2026, 6, 21) + 0.5);
    TF_Astronomy* astro = Open();
    ASSERT_TRUE(astro);
    QCoreApplication::processEvents();
    const QRect free = astro->screen()->availableGeometry();
    ASSERT_EQ(free.size(), QSize(1366, 768));
    EXPECT_LE(astro->frameGeometry().width(), free.width());
    EXPECT_LE(astro->frameGeometry().height(), free.height());
}

// A new moon is no black square: its disc shows faintly on the black sky, in
// the picture the window paints, at every size.
TEST(MoonPicture, NewMoonShowsItsDiscFaintly) {
    TestApp();
    TMoon moon;
    TDateTime newMoon = EncodeDate(2026, 1, 1);
    for (double best = 360, t = newMoon; t < EncodeDate(2026, 2, 1); t += 1.0 / 96) {
        const double i = std::fabs(LunarPhaseAngle(t));
        if (180 - i < best) best = 180 - i, newMoon = t;
    }
    moon.SetDate(newMoon);
    for (auto [size, mask] : {std::pair{TMoonSize::ms64, ":/moon/MOON_BW_LARGE.png"},
                              {TMoonSize::ms32, ":/moon/MOON_BW_SMALL.png"},
                              {TMoonSize::ms16, ":/moon/MOON_BW_TINY.png"}}) {
        moon.SetMoonSize(size);
        const QImage& shown = moon.Picture();
        const QImage disc = QImage(mask).convertToFormat(QImage::Format_RGB32);
        int inside = 0, showing = 0, brightest = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                if (qGray(disc.pixel(x, y)) >= 128) continue;
                ++inside;
                showing += qGray(shown.pixel(x, y)) >= 8;
                brightest = std::max(brightest, qGray(shown.pixel(x, y)));
            }
        EXPECT_GT(showing, inside * 3 / 4) << shown.width();
        EXPECT_LT(brightest, 80) << "faintly, not lit: " << shown.width();
    }
}

TEST(MoonPicture, SizesAndIcon) {
    TestApp();
    TMoon moon;
    EXPECT_EQ(moon.size(), QSize(64, 64));
    moon.SetMoonSize(TMoonSize::ms16);
    EXPECT_EQ(moon.size(), QSize(16, 16));
    EXPECT_EQ(moon.Picture().size(), QSize(16, 16));
    // A new moon blackens the 7-pixel disc round (7, 7).
    TDateTime newMoon = EncodeDate(2026, 1, 1);
    for (double best = 360, t = newMoon; t < EncodeDate(2026, 2, 1); t += 1.0 / 24) {
        const double i = std::fabs(LunarPhaseAngle(t));
        if (180 - i < best) best = 180 - i, newMoon = t;
    }
    moon.SetDate(newMoon);
    const QImage tiny = QImage(":/moon/MOON_TINY.png").convertToFormat(QImage::Format_RGB32);
    for (auto [x, y] : {std::pair{7, 7}, {1, 7}, {13, 7}, {7, 1}, {7, 13}})
        EXPECT_EQ(moon.Picture().pixel(x, y), TMoon::Unlit(tiny.pixel(x, y))) << x << "," << y;
    const QIcon icon = moon.Icon();
    for (int side : {16, 32, 64}) EXPECT_EQ(icon.pixmap(side).size(), QSize(side, side)) << side;
}

} // namespace
