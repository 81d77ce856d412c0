// The Dayloom window and its item editor on the event list of a clock state
// (of a main window where its commands and end matter), at pinned instants:
// the figures the user reads, the commands on the selected row, the collapsed
// list and the event file.
#include "alarms/Dayloom.h"
#include "alarms/tests/AlarmEditorTest.h"
#include "alarms/tests/EditorOnStateTest.h"
#include "platform/qt/DateField.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QTest>
#include "platform/qt/TimeField.h"
#include <QTimer>
#include <QToolButton>

#include <random>

namespace {

using Strings = std::vector<std::string>;

// An item of the state's list, at Greenwich.
TTemperalEvent& AddEvent(TClockState& state, const std::string& title, TDateTime date,
                         double interval) {
    state.TemperalEvents.push_back(std::make_unique<TTemperalEvent>());
    TTemperalEvent& e = *state.TemperalEvents.back();
    e.Title = title;
    e.EventDate = date;
    e.IntervalDays = interval;
    TWindowParts::Place(e.Location, "Greenwich");
    return e;
}

class DayloomTest : public AlarmEditorTest {
protected:
    TTemperalEvent& Add(const std::string& title, TDateTime date, double interval = 0) {
        return AddEvent(*w, title, date, interval);
    }
    TF_Dayloom* Open() {
        w->Action("sb_Dayloom")->trigger();
        auto* d = qobject_cast<TF_Dayloom*>(w->ToolWindow(TToolWindow::Dayloom));
        EXPECT_NE(d, nullptr);
        return d;
    }
};

// The window made through its factory, and its item editor, on a clock state
// with the fake services.
class DayloomOnStateTest : public EditorOnStateTest {
protected:
    void SetUp() override {
        EditorOnStateTest::SetUp();
        w->ReloadHostZone(); // the host at +1, as the started program reads it
        InstallAlarmWindows(*w, services->Services());
    }
    TTemperalEvent& Add(const std::string& title, TDateTime date, double interval = 0) {
        return AddEvent(*w, title, date, interval);
    }
    TF_Dayloom* Open() {
        auto* d = qobject_cast<TF_Dayloom*>(OpenToolWindow(TToolWindow::Dayloom));
        EXPECT_NE(d, nullptr);
        return d;
    }
    // One refresh, the given seconds after the pinned instant.
    static void Refresh(TF_Dayloom* d, double seconds) {
        PinClock(kPinnedUtc + seconds * kSecond, 1);
        ASSERT_TRUE(d->t_Refresh->isActive());
        QMetaObject::invokeMethod(d->t_Refresh, "timeout");
    }
    static Strings Figures(TF_Dayloom* d) {
        Strings r;
        for (const char* name : {"l_Ryears", "l_RMonths", "l_RDays", "l_RHours", "l_RMins",
                                 "l_RSecs", "l_RtYears", "l_RtWeeks", "l_RtMonths", "l_RtDays",
                                 "l_RtHours", "l_RtMinutes", "l_RtSeconds"})
            r.push_back(Text(d, name).toStdString());
        return r;
    }
    static QString Heading(TF_Dayloom* d) { return Part<QGroupBox>(d, "gb_Results")->title(); }
    static QTableWidget* Grid(TF_Dayloom* d) { return Part<QTableWidget>(d, "sg_Items"); }
    std::unique_ptr<TAddEditTrackingItem> Editor(const TTemperalEvent& e) {
        auto ed = std::make_unique<TAddEditTrackingItem>(*w, services->Locations, nullptr);
        ed->Event.Copy(e);
        ed->show();
        return ed;
    }
};

TEST_F(DayloomOnStateTest, TheItemEditorKeepsTypingOverThePick) {
    auto ed = Editor(Add("Birthday", kPinnedUtc - 10));
    ed->PickLocation = [](TTimeLocation& l) {
        EXPECT_EQ(l.Name, "Greenwich");
        Place(l, "Sydney", 10);
        return true;
    };
    Part<QLineEdit>(ed.get(), "e_Description")->setText("Mum's birthday");
    Click(ed.get(), "sb_Location");
    EXPECT_EQ(Text(ed.get(), "sb_Location"), "Sydney");
    EXPECT_EQ(Text(ed.get(), "e_Description"), "Mum's birthday");
    Part<QLineEdit>(ed.get(), "me_Repeat")->setText("365.25");
    Click(ed.get(), "OKBtn");
    EXPECT_EQ(ed->Event.Title, "Mum's birthday");
    EXPECT_EQ(ed->Event.IntervalDays, 365.25);
    EXPECT_EQ(ed->Event.Location.Name, "Sydney");
}

TEST_F(DayloomOnStateTest, RandomRepeatsAndDescriptionsGiveAFiniteStoredEventOrKeepTheDialogOpen) {
    std::mt19937 rng(2026);
    const std::string digits = "0123456789.,-+eE x%";
    const std::vector<std::string> letters = {"a", "Z", " ", "\t", "!", "\xc3\xa9", "\xe2\x82\xac"};
    for (int i = 0; i < 200; ++i) {
        // A few that never convert, then random ones.
        const char* bad[] = {"yearly", "1e400", "3 days"};
        std::string repeat = i < 3 ? bad[i] : "", title;
        for (int n = i < 3 ? 0 : int(rng() % 10); n > 0; --n)
            repeat += digits[rng() % digits.size()];
        for (int n = int(rng() % 8); n > 0; --n)
            title += letters[rng() % letters.size()];
        SCOPED_TRACE(repeat + " / " + title);
        presenter.Texts.clear();
        auto ed = Editor(Add("x", kPinnedUtc));
        Part<QLineEdit>(ed.get(), "me_Repeat")->setText(QString::fromStdString(repeat));
        Part<QLineEdit>(ed.get(), "e_Description")->setText(QString::fromStdString(title));
        Click(ed.get(), "OKBtn");
        // A TAB would be the record's separator: such a description is refused.
        const bool tab = title.find('\t') != std::string::npos;
        if (ed->isVisible()) {
            ASSERT_EQ(presenter.Texts.size(), 1u);
            const bool repeatTold = presenter.Texts[0].find("\"Repeat\"") != std::string::npos;
            EXPECT_TRUE(repeatTold || (tab && presenter.Texts[0].rfind(
                                                  "\"Description\" cannot be stored: it holds "
                                                  "a TAB",
                                                  0) == 0))
                << presenter.Texts[0];
            EXPECT_EQ(ed->Event.Title, "x"); // nothing taken
        } else {
            EXPECT_GE(i, 3);
            EXPECT_TRUE(std::isfinite(ed->Event.IntervalDays));
            EXPECT_FALSE(ed->Event.Title.empty());
            // What is stored reads back.
            TTemperalEvent back;
            EXPECT_NO_THROW(back.ParseDataString(ed->Event.EventDataString('\t'), '\t'));
            EXPECT_EQ(back.IntervalDays, ed->Event.IntervalDays);
            EXPECT_FALSE(tab);
            EXPECT_EQ(back.Title, ed->Event.Title);
        }
        w->TemperalEvents.clear();
    }
}

TEST_F(DayloomOnStateTest, FiguresCountSinceAPastDateAndUntilAFutureOneEverySecond) {
    struct TCase {
        const char* Title;
        double DaysFromNow;
        const char* Heading;
        Strings Figures;
        const char *SecsOneOn, *TotalHourOn; // l_RSecs a second on, l_RtHours an hour on
    };
    const TCase cases[] = {
        {"Moved in", -600, "Since Moved in",
         {"1", "7", "21", "0", "0", "0", "1.64", "85.71", "19.71", "600.00", "14400.00",
          "864000.00", "51840000.00"},
         "1", "14401.00"},
        {"Holiday", 10.5, "Until Holiday",
         {"0", "0", "10", "12", "0", "0", "0.03", "1.50", "0.34", "10.50", "252.00", "15120.00",
          "907200.00"},
         "59", "251.00"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Title);
        w->TemperalEvents.clear();
        Add(c.Title, kPinnedUtc + c.DaysFromNow);
        TF_Dayloom* d = Open();
        EXPECT_EQ(d->t_Refresh->interval(), 1000);
        EXPECT_EQ(Heading(d), c.Heading);
        EXPECT_EQ(Figures(d), c.Figures);
        Refresh(d, 1);
        EXPECT_EQ(Text(d, "l_RSecs"), c.SecsOneOn);
        Refresh(d, 3600);
        EXPECT_EQ(Text(d, "l_RtHours"), c.TotalHourOn);
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PinClock(kPinnedUtc, 1);
    }
}

TEST_F(DayloomOnStateTest, TheGridListsTheEventsAndARecurringOneMovesAheadAndIsSavedSo) {
    Add("Payday", kPinnedUtc - 30, 7);
    Add("Launch", EncodeDate(2025, 7, 4) + EncodeTime(9, 5, 0, 0));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TF_Dayloom* d = Open();
    QTableWidget* g = Grid(d);
    EXPECT_EQ(g->rowCount(), 3);
    EXPECT_EQ(Row(g, 0), (Strings{"Event", "Date of Event", "Event Local"}));
    EXPECT_EQ(Row(g, 2), (Strings{"Launch", "04/07/2025- 09:05:00", "Greenwich"}));
    EXPECT_EQ(g->currentRow(), 1);
    // Five weeks on from a month ago: five days ahead.
    EXPECT_EQ(Heading(d), "Until Payday");
    EXPECT_EQ(Text(d, "l_Dayloom"), "Thursday, February 19, 2026, at 12:00:00");
    EXPECT_EQ(Text(d, "l_RtDays"), "5.00");
    EXPECT_EQ(w->TemperalEvents[0]->EventDate, kPinnedUtc + 5);
    d->close();
    TTemperalEvent back;
    back.ParseDataString(FileText("hxdayloom.hxd").substr(0, FileText("hxdayloom.hxd").find('\n')),
                         '\t');
    EXPECT_EQ(back.Title, "Payday");
    EXPECT_EQ(back.EventDate, kPinnedUtc + 5);
    EXPECT_EQ(back.IntervalDays, 7);
}

// The grid's dates read in the locale's order, as the item editor takes them.
// Delete asks first, naming the event: No keeps it, in the file too.
TEST_F(DayloomOnStateTest, DatesReadInTheLocalesOrderAndDeleteAsksFirst) {
    Add("Payday", EncodeDate(2027, 2, 15) + EncodeTime(12, 0, 0, 0));
    const std::pair<QLocale, const char*> cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "15/02/2027- 12:00:00"},
        {QLocale(QLocale::German, QLocale::Germany), "15.02.2027- 12:00:00"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "02/15/2027- 12:00:00"},
    };
    for (const auto& [locale, shown] : cases) {
        QLocale::setDefault(locale);
        TF_Dayloom* d = Open();
        EXPECT_EQ(Row(Grid(d), 1)[1], shown) << locale.name().toStdString();
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    for (const TModalResult answer : {mrNo, mrYes}) {
        TF_Dayloom* d = Open();
        presenter.Texts.clear();
        presenter.Answers = {answer};
        Click(d, "SpeedButton1");
        EXPECT_EQ(presenter.Texts,
                  Strings{"Delete the event \"Payday\" of 02/15/2027, at 12:00:00?"});
        EXPECT_EQ(Grid(d)->rowCount(), answer == mrNo ? 2 : 1);
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(FileText("hxdayloom.hxd").find("Payday") != std::string::npos, answer == mrNo);
    }
    EXPECT_TRUE(w->TemperalEvents.empty());
}

