// What the alarm and Dayloom editors share: the date and time pickers, the
// day counts typed as text, the main window's form style and the place pick.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <functional>
#include <optional>
#include <string>

class QLineEdit;
class QWidget;
class TDateField;
class ILocationPicker;
class TClockState;
class TTimeField;
class TTimeLocation;

// The date into the date field, the time of day (whole seconds) into the
// time field.
void ShowDateTime(TDateTime dt, TDateField* date, TTimeField* time);
// The date from the date field only, the time of day from the time field
// only, in whole seconds: a time set to 08:02:00 is 08:02:00, whatever
// fraction of a second the field once held. Both fields must hold what they
// stand for (see CheckDateTime).
TDateTime PickedDateTime(const TDateField* date, const TTimeField* time);
// For OK: true when the date field holds a date and the time field a time;
// otherwise tells the user which one does not and gives false.
bool CheckDateTime(TDateField* date, TTimeField* time);

// For OK: true, after telling the user why, when the date and time in the
// fields name a wall time the place's clocks skip (see
// TTimeLocation::SkippedWallTimeText); the time field then has the focus.
bool RefuseSkippedTime(const TTimeLocation& place, TDateField* date, TTimeField* time);

// A date and time as the lists show them: the date as the date field takes
// it (the locale's order, four-digit year), then Between, then hh:mm:ss.
std::string ListDateTime(TDateTime dt, const std::string& between);

// A count of days as typed: tolerant reads either decimal separator (and "%",
// "$" as the record files do), strict the user's own only. None when the text
// does not convert or gives no finite number.
std::optional<double> ParseDays(const std::string& text, bool tolerant);
// Tells the user that the field (its caption given) holds no number of days,
// and puts the focus there.
void ReportBadDays(QLineEdit* field, const std::string& caption);

// Stays on top while the main window does.
void FollowMainFormStyle(QWidget* dialog, const TClockState& state);

// The modal pick of a place in the location manager: true and the chosen
// place in the location when the user picked one.
using TLocationPick = std::function<bool(TTimeLocation&)>;
TLocationPick MainWindowPick(ILocationPicker& picker);
