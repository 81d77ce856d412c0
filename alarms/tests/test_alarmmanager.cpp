// The alarm manager and the alarm editor on the alarm list of a clock state
// (of a main window where its commands, tick or sound player matter): found
// by their component names, clicked, and checked for what the user sees and
// what becomes of the alarms.
#include "alarms/AlarmExplorer.h"
#include "alarms/AlarmManager.h"
#include "alarms/tests/AlarmEditorTest.h"
#include "alarms/tests/EditorOnStateTest.h"
#include "clockapp/state/AlarmFiring.h"
#include "platform/qt/DateField.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include "platform/qt/TimeField.h"
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <random>

namespace {

using Strings = std::vector<std::string>;
const TDateTime k0800 = EncodeDate(2026, 2, 14) + EncodeTime(8, 0, 0, 0);

// The state's alarms as their records.
Strings AlarmRecords(const TClockState& state) {
    Strings r;
    for (const auto& a : state.Alarms)
        r.push_back(a->DataString('\t'));
    return r;
}

// An enabled alarm of the state's list, at a place of its own at UTC.
TAlarm& AddAlarm(TClockState& state, const std::string& text, TDateTime local, int type) {
    state.Alarms.push_back(std::make_unique<TAlarm>());
    TAlarm& a = *state.Alarms.back();
    a.AlarmTime = local;
    a.AlarmType = uint8_t(type);
    a.Enabled = true;
    a.Text = text;
    TWindowParts::Place(a.Location, "Here");
    return a;
}

class AlarmManagerTest : public AlarmEditorTest {
protected:
    TAlarm& Add(const std::string& text, TDateTime local = k0800, int type = 1) {
        return AddAlarm(*w, text, local, type);
    }
    TFHXalarms* Open() {
        w->Action("sb_Alarms")->trigger();
        auto* m = qobject_cast<TFHXalarms*>(w->ToolWindow(TToolWindow::AlarmManager));
        EXPECT_NE(m, nullptr);
        return m;
    }
    static QTableWidget* Grid(TFHXalarms* m) { return Part<QTableWidget>(m, "sg_Alarms"); }
    Strings Records() const { return AlarmRecords(*w); }
    // A standalone editor on a copy of the alarm, shown.
    std::unique_ptr<TF_AddEditAlarm> Editor(const TAlarm& a) {
        auto e = std::make_unique<TF_AddEditAlarm>(*w, *w, *w, nullptr);
        e->Alarm.Copy(a);
        e->show();
        return e;
    }
    static void SetType(QWidget* e, const char* type) {
        Part<QComboBox>(e, "lb_AlarmType")->setEditText(type);
    }
};

// The alarm editor alone, on a clock state with the fake picker and sounds.
class AlarmEditorOnStateTest : public EditorOnStateTest {
protected:
    TAlarm& Add(const std::string& text, TDateTime local = k0800, int type = 1) {
        return AddAlarm(*w, text, local, type);
    }
    // A standalone editor on a copy of the alarm, shown.
    std::unique_ptr<TF_AddEditAlarm> Editor(const TAlarm& a) {
        auto e = std::make_unique<TF_AddEditAlarm>(*w, services->Locations, services->Sound,
                                                   nullptr);
        e->Alarm.Copy(a);
        e->show();
        return e;
    }
};

// The alarm manager made through its factory on the clock state.
class AlarmManagerOnStateTest : public AlarmEditorOnStateTest {
protected:
    void SetUp() override {
        AlarmEditorOnStateTest::SetUp();
        InstallAlarmWindows(*w, services->Services());
    }
    TFHXalarms* Open() {
        auto* m = qobject_cast<TFHXalarms*>(OpenToolWindow(TToolWindow::AlarmManager));
        EXPECT_NE(m, nullptr);
        return m;
    }
    static QTableWidget* Grid(TFHXalarms* m) { return Part<QTableWidget>(m, "sg_Alarms"); }
    Strings Records() const { return AlarmRecords(*w); }
    static void SetType(QWidget* e, const char* type) {
        Part<QComboBox>(e, "lb_AlarmType")->setEditText(type);
    }
};

TEST_F(AlarmEditorOnStateTest, ThePayloadPickAndThePlacePickTakeOnlyWhatTheUserConfirms) {
    auto e = Editor(Add("old.wav", k0800, 7));
    std::vector<std::string> asked;
    const std::string newWav = Touch("new.wav");
    std::optional<std::string> chosen = newWav;
    e->ChoosePayload = [&](const std::string& title, const std::string& dir,
                           const std::string& filter, QWidget*) {
        asked = {title, dir, filter};
        return chosen;
    };
    std::optional<TTimeLocation> place;
    e->PickLocation = [&](TTimeLocation& l) {
        EXPECT_EQ(l.Name, "Here"); // the pick starts at the alarm's place
        if (place) l.Copy(*place);
        return bool(place);
    };
    Part<QLineEdit>(e.get(), "e_Description")->setText("typed");
    Click(e.get(), "sb_AlarmLocation"); // cancelled
    EXPECT_EQ(Text(e.get(), "sb_AlarmLocation"), "Here");
    place.emplace();
    Place(*place, "Tokyo", 9);
    Click(e.get(), "sb_AlarmLocation");
    EXPECT_EQ(Text(e.get(), "sb_AlarmLocation"), "Tokyo");
    EXPECT_EQ(Text(e.get(), "e_Description"), "typed"); // kept over the pick

    chosen.reset();
    Click(e.get(), "sb_PickPayload");
    EXPECT_EQ(asked, (Strings{"", "", ""})); // no filter, the system's title
    EXPECT_EQ(Text(e.get(), "e_Description"), "typed");
    chosen = newWav;
    Click(e.get(), "sb_PickPayload");
    EXPECT_EQ(Text(e.get(), "e_Description"), QString::fromStdString(newWav));
    Click(e.get(), "OkBtn");
    EXPECT_EQ(e->Alarm.Location.Name, "Tokyo");
    EXPECT_EQ(e->Alarm.Location.StdOffset, 9);
    EXPECT_EQ(e->Alarm.Text, newWav);
}

TEST_F(AlarmEditorOnStateTest, OKRearmsAndTakesTheDateAndTimeFromTheirPickers) {
    TAlarm& a = Add("Wake up");
    a.Acknowledged = true;
    auto e = Editor(a);
    EXPECT_TRUE(Part<QLabel>(e.get(), "l_Ack")->isVisible());
    Part<TDateField>(e.get(), "tp_Date")->setDate(QDate(2027, 3, 4));
    Part<TTimeField>(e.get(), "tp_Time")->setTime(QTime(6, 30, 15));
    Part<QLineEdit>(e.get(), "me_RepeatInterval")->setText("1,5");
    Click(e.get(), "OkBtn");
    EXPECT_FALSE(e->isVisible());
    EXPECT_FALSE(e->Alarm.Acknowledged);
    EXPECT_EQ(e->Alarm.RepeatDays, 1.5);
    EXPECT_EQ(e->Alarm.AlarmTime, EncodeDate(2027, 3, 4) + EncodeTime(6, 30, 15, 0));
}

TEST_F(AlarmEditorOnStateTest, ARepeatThatIsNoFiniteNumberKeepsTheDialogOpenAndTakesNothing) {
    std::mt19937 rng(20);
    const std::string alphabet = "0123456789.,-+eE$% x\t";
    const char* bad[] = {"abc", "1..5", "1e999", "--1"};
    for (int i = 0; i < 300; ++i) {
        std::string text = i < 4 ? bad[i] : "";
        for (int n = i < 4 ? 0 : int(rng() % 12); n > 0; --n)
            text += alphabet[rng() % alphabet.size()];
        SCOPED_TRACE(text);
        presenter.Texts.clear();
        TAlarm& a = Add("x");
        a.Acknowledged = true;
        auto e = Editor(a);
        Part<QLineEdit>(e.get(), "me_RepeatInterval")->setText(QString::fromStdString(text));
        Click(e.get(), "OkBtn");
        if (e->isVisible()) {
            ASSERT_EQ(presenter.Texts.size(), 1u);
            EXPECT_NE(presenter.Texts[0].find("Repeat Interval (Days)"), std::string::npos);
            EXPECT_TRUE(e->Alarm.Acknowledged);
        } else {
            EXPECT_GE(i, 4);
            EXPECT_TRUE(std::isfinite(e->Alarm.RepeatDays));
        }
        w->Alarms.clear();
    }
}

TEST_F(AlarmManagerOnStateTest, TheGridHasAHeadingRowAndOneRowPerAlarmAndFollowsTheList) {
    Add("Wake up");
    Add("Tea", k0800 + 0.5, 0).RepeatDays = 1.5;
    Add("Sync", k0800, 5).Enabled = false;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TFHXalarms* m = Open();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->windowTitle(), "Horolux Alarm Manager");
    EXPECT_EQ(m->size(), QSize(560, 230));
    QTableWidget* g = Grid(m);
    EXPECT_TRUE(g->horizontalHeader()->isHidden());
    EXPECT_EQ(g->rowCount(), 4);
    EXPECT_EQ(Row(g, 0), (Strings{"A", "Date and Time", "Payload", "Type", "Rpt"}));
    EXPECT_EQ(Row(g, 1), (Strings{"Y", "14/02/2026, at 08:00:00", "Wake up", "Alarm - Normal", "0"}));
    EXPECT_EQ(Row(g, 2), (Strings{"Y", "14/02/2026, at 20:00:00", "Tea", "Alarm - Major", "1.5"}));
    EXPECT_EQ(Row(g, 3), (Strings{"N", "14/02/2026, at 08:00:00", "Sync", "Syncronize", "0"}));
    // Every heading and date shows whole; the grid keeps its width.
    int total = 0;
    for (int c = 0; c < 5; ++c) {
        total += g->columnWidth(c);
        for (int r : {0, 1})
            EXPECT_GE(g->columnWidth(c), g->fontMetrics().horizontalAdvance(g->item(r, c)->text()))
                << r << "," << c;
    }
    EXPECT_EQ(total, 16 + 143 + 253 + 110 + 30);
    EXPECT_GE(g->columnWidth(2), 110);
    EXPECT_EQ(m->AlarmCount, 3);

