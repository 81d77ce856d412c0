#include "clockapp/ClockAttributes.h"

#include "platform/qt/QtGraphics.h"
#include "platform/rtl/SysUtils.h"

#include <QColorDialog>
#include <QFontDialog>

TFont DefaultSampleFont() {
    TFont f;
    f.Name = "Arial";
    f.Height = -13;
    f.Size = 10;
    f.Charset = 0;
    f.Color = clLime;
    return f;
}

std::string TimeFormatExample(const std::string& format) {
    return "The current local system time displayed\n\rusing the currently indicated time format "
           "is:\n\r" +
           format + " ==> " + FormatDateTime(format, Now());
}

std::string DateFormatExample(const std::string& format) {
    return "The current local system date displayed\n\rusing the currently indicated date format "
           "is:\n\r" +
           format + " ==> " + FormatDateTime(format, Now());
}

TFontChooser QtFontChooser() {
    return [](const TFont& current, QWidget* parent) -> std::optional<TFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, ToQFont(current), parent);
        if (!ok) return std::nullopt;
        // Qt's font dialog has no colour, the font's colour is half of the
        // time attributes: it is asked next, and keeps its value on cancel.
        TFont font = FromQFont(chosen, current);
        const QColor colour =
            QColorDialog::getColor(ToQColor(current.Color), parent, "Font Colour");
        if (colour.isValid()) font.Color = FromQColor(colour);
        return font;
    };
}

TColourChooser QtColourChooser() {
    return [](TColor current, QWidget* parent) -> std::optional<TColor> {
        const QColor chosen = QColorDialog::getColor(ToQColor(current), parent);
        if (!chosen.isValid()) return std::nullopt;
        return FromQColor(chosen);
    };
}
