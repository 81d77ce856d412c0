#include "globe/GlobeCanvas.h"

#include <QFile>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/qt/QtGraphics.h"

// ---- texture ----

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
constexpr qint64 kMaxTextureFile = 256 * 1024 * 1024;
const char* kNotTexture = "Globe texture must be a 256 color RGB encoded bitmap";
const char* kTextureShort = "The texture file is cut short";
const char* kTextureLarge = "The texture file is larger than 256 MB";
const char* kTextureUnreadable = "The texture file cannot be read";
}  // namespace

TTextureData::TTextureData() = default;

void TTextureData::Clear() {
    Bits.clear();
    W = H = Stride = 0;
    std::memset(Rgb, 0, sizeof Rgb);
}

bool TTextureData::Load(const std::string& fileName) {
    QFile f(QString::fromStdString(fileName));
    if (!f.exists()) {
        Error = "not found";
        return false;
    }
    Clear();
    try {
        if (f.size() > kMaxTextureFile)
            throw EGlobeException(kTextureLarge);
        if (!f.open(QIODevice::ReadOnly))
            throw EGlobeException(kTextureUnreadable);
        const QByteArray data = f.readAll();
        const auto* d = reinterpret_cast<const uint8_t*>(data.constData());
        const int64_t size = data.size();
        if (size >= 2 && (d[0] != 'B' || d[1] != 'M'))
            throw EGlobeException(kNotTexture);
        if (size < 54)
            throw EGlobeException(kTextureShort);
        const int64_t offBits = Le32(d + 10);
        const int64_t hdrSize = Le32(d + 14);
        const int32_t width = static_cast<int32_t>(Le32(d + 18));
        const int32_t height = static_cast<int32_t>(Le32(d + 22));
        const uint16_t bitCount = Le16(d + 28);
        const uint32_t compression = Le32(d + 30);
        const int64_t sizeImage = Le32(d + 34);
        int64_t clrUsed = Le32(d + 46);
        if (hdrSize < 40 || bitCount != 8 || compression != 0 || width <= 0 || height == 0 || height == INT32_MIN)
            throw EGlobeException(kNotTexture);
        if (clrUsed == 0)
            clrUsed = 256;
        if (clrUsed > 256)
            throw EGlobeException(kNotTexture);
        if (14 + hdrSize + clrUsed * 4 > size)
            throw EGlobeException(kTextureShort);
        const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
        const int64_t minStride = (static_cast<int64_t>(width) * 8 + 31) / 32 * 4;
        const int64_t stride = sizeImage ? sizeImage / rows : minStride;
        if (stride < width || offBits < 14)
            throw EGlobeException(kNotTexture);
        if (offBits + stride * rows > size)
            throw EGlobeException(kTextureShort);
        for (int64_t i = 0; i < clrUsed; ++i) {
            const uint8_t* q = d + 14 + hdrSize + 4 * i;
            Rgb[i] = (static_cast<uint32_t>(q[2]) << 16) | (q[1] << 8) | q[0];
        }
        W = width;
        H = static_cast<int32_t>(rows);
        Stride = static_cast<int32_t>(stride);
        Bits.resize(static_cast<size_t>(stride * rows));
        for (int64_t r = 0; r < rows; ++r) {
            // Kept bottom-up: a top-down file is turned over.
            const int64_t src = height < 0 ? rows - 1 - r : r;
            std::memcpy(Bits.data() + r * stride, d + offBits + src * stride, static_cast<size_t>(stride));
        }
        Error.clear();
        return true;
    } catch (const std::exception& e) {
        Clear();
        Error = e.what();
        return false;
    }
}

