// The alarm and Dayloom item editors refuse a text their list file cannot
// hold: stored, it would be refused at the next start.
#include "alarms/AlarmManager.h"
#include "alarms/Dayloom.h"
#include "alarms/tests/AlarmEditorTest.h"

#include <QComboBox>

TEST_F(AlarmEditorTest, ATextTheListFileCannotHoldIsRefusedAndNothingTaken) {
    // 32000 three-byte characters: 96000 bytes, more than one record's line.
    QString huge;
    for (int i = 0; i < 32000; ++i)
        huge += QChar(0x20AC);
    for (const bool tooLong : {true, false}) {
        SCOPED_TRACE(tooLong);
        const QString text = tooLong ? huge : huge.left(1000);
        presenter.Texts.clear();

        TF_AddEditAlarm alarm(*w, nullptr);
        alarm.Alarm.Text = "before";
        alarm.Alarm.AlarmType = 6; // Execute
        alarm.show();
        Part<QLineEdit>(&alarm, "e_Description")->setText(text);
        Click(&alarm, "OkBtn");

        TAddEditTrackingItem item(*w, nullptr);
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
