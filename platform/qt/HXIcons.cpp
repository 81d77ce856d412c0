#include "platform/qt/HXIcons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

QPixmap HoroluxPixmap(int size, THXIconKind kind) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = size / 2.0 - 1;
    const QPointF c(size / 2.0, size / 2.0);
    QColor ring(0, 200, 0);
    if (kind == THXIconKind::SyncConnect)
        ring = QColor(230, 200, 0);
    else if (kind == THXIconKind::SyncSuccess)
        ring = QColor(0, 160, 255);
    else if (kind == THXIconKind::SyncFail)
        ring = QColor(220, 0, 0);
    p.setBrush(Qt::black);
    p.setPen(QPen(ring, std::max(1.0, size / 12.0)));
    p.drawEllipse(c, r - size / 24.0, r - size / 24.0);
    p.setPen(QPen(QColor(0, 255, 0), std::max(1.0, size / 14.0), Qt::SolidLine, Qt::RoundCap));
    // Ten past ten, the watchmaker's hour.
    auto hand = [&](double angleDeg, double len) {
        const double a = (angleDeg - 90) * M_PI / 180.0;
        p.drawLine(c, c + QPointF(std::cos(a) * len, std::sin(a) * len));
    };
    hand(305, r * 0.5);
    hand(60, r * 0.75);
    return pm;
}

QIcon HoroluxIcon(THXIconKind kind) {
    QIcon icon;
    for (int s : {16, 22, 32, 48, 64, 128})
        icon.addPixmap(HoroluxPixmap(s, kind));
    return icon;
}
