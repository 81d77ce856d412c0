// "Horolux Calculator" and "Horolux Calendar".
#pragma once

#include "timemodel/TimeLocation.h"

#include <QDate>
#include <QWidget>

#include <array>
#include <memory>

class QPushButton;
class ILocationPicker;
class TClockState;
namespace Ui {
class TF_TimeCalc;
class TFhxCalendar;
} // namespace Ui

class TF_TimeCalc : public QWidget {
    Q_OBJECT
public:
    TF_TimeCalc(const TClockState& state, ILocationPicker& picker, QWidget* owner);
    ~TF_TimeCalc() override;

    void FormCreate();
    void sb_NowClick();
    void sbDateTimeWhenNowClick();
    void sb_HereAClick();
    void sb_HereZClick();
    // The location button of that tag: a pick through the location manager.
    void ChangeZone(int tag);
    void sb_WhenWhereAnswerClick();
    void sbDiffAnswerClick();
    void sb_WhatZoneAnswerClick();
    void sbDateTimeWhenAnswerClick();

    // By tag: 0 where the given time applies, 1 the place asked about, 2 and
    // 3 the places of the difference.
    std::array<TTimeLocation, 4> Locations;

private:
    void Here(int tag);
    // Runs a handler; an error is shown, never passed on.
    template <class F> void Guarded(F f);

    const TClockState& FMain;
    ILocationPicker& FPicker;
    std::unique_ptr<Ui::TF_TimeCalc> ui;
    std::array<QPushButton*, 4> FLocationButtons{};
};

// The number of the calendar row that starts on that date, by the week rule
// of the row's first weekday: from Monday ISO 8601 (week 1 holds the first
// Thursday), from any other day the row that holds 1 January is week 1.
int RowWeekNumber(const QDate& rowStart, Qt::DayOfWeek firstDay);

class TFhxCalendar : public QWidget {
    Q_OBJECT
public:
    TFhxCalendar(const TClockState& state, QWidget* owner);
    ~TFhxCalendar() override;
    void FormCreate();

private:
    const TClockState& FMain;
    std::unique_ptr<Ui::TFhxCalendar> ui;
};