    // The firing code moves and removes alarms under the open manager: the
    // grid follows, and the selection stays with its alarm.
    g->setCurrentCell(3, 0);
    w->Alarms[1]->Enabled = false;
    w->Alarms.erase(w->Alarms.begin());
    auto* follow = Part<QTimer>(m, "t_FollowList");
    ASSERT_TRUE(follow && follow->isActive());
    QMetaObject::invokeMethod(follow, "timeout");
    EXPECT_EQ(g->rowCount(), 3);
    EXPECT_EQ(Row(g, 1)[0], "N");
    EXPECT_EQ(g->currentRow(), 2);
    EXPECT_EQ(m->AlarmCount, 2);
}

// The grid's dates read in the locale's order, as the editor beside it takes
// them. Delete asks first, naming the alarm: No keeps it, in the file too.
TEST_F(AlarmManagerOnStateTest, DatesReadInTheLocalesOrderAndDeleteAsksFirst) {
    Add("Wake up", EncodeDate(2026, 12, 9) + EncodeTime(12, 21, 30, 0));
    const std::pair<QLocale, const char*> cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "09/12/2026, at 12:21:30"},
        {QLocale(QLocale::German, QLocale::Germany), "09.12.2026, at 12:21:30"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "12/09/2026, at 12:21:30"},
    };
    for (const auto& [locale, shown] : cases) {
        QLocale::setDefault(locale);
        TFHXalarms* m = Open();
        EXPECT_EQ(Row(Grid(m), 1)[1], shown) << locale.name().toStdString();
        m->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    for (const TModalResult answer : {mrNo, mrYes}) {
        TFHXalarms* m = Open();
        presenter.Texts.clear();
        presenter.Answers = {answer};
        Click(m, "SpeedButton1");
        EXPECT_EQ(presenter.Texts,
                  Strings{"Delete the alarm of 12/09/2026, at 12:21:30 (Alarm - Normal: Wake up)?"});
        EXPECT_EQ(Grid(m)->rowCount(), answer == mrNo ? 2 : 1);
        m->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(FileText("hxalarms.hxd").find("Wake up") != std::string::npos, answer == mrNo);
    }
    EXPECT_TRUE(w->Alarms.empty());
}

