// The calculator, calendar, system-time and drift windows through the main
// window.
#include "clockapp/tests/WindowTest.h"
#include "platform/qt/DateField.h"
#include "platform/qt/TimeField.h"
#include "tickmatch/SyncRules.h"
#include "timemodel/HX_messages.h"
#include "tools/DriftChart.h"
#include "tools/F_SysTimeInfo.h"
#include "tools/F_TimeCalc.h"
#include "tools/TimeTools.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// A location manager that hands back the places queued, one a pick.
class TFakeManager : public QWidget, public ITimeZoneManager {
public:
    std::deque<TTimeLocation> Picks;
    QWidget* Window() override { return this; }
    void ConfigureClock(const THXClock&, bool, int, bool, bool) override {}
    void RebuildLocationTree() override {}
    void LoadDSTRules() override {}
    void ClocksChanged() override {}
    bool PickLocation(TTimeLocation& location) override {
        if (Picks.empty()) return false;
        location.Copy(Picks.front());
        Picks.pop_front();
        return true;
    }
};

// Answers Yes to the question that activates the manager.
class PickingClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;
    int Questions = 0;

protected:
    bool ConfirmYes(const std::string&) override {
        ++Questions;
        return true;
    }
};

TTimeLocation Place(const char* name, double stdOffset, const char* rule) {
    TTimeLocation l;
    l.Name = name;
    l.StdOffset = stdOffset;
    l.Rule.ReadDataString(rule);
    return l;
}
const char* const kEU = "EU/L.1.3.60.01:00:00/L.1.10.0.01:00:00/";
const char* const kUS = "US/2.1.3.60.02:00:00/1.1.11.0.01:00:00/";

