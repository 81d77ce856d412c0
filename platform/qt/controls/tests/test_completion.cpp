#include "platform/qt/controls/ComboCompletion.h"
#include "platform/qt/controls/FramedCmboBx.h"
#include "platform/qt/controls/tests/QtApp.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};

struct Engine : ::testing::Test {
    TComboCompletion c;
    int beeps = 0, changes = 0, notInList = 0, matches = 0;
    void SetUp() override {
        c.Items = kDays;
        c.OnBeep = [this] { ++beeps; };
        c.OnChange = [this] { ++changes; };
        c.OnNotInList = [this] { ++notInList; };
        c.OnMatch = [this] { ++matches; };
    }
    std::string Selected() const { return c.Text.substr(size_t(c.SelStart), size_t(c.SelLength)); }
};

TEST_F(Engine, TypingCompletesAndSelectsTheRest) {
    c.EditChar('s');
    EXPECT_EQ(c.ItemIndex, 0);
    EXPECT_EQ(c.Text, "Sunday");
    EXPECT_EQ(c.SelStart, 1);
    EXPECT_EQ(Selected(), "unday");
    c.EditChar('a');
    EXPECT_EQ(c.Text, "Saturday");
    EXPECT_EQ(c.SelStart, 2);
    EXPECT_EQ(Selected(), "turday");
    EXPECT_EQ(matches, 2);
}

TEST_F(Engine, UnknownLetterStaysOnlyWithAllowEdit) {
    c.EditChar('x');
    EXPECT_EQ(c.Text, "x");
    EXPECT_EQ(c.ItemIndex, -1);
    EXPECT_EQ(beeps, 0);

    TComboCompletion strict;
    int b = 0;
    strict.Items = kDays;
    strict.AllowEdit = false;
    strict.OnBeep = [&] { ++b; };
    strict.EditChar('x');
    EXPECT_EQ(strict.Text, "");
    EXPECT_EQ(strict.ItemIndex, -1);
    EXPECT_EQ(b, 1);
}

TEST_F(Engine, BackspaceWalksBackAndEmptiesToNoItem) {
    c.EditChar('s');
    c.EditChar('a');
    c.EditChar(TComboCompletion::kBack);
    EXPECT_EQ(c.Text, "Sunday");
    EXPECT_EQ(c.SelStart, 1);
    c.EditChar(TComboCompletion::kBack);
    EXPECT_EQ(c.ItemIndex, -1);
    EXPECT_EQ(c.SearchText, "");
}

TEST_F(Engine, ListStyleSearchAndTimer) {
    c.Style = TComboCompletion::TStyle::DropDownList;
    c.ListChar('t');
    EXPECT_EQ(c.ItemIndex, 2); // Tuesday
    c.ListChar('h');
    EXPECT_EQ(c.ItemIndex, 4); // Thursday
    c.ListChar(TComboCompletion::kBack);
    EXPECT_EQ(c.ItemIndex, 2);
    c.ListChar(TComboCompletion::kBack);
    EXPECT_EQ(c.ItemIndex, 0); // list style: first item

    c.ListChar('t');
    EXPECT_TRUE(c.TimerRunning);
    c.TimerElapsed(); // 1.5 s without a key
    c.ListChar('h');
    EXPECT_EQ(c.ItemIndex, 2);
    EXPECT_EQ(beeps, 1);
    c.ComboKeyDown(TComboCompletion::kDown);
    EXPECT_EQ(c.SearchText, "");
}

TEST_F(Engine, LeavingWithUnknownTextAndLowerCaseItem) {
    c.Text = "Nonday";
    c.FocusLost();
    EXPECT_EQ(notInList, 1);
    c.Text = "sunday";
    c.FocusLost();
    EXPECT_EQ(notInList, 1);
    EXPECT_EQ(c.ItemIndex, 0);
    EXPECT_EQ(c.Text, "Sunday");
}

