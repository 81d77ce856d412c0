#include "locations/tests/ManagerTest.h"

#include "clockapp/ClockDisplay.h"
#include "platform/qt/Launch.h"

#include <QLayout>

#include <cstdlib>

namespace {

class ClockEditorTest : public ManagerWindowTest {
protected:
    void OpenForClock(int tag) {
        ClockDisplayOf(*w).ClockClick(tag);
        Settle();
    }
    void ChooseType(int type) {
        auto* c = C<QComboBox>("cbClockFormat");
        c->setCurrentIndex(type);
        emit c->activated(type);
    }
    std::string Selector() const {
        return C<QComboBox>("cbCurrentClock")->currentText().toStdString();
    }
};

TEST_F(ClockEditorTest, TitleClickEditsTheClockAndSetClockStoresIt) {
    OpenForClock(1);
    ASSERT_TRUE(M() && M()->isVisible());
    EXPECT_TRUE(C("pClockBorder")->isVisibleTo(M()));
    EXPECT_EQ(Selector(), "1 - Tokyo");
    EXPECT_EQ(Text("e_zoneName"), "Tokyo");
    EXPECT_FALSE(C("bOK")->isEnabled());
    // Another title click while it is open: nothing counts as edited.
    OpenForClock(0);
    OpenForClock(1);
    EXPECT_FALSE(M()->ClockChanged);
    EXPECT_FALSE(M()->LocationChanged);

    ClickLeaf("Nice");
    C<QAbstractButton>("cb_ThisZoneIsHint")->setChecked(true);
    C<QAbstractButton>("cbUseForChimes")->setChecked(true);
    Click("sbApply");
    EXPECT_EQ(w->Clocks[1]->Location.Name, "Nice");
    EXPECT_EQ(w->HintClock, 1);
    EXPECT_EQ(w->ChimeClock, 1);
    EXPECT_EQ(ClockDisplayOf(*w).TitleText(1).toStdString(), "Nice");
    EXPECT_NE(ReadFile(dir.filePath("hxclocks.hxd")).find("Nice"), std::string::npos);
    EXPECT_EQ(Selector(), "1 - Nice");
    EXPECT_FALSE(M()->ClockChanged);

    // Unchecked again: the title and chime clocks are given up.
    C<QAbstractButton>("cb_ThisZoneIsHint")->setChecked(false);
    C<QAbstractButton>("cbUseForChimes")->setChecked(false);
    Click("sbApplyAttributes");
    EXPECT_EQ(w->HintClock, -1);
    EXPECT_EQ(w->ChimeClock, -1);
}

TEST_F(ClockEditorTest, ScalesWithoutADateDisableIt) {
    OpenForClock(0);
    for (int type = 0; type <= 8; ++type) {
        ChooseType(type);
        const bool date = type <= 2;
        EXPECT_EQ(C("cbDisplayDate")->isEnabled(), date) << type;
        EXPECT_EQ(C("cbClockDateFormat")->isEnabled(), date) << type;
        // The time formats are the type's own and one of them is chosen.
        const bool formats = type <= 2 || type == 4;
        EXPECT_EQ(C<QComboBox>("cbClockTimeFormat")->currentIndex() >= 0, formats) << type;
    }
}

// Only one Local clock: the question decides which of the two stays Local.
TEST_F(ClockEditorTest, SecondLocalClockAsksWhichStaysLocal) {
    struct Row {
        TModalResult Answer;
        int Edited, Other;
        bool HomeFollows;
    } rows[] = {{mrYes, 1, 0, true}, {mrNo, 0, 1, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Answer);
        w->Clocks[0]->ClockType = 0;
        w->Clocks[1]->ClockType = 1;
        w->LocalClock.Location.Name = "Home";
        OpenForClock(0);
        presenter.Texts.clear();
        presenter.Answers = {mrNo}; // keep the edited values
        ChooseType(1);
        EXPECT_TRUE(presenter.Saw("You have selected to display a local clock"));
        EXPECT_EQ(Text("e_zoneName"), "Paris");
        EXPECT_FALSE(C("eUTCOffset")->isEnabled());
        EXPECT_TRUE(C("vcbDaylightSavings")->isHidden());
        presenter.Answers = {r.Answer};
        Click("sbApply");
        EXPECT_TRUE(presenter.Saw("Clock 1 is already set as the 'Local' clock"));
        EXPECT_EQ(w->Clocks[0]->ClockType, r.Edited);
        EXPECT_EQ(w->Clocks[1]->ClockType, r.Other);
        EXPECT_EQ(w->LocalClock.Location.Name == "Paris", r.HomeFollows);
        if (!r.HomeFollows) {
            EXPECT_EQ(C<QComboBox>("cbClockFormat")->currentText(), "Location");
        }
    }
}

TEST_F(ClockEditorTest, LocalQuestionYesTakesTheHomeClock) {
    w->LocalClock.Location.Name = "Home";
    OpenForClock(0);
    presenter.Answers = {mrYes};
    ChooseType(1);
    EXPECT_EQ(Text("e_zoneName"), "Home");
    Click("sbApply");
    EXPECT_EQ(w->Clocks[0]->ClockType, 1);
    EXPECT_EQ(w->Clocks[0]->Location.Name, "Home");
}

TEST_F(ClockEditorTest, NewClockTakesTheEditorAndRestoredDefaults) {
    OpenForClock(0);
    M()->ChooseColour = [](TColor, QWidget*) { return std::optional<TColor>(clRed); };
    M()->ChooseFont = [](const TFont& f, QWidget*) {
        TFont g = f;
        g.Name = "Courier";
        return std::optional<TFont>(g);
    };
    M()->p_BackgroundColourClick();
    M()->l_MajorTimeColourClick();
    Click("sbApply");
    EXPECT_EQ(w->Clocks[0]->BackColour, clRed);
    EXPECT_EQ(w->Clocks[0]->TimeFont.Name, "Courier");

    Click("sb_RestoreDefaults");
    Click("sbAddNewClock");
    ASSERT_EQ(w->Clocks.size(), 3u);
    EXPECT_EQ(M()->ClockIndex(), 2);
    const THXClock& added = *w->Clocks[2];
    EXPECT_EQ(added.Location.Name, "Paris");
    EXPECT_EQ(added.BackColour, clBlack);
    EXPECT_EQ(added.TimeFont.Name, "Arial");
    EXPECT_EQ(added.TimeFont.Color, clLime);
    EXPECT_EQ(added.TimeFont.Height, -13);
    EXPECT_EQ(added.ClockFaceFont.Color, clBlack);
    EXPECT_EQ(Selector(), "2 - Paris");
}

// The edited clock follows moves, sorts and deletes; once deleted nothing
// can be set.
TEST_F(ClockEditorTest, EditedClockFollowsTheClockList) {
    w->ChimeClock = -1; // deletes ask nothing
    OpenForClock(1);    // Tokyo
    TClockDisplay& d = ClockDisplayOf(*w);
    struct Step {
        const char* What;
        std::function<void()> Do;
        int Edited;
    } steps[] = {
        {"move leftmost",
         [&] {
             w->CurrentClock = 1;
             d.miClkMoveLeftmostClick();
         },
         0},
        {"sort by name", [&] { w->miSortByNameClick(); }, 1},
        {"delete the other",
         [&] {
             w->CurrentClock = 0;
             d.miClkDeleteClick();
         },
         0},
        {"delete it",
         [&] {
             w->CurrentClock = 0;
             d.miClkDeleteClick();
         },
         -1},
    };
    for (const Step& s : steps) {
        s.Do();
        EXPECT_EQ(M()->ClockIndex(), s.Edited) << s.What;
        if (s.Edited >= 0) {
            EXPECT_EQ(Selector(), std::to_string(s.Edited) + " - Tokyo") << s.What;
        }
    }
    EXPECT_EQ(Selector(), "Not Applicable");
    for (const char* name : {"cbCurrentClock", "sbApply", "sbApplyAttributes"})
        EXPECT_FALSE(C(name)->isEnabled()) << name;
    Click("sbApply");
    EXPECT_TRUE(w->Clocks.empty());
}

TEST_F(ClockEditorTest, ChoosingAnotherClockAsksAboutEdits) {
    OpenForClock(0);
    Type("me_City", "edited");
    auto* c = C<QComboBox>("cbCurrentClock");
    presenter.Answers = {mrNo};
    c->setCurrentIndex(1);
    emit c->activated(1);
    EXPECT_EQ(M()->ClockIndex(), 0);
    EXPECT_EQ(Selector(), "0 - Paris");
    presenter.Answers = {mrYes, mrYes};
    c->setCurrentIndex(1);
    emit c->activated(1);
    EXPECT_EQ(M()->ClockIndex(), 1);
    EXPECT_EQ(Text("e_zoneName"), "Tokyo");
    EXPECT_FALSE(M()->ClockChanged);
}

// A pick while a clock is being edited asks first and hides the editor; the
// next clock edit brings it and "Use for Title & Tray" back.
TEST_F(ClockEditorTest, PickWhileEditingAClockConfirmsFirst) {
    OpenForClock(0);
    Type("me_City", "edited");
    TTimeLocation mine = Place("Lyon", "Lyon", "Rhone", "france", "LYS", 1);
    presenter.Answers = {mrNo};
    EXPECT_FALSE(w->PickLocation(mine));
    EXPECT_TRUE(M()->isVisible());
    EXPECT_EQ(Text("me_City"), "edited");

    presenter.Answers = {mrYes, mrYes};
    bool editorShown = true, hintEnabled = true;
    AnswerNextModal([&](QWidget*) {
        editorShown = C("pClockBorder")->isVisibleTo(M());
        hintEnabled = C("cb_ThisZoneIsHint")->isEnabled();
        Click("bCancel");
    });
    EXPECT_FALSE(w->PickLocation(mine));
    EXPECT_FALSE(editorShown);
    EXPECT_FALSE(hintEnabled);
    OpenForClock(1);
    EXPECT_TRUE(C("pClockBorder")->isVisibleTo(M()));
    EXPECT_TRUE(C("cb_ThisZoneIsHint")->isEnabled());
    EXPECT_FALSE(C("bOK")->isEnabled());
}

// The whole window, clock editor shown, fits a 1366 x 768 screen.
TEST_F(ClockEditorTest, WindowFitsASmallScreen) {
    OpenForClock(0);
    const QSize size = M()->sizeHint();
    EXPECT_LE(size.width(), 1366);
    EXPECT_LE(size.height(), 700);
}

// At the window's smallest, the time and date format combos still show their formats.
TEST_F(ClockEditorTest, FormatCombosShowTheirFormats) {
    OpenForClock(0);
    M()->resize(M()->minimumSizeHint());
    M()->show();
    Settle();
    for (const char* name : {"cbClockTimeFormat", "cbClockDateFormat"}) {
        auto* c = C<QComboBox>(name);
        const int text = c->fontMetrics().horizontalAdvance("hh:mm:ss am/pm");
        EXPECT_GE(c->width(), text) << name;
    }
}

// The rule manager's button starts rulewick, or says where it should be.
TEST_F(ClockEditorTest, RulewickButtonReportsAMissingProgram) {
    QTemporaryDir empty;
    SetCompanionDirectory(empty.path().toStdString());
    Open();
    Click("sbDSTInfo");
    SetCompanionDirectory("");
    EXPECT_TRUE(presenter.Saw("Horolux could not locate the DST manager application"));
}

} // namespace