template <class T> T* Child(QWidget* w, const char* name) {
    T* c = w ? w->findChild<T*>(name) : nullptr;
    EXPECT_TRUE(c) << name;
    return c;
}
std::string Text(QWidget* w, const char* name) {
    QLabel* l = Child<QLabel>(w, name);
    return l ? l->text().toStdString() : std::string();
}
void Click(QWidget* w, const char* name) {
    if (QPushButton* b = Child<QPushButton>(w, name)) b->click();
}
void SetWhen(QWidget* w, const char* date, const char* time, TDateTime t) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(t, y, mo, d, h, mi, s, ms);
    Child<TDateField>(w, date)->setDate(QDate(y, mo, d));
    Child<TTimeField>(w, time)->setTime(QTime(h, mi, s));
}
void Flush() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class TimeToolWindows : public TWindowTest<PickingClocks> {
protected:
    void BeforeStart() override { InstallTimeTools(*w, w->WindowServices()); }
    void TearDown() override {
        for (QWidget* win : QApplication::topLevelWidgets())
            if (qobject_cast<TF_TimeCalc*>(win) || qobject_cast<TFhxCalendar*>(win) ||
                qobject_cast<TFSysTimeInfo*>(win) || qobject_cast<TFSystemDrift*>(win) ||
                win->inherits("TF_Astronomy"))
                win->deleteLater();
        Flush();
        ResetClockSource();
        if (FOldTZ) setenv("TZ", FOldTZ->c_str(), 1);
        else unsetenv("TZ");
        tzset();
        QLocale::setDefault(FLocale);
        TWindowTest::TearDown();
    }
    template <class T> T* Open(TToolWindow which, const char* action) {
        QAction* a = w->findChild<QAction*>(action);
        EXPECT_TRUE(a && a->isEnabled()) << action;
        if (a) a->trigger();
        return qobject_cast<T*>(w->ToolWindow(which));
    }
    void SetTZ(const char* zone) {
        if (!FSavedTZ) {
            FSavedTZ = true;
            if (const char* old = getenv("TZ")) FOldTZ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    std::string LogPath() const { return w->DataDir + kSyncLogFileName; }
    void WriteLog(const std::vector<std::string>& lines, std::ios::openmode mode = std::ios::trunc) {
        std::ofstream out(LogPath(), std::ios::binary | std::ios::out | mode);
        for (const std::string& l : lines) out << l << "\r\n";
    }
    bool FSavedTZ = false;
    std::optional<std::string> FOldTZ;
    QLocale FLocale;
};

std::string Success(TDateTime newUtc, double drift) {
    return tickmatch::LogLineStart("h", newUtc) + tickmatch::LogSuccessFields(newUtc, newUtc + drift);
}
std::string Failure() {
    return tickmatch::LogLineStart("h", 46000) + tickmatch::LogFailField(tickmatch::FailTimedOut);
}

} // namespace

TEST_F(TimeToolWindows, EachCommandIsDisabledWhileItsWindowIsOpen) {
    const struct {
        TToolWindow Which;
        const char* Commands[2];
        const char* Title;
        std::vector<const char*> Components;
    } cases[] = {
        {TToolWindow::TimeCalc, {"sb_Calc", "mi_TimeCalc"}, "Horolux Calculator",
         {"sb_WhenWhereLocationA", "sb_WhenWhereLocationZ", "sbDiffLocA", "sbDiffLocZ",
          "dtp_WhenWhereTime", "dtp_WhenWhereDate", "sb_Now", "sb_HereA", "sb_HereZ",
          "sb_WhenWhereAnswer", "l_WhenWhereAnswer", "sbDiffAnswer", "lDiffAnswer",
          "dtp_WhatZoneTime", "dtp_WhatZoneDate", "sb_WhatZoneAnswer", "l_WhatZoneAnswer",
          "dtpDateTimeWhenTime", "dtpDateTimeWhenDate", "sbDateTimeWhenNow", "eYears", "eMonths",
          "eDays", "eHours", "eMinutes", "eSeconds", "cbPlusMinus", "sbDateTimeWhenAnswer",
          "lDateTimeWhenAnswer"}},
        {TToolWindow::Calendar, {"miCalender", "sbCalendar"}, "Horolux Calendar", {"mcCalendar"}},
        {TToolWindow::SysTimeInfo, {"sb_SysTimeInfo", "mi_SysTimeInfo"}, "System Time Information",
         {"l_ActiveTime", "l_NumLocations", "l_SysTimeAdjustment", "l_SysAdjustInc", "l_ActiveBias",
          "l_StandardName", "l_DaylightName", "l_Bias", "l_StandardBias", "l_DaylightBias",
          "l_DaylightDate", "l_StandardDate", "sb_Drift"}},
    };
    for (const auto& c : cases) {
        for (const char* cmd : c.Commands) {
            QAction* a = w->findChild<QAction*>(cmd);
            ASSERT_TRUE(a) << cmd;
            EXPECT_TRUE(a->isEnabled()) << cmd;
        }
        QWidget* win = Open<QWidget>(c.Which, c.Commands[0]);
        ASSERT_TRUE(win) << c.Title;
        EXPECT_TRUE(win->isVisible());
        EXPECT_EQ(win->windowTitle(), c.Title);
        for (const char* name : c.Components) EXPECT_TRUE(win->findChild<QWidget*>(name)) << name;
        for (const char* cmd : c.Commands) EXPECT_FALSE(w->findChild<QAction*>(cmd)->isEnabled()) << cmd;
        win->close();
        Flush();
        EXPECT_FALSE(w->ToolWindow(c.Which));
        for (const char* cmd : c.Commands) EXPECT_TRUE(w->findChild<QAction*>(cmd)->isEnabled()) << cmd;
    }
}

TEST_F(TimeToolWindows, CalculatorWhenWhereAndDifference) {
    PinClock(EncodeDate(2026, 1, 15) + 0.5, 0); // asked in January
    auto* calc = Open<TF_TimeCalc>(TToolWindow::TimeCalc, "mi_TimeCalc");
    ASSERT_TRUE(calc);
    // The pickers start at the home clock's UTC.
    EXPECT_EQ(Child<TDateField>(calc, "dtp_WhenWhereDate")->date(), QDate(2026, 1, 15));
    EXPECT_EQ(Child<TTimeField>(calc, "dtp_WhatZoneTime")->time(), QTime(12, 0));

    // Two empty places: the time given.
    SetWhen(calc, "dtp_WhenWhereDate", "dtp_WhenWhereTime", EncodeDate(2026, 7, 1) + 0.5);
    Click(calc, "sb_WhenWhereAnswer");
    EXPECT_EQ(Text(calc, "l_WhenWhereAnswer"), "Wednesday 01, July, 2026  12:00:00");

    // Without a manager to pick from, a location button does nothing.
    Click(calc, "sb_WhenWhereLocationA");
    EXPECT_EQ(Child<QPushButton>(calc, "sb_WhenWhereLocationA")->text(), "Select Location");
    EXPECT_EQ(w->Questions, 0);

    w->SetTimeZoneManagerFactory([](QWidget*) -> ITimeZoneManager* {
        auto* manager = new TFakeManager;
        manager->Picks = {Place("New York", -5, kUS), Place("London", 0, kEU), Place("Tokyo", 9, "0"),
                          Place("New York", -5, kUS)};
        return manager;
    });
    for (const char* b : {"sb_WhenWhereLocationA", "sb_WhenWhereLocationZ", "sbDiffLocA", "sbDiffLocZ"})
        Click(calc, b);
    EXPECT_EQ(Child<QPushButton>(calc, "sb_WhenWhereLocationA")->text(), "New York");
    EXPECT_EQ(Child<QPushButton>(calc, "sbDiffLocZ")->text(), "New York");
    EXPECT_EQ(w->Questions, 1); // the manager was activated once
    // A pick the user cancels leaves the place as it was.
    Click(calc, "sbDiffLocZ");
    EXPECT_EQ(calc->Locations[3].Name, "New York");

    // 12:00 in New York on 1 July (daylight time there and in London) is
    // 17:00 in London, at the first click.
    Click(calc, "sb_WhenWhereAnswer");
    EXPECT_EQ(Text(calc, "l_WhenWhereAnswer"), "Wednesday 01, July, 2026  17:00:00");
    // In January: Tokyo is 14 hours ahead of New York.
    Click(calc, "sbDiffAnswer");
    EXPECT_EQ(Text(calc, "lDiffAnswer"), "14");

    // "here" is the home clock.
    w->LocalClock.Location.Name = "Home";
    Click(calc, "sb_HereZ");
    EXPECT_EQ(Child<QPushButton>(calc, "sb_WhenWhereLocationZ")->text(), "Home");
}

TEST_F(TimeToolWindows, CalculatorWhatZoneAndDateTimeWhen) {
    const TDateTime utc = EncodeDate(2026, 5, 20) + 0.5;
    PinClock(utc, 0);
    auto* calc = Open<TF_TimeCalc>(TToolWindow::TimeCalc, "sb_Calc");
    ASSERT_TRUE(calc);
    EXPECT_EQ(Text(calc, "l_WhatZoneAnswer"), "UTC");
    const struct {
        double Hours;
        const char* Answer;
    } zones[] = {{5.5, "5.5"}, {5.3, "5"}, {-3.5, "-3.5"}, {13, "13"},
                 {13.5, "Error UTC Differential > 12 hours"}, {-0.3, "0"}};
    for (const auto& z : zones) {
        SetWhen(calc, "dtp_WhatZoneDate", "dtp_WhatZoneTime", utc + z.Hours / 24);
        Click(calc, "sb_WhatZoneAnswer");
        EXPECT_EQ(Text(calc, "l_WhatZoneAnswer"), z.Answer) << z.Hours;
    }

    auto* sign = Child<QComboBox>(calc, "cbPlusMinus");
    EXPECT_FALSE(sign->isEditable()); // a typed "minus" cannot add
    ASSERT_EQ(sign->count(), 2);
    EXPECT_EQ(sign->itemText(0), "Plus");
    EXPECT_EQ(sign->itemText(1), "Minus");
    EXPECT_EQ(sign->currentText(), "Plus");
    for (const char* e : {"eYears", "eMonths", "eDays", "eHours", "eMinutes", "eSeconds"})
        EXPECT_EQ(Child<QLineEdit>(calc, e)->text(), "0") << e;

    SetWhen(calc, "dtpDateTimeWhenDate", "dtpDateTimeWhenTime", EncodeDate(2028, 1, 31) + 0.5);
    Child<QLineEdit>(calc, "eMonths")->setText("1");
    Click(calc, "sbDateTimeWhenAnswer");
    // A month on the calendar: the last day of February, the time of day kept.
    EXPECT_EQ(Text(calc, "lDateTimeWhenAnswer"), "Tuesday 29, February, 2028  12:00:00");
    sign->setCurrentIndex(1);
    Click(calc, "sbDateTimeWhenAnswer");
    EXPECT_EQ(Text(calc, "lDateTimeWhenAnswer"), "Friday 31, December, 2027  12:00:00");

    // A span that is no number: the conversion message, the answer kept.
    Child<QLineEdit>(calc, "eDays")->setText("two");
    Click(calc, "sbDateTimeWhenAnswer");
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(presenter.Texts[0], "'two' is not a valid floating point value");
    EXPECT_EQ(Text(calc, "lDateTimeWhenAnswer"), "Friday 31, December, 2027  12:00:00");

    Click(calc, "sbDateTimeWhenNow");
    EXPECT_EQ(Child<TDateField>(calc, "dtpDateTimeWhenDate")->date(), QDate(2026, 5, 20));
}

TEST_F(TimeToolWindows, CalendarOpensOnTheHomeClocksDate) {
    PinClock(EncodeDate(2026, 3, 1) + 20.0 / 24, 0);
    // The home clock's own offset, ahead of the computer's: already 2 March.
    w->LocalClock.Location.StdOffset = 10;
    w->LocalClock.Location.HostOffset = 0;
    auto* cal = Open<TFhxCalendar>(TToolWindow::Calendar, "sbCalendar");
    ASSERT_TRUE(cal);
    auto* mc = Child<QCalendarWidget>(cal, "mcCalendar");
    EXPECT_EQ(mc->selectedDate(), QDate(2026, 3, 2));
    EXPECT_EQ(mc->verticalHeaderFormat(), QCalendarWidget::ISOWeekNumbers);
}

// Each row of the calendar carries its own week's number: from Sunday in
// en_US (the row of 1 January is week 1), from Monday ISO 8601's in en_GB.
TEST_F(TimeToolWindows, CalendarRowsCarryTheirOwnWeeksNumber) {
    struct TRestore {
        QLocale Before;
        ~TRestore() { QLocale::setDefault(Before); }
    } restore;
    struct TCase {
        QLocale Locale;
        int Year, Month;
        std::vector<int> Rows;
    };
    const TCase cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), 2027, 1, {1, 2, 3, 4, 5, 6}},
        {QLocale(QLocale::English, QLocale::UnitedStates), 2026, 12, {49, 50, 51, 52, 1, 2}},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), 2027, 1, {53, 1, 2, 3, 4, 5}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Locale.name().toStdString() + " " + std::to_string(c.Month));
        QLocale::setDefault(c.Locale);
        TFhxCalendar cal(*w, nullptr);
        auto* mc = Child<QCalendarWidget>(&cal, "mcCalendar");
        mc->setCurrentPage(c.Year, c.Month);
        auto* weeks = mc->findChild<QAbstractItemModel*>("mcWeekNumbers");
        ASSERT_TRUE(weeks);
        std::vector<int> rows;
        for (int r = 1; r <= 6; ++r)
            rows.push_back(weeks->index(r, 0).data().toInt());
        EXPECT_EQ(rows, c.Rows);
    }
}

