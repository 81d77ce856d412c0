#include "tools/F_TimeCalc.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "platform/qt/DateField.h"
#include "platform/qt/TimeField.h"
#include "timemodel/HXMessageBoxes.h"
#include "tools/TimeCalc.h"
#include "ui_TFhxCalendar.h"
#include "ui_TF_TimeCalc.h"

#include <QAbstractItemDelegate>
#include <QCalendarWidget>
#include <QIdentityProxyModel>
#include <QPointer>
#include <QTableView>

namespace {

// Both fields must hold what they stand for (see TimeTaken).
TDateTime Combined(const TDateField* date, const TTimeField* time) {
    const QDate d = date->date();
    const QTime t = time->time();
    return EncodeDate(d.year(), d.month(), d.day()) + EncodeTime(t.hour(), t.minute(), t.second(), 0);
}

void SetPickers(TDateField* date, TTimeField* time, TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(dt, y, mo, d, h, mi, s, ms);
    date->setDate(QDate(y, mo, d));
    time->setTime(QTime(h, mi, s));
}

// True when the time field holds a time; otherwise the user is told, naming
// the field by what it reads beside it, and nothing is worked out.
bool TimeTaken(TTimeField* time, const QString& caption) {
    if (time->time().isValid()) return true;
    ReportBadTime(time, caption.trimmed().toStdString());
    return false;
}

} // namespace

