#include "clockapp/controls/HXAnalogClock.h"

#include "platform/qt/QtGraphics.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

void THand::SetBackRadius(int v) {
    if (v == FBackRadius) return;
    FBackRadius = v;
    FClock->Repaint();
}
void THand::SetColor(TColor v) {
    if (v == FColor) return;
    FColor = v;
    FClock->Repaint();
}
void THand::SetRadius(int v) {
    if (v == FRadius) return;
    FRadius = v;
    FClock->Repaint();
}
void THand::SetWidth(int v) {
    if (v == FWidth) return;
    FWidth = v;
    FClock->Repaint();
}

void THXClockTitle::mousePressEvent(QMouseEvent* e) {
    if (OnMouseDown)
        OnMouseDown(e);
    else
        QLabel::mousePressEvent(e);
}

THXAnalogClock::THXAnalogClock(QWidget* owner) : QFrame(owner), FDateTime(Now()) {
    TitlePanel = new THXClockTitle(this);
    TitlePanel->setObjectName("TitlePanel");
    TitlePanel->setGeometry(0, 1, 10, 30);
    TitlePanel->setAlignment(Qt::AlignCenter);
    // A panel of its own: the face of a button, whatever the clock's colour.
    TitlePanel->setAutoFillBackground(true);
    QPalette tp = TitlePanel->palette();
    tp.setColor(QPalette::Window, ToQColor(clBtnFace));
    TitlePanel->setPalette(tp);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SecondsHand.SetWidth(1);
    MinutesHand.SetBackRadius(0);
    MinutesHand.SetColor(0);
    MinutesHand.SetRadius(SecondsHand.Radius() * 90 / 100);
    HoursHand.SetBackRadius(0);
    HoursHand.SetColor(0);
    HoursHand.SetRadius(SecondsHand.Radius() * 70 / 100);
    FFont.Color = clBlack;
    setGeometry(0, 0, 100, 100);
    int ms;
    DecodeTime(FDateTime, FHour, FMinute, FSecond, ms);
    Layout();
}

THXAnalogClock::~THXAnalogClock() = default;

void THXAnalogClock::Repaint() {
    ++FRepaints;
    update();
}

void THXAnalogClock::Tick() {
    int ms;
    DecodeTime(FDateTime, FHour, FMinute, FSecond, ms);
    Repaint();
    if (FSecond != FLastSecond) {
        FLastSecond = FSecond;
        if (OnSecond) OnSecond(this, uint16_t(FSecond));
    }
    if (FMinute != FLastMinute) {
        FLastMinute = FMinute;
        if (OnMinute) OnMinute(this, uint16_t(FMinute));
    }
    if (FHour != FLastHour) {
        FLastHour = FHour;
        if (OnHour) OnHour(this, uint16_t(FHour));
    }
}

void THXAnalogClock::Loaded() {
    if (FAutoCenter) Center = {FSize / 2, FSize / 2};
    int ms;
    DecodeTime(Now(), FLastHour, FLastMinute, FLastSecond, ms);
}

void THXAnalogClock::SetDateTime(TDateTime v) {
    if (v == FDateTime) return;
    FDateTime = v;
    Tick();
}
void THXAnalogClock::SetDateFormat(const std::string& v) {
    if (v == FDateFormat) return;
    FDateFormat = v;
    Tick();
}
void THXAnalogClock::SetShowSeconds(bool v) {
    if (v == FShowSeconds) return;
    FShowSeconds = v;
    Tick();
}
void THXAnalogClock::SetClockType(TAnalogClockType v) {
    if (v == FClockType) return;
    FClockType = v;
    Tick();
}
void THXAnalogClock::SetDisplayDate(bool v) {
    if (v == FDisplayDate) return;
    FDisplayDate = v;
    Tick();
}
void THXAnalogClock::SetClockTitle(const std::string& v) {
    if (v == FClockTitle) return;
    FClockTitle = v;
    Layout();
}
void THXAnalogClock::SetSize(int v) {
    if (v == FSize) return;
    FSize = std::max(1, v);
    Layout();
}
void THXAnalogClock::SetTitleFont(const TFont& v) {
    FTitleFont = v;
    Layout();
}
void THXAnalogClock::SetTitleHint(const std::string& v) {
    if (v == FTitleHint) return;
    FTitleHint = v;
    UpdateTitleTip();
}
void THXAnalogClock::UpdateTitleTip() {
    const QString full = QString::fromStdString(FClockTitle);
    const QString hint = QString::fromStdString(FTitleHint);
    TitlePanel->setToolTip(TitlePanel->text() == full ? hint : full + "\n" + hint);
}
void THXAnalogClock::SetAutoCenter(bool v) {
    if (v == FAutoCenter) return;
    if (v) Center = {FSize / 2, FSize / 2};
    FAutoCenter = v;
    Repaint();
}
void THXAnalogClock::SetFont(const TFont& v) {
    FFont = v;
    Repaint();
}
void THXAnalogClock::SetColor(TColor v) {
    if (v == FColor) return;
    FColor = v;
    Repaint();
}
void THXAnalogClock::SetBevelOuter(TBevelCut v) {
    if (v == FBevelOuter) return;
    FBevelOuter = v;
    Repaint();
}