TEST_F(TimeToolWindows, SystemTimeInformation) {
    const struct {
        const char* Zone;
        TDateTime Utc;
        const char *Active, *Bias, *StdBias, *DltBias, *Start, *Stop;
        bool Names;
    } zones[] = {
        {"Europe/Berlin", EncodeDate(2026, 7, 1), "120 mins", "60 mins", "0 mins", "60 mins",
         "Last Sunday in March", "Last Sunday in October", true},
        {"Europe/Berlin", EncodeDate(2026, 1, 10), "60 mins", "60 mins", "0 mins", "60 mins",
         "Last Sunday in March", "Last Sunday in October", true},
        {"America/New_York", EncodeDate(2026, 1, 10), "-300 mins", "-300 mins", "0 mins", "60 mins",
         "Second Sunday in March", "First Sunday in November", true},
        {"Asia/Tokyo", EncodeDate(2026, 7, 1), "540 mins", "540 mins", "0 mins", "0 mins",
         "Not Specified", "Not Specified", false},
    };
    for (const auto& z : zones) {
        SetTZ(z.Zone);
        PinClock(z.Utc, 0);
        auto* info = qobject_cast<TFSysTimeInfo*>(w->ToolWindow(TToolWindow::SysTimeInfo));
        if (!info) info = Open<TFSysTimeInfo>(TToolWindow::SysTimeInfo, "sb_SysTimeInfo");
        ASSERT_TRUE(info);
        info->FormActivate();
        EXPECT_EQ(Text(info, "l_ActiveBias"), z.Active) << z.Zone;
        EXPECT_EQ(Text(info, "l_Bias"), z.Bias) << z.Zone;
        EXPECT_EQ(Text(info, "l_StandardBias"), z.StdBias) << z.Zone;
        EXPECT_EQ(Text(info, "l_DaylightBias"), z.DltBias) << z.Zone;
        EXPECT_EQ(Text(info, "l_DaylightDate"), z.Start) << z.Zone;
        EXPECT_EQ(Text(info, "l_StandardDate"), z.Stop) << z.Zone;
        if (z.Names) {
            EXPECT_FALSE(Text(info, "l_StandardName").empty());
            EXPECT_NE(Text(info, "l_StandardName"), Text(info, "l_DaylightName")) << z.Zone;
        } else {
            EXPECT_EQ(Text(info, "l_StandardName"), "Not Specified");
            EXPECT_EQ(Text(info, "l_DaylightName"), "Not Specified");
        }
    }
    auto* info = qobject_cast<TFSysTimeInfo*>(w->ToolWindow(TToolWindow::SysTimeInfo));
    ASSERT_TRUE(info);
    // The captions speak of the user's clock, not of another system's records.
    QStringList captions;
    for (const QLabel* l : info->findChildren<QLabel*>())
        captions << l->text();
    for (const char* wanted : {"Offset from UTC:", "Standard time starts:", "Summer time starts:"})
        EXPECT_TRUE(captions.contains(wanted)) << wanted;
    EXPECT_FALSE(captions.join('|').contains("Bias")) << captions.join('|').toStdString();

    w->StartTime = Now() - 0.25;
    info->FormActivate();
    EXPECT_EQ(Text(info, "l_ActiveTime"), "06:00:00");
    w->StartTime = Now() - 2.5;
    info->FormActivate();
    EXPECT_EQ(Text(info, "l_ActiveTime"), "2.50 days");

    EXPECT_EQ(Text(info, "l_NumLocations"), "--Not Loaded--");
    w->StandardLocations.push_back(std::make_unique<TTimeLocation>());
    info->FormActivate();
    EXPECT_EQ(Text(info, "l_NumLocations"), "1");

    auto* box = Child<QGroupBox>(info, "gb_SysTimeAdjust");
    info->ReadAdjustment = [] { return TSystemTimeAdjustment{true, 100000, 100016, false}; };
    info->FormActivate();
    EXPECT_EQ(box->title(), "System Time Adjustments (kernel) - Enabled");
    EXPECT_EQ(Text(info, "l_SysAdjustInc"), "100000");
    EXPECT_EQ(Text(info, "l_SysTimeAdjustment"), "100016");
    info->ReadAdjustment = [] { return TSystemTimeAdjustment{true, 100000, 100000, true}; };
    info->FormActivate();
    EXPECT_EQ(box->title(), "System Time Adjustments (kernel) - Disabled");
    info->ReadAdjustment = [] { return TSystemTimeAdjustment{}; };
    info->FormActivate();
    EXPECT_EQ(Text(info, "l_SysAdjustInc"), "?");
    EXPECT_EQ(Text(info, "l_SysTimeAdjustment"), "?");

    // The kernel's own read: either refused or plausible (a tick of 1 to 100 ms).
    const TSystemTimeAdjustment real = GetSystemTimeAdjustment();
    if (real.Ok) {
        EXPECT_TRUE(real.Increment >= 10000 && real.Increment <= 1000000) << real.Increment;
    }
}