TF_TimeCalc::TF_TimeCalc(const TClockState& state, ILocationPicker& picker, QWidget* owner)
    : QWidget(owner, Qt::Window), FMain(state), FPicker(picker),
      ui(std::make_unique<Ui::TF_TimeCalc>()) {
    ui->setupUi(this);
    FLocationButtons = {ui->sb_WhenWhereLocationA, ui->sb_WhenWhereLocationZ, ui->sbDiffLocA, ui->sbDiffLocZ};
    for (int tag = 0; tag < 4; ++tag)
        connect(FLocationButtons[size_t(tag)], &QPushButton::clicked, this, [this, tag] { ChangeZone(tag); });
    auto on = [this](QPushButton* b, void (TF_TimeCalc::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    on(ui->sb_Now, &TF_TimeCalc::sb_NowClick);
    on(ui->sbDateTimeWhenNow, &TF_TimeCalc::sbDateTimeWhenNowClick);
    on(ui->sb_HereA, &TF_TimeCalc::sb_HereAClick);
    on(ui->sb_HereZ, &TF_TimeCalc::sb_HereZClick);
    on(ui->sb_WhenWhereAnswer, &TF_TimeCalc::sb_WhenWhereAnswerClick);
    on(ui->sbDiffAnswer, &TF_TimeCalc::sbDiffAnswerClick);
    on(ui->sb_WhatZoneAnswer, &TF_TimeCalc::sb_WhatZoneAnswerClick);
    on(ui->sbDateTimeWhenAnswer, &TF_TimeCalc::sbDateTimeWhenAnswerClick);
    // Each date field is named by what the user reads next to it; the last
    // page has no label but its own title.
    ui->dtp_WhenWhereDate->TakeDatesWhenDone(ui->lbl_2->text().toStdString());
    ui->dtp_WhatZoneDate->TakeDatesWhenDone(ui->lbl_9->text().toStdString());
    ui->dtpDateTimeWhenDate->TakeDatesWhenDone(
        ui->pcCalc->tabText(ui->pcCalc->indexOf(ui->ts_DateTimeWhen)).toStdString());
    FormCreate();
}

TF_TimeCalc::~TF_TimeCalc() = default;

template <class F> void TF_TimeCalc::Guarded(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        THXMessageBoxes::ShowError(e.what());
    } catch (...) {
        THXMessageBoxes::ShowError("The answer could not be worked out");
    }
}

void TF_TimeCalc::FormCreate() {
    for (TTimeLocation& l : Locations) l = TTimeLocation();
    const TDateTime utc = FMain.LocalClock.Location.UTC();
    SetPickers(ui->dtp_WhenWhereDate, ui->dtp_WhenWhereTime, utc);
    SetPickers(ui->dtp_WhatZoneDate, ui->dtp_WhatZoneTime, utc);
    // A date picker starts on today, as the platform's pickers do.
    SetPickers(ui->dtpDateTimeWhenDate, ui->dtpDateTimeWhenTime, Now());
}

void TF_TimeCalc::sb_NowClick() {
    SetPickers(ui->dtp_WhenWhereDate, ui->dtp_WhenWhereTime, Now());
}

void TF_TimeCalc::sbDateTimeWhenNowClick() {
    SetPickers(ui->dtpDateTimeWhenDate, ui->dtpDateTimeWhenTime, Now());
}

void TF_TimeCalc::Here(int tag) {
    Locations[size_t(tag)].Copy(FMain.LocalClock.Location);
    FLocationButtons[size_t(tag)]->setText(QString::fromStdString(Locations[size_t(tag)].Name));
}

void TF_TimeCalc::sb_HereAClick() {
    Here(0);
}

void TF_TimeCalc::sb_HereZClick() {
    Here(1);
}

void TF_TimeCalc::ChangeZone(int tag) {
    if (tag < 0 || tag >= int(Locations.size())) return;
    Guarded([&] {
        TTimeLocation picked;
        picked.Copy(Locations[size_t(tag)]);
        // Without a manager that can be made active, nothing happens.
        if (!FPicker.PickLocation(picked)) return;
        TTimeLocation& slot = Locations[size_t(tag)];
        slot.Copy(picked);
        // Its "now" is the computer's, as for every clock.
        slot.HostOffset = FMain.LocalClock.Location.HostOffset;
        FLocationButtons[size_t(tag)]->setText(QString::fromStdString(slot.Name));
    });
}

void TF_TimeCalc::sb_WhenWhereAnswerClick() {
    // A date still being typed is taken first, or refused and nothing worked out.
    if (!ui->dtp_WhenWhereDate->TakeTyped() || !TimeTaken(ui->dtp_WhenWhereTime, ui->lbl_2->text()))
        return;
    Guarded([&] {
        const TDateTime t = Combined(ui->dtp_WhenWhereDate, ui->dtp_WhenWhereTime);
        TTimeLocation& here = Locations[0];
        // A time the clocks skip there has no answer.
        const std::string skipped = here.SkippedWallTimeText(
            t, ui->dtp_WhenWhereDate->date().toString(NumericDateFormat()).toStdString());
        if (!skipped.empty()) {
            ui->l_WhenWhereAnswer->clear();
            THXMessageBoxes::ShowError(skipped);
            ui->dtp_WhenWhereTime->setFocus();
            return;
        }
        here.HostOffset = here.StdOffset;
        here.ImposeAlternate(t);
        ui->l_WhenWhereAnswer->setText(QString::fromStdString(CalcAnswerText(here.TimeIn(Locations[1]))));
    });
}

void TF_TimeCalc::sbDiffAnswerClick() {
    Guarded([&] {
        ui->lDiffAnswer->setText(
            QString::fromStdString(FloatToStr(Locations[2].CurrentUTCOffset() - Locations[3].CurrentUTCOffset())));
    });
}

void TF_TimeCalc::sb_WhatZoneAnswerClick() {
    if (!ui->dtp_WhatZoneDate->TakeTyped() || !TimeTaken(ui->dtp_WhatZoneTime, ui->lbl_8->text()))
        return;
    Guarded([&] {
        const TDateTime t = Combined(ui->dtp_WhatZoneDate, ui->dtp_WhatZoneTime);
        ui->l_WhatZoneAnswer->setText(QString::fromStdString(WhatZone(t, FMain.LocalClock.Location.UTC())));
    });
}

void TF_TimeCalc::sbDateTimeWhenAnswerClick() {
    if (!ui->dtpDateTimeWhenDate->TakeTyped() ||
        !TimeTaken(ui->dtpDateTimeWhenTime, ui->pcCalc->tabText(ui->pcCalc->indexOf(ui->ts_DateTimeWhen))))
        return;
    Guarded([&] {
        const std::array<std::string, 6> span = {
            ui->eYears->text().toStdString(), ui->eMonths->text().toStdString(),
            ui->eDays->text().toStdString(),  ui->eHours->text().toStdString(),
            ui->eMinutes->text().toStdString(), ui->eSeconds->text().toStdString()};
        const TDateTime base = Combined(ui->dtpDateTimeWhenDate, ui->dtpDateTimeWhenTime);
        const TDateTime r = DateTimeWhen(base, span, ui->cbPlusMinus->currentText() == "Minus");
        ui->lDateTimeWhenAnswer->setText(QString::fromStdString(CalcAnswerText(r)));
    });
}

// ---------------------------------------------------------------- calendar

int RowWeekNumber(const QDate& rowStart, Qt::DayOfWeek firstDay) {
    if (firstDay == Qt::Monday) return rowStart.weekNumber();
    // The row that holds 1 January is the first of that year.
    const QDate jan1(rowStart.addDays(6).year(), 1, 1);
    const QDate first = jan1.addDays(-((jan1.dayOfWeek() - int(firstDay) + 7) % 7));
    return int(first.daysTo(rowStart) / 7) + 1;
}

namespace {

// The calendar's own grid numbers its rows by ISO weeks whatever day they
// start on. Its week column is read through this model instead: the same
// cells, each row numbered by its own first weekday's rule.
class TCalendarWeeks : public QIdentityProxyModel {
public:
    TCalendarWeeks(QCalendarWidget* calendar, QAbstractItemModel* grid)
        : QIdentityProxyModel(calendar), FCalendar(calendar) {
        setObjectName("mcWeekNumbers");
        setSourceModel(grid);
    }
    bool IsWeekCell(const QModelIndex& index) const {
        return FCalendar->verticalHeaderFormat() != QCalendarWidget::NoVerticalHeader &&
               index.column() == 0 && index.row() >= 1;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !IsWeekCell(index))
            return QIdentityProxyModel::data(index, role);
        const QDate start = RowStart(index.row());
        if (!start.isValid()) return QIdentityProxyModel::data(index, role);
        return RowWeekNumber(start, FCalendar->firstDayOfWeek());
    }

private:
    // The date in the row's first day cell: the grid gives its day of the
    // month; the row tells which month it belongs to.
    QDate RowStart(int row) const {
        const int day = sourceModel()->index(row, 1).data(Qt::DisplayRole).toInt();
        if (day < 1) return {};
        QDate month(FCalendar->yearShown(), FCalendar->monthShown(), 1);
        if (row <= 2 && day > 20)
            month = month.addMonths(-1);
        else if (row >= 4 && day < 15)
            month = month.addMonths(1);
        return QDate(month.year(), month.month(), day);
    }

    QCalendarWidget* FCalendar;
};

// Paints the week column from the model above; every other cell as the
// calendar's own delegate does.
class TCalendarWeekDelegate : public QAbstractItemDelegate {
public:
    TCalendarWeekDelegate(QAbstractItemDelegate* own, TCalendarWeeks* weeks, QObject* parent)
        : QAbstractItemDelegate(parent), FOwn(own), FWeeks(weeks) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        FOwn->paint(painter, option, FWeeks->IsWeekCell(index) ? FWeeks->mapFromSource(index) : index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return FOwn->sizeHint(option, index);
    }

private:
    QPointer<QAbstractItemDelegate> FOwn;
    TCalendarWeeks* FWeeks;
};

} // namespace

TFhxCalendar::TFhxCalendar(const TClockState& state, QWidget* owner)
    : QWidget(owner, Qt::Window), FMain(state), ui(std::make_unique<Ui::TFhxCalendar>()) {
    ui->setupUi(this);
    QCalendarWidget* calendar = ui->mcCalendar;
    auto* grid = calendar->findChild<QTableView*>("qt_calendar_calendarview");
    if (grid && grid->model() && grid->itemDelegate()) {
        auto* weeks = new TCalendarWeeks(calendar, grid->model());
        grid->setItemDelegate(new TCalendarWeekDelegate(grid->itemDelegate(), weeks, grid));
    }
    FormCreate();
}

TFhxCalendar::~TFhxCalendar() = default;

void TFhxCalendar::FormCreate() {
    int y, m, d;
    DecodeDate(DateOf(FMain.LocalClock.Location.CurrentDateTime()), y, m, d);
    ui->mcCalendar->setSelectedDate(QDate(y, m, d));
}
