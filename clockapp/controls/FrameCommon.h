// Borders of one or two pixels in ten styles on chosen sides of a rectangle.
#pragma once

#include "platform/rtl/Graphics.h"

#include <cstdint>

class QPainter;

enum class TFrameStyle {
    fsNone,
    fsFlat,
    fsGroove,
    fsBump,
    fsLowered,
    fsButtonDown,
    fsRaised,
    fsButtonUp,
    fsStatus,
    fsPopup
};
enum TSide : uint8_t { sdLeft = 1, sdTop = 2, sdRight = 4, sdBottom = 8 };
using TSides = uint8_t;
constexpr TSides AllSides = sdLeft | sdTop | sdRight | sdBottom;

// Right and Bottom are exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRect&) const = default;
};

void DrawFrameSides(QPainter& canvas, const TRect& rect, TColor colour1, TRect& result,
                    TSides sides, TColor colour2);
void DrawFrameRings(QPainter& canvas, const TRect& rect, TColor colour1, TRect& result,
                    TSides sides, int count, TColor colour2);
void DrawFrameStyleBorder(QPainter& canvas, const TRect& rect, TFrameStyle style, TRect& result,
                          TSides sides);

// A control's whole frame: the 2-pixel border cleared to the control's colour,
// then FrameColor on the chosen sides (fsFlat) or the style's border.
void DrawControlFrame(QPainter& canvas, int width, int height, TSides sides, TColor frameColor,
                      TColor controlColor, TFrameStyle style);