TEST_F(TimeToolWindows, DriftChartAndStatistics) {
    const TDateTime now = EncodeDate(2026, 12, 9) + 0.5;
    // The computer five hours ahead of UTC: the range still ends at UTC now.
    PinClock(now, 5);
    auto* info = Open<TFSysTimeInfo>(TToolWindow::SysTimeInfo, "sb_SysTimeInfo");
    ASSERT_TRUE(info);
    auto* drift = Child<QPushButton>(info, "sb_Drift");

    // No log: message 62 and no window.
    Click(info, "sb_Drift");
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(presenter.Texts[0], "Warning(62) Sync Log Missing or Already Cleared\r\nDrift Statistics Unavailable");
    EXPECT_FALSE(info->DriftWindow);
    EXPECT_TRUE(drift->isEnabled());

    // 120 samples an hour apart, a failure after every tenth, one zero drift.
    const TDateTime first = now - 10;
    std::vector<std::string> lines;
    for (int i = 0; i < 120; ++i) {
        lines.push_back(Success(first + i / 24.0, i == 7 ? 0 : (i + 1) / 86400.0));
        if (i % 10 == 9) lines.push_back(Failure());
    }
    WriteLog(lines);
    Click(info, "sb_Drift");
    TFSystemDrift* win = info->DriftWindow;
    ASSERT_TRUE(win);
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(win->windowTitle(), "System Clock Drift");
    EXPECT_FALSE(drift->isEnabled());
    EXPECT_EQ(Text(win, "l_NumLogEntries"), "132");
    EXPECT_EQ(Text(win, "l_SuccessRate"), "91%");
    EXPECT_EQ(Text(win, "l_MaximumDrift"), "0 Days 00:02:00.000");
    EXPECT_EQ(Text(win, "l_LogDateRange"), "120 Samples from Nov-29-2026 12:00 - Dec-09-2026 12:00 (UTC)");

    THXDriftChart* chart = win->Chart();
    EXPECT_EQ(chart->objectName(), "DriftChart");
    EXPECT_EQ(chart->chart()->title(), "System Clock Drift");
    EXPECT_EQ(chart->AxisX->titleText(), "Date");
    // The page spans 19 hours: its ticks name their hours below their dates.
    EXPECT_EQ(chart->AxisX->format(), "MMM, dd'<br>'hh:mm");
    EXPECT_EQ(chart->toolTip(), "Left CLick to Zoom, Right Click to Pan");
    EXPECT_EQ(chart->LocalAverage->pen().color(), QColor(Qt::red));
    EXPECT_EQ(chart->LocalAverage->pen().width(), 2);
    EXPECT_EQ(chart->OverallAverage->pen().color(), QColor(0, 255, 0));
    // Every sample but the zero one is kept; the last page of 50 is shown.
    EXPECT_EQ(chart->Samples().size(), 119u);
    EXPECT_EQ(chart->PageCount(), 3u);
    ASSERT_EQ(chart->DriftData->count(), 19);
    EXPECT_NEAR(chart->DriftData->at(18).y(), 120 / 86400.0, 1e-9);
    EXPECT_EQ(chart->LocalAverage->count(), 19);
    EXPECT_NEAR(chart->LocalAverage->at(18).y(), 119 / 86400.0, 1e-12);
    ASSERT_EQ(chart->OverallAverage->count(), 2);
    EXPECT_NEAR(chart->OverallAverage->at(0).y(), (120 * 121 / 2 - 8) / 119.0 / 86400, 1e-12);
    // A right drag pans to earlier samples, which the series then hold.
    chart->resize(600, 400);
    const qint64 before = chart->AxisX->min().toMSecsSinceEpoch();
    const double lastShown = chart->DriftData->at(0).x();
    auto drag = [chart](Qt::MouseButton button, int from, int to) {
        auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(x, 200), chart->viewport()->mapToGlobal(QPointF(x, 200)),
                          button, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(chart->viewport(), &e);
        };
        send(QEvent::MouseButtonPress, from, button);
        send(QEvent::MouseMove, to, button);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    };
    drag(Qt::RightButton, 200, 350);
    EXPECT_LT(chart->AxisX->min().toMSecsSinceEpoch(), before);
    ASSERT_GT(chart->DriftData->count(), 0);
    EXPECT_LT(chart->DriftData->at(0).x(), lastShown);
    // A left drag zooms into the part dragged over.
    const qint64 width = chart->AxisX->max().toMSecsSinceEpoch() - chart->AxisX->min().toMSecsSinceEpoch();
    drag(Qt::LeftButton, 200, 300);
    EXPECT_LT(chart->AxisX->max().toMSecsSinceEpoch() - chart->AxisX->min().toMSecsSinceEpoch(), width / 2);
    chart->ShowPage(0);
    EXPECT_EQ(chart->DriftData->count(), 50);

    // Each success anywhere reloads the chart once its line is in the log,
    // which tickmatch writes after it reports.
    BroadcastHXMessage(HXM_SyncSuccess);
    loop.Deliver();
    EXPECT_TRUE(win->WaitingForLine());
    EXPECT_EQ(Text(win, "l_NumLogEntries"), "132");
    WriteLog({Success(now, 3 / 86400.0)}, std::ios::app);
    QElapsedTimer waited;
    waited.start();
    while (win->WaitingForLine() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(Text(win, "l_NumLogEntries"), "133");
    // A line already there is read at once.
    WriteLog({Failure()}, std::ios::app);
    BroadcastHXMessage(HXM_SyncSuccess);
    loop.Deliver();
    EXPECT_FALSE(win->WaitingForLine());
    EXPECT_EQ(Text(win, "l_NumLogEntries"), "134");
    // So is every activation of the window.
    WriteLog({Failure()}, std::ios::app);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(win, &activate);
    EXPECT_EQ(Text(win, "l_NumLogEntries"), "135");
    EXPECT_EQ(Text(win, "l_MaximumDrift"), "0 Days 00:02:00.000");
    EXPECT_EQ(chart->Samples().size(), 120u);

    win->close();
    Flush();
    EXPECT_TRUE(drift->isEnabled());

    // Small logs: the moving average starts at the third sample.
    const struct {
        std::vector<std::string> Lines;
        int Points, Moving;
        const char *Entries, *Rate, *Average;
    } small[] = {
        {{}, 0, 0, "0", "", "0 Days 00:00:00.000"},
        {{Failure()}, 0, 0, "1", "0%", "0 Days 00:00:00.000"},
        {{Success(now - 1, 1 / 86400.0)}, 1, 0, "1", "100%", "0 Days 00:00:00.000"},
        {{Success(now - 2, 1 / 86400.0), Success(now - 1, 4 / 86400.0)}, 2, 0, "2", "100%",
         "0 Days 00:00:02.000"},
        {{Success(now - 2, 1 / 86400.0), Failure(), Success(now - 1, 4 / 86400.0),
          Success(now, 2 / 86400.0)}, 3, 1, "4", "75%", "0 Days 00:00:01.500"},
    };
    for (const auto& s : small) {
        WriteLog(s.Lines);
        Click(info, "sb_Drift");
        TFSystemDrift* d = info->DriftWindow;
        ASSERT_TRUE(d) << s.Entries;
        EXPECT_EQ(d->Chart()->DriftData->count(), s.Points) << s.Entries;
        EXPECT_EQ(d->Chart()->LocalAverage->count(), s.Moving) << s.Entries;
        EXPECT_EQ(Text(d, "l_NumLogEntries"), s.Entries);
        EXPECT_EQ(Text(d, "l_SuccessRate"), s.Rate) << s.Entries;
        EXPECT_EQ(Text(d, "l_AverageDrift"), s.Average) << s.Entries;
        if (s.Points == 0) {
            EXPECT_EQ(Text(d, "l_LogDateRange"), "No samples yet") << s.Entries;
        }
        d->close();
        Flush();
    }
}

