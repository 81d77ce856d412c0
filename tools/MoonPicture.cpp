#include "tools/MoonPicture.h"

#include "tools/Moon.h"

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

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

void TMoon::PaintShadow(QImage& image, int cx, int radius, int cy, double phase) {
    const double c = CosDegrees(phase);
    auto span = [&](int y, int from, int to) {
        if (y < 0 || y >= image.height()) return;
        if (from > to) std::swap(from, to);
        for (int x = std::max(from, 0); x <= std::min(to, image.width() - 1); ++x)
            image.setPixel(x, y, qRgb(0, 0, 0));
    };
    for (int e = 0; e <= radius; ++e) {
        const double f = std::sqrt(double(radius) * radius - double(e) * e);
        const int limb = int(std::lround(f)), term = int(std::lround(c * f));
        // A terminator on the limb leaves nothing dark on that row.
        if (term == limb) continue;
        int from, to;
        if (phase >= 180) {
            from = cx + term;
            to = cx + limb;
        } else {
            from = cx - term;
            to = cx - limb;
        }
        span(cy + e, from, to);
        if (e) span(cy - e, from, to);
    }
}

QImage TMoon::Shaded(TMoonSize size) const {
    QImage picture = QImage(ColourName(size)).convertToFormat(QImage::Format_RGB32);
    const TGeometry g = Geometry(size);
    PaintShadow(picture, g.CentreX, g.Radius, g.CentreY, FPhase);
    return picture;
}

void TMoon::Reload() {
    FPicture = Shaded(FSize);
    update();
}

QIcon TMoon::Icon() const {
    QIcon icon;
    auto add = [&](TMoonSize size) {
        QPixmap pixmap = QPixmap::fromImage(Shaded(size));
        // The mask is black on the disc: those pixels are the opaque ones.
        pixmap.setMask(QBitmap::fromImage(QImage(MaskName(size)).convertToFormat(QImage::Format_Mono)));
        icon.addPixmap(pixmap);
    };
    const int side = QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    add(side <= 16 ? TMoonSize::ms16 : side >= 64 ? TMoonSize::ms64 : TMoonSize::ms32);
    for (TMoonSize s : {TMoonSize::ms16, TMoonSize::ms32, TMoonSize::ms64}) add(s);
    return icon;
}

void TMoon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, FPicture);
}
