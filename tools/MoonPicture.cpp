#include "tools/MoonPicture.h"

#include "tools/Moon.h"

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

const char* ColourName(TMoonSize s) {
    return s == TMoonSize::ms64 ? ":/moon/MOON_LARGE.png"
           : s == TMoonSize::ms32 ? ":/moon/MOON_SMALL.png"
                                  : ":/moon/MOON_TINY.png";
}
const char* MaskName(TMoonSize s) {
    return s == TMoonSize::ms64 ? ":/moon/MOON_BW_LARGE.png"
           : s == TMoonSize::ms32 ? ":/moon/MOON_BW_SMALL.png"
                                  : ":/moon/MOON_BW_TINY.png";
}

} // namespace

// The pictures live in a static library: its resources are registered by hand.
static void InitResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(moon);
        return true;
    }();
    (void)done;
}

TMoon::TMoon(QWidget* owner) : QWidget(owner) {
    InitResources();
    FDate = NowUTC();
    FPhase = NormalizeDegrees(LunarPhaseAngle(FDate));
    SetMoonSize(TMoonSize::ms64);
}

TMoon::TGeometry TMoon::Geometry(TMoonSize size) {
    switch (size) {
    case TMoonSize::ms64: return {64, 28, 31, 28};
    case TMoonSize::ms32: return {32, 14, 15, 14};
    case TMoonSize::ms16: return {16, 7, 7, 7};
    }
    return {64, 28, 31, 28};
}

void TMoon::SetMoonSize(TMoonSize size) {
    FSize = size;
    const int side = Geometry(size).Side;
    setFixedSize(side, side);
    Reload();
}

void TMoon::SetDate(TDateTime utc) {
    FDate = utc;
    FPhase = NormalizeDegrees(LunarPhaseAngle(utc));
    Reload();
}

QRgb TMoon::Unlit(QRgb lit) {
    return qRgb(qRed(lit) / 4, qGreen(lit) / 4, qBlue(lit) / 4);
}

void TMoon::PaintShadow(QImage& image, int cx, int radius, int cy, double phase) {
    double unlit = (1 - CosDegrees(phase)) / 2;
    // A sliver thinner than a quarter of a pixel at its widest cannot be
    // drawn: the disc stays clear at full moon and wholly unlit at new moon.
    if (unlit < 0.004) return;
    if (unlit > 0.996) unlit = 1;
    const bool onRight = phase >= 180; // waning: the dark side is the right
    const int last = image.width() - 1;
    // The pictures' disc holds the pixels whose centres lie within radius + 1/2
    // of the centre pixel. Each row gets its share of dark pixels from the
    // dark limb on, the rounding carried on to the next row so that the dark
    // part of the disc keeps to the unlit fraction; the dark side reaches past
    // the limb over the picture's soft edge.
    const double reach = radius + 0.5;
    double carry = 0;
    for (int e = -radius; e <= radius; ++e) {
        const int y = cy + e;
        const int half = int(std::floor(std::sqrt(reach * reach - double(e) * e)));
        const int n = 2 * half + 1;
        const double want = unlit * n + carry;
        const int k = std::clamp(int(std::lround(want)), 0, n);
        carry = want - k;
        if (k == 0 || y < 0 || y > image.height() - 1) continue;
        int from = 0, to = last;
        if (k < n) {
            if (onRight)
                from = cx + half - k + 1;
            else
                to = cx - half + k - 1;
        }
        for (int x = std::max(from, 0); x <= std::min(to, last); ++x) image.setPixel(x, y, Unlit(image.pixel(x, y)));
    }
}

QImage TMoon::Shaded(TMoonSize size, int ratio) const {
    // On a screen of two device pixels to the pixel the pictures drawn at
    // twice the size are shaded at their doubled centre and radius.
    const int k = ratio >= 2 ? 2 : 1;
    const QString name = QString::fromLatin1(ColourName(size)).replace(".png", k == 2 ? "@2x.png" : ".png");
    QImage picture = QImage(name).convertToFormat(QImage::Format_RGB32);
    const TGeometry g = Geometry(size);
    PaintShadow(picture, k * g.CentreX, k * g.Radius, k * g.CentreY, FPhase);
    picture.setDevicePixelRatio(k);
    return picture;
}

int TMoon::Ratio() const { return devicePixelRatioF() > 1 ? 2 : 1; }

void TMoon::Reload() {
    FPicture = Shaded(FSize, Ratio());
    update();
}

QIcon TMoon::Icon() const {
    QIcon icon;
    auto add = [&](TMoonSize size, int ratio) {
        QPixmap pixmap = QPixmap::fromImage(Shaded(size, ratio));
        // The mask is black on the disc: those pixels are the opaque ones.
        const QString mask = QString::fromLatin1(MaskName(size)).replace(".png", ratio == 2 ? "@2x.png" : ".png");
        pixmap.setMask(QBitmap::fromImage(QImage(mask).convertToFormat(QImage::Format_Mono)));
        icon.addPixmap(pixmap);
    };
    const int side = QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    add(side <= 16 ? TMoonSize::ms16 : side >= 64 ? TMoonSize::ms64 : TMoonSize::ms32, 1);
    for (TMoonSize s : {TMoonSize::ms16, TMoonSize::ms32, TMoonSize::ms64}) add(s, 1);
    // A sharp screen takes the pictures of twice the size.
    for (TMoonSize s : {TMoonSize::ms16, TMoonSize::ms32, TMoonSize::ms64}) add(s, 2);
    return icon;
}

void TMoon::paintEvent(QPaintEvent*) {
    // The window may have moved to a screen of another pixel ratio.
    if (int(FPicture.devicePixelRatio()) != Ratio()) FPicture = Shaded(FSize, Ratio());
    QPainter p(this);
    p.drawImage(0, 0, FPicture);
}
