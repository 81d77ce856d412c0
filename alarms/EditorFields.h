// What the alarm and Dayloom editors share: the date and time pickers, the
// day counts typed as text, the main window's form style and the place pick.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <functional>
#include <optional>
#include <string>

class QLineEdit;
class QTimeEdit;
class QWidget;
class TDateField;
class TF_clocks;
class TTimeLocation;

// The date into the date field, the time of day (whole seconds) into the
// time picker.
void ShowDateTime(TDateTime dt, TDateField* date, QTimeEdit* time);
// The date from the date field only, the time of day from the time picker
// only, in whole seconds: a time set to 08:02:00 is 08:02:00, whatever
// fraction of a second the field once held.
TDateTime PickedDateTime(const TDateField* date, const QTimeEdit* time);

// A count of days as typed: tolerant reads either decimal separator (and "%",
// "$" as the record files do), strict the user's own only. None when the text
// does not convert or gives no finite number.
std::optional<double> ParseDays(const std::string& text, bool tolerant);
// Tells the user that the field (its caption given) holds no number of days,
// and puts the focus there.
void ReportBadDays(QLineEdit* field, const std::string& caption);

// Stays on top while the main window does.
void FollowMainFormStyle(QWidget* dialog, const TF_clocks& main);

// The modal pick of a place in the location manager: true and the chosen
// place in the location when the user picked one.
using TLocationPick = std::function<bool(TTimeLocation&)>;
TLocationPick MainWindowPick(TF_clocks& main);