TEST_F(DayloomOnStateTest, EditAndDeleteFollowTheRowSelectedByKeyboardAndCancelChangesNothing) {
    for (const char* t : {"a", "b", "c"})
        Add(t, kPinnedUtc - 1);
    TF_Dayloom* d = Open();
    QTableWidget* g = Grid(d);
    g->setFocus();
    QTest::keyClick(g, Qt::Key_Down);
    ASSERT_EQ(g->currentRow(), 2);
    EXPECT_EQ(Heading(d), "Since b");
    EXPECT_EQ(d->SelectedIndex, 1);

    Answering([d] { Click(d, "sb_Edit"); },
              [](QWidget* e) {
                  EXPECT_EQ(e->windowTitle(), "Tracking Item Detail");
                  EXPECT_EQ(Text(e, "e_Description"), "b");
                  Part<QLineEdit>(e, "e_Description")->setText("changed");
                  Part<QLineEdit>(e, "me_Repeat")->setText("3");
                  Click(e, "CancelBtn");
              });
    EXPECT_EQ(w->TemperalEvents[1]->Title, "b");
    EXPECT_EQ(w->TemperalEvents[1]->IntervalDays, 0);
    EXPECT_EQ(g->currentRow(), 1); // a cancelled edit goes back to the first row

    QTest::keyClick(g, Qt::Key_Down);
    QTest::keyClick(g, Qt::Key_Down);
    Answering([d] { Click(d, "sb_Edit"); },
              [](QWidget* e) {
                  EXPECT_EQ(Text(e, "e_Description"), "c");
                  Part<QLineEdit>(e, "e_Description")->setText("c2");
                  Click(e, "OKBtn");
              });
    EXPECT_EQ(w->TemperalEvents[2]->Title, "c2");
    EXPECT_EQ(Row(g, 3)[0], "c2");

    QTest::keyClick(g, Qt::Key_Up);
    ASSERT_EQ(g->currentRow(), 2);
    presenter.Answers = {mrYes};
    Click(d, "SpeedButton1");
    Strings titles;
    for (const auto& e : w->TemperalEvents)
        titles.push_back(e->Title);
    EXPECT_EQ(titles, (Strings{"a", "c2"}));

    // The heading row stands for the first event; the last delete leaves the
    // heading row, a disabled grid and the figures as they were.
    g->setCurrentCell(0, 0);
    presenter.Answers = {mrYes, mrYes};
    Click(d, "SpeedButton1");
    const Strings figures = Figures(d);
    Click(d, "SpeedButton1");
    EXPECT_TRUE(w->TemperalEvents.empty());
    EXPECT_EQ(g->rowCount(), 1);
    EXPECT_FALSE(g->isEnabled());
    Refresh(d, 5);
    EXPECT_EQ(Figures(d), figures);
}