TColor TTextureData::PaletteColor(int32_t index) const {
    if (!Loaded() || index < 0 || index > 255)
        return -1;
    const uint32_t c = Rgb[index];
    return static_cast<TColor>(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
}

TColor TTextureData::PaletteColour(int32_t index) const {
    const TColor c = PaletteColor(index);
    return c < 0 ? 0 : c;
}

int32_t TTextureData::PaletteIndexOf(TColor c) const {
    if (!Loaded())
        return -1;
    for (int i = 0; i < 256; ++i)
        if (PaletteColor(i) == (c & 0xFFFFFF))
            return i;
    return -1;
}

uint8_t TTextureData::Texel(int32_t column, int32_t row) const {
    if (!Loaded())
        return 0;
    column = std::clamp(column, 0, W - 1);
    row = std::clamp(row, 0, H - 1);
    return Bits[static_cast<size_t>(row) * static_cast<size_t>(Stride) + static_cast<size_t>(column)];
}

// ---- fonts and symbols ----

QString WingDingsChar(int code) {
    static const struct {
        int Code;
        char32_t Ch;
    } table[] = {
        {0x22, U'\u2702'}, {0x28, U'\u260E'}, {0x36, U'\u231B'}, {0x41, U'\u270C'}, {0x4A, U'\u263A'},
        {0x4C, U'\u2639'}, {0x4E, U'\u2620'}, {0x51, U'\u2708'}, {0x52, U'\u263C'}, {0x54, U'\u2744'},
        {0x56, U'\u271E'}, {0x58, U'\u2720'}, {0x59, U'\u2721'}, {0x5A, U'\u262A'}, {0x5B, U'\u262F'},
        {0x6C, U'\u25CF'}, {0x6E, U'\u25A0'}, {0x6F, U'\u25A1'}, {0x71, U'\u2751'}, {0x72, U'\u2752'},
        {0x74, U'\u29EB'}, {0x75, U'\u25C6'}, {0x76, U'\u2756'}, {0x77, U'\u2B25'}, {0x9F, U'\u2022'},
        {0xA1, U'\u25CB'}, {0xA4, U'\u25C9'}, {0xA5, U'\u25CE'}, {0xA7, U'\u25AA'}, {0xA8, U'\u25FB'},
        {0xAA, U'\u2726'}, {0xAB, U'\u2605'}, {0xAC, U'\u2736'}, {0xAD, U'\u2734'}, {0xAE, U'\u2739'},
        {0xB1, U'\u2316'}, {0xFB, U'\u2717'}, {0xFC, U'\u2713'}, {0xFD, U'\u2612'}, {0xFE, U'\u2611'},
    };
    for (const auto& e : table)
        if (e.Code == code)
            return QString::fromUcs4(&e.Ch, 1);
    return QString::fromStdString(Cp1252ToUtf8(std::string(1, static_cast<char>(code & 0xFF))));
}

QFont ToQGlobeFont(const TGlobeFont& f, int32_t pixelHeight) {
    QFont q(QString::fromStdString(f.FontName));
    q.setPixelSize(std::clamp(pixelHeight < 0 ? -pixelHeight : pixelHeight, 1, 4096));
    q.setBold(f.FontStyle & fsBold);
    q.setItalic(f.FontStyle & fsItalic);
    q.setUnderline(f.FontStyle & fsUnderline);
    q.setStrikeOut(f.FontStyle & fsStrikeOut);
    q.setStyleStrategy(QFont::NoAntialias);
    return q;
}

namespace {
bool IsWingDings(const QFont& f) { return f.family().compare("WingDings", Qt::CaseInsensitive) == 0; }
}  // namespace

// ---- canvas ----

TGlobeCanvas::TGlobeCanvas(TGlobeContext* globe) : Globe(globe) {
    Resize(150, 150, 96);
    SelectStock();
}

TGlobeCanvas::~TGlobeCanvas() { EndOffscreen(); }

bool TGlobeCanvas::Resize(int32_t w, int32_t h, int32_t ppi) {
    if (w <= 0 || h <= 0 || ppi <= 0)
        return false;
    const bool wasActive = Active() && OwnTarget;
    if (wasActive)
        EndOffscreen();
    W = CW = w;
    H = CH = h;
    Image = QImage(w, h, QImage::Format_RGB888);
    Image.fill(Qt::black);
    if (wasActive)
        BeginOffscreen();
    return true;
}

void TGlobeCanvas::BeginOffscreen(QPaintDevice* target, const QTransform& transform) {
    EndOffscreen();
    OwnTarget = target == nullptr;
    Painter = std::make_unique<QPainter>(target ? target : &Image);
    Painter->setRenderHint(QPainter::Antialiasing, false);
    Painter->setRenderHint(QPainter::TextAntialiasing, false);
    Painter->setBackgroundMode(Qt::TransparentMode);
    if (target)
        Painter->setTransform(transform);
    Apply();
}

void TGlobeCanvas::EndOffscreen() {
    if (Painter) {
        Painter->end();
        Painter.reset();
    }
    OwnTarget = true;
}

QPainter* TGlobeCanvas::P() {
    if (!Painter)
        BeginOffscreen();
    return Painter.get();
}

void TGlobeCanvas::Apply() {
    if (!Painter)
        return;
    Painter->setPen(HavePen ? Pen : QPen(Qt::NoPen));
    Painter->setBrush(HaveBrush ? Brush : QBrush(Qt::NoBrush));
}

void TGlobeCanvas::SelectPen(TColor c, TPenStyle s, uint8_t w) {
    // Every object selects its presenter's pen again: the same pen is kept.
    if (PenKey.Valid && PenKey.Color == c && PenKey.Style == static_cast<int>(s) && PenKey.Width == w)
        return;
    PenKey = {true, c, static_cast<int>(s), w};
    HavePen = c != clNoneColor && s != TPenStyle::psClear;
    Qt::PenStyle qs = Qt::SolidLine;
    switch (s) {
    case TPenStyle::psDash: qs = Qt::DashLine; break;
    case TPenStyle::psDot: qs = Qt::DotLine; break;
    case TPenStyle::psDashDot: qs = Qt::DashDotLine; break;
    case TPenStyle::psDashDotDot: qs = Qt::DashDotDotLine; break;
    default: break;
    }
    // Widths 0 and 1 are both the one-pixel line.
    Pen = QPen(HavePen ? ToQColor(c) : QColor(Qt::black), w <= 1 ? 0 : w, qs, w <= 1 ? Qt::SquareCap : Qt::RoundCap,
               Qt::RoundJoin);
    Apply();
}

void TGlobeCanvas::SelectBrush(TColor c, TBrushStyle s) {
    if (BrushKey.Valid && BrushKey.Color == c && BrushKey.Style == static_cast<int>(s))
        return;
    BrushKey = {true, c, static_cast<int>(s), 0};
    HaveBrush = c != clNoneColor && s != TBrushStyle::bsClear;
    static const Qt::BrushStyle hatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                           Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    const Qt::BrushStyle qs = s == TBrushStyle::bsSolid || s == TBrushStyle::bsClear
                                  ? Qt::SolidPattern
                                  : hatch[static_cast<int>(s) - 2];
    Brush = QBrush(HaveBrush ? ToQColor(c) : QColor(Qt::white), qs);
    Apply();
}

void TGlobeCanvas::SelectFont(const TGlobeFont& f, int32_t pixelHeight, TColor c) {
    Font = ToQGlobeFont(f, pixelHeight);
    HaveFont = true;
    TextColor = c == clNoneColor ? QColor() : ToQColor(c);
    FontAngle = f.FontAngle;
}

void TGlobeCanvas::SelectStock() {
    HavePen = HaveBrush = true;
    PenKey.Valid = BrushKey.Valid = false;
    Pen = QPen(Qt::black, 0);
    Brush = QBrush(Qt::white);
    Font = QFont();
    Font.setStyleStrategy(QFont::NoAntialias);
    TextColor = Qt::black;
    FontAngle = 0;
    Apply();
}

namespace {
struct P64 {
    int64_t X, Y;
};
// a * b / c rounded half away from zero, in 128 bits so no product overflows.
int64_t MulDiv64(int64_t a, int64_t b, int64_t c) {
    if (c == 0)
        return 0;
    __int128 n = static_cast<__int128>(a) * b;
    const bool neg = (n < 0) != (c < 0);
    __int128 an = n < 0 ? -n : n, ac = c < 0 ? -static_cast<__int128>(c) : c;
    const __int128 q = (2 * an + ac) / (2 * ac);
    return static_cast<int64_t>(neg ? -q : q);
}
}  // namespace

int TGlobeCanvas::ClipPoints(std::vector<TPoint>& pts, int count, bool closed) {
    if (count <= 0)
        return 0;
    std::vector<P64> a, b;
    a.reserve(static_cast<size_t>(count) + 8);
    for (int i = 0; i < count; ++i)
        a.push_back({pts[static_cast<size_t>(i)].X, pts[static_cast<size_t>(i)].Y});
    a.push_back(closed ? a.front() : a.back());
    const int64_t w = CW, h = CH;
    // Edges: top y = -1, right x = W, bottom y = H, left x = -1.
    for (int pass = 0; pass < 4 && a.size() > 1; ++pass) {
        auto inside = [&](const P64& p) {
            switch (pass) {
            case 0: return p.Y >= -1;
            case 1: return p.X <= w;
            case 2: return p.Y <= h;
            default: return p.X >= -1;
            }
        };
        auto cut = [&](const P64& p1, const P64& p2) {
            if (pass == 0 || pass == 2) {
                const int64_t e = pass == 0 ? -1 : h;
                return P64{p2.X + MulDiv64(e - p2.Y, p1.X - p2.X, p1.Y - p2.Y), e};
            }
            const int64_t e = pass == 1 ? w : -1;
            return P64{e, p2.Y + MulDiv64(e - p2.X, p1.Y - p2.Y, p1.X - p2.X)};
        };
        b.clear();
        const size_t n = a.size();
        for (size_t i = 0; i < n; ++i) {
            const P64& cur = a[i];
            if (i == 0 && !closed) {
                if (inside(cur))
                    b.push_back(cur);
                continue;
            }
            const P64& prev = i == 0 ? a[n - 1] : a[i - 1];
            const bool ci = inside(cur), pi = inside(prev);
            if (ci) {
                if (!pi)
                    b.push_back(cut(prev, cur));
                b.push_back(cur);
            } else if (pi) {
                b.push_back(cut(prev, cur));
            }
        }
        a.swap(b);
    }
    pts.resize(std::max(pts.size(), a.size()));
    for (size_t i = 0; i < a.size(); ++i)
        pts[i] = {static_cast<int32_t>(std::clamp<int64_t>(a[i].X, -1, w)),
                  static_cast<int32_t>(std::clamp<int64_t>(a[i].Y, -1, h))};
    return static_cast<int>(a.size());
}

namespace {
bool NeedsClip(const TPoint* pts, int n, int32_t w, int32_t h) {
    for (int i = 0; i < n; ++i)
        if (pts[i].X < -1 || pts[i].X > w || pts[i].Y < -1 || pts[i].Y > h)
            return true;
    return false;
}
}  // namespace

void TGlobeCanvas::RenderPolyline(const TPoint* pts, int count) {
    if (count < 2)
        return;
    P();
    if (!HavePen)
        return;
    const TPoint* src = pts;
    int n = count;
    if (NeedsClip(pts, count, CW, CH)) {
        Buf.assign(pts, pts + count);
        n = ClipPoints(Buf, count, false);
        src = Buf.data();
    }
    if (n < 2)
        return;
    StrokeRuns(src, n);
}

void TGlobeCanvas::RenderPolygon(const TPoint* pts, int count) {
    if (count < 2)
        return;
    QPainter* p = P();
    if (!HavePen && !HaveBrush)
        return;
    const TPoint* src = pts;
    int n = count;
    if (NeedsClip(pts, count, CW, CH)) {
        Buf.assign(pts, pts + count);
        n = ClipPoints(Buf, count, true);
        src = Buf.data();
    }
    if (n < 2)
        return;
    if (!FillsHere()) {
        p->drawPolygon(reinterpret_cast<const QPoint*>(src), n, Qt::OddEvenFill);
        return;
    }
    if (HaveBrush)
        FillPolygon(src, n);
    if (HavePen) {
        // The outline, closed.
        if (src != Buf.data())
            Buf.assign(src, src + n);
        Buf.resize(static_cast<size_t>(n));
        Buf.push_back(Buf.front());
        StrokeRuns(Buf.data(), n + 1);
    }
}

bool TGlobeCanvas::FillsHere(bool anyBrush) const {
    return Painter && OwnTarget && Painter->transform().isIdentity() && !Painter->hasClipping() &&
           Image.format() == QImage::Format_RGB888 &&
           (anyBrush || (Brush.style() == Qt::SolidPattern && Brush.color().alpha() == 255));
}

void TGlobeCanvas::FillRect(int32_t l, int32_t t, int32_t r, int32_t b, const QColor& c) {
    l = std::max(l, 0);
    t = std::max(t, 0);
    r = std::min(r, W);
    b = std::min(b, H);
    if (l >= r || t >= b)
        return;
    const uchar rgb[3] = {static_cast<uchar>(c.red()), static_cast<uchar>(c.green()), static_cast<uchar>(c.blue())};
    uchar* first = Image.scanLine(t) + 3 * l;
    for (int32_t x = l; x < r; ++x) {
        first[3 * (x - l)] = rgb[0];
        first[3 * (x - l) + 1] = rgb[1];
        first[3 * (x - l) + 2] = rgb[2];
    }
    for (int32_t y = t + 1; y < b; ++y)
        std::memcpy(Image.scanLine(y) + 3 * l, first, static_cast<size_t>(3 * (r - l)));
}

void TGlobeCanvas::FillPolygon(const TPoint* pts, int n) {
    // Even-odd, sampled at pixel centres: pixel (x, y) is filled when
    // (x + 0.5, y + 0.5) lies inside, and a centre on an edge belongs to the
    // right of it. In whole numbers, so two polygons that share an edge share
    // out its pixels exactly, whichever way each runs along it.
    Edges.clear();
    int32_t top = H, bottom = 0;
    for (int i = 0; i < n; ++i) {
        TPoint a = pts[i], b = pts[i + 1 < n ? i + 1 : 0];
        if (a.Y == b.Y)
            continue;
        if (a.Y > b.Y)
            std::swap(a, b);
        const int32_t y0 = std::max(a.Y, 0), y1 = std::min(b.Y, H);
        if (y0 >= y1)
            continue;
        // In row y the crossing is at a.X + (y + 0.5 - a.Y) dx / dy; the
        // first pixel right of it is ceil(crossing - 0.5) = ceil(num / den).
        const int64_t dx = static_cast<int64_t>(b.X) - a.X, dy = static_cast<int64_t>(b.Y) - a.Y;
        const int64_t den = 2 * dy;
        const int64_t num = 2 * a.X * dy + (2 * (static_cast<int64_t>(y0) - a.Y) + 1) * dx - dy;
        const int64_t q = num >= 0 ? (num + den - 1) / den : -((-num) / den);
        const int64_t step = 2 * dx;
        const int64_t fa = step >= 0 ? step / den : -((-step + den - 1) / den);
        Edges.push_back({y0, y1, q, q * den - num, fa, step - fa * den, den});
        top = std::min(top, y0);
        bottom = std::max(bottom, y1);
    }
    if (Edges.empty())
        return;
    std::sort(Edges.begin(), Edges.end(), [](const TEdge& p, const TEdge& q) { return p.Y0 < q.Y0; });
    const QColor c = Brush.color();
    const uchar rgb[3] = {static_cast<uchar>(c.red()), static_cast<uchar>(c.green()), static_cast<uchar>(c.blue())};
    uchar eight[24];
    for (int i = 0; i < 24; ++i)
        eight[i] = rgb[i % 3];
    uchar* bits = Image.bits();
    const qsizetype stride = Image.bytesPerLine();
    size_t next = 0;
    ActiveEdges.clear();
    for (int32_t y = top; y < bottom; ++y) {
        while (next < Edges.size() && Edges[next].Y0 <= y)
            ActiveEdges.push_back(Edges[next++]);
        Cross.clear();
        size_t keep = 0;
        for (size_t k = 0; k < ActiveEdges.size(); ++k) {
            TEdge& e = ActiveEdges[k];
            if (y >= e.Y1)
                continue;
            Cross.push_back(static_cast<int32_t>(std::clamp<int64_t>(e.Q, 0, W)));
            e.Q += e.A;
            e.R -= e.B;
            const int64_t borrow = e.R >> 63;  // -1 when R went below 0
            e.Q -= borrow;
            e.R += e.Den & borrow;
            if (keep != k)
                ActiveEdges[keep] = e;
            ++keep;
        }
        ActiveEdges.resize(keep);
        std::sort(Cross.begin(), Cross.end());
        uchar* row = bits + y * stride;
        for (size_t k = 0; k + 1 < Cross.size(); k += 2) {
            // Eight pixels at a time from the pattern, the rest one by one.
            int32_t x = Cross[k];
            const int32_t x1 = Cross[k + 1];
            uchar* px = row + 3 * x;
            for (; x + 8 <= x1; x += 8, px += 24)
                std::memcpy(px, eight, 24);
            for (; x < x1; ++x, px += 3) {
                px[0] = rgb[0];
                px[1] = rgb[1];
                px[2] = rgb[2];
            }
        }
    }
}

bool TGlobeCanvas::StrokesHere() const {
    return HavePen && Pen.style() == Qt::SolidLine && Pen.widthF() == 0 && Pen.color().alpha() == 255 &&
           Painter->compositionMode() == QPainter::CompositionMode_SourceOver && FillsHere(true);
}

void TGlobeCanvas::LineHere(TPoint a, TPoint b, const uchar* rgb, uchar* bits, qsizetype stride) {
    // From pixel a to pixel b, both drawn, one pixel a step along the longer
    // axis, whichever way the line runs. Across it the pixels Qt's one-pixel
    // lines take: where the line rises, the pixel holding it half a step on
    // (a line on a pixel border takes the lower pixel); where it falls, the
    // pixel holding it at the step itself.
    int64_t dx = static_cast<int64_t>(b.X) - a.X, dy = static_cast<int64_t>(b.Y) - a.Y;
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    if ((xMajor && dx < 0) || (!xMajor && dy < 0)) {
        std::swap(a, b);
        dx = -dx;
        dy = -dy;
    }
    const int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    int64_t x = a.X, y = a.Y;
    // Rising: offset = floor((2 t minor + minor - 1) / (2 major)), kept as
    // e; falling: offset = floor(t minor / major), kept as e.
    int64_t e = minor > 0 ? minor - 1 : 0;
    for (int64_t t = 0; t <= major; ++t) {
        if (x >= 0 && y >= 0 && x < W && y < H) {
            uchar* px = bits + y * stride + 3 * x;
            px[0] = rgb[0];
            px[1] = rgb[1];
            px[2] = rgb[2];
        }
        int64_t step = 0;
        if (minor > 0) {
            e += 2 * minor;
            if (e >= 2 * major) {
                e -= 2 * major;
                step = 1;
            }
        } else if (minor < 0) {
            e += minor;
            if (e < 0) {
                e += major;
                step = -1;
            }
        }
        if (xMajor) {
            ++x;
            y += step;
        } else {
            ++y;
            x += step;
        }
    }
}

void TGlobeCanvas::StrokeRuns(const TPoint* pts, int n) {
    QPainter* p = P();
    // A plain one-pixel line on the picture itself is drawn here: Qt's
    // stroker costs more per segment than the pixels do.
    if (StrokesHere()) {
        const QColor c = Pen.color();
        const uchar rgb[3] = {static_cast<uchar>(c.red()), static_cast<uchar>(c.green()), static_cast<uchar>(c.blue())};
        uchar* bits = Image.bits();
        const qsizetype stride = Image.bytesPerLine();
        for (int i = 1; i < n; ++i)
            LineHere(pts[i - 1], pts[i], rgb, bits, stride);
        return;
    }
    // A plain line is drawn in pieces of at most 80 pixels' length, each
    // small enough for Qt to draw it on this thread; the pieces meet at a
    // shared point, so the pixels are those of the whole line. A longer
    // single segment is itself divided (at whole pixels, so it may bend by
    // half a pixel).
    if (Pen.style() != Qt::SolidLine) {
        p->drawPolyline(reinterpret_cast<const QPoint*>(pts), n);
        return;
    }
    constexpr int64_t kPiece = 80;
    Run.assign(pts, pts + 1);
    int64_t len = 0;
    auto flush = [&] {
        if (Run.size() > 1)
            p->drawPolyline(reinterpret_cast<const QPoint*>(Run.data()), static_cast<int>(Run.size()));
        const TPoint last = Run.back();
        Run.assign(1, last);
        len = 0;
    };
    for (int i = 1; i < n; ++i) {
        const TPoint a = pts[i - 1], b = pts[i];
        const int64_t dx = static_cast<int64_t>(b.X) - a.X, dy = static_cast<int64_t>(b.Y) - a.Y;
        const int64_t d = std::max(std::llabs(dx), std::llabs(dy));
        if (len + d > kPiece && Run.size() > 1)
            flush();
        if (d > kPiece) {
            const int64_t k = (d + kPiece - 1) / kPiece;
            for (int64_t m = 1; m < k; ++m) {
                Run.push_back({static_cast<int32_t>(a.X + MulDiv64(dx, m, k)), static_cast<int32_t>(a.Y + MulDiv64(dy, m, k))});
                flush();
            }
        }
        Run.push_back(b);
        len += d > kPiece ? d / ((d + kPiece - 1) / kPiece) + 1 : d;
    }
    flush();
}

static_assert(sizeof(TPoint) == sizeof(QPoint), "screen points are handed to Qt as they are");

void TGlobeCanvas::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) {
    QPainter* p = P();
    // Right and bottom are outside, as the bounding box of the symbol says.
    if (HavePen) {
        p->drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
    } else if (HaveBrush && r > l && b > t) {
        // Filled span by span over pixel centres, so small symbols stay
        // round and exactly their size.
        const double cx = (l + r) / 2.0, cy = (t + b) / 2.0, rx = (r - l) / 2.0, ry = (b - t) / 2.0;
        for (int32_t y = t; y < b; ++y) {
            const double dy = (y + 0.5 - cy) / ry;
            if (dy * dy > 1)
                continue;
            const double half = rx * std::sqrt(1 - dy * dy);
            const int32_t x0 = static_cast<int32_t>(std::ceil(cx - half - 0.5));
            const int32_t x1 = static_cast<int32_t>(std::floor(cx + half - 0.5));
            if (x1 >= x0)
                p->fillRect(QRect(x0, y, x1 - x0 + 1, 1), Brush);
        }
    }
}

