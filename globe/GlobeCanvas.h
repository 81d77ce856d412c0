#pragma once
// The globe's drawing surface on Qt: a 24-bit image that layers, graticule,
// texture and shadow are drawn into, with chains clipped in 64 bits before
// Qt sees them; and the 8-bit world texture, read from its BMP file by hand
// so that palette indices stay as stored.
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "globe/core/GlobeContext.h"

constexpr TColor clNoneColor = 0x1FFFFFFF;

class TTextureData : public IGlobeTexture {
public:
    TTextureData();
    // False (and an empty texture) for anything but an uncompressed
    // 256-colour BMP that is whole; a missing file leaves the texture as it was.
    bool Load(const std::string& fileName);
    bool LoadFromFile(const std::string& path) override { return Load(path); }
    bool Loaded() const { return !Bits.empty(); }
    void Clear();
    int32_t Width() const override { return W; }
    int32_t Height() const override { return H; }
    int32_t PaletteCount() const override { return Loaded() ? 256 : 0; }
    void SetTransparentIndex(int32_t i) override { TransparentIndex = i; }
    TColor PaletteColor(int32_t index) const override;  // -1 when out of range
    TColor PaletteColour(int32_t index) const;           // black when out of range
    int32_t PaletteIndexOf(TColor c) const;
    // Palette index at (column, row), row 0 the southern (bottom) row;
    // both are clamped into the bitmap.
    uint8_t Texel(int32_t column, int32_t row) const;
    GlobeExtent Rect{-GU_180, -GU_90, GU_360, GU_180};
    int32_t TransparentIndex = -1;
    std::string Error;  // why the last load failed
    uint32_t Rgb[256] = {};  // palette as 0xRRGGBB

private:
    int32_t W = 0, H = 0, Stride = 0;
    std::vector<uint8_t> Bits;  // bottom-up rows of Stride bytes
};

// A picture of a point presenter.
class TGlobePicture : public IGlobePicture {
public:
    explicit TGlobePicture(QImage img) : Image(std::move(img)) {}
    int32_t Width() const override { return Image.width(); }
    int32_t Height() const override { return Image.height(); }
    QImage Image;
};

class TGlobeCanvas : public IGlobeCanvas {
public:
    explicit TGlobeCanvas(TGlobeContext* globe);
    ~TGlobeCanvas() override;

    // The image is replaced; false (nothing changes) for a zero argument.
    bool Resize(int32_t w, int32_t h, int32_t ppi);
    // Chains are clipped to this size (a print page may be larger than the image).
    void SetClipSize(int32_t w, int32_t h) {
        CW = w;
        CH = h;
    }
    int32_t Width() const { return W; }
    int32_t Height() const { return H; }
    // Rows are 4-byte aligned, as the bitmap's stride.
    static int32_t StrideFor(int32_t w) { return ((w * 24 + 31) / 32) * 4; }
    QImage Image;

    // A painter is open on the image (or on a print target) between these.
    void BeginOffscreen(QPaintDevice* target = nullptr, const QTransform& transform = {});
    void EndOffscreen();
    bool Active() const { return Painter != nullptr; }
    QPainter* P();

    // Clips the first count points of the buffer to [-1, W] x [-1, H];
    // the result replaces them. Answers the new count.
    int ClipPoints(std::vector<TPoint>& pts, int count, bool closed);
    void RenderPolyline(const TPoint* pts, int count);
    void RenderPolygon(const TPoint* pts, int count);