namespace {
// Escape typed into the control that has the focus, as a user types it.
void PressEscape(QWidget* win) {
    QWidget* target = win->focusWidget();
    if (!target)
        for (QWidget* c : win->findChildren<QWidget*>())
            if ((c->focusPolicy() & Qt::TabFocus) && c->isVisibleTo(win)) {
                target = c;
                break;
            }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target ? target : win, &press);
    Flush();
}
} // namespace

// Every tool window closes on Escape, as a dialog does, and gives its
// commands back; the running time of System Time Information counts on.
TEST_F(TimeToolWindows, EscapeClosesEveryToolWindow) {
    PinClock(EncodeDate(2026, 6, 1) + 0.5, 0);
    const std::pair<TToolWindow, const char*> tools[] = {
        {TToolWindow::TimeCalc, "sb_Calc"},
        {TToolWindow::Calendar, "sbCalendar"},
        {TToolWindow::SysTimeInfo, "sb_SysTimeInfo"}};
    for (const auto& [which, command] : tools) {
        QWidget* win = Open<QWidget>(which, command);
        ASSERT_TRUE(win) << command;
        PressEscape(win);
        EXPECT_FALSE(w->ToolWindow(which)) << command;
        EXPECT_TRUE(w->findChild<QAction*>(command)->isEnabled()) << command;
    }

    auto* info = Open<TFSysTimeInfo>(TToolWindow::SysTimeInfo, "sb_SysTimeInfo");
    ASSERT_TRUE(info);
    w->StartTime = Now() - 10.0 / 86400;
    QTimer* running = info->findChild<QTimer*>("t_Running");
    ASSERT_TRUE(running);
    EXPECT_TRUE(running->isActive());
    QMetaObject::invokeMethod(running, "timeout");
    EXPECT_EQ(Text(info, "l_ActiveTime"), "00:00:10");
    PinClock(EncodeDate(2026, 6, 1) + 0.5 + 5.0 / 86400, 0);
    QMetaObject::invokeMethod(running, "timeout");
    EXPECT_EQ(Text(info, "l_ActiveTime"), "00:00:15");

    WriteLog({Success(EncodeDate(2026, 5, 30), 1 / 86400.0)});
    Click(info, "sb_Drift");
    QPointer<TFSystemDrift> drift = info->DriftWindow;
    ASSERT_TRUE(drift);
    PressEscape(drift);
    EXPECT_FALSE(drift);
    EXPECT_TRUE(Child<QPushButton>(info, "sb_Drift")->isEnabled());

    w->Clocks.push_back(std::make_unique<THXClock>());
    w->CurrentClock = 0;
    w->findChild<QAction*>("smiAstro")->trigger();
    QPointer<QWidget> astro;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("TF_Astronomy") && top->isVisible()) astro = top;
    ASSERT_TRUE(astro);
    PressEscape(astro);
    EXPECT_FALSE(astro);
}