TEST_F(DayloomOnStateTest, AddTakesTheHomePlaceAndStoresAnEmptyDescriptionAsNoDescription) {
    TF_Dayloom* d = Open();
    EXPECT_FALSE(Grid(d)->isEnabled());
    Answering([d] { Click(d, "sb_AddItem"); },
              [](QWidget* e) {
                  EXPECT_EQ(e->windowTitle(), "Add New Tracking Item");
                  EXPECT_EQ(Text(e, "sb_Location"), "Home Town");
                  EXPECT_EQ(Text(e, "e_Description"), "New Event");
                  EXPECT_EQ(Text(e, "me_Repeat"), "0");
                  Part<QLineEdit>(e, "e_Description")->clear();
                  Part<TDateField>(e, "tp_Date")->setDate(QDate(2026, 12, 25));
                  Part<TTimeField>(e, "tp_Time")->setTime(QTime(18, 0, 0));
                  Click(e, "OKBtn");
              });
    ASSERT_EQ(w->TemperalEvents.size(), 1u);
    const TTemperalEvent& e = *w->TemperalEvents[0];
    EXPECT_EQ(e.Title, "- No Description -");
    EXPECT_EQ(e.Location.Name, "Home Town");
    EXPECT_EQ(e.EventDate, EncodeDate(2026, 12, 25) + EncodeTime(18, 0, 0, 0));
    EXPECT_TRUE(Grid(d)->isEnabled());
    EXPECT_EQ(Heading(d), "Until - No Description -");
}



