#include "clockapp/controls/HXAnalogClock.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/controls/tests/QtApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

TDateTime At(int h, int m, int s) {
    return EncodeDate(2024, 3, 14) + EncodeTime(h, m, s, 0);
}

bool IsHandColour(QRgb c, QColor want) {
    return std::abs(qRed(c) - want.red()) < 40 && std::abs(qGreen(c) - want.green()) < 40 &&
           std::abs(qBlue(c) - want.blue()) < 40;
}

// Share of the pixels on the line from the centre at the given angle
// (clockwise from 12) between 30 % and 75 % of the length that are hand-coloured.
double Coverage(const QImage& img, int size, double degrees, double lengthPercent, QColor colour) {
    const double a = degrees * std::numbers::pi / 180;
    const double r = lengthPercent / 100.0 * (size / 2);
    const int cx = size / 2, cy = size / 2;
    int hit = 0, n = 0;
    for (double f = 0.3; f <= 0.75; f += 0.05) {
        const int x = int(std::lround(cx + f * r * std::sin(a)));
        const int y = int(std::lround(cy - f * r * std::cos(a)));
        ++n;
        bool found = false;
        for (int dx = -1; dx <= 1 && !found; ++dx)
            for (int dy = -1; dy <= 1 && !found; ++dy)
                found = IsHandColour(img.pixel(x + dx, y + dy), colour);
        hit += found;
    }
    return double(hit) / n;
}

class AnalogClockTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(AnalogClockTest, DefaultsAndHands) {
    THXAnalogClock c;
    EXPECT_EQ(c.ClockType(), TAnalogClockType::act12Hour);
    EXPECT_TRUE(c.AutoCenter());
    EXPECT_TRUE(c.ShowSeconds());
    EXPECT_TRUE(c.DisplayDate());
    EXPECT_EQ(c.DateFormat(), "MMM D");
    EXPECT_EQ(c.Size(), 50);
    EXPECT_EQ(c.ClockTitle(), "New Clock");
    EXPECT_EQ(c.TitleHint(), "New Clock");
    EXPECT_EQ(c.SecondsHand.Width(), 1);
    EXPECT_EQ(c.SecondsHand.Color(), 255);
    EXPECT_EQ(c.SecondsHand.BackRadius(), 10);
    EXPECT_EQ(c.MinutesHand.Radius(), 81);
    EXPECT_EQ(c.HoursHand.Radius(), 63);
    EXPECT_EQ(c.HoursHand.Color(), 0);
    EXPECT_EQ(c.MinutesHand.BackRadius(), 0);
}

TEST_F(AnalogClockTest, LayoutWidthFollowsSizeAndTitle) {
    THXAnalogClock c;
    c.SetClockTitle("X");
    c.SetSize(50);
    EXPECT_GE(c.width(), 54);
    EXPECT_EQ(c.height(), 1 + (FontPixelHeight(c.TitleFont()) + 4) + 50 + 2);
    c.SetClockTitle("A very long clock title for the face");
    const int textWidth = QFontMetrics(ToQFont(c.TitleFont()))
                              .horizontalAdvance("A very long clock title for the face");
    EXPECT_EQ(c.width(), textWidth + 12);
    EXPECT_EQ(c.TitlePanel->width(), c.width());
    EXPECT_EQ(c.TitlePanel->text(), "A very long clock title for the face");
}

TEST_F(AnalogClockTest, EventsFireOnChangeInOrder) {
    THXAnalogClock c;
    c.SetDateTime(At(10, 59, 59));
    std::vector<std::string> seen;
    c.OnSecond = [&](THXAnalogClock*, uint16_t v) { seen.push_back("s" + std::to_string(v)); };
    c.OnMinute = [&](THXAnalogClock*, uint16_t v) { seen.push_back("m" + std::to_string(v)); };
    c.OnHour = [&](THXAnalogClock*, uint16_t v) { seen.push_back("h" + std::to_string(v)); };
    const int repaints = c.RepaintCount();
    c.SetDateTime(At(10, 59, 59));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(c.RepaintCount(), repaints);
    c.SetDateTime(At(11, 0, 0));
    EXPECT_EQ(seen, (std::vector<std::string>{"s0", "m0", "h11"}));
}

struct HandCase {
    int Size;
    int H, M, S;
    TAnalogClockType Type;
};

class AnalogHands : public AnalogClockTest, public ::testing::WithParamInterface<HandCase> {};

