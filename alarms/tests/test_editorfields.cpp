// The date and time fields of the alarm editor and the Dayloom item editor,
// used as a user does: a whole date typed in the locale's numeric order, an
// impossible one refused by name, a time stepped to whole seconds.
#include "alarms/AlarmManager.h"
#include "alarms/Dayloom.h"
#include "alarms/tests/EditorOnStateTest.h"
#include "platform/qt/DateField.h"
#include "platform/qt/TimeField.h"

#include <QApplication>
#include <QComboBox>
#include <QLocale>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <memory>

namespace {

const TDateTime kDay = EncodeDate(2026, 2, 14);

// One editor of either kind on a record at the given local time.
struct TEditor {
    std::unique_ptr<QDialog> Dialog;
    const char* Ok;
    std::function<TDateTime()> Stored;
};

class EditorFieldsTest : public EditorOnStateTest {
protected:
    void TearDown() override {
        QLocale::setDefault(FLocale);
        EditorOnStateTest::TearDown();
    }
    TEditor Open(bool alarm, TDateTime at) {
        TEditor r;
        if (alarm) {
            auto* e = new TF_AddEditAlarm(*w, services->Locations, services->Sound, nullptr);
            e->Alarm.AlarmTime = at;
            r = {std::unique_ptr<QDialog>(e), "OkBtn", [e] { return e->Alarm.AlarmTime; }};
        } else {
            auto* e = new TAddEditTrackingItem(*w, services->Locations, nullptr);
            e->Event.EventDate = at;
            r = {std::unique_ptr<QDialog>(e), "OKBtn", [e] { return e->Event.EventDate; }};
        }
        r.Dialog->show();
        return r;
    }
    static void Type(QWidget* editor, const char* field, const QString& text) {
        auto* line = Part<QLineEdit>(editor, field);
        line->selectAll();
        QTest::keyClicks(line, text);
    }
    QLocale FLocale;
};

TEST_F(EditorFieldsTest, AWholeDateTypedIsStoredAndAnImpossibleOneIsRefusedByName) {
    struct TCase {
        QLocale Locale;
        const char *Good, *Impossible, *Hint;
    };
    const TCase cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "15/02/2027", "31/02/2027",
         "DD/MM/YYYY"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "2/15/2027", "02/31/2027", "MM/DD/YYYY"},
        {QLocale(QLocale::German, QLocale::Germany), "15.2.2027", "29.02.2027", "DD.MM.YYYY"},
        {QLocale::c(), "15/02/2027", "31/02/2027", "DD/MM/YYYY"},
    };
    const TDateTime before = kDay + EncodeTime(8, 0, 0, 0);
    for (const TCase& c : cases)
        for (const bool alarm : {true, false}) {
            SCOPED_TRACE(c.Locale.name().toStdString() + (alarm ? " alarm" : " tracked date"));
            QLocale::setDefault(c.Locale);
            TEditor good = Open(alarm, before);
            Type(good.Dialog.get(), "tp_Date", c.Good);
            Click(good.Dialog.get(), good.Ok);
            EXPECT_FALSE(good.Dialog->isVisible());
            EXPECT_EQ(good.Stored(), EncodeDate(2027, 2, 15) + EncodeTime(8, 0, 0, 0));

            presenter.Texts.clear();
            TEditor bad = Open(alarm, before);
            Type(bad.Dialog.get(), "tp_Date", c.Impossible);
            Click(bad.Dialog.get(), bad.Ok);
            EXPECT_TRUE(bad.Dialog->isVisible());
            EXPECT_EQ(bad.Stored(), before);
            ASSERT_EQ(presenter.Texts.size(), 1u);
            EXPECT_EQ(presenter.Texts[0], std::string("\"Local Date\" must be a date written as ") +
                                              c.Hint + ": '" + c.Impossible + "' is not one.");
            // Put right, it goes through.
            Type(bad.Dialog.get(), "tp_Date", c.Good);
            Click(bad.Dialog.get(), bad.Ok);
            EXPECT_FALSE(bad.Dialog->isVisible());
            EXPECT_EQ(bad.Stored(), EncodeDate(2027, 2, 15) + EncodeTime(8, 0, 0, 0));
        }
}