namespace {
std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// A long log is read a slice at a time, the clocks ticking between slices;
// later activations read only what was appended, at once; the figures are
// always those of a whole read.
TEST_F(TimeToolWindows, DriftWindowReadsALongLogInSlicesAndThenOnlyWhatIsAppended) {
    const TDateTime now = EncodeDate(2026, 12, 9) + 0.5;
    PinClock(now, 0);
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i)
        lines.push_back(i % 10 == 9 ? Failure() : Success(now - 100 + i / 30.0, (i % 7 - 3) / 86400.0));
    WriteLog(lines);

    TFSystemDrift win(nullptr, LogPath());
    win.ChunkBytes = 4096;
    win.SliceMs = 0;
    THXDriftChart* chart = win.Chart();
    auto expectWholeRead = [&](const char* what) {
        const TSyncLogContents whole = ReadSyncLogText(FileText(LogPath()), NowUTC());
        const TDriftStatistics& s = whole.Statistics;
        EXPECT_EQ(Text(&win, "l_NumLogEntries"), IntToStr(s.Entries)) << what;
        EXPECT_EQ(Text(&win, "l_SuccessRate"), SuccessRateText(s)) << what;
        EXPECT_EQ(Text(&win, "l_MaximumDrift"), DriftText(s.MaxDrift)) << what;
        EXPECT_EQ(Text(&win, "l_AverageDrift"), DriftText(s.AverageDrift)) << what;
        EXPECT_EQ(Text(&win, "l_LogDateRange"), LogDateRangeText(s)) << what;
        ASSERT_EQ(chart->Samples().size(), whole.Samples.size()) << what;
        // The last page's points and both averages as the whole samples give them.
        const std::vector<TDriftSample> moving = MovingAverage(whole.Samples, 3);
        ASSERT_GT(chart->DriftData->count(), 0) << what;
        const qsizetype n = chart->DriftData->count(), m = chart->LocalAverage->count();
        EXPECT_EQ(chart->DriftData->at(n - 1).y(), whole.Samples.back().Drift) << what;
        if (m > 0) {
            EXPECT_EQ(chart->LocalAverage->at(m - 1).y(), moving.back().Drift) << what;
        }
        EXPECT_EQ(chart->OverallAverage->at(0).y(), OverallAverage(whole.Samples)) << what;
    };

    int ticks = 0;
    QTimer clock;
    clock.setInterval(0);
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start();
    ASSERT_TRUE(win.FormActivate());
    EXPECT_TRUE(win.Reading());
    EXPECT_EQ(Text(&win, "l_NumLogEntries"), "--");
    QElapsedTimer waited;
    waited.start();
    while (win.Reading() && waited.elapsed() < 10000)
        QCoreApplication::processEvents();
    ASSERT_FALSE(win.Reading());
    EXPECT_GT(ticks, 20) << "the clocks tick between the slices";
    EXPECT_EQ(Text(&win, "l_NumLogEntries"), "3000");
    expectWholeRead("first read");