TEST_P(AnalogHands, PixelsLieOnEachHandsLine) {
    const HandCase hc = GetParam();
    THXAnalogClock c;
    c.SetDisplayDate(false);
    c.SetSize(hc.Size);
    c.SetClockType(hc.Type);
    c.SetDateTime(At(hc.H, hc.M, hc.S));
    c.PaintDial();
    const QImage& img = c.DialBitmap();
    ASSERT_EQ(img.width(), hc.Size);
    const double turns = hc.Type == TAnalogClockType::act24Hour ? 24 : 12;
    const double hourDeg = (hc.H + hc.M / 60.0) * 360 / turns;
    const double minDeg = hc.M * 6.0;
    const double secDeg = hc.S * 6.0;
    EXPECT_GE(Coverage(img, hc.Size, hourDeg, 63, Qt::black), 0.9) << "hour hand";
    EXPECT_GE(Coverage(img, hc.Size, minDeg, 81, Qt::black), 0.9) << "minute hand";
    EXPECT_GE(Coverage(img, hc.Size, secDeg, 90, Qt::red), 0.9) << "second hand";
    // Nothing of the hour hand's colour where no hand points (opposite side).
    EXPECT_LE(Coverage(img, hc.Size, hourDeg + 180, 63, Qt::black), 0.2);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AnalogHands,
                         ::testing::Values(HandCase{80, 3, 0, 40, TAnalogClockType::act12Hour},
                                           HandCase{120, 10, 10, 25, TAnalogClockType::act12Hour},
                                           HandCase{200, 6, 30, 45, TAnalogClockType::act12Hour},
                                           HandCase{200, 6, 30, 45, TAnalogClockType::act24Hour},
                                           HandCase{300, 18, 20, 50, TAnalogClockType::act24Hour}));

TEST_F(AnalogClockTest, FaceOutlineWidthGrowsWithSize) {
    for (int size : {150, 250}) {
        THXAnalogClock c;
        c.SetDisplayDate(false);
        c.SetSize(size);
        c.SetDateTime(At(3, 0, 0));
        c.PaintDial();
        const QImage& img = c.DialBitmap();
        // Outline pixels along the left edge at the middle row.
        int dark = 0;
        for (int x = 0; x < 6; ++x)
            if (qGray(img.pixel(x, size / 2 + 20)) < 100) ++dark;
        EXPECT_EQ(dark >= 2, size >= 200) << size;
    }
}

TEST_F(AnalogClockTest, NumeralsFollowTheDial) {
    // The 24-hour dial has a two-digit numeral at the right ("6" becomes its
    // bottom, "12" its bottom numeral): compare the ink in the bottom region.
    auto ink = [](const QImage& img, QRect r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(img.pixel(x, y)) < 128) ++n;
        return n;
    };
    THXAnalogClock a, b;
    for (THXAnalogClock* c : {&a, &b}) {
        c->SetDisplayDate(false);
        c->SetShowSeconds(false);
        c->SetSize(200);
        c->SetDateTime(At(0, 0, 0)); // hands point up only
    }
    b.SetClockType(TAnalogClockType::act24Hour);
    a.PaintDial();
    b.PaintDial();
    const QRect bottom(70, 150, 60, 45);
    EXPECT_GT(ink(b.DialBitmap(), bottom), ink(a.DialBitmap(), bottom) * 1.3);
}

TEST_F(AnalogClockTest, EmptyOrWideDateTextDraws) {
    THXAnalogClock c;
    c.SetSize(100);
    c.SetDateFormat("");
    c.SetDateTime(At(5, 5, 5));
    c.PaintDial(); // no width to scale by: nothing drawn, nothing divided
    c.SetDateFormat("dddd mmmm d yyyy dddd mmmm");
    c.PaintDial();
    QImage shot(c.size(), QImage::Format_RGB32);
    c.render(&shot);
    EXPECT_FALSE(shot.isNull());
}

TEST_F(AnalogClockTest, RendersWholeControlAtSeveralSizes) {
    for (int size : {40, 100, 180}) {
        THXAnalogClock c;
        c.SetSize(size);
        c.SetColor(clNavy);
        c.SetDateTime(At(9, 15, 0));
        QImage shot(c.size(), QImage::Format_RGB32);
        shot.fill(Qt::green);
        c.render(&shot);
        const QPoint o = c.DialOrigin();
        // The dial's centre is white face or a hand, the control's own
        // background the clock's colour.
        const QRgb centreRight =
            shot.pixel(o.x() + size / 2 + size / 8, o.y() + size / 2 + size / 4);
        EXPECT_EQ(centreRight, qRgb(255, 255, 255)) << size;
        EXPECT_EQ(shot.pixel(shot.width() - 2, shot.height() - 2) == ToQColor(clNavy).rgb() ||
                      o.x() + size >= shot.width() - 2,
                  true);
    }
}

} // namespace