// A record a fraction of a second past the minute (a new alarm is "now" plus
// ten minutes) set to 08:02:00 is stored at 08:02:00 exactly.
TEST_F(EditorFieldsTest, ATimeSetInTheEditorIsStoredInWholeSeconds) {
    for (const bool alarm : {true, false}) {
        SCOPED_TRACE(alarm ? "alarm" : "tracked date");
        TEditor e = Open(alarm, kDay + EncodeTime(8, 0, 0, 930));
        auto* time = Part<TTimeField>(e.Dialog.get(), "tp_Time");
        time->setCursorPosition(4); // in the minutes
        QTest::keyClick(time, Qt::Key_Up);
        QTest::keyClick(time, Qt::Key_Up);
        Click(e.Dialog.get(), e.Ok);
        EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", e.Stored()), "08:02:00.000");
        EXPECT_EQ(e.Stored(), kDay + EncodeTime(8, 2, 0, 0));
    }
}

// The time field steps as the spin field before it did: PageUp and PageDown
// by ten in the part under the cursor, a wheel notch by one (Ctrl: ten) in
// the part under the mouse, a high-resolution wheel once its turns make a
// notch; each part held at its ends. What is stepped is stored at OK.
TEST_F(EditorFieldsTest, PageKeysAndTheWheelStepThePartOfTheTime) {
    struct TCase {
        const char* Name;
        int Key;                 // pressed Presses times with the cursor at Cursor, or 0
        int Presses;
        int Cursor;              // text position of the key or of the mouse
        std::vector<int> Wheel;  // angle deltas turned over Cursor
        Qt::KeyboardModifiers Mods;
        QTime After;
    };
    const TCase cases[] = {
        {"PageUp in the hours", Qt::Key_PageUp, 1, 0, {}, Qt::NoModifier, QTime(20, 20, 30)},
        {"PageUp twice", Qt::Key_PageUp, 2, 1, {}, Qt::NoModifier, QTime(23, 20, 30)},
        {"PageDown in the minutes", Qt::Key_PageDown, 1, 4, {}, Qt::NoModifier, QTime(10, 10, 30)},
        {"a notch over the hours", 0, 0, 1, {120}, Qt::NoModifier, QTime(11, 20, 30)},
        {"a notch down over the seconds", 0, 0, 7, {-120}, Qt::NoModifier, QTime(10, 20, 29)},
        {"Ctrl and a notch over the minutes", 0, 0, 4, {120}, Qt::ControlModifier, QTime(10, 30, 30)},
        {"half notches", 0, 0, 0, {60, 30, 30, 60}, Qt::NoModifier, QTime(11, 20, 30)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TEditor e = Open(true, kDay + EncodeTime(10, 20, 30, 0));
        auto* time = Part<TTimeField>(e.Dialog.get(), "tp_Time");
        ASSERT_EQ(time->text(), "10:20:30");
        time->setCursorPosition(c.Cursor);
        for (int i = 0; i < c.Presses; ++i) QTest::keyClick(time, Qt::Key(c.Key));
        // The mouse at text position Cursor; the cursor itself elsewhere.
        QPoint over(-1, time->height() / 2);
        for (int x = 0; x < time->width() && over.x() < 0; ++x)
            if (time->cursorPositionAt(QPoint(x, over.y())) == c.Cursor) over.setX(x);
        ASSERT_GE(over.x(), 0);
        time->setCursorPosition(c.Cursor < 3 ? 8 : 0);
        for (const int delta : c.Wheel) {
            QWheelEvent wheel(over, time->mapToGlobal(over), QPoint(), QPoint(0, delta),
                              Qt::NoButton, c.Mods, Qt::NoScrollPhase, false);
            QApplication::sendEvent(time, &wheel);
            EXPECT_TRUE(wheel.isAccepted());
        }
        EXPECT_EQ(time->time(), c.After);
        Click(e.Dialog.get(), e.Ok);
        EXPECT_EQ(e.Stored(),
                  kDay + EncodeTime(c.After.hour(), c.After.minute(), c.After.second(), 0));
    }
}

// A time typed whole is taken. A time or date that is none (a digit of
// another script splits no number into two) is refused, naming its field,
// and nothing is stored.
TEST_F(EditorFieldsTest, ATimeTypedWholeIsTakenAndATextThatIsNoTimeOrDateIsRefusedByName) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const TDateTime before = kDay + EncodeTime(12, 0, 0, 0);
    const QString time = "\"Local Time\" must be a time of day written as HH:MM:SS: '%1' is not one.";
    const QString date = "\"Local Date\" must be a date written as DD/MM/YYYY: '%1' is not one.";
    struct TCase {
        const char* Field;
        QString Text;
        TDateTime Stored; // 0: refused
    };
    const TCase cases[] = {
        {"tp_Time", "09:00:00", kDay + EncodeTime(9, 0, 0, 0)},
        {"tp_Time", "9:30", kDay + EncodeTime(9, 30, 0, 0)},
        {"tp_Time", " 23:59:59 ", kDay + EncodeTime(23, 59, 59, 0)},
        {"tp_Time", "24:00:00", 0},
        {"tp_Time", "9h30", 0},
        {"tp_Time", "", 0},
        {"tp_Time", QString::fromUtf8("0\uFF19:00"), 0}, // a full-width 9
        {"tp_Date", QString::fromUtf8("1\uFF15/02/2027"), 0}, // a full-width 5
        {"tp_Date", QString::fromUtf8("1\u0665/02/2027"), 0}, // an Arabic-Indic 5
        {"tp_Date", QString::fromUtf8("1\U0001D7D3/02/2027"), 0}, // a mathematical 5
        {"tp_Date", QString::fromUtf8("1\u00B2/02/2027"), 0}, // a superscript 2
        {"tp_Date", "15/02/2027", EncodeDate(2027, 2, 15) + EncodeTime(12, 0, 0, 0)},
    };
    for (const TCase& c : cases)
        for (const bool alarm : {true, false}) {
            SCOPED_TRACE(c.Text.toStdString() + (alarm ? " alarm" : " tracked date"));
            presenter.Texts.clear();
            TEditor e = Open(alarm, before);
            auto* field = Part<QLineEdit>(e.Dialog.get(), c.Field);
            // Typed where the test's keyboard has the keys, else pasted.
            if (std::all_of(c.Text.begin(), c.Text.end(), [](QChar ch) { return ch.unicode() < 128; })) {
                Type(e.Dialog.get(), c.Field, c.Text);
                if (c.Text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace); // cleared
            } else {
                field->selectAll();
                field->insert(c.Text);
            }
            Click(e.Dialog.get(), e.Ok);
            if (c.Stored != 0) {
                EXPECT_FALSE(e.Dialog->isVisible());
                EXPECT_EQ(e.Stored(), c.Stored);
                EXPECT_TRUE(presenter.Texts.empty());
                continue;
            }
            EXPECT_TRUE(e.Dialog->isVisible());
            EXPECT_EQ(e.Stored(), before);
            EXPECT_EQ(presenter.Texts,
                      std::vector<std::string>{(std::string(c.Field) == "tp_Time" ? time : date)
                                                   .arg(c.Text)
                                                   .toStdString()});
        }
}