TEST_F(AlarmManagerOnStateTest, AddGivesTheHomePlaceAndArmsItThenAppendsAndSelectsTheNewRow) {
    Add("First");
    w->AlwaysOnTop = true;
    TFHXalarms* m = Open();
    Answering([m] { Click(m, "sb_Add"); },
              [](QWidget* e) {
                  EXPECT_EQ(e->windowTitle(), "Add New Alarm");
                  EXPECT_TRUE(e->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
                  EXPECT_TRUE(Part<QCheckBox>(e, "cb_Active")->isChecked());
                  EXPECT_EQ(Text(e, "sb_AlarmLocation"), "Home Town");
                  EXPECT_EQ(Part<QComboBox>(e, "lb_AlarmType")->currentText(), "Alarm - Normal");
                  EXPECT_EQ(Text(e, "me_RepeatInterval"), "0");
                  EXPECT_FALSE(Part<QLabel>(e, "l_Ack")->isVisible());
                  Part<QLineEdit>(e, "e_Description")->setText("Lunch");
                  Click(e, "OkBtn");
              });
    ASSERT_EQ(w->Alarms.size(), 2u);
    const TAlarm& a = *w->Alarms[1];
    EXPECT_EQ(a.Text, "Lunch");
    EXPECT_TRUE(a.Enabled);
    EXPECT_EQ(a.AlarmType, 1);
    EXPECT_EQ(a.Location.Name, "Home Town");
    // Ten minutes ahead of the computer's clock (host +1), to the second.
    EXPECT_NEAR(a.AlarmTime, kPinnedUtc + 1.0 / 24 + 1.0 / 144, kSecond);
    EXPECT_EQ(Grid(m)->rowCount(), 3);
    EXPECT_EQ(Grid(m)->currentRow(), 2);
}

// Each command on a selected row, the heading row standing for the first alarm.
TEST_F(AlarmManagerOnStateTest, DuplicateEditAndDeleteActOnTheSelectedRowsAlarm) {
    struct TCase {
        const char* Command;
        int Row;
        const char* Caption; // of the editor, none for Delete
        Strings Texts;       // the alarms afterwards
        int Selected;
    };
    const TCase cases[] = {
        {"sb_DupAlarm", 2, "Duplicate Alarm", {"a", "b", "c", "b!"}, 4},
        {"sb_DupAlarm", 0, "Duplicate Alarm", {"a", "b", "c", "a!"}, 4},
        {"sb_Edit", 3, "Edit Alarm", {"a", "b", "c!"}, 3},
        {"dblclick", 0, "Edit Alarm", {"a!", "b", "c"}, 1},
        {"dblclick", 2, "Edit Alarm", {"a", "b!", "c"}, 2},
        {"SpeedButton1", 2, nullptr, {"a", "c"}, 2},
        {"SpeedButton1", 0, nullptr, {"b", "c"}, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Command) + " row " + std::to_string(c.Row));
        w->Alarms.clear();
        const uint64_t firstId = Add("a").Id.Value();
        Add("b");
        Add("c");
        TFHXalarms* m = Open();
        QTableWidget* g = Grid(m);
        g->setCurrentCell(c.Row, 1);
        auto command = [&] {
            if (std::string(c.Command) == "dblclick")
                emit g->cellDoubleClicked(c.Row, 1);
            else
                Click(m, c.Command);
        };
        if (c.Caption)
            Answering(command, [&c](QWidget* e) {
                EXPECT_EQ(e->windowTitle(), c.Caption);
                auto* text = Part<QLineEdit>(e, "e_Description");
                text->setText(text->text() + "!");
                Click(e, "OkBtn");
            });
        else {
            presenter.Answers = {mrYes};
            command();
        }
        Strings texts;
        for (const auto& a : w->Alarms)
            texts.push_back(a->Text);
        EXPECT_EQ(texts, c.Texts);
        EXPECT_EQ(g->rowCount(), int(c.Texts.size()) + 1);
        EXPECT_EQ(g->currentRow(), c.Selected);
        // An edit stays the alarm it was; a duplicate is another alarm.
        if (c.Texts[0] == "a!") {
            EXPECT_EQ(w->Alarms[0]->Id.Value(), firstId);
        }
        m->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(AlarmManagerOnStateTest, CancelLeavesTheListAsItWasAndDeletingTheOnlyAlarmLeavesTheHeadingRow) {
    TAlarm& a = Add("Only");
    a.Acknowledged = true;
    TFHXalarms* m = Open();
    const Strings before = Records();
    for (const char* command : {"sb_Add", "sb_DupAlarm", "sb_Edit"}) {
        SCOPED_TRACE(command);
        Answering([m, command] { Click(m, command); },
                  [](QWidget* e) {
                      Part<QLineEdit>(e, "e_Description")->setText("changed");
                      Part<QLineEdit>(e, "me_RepeatInterval")->setText("7");
                      SetType(e, "Alarm - Minor");
                      Part<QCheckBox>(e, "cb_Active")->setChecked(false);
                      Click(e, "CancelBtn");
                  });
        EXPECT_EQ(Records(), before);
        EXPECT_TRUE(a.Acknowledged);
    }
    presenter.Answers = {mrYes};
    Click(m, "SpeedButton1");
    EXPECT_TRUE(w->Alarms.empty());
    EXPECT_EQ(Grid(m)->rowCount(), 1);
    EXPECT_EQ(Row(Grid(m), 0)[0], "A");
    // With no alarms the commands that need one do nothing.
    for (const char* command : {"sb_DupAlarm", "sb_Edit", "SpeedButton1"})
        Click(m, command);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(w->Alarms.empty());
}

// Each type's payload controls, and the sound its "Test" plays.
TEST_F(AlarmManagerTest, TheEditorShowsThePayloadControlsOfEachTypeAndTestsItsSound) {
    w->MajorAlarmSound = "major.wav";
    w->NormalAlarmSound = "normal.wav";
    w->MinorAlarmSound = "minor.wav";
    for (const char* f : {"major.wav", "normal.wav", "minor.wav", "bell.ogg"})
        Touch(f);
    struct TCase {
        const char* Type;
        const char* Label; // nullptr: the payload is hidden
        bool Pick;
        const char* Sound; // nullptr: no "Test"
        const char* Payload;
    };
    const TCase cases[] = {
        {"Alarm - Major", "Message:", false, "major.wav", "bell.ogg"},
        {"Alarm - Normal", "Message:", false, "normal.wav", "bell.ogg"},
        {"Alarm - Minor", "Message:", false, "minor.wav", "bell.ogg"},
        {"Connect", nullptr, false, nullptr, "<connect>"},
        {"Disconnect", nullptr, false, nullptr, "<disconnect>"},
        {"Syncronize", "Notes:", false, nullptr, "bell.ogg"},
        {"Execute Application", "Full path, file and parameters:", true, nullptr, "bell.ogg"},
        {"Sound File", "Full path, file and parameters:", true, "bell.ogg", "bell.ogg"},
    };
    for (int t = 0; t < 8; ++t) {
        const TCase& c = cases[t];
        SCOPED_TRACE(c.Type);
        auto e = Editor(Add("bell.ogg"));
        SetType(e.get(), c.Type);
        EXPECT_EQ(e->Alarm.AlarmType, t);
        EXPECT_EQ(Part<QLineEdit>(e.get(), "e_Description")->isVisible(), c.Label != nullptr);
        EXPECT_EQ(Part<QLabel>(e.get(), "l_Description")->isVisible(), c.Label != nullptr);
        if (c.Label) {
            EXPECT_EQ(Text(e.get(), "l_Description"), c.Label);
        }
        EXPECT_EQ(Part<QWidget>(e.get(), "sb_PickPayload")->isVisible(), c.Pick);
        EXPECT_EQ(Part<QWidget>(e.get(), "sbTestPayload")->isVisible(), c.Sound != nullptr);
        EXPECT_EQ(Text(e.get(), "e_Description"), c.Payload);
        EXPECT_EQ(e->Alarm.Text, "bell.ogg"); // a type change reads the type alone
        sound->Played.clear();
        Click(e.get(), "sbTestPayload");
        ASSERT_EQ(sound->Played.size(), 1u);
        EXPECT_EQ(sound->Played[0].Sound, c.Sound ? c.Sound : "minor.wav");
        EXPECT_EQ(sound->Played[0].Mode, TRecordingSoundPlayer::TEntry::TMode::Async);
    }
    // Back from "Connect", its payload is the message until edited; a text
    // that names no type keeps the type.
    auto e = Editor(Add("Wake up"));
    SetType(e.get(), "Connect");
    SetType(e.get(), "Alarm - Normal");
    EXPECT_EQ(Text(e.get(), "e_Description"), "<connect>");
    SetType(e.get(), "alarm - major");
    EXPECT_EQ(e->Alarm.AlarmType, 1);
    Click(e.get(), "OkBtn");
    EXPECT_EQ(e->Alarm.Text, "<connect>");
    EXPECT_EQ(e->Alarm.AlarmType, 1);
}




TEST_F(AlarmManagerTest, AnEditLandsOnItsOwnAlarmWhenTheLateWindowDeletedAnotherMeanwhile) {
    // "Missed" is an hour late: the next tick offers it in the late window.
    Add("Missed", k0800 + 4.0 / 24 - 1.0 / 24);
    Add("Kept", k0800 + 1);
    TFHXalarms* m = Open();
    QTableWidget* g = Grid(m);
    g->setCurrentCell(2, 0);
    Answering([m] { Click(m, "sb_Edit"); },
              [this](QWidget* e) {
                  Part<QLineEdit>(e, "e_Description")->setText("Kept and edited");
                  ClockDisplayOf(*w).UpdateClockDisplays(false);
                  auto* late = qobject_cast<TFAlarmExplorer*>(w->AlarmExplorer());
                  ASSERT_TRUE(late);
                  auto* list = Part<QListWidget>(late, "clb_Alarms");
                  ASSERT_EQ(list->count(), 1);
                  list->item(0)->setCheckState(Qt::Checked);
                  Click(late, "sb_Delete");
                  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                  ASSERT_EQ(w->Alarms.size(), 1u);
                  Click(e, "OkBtn");
              });
    ASSERT_EQ(w->Alarms.size(), 1u);
    EXPECT_EQ(w->Alarms[0]->Text, "Kept and edited");
    EXPECT_EQ(g->rowCount(), 2);
    EXPECT_EQ(Row(g, 1)[2], "Kept and edited");
    EXPECT_EQ(g->currentRow(), 1);

    // The edited alarm itself went: the edit is offered as a new alarm.
    Answering([m] { Click(m, "sb_Edit"); },
              [this](QWidget* e) {
                  Part<QLineEdit>(e, "e_Description")->setText("Saved edit");
                  DeleteAlarms(w->Alarms, {w->Alarms[0]->Id.Value()});
                  presenter.Texts.clear();
                  Click(e, "OkBtn");
              });
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_NE(presenter.Texts[0].find("add your edit as a new alarm"), std::string::npos);
    EXPECT_TRUE(w->Alarms.empty()); // the recorded answer is No
    EXPECT_EQ(g->rowCount(), 1);
}

TEST_F(AlarmManagerTest, OneManagerAtATimeWithItsCommandsOffAndTheAlarmFileWrittenOnClose) {
    Add("Wake up");
    TFHXalarms* m = Open();
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->isModal());
    for (const char* name : {"sb_Alarms", "mi_Alarms"})
        EXPECT_FALSE(w->Action(name)->isEnabled()) << name;
    presenter.Answers = {mrYes};
    Click(m, "SpeedButton1");
    QFile::remove(dir.filePath("hxalarms.hxd"));
    m->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w->ToolWindow(TToolWindow::AlarmManager), nullptr);
    EXPECT_EQ(FileText("hxalarms.hxd"), ""); // written again on close
    for (const char* name : {"sb_Alarms", "mi_Alarms"})
        EXPECT_TRUE(w->Action(name)->isEnabled()) << name;

    // A file that cannot be written is told, not raised out of the close.
    Add("Again");
    m = Open();
    QFile::remove(dir.filePath("hxalarms.hxd"));
    QDir(dir.path()).mkdir("hxalarms.hxd");
    m->close();
    ASSERT_EQ(w->Errors.size(), 1u);
    EXPECT_NE(w->Errors[0].find("hxalarms.hxd"), std::string::npos);
}