void TGlobeCanvas::Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) {
    QPainter* p = P();
    if (HavePen)
        p->drawRect(QRect(l, t, r - l - 1, b - t - 1));
    else if (HaveBrush)
        p->fillRect(QRect(l, t, r - l, b - t), Brush);
}

void TGlobeCanvas::SetPixel(int32_t x, int32_t y, TColor c) {
    if (c == clNoneColor)
        return;
    P()->fillRect(QRect(x, y, 1, 1), ToQColor(c));
}

void TGlobeCanvas::TextOut(int32_t x, int32_t y, const std::string& s) {
    if (!HaveFont || !TextColor.isValid())
        return;
    QPainter* p = P();
    const QString text = IsWingDings(Font) && s.size() <= 2 ? WingDingsChar(static_cast<uint8_t>(Utf8ToCp1252(s)[0]))
                                                             : QString::fromStdString(s);
    p->save();
    p->setFont(Font);
    p->setPen(TextColor);
    p->translate(x, y);
    p->rotate(-FontAngle / 10.0);
    p->drawText(0, QFontMetrics(Font).ascent(), text);
    p->restore();
}

void TGlobeCanvas::TitleOrigin(const QFontMetrics& fm, int w, THAlign h, TVAlign v, int& dx, int& base) const {
    dx = h == THAlign::Left ? 0 : h == THAlign::Center ? -w / 2 : -w;
    base = v == TVAlign::Top ? fm.ascent() : v == TVAlign::Baseline ? 0 : -fm.descent();
}

