// Borders of one or two pixels in ten styles on chosen sides of a rectangle,
// and the frame properties the framed controls share.
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

// In flat mode the frame's style follows focus and hover.
TFrameStyle FlatFrameStyle(bool focused, bool hovered, TFrameStyle flatStyle,
                           TFrameStyle focusStyle);

// A widget with a frame of its own in the 2-pixel margin around it: the
// colour of a flat frame, its style and sides, whether it shows, and a flat
// mode that shows it on all sides in a style that follows focus and hover.
template <class TBase> class TFramedControl : public TBase {
public:
    using TBase::TBase;

    TColor FrameColor() const { return FFrameColor; }
    void SetFrameColor(TColor v) { SetFrameField(FFrameColor, v); }
    bool FrameFlat() const { return FFrameFlat; }
    void SetFrameFlat(bool v) {
        if (v == FFrameFlat) return;
        FFrameFlat = v;
        const bool shown = v && !FFrameVisible;
        if (v) {
            FFrameVisible = true;
            FFrameSides = AllSides;
            FFrameStyle = FFrameFlatStyle;
        }
        FrameFlatChanged(shown);
    }
    TFrameStyle FrameFlatStyle() const { return FFrameFlatStyle; }
    void SetFrameFlatStyle(TFrameStyle v) { SetFrameField(FFrameFlatStyle, v); }
    TFrameStyle FrameFocusStyle() const { return FFrameFocusStyle; }
    void SetFrameFocusStyle(TFrameStyle v) { SetFrameField(FFrameFocusStyle, v); }
    TSides FrameSides() const { return FFrameSides; }
    void SetFrameSides(TSides v) { SetFrameField(FFrameSides, v); }
    TFrameStyle FrameStyle() const { return FFrameStyle; }
    void SetFrameStyle(TFrameStyle v) { SetFrameField(FFrameStyle, v); }
    bool FrameVisible() const { return FFrameVisible; }
    void SetFrameVisible(bool v) {
        if (v == FFrameVisible) return;
        FFrameVisible = v;
        FrameVisibleChanged();
    }
    bool UseFrameController = true;

protected:
    // The frame is to be painted again.
    virtual void FrameChanged() = 0;
    // The frame was shown or hidden by SetFrameVisible.
    virtual void FrameVisibleChanged() = 0;
    // Flat mode was turned on or off; shown: it made the frame visible.
    virtual void FrameFlatChanged(bool shown) = 0;
    // In flat mode the style follows focus and hover; true when in flat mode.
    bool FollowFocusAndHover(bool focused, bool hovered) {
        if (!FFrameFlat) return false;
        FFrameStyle = FlatFrameStyle(focused, hovered, FFrameFlatStyle, FFrameFocusStyle);
        return true;
    }
    // The whole frame of the control when it shows, around a control of the colour.
    void PaintFrame(QPainter& canvas, TColor controlColor) const {
        if (!FFrameVisible) return;
        DrawControlFrame(canvas, this->width(), this->height(), FFrameSides, FFrameColor,
                         controlColor, FFrameStyle);
    }

private:
    template <class T> void SetFrameField(T& field, T v) {
        if (field == v) return;
        field = v;
        FrameChanged();
    }

    TColor FFrameColor = int32_t(0x80000010); // clBtnShadow
    bool FFrameFlat = false;
    TFrameStyle FFrameFlatStyle = TFrameStyle::fsStatus;
    TFrameStyle FFrameFocusStyle = TFrameStyle::fsLowered;
    TSides FFrameSides = AllSides;
    TFrameStyle FFrameStyle = TFrameStyle::fsFlat;
    bool FFrameVisible = false;
};
