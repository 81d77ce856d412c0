// The alarm and Dayloom item editors refuse a text their list file cannot
// hold: stored, it would be refused at the next start.
#include "alarms/AlarmManager.h"
#include "alarms/Dayloom.h"
#include "alarms/tests/EditorOnStateTest.h"

#include <QComboBox>

TEST_F(EditorOnStateTest, ATextTheListFileCannotHoldIsRefusedAndNothingTaken) {
    // 32000 three-byte characters: 96000 bytes, more than one record's line.
    QString huge;
    for (int i = 0; i < 32000; ++i)
        huge += QChar(0x20AC);
    for (const bool tooLong : {true, false}) {
        SCOPED_TRACE(tooLong);
        const QString text = tooLong ? huge : huge.left(1000);
        presenter.Texts.clear();

        TF_AddEditAlarm alarm(*w, services->Locations, services->Sound, nullptr);
        alarm.Alarm.Text = "before";
        alarm.Alarm.AlarmType = 6; // Execute
        alarm.show();
        Part<QLineEdit>(&alarm, "e_Description")->setText(text);
        Click(&alarm, "OkBtn");

        TAddEditTrackingItem item(*w, services->Locations, nullptr);
        item.Event.Title = "before";
        item.show();
        Part<QLineEdit>(&item, "e_Description")->setText(text);
        Click(&item, "OKBtn");

        if (tooLong) {
            ASSERT_EQ(presenter.Texts.size(), 2u);
            EXPECT_NE(presenter.Texts[0].find("\"Full path, file and parameters\" is too long"),
                      std::string::npos)
                << presenter.Texts[0];
            EXPECT_NE(presenter.Texts[1].find("\"Description\" is too long"), std::string::npos);
            for (const std::string& t : presenter.Texts)
                EXPECT_NE(t.find("at most 65536 characters (64 KiB)"), std::string::npos);
            EXPECT_TRUE(alarm.isVisible());
            EXPECT_TRUE(item.isVisible());
            EXPECT_EQ(alarm.Alarm.Text, "before");
            EXPECT_EQ(item.Event.Title, "before");
        } else {
            EXPECT_TRUE(presenter.Texts.empty());
            EXPECT_FALSE(alarm.isVisible());
            EXPECT_FALSE(item.isVisible());
            EXPECT_EQ(alarm.Alarm.Text, text.toStdString());
            EXPECT_EQ(item.Event.Title, text.toStdString());
        }
    }
}

// A TAB or a line break in the text would split the record: the editors
// refuse it, naming the field, instead of storing it turned into a blank.
TEST_F(EditorOnStateTest, RecordATextThatWouldNotReadBackIsRefused) {
    for (const QString& text : {QString("one\ttwo"), QString("one\ntwo")}) {
        presenter.Texts.clear();
        TF_AddEditAlarm alarm(*w, services->Locations, services->Sound, nullptr);
        alarm.Alarm.Text = "before";
        alarm.show();
        Part<QLineEdit>(&alarm, "e_Description")->setText(text);
        Click(&alarm, "OkBtn");
        TAddEditTrackingItem item(*w, services->Locations, nullptr);
        item.Event.Title = "before";
        item.show();
        Part<QLineEdit>(&item, "e_Description")->setText(text);
        Click(&item, "OKBtn");
        ASSERT_EQ(presenter.Texts.size(), 2u);
        const std::string why = text.contains('\t') ? "a TAB" : "a line break";
        EXPECT_EQ(presenter.Texts[0].rfind("\"Message\" cannot be stored: it holds " + why, 0), 0u)
            << presenter.Texts[0];
        EXPECT_EQ(presenter.Texts[1].rfind("\"Description\" cannot be stored: it holds " + why, 0),
                  0u)
            << presenter.Texts[1];
        EXPECT_TRUE(alarm.isVisible());
        EXPECT_TRUE(item.isVisible());
        EXPECT_EQ(alarm.Alarm.Text, "before");
        EXPECT_EQ(item.Event.Title, "before");
    }
}
