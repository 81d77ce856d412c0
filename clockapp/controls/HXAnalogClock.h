// The analog clock face: a title strip over a square dial with four numerals,
// an optional date line and three hands; 12- or 24-hour dial.
#pragma once

#include "platform/rtl/Graphics.h"
#include "platform/rtl/SysUtils.h"

#include <QFrame>
#include <QImage>
#include <QLabel>

#include <cstdint>
#include <functional>
#include <string>

class THXAnalogClock;

enum class TAnalogClockType { act12Hour, act24Hour };
enum class TBevelCut { bvNone, bvLowered, bvRaised };

class THand {
public:
    explicit THand(THXAnalogClock* clock) : FClock(clock) {}
    int BackRadius() const { return FBackRadius; }
    TColor Color() const { return FColor; }
    int Radius() const { return FRadius; }
    int Width() const { return FWidth; }
    void SetBackRadius(int v);
    void SetColor(TColor v);
    void SetRadius(int v);
    void SetWidth(int v);

private:
    THXAnalogClock* FClock;
    int FBackRadius = 10;
    TColor FColor = 255;
    int FRadius = 90;
    int FWidth = 2;
};

class TCenter {
public:
    int X = 50;
    int Y = 50;
    int Get(int index) const { return index == 0 ? X : Y; }
    void Set(int index, int v) { (index == 0 ? X : Y) = v; }
};

// The title strip; passes its mouse presses to the clock's title handler.
// The widest a clock's title may make its clock (forty characters of its
// font); a longer title is cut with "..." and shown whole in its tip.
int ClockTitleRoom(const QFontMetrics& metrics);

class THXClockTitle : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    std::function<void(QMouseEvent*)> OnMouseDown;

protected:
    void mousePressEvent(QMouseEvent* e) override;
};

class THXAnalogClock : public QFrame {
    Q_OBJECT
public:
    explicit THXAnalogClock(QWidget* owner = nullptr);
    ~THXAnalogClock() override;

    TDateTime DateTime() const { return FDateTime; }
    void SetDateTime(TDateTime v);
    TAnalogClockType ClockType() const { return FClockType; }
    void SetClockType(TAnalogClockType v);
    bool AutoCenter() const { return FAutoCenter; }
    void SetAutoCenter(bool v);
    bool ShowSeconds() const { return FShowSeconds; }
    void SetShowSeconds(bool v);
    bool DisplayDate() const { return FDisplayDate; }
    void SetDisplayDate(bool v);
    const std::string& DateFormat() const { return FDateFormat; }
    void SetDateFormat(const std::string& v);
    TCenter Center;
    int Size() const { return FSize; }
    void SetSize(int v);
    const std::string& ClockTitle() const { return FClockTitle; }
    void SetClockTitle(const std::string& v);
    const TFont& TitleFont() const { return FTitleFont; }
    void SetTitleFont(const TFont& v);
    const std::string& TitleHint() const { return FTitleHint; }
    void SetTitleHint(const std::string& v);
    // The font of the numerals and the date; its colour draws the outline.
    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut v);
    int BevelWidth() const { return 1; }
    int Tag = 0;

    THXClockTitle* TitlePanel;
    THand HoursHand{this};
    THand MinutesHand{this};
    THand SecondsHand{this};

    std::function<void(THXAnalogClock*, uint16_t)> OnHour, OnMinute, OnSecond;
    std::function<void(THXAnalogClock*)> OnMouseEnter, OnMouseLeave;
    std::function<void(THXAnalogClock*, QMouseEvent*)> OnMouseDown;

    // The dial as the last paint drew it (Size x Size at the device pixel ratio).
    const QImage& DialBitmap() const { return FDial; }
    // Draws the dial into the bitmap now, as a paint does: at the given
    // device pixel ratio, or the screen's when none is given.
    void PaintDial(double ratio = 0);
    // Where the dial lies on the control.
    QPoint DialOrigin() const;
    int RepaintCount() const { return FRepaints; }
    void Repaint();
    // Title width, control size and centre from the title, font and size.
    void Layout();
    // After construction by a form: no events for the current time.
    void Loaded();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void Tick();
    void DrawHand(QPainter& p, double angle, const THand& hand);
    void UpdateTitleTip();

    TDateTime FDateTime;
    TAnalogClockType FClockType = TAnalogClockType::act12Hour;
    bool FAutoCenter = true;
    bool FShowSeconds = true;
    bool FDisplayDate = true;
    std::string FDateFormat = "MMM D";
    int FSize = 50;
    std::string FClockTitle = "New Clock";
    TFont FTitleFont;
    std::string FTitleHint = "New Clock";
    TFont FFont;
    TColor FColor = clBtnFace;
    TBevelCut FBevelOuter = TBevelCut::bvRaised;
    QImage FDial;
    int FHour = 0, FMinute = 0, FSecond = 0;
    int FLastHour = -1, FLastMinute = -1, FLastSecond = -1;
    int FRepaints = 0;
};