    // The drawing interface.
    void Polygon(const TPoint* pts, int n) override { RenderPolygon(pts, n); }
    void Polyline(const TPoint* pts, int n) override { RenderPolyline(pts, n); }
    void TextureRect(const GlobeExtent& cell, const IGlobeTexture* tex = nullptr) override;
    void TextureTriangle(const GlobePoint& a, const GlobePoint& b, const GlobePoint& c) override;
    // rect: the GU rectangle the whole texture covers.
    void TextureTriangleWith(const GlobePoint& a, const GlobePoint& b, const GlobePoint& c, const TTextureData& tex,
                             const GlobeExtent& rect);
    void SelectPen(TColor c, TPenStyle s, uint8_t w) override;
    void SelectBrush(TColor c, TBrushStyle s) override;
    void SelectFont(const TGlobeFont& f, int32_t pixelHeight, TColor c) override;
    void SelectStock() override;
    void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override;
    void Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) override;
    void SetPixel(int32_t x, int32_t y, TColor c) override;
    void TextOut(int32_t x, int32_t y, const std::string& s) override;
    void DrawTitle(int32_t x, int32_t y, const std::string& s, THAlign h, TVAlign v) override;
    void StretchPicture(const IGlobePicture& p, int32_t l, int32_t t, int32_t r, int32_t b) override;
    TSize TextExtent(const std::string& text) override;
    // The titles kept as pixels, over all fonts.
    size_t KeptTitles() const;

    // Writes one pixel straight into the image (no painter), inside only.
    void PutPixel(int32_t x, int32_t y, uint32_t rgb) {
        if (x >= 0 && y >= 0 && x < W && y < H) {
            uchar* p = Image.scanLine(y) + 3 * x;
            p[0] = static_cast<uchar>(rgb >> 16);
            p[1] = static_cast<uchar>(rgb >> 8);
            p[2] = static_cast<uchar>(rgb);
        }
    }

    // Whether solid fills go straight into the image (painting on it, as it
    // is); anyBrush: whatever the selected brush.
    bool FillsHere(bool anyBrush = false) const;
    // A solid rectangle straight into the image; right and bottom excluded.
    void FillRect(int32_t l, int32_t t, int32_t r, int32_t b, const QColor& c);

    TTextureData* WorldTexture = nullptr;  // not owned
    QPen Pen;
    QBrush Brush;
    QFont Font;
    QColor TextColor;
    bool HavePen = true, HaveBrush = true, HaveFont = false;
    int32_t FontAngle = 0;

private:
    TGlobeContext* Globe;
    int32_t W = 0, H = 0, CW = 0, CH = 0;
    std::unique_ptr<QPainter> Painter;
    bool OwnTarget = true;
    std::vector<TPoint> Buf, Buf2;
    void Apply();
    // Solid fills and plain strokes of the image done here rather than by
    // Qt, which hands every fill of more than a few dozen spans to its
    // thread pool: at map sizes the hand-over costs more than the fill.
    void FillPolygon(const TPoint* pts, int n);
    void StrokeRuns(const TPoint* pts, int n);
    // Whether the pen is a plain opaque one-pixel line drawn straight into
    // the image, and one such line.
    bool StrokesHere() const;
    void LineHere(TPoint a, TPoint b, const uchar* rgb, uchar* bits, qsizetype stride);
    // What Pen and Brush were last made from (Pen and Brush set otherwise
    // clear it).
    struct TToolKey {
        bool Valid = false;
        TColor Color = 0;
        int Style = 0, Width = 0;
    } PenKey, BrushKey;
    struct TEdge {
        int32_t Y0, Y1;  // the first row and the row after the last
        // The first pixel right of the crossing in the current row is Q;
        // the exact crossing is kept as Q - R / Den, stepped by A + B / Den.
        int64_t Q, R, A, B, Den;
    };
    std::vector<TEdge> Edges, ActiveEdges;
    std::vector<TPoint> Run;
    std::vector<int32_t> Cross;

    // Titles as Qt's drawText puts them on the picture, kept as runs of
    // pixels about the aligned point: shaping a name costs far more than its
    // pixels, and a map of places draws the same names frame after frame.
    // Kept per font, angle, alignment and the painter's hints; a new title
    // or font makes its entry anew.
    struct TTitleRun {
        int16_t X, Y;  // from the aligned point
        uint16_t Len;
    };
    struct TTitleMask {
        bool Plain = false;  // not two-coloured (or too large): drawn by Qt each time
        std::vector<TTitleRun> Runs;
    };
    struct TTitleFont {
        QFont Font;
        int32_t Angle = 0;
        THAlign H = THAlign::Left;
        TVAlign V = TVAlign::Baseline;
        QPainter::RenderHints Hints;
        Qt::LayoutDirection Direction = Qt::LeftToRight;
        std::unordered_map<std::string, TTitleMask> Masks;
        size_t Bytes = 0;
    };
    std::vector<std::unique_ptr<TTitleFont>> TitleFonts;  // the last used first
    QImage TitleScratch;
    bool KeepsTitles() const;
    TTitleFont& TitleFontNow(THAlign h, TVAlign v);
    const TTitleMask& TitleMask(const std::string& s, THAlign h, TVAlign v);
    // The pen position of a title w pixels wide about its aligned point.
    void TitleOrigin(const QFontMetrics& fm, int w, THAlign h, TVAlign v, int& dx, int& base) const;
    void DrawTitleText(QPainter& p, int32_t x, int32_t y, int dx, int base, const QString& text);
};

// "WingDings" symbol codes as the Unicode characters they show.
QString WingDingsChar(int code);
// A font as Qt draws it at this pixel height.
QFont ToQGlobeFont(const TGlobeFont& f, int32_t pixelHeight);
