#include "platform/qt/QtGraphics.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>

QColor ToQColor(TColor c) {
    if (c >= 0) return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
    const QPalette pal = QApplication::palette();
    switch (c & 0xFF) {
    case 5:
        return pal.color(QPalette::Base); // window
    case 6:
        return pal.color(QPalette::WindowText); // window frame
    case 8:
        return pal.color(QPalette::Text); // window text
    case 15:
        return pal.color(QPalette::Button); // button face
    case 16:
        return pal.color(QPalette::Mid); // button shadow
    case 18:
        return pal.color(QPalette::ButtonText); // button text
    case 20:
        return pal.color(QPalette::Light); // button highlight
    case 21:
        return pal.color(QPalette::Shadow); // 3D dark shadow
    case 22:
        return pal.color(QPalette::Midlight); // 3D light
    default:
        return pal.color(QPalette::WindowText);
    }
}

int FontPixelHeight(const TFont& f) {
    if (f.Height < 0) return -f.Height;
    if (f.Height > 0) return f.Height;
    return int(std::lround(f.Size * 96.0 / 72.0));
}

QFont ToQFont(const TFont& f) {
    QFont q(QString::fromStdString(f.Name));
    q.setPixelSize(std::max(1, FontPixelHeight(f)));
    q.setBold(f.Bold);
    q.setItalic(f.Italic);
    q.setUnderline(f.Underline);
    q.setStrikeOut(f.StrikeOut);
    return q;
}

TColor FromQColor(const QColor& c) {
    return RGB(c.red(), c.green(), c.blue());
}

TFont FromQFont(const QFont& q, const TFont& base) {
    TFont f = base;
    f.Name = q.family().toStdString();
    int pixels = q.pixelSize();
    if (pixels <= 0) pixels = int(std::lround(q.pointSizeF() * 96.0 / 72.0));
    f.Height = -std::max(1, pixels);
    f.Size = std::max(1, int(std::lround(-f.Height * 72.0 / 96.0)));
    f.Bold = q.bold();
    f.Italic = q.italic();
    f.Underline = q.underline();
    f.StrikeOut = q.strikeOut();
    return f;
}
