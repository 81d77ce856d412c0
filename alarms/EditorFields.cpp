#include "alarms/EditorFields.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "platform/qt/DateField.h"
#include "platform/qt/TimeField.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HXString.h"
#include "timemodel/TimeLocation.h"

#include <QLineEdit>

#include <cmath>

void ShowDateTime(TDateTime dt, TDateField* date, TTimeField* time) {
    if (!std::isfinite(dt)) dt = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDateTime(dt, y, mo, d, h, mi, s, ms);
    date->setDate(QDate(y, mo, d));
    // The field shows no fractions, so it holds none: stepping or typing the
    // time leaves none behind.
    time->setTime(QTime(h, mi, s));
}

TDateTime PickedDateTime(const TDateField* date, const TTimeField* time) {
    const QDate d = date->date();
    const QTime t = time->time();
    TDateTime day = 0, tod = 0;
    if (!TryEncodeDate(d.year(), d.month(), d.day(), day)) day = 0;
    if (!TryEncodeTime(t.hour(), t.minute(), t.second(), 0, tod)) tod = 0;
    // Before 1899-12-30 the day counts down while the time of day still adds.
    return day < 0 ? day - tod : day + tod;
}

bool CheckDateTime(TDateField* date, TTimeField* time) {
    if (!date->date().isValid()) {
        ReportBadDate(date, "Local Date");
        return false;
    }
    if (!time->time().isValid()) {
        ReportBadTime(time, "Local Time");
        return false;
    }
    return true;
}

bool RefuseSkippedTime(const TTimeLocation& place, TDateField* date, TTimeField* time) {
    const std::string why = place.SkippedWallTimeText(
        PickedDateTime(date, time), date->date().toString(NumericDateFormat()).toStdString());
    if (why.empty()) return false;
    THXMessageBoxes::ShowError(why);
    time->setFocus();
    return true;
}

std::string ListDateTime(TDateTime dt, const std::string& between) {
    if (!std::isfinite(dt)) dt = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDateTime(dt, y, mo, d, h, mi, s, ms);
    return QDate(y, mo, d).toString(NumericDateFormat()).toStdString() + between +
           QTime(h, mi, s).toString("HH:mm:ss").toStdString();
}

std::optional<double> ParseDays(const std::string& text, bool tolerant) {
    double v = 0;
    try {
        v = tolerant ? ParseFloat(text) : StrToFloat(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

void ReportBadDays(QLineEdit* field, const std::string& caption) {
    QString shown = field->text();
    // Cut, so a pasted page cannot fill the screen.
    if (shown.size() > 40) shown = shown.left(40) + "...";
    THXMessageBoxes::ShowError("\"" + caption + "\" must be a number of days: '" +
                               shown.toStdString() + "' is not one.");
    field->setFocus();
    field->selectAll();
}

void FollowMainFormStyle(QWidget* dialog, const TClockState& state) {
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint, state.AlwaysOnTop);
}

TLocationPick MainWindowPick(ILocationPicker& picker) {
    return [&picker](TTimeLocation& location) { return picker.PickLocation(location); };
}
