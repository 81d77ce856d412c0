// Draws the moon pictures the astronomy window shades: a full moon in colour
// and its mask at 64, 32 and 16 pixels, each disc at the centre and radius
// the picture control expects, and each again at twice the size ("@2x",
// centre and radius doubled) for screens of two device pixels to the pixel.
// Run: hx_mkmoon OUTDIR
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>

namespace {

struct Size {
    const char* colour;
    const char* mask;
    int side, cy, cx, r;
};
constexpr Size kSizes[] = {{"MOON_LARGE", "MOON_BW_LARGE", 64, 28, 31, 28},
                           {"MOON_SMALL", "MOON_BW_SMALL", 32, 14, 15, 14},
                           {"MOON_TINY", "MOON_BW_TINY", 16, 7, 7, 7}};

// Dark seas, as fractions of the radius from the centre: x, y, rx, ry.
constexpr double kMaria[][4] = {{-0.30, -0.35, 0.28, 0.22}, {0.05, -0.40, 0.22, 0.18},
                                {0.30, -0.10, 0.20, 0.24},  {-0.45, 0.05, 0.20, 0.30},
                                {0.10, 0.15, 0.16, 0.14},   {-0.15, 0.45, 0.14, 0.10}};

bool Draw(const Size& s, const QString& out, const QString& suffix) {
    const QRectF disc(s.cx - s.r, s.cy - s.r, 2 * s.r + 1, 2 * s.r + 1);
    QImage colour(s.side, s.side, QImage::Format_RGB32);
    colour.fill(Qt::black);
    {
        QPainter p(&colour);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(disc.center(), s.r);
        g.setColorAt(0, QColor(236, 234, 224));
        g.setColorAt(1, QColor(176, 174, 166));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(disc);
        p.setBrush(QColor(120, 120, 116, 150));
        for (const auto& m : kMaria)
            p.drawEllipse(QPointF(disc.center().x() + m[0] * s.r, disc.center().y() + m[1] * s.r),
                          m[2] * s.r, m[3] * s.r);
    }
    QImage mask(s.side, s.side, QImage::Format_Mono);
    mask.fill(0);
    {
        QImage grey(s.side, s.side, QImage::Format_RGB32);
        grey.fill(Qt::white);
        QPainter p(&grey);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(disc);
        p.end();
        mask = grey.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    }
    return colour.save(out + "/" + s.colour + suffix + ".png") && mask.save(out + "/" + s.mask + suffix + ".png");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hx_mkmoon OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (const Size& s : kSizes) {
        const Size twice{s.colour, s.mask, 2 * s.side, 2 * s.cy, 2 * s.cx, 2 * s.r};
        if (!Draw(s, out, QString()) || !Draw(twice, out, QStringLiteral("@2x"))) {
            std::fprintf(stderr, "hx_mkmoon: cannot write to %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