// In en_US a time is typed in 12 hours: with AM or PM (any case, with or
// without the seconds) it is taken; an hour that no 12-hour clock shows is not.
TEST_F(EditorFieldsTest, ATwelveHourTimeTypedWholeIsStored) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const TDateTime before = kDay + EncodeTime(12, 0, 0, 0);
    const std::pair<const char*, TDateTime> cases[] = {
        {"7:00:00 AM", kDay + EncodeTime(7, 0, 0, 0)},
        {"7:00 PM", kDay + EncodeTime(19, 0, 0, 0)},
        {"7:05:09pm", kDay + EncodeTime(19, 5, 9, 0)},
        {"12:00:00 AM", kDay},
        {"12:30 p.m.", kDay + EncodeTime(12, 30, 0, 0)},
        {"11:59:59 a", kDay + EncodeTime(11, 59, 59, 0)},
        {"19:00:00", kDay + EncodeTime(19, 0, 0, 0)},
        {"13:00 PM", 0},
        {"0:30 AM", 0},
        {"AM", 0},
    };
    for (const auto& [text, stored] : cases)
        for (const bool alarm : {true, false}) {
            SCOPED_TRACE(std::string(text) + (alarm ? " alarm" : " tracked date"));
            presenter.Texts.clear();
            TEditor e = Open(alarm, before);
            Type(e.Dialog.get(), "tp_Time", text);
            Click(e.Dialog.get(), e.Ok);
            EXPECT_EQ(e.Dialog->isVisible(), stored == 0);
            EXPECT_EQ(e.Stored(), stored != 0 ? stored : before);
            EXPECT_EQ(presenter.Texts.size(), stored != 0 ? 0u : 1u);
        }
}