void TGlobeCanvas::DrawTitleText(QPainter& p, int32_t x, int32_t y, int dx, int base, const QString& text) {
    // Turned about the aligned point by the font's angle, as TextOut is.
    p.save();
    p.setFont(Font);
    p.setPen(TextColor);
    p.translate(x, y);
    if (FontAngle != 0)
        p.rotate(-FontAngle / 10.0);
    p.drawText(dx, base, text);
    p.restore();
}

bool TGlobeCanvas::KeepsTitles() const {
    return FillsHere(true) && TextColor.alpha() == 255 && Painter->opacity() == 1 &&
           Painter->compositionMode() == QPainter::CompositionMode_SourceOver &&
           Painter->backgroundMode() == Qt::TransparentMode;
}

TGlobeCanvas::TTitleFont& TGlobeCanvas::TitleFontNow(THAlign h, TVAlign v) {
    for (size_t i = 0; i < TitleFonts.size(); ++i) {
        TTitleFont& f = *TitleFonts[i];
        if (f.Angle != FontAngle || f.H != h || f.V != v || f.Hints != Painter->renderHints() ||
            f.Direction != Painter->layoutDirection() || !(f.Font == Font))
            continue;
        f.Font = Font;  // shared, so the next comparison is a pointer's
        if (i != 0)
            std::rotate(TitleFonts.begin(), TitleFonts.begin() + static_cast<std::ptrdiff_t>(i),
                        TitleFonts.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return *TitleFonts.front();
    }
    constexpr size_t kFonts = 8;
    if (TitleFonts.size() >= kFonts)
        TitleFonts.pop_back();
    auto f = std::make_unique<TTitleFont>();
    f->Font = Font;
    f->Angle = FontAngle;
    f->H = h;
    f->V = v;
    f->Hints = Painter->renderHints();
    f->Direction = Painter->layoutDirection();
    TitleFonts.insert(TitleFonts.begin(), std::move(f));
    return *TitleFonts.front();
}

const TGlobeCanvas::TTitleMask& TGlobeCanvas::TitleMask(const std::string& s, THAlign h, TVAlign v) {
    TTitleFont& f = TitleFontNow(h, v);
    if (auto it = f.Masks.find(s); it != f.Masks.end())
        return it->second;
    // Names of places that went away stay until the font has this many.
    constexpr size_t kMaxBytes = size_t{32} << 20;
    if (f.Bytes > kMaxBytes) {
        f.Masks.clear();
        f.Bytes = 0;
    }
    TTitleMask& m = f.Masks[s];
    const QString text = QString::fromStdString(s);
    const QFontMetrics fm(Font);
    const int w = fm.horizontalAdvance(text);
    int dx = 0, base = 0;
    TitleOrigin(fm, w, h, v, dx, base);
    // The text's box with room for overhangs, turned; the title is drawn
    // white on black there, as it would be drawn on the picture.
    const int pad = fm.height() / 2 + 2;
    const QRectF box(dx - pad, base - fm.ascent() - pad, w + 2 * pad, fm.height() + 2 * pad);
    QTransform turn;
    if (FontAngle != 0)
        turn.rotate(-FontAngle / 10.0);
    const QRect r = turn.mapRect(box).toAlignedRect().adjusted(-2, -2, 2, 2);
    if (r.width() > 4096 || r.height() > 1024) {
        m.Plain = true;
        return m;
    }
    if (TitleScratch.width() < r.width() || TitleScratch.height() < r.height())
        TitleScratch = QImage(std::max(r.width(), TitleScratch.width()), std::max(r.height(), TitleScratch.height()),
                              QImage::Format_RGB888);
    const qsizetype stride = TitleScratch.bytesPerLine();
    uchar* bits = TitleScratch.bits();
    const size_t rowBytes = static_cast<size_t>(3 * r.width());
    for (int y = 0; y < r.height(); ++y)
        std::memset(bits + y * stride, 0, rowBytes);
    {
        QPainter tp(&TitleScratch);
        tp.setRenderHints(Painter->renderHints());
        tp.setLayoutDirection(Painter->layoutDirection());
        tp.setBackgroundMode(Qt::TransparentMode);
        const QColor keep = TextColor;
        TextColor = Qt::white;
        DrawTitleText(tp, -r.left(), -r.top(), dx, base, text);
        TextColor = keep;
    }
    // Runs of white; anything else, or ink on the box's rim, and Qt draws
    // the title each time.
    for (int y = 0; y < r.height(); ++y) {
        const uchar* row = bits + y * stride;
        size_t i = 0;
        for (; i + 8 <= rowBytes; i += 8) {
            uint64_t w;
            std::memcpy(&w, row + i, 8);
            if (w)
                break;
        }
        if (i + 8 > rowBytes && std::all_of(row + i, row + rowBytes, [](uchar b) { return b == 0; }))
            continue;
        const bool rim = y < 2 || y >= r.height() - 2;
        for (int x = static_cast<int>(i / 3); x < r.width(); ++x) {
            const uchar* px = row + 3 * x;
            if ((px[0] | px[1] | px[2]) == 0)
                continue;
            if (rim || x < 2 || x >= r.width() - 2) {
                m.Plain = true;
                m.Runs.clear();
                return m;
            }
            int e = x;
            while (e < r.width() && row[3 * e] == 255 && row[3 * e + 1] == 255 && row[3 * e + 2] == 255)
                ++e;
            if (e == x) {
                m.Plain = true;
                m.Runs.clear();
                return m;
            }
            m.Runs.push_back({static_cast<int16_t>(x + r.left()), static_cast<int16_t>(y + r.top()),
                              static_cast<uint16_t>(e - x)});
            x = e - 1;
        }
    }
    m.Runs.shrink_to_fit();
    f.Bytes += s.size() + sizeof(TTitleMask) + m.Runs.size() * sizeof(TTitleRun) + 64;
    return m;
}

size_t TGlobeCanvas::KeptTitles() const {
    size_t n = 0;
    for (const auto& f : TitleFonts)
        for (const auto& [title, m] : f->Masks)
            n += !m.Plain;
    return n;
}

void TGlobeCanvas::DrawTitle(int32_t x, int32_t y, const std::string& s, THAlign h, TVAlign v) {
    if (!HaveFont || !TextColor.isValid())
        return;
    QPainter* p = P();
    if (KeepsTitles()) {
        const TTitleMask& m = TitleMask(s, h, v);
        if (!m.Plain) {
            const uchar rgb[3] = {static_cast<uchar>(TextColor.red()), static_cast<uchar>(TextColor.green()),
                                  static_cast<uchar>(TextColor.blue())};
            uchar* bits = Image.bits();
            const qsizetype stride = Image.bytesPerLine();
            for (const TTitleRun& run : m.Runs) {
                const int64_t yy = static_cast<int64_t>(y) + run.Y;
                if (yy < 0 || yy >= H)
                    continue;
                const int64_t x0 = std::max<int64_t>(static_cast<int64_t>(x) + run.X, 0);
                const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(x) + run.X + run.Len, W);
                uchar* px = bits + yy * stride + 3 * x0;
                for (int64_t k = x0; k < x1; ++k, px += 3) {
                    px[0] = rgb[0];
                    px[1] = rgb[1];
                    px[2] = rgb[2];
                }
            }
            return;
        }
    }
    const QString text = QString::fromStdString(s);
    const QFontMetrics fm(Font);
    // A left-aligned title needs no width (measuring it shapes the text).
    int dx = 0, base = 0;
    TitleOrigin(fm, h == THAlign::Left ? 0 : fm.horizontalAdvance(text), h, v, dx, base);
    DrawTitleText(*p, x, y, dx, base, text);
}