int ClockTitleRoom(const QFontMetrics& metrics) {
    return metrics.horizontalAdvance(QString(40, QLatin1Char('n')));
}

void THXAnalogClock::Layout() {
    const int b = BevelWidth();
    const QFont tf = ToQFont(FTitleFont);
    TitlePanel->setAlignment(Qt::AlignCenter);
    TitlePanel->setFont(tf);
    QPalette pal = TitlePanel->palette();
    pal.setColor(QPalette::WindowText, ToQColor(FTitleFont.Color));
    TitlePanel->setPalette(pal);
    const QFontMetrics metrics(tf);
    const QString title = QString::fromStdString(FClockTitle);
    const int fullWidth = metrics.horizontalAdvance(title);
    const int textWidth = std::min(fullWidth, ClockTitleRoom(metrics));
    const int titleWidth = std::max(FSize + 2 * b + 2, textWidth + 12);
    TitlePanel->setText(fullWidth <= titleWidth - 12
                            ? title
                            : metrics.elidedText(title, Qt::ElideRight, titleWidth - 12));
    UpdateTitleTip();
    const int titleHeight = FontPixelHeight(FTitleFont) + 4;
    TitlePanel->setGeometry(0, 1, titleWidth, titleHeight);
    const int w = std::max(FSize + 2 * b + 2, titleWidth);
    const int h = TitlePanel->y() + titleHeight + FSize + 2 * b;
    if (width() != w || height() != h) resize(w, h);
    Center = {FSize / 2, FSize / 2};
}

QPoint THXAnalogClock::DialOrigin() const {
    const int b = BevelWidth();
    return {b + (TitlePanel->width() - FSize) / 2, height() - FSize - b};
}

// Smoothed lines from the centre pixel, ending flat at the hand's length, so
// a tip lies where the hand's radius puts it. A pen of odd width runs
// through pixel centres and one of even width between pixels, so upright
// and level hands stay sharp.
void THXAnalogClock::DrawHand(QPainter& p, double angle, const THand& hand) {
    const double half = hand.Width() % 2 ? 0.5 : 0.0;
    const double cx = FSize / 2 + half, cy = FSize / 2 + half;
    const double r0 = hand.BackRadius() / 100.0 * (FSize / 2);
    const double r1 = hand.Radius() / 100.0 * (FSize / 2);
    const double c = angle + 3 * std::numbers::pi / 2;
    p.setPen(QPen(ToQColor(hand.Color()), hand.Width(), Qt::SolidLine, Qt::FlatCap));
    // A one-pixel line smoothed once is a pale double line where it runs
    // aslant; drawn three times its partly covered pixels take the hand's
    // full colour while the edges stay soft.
    const int strokes = hand.Width() <= 1 ? 3 : 1;
    for (int i = 0; i < strokes; ++i) {
        if (r0 > 0)
            p.drawLine(QPointF(cx, cy), QPointF(cx - std::cos(c) * r0, cy - std::sin(c) * r0));
        p.drawLine(QPointF(cx, cy), QPointF(cx + std::cos(c) * r1, cy + std::sin(c) * r1));
    }
}