// What OK or a confirmed Delete accepts is on disk while the manager is still
// open (a crash then loses none of it); a save that fails is told at once and
// the list keeps the change.
TEST_F(AlarmManagerTest, EachAcceptedChangeIsWrittenBeforeTheWindowCloses) {
    struct TCase {
        const char* Command;
        const char* Typed; // the editor's new text; none for Delete
        int Records;       // in the file afterwards
        bool KeepsFirst;   // "Wake up" still in the file
    };
    const TCase cases[] = {
        {"sb_Add", "Added", 2, true},
        {"sb_DupAlarm", "Copied", 2, true},
        {"sb_Edit", "Edited", 1, false},
        {"SpeedButton1", nullptr, 0, false},
    };
    const auto records = [](const std::string& file) {
        return int(std::count(file.begin(), file.end(), '\n'));
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Command);
        w->Alarms.clear();
        Add("Wake up");
        TFHXalarms* m = Open();
        QFile::remove(dir.filePath("hxalarms.hxd"));
        if (c.Typed) {
            Answering([&] { Click(m, c.Command); },
                      [&c](QWidget* e) {
                          Part<QLineEdit>(e, "e_Description")->setText(c.Typed);
                          Click(e, "OkBtn");
                      });
        } else {
            presenter.Answers = {mrYes};
            Click(m, c.Command);
        }
        ASSERT_TRUE(m->isVisible());
        const std::string file = FileText("hxalarms.hxd");
        ASSERT_NE(file, "<none>") << "not written before the window closes";
        EXPECT_EQ(records(file), c.Records) << file;
        if (c.Typed) {
            EXPECT_NE(file.find(c.Typed), std::string::npos) << file;
        }
        EXPECT_EQ(file.find("Wake up") != std::string::npos, c.KeepsFirst) << file;
        m->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    w->Alarms.clear();
    Add("Wake up");
    TFHXalarms* m = Open();
    QFile::remove(dir.filePath("hxalarms.hxd"));
    QDir(dir.path()).mkdir("hxalarms.hxd");
    w->Errors.clear();
    Answering([m] { Click(m, "sb_Add"); },
              [](QWidget* e) {
                  Part<QLineEdit>(e, "e_Description")->setText("Told");
                  Click(e, "OkBtn");
              });
    ASSERT_EQ(w->Errors.size(), 1u);
    EXPECT_NE(w->Errors[0].find("hxalarms.hxd"), std::string::npos) << w->Errors[0];
    EXPECT_EQ(w->Alarms.size(), 2u);
    QDir(dir.path()).rmdir("hxalarms.hxd");
    m->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(FileText("hxalarms.hxd").find("Told"), std::string::npos);
}

} // namespace