void TGlobeCanvas::StretchPicture(const IGlobePicture& pic, int32_t l, int32_t t, int32_t r, int32_t b) {
    if (auto* q = dynamic_cast<const TGlobePicture*>(&pic))
        P()->drawImage(QRect(l, t, r - l, b - t), q->Image);
}

TSize TGlobeCanvas::TextExtent(const std::string& text) {
    const QFontMetrics fm(Font);
    const QString s = IsWingDings(Font) && text.size() <= 2 ? WingDingsChar(static_cast<uint8_t>(Utf8ToCp1252(text)[0]))
                                                            : QString::fromStdString(text);
    return {fm.horizontalAdvance(s), fm.height()};
}

// ---- texture mapping ----

void TGlobeCanvas::TextureRect(const GlobeExtent& cell, const IGlobeTexture* tex) {
    if (cell.Width == 0 || cell.Height == 0)
        return;
    const TTextureData* t = tex ? dynamic_cast<const TTextureData*>(tex) : WorldTexture;
    if (!t || !t->Loaded())
        return;
    const int64_t l = cell.Left, tp = cell.Top;
    const int64_t r = l + cell.Width - 1, b = tp + cell.Height - 1;
    // A bitmap object's picture covers its own rectangle; the world texture the world.
    const GlobeExtent& rect = tex ? cell : t->Rect;
    TextureTriangleWith(MakePoint(l, tp), MakePoint(r, tp), MakePoint(r, b), *t, rect);
    TextureTriangleWith(MakePoint(l, tp), MakePoint(l, tp + cell.Height), MakePoint(r, b), *t, rect);
}