namespace {
// Moves a numeral's text origin towards the centre, one pixel at a time,
// until its ink lies within the circle of radius r about the centre.
QPointF InsideCircle(const QFontMetricsF& fm, const QString& text, QPointF origin, QPointF centre,
                     double r) {
    const QRectF ink = fm.tightBoundingRect(text);
    auto fits = [&](QPointF o) {
        const QRectF box = ink.translated(o);
        for (const QPointF& corner :
             {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
            if (std::hypot(corner.x() - centre.x(), corner.y() - centre.y()) > r) return false;
        return true;
    };
    const QPointF mid = ink.center() + origin;
    const QPointF towards = centre - mid;
    const double length = std::hypot(towards.x(), towards.y());
    if (length < 1) return origin;
    const QPointF step = towards / length;
    for (int i = 0; i < int(length) && !fits(origin); ++i)
        origin += step;
    return origin;
}
} // namespace

void THXAnalogClock::PaintDial(double ratio) {
    const int s = FSize;
    if (ratio <= 0) ratio = devicePixelRatioF();
    const QSize pixels(int(std::lround(s * ratio)), int(std::lround(s * ratio)));
    if (FDial.size() != pixels || FDial.devicePixelRatio() != ratio) {
        FDial = QImage(pixels, QImage::Format_RGB32);
        FDial.setDevicePixelRatio(ratio);
    }
    const QColor parentBrush =
        parentWidget() ? parentWidget()->palette().color(QPalette::Window) : ToQColor(FColor);
    FDial.fill(parentBrush);
    QPainter p(&FDial);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    TFont dialFont = FFont;
    dialFont.Size = std::max(5, height() / 9);
    dialFont.Height = -int(std::lround(dialFont.Size * 96.0 / 72.0));
    QFont qf = ToQFont(dialFont);
    p.setFont(qf);

    // The outline's stroke lies within the square, so no part of it is cut.
    const int pw = std::max(1, s / 100);
    p.setPen(QPen(ToQColor(FFont.Color), pw));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(pw / 2.0, pw / 2.0, s - pw, s - pw));

    const bool h24 = FClockType == TAnalogClockType::act24Hour;
    QFontMetrics fm(qf);
    const QFontMetricsF fmf(qf);
    const int fh = std::abs(dialFont.Height);
    const QPointF centre(s / 2.0, s / 2.0);
    const double inside = s / 2.0 - 2 * pw; // clear of the outline, as the numerals are placed
    auto text = [&](const char* t, int x, int y) {
        const QString q = QString::fromLatin1(t);
        p.drawText(InsideCircle(fmf, q, QPointF(x, y + fm.ascent()), centre, inside), q);
    };
    auto w = [&](const char* t) { return fm.horizontalAdvance(QString::fromLatin1(t)); };
    p.setPen(ToQColor(FFont.Color));
    const char* top = h24 ? "24" : "12";
    const char* right = h24 ? "6" : "3";
    const char* bottom = h24 ? "12" : "6";
    const char* left = h24 ? "18" : "9";
    text(top, s / 2 - w(top) / 2, 2 * pw);
    text(right, s - 2 * pw - w(right), s / 2 - std::abs(dialFont.Height / 2));
    text(bottom, s / 2 - w(bottom) / 2, s - 2 * pw - fh);
    text(left, 2 * pw, s / 2 - std::abs(dialFont.Height / 2));

    if (FDisplayDate) {
        const QString date = QString::fromStdString(FormatDateTime(FDateFormat, FDateTime));
        const int tw = fm.horizontalAdvance(date);
        // An empty date has no width to scale by: nothing to draw.
        if (tw > 0) {
            const int size = std::min(
                int(std::trunc(std::lround(s * 0.75) / double(tw) * dialFont.Size)), dialFont.Size);
            QFont df = qf;
            df.setPixelSize(std::max(1, int(std::lround(size * 96.0 / 72.0))));
            p.setFont(df);
            QFontMetrics dfm(df);
            p.drawText(QPoint((s - dfm.horizontalAdvance(date)) / 2, s * 4 / 7 + dfm.ascent()),
                       date);
        }
    }

    const double turn = 2 * std::numbers::pi;
    DrawHand(p, (FHour + FMinute / 60.0) * turn / (h24 ? 24 : 12), HoursHand);
    DrawHand(p, FMinute * turn / 60, MinutesHand);
    if (FShowSeconds) DrawHand(p, FSecond * turn / 60, SecondsHand);
}

void THXAnalogClock::paintEvent(QPaintEvent*) {
    PaintDial();
    QPainter p(this);
    p.fillRect(rect(), ToQColor(FColor));
    if (FBevelOuter != TBevelCut::bvNone) {
        const QPalette pal = palette();
        const bool raised = FBevelOuter == TBevelCut::bvRaised;
        const QColor tl = raised ? pal.color(QPalette::Light) : pal.color(QPalette::Dark);
        const QColor br = raised ? pal.color(QPalette::Dark) : pal.color(QPalette::Light);
        p.fillRect(0, 0, width(), 1, tl);
        p.fillRect(0, 0, 1, height(), tl);
        p.fillRect(0, height() - 1, width(), 1, br);
        p.fillRect(width() - 1, 0, 1, height(), br);
    }
    p.drawImage(DialOrigin(), FDial);
}

void THXAnalogClock::resizeEvent(QResizeEvent* e) {
    if (FAutoCenter) Center = {FSize / 2, FSize / 2};
    QFrame::resizeEvent(e);
}

void THXAnalogClock::enterEvent(QEnterEvent* e) {
    QFrame::enterEvent(e);
    if (OnMouseEnter) OnMouseEnter(this);
}

void THXAnalogClock::leaveEvent(QEvent* e) {
    QFrame::leaveEvent(e);
    if (OnMouseLeave) OnMouseLeave(this);
}

void THXAnalogClock::mousePressEvent(QMouseEvent* e) {
    QFrame::mousePressEvent(e);
    if (OnMouseDown) OnMouseDown(this, e);
}

void THXAnalogClock::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange) Repaint();
    QFrame::changeEvent(e);
}
