// What the preferences dialog and the clock editor share for a clock's looks:
// the default time font, the format examples, the font and colour dialogs,
// the editor of the fonts and background, and the list of time formats.
#pragma once

#include "platform/rtl/Graphics.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string>

class QAbstractButton;
class QComboBox;
class QWidget;
class THXClock;

// The time font of a new clock: green Arial, 10 points, ANSI.
TFont DefaultSampleFont();

// The texts of the "?" buttons: the pattern and the local now in it.
std::string TimeFormatExample(const std::string& format);
std::string DateFormatExample(const std::string& format);

// The dialogs for fonts and colours; none when the user cancels.
using TFontChooser = std::function<std::optional<TFont>(const TFont& current, QWidget* parent)>;
using TColourChooser = std::function<std::optional<TColor>(TColor current, QWidget* parent)>;
// Qt's own: the font dialog, then the font's colour (kept on cancel).
TFontChooser QtFontChooser();
TColourChooser QtColourChooser();

// A clock's time font, face font and background as they are being chosen:
// shown on the sample (the time font on the background), the background
// panel and the face-font button. A left click on the sample chooses the
// time font, on the panel the background, the button the face font. The
// choosers are the owner's, read at each click, so the owner may replace them.
class TClockAttributesEditor : public QObject {
public:
    TClockAttributesEditor(QWidget* sample, QWidget* panel, QAbstractButton* faceFontButton,
                           const TFontChooser& chooseFont, const TColourChooser& chooseColour);

    TFont TimeFont = DefaultSampleFont();
    TFont FaceFont;
    TColor BackColour = clBlack;

    void Show() const;
    void ChooseTimeFont();
    void ChooseFaceFont();
    void ChooseBackColour();
    // A black background, the default time font and a black face font; the
    // face font keeps its typeface.
    void RestoreDefaults();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ChooseFontOf(TFont& font);

    QWidget* FSample;
    QWidget* FPanel;
    QAbstractButton* FFaceFontButton;
    const TFontChooser& FChooseFont;
    const TColourChooser& FChooseColour;
};

// Fills the time-format list with the formats of the clock's type; a format
// the new list also offers stays chosen. True when the type shows a date.
bool ShowTimeFormats(QComboBox* formats, const THXClock& clock);