TEST_F(Engine, WheelStopsAtTheEndsWithoutEvents) {
    c.SetItemIndex(0);
    c.Wheel(true);
    EXPECT_EQ(c.ItemIndex, 0);
    EXPECT_EQ(changes, 0);
    c.Wheel(false);
    EXPECT_EQ(c.ItemIndex, 1);
    EXPECT_EQ(changes, 1);
    c.SetItemIndex(6);
    c.Wheel(false);
    EXPECT_EQ(c.ItemIndex, 6);
    EXPECT_EQ(changes, 1);
}

TEST_F(Engine, EscapeAndMaxLength) {
    c.EditChar('m');
    c.EditChar(TComboCompletion::kEscape);
    EXPECT_EQ(c.ItemIndex, -1);
    EXPECT_EQ(c.Text, "");
    c.MaxLength = 2;
    c.Text = "ab";
    c.SelStart = 2;
    c.EditChar('c');
    EXPECT_EQ(c.Text, "ab");
    EXPECT_EQ(beeps, 1);
}

TEST_F(Engine, PasteCompletes) {
    c.Paste("wed");
    EXPECT_EQ(c.ItemIndex, 3);
    EXPECT_EQ(c.Text, "Wednesday");
    EXPECT_EQ(c.SelStart, 3);
}

TEST(FramedComboBox, KeysTypedIntoTheWidgetComplete) {
    TestApp();
    TFramedComboBox box;
    box.SetItems(kDays);
    box.show();
    QTest::keyClick(box.lineEdit(), Qt::Key_S);
    QTest::keyClick(box.lineEdit(), Qt::Key_A);
    EXPECT_EQ(box.currentText(), "Saturday");
    EXPECT_EQ(box.currentIndex(), 6);
    EXPECT_EQ(box.lineEdit()->selectedText(), "turday");

    TFramedComboBox list;
    list.SetStyle(TComboCompletion::TStyle::DropDownList);
    list.SetItems(kDays);
    list.SetBeepOnInvalidKey(true);
    list.show();
    QTest::keyClick(&list, Qt::Key_T);
    QTest::keyClick(&list, Qt::Key_H);
    EXPECT_EQ(list.currentText(), "Thursday");
    QTest::keyClick(&list, Qt::Key_Q);
    EXPECT_EQ(list.currentText(), "Thursday");
    EXPECT_EQ(list.BeepCount(), 1);
}

// A closed combo shows the start of its text, where a rule's description
// longer than the field has the rule's name: after a pick from the list (a new
// item or the same again), a change from outside, and when the field is left.
TEST(FramedComboBox, AClosedComboShowsTheStartOfItsText) {
    TestApp();
    const std::vector<std::string> rules = {
        "USA (March start: Second Sunday in March, March end: First Sunday in November)",
        "EU (March start: Last Sunday in March, March end: Last Sunday in October)"};
    TFramedComboBox box;
    box.SetItems(rules);
    box.setFixedWidth(120);
    box.show();
    const auto pick = [&](int row) {
        static_cast<QComboBox&>(box).showPopup(); // as a click on its button does
        QAbstractItemView* view = box.view();
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QCoreApplication::processEvents();
    };
    for (int row : {1, 1, 0}) {
        pick(row);
        EXPECT_EQ(box.currentIndex(), row);
        EXPECT_FALSE(box.view()->isVisible());
        EXPECT_EQ(box.lineEdit()->cursorPosition(), 0) << "picked " << row;
    }
    box.setCurrentIndex(1);
    EXPECT_EQ(box.lineEdit()->cursorPosition(), 0) << "set from outside";

    box.lineEdit()->selectAll(); // as the field is entered with Tab
    QTest::keyClick(box.lineEdit(), Qt::Key_U);
    ASSERT_EQ(box.currentIndex(), 0);
    EXPECT_GT(box.lineEdit()->cursorPosition(), 0) << "the completion is typed on";
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&box, &leave);
    EXPECT_EQ(box.currentText().toStdString(), rules[0]);
    EXPECT_EQ(box.lineEdit()->cursorPosition(), 0) << "left";
}

} // namespace
