#include "platform/qt/controls/FrameCommon.h"

#include "platform/qt/QtGraphics.h"

#include <QPainter>

namespace {
void Pixel(QPainter& c, int x, int y, TColor colour) {
    c.fillRect(x, y, 1, 1, ToQColor(colour));
}
void Ring(QPainter& c, TRect& r, TColor c1, TColor c2, TSides sides) {
    TRect out;
    DrawFrameRings(c, r, c1, out, sides, 1, c2);
    r = out;
}
} // namespace

void DrawFrameSides(QPainter& canvas, const TRect& r, TColor colour1, TRect& result, TSides sides,
                    TColor colour2) {
    const QColor a = ToQColor(colour1), b = ToQColor(colour2);
    result = r;
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    if (sides & sdLeft) {
        canvas.fillRect(r.Left, r.Top, 1, h, a);
        ++result.Left;
    }
    if (sides & sdTop) {
        canvas.fillRect(r.Left, r.Top, w, 1, a);
        ++result.Top;
    }
    if (sides & sdRight) {
        canvas.fillRect(r.Right - 1, r.Top, 1, h, b);
        --result.Right;
    }
    if (sides & sdBottom) {
        canvas.fillRect(r.Left, r.Bottom - 1, w, 1, b);
        --result.Bottom;
    }
}

void DrawFrameRings(QPainter& canvas, const TRect& rect, TColor colour1, TRect& result,
                    TSides sides, int count, TColor colour2) {
    result = rect;
    for (int i = 0; i < count; ++i) {
        TRect next;
        DrawFrameSides(canvas, result, colour1, next, sides, colour2);
        result = next;
    }
}

void DrawFrameStyleBorder(QPainter& canvas, const TRect& rect, TFrameStyle style, TRect& result,
                          TSides sides) {
    result = rect;
    switch (style) {
    case TFrameStyle::fsNone:
        return;
    case TFrameStyle::fsFlat:
        Ring(canvas, result, clWindowFrame, clWindowFrame, sides);
        return;
    case TFrameStyle::fsStatus:
        Ring(canvas, result, clBtnShadow, clBtnHighlight, sides);
        return;
    case TFrameStyle::fsPopup:
        Ring(canvas, result, clBtnHighlight, clBtnShadow, sides);
        return;
    case TFrameStyle::fsRaised:
        Ring(canvas, result, cl3DLight, clBtnText, sides);
        Ring(canvas, result, clBtnHighlight, clBtnShadow, sides);
        return;
    case TFrameStyle::fsLowered:
        Ring(canvas, result, clBtnShadow, clBtnHighlight, sides);
        Ring(canvas, result, clBtnText, cl3DLight, sides);
        return;
    case TFrameStyle::fsButtonUp:
        Ring(canvas, result, clBtnHighlight, cl3DDkShadow, sides);
        Ring(canvas, result, cl3DLight, clBtnShadow, sides);
        return;
    case TFrameStyle::fsButtonDown:
        Ring(canvas, result, clBtnText, clBtnText, sides);
        Ring(canvas, result, clBtnShadow, clBtnShadow, sides);
        return;
    case TFrameStyle::fsGroove:
    case TFrameStyle::fsBump: {
        const bool groove = style == TFrameStyle::fsGroove;
        const TColor b = groove ? clBtnShadow : clBtnHighlight;
        const TColor c = groove ? clBtnHighlight : clBtnShadow;
        const TRect& R = rect;
        const bool l = sides & sdLeft, t = sides & sdTop, r = sides & sdRight,
                   bo = sides & sdBottom;
        if (r)
            Pixel(canvas, R.Right - 1, R.Top, c);
        else if (t)
            Pixel(canvas, R.Right - 1, R.Top, b);
        if (bo)
            Pixel(canvas, R.Left, R.Bottom - 1, c);
        else if (l)
            Pixel(canvas, R.Left, R.Bottom - 1, b);
        if (t && !l) Pixel(canvas, R.Left, R.Top + 1, c);
        if (l && !t) Pixel(canvas, R.Left + 1, R.Top, c);
        if (bo && !r) Pixel(canvas, R.Right - 1, R.Bottom - 2, b);
        if (r && !bo) Pixel(canvas, R.Right - 2, R.Bottom - 1, b);
        TRect q{R.Left + 1, R.Top + 1, R.Right, R.Bottom}, ignored;
        DrawFrameSides(canvas, q, c, ignored, sides, c);
        q = {q.Left - 1, q.Top - 1, q.Right - 1, q.Bottom - 1};
        DrawFrameSides(canvas, q, b, ignored, sides, b);
        if (l) result.Left += 2;
        if (t) result.Top += 2;
        if (r) result.Right -= 2;
        if (bo) result.Bottom -= 2;
        return;
    }
    }
}

void DrawControlFrame(QPainter& canvas, int width, int height, TSides sides, TColor frameColor,
                      TColor controlColor, TFrameStyle style) {
    const TRect r{0, 0, width, height};
    TRect ignored;
    DrawFrameRings(canvas, r, controlColor, ignored, AllSides, 2, controlColor);
    if (style == TFrameStyle::fsFlat)
        DrawFrameSides(canvas, r, frameColor, ignored, sides, frameColor);
    else
        DrawFrameStyleBorder(canvas, r, style, ignored, sides);
}

TFrameStyle FlatFrameStyle(bool focused, bool hovered, TFrameStyle flatStyle,
                           TFrameStyle focusStyle) {
    return focused || hovered ? focusStyle : flatStyle;
}