// A clock's place that the list does not hold leaves nothing selected: Update
// and Delete cannot reach the place shown before, and message 20 comes once.
TEST_F(ClockEditorTest, UnlistedClockPlaceLeavesNoRecordToUpdateOrDelete) {
    struct Row {
        const char* What;
        std::function<void()> Switch;
    } rows[] = {
        {"Local with the home clock's values",
         [&] {
             OpenForClock(1); // Tokyo, listed and selected
             presenter.Answers = {mrYes};
             ChooseType(1);
             EXPECT_EQ(Text("e_zoneName"), "Home");
         }},
        {"another clock in the selector",
         [&] {
             OpenForClock(0); // Paris, listed and selected
             auto* c = C<QComboBox>("cbCurrentClock");
             c->setCurrentIndex(1);
             emit c->activated(1);
             EXPECT_EQ(Text("e_zoneName"), "Mars");
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.What);
        w->LocalClock.Location = Place("Home", "", "", "", "", 0, "0");
        w->Clocks[1]->ClockType = 0;
        w->Clocks[1]->Location = Place(r.What[0] == 'L' ? "Tokyo" : "Mars", "", "", "", "", 9, "0");
        Open();
        const std::string zones = ReadFile(dir.filePath("hxzones.hxd"));
        const std::vector<std::string> names = ListNames();
        ASSERT_EQ(names.size(), 6u);
        presenter.Texts.clear();
        r.Switch();
        const std::string m20 = HXErrorMessage(20).Text;
        EXPECT_EQ(std::count(presenter.Texts.begin(), presenter.Texts.end(), m20), 1);
        EXPECT_FALSE(C("sb_UpdateLoc")->isEnabled());
        EXPECT_FALSE(C("sb_DelLoc")->isEnabled());
        Click("sb_UpdateLoc");
        Click("sb_DelLoc");
        M()->sb_UpdateLocClick();
        M()->sb_DelLocClick();
        EXPECT_EQ(ReadFile(dir.filePath("hxzones.hxd")), zones);
        EXPECT_EQ(ListNames(), names);
        M()->ClockChanged = M()->LocationChanged = false;
        M()->hide();
    }
}

// "Find Next" showing, hiding or counting more never widens the window nor
// moves a button under the mouse; nor does hiding the rule combo.
TEST_F(ClockEditorTest, FindNextKeepsTheWindowAndItsButtonsInPlace) {
    OpenForClock(0);
    for (int i = 0; i < 120; ++i)
        w->StandardLocations.push_back(std::make_unique<TTimeLocation>(
            Place("Place " + std::to_string(i), "Town", "", "Land", "", 0, "0")));
    M()->RebuildLocationTree();
    M()->resize(M()->sizeHint());
    Settle();
    const char* buttons[] = {"sbClear", "sb_AddLoc", "sb_UpdateLoc", "sb_DelLoc",
                             "sb_Map",  "bOK",       "bCancel",      "sbApply"};
    auto where = [&] {
        M()->layout()->activate();
        Settle();
        std::vector<QRect> at = {QRect(QPoint(), M()->size())};
        for (const char* b : buttons)
            at.push_back(QRect(C(b)->mapTo(M(), QPoint()), C(b)->size()));
        return at;
    };
    const std::vector<QRect> before = where();
    EXPECT_LE(before[0].width(), 1366);
    Click("sbClear");
    Type("me_City", "Town");
    M()->LocationChanged = false;
    Click("sbSearchByCity");
    ASSERT_TRUE(C("sbFindNext")->isVisibleTo(M()));
    EXPECT_EQ(C<QAbstractButton>("sbFindNext")->text(), "Find Next 1 of 120");
    EXPECT_EQ(where(), before);
    Click("sbFindNext");
    EXPECT_EQ(where(), before);
    M()->LocationChanged = false;
    Type("me_City", "Tokyo");
    M()->LocationChanged = false;
    Click("sbSearchByCity");
    ASSERT_FALSE(C("sbFindNext")->isVisibleTo(M()));
    EXPECT_EQ(where(), before);
    presenter.Answers = {mrNo};
    ChooseType(1);
    ASSERT_TRUE(C("vcbDaylightSavings")->isHidden());
    EXPECT_EQ(where(), before);
}

// Add, Update and Set Clock refuse a field their list file cannot hold,
// naming it and the limit: the files stay as they were.
TEST_F(ClockEditorTest, AFieldTheListFileCannotHoldIsRefused) {
    std::string huge;
    for (int i = 0; i < 32000; ++i)
        huge += "\xe2\x82\xac"; // 96000 bytes
    OpenForClock(1);
    ClickLeaf("Nice");
    const std::string zones = ReadFile(dir.filePath("hxzones.hxd"));
    const std::string clocks = ReadFile(dir.filePath("hxclocks.hxd"));
    struct Row {
        const char* Field;
        const char* Edit;
        const char* Button;
        const char* Named;
    } rows[] = {
        {"me_City", nullptr, "sb_AddLoc", "\"City\" is too long"},
        {"me_Region", nullptr, "sb_UpdateLoc", "\"Region\" is too long"},
        {nullptr, "cbClockTimeFormat", "sbApply", "\"Time Fmt\" is too long"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Button);
        ClickLeaf("Nice");
        Type("e_zoneName", "Nice 2");
        if (r.Field) Type(r.Field, huge);
        if (r.Edit) C<QComboBox>(r.Edit)->setEditText(QString::fromStdString(huge));
        presenter.Texts.clear();
        Click(r.Button);
        ASSERT_EQ(presenter.Texts.size(), 1u);
        EXPECT_NE(presenter.Texts[0].find(r.Named), std::string::npos) << presenter.Texts[0];
        EXPECT_NE(presenter.Texts[0].find("65536 characters (64 KiB)"), std::string::npos);
        EXPECT_EQ(M()->Location.Name, "Nice");
        EXPECT_EQ(ReadFile(dir.filePath("hxzones.hxd")), zones);
        EXPECT_EQ(ReadFile(dir.filePath("hxclocks.hxd")), clocks);
        EXPECT_EQ(w->Clocks[1]->Location.Name, "Tokyo");
        EXPECT_EQ(ListNames().size(), 6u);
        C<QComboBox>("cbClockTimeFormat")->setEditText("HH:MM:SS");
        M()->LocationChanged = false;
    }
}

// Editing the Local clock hides the rule and shows the home offset; an
// Update of the listed place selected then keeps that place's own offset and
// rule, which the user neither sees nor can type.
TEST_F(ClockEditorTest, UpdateWhileEditingTheLocalClockKeepsThePlacesOffsetAndRule) {
    struct Row {
        const char* What;
        std::function<void()> Reach;
    } rows[] = {
        {"a place clicked, Local chosen keeping the values",
         [&] {
             OpenForClock(1);
             ClickLeaf("Paris");
             presenter.Answers = {mrNo};
             ChooseType(1);
         }},
        {"a place clicked while the Local clock is edited",
         [&] {
             w->Clocks[1]->ClockType = 1;
             OpenForClock(1);
             ClickLeaf("Paris");
         }},
        {"the home place found in the list",
         [&] {
             w->LocalClock.Location =
                 Place("Paris", "Paris", "Ile-de-France", "France", "CDG", 5, "0");
             OpenForClock(1);
             presenter.Answers = {mrYes};
             ChooseType(1);
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.What);
        w->Clocks[1]->ClockType = 0;
        w->LocalClock.Location = Place("Home", "", "", "", "", 5, "0");
        Open();
        M()->hide();
        r.Reach();
        ASSERT_TRUE(C("vcbDaylightSavings")->isHidden());
        ASSERT_EQ(Text("e_zoneName"), "Paris");
        ASSERT_TRUE(C("sb_UpdateLoc")->isEnabled());
        Type("me_City", "Paris centre");
        Click("sb_UpdateLoc");
        TTimeLocation want = Places[0];
        want.City = "Paris centre";
        std::string zones;
        for (const auto& l : w->StandardLocations)
            zones += (l->Name == "Paris" ? want : *l).LocationDataStr('\t') + "\r\n";
        EXPECT_NE(zones.find(want.LocationDataStr('\t')), std::string::npos);
        EXPECT_EQ(ReadFile(dir.filePath("hxzones.hxd")), zones);
        // Back as it was for the next row.
        Type("me_City", "Paris");
        M()->IsLocalClock = false;
        *w->StandardLocations[size_t(M()->CurrentIndex)] = Places[0];
        w->WriteStandardLocations();
        M()->ClockChanged = M()->LocationChanged = false;
        M()->hide();
    }
}

// A new clock whose fields do not read is refused whole: no blank clock is
// left behind in the main window or its file.
TEST_F(ClockEditorTest, NewClockWithABadFieldAddsNoClock) {
    OpenForClock(0);
    const std::string clocks = ReadFile(dir.filePath("hxclocks.hxd"));
    for (const char* bad : {"95", "abc"}) {
        SCOPED_TRACE(bad);
        Type(std::string(bad) == "95" ? "e_LatH" : "eUTCOffset", bad);
        presenter.Texts.clear();
        Click("sbAddNewClock");
        EXPECT_FALSE(presenter.Texts.empty());
        EXPECT_EQ(w->Clocks.size(), 2u);
        EXPECT_EQ(M()->ClockIndex(), 0);
        EXPECT_EQ(Selector(), "0 - Paris");
        Settle();
        w->WriteClockInfo();
        EXPECT_EQ(ReadFile(dir.filePath("hxclocks.hxd")), clocks);
        Type("e_LatH", "10");
        Type("eUTCOffset", "1");
    }
}

// Add, Update and Set Clock refuse what their file would skip, cut or change
// at the next start, naming the field and the reason; nothing is stored and
// the files stay byte for byte. A clock's place may hold what only the
// location file would skip.
TEST_F(ClockEditorTest, RecordAPlaceOrClockThatWouldNotReadBackIsRefused) {
    OpenForClock(1);
    const std::string zones = ReadFile(dir.filePath("hxzones.hxd"));
    const std::string clocks = ReadFile(dir.filePath("hxclocks.hxd"));
    struct Row {
        const char* Field;
        std::string Value;
        const char* Button;
        const char* Told;
    } rows[] = {
        {"e_zoneName", "#1 Base Camp", "sb_AddLoc",
         "\"Name\" cannot be stored: it begins with \"#\""},
        {"e_zoneName", "  Base Camp", "sb_AddLoc",
         "\"Name\" cannot be stored: it begins with a blank"},
        {"e_zoneName", "", "sb_AddLoc", "\"Name\" cannot be stored: it may not be empty"},
        {"me_City", "VERSION: 9.9", "sb_UpdateLoc",
         "\"City\" cannot be stored: it holds \"VERSION:\""},
        {"me_Code", "B!C", "sb_AddLoc", "\"Code\" cannot be stored: it holds \"!\""},
        {"cbClockTimeFormat", "HH\tMM", "sbApply", "\"Time Fmt\" cannot be stored: it holds a TAB"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Told);
        ClickLeaf("Nice");
        if (std::string(r.Field) != "e_zoneName") Type("e_zoneName", "Base Camp");
        if (std::string(r.Field) == "cbClockTimeFormat")
            C<QComboBox>(r.Field)->setEditText(QString::fromStdString(r.Value));
        else
            Type(r.Field, r.Value);
        presenter.Texts.clear();
        Click(r.Button);
        ASSERT_EQ(presenter.Texts.size(), 1u);
        EXPECT_EQ(presenter.Texts[0].rfind(r.Told, 0), 0u) << presenter.Texts[0];
        EXPECT_EQ(ReadFile(dir.filePath("hxzones.hxd")), zones);
        EXPECT_EQ(ReadFile(dir.filePath("hxclocks.hxd")), clocks);
        EXPECT_EQ(ListNames().size(), 6u);
        EXPECT_EQ(w->Clocks[1]->Location.Name, "Tokyo");
        C<QComboBox>("cbClockTimeFormat")->setEditText("HH:MM:SS");
        M()->LocationChanged = false;
    }
    ClickLeaf("Nice");
    Type("e_zoneName", "#1 Base Camp");
    presenter.Texts.clear();
    Click("sbApply");
    EXPECT_TRUE(presenter.Texts.empty()) << presenter.Texts[0];
    EXPECT_EQ(w->Clocks[1]->Location.Name, "#1 Base Camp");
}

// ------------------------------------------------------------ clock type

// Local shows the computer's time and never takes the place the clock keeps:
// back as a Location clock, the clock shows its own place's time again and
// its record in the clocks file is byte for byte what it was, whichever way
// the type was changed.
TEST_F(ClockEditorTest, LocalAndBackKeepsTheClocksOwnPlace) {
    // The computer at UTC+5, 12:07 UTC: Paris (UTC+1) shows 13:07.
    PinClock(EncodeDate(2026, 1, 15) + EncodeTime(12, 7, 0, 0), 5.0);
    TClockDisplay& d = ClockDisplayOf(*w);
    auto typeFromMenu = [&](int type) {
        w->CurrentClock = 0;
        w->Menu("smiClockType")->actions()[type]->trigger();
    };
    auto setClock = [&](int type) {
        ChooseType(type);
        Click("sbApply");
    };
    struct Row {
        const char* What;
        std::function<void()> ToLocal, ToLocation;
    } rows[] = {
        {"the This Clock menu", [&] { typeFromMenu(1); }, [&] { typeFromMenu(0); }},
        {"the manager, keeping the values",
         [&] {
             OpenForClock(0);
             presenter.Answers = {mrNo};
             setClock(1);
             ASSERT_TRUE(C("vcbDaylightSavings")->isHidden());
             EXPECT_EQ(Text("eUTCOffset"), "5"); // the computer's, not typed
         },
         [&] {
             ChooseType(0);
             EXPECT_EQ(Text("eUTCOffset"), "1"); // the place's own again
             Click("sbApply");
         }},
        {"the manager's clock selector, then Set Clock on the Local clock",
         [&] {
             typeFromMenu(1);
             OpenForClock(1);
             auto* c = C<QComboBox>("cbCurrentClock");
             c->setCurrentIndex(0);
             emit c->activated(0);
             Click("sbApply");
         },
         [&] { setClock(0); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.What);
        w->LoadRegTimeInfo();
        w->WMApplySettings();
        d.UpdateClockDisplays(true);
        const std::string saved = ReadFile(dir.filePath("hxclocks.hxd"));
        const std::string place = w->Clocks[0]->Location.LocationDataStr('\t');
        ASSERT_EQ(d.DisplayText(0).toStdString(), "13:07:00");

        r.ToLocal();
        Settle();
        w->WMApplySettings();
        d.UpdateClockDisplays(true);
        ASSERT_EQ(w->Clocks[0]->ClockType, 1);
        EXPECT_EQ(d.DisplayText(0).toStdString(), "17:07:00");
        EXPECT_EQ(w->Clocks[0]->Location.LocationDataStr('\t'), place);
        EXPECT_NE(ReadFile(dir.filePath("hxclocks.hxd")).find(place), std::string::npos);

        r.ToLocation();
        Settle();
        w->WMApplySettings();
        d.UpdateClockDisplays(true);
        EXPECT_EQ(w->Clocks[0]->ClockType, 0);
        EXPECT_EQ(d.DisplayText(0).toStdString(), "13:07:00");
        EXPECT_EQ(ReadFile(dir.filePath("hxclocks.hxd")), saved);
        if (M()) {
            M()->ClockChanged = M()->LocationChanged = false;
            M()->hide();
        }
    }
    ResetClockSource();
}

// A Local clock whose place the earlier release took from home (the offset
// of its day, no rule) turns into a Location clock with the home rule: it
// goes on telling the home time after the clocks go forward.
TEST_F(ClockEditorTest, LocalClockOfTheEarlierReleaseTurnsLocationWithTheHomeRule) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    PinClock(EncodeDate(2027, 2, 10) + EncodeTime(17, 0, 0, 0), -5.0);
    TClockDisplay& d = ClockDisplayOf(*w);
    TTimeLocation earlier;
    earlier.StdOffset = earlier.HostOffset = -5;
    earlier.Rule.None();
    w->Clocks[0]->Location.Copy(earlier);
    w->Clocks[0]->ClockType = 1;
    w->LocalClock.Location.Copy(earlier);
    w->LoadRegTimeInfo();
    OpenForClock(0);
    ChooseType(0);
    Click("sbApply");
    Settle();
    ASSERT_EQ(w->Clocks[0]->ClockType, 0);
    EXPECT_EQ(w->Clocks[0]->Location.Rule.Name, "America - New York");
    EXPECT_DOUBLE_EQ(w->Clocks[0]->Location.StdOffset, -5);
    d.UpdateClockDisplays(true);
    EXPECT_EQ(d.DisplayText(0).toStdString(), "12:00:00");
    PinClock(EncodeDate(2027, 3, 15) + EncodeTime(11, 0, 0, 0), -4.0);
    w->LoadRegTimeInfo();
    d.UpdateClockDisplays(true);
    EXPECT_EQ(d.DisplayText(0).toStdString(), "07:00:00");
    if (M()) {
        M()->ClockChanged = M()->LocationChanged = false;
        M()->hide();
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    ResetClockSource();
}

// Places whose coordinates the degree, minute and second fields show only
// to a tenth of a second.
class UntouchedAngleTest : public ClockEditorTest {
protected:
    UntouchedAngleTest() {
        const double at[][2] = {{34.05222, 118.24368}, {0, 0}, {-33.8688, -151.2093}};
        for (size_t i = 0; i < 3; ++i) {
            Places[i].Latitude = at[i][0];
            Places[i].Longitude = at[i][1];
        }
    }
};

// Update and Set Clock with the angle fields untouched store each place as
// it was, byte for byte.
TEST_F(UntouchedAngleTest, UpdateAndSetClockKeepUntouchedCoordinates) {
    const QString zones = dir.filePath("hxzones.hxd");
    OpenForClock(0);
    // A place shown exactly puts the list file in the writer's layout.
    ClickLeaf("Tokyo");
    Click("sb_UpdateLoc");
    const std::string listed = ReadFile(zones);
    for (size_t i = 0; i < 3; ++i) {
        const std::string record = Places[i].LocationDataStr('\t');
        SCOPED_TRACE(record);
        ASSERT_NE(listed.find(record), std::string::npos);
        ClickLeaf(Places[i].Name);
        Click("sb_UpdateLoc");
        EXPECT_EQ(ReadFile(zones), listed);
        Click("sbApply");
        EXPECT_EQ(w->Clocks[0]->Location.LocationDataStr('\t'), record);
        EXPECT_NE(ReadFile(dir.filePath("hxclocks.hxd")).find(record), std::string::npos);
    }
    // A field the user changes is read as typed.
    ClickLeaf(Places[0].Name);
    Type("e_LatS", "9.0");
    Click("sb_UpdateLoc");
    EXPECT_DOUBLE_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->Latitude,
                     34 + 3 / 60.0 + 9 / 3600.0);
}

// Exit while the clock editor holds edits not applied: No keeps the program
// with its window and the edits, Yes ends it.
TEST_F(ClockEditorTest, ExitAnsweredNoAtUnappliedEditsKeepsTheWindow) {
    w->show();
    OpenForClock(0);
    C<QAbstractButton>("cbDisplayDate")->click();
    ASSERT_TRUE(M()->ClockChanged);
    presenter.Answers = {mrNo};
    w->Action("mi_Exit")->trigger();
    EXPECT_TRUE(presenter.Saw("Changes to the Current Clock have not be applied"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(M()->isVisible());
    EXPECT_FALSE(w->ExitRequested);
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_TRUE(M()->ClockChanged);

    presenter.Answers = {mrYes};
    w->Action("mi_Exit")->trigger();
    EXPECT_FALSE(M()->isVisible());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->ExitRequested);
}

// A logout while Exit's question is up: the program ends and saves all the
// same, and the question is not waited on.
TEST_F(ClockEditorTest, LogoutDuringExitsQuestionEndsAndSaves) {
    struct TLogoutPresenter : IMessagePresenter {
        TF_clocks* W = nullptr;
        int Asked = 0;
        TModalResult Present(const std::string&, TMsgDlgType, TMsgDlgButtons buttons,
                             int) override {
            ++Asked;
            W->Terminating = true; // the signal arrives while the box is up
            return EscapeResult(buttons);
        }
    } logout;
    logout.W = w.get();
    w->show();
    OpenForClock(0);
    C<QAbstractButton>("cbDisplayDate")->click();
    w->Clocks[1]->Location.Name = "Kept at logout";
    SetMessagePresenter(&logout);
    w->Action("mi_Exit")->trigger();
    SetMessagePresenter(&presenter);
    EXPECT_EQ(logout.Asked, 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->ExitRequested);
    EXPECT_NE(ReadFile(dir.filePath("hxclocks.hxd")).find("Kept at logout"), std::string::npos);
}