namespace {

// The face at a size and a device pixel ratio: the rim is smoothed, the
// numerals stay on the disc and the hands' tips lie where their lengths say.
struct FaceCase {
    int Size;
    double Ratio;
};

class AnalogFace : public AnalogClockTest, public ::testing::WithParamInterface<FaceCase> {};

TEST_P(AnalogFace, SmoothRimNumeralsOnTheDiscTipsInPlace) {
    const auto [size, ratio] = GetParam();
    THXAnalogClock c;
    c.SetSize(size);
    c.SetShowSeconds(false);
    c.SetDateTime(At(1, 40, 0)); // hour hand at 50 degrees, minute hand at 240
    c.PaintDial(ratio);
    const QImage& img = c.DialBitmap();
    ASSERT_EQ(img.width(), int(std::lround(size * ratio)));
    EXPECT_DOUBLE_EQ(img.devicePixelRatio(), ratio);
    const double r = img.width() / 2.0; // the disc, in device pixels
    const QRgb background = img.pixel(0, 0);
    int smooth = 0, strays = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            const int g = qGray(img.pixel(x, y));
            if (d > r + 0.75 && img.pixel(x, y) != background) ++strays;
            if (std::abs(d - r) < 2 * ratio && g > 40 && g < 200) ++smooth;
        }
    EXPECT_EQ(strays, 0) << "ink outside the disc";
    EXPECT_GE(smooth, 16) << "the rim is not antialiased";

    // The last dark pixel outwards along a hand, in dial pixels.
    auto tip = [&](double degrees) {
        const double a = degrees * std::numbers::pi / 180;
        double last = 0;
        for (double f = 0.2 * (size / 2); f <= 0.92 * (size / 2); f += 0.125) {
            const double x = (size / 2.0 + f * std::sin(a)) * ratio;
            const double y = (size / 2.0 - f * std::cos(a)) * ratio;
            if (qGray(img.pixel(int(x), int(y))) < 128) last = f;
        }
        return last;
    };
    EXPECT_NEAR(tip(50), 0.63 * (size / 2), 1.0) << "hour hand";
    EXPECT_NEAR(tip(240), 0.81 * (size / 2), 1.0) << "minute hand";
}

// Every size between, both dials, a title font that makes the numerals
// large: no ink beyond the disc.
TEST_F(AnalogClockTest, NumeralsStayOnTheDiscAtEverySize) {
    for (const int titleHeight : {-11, -27})
        for (const auto type : {TAnalogClockType::act12Hour, TAnalogClockType::act24Hour})
            for (int size = 50; size <= 300; size += 5) {
                THXAnalogClock c;
                TFont title;
                title.Height = titleHeight;
                c.SetTitleFont(title);
                TFont face;
                face.Name = "DejaVu Sans";
                face.Bold = true;
                face.Color = clBlack;
                c.SetFont(face);
                c.SetClockType(type);
                c.SetSize(size);
                c.PaintDial(1);
                const QImage& img = c.DialBitmap();
                const QRgb background = img.pixel(0, 0);
                const double pw = std::max(1, size / 100), r = size / 2.0;
                int strays = 0, onRim = 0;
                for (int y = 0; y < size; ++y)
                    for (int x = 0; x < size; ++x) {
                        const double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
                        if (d > r + 0.75 && img.pixel(x, y) != background) ++strays;
                        // Just inside the outline only the white face shows.
                        if (d > r - 2 * pw - 0.5 && d < r - pw - 1.5 && qGray(img.pixel(x, y)) < 200)
                            ++onRim;
                    }
                EXPECT_EQ(strays, 0) << size << " title " << titleHeight;
                EXPECT_EQ(onRim, 0) << size << " title " << titleHeight;
            }
}

INSTANTIATE_TEST_SUITE_P(Sizes, AnalogFace,
                         ::testing::Values(FaceCase{50, 1}, FaceCase{150, 1}, FaceCase{300, 1},
                                           FaceCase{150, 2}));

} // namespace