// Where the locale's date separator is an invisible mark (Arabic writes a
// right-to-left mark before each "/"), the field shows and takes a "/".
TEST_F(EditorFieldsTest, ADateSeparatorThatCannotBeSeenIsShownAndTakenAsASlash) {
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    for (const bool alarm : {true, false}) {
        SCOPED_TRACE(alarm ? "alarm" : "tracked date");
        TEditor e = Open(alarm, kDay + EncodeTime(8, 0, 0, 0));
        auto* field = Part<TDateField>(e.Dialog.get(), "tp_Date");
        EXPECT_EQ(field->text(), "14/02/2026");
        EXPECT_EQ(field->FormatHint(), "DD/MM/YYYY");
        Type(e.Dialog.get(), "tp_Date", "15/02/2027");
        Click(e.Dialog.get(), e.Ok);
        EXPECT_EQ(e.Stored(), EncodeDate(2027, 2, 15) + EncodeTime(8, 0, 0, 0));
    }
}

// A sound that is not there says so, naming the file, once; nothing plays.
TEST_F(EditorFieldsTest, TestingOrChoosingASoundFileThatIsNotThereSaysSo) {
    w->MajorAlarmSound = "sounds/alarm1.wav";
    const std::string here = Touch("here.wav");
    const std::string gone = dir.filePath("gone.wav").toStdString();
    struct TCase {
        const char *Type, *Payload;
        std::string Missing; // empty: it plays
    };
    const TCase cases[] = {
        {"Sound File", "gone.wav", gone},
        {"Sound File", "/nowhere/gone.wav", "/nowhere/gone.wav"},
        {"Alarm - Major", "Wake up", dir.filePath("sounds/alarm1.wav").toStdString()},
        {"Sound File", "here.wav", ""},
        {"Sound File", "SystemAsterisk", ""}, // a system sound
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Payload);
        TF_AddEditAlarm e(*w, services->Locations, services->Sound, nullptr);
        e.Alarm.Text = c.Payload;
        e.show();
        Part<QComboBox>(&e, "lb_AlarmType")->setEditText(c.Type);
        presenter.Texts.clear();
        sound->Played.clear();
        Click(&e, "sbTestPayload");
        if (c.Missing.empty()) {
            EXPECT_TRUE(presenter.Texts.empty());
            EXPECT_EQ(Sounds().size(), 1u);
        } else {
            EXPECT_EQ(presenter.Texts, std::vector<std::string>{"The sound file \"" + c.Missing +
                                                                "\" does not exist."});
            EXPECT_TRUE(Sounds().empty());
        }
    }
    // Chosen, it is not taken.
    TF_AddEditAlarm e(*w, services->Locations, services->Sound, nullptr);
    e.Alarm.AlarmType = 7;
    e.Alarm.Text = "here.wav";
    e.show();
    std::string chosen = gone;
    e.ChoosePayload = [&](const std::string&, const std::string&, const std::string&, QWidget*) {
        return std::optional<std::string>(chosen);
    };
    presenter.Texts.clear();
    Click(&e, "sb_PickPayload");
    EXPECT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(Text(&e, "e_Description"), "here.wav");
    chosen = here;
    Click(&e, "sb_PickPayload");
    EXPECT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(Text(&e, "e_Description"), QString::fromStdString(here));
}

} // namespace

// The editors keep their size and place as the type changes, and are wide
// enough for their titles.
TEST_F(EditorFieldsTest, TheEditorsKeepOneSizeWideEnoughForTheirTitles) {
    for (const bool alarm : {true, false}) {
        SCOPED_TRACE(alarm ? "alarm" : "tracked date");
        TEditor e = Open(alarm, kDay);
        QApplication::processEvents();
        QDialog* d = e.Dialog.get();
        EXPECT_GE(d->width(), d->fontMetrics().horizontalAdvance(d->windowTitle()) + 100);
        if (!alarm) continue;
        auto* type = Part<QComboBox>(d, "lb_AlarmType");
        type->setCurrentIndex(0);
        QApplication::processEvents();
        const QSize size = d->size();
        for (int i = 0; i < type->count(); ++i) {
            type->setCurrentIndex(i);
            QApplication::processEvents();
            EXPECT_EQ(d->size(), size) << type->itemText(i).toStdString();
        }
    }
}