void TGlobeCanvas::TextureTriangle(const GlobePoint& a, const GlobePoint& b, const GlobePoint& c) {
    if (WorldTexture && WorldTexture->Loaded())
        TextureTriangleWith(a, b, c, *WorldTexture, WorldTexture->Rect);
}

void TGlobeCanvas::TextureTriangleWith(const GlobePoint& a, const GlobePoint& b, const GlobePoint& c,
                                       const TTextureData& tex, const GlobeExtent& rect) {
    if (!tex.Loaded() || !Globe)
        return;
    const int32_t e = WrapLongitude(static_cast<int64_t>(Globe->Model->CentralMeridian) + GU_180);
    const bool east = a.X >= e, sameSide = (b.X >= e) == east && (c.X >= e) == east;
    if (!sameSide)
        return;
    struct V {
        double X, Y, U, Vv;
    } v[3];
    const GlobePoint* g[3] = {&a, &b, &c};
    const double tw = tex.Width() - 1, th = tex.Height() - 1;
    for (int i = 0; i < 3; ++i) {
        if (!Globe->Model->ProjectPoint(*g[i], i))
            return;
        const TPoint s = Globe->SP(i);
        const double fu = (static_cast<double>(g[i]->X) - rect.Left) / rect.Width;
        const double fv = (static_cast<double>(g[i]->Y) - rect.Top) / rect.Height;
        v[i] = {static_cast<double>(s.X), static_cast<double>(s.Y), std::nearbyint(fu * tw), std::nearbyint(fv * th)};
    }
    std::sort(v, v + 3, [](const V& p, const V& q) { return p.Y < q.Y; });
    const int y0 = static_cast<int>(v[0].Y), y2 = static_cast<int>(v[2].Y);
    if (y2 <= 0 || y0 >= H || y0 == y2)
        return;
    auto edge = [](const V& p, const V& q, double y, double& x, double& u, double& w) {
        const double t = q.Y == p.Y ? 0 : (y - p.Y) / (q.Y - p.Y);
        x = p.X + t * (q.X - p.X);
        u = p.U + t * (q.U - p.U);
        w = p.Vv + t * (q.Vv - p.Vv);
    };
    const int trans = tex.TransparentIndex;
    for (int y = std::max(y0, 0); y < std::min(y2, H); ++y) {
        double xa, ua, va, xb, ub, vb;
        edge(v[0], v[2], y, xa, ua, va);  // the long edge
        if (y < v[1].Y)
            edge(v[0], v[1], y, xb, ub, vb);
        else
            edge(v[1], v[2], y, xb, ub, vb);
        if (xb < xa) {
            std::swap(xa, xb);
            std::swap(ua, ub);
            std::swap(va, vb);
        }
        const int xl = static_cast<int>(std::nearbyint(xa)), xr = static_cast<int>(std::nearbyint(xb));
        if (xr <= xl)
            continue;
        const double du = (ub - ua) / (xr - xl), dv = (vb - va) / (xr - xl);
        uchar* row = Image.scanLine(y);
        for (int x = std::max(xl, 0); x < std::min(xr, W); ++x) {
            const double k = x - xl;
            const uint8_t idx = tex.Texel(static_cast<int32_t>(std::nearbyint(ua + k * du)),
                                          static_cast<int32_t>(std::nearbyint(va + k * dv)));
            if (idx == trans)
                continue;
            const uint32_t rgb = tex.Rgb[idx];
            uchar* px = row + 3 * x;
            px[0] = static_cast<uchar>(rgb >> 16);
            px[1] = static_cast<uchar>(rgb >> 8);
            px[2] = static_cast<uchar>(rgb);
        }
    }
}