TEST_F(DayloomOnStateTest, CollapsingAndExpandingTheListChangeTheHeightBy200WithTitleHintAndSound) {
    Add("a", kPinnedUtc - 1);
    TF_Dayloom* d = Open();
    auto* toggle = Part<QToolButton>(d, "sb_detail");
    QCoreApplication::processEvents();
    const int expanded = d->height();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(Text(d, "pEventListTitle"), "Event List");
    EXPECT_EQ(Sounds(), Strings{"RestoreUp"}); // a new window is expanded
    struct TStep {
        int Height;
        const char *Title, *Hint, *Sound;
        bool Hidden;
    };
    const TStep steps[] = {{expanded - 200, "Event List Hidden", "Show Items", "Minimize", true},
                           {expanded, "Event List", "Hide Items", "RestoreUp", false}};
    for (const TStep& s : steps) {
        SCOPED_TRACE(s.Title);
        sound->Played.clear();
        toggle->click();
        QCoreApplication::processEvents();
        EXPECT_EQ(d->height(), s.Height);
        EXPECT_EQ(Text(d, "pEventListTitle"), s.Title);
        EXPECT_EQ(toggle->toolTip(), s.Hint);
        EXPECT_EQ(Sounds(), Strings{s.Sound});
        EXPECT_EQ(d->ItemsHidden, s.Hidden);
    }
}