// Escape in the grid closes the window, as it would cancel a dialog.
TEST_F(AlarmManagerTest, EscapeClosesTheAlarmManagerAndTheDayloom) {
    Add("Wake up");
    const std::pair<TToolWindow, const char*> windows[] = {{TToolWindow::AlarmManager, "sb_Alarms"},
                                                           {TToolWindow::Dayloom, "sb_Dayloom"}};
    for (const auto& [which, command] : windows) {
        w->Action(command)->trigger();
        QWidget* win = w->ToolWindow(which);
        ASSERT_TRUE(win) << command;
        auto* grid = win->findChild<QTableWidget*>();
        ASSERT_TRUE(grid) << command;
        grid->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(grid, &press);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(w->ToolWindow(which), nullptr) << command;
        EXPECT_TRUE(w->Action(command)->isEnabled()) << command;
    }
}

namespace {

// A wall time the place's clocks skip is refused at OK with the change named;
// the dialog stays open and the alarm list keeps what it had.
TEST_F(AlarmManagerOnStateTest, ATimeTheClocksSkipIsRefusedAndNothingIsStored) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TAlarm& a = Add("Wake up", EncodeDate(2026, 3, 29) + EncodeTime(8, 0, 0, 0));
    a.Location.Name = "London";
    a.Location.Rule.ReadDataString("GB/L.1.3.60.01:00:00/L.1.10.0.01:00:00/");
    const Strings before = Records();
    TFHXalarms* m = Open();
    Grid(m)->setCurrentCell(1, 0);
    Answering([m] { Click(m, "sb_Edit"); },
              [this](QWidget* e) {
                  Part<TTimeField>(e, "tp_Time")->setTime(QTime(1, 30, 0));
                  Click(e, "OkBtn");
                  EXPECT_TRUE(e->isVisible());
                  ASSERT_EQ(presenter.Texts.size(), 1u);
                  EXPECT_EQ(presenter.Texts[0], "01:30 does not exist on 29/03/2026 in London: "
                                                "clocks go forward from 01:00 to 02:00");
                  Click(e, "CancelBtn");
              });
    EXPECT_EQ(Records(), before);
    // The first time after the gap exists and is taken.
    Answering([m] { Click(m, "sb_Edit"); },
              [](QWidget* e) {
                  Part<TTimeField>(e, "tp_Time")->setTime(QTime(2, 0, 0));
                  Click(e, "OkBtn");
                  EXPECT_FALSE(e->isVisible());
              });
    ASSERT_EQ(w->Alarms.size(), 1u);
    EXPECT_EQ(w->Alarms[0]->AlarmTime, EncodeDate(2026, 3, 29) + EncodeTime(2, 0, 0, 0));
}

} // namespace
