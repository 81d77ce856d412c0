// What the preferences dialog and the clock editor share for a clock's looks:
// the default time font, the format examples and the font and colour dialogs.
#pragma once

#include "platform/rtl/Graphics.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

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