// What OK or a confirmed Delete accepts is on disk while the window is still
// open; a save that fails is told at once.
TEST_F(DayloomTest, EachAcceptedChangeIsWrittenBeforeTheWindowCloses) {
    struct TCase {
        const char* Command;
        const char* Typed; // the editor's new title; none for Delete
        bool KeepsFirst;   // "Payday" still in the file
    };
    const TCase cases[] = {
        {"sb_AddItem", "Added", true},
        {"sb_Edit", "Edited", false},
        {"SpeedButton1", nullptr, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Command);
        w->TemperalEvents.clear();
        Add("Payday", EncodeDate(2027, 2, 15) + EncodeTime(12, 0, 0, 0));
        TF_Dayloom* d = Open();
        QFile::remove(dir.filePath("hxdayloom.hxd"));
        if (c.Typed) {
            Answering([&] { Click(d, c.Command); },
                      [&c](QWidget* e) {
                          Part<QLineEdit>(e, "e_Description")->setText(c.Typed);
                          Click(e, "OKBtn");
                      });
        } else {
            presenter.Answers = {mrYes};
            Click(d, c.Command);
        }
        ASSERT_TRUE(d->isVisible());
        const std::string file = FileText("hxdayloom.hxd");
        ASSERT_NE(file, "<none>") << "not written before the window closes";
        if (c.Typed) {
            EXPECT_NE(file.find(c.Typed), std::string::npos) << file;
        }
        EXPECT_EQ(file.find("Payday") != std::string::npos, c.KeepsFirst) << file;
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TF_Dayloom* d = Open();
    QFile::remove(dir.filePath("hxdayloom.hxd"));
    QDir(dir.path()).mkdir("hxdayloom.hxd");
    w->Errors.clear();
    Answering([d] { Click(d, "sb_AddItem"); }, [](QWidget* e) { Click(e, "OKBtn"); });
    ASSERT_EQ(w->Errors.size(), 1u);
    EXPECT_NE(w->Errors[0].find("hxdayloom.hxd"), std::string::npos) << w->Errors[0];
    QDir(dir.path()).rmdir("hxdayloom.hxd");
    d->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(DayloomTest, TheEventFileIsWrittenOnCloseAndWhenHoroluxEndsWithTheWindowOpen) {
    TF_Dayloom* d = Open();
    for (const char* command : {"sb_Dayloom", "mi_Dayloom"})
        EXPECT_FALSE(w->Action(command)->isEnabled());
    Add("Closed", kPinnedUtc);
    d->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(FileText("hxdayloom.hxd").find("Closed"), std::string::npos);
    for (const char* command : {"sb_Dayloom", "mi_Dayloom"})
        EXPECT_TRUE(w->Action(command)->isEnabled());

    Open();
    Add("Ended", kPinnedUtc);
    w->FormDestroy();
    EXPECT_NE(FileText("hxdayloom.hxd").find("Ended"), std::string::npos);
}

} // namespace
