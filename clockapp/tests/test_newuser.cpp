// What a new user meets in the main window: the title in their own language,
// a new clock that looks like the others.
#include "TestApp.h"
#include "clockapp/tests/WindowTest.h"

#include "clockapp/ClockDisplay.h"
#include "platform/qt/LocaleNames.h"
#include "platform/rtl/SysUtils.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <gtest/gtest.h>

#include <fstream>

namespace {

// A window on one shipped-looking clock (10-point fonts), at a pinned instant.
class NewUserWindow : public TWindowTest<> {
protected:
    void BeforeStart() override {
        PinClock(EncodeDate(2026, 12, 9) + EncodeTime(14, 33, 46, 0), 0);
        std::ofstream(dir.filePath("hxclocks.hxd").toStdString(), std::ios::binary)
            << "HXClockData-1.0.0:\tLocation\tMMM DD\tHH:MM:SS\tDigital\tFalse\t0\tArial\t0\t-13"
               "\t10\t0\tNNNN!\tArial\t65280\t-13\t10\t0\tNNNN!\tParis\t1\t0\t48.86667\t-2.33333"
               "\tNone/N.1.1.0.02:00:00/N.1.1.0.02:00:00/\tParis\t\tFrance\t!\r\n";
    }
    void TearDown() override {
        TWindowTest::TearDown();
        ResetClockSource();
        ResetFormatSettings();
        QLocale::setDefault(QLocale::c());
    }
    QLabel* TimeText(int index) const {
        QWidget* panel = w->findChild<QWidget*>(QString("ClockPanel%1").arg(index));
        return panel ? panel->findChild<QLabel*>("TimeText") : nullptr;
    }
};

// The month and day names come from the user's locale; the patterns stay.
TEST_F(NewUserWindow, TitleSpeaksTheUsersLanguage) {
    struct TCase {
        QLocale Locale;
        const char* Start;
    };
    for (const TCase& c : {TCase{QLocale(QLocale::German, QLocale::Germany), "Mi Dez 9, 2026"},
                           TCase{QLocale(QLocale::French, QLocale::France), "mer. déc. 9, 2026"},
                           TCase{QLocale(QLocale::English, QLocale::UnitedStates),
                                 "Wed Dec 9, 2026"}}) {
        QLocale::setDefault(c.Locale);
        TakeLocaleNames();
        w->HintClock = -1;
        ClockDisplayOf(*w).UpdateClockDisplays(true);
        const std::string title = ClockDisplayOf(*w).TitleCaption().toStdString();
        EXPECT_EQ(title.rfind(c.Start, 0), 0u) << c.Locale.name().toStdString() << ": " << title;
        EXPECT_NE(ClockDisplayOf(*w).TrayText().toStdString().find(c.Start), std::string::npos);
    }
}

// "Add a New Clock Object" gives a clock in the same fonts as its neighbour.
TEST_F(NewUserWindow, NewClockLooksLikeItsNeighbour) {
    ASSERT_EQ(w->Clocks.size(), 1u);
    w->Action("sbAddClock")->trigger();
    ASSERT_EQ(w->Clocks.size(), 2u);
    EXPECT_EQ(w->Clocks[1]->TimeFont, w->Clocks[0]->TimeFont);
    EXPECT_EQ(w->Clocks[1]->ClockFaceFont, w->Clocks[0]->ClockFaceFont);
    QLabel* shipped = TimeText(0);
    QLabel* added = TimeText(1);
    ASSERT_TRUE(shipped && added);
    EXPECT_EQ(added->font().pixelSize(), shipped->font().pixelSize());
    EXPECT_EQ(added->font().pointSizeF(), shipped->font().pointSizeF());
    EXPECT_EQ(added->height(), shipped->height());

    // The first clock of an empty window has the shipped clocks' size.
    w->Clocks.clear();
    w->Action("sbAddClock")->trigger();
    ASSERT_EQ(w->Clocks.size(), 1u);
    EXPECT_EQ(w->Clocks[0]->TimeFont.Size, 10);
    EXPECT_EQ(w->Clocks[0]->TimeFont.Height, -13);
}

} // namespace