    // A sync's line, and an activation: read at once, and nothing else.
    const uint64_t before = win.Reader().BytesRead();
    WriteLog({Success(now, 7 / 86400.0), Failure()}, std::ios::app);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&win, &activate);
    EXPECT_FALSE(win.Reading());
    EXPECT_EQ(win.Reader().BytesRead() - before,
              (Success(now, 7 / 86400.0) + "\r\n" + Failure() + "\r\n").size());
    EXPECT_EQ(win.Reader().WholeReads(), 1);
    EXPECT_EQ(Text(&win, "l_NumLogEntries"), "3002");
    expectWholeRead("two lines appended");

    // The log cleared and written anew: read again from the top.
    WriteLog({Success(now - 1, 2 / 86400.0), Success(now, 4 / 86400.0)});
    QCoreApplication::sendEvent(&win, &activate);
    while (win.Reading() && waited.elapsed() < 10000)
        QCoreApplication::processEvents();
    EXPECT_EQ(win.Reader().WholeReads(), 2);
    EXPECT_EQ(Text(&win, "l_NumLogEntries"), "2");
    expectWholeRead("rewritten");

    // The first line's correction made larger in place, and a line appended:
    // the activation shows the new line at once, and the comparison that
    // follows it between the ticks finds the change and reads the log again.
    {
        std::string text = FileText(LogPath());
        const size_t bang = text.find('!'), tab = text.rfind('\t', bang);
        std::string larger = "9.7E-5";
        larger.insert(3, bang - tab - 1 - larger.size(), '0');
        text.replace(tab + 1, larger.size(), larger);
        std::fstream f(LogPath(), std::ios::binary | std::ios::in | std::ios::out);
        f << text;
    }
    WriteLog({Failure()}, std::ios::app);
    QCoreApplication::sendEvent(&win, &activate);
    EXPECT_FALSE(win.Reading());
    EXPECT_EQ(Text(&win, "l_NumLogEntries"), "3");
    while ((win.Reading() || win.Reader().Checking()) && waited.elapsed() < 10000)
        QCoreApplication::processEvents();
    EXPECT_EQ(win.Reader().WholeReads(), 3);
    EXPECT_EQ(Text(&win, "l_MaximumDrift"), DriftText(9.7e-5));
    expectWholeRead("a correction changed in place");
}

// The date axis: ticks on whole hours or days, no label twice, whatever page,
// zoom or pan is shown.
TEST_F(TimeToolWindows, DriftChartTicksFallOnWholeHoursOrDaysEachLabelOnce) {
    const TDateTime now = EncodeDate(2026, 12, 9) + 0.5;
    PinClock(now, 0);
    THXDriftChart chart;
    chart.resize(600, 400);
    auto check = [&](const std::string& what) {
        const qint64 lo = chart.AxisX->min().toMSecsSinceEpoch(), hi = chart.AxisX->max().toMSecsSinceEpoch();
        const int n = chart.AxisX->tickCount();
        ASSERT_GE(n, 2) << what;
        EXPECT_LE(n, THXDriftChart::MaxTicks) << what;
        const qint64 step = (hi - lo) / (n - 1);
        EXPECT_EQ(lo + step * (n - 1), hi) << what;
        QStringList labels;
        for (int k = 0; k < n; ++k) {
            const QDateTime t = QDateTime::fromMSecsSinceEpoch(lo + step * k);
            EXPECT_EQ(t.time().minute(), 0) << what << " " << t.toString().toStdString();
            EXPECT_EQ(t.time().second(), 0) << what;
            EXPECT_EQ(t.time().msec(), 0) << what;
            if (step >= 86400000) {
                EXPECT_EQ(t.time().hour(), 0) << what << " " << t.toString().toStdString();
            }
            labels << t.toString(chart.AxisX->format());
        }
        labels.removeDuplicates();
        EXPECT_EQ(labels.size(), n) << what << " " << labels.join(" | ").toStdString();
        EXPECT_LE(lo, chart.DriftData->count() ? qint64(chart.DriftData->at(0).x()) : lo) << what;
    };
    struct Case {
        const char* What;
        double Spacing; // days between samples
        int Count;
    };
    const Case cases[] = {{"empty", 0, 0},           {"one sample", 1, 1},
                          {"hourly", 1 / 24.0, 20},  {"every 47 minutes", 47 / 1440.0, 60},
                          {"daily, uneven", 1.37, 50}, {"weekly", 7.1, 50},
                          {"half-yearly", 180.3, 12}};
    for (const Case& c : cases) {
        std::vector<TDriftSample>& store = chart.SampleStore();
        store.clear();
        for (int i = 0; i < c.Count; ++i)
            store.push_back({now - c.Spacing * (c.Count - i) + 0.123, (i % 5 - 2) / 86400.0});
        chart.SamplesChanged(0);
        check(c.What);
        chart.ShowPage(0);
        check(std::string(c.What) + ", first page");
    }
    // Zoomed into a part, then panned right and back.
    chart.chart()->zoomIn(QRectF(chart.chart()->plotArea().left() + 100, chart.chart()->plotArea().top(),
                                 90, chart.chart()->plotArea().height()));
    check("zoomed");
    auto drag = [&](int from, int to) {
        auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(x, 200), chart.viewport()->mapToGlobal(QPointF(x, 200)),
                          Qt::RightButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(chart.viewport(), &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::RightButton);
        send(QEvent::MouseMove, (from + to) / 2, Qt::RightButton);
        send(QEvent::MouseMove, to, Qt::RightButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    };
    drag(300, 137);
    check("panned");
    drag(100, 333);
    check("panned back");
}

// Every date field of the tool windows takes a whole date typed in the
// locale's numeric order, and the window works from that day; an impossible or
// half-typed date is refused once, by the field's name, and nothing changes.
TEST_F(TimeToolWindows, ToolDateFieldsTakeATypedDateAndRefuseAnImpossibleOne) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    PinClock(EncodeDate(2027, 2, 14) + 23.0 / 24, 0); // every field starts on 14/02/2027
    auto* calc = Open<TF_TimeCalc>(TToolWindow::TimeCalc, "sb_Calc");
    ASSERT_TRUE(calc);
    w->Clocks.push_back(std::make_unique<THXClock>());
    w->CurrentClock = 0;
    w->findChild<QAction*>("smiAstro")->trigger();
    QWidget* astro = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("TF_Astronomy") && top->isVisible()) astro = top;
    ASSERT_TRUE(astro);
    auto* astroTimer = astro->findChild<QTimer*>("t_Astro");
    ASSERT_TRUE(astroTimer);
    // The astronomy window answers at once; the calculator when asked.
    const QString mjd15 = QString::number(EncodeDate(2027, 2, 15) + 15018, 'f', 5);
    const struct {
        QWidget* Window;
        const char *Page, *Field, *Caption, *Time, *Answer, *Shown, *Expected;
    } fields[] = {
        {astro, nullptr, "dtp_UserDateChoice", "Date", nullptr, nullptr, "l_ModJulianDate",
         nullptr},
        {calc, "ts_WhenWhere", "dtp_WhenWhereDate", "when it is", nullptr, "sb_WhenWhereAnswer",
         "l_WhenWhereAnswer", "Monday 15, February, 2027  23:00:00"},
        // 01:00 on the 15th is two hours ahead of the home clock.
        {calc, "ts_WhatZone", "dtp_WhatZoneDate", "on", "dtp_WhatZoneTime", "sb_WhatZoneAnswer",
         "l_WhatZoneAnswer", "2"},
        {calc, "ts_DateTimeWhen", "dtpDateTimeWhenDate", "DateTime When", nullptr,
         "sbDateTimeWhenAnswer", "lDateTimeWhenAnswer", "Monday 15, February, 2027  23:00:00"},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.Field);
        if (f.Page) Child<QTabWidget>(calc, "pcCalc")->setCurrentWidget(Child<QWidget>(calc, f.Page));
        auto* field = Child<QWidget>(f.Window, f.Field);
        ASSERT_TRUE(field);
        if (f.Time) Child<TTimeField>(f.Window, f.Time)->setTime(QTime(1, 0));
        auto answer = [&] {
            if (f.Answer) Click(f.Window, f.Answer);
            return Text(f.Window, f.Shown);
        };
        // Typed and ended with Enter, or typed and the answer asked for at once.
        auto type = [&](const char* text, bool enter) {
            presenter.Texts.clear();
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, text);
            if (enter || !f.Answer) QTest::keyClick(field, Qt::Key_Return);
            return answer();
        };
        const std::string before = answer();
        for (const bool enter : {true, false})
            for (const char* bad : {"31/02/2027", "15/02/20"}) {
                SCOPED_TRACE(bad + std::string(enter ? " Enter" : " Answer"));
                EXPECT_EQ(type(bad, enter), before);
                EXPECT_EQ(presenter.Texts, std::vector<std::string>{
                                               std::string("\"") + f.Caption +
                                               "\" must be a date written as DD/MM/YYYY: '" +
                                               bad + "' is not one."});
                EXPECT_EQ(field->property("text").toString().toStdString(), "14/02/2027");
                if (f.Window == astro) {
                    EXPECT_TRUE(astroTimer->isActive());
                }
            }
        EXPECT_EQ(type("15/02/2027", false), f.Expected ? f.Expected : mjd15.toStdString());
        EXPECT_TRUE(presenter.Texts.empty());
        EXPECT_EQ(field->property("text").toString().toStdString(), "15/02/2027");
        if (f.Window == astro) {
            EXPECT_FALSE(astroTimer->isActive());
            EXPECT_EQ(Text(astro, "l_LocalTime"), "00:00");
        }
    }
}

// Every time field of the calculator takes a time typed whole over the one it
// shows, and the answer is worked out from it; a text that is no time is
// refused at Answer, by the field's name, and the answer stays.
TEST_F(TimeToolWindows, CalculatorTimeFieldsTakeATypedTimeAndRefuseANonTime) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    PinClock(EncodeDate(2027, 1, 31) + 0.5, 0); // every field starts at 12:00:00 on 31/01/2027
    auto* calc = Open<TF_TimeCalc>(TToolWindow::TimeCalc, "sb_Calc");
    ASSERT_TRUE(calc);
    const struct {
        const char *Page, *Field, *Caption, *Typed, *Bad, *Answer, *Shown, *Expected;
    } fields[] = {
        {"ts_WhenWhere", "dtp_WhenWhereTime", "when it is", "12:14:48", "12:14:60",
         "sb_WhenWhereAnswer", "l_WhenWhereAnswer", "Sunday 31, January, 2027  12:14:48"},
        // 17:30 where the home clock reads 12:00 is five and a half hours ahead.
        {"ts_WhatZone", "dtp_WhatZoneTime", "If it is currently", "17:30", "half five",
         "sb_WhatZoneAnswer", "l_WhatZoneAnswer", "5.5"},
        {"ts_DateTimeWhen", "dtpDateTimeWhenTime", "DateTime When", "9:05:07", "25:00:00",
         "sbDateTimeWhenAnswer", "lDateTimeWhenAnswer", "Sunday 31, January, 2027  09:05:07"},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.Field);
        Child<QTabWidget>(calc, "pcCalc")->setCurrentWidget(Child<QWidget>(calc, f.Page));
        auto* field = Child<QWidget>(calc, f.Field);
        ASSERT_TRUE(field);
        // The time shows whole, however narrow the window.
        calc->resize(calc->minimumSizeHint());
        QApplication::processEvents();
        EXPECT_GE(field->contentsRect().width(),
                  field->fontMetrics().horizontalAdvance("00:00:00"));
        auto answer = [&](const char* typed) {
            presenter.Texts.clear();
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, typed);
            Click(calc, f.Answer);
            return Text(calc, f.Shown);
        };
        EXPECT_EQ(answer(f.Typed), f.Expected);
        EXPECT_TRUE(presenter.Texts.empty());
        EXPECT_EQ(answer(f.Bad), f.Expected);
        EXPECT_EQ(presenter.Texts, std::vector<std::string>{std::string("\"") + f.Caption +
                                                            "\" must be a time of day written as "
                                                            "HH:MM:SS: '" + f.Bad + "' is not one."});
    }
}
