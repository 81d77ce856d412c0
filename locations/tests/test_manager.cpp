#include "locations/tests/ManagerTest.h"

#include "clockapp/UpdateHost.h"
#include "net/http/tests/FakeWebUI.h"
#include "net/http/tests/HttpTestSupport.h"
#include "net/http/tests/ScriptedPeer.h"
#include "timemodel/HXMessageBoxes.h"

#include <QKeyEvent>
#include <QTest>

namespace {

// ------------------------------------------------------------ browsing

TEST_F(ManagerWindowTest, ActivationAsksThenLoadsTheListAndMakesTheManager) {
    w->Activate = false;
    w->miTimeZoneManagerClick();
    EXPECT_EQ(w->TimeZoneManager(), nullptr);
    EXPECT_TRUE(w->StandardLocations.empty());
    EXPECT_FALSE(w->UpdateCheck().LocationManagerActive());
    w->Activate = true;
    ASSERT_TRUE(Open());
    EXPECT_TRUE(M()->isVisible());
    EXPECT_EQ(w->StandardLocations.size(), 6u);
    EXPECT_TRUE(w->UpdateCheck().LocationManagerActive());
}

// A merge from the main window rebuilds the tree, empties the old results
// and finds the selected record again.
TEST_F(ManagerTest, MergeRebuildsTheTreeAndKeepsTheSelection) {
    Open();
    ClickLeaf("Tokyo");
    Click("sbSortByName");
    Click("sbClear");
    M()->LocationChanged = false;
    Click("sbSearchByCity");
    ASSERT_EQ(M()->FindResults.size(), 6u);
    WriteFile(dir.filePath("hxzones.new"),
              Place("Aaron", "Aaron", "", "", "", -3.5).LocationDataStr('\t') + "\r\n");
    w->MergeNewLocations();
    EXPECT_TRUE(M()->FindResults.empty());
    EXPECT_NE(TreeDump().find("Aaron"), std::string::npos);
    // The name sort put Aaron first: the selection moved with its record.
    ClickLeaf("Paris Ile-de-France, France (CDG)");
    const int paris = M()->CurrentIndex;
    EXPECT_EQ(w->StandardLocations[size_t(paris)]->Name, "Paris");
    Click("sbSortByZone");
    EXPECT_NE(TreeDump().find("-03:30\n"), std::string::npos);
    ASSERT_GE(M()->CurrentIndex, 0);
    EXPECT_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->Name, "Paris");
}

TEST_F(ManagerTest, GroupingsBuildTheirTrees) {
    Open();
    struct Row {
        const char* Button;
        std::string Tree;
    } rows[] = {
        {"sbSortByZone", "00:00\n   Ocean, \n   , \n01:00\n  Lyon Rhone, france (LYS)\n"
                         "  Nice Provence, France (NCE)\n  Paris Ile-de-France, France (CDG)\n"
                         "09:00\n  Tokyo Kanto, Japan (HND)\n"},
        {"sbSortByName", " Ocean, \nLyon Rhone, france (LYS)\nNice Provence, France (NCE)\n"
                         " , \nParis Ile-de-France, France (CDG)\n"
                         "Tokyo Kanto, Japan (HND)\n"},
        // No country: the region hangs at the root; neither: a root leaf.
        // "France" and "france" are one country, as the sort has it.
        {"sbSortByLocation",
         "Nowhere\nOcean\n  Atlantis\nFrance\n  Ile-de-France\n    Paris\n"
         "  Provence\n    Nice\n  Rhone\n    Lyon\nJapan\n  Kanto\n    Tokyo\n"},
    };
    for (const Row& r : rows) {
        Click(r.Button);
        EXPECT_EQ(TreeDump(), r.Tree) << r.Button;
    }
}

TEST_F(ManagerTest, SearchesFindTheirPlacesOrSayWhy) {
    Open();
    struct Row {
        const char* Button;
        const char* Field;
        const char* Text;
        size_t Found;
        int Message; // when nothing is found
    } rows[] = {
        {"sbSearchByName", "e_zoneName", "i", 3, 0},
        {"sbSearchByName", "e_zoneName", "zz", 0, 20},
        {"sbSearchByCode", "me_Code", "HND", 1, 0},
        {"sbSearchByCode", "me_Code", "zz", 0, 22},
        {"sbSearchByCity", "me_City", "", 6, 0},
        {"sbSearchByCity", "me_City", "zz", 0, 23},
        {"sbSearchByCountry", "me_Country", "Fr", 3, 0},
        {"sbSearchByCountry", "me_Country", "zz", 0, 24},
        {"sbSearchByRegion", "me_Region", "o", 4, 0},
        {"sbSearchByRegion", "me_Region", "zz", 0, 26},
    };
    for (const Row& r : rows) {
        presenter.Texts.clear();
        Click("sbClear");
        Type(r.Field, r.Text);
        M()->LocationChanged = false;
        Click(r.Button);
        SCOPED_TRACE(std::string(r.Button) + " " + r.Text);
        EXPECT_EQ(M()->FindResults.size(), r.Found);
        auto* next = C<QAbstractButton>("sbFindNext");
        EXPECT_EQ(next->isVisibleTo(M()), r.Found >= 2);
        if (r.Found) {
            EXPECT_EQ(next->text().toStdString(), "Find Next 1 of " + std::to_string(r.Found));
            EXPECT_EQ(Text("e_zoneName"), M()->Location.Name);
            EXPECT_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->Name, M()->Location.Name);
        } else {
            EXPECT_TRUE(presenter.SawCode(r.Message));
        }
    }
    // The menu's "By City" searches too.
    Click("sbClear");
    Type("me_City", "Tok");
    M()->LocationChanged = false;
    M()->MenuAction("miSearchByCity")->trigger();
    EXPECT_EQ(Text("e_zoneName"), "Tokyo");
}

TEST_F(ManagerTest, FindNextStepsThroughAllAndWrapsWithMessage25) {
    Open();
    Click("sbClear");
    M()->LocationChanged = false;
    Click("sbSearchByCity"); // empty city: everything
    ASSERT_EQ(M()->FindResults.size(), 6u);
    std::vector<std::string> seen = {Text("e_zoneName")};
    for (int i = 0; i < 5; ++i) {
        Click("sbFindNext");
        seen.push_back(Text("e_zoneName"));
    }
    EXPECT_EQ(C<QAbstractButton>("sbFindNext")->text(), "Find Next 6 of 6");
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Atlantis", "Lyon", "Nice", "Nowhere", "Paris", "Tokyo"}));
    EXPECT_FALSE(presenter.SawCode(25));
    Click("sbFindNext");
    EXPECT_TRUE(presenter.SawCode(25));
    EXPECT_EQ(C<QAbstractButton>("sbFindNext")->text(), "Find Next 1 of 6");
}

// ------------------------------------------------------------ edits

TEST_F(ManagerTest, AddUpdateDeleteKeepListFileAndNames) {
    Open();
    const QString zones = dir.filePath("hxzones.hxd");
    ClickLeaf("Paris");
    Click("sbClear");
    Type("e_zoneName", "Berlin");
    Type("me_City", "Berlin");
    Type("me_Country", "Germany");
    Type("e_LatH", "52");
    Click("sb_AddLoc");
    EXPECT_EQ(w->StandardLocations.size(), 7u);
    EXPECT_NE(ReadFile(zones).find("Berlin\t0\t"), std::string::npos);
    ASSERT_GE(M()->CurrentIndex, 0);
    EXPECT_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->Name, "Berlin");
    EXPECT_DOUBLE_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->Latitude, 52);

    // The same name again is refused; a place keeps its own name on Update,
    // but may not take another's.
    Click("sb_AddLoc");
    EXPECT_TRUE(presenter.SawCode(21));
    EXPECT_EQ(w->StandardLocations.size(), 7u);
    presenter.Texts.clear();
    Type("me_City", "Spree");
    Click("sb_UpdateLoc");
    EXPECT_FALSE(presenter.SawCode(21));
    EXPECT_NE(ReadFile(zones).find("Spree"), std::string::npos);
    Type("e_zoneName", "Paris");
    Click("sb_UpdateLoc");
    EXPECT_TRUE(presenter.SawCode(21));
    const std::vector<std::string> names = ListNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Paris"), 1);

    Type("e_zoneName", "Berlin");
    M()->LocationChanged = false;
    presenter.Answers = {mrYes};
    Click("sb_DelLoc");
    EXPECT_EQ(w->StandardLocations.size(), 6u);
    EXPECT_EQ(ReadFile(zones).find("Berlin"), std::string::npos);

    // Read-only: the list changes in memory, the file stays.
    w->ReadOnly = true;
    const std::string before = ReadFile(zones);
    Click("sbClear");
    Type("e_zoneName", "Oslo");
    Click("sb_AddLoc");
    EXPECT_EQ(w->StandardLocations.size(), 7u);
    EXPECT_EQ(ReadFile(zones), before);
}

// Delete asks first, naming the place: No leaves the list and its file as
// they were.
TEST_F(ManagerTest, DeleteAsksFirstNamingThePlace) {
    Open();
    const QString zones = dir.filePath("hxzones.hxd");
    for (const TModalResult answer : {mrNo, mrYes}) {
        ClickLeaf("Tokyo");
        presenter.Texts.clear();
        presenter.Answers = {answer};
        Click("sb_DelLoc");
        EXPECT_EQ(presenter.Texts,
                  std::vector<std::string>{"Delete the location \"Tokyo\" from the list?"});
        const std::vector<std::string> names = ListNames();
        EXPECT_EQ(std::count(names.begin(), names.end(), "Tokyo"), answer == mrNo ? 1 : 0);
        EXPECT_EQ(ReadFile(zones).find("Tokyo") != std::string::npos, answer == mrNo);
    }
}

TEST_F(ManagerTest, DeletingTheLastPlaceShowsANewLocation) {
    Open();
    for (int i = 0; i < 6; ++i) {
        ClickLeaf(w->StandardLocations[0]->Name);
        presenter.Answers = {mrYes};
        Click("sb_DelLoc");
    }
    EXPECT_TRUE(w->StandardLocations.empty());
    EXPECT_EQ(M()->Location.Name, "<New Location>");
    EXPECT_EQ(Text("e_zoneName"), "<New Location>");
    EXPECT_FALSE(C<QAbstractButton>("sb_DelLoc")->isEnabled());
    EXPECT_FALSE(C<QAbstractButton>("sb_UpdateLoc")->isEnabled());
}

// The sorts exchange the slots' contents: the selection follows its record.
TEST_F(ManagerTest, SelectionFollowsItsRecordThroughSorts) {
    Open();
    ClickLeaf("Tokyo");
    Click("sbSortByName");
    Click("sbSortByZone");
    Click("sbSortByLocation");
    presenter.Answers = {mrYes};
    Click("sb_DelLoc");
    const std::vector<std::string> names = ListNames();
    EXPECT_EQ(std::find(names.begin(), names.end(), "Tokyo"), names.end());
    EXPECT_EQ(names.size(), 5u);
}

TEST_F(ManagerTest, AnglesShowAndReadBack) {
    Open();
    struct Row {
        double Lat, Long;
        const char *LatH, *LatM, *LatS;
        int NorthSouth;
        const char *LongH, *LongM, *LongS;
        int EastWest;
        double ReadLat, ReadLong;
    } rows[] = {
        {45.999999, 0, "45", "60", "0.0", 0, "0", "0", "0.0", 0, 46, 0},
        {0, 0, "0", "0", "0.0", 1, "0", "0", "0.0", 0, 0, 0},
        {-33.8688, 151.2093, "33", "52", "7.7", 1, "151", "12", "33.5", 1, -33.868806, 151.209306},
        // 59.96 seconds show as a carry, never as "60.0".
        {10 + 59.96 / 3600, -(5 + 59.96 / 3600), "10", "1", "0.0", 0, "5", "1", "0.0", 0,
         10 + 1 / 60.0, -(5 + 1 / 60.0)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Lat);
        M()->Location.Latitude = r.Lat;
        M()->Location.Longitude = r.Long;
        M()->ShowLocation();
        EXPECT_EQ(Text("e_LatH"), r.LatH);
        EXPECT_EQ(Text("e_LatM"), r.LatM);
        EXPECT_EQ(Text("e_LatS"), r.LatS);
        EXPECT_EQ(C<QListWidget>("sg_NorthSouth")->currentRow(), r.NorthSouth);
        EXPECT_EQ(Text("e_LongH"), r.LongH);
        EXPECT_EQ(Text("e_LongM"), r.LongM);
        EXPECT_EQ(Text("e_LongS"), r.LongS);
        EXPECT_EQ(C<QListWidget>("sg_EastWest")->currentRow(), r.EastWest);
        // Untouched fields keep the stored angles exactly.
        ASSERT_TRUE(M()->ReadLocationFields());
        EXPECT_EQ(M()->Location.Latitude, r.Lat);
        EXPECT_EQ(M()->Location.Longitude, r.Long);
        // The same texts against other stored angles read as they stand.
        M()->Location.Latitude = r.Lat + 1;
        M()->Location.Longitude = r.Long + 1;
        ASSERT_TRUE(M()->ReadLocationFields());
        EXPECT_NEAR(M()->Location.Latitude, r.ReadLat, 1e-5);
        EXPECT_NEAR(M()->Location.Longitude, r.ReadLong, 1e-5);
    }
}

TEST_F(ManagerTest, BadFieldIsNamedAndNothingChanges) {
    Open();
    struct Row {
        const char* Field;
        const char* Text;
        const char* Named;
    } rows[] = {
        {"e_LatH", "95", "latitude degrees"},   {"e_LatM", "x", "latitude minutes"},
        {"e_LatS", "61", "latitude seconds"},   {"e_LongH", "200", "longitude degrees"},
        {"e_LongM", "-3", "longitude minutes"}, {"eUTCOffset", "abc", "UTC offset"},
        {"eUTCOffset", "1e300", "UTC offset"},  {"e_LongS", "nan", "longitude seconds"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Field + std::string("=") + r.Text);
        ClickLeaf("Paris");
        const TTimeLocation before = M()->Location;
        const std::string record =
            w->StandardLocations[size_t(M()->CurrentIndex)]->LocationDataStr('\t');
        Type("e_zoneName", "Renamed");
        Type(r.Field, r.Text);
        presenter.Texts.clear();
        Click("sb_UpdateLoc");
        EXPECT_TRUE(presenter.Saw(r.Named));
        EXPECT_TRUE(SameLocationRecord(M()->Location, before));
        EXPECT_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->LocationDataStr('\t'), record);
        presenter.Answers = {mrYes};
        M()->LocationChanged = false;
    }
    ClickLeaf("Paris");
    // Latitude 90 with minutes is beyond the pole.
    Type("e_LatH", "90");
    Type("e_LatM", "1");
    presenter.Texts.clear();
    EXPECT_FALSE(M()->ReadLocationFields());
    EXPECT_TRUE(presenter.Saw("within 90"));
    // Empty degrees and minutes read as 0.
    for (const char* f : {"e_LatH", "e_LatM", "e_LongH", "e_LongM"})
        Type(f, "");
    EXPECT_TRUE(M()->ReadLocationFields());
}

TEST_F(ManagerTest, FieldGuardsResetUnreadableTexts) {
    Open();
    Type("eUTCOffset", "");
    EXPECT_EQ(Text("eUTCOffset"), "0");
    auto* lat = C<QLineEdit>("e_LatS");
    lat->setText("abc");
    emit lat->editingFinished();
    EXPECT_EQ(Text("e_LatS"), "0");
    // Clear leaves the working place alone and copes with any rule combo.
    ClickLeaf("Nice");
    Click("sbClear");
    EXPECT_EQ(M()->Location.Name, "Nice");
    EXPECT_EQ(Text("e_zoneName"), "");
}

// ------------------------------------------------------------ the pick

TEST_F(ManagerTest, PickReturnsThePlaceOnOkAndNothingOnCancel) {
    TTimeLocation mine = Place("Lyon", "Lyon", "Rhone", "france", "LYS", 1);
    AnswerNextModal([this](QWidget*) {
        ClickLeaf("Tokyo");
        Click("bOK");
    });
    ASSERT_TRUE(Pick(mine));
    EXPECT_EQ(mine.Name, "Tokyo");
    EXPECT_FALSE(M()->isVisible());

    AnswerNextModal([this](QWidget*) {
        ClickLeaf("Paris");
        Click("bCancel");
    });
    EXPECT_FALSE(Pick(mine));
    EXPECT_EQ(mine.Name, "Tokyo");

    // Edited fields: Cancel asks; No keeps the pick open.
    bool stillOpen = false;
    AnswerNextModal([this, &stillOpen](QWidget*) {
        Type("me_City", "edited");
        presenter.Answers = {mrNo};
        Click("bCancel");
        stillOpen = M()->isVisible();
        presenter.Answers = {mrYes, mrYes}; // the clock's edits, then the place's
        Click("bCancel");
    });
    EXPECT_FALSE(Pick(mine));
    EXPECT_TRUE(stillOpen);
}

// A new alarm, event or calculation starts at the home place, which the list
// does not hold: the pick offers it first, under its name, and neither
// opening on it nor choosing it again shows a box.
TEST_F(ManagerTest, PickOffersTheHomePlaceFirstUnderItsName) {
    w->LocalClock.Location.Copy(Place("IST", "", "", "", "", 5.5, "0"));
    TTimeLocation mine;
    mine.Copy(w->LocalClock.Location);
    std::string first;
    bool homeCurrent = false, listCommands = true;
    AnswerNextModal([&](QWidget*) {
        Settle();
        const TLocationTree& t = M()->TreeModel()->Tree();
        first = t.Nodes[size_t(t.Roots.at(0))].Text;
        const int shown = M()->TreeModel()->NodeOf(C<QTreeView>("tvCountryView")->currentIndex());
        homeCurrent = shown >= 0 && shown == t.HomeNode();
        ClickLeaf("Tokyo");
        ClickLeaf("IST");
        listCommands = C<QAbstractButton>("sb_UpdateLoc")->isEnabled() ||
                       C<QAbstractButton>("sb_DelLoc")->isEnabled();
        Click("bOK");
    });
    ASSERT_TRUE(Pick(mine));
    EXPECT_EQ(first, "IST");
    EXPECT_TRUE(homeCurrent);
    EXPECT_FALSE(listCommands);
    EXPECT_TRUE(presenter.Texts.empty()) << presenter.Texts.front();
    EXPECT_EQ(mine.Name, "IST");
    EXPECT_DOUBLE_EQ(mine.StdOffset, 5.5);
    // Out of the pick, the tree is the list's alone.
    EXPECT_EQ(M()->TreeModel()->Tree().HomeNode(), -1);
}

TEST_F(ManagerTest, PickOfAnUnlistedPlaceNeverTouchesAnother) {
    TTimeLocation mars = Place("Mars", "Olympus", "", "", "", 3);
    Open();
    const std::vector<std::string> before = ListNames();
    bool updateEnabled = true, unloadEnabled = true;
    AnswerNextModal([&](QWidget*) {
        Settle();
        updateEnabled = C<QAbstractButton>("sb_UpdateLoc")->isEnabled() ||
                        C<QAbstractButton>("sb_DelLoc")->isEnabled();
        unloadEnabled = M()->MenuAction("smiUnload")->isEnabled();
        M()->sb_UpdateLocClick();
        M()->sb_DelLocClick();
        Click("bOK");
    });
    ASSERT_TRUE(Pick(mars));
    EXPECT_EQ(mars.Name, "Mars");
    EXPECT_TRUE(presenter.SawCode(20));
    EXPECT_FALSE(updateEnabled);
    EXPECT_FALSE(unloadEnabled);
    EXPECT_EQ(ListNames(), before);
}

// After Clear the rule combo shows its text from the start, where the
// rule's name is, however narrow it is.
TEST_F(ManagerTest, ClearShowsTheRuleFromItsStart) {
    Open();
    M()->show();
    Settle();
    ClickLeaf("Nice");
    auto* combo = C<QComboBox>("vcbDaylightSavings");
    ASSERT_TRUE(combo->lineEdit());
    combo->setEditText(QString(80, 'x'));
    Click("sbClear");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->lineEdit()->cursorPosition(), 0);
}

TEST_F(ManagerTest, ClosingAsksAboutEditsAndFreeingEmptiesTheList) {
    Open();
    M()->show();
    Settle();
    ClickLeaf("Paris");
    Type("me_City", "edited");
    presenter.Answers = {mrNo};
    M()->close();
    EXPECT_TRUE(M()->isVisible());
    presenter.Answers = {mrYes, mrYes};
    M()->close();
    EXPECT_FALSE(M()->isVisible());
    ASSERT_TRUE(M());
    presenter.Answers = {mrYes, mrYes};
    M()->MenuAction("smiUnload")->trigger();
    EXPECT_EQ(services->Windows.TimeZoneManager(), nullptr);
    EXPECT_EQ(services->Windows.ManagerReleases, 1);
    EXPECT_TRUE(w->StandardLocations.empty());
    Settle();
    // The next activation loads the list again.
    Open();
    EXPECT_EQ(w->StandardLocations.size(), 6u);
}

// The astronomy window takes the working place; the map stays disabled
// while there is no map window.
TEST_F(ManagerWindowTest, AstronomyTakesTheWorkingPlace) {
    struct FakeAstro : QWidget, IAstronomyWindow {
        std::string Name;
        QWidget* Window() override { return this; }
        void SetLocation(const TTimeLocation& l, bool) override { Name = l.Name; }
    };
    QPointer<FakeAstro> astro;
    w->SetAstronomyWindowFactory([&astro](QWidget* owner) -> IAstronomyWindow* {
        auto* a = new FakeAstro;
        a->setParent(owner, Qt::Window);
        astro = a;
        return a;
    });
    Open();
    ClickLeaf("Nice");
    EXPECT_FALSE(C("sb_Map")->isEnabled());
    QAction* item = M()->MenuAction("smiAstroData");
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    ASSERT_TRUE(astro);
    EXPECT_EQ(astro->Name, "Nice");
    EXPECT_TRUE(astro->isVisible());
    delete astro.data();
}

// "Check for New Locations..." is the main window's check: offline it says
// the check failed (in one box), never that everything is current.
TEST_F(ManagerWindowTest, CheckForNewLocationsOfflineSaysItFailed) {
    InstallTestConnections();
    int closed;
    {
        TScriptedPeer gone;
        closed = gone.Port();
    }
    TFakeWebUI ui;
    ui.Temp = dir.path().toStdString();
    Open();
    w->UpdateCheck().UseUI(&ui);
    w->UpdateCheck().Commands().WebServer = "http://127.0.0.1:" + std::to_string(closed);
    w->Reported.clear();
    M()->MenuAction("smiCheckForUpdate")->trigger();
    // One box: the check's own, with the reason and that nothing changed.
    EXPECT_TRUE(ui.Shown.empty()) << ui.Shown[0];
    ASSERT_EQ(w->Reported.size(), 1u);
    EXPECT_NE(w->Reported[0].find("Connection refused"), std::string::npos) << w->Reported[0];
    EXPECT_NE(w->Reported[0].find("Nothing was changed."), std::string::npos) << w->Reported[0];
}

} // namespace

// A search still finds every place that contains the text, but the place
// that is the text comes first, whatever the tree order.
TEST_F(ManagerTest, ExactMatchIsFoundFirst) {
    Open();
    w->StandardLocations.push_back(std::make_unique<TTimeLocation>(
        Place("Nishi-Tokyo", "Nishi-Tokyo-shi", "Kanto", "Japan", "", 9, "0")));
    M()->RebuildLocationTree();
    Click("sbClear");
    Type("me_City", "Tokyo");
    M()->LocationChanged = false;
    Click("sbSearchByCity");
    EXPECT_EQ(Text("e_zoneName"), "Tokyo");
    EXPECT_EQ(w->StandardLocations[size_t(M()->CurrentIndex)]->Name, "Tokyo");
    EXPECT_EQ(C<QAbstractButton>("sbFindNext")->text(), "Find Next 1 of 2");
    Click("sbFindNext");
    EXPECT_EQ(Text("e_zoneName"), "Nishi-Tokyo");
}

// Finding is without regard to case and accents, typed or stored: the place
// that is the text comes first (spelt as typed before spelt otherwise), then
// those that contain it. Names sort the same way.
TEST_F(ManagerTest, FindingIgnoresCaseAndAccents) {
    Open();
    for (const TTimeLocation& l : {
             Place("Tromsø Lufthavn", "Langnes", "Troms", "Norway", "TOS", 1),
             Place("Tromsø", "Tromsø", "Troms", "Norway", "", 1),
             Place("São Paulo", "São Paulo", "São Paulo", "Brazil", "", -3, "0"),
             Place("Sao Paulo", "Sao Paulo", "", "Brazil", "", -3, "0"),
             Place("Zurich", "Zurich", "Canton of Zurich", "Switzerland", "", 1),
             Place("Kraków", "Kraków", "Lesser Poland", "Poland", "", 1),
             Place("Ærøskøbing", "Ærøskøbing", "South Denmark", "Denmark", "", 1),
             Place("Gießen", "Gießen", "Hesse", "Germany", "", 1),
             Place("Łódź", "Łódź", "Łódź Voivodeship", "Poland", "", 1),
         })
        w->StandardLocations.push_back(std::make_unique<TTimeLocation>(l));
    M()->RebuildLocationTree();
    const struct {
        const char* Field;
        const char* Typed;
        const char* First;
        size_t Found;
    } rows[] = {
        {"e_zoneName", "Tromso", "Tromsø", 2},
        {"e_zoneName", "Tromsø", "Tromsø", 2},
        {"e_zoneName", "TROMSO", "Tromsø", 2},
        {"e_zoneName", "tromsø lufthavn", "Tromsø Lufthavn", 1},
        {"e_zoneName", "Sao Paulo", "Sao Paulo", 2},
        {"e_zoneName", "São Paulo", "São Paulo", 2},
        {"e_zoneName", "Zürich", "Zurich", 1},
        {"e_zoneName", "krakow", "Kraków", 1},
        {"e_zoneName", "AEROSKOBING", "Ærøskøbing", 1},
        {"e_zoneName", "Giessen", "Gießen", 1},
        {"e_zoneName", "GIESSEN", "Gießen", 1},
        {"e_zoneName", "Lodz", "Łódź", 1},
        {"me_City", "TROMSO", "Tromsø", 1},
        {"me_Region", "lodz", "Łódź", 1},
        {"me_Country", "france", "Lyon", 3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.Field) + " " + r.Typed);
        presenter.Texts.clear();
        Click("sbClear");
        Type(r.Field, r.Typed);
        M()->LocationChanged = false;
        const std::string field = r.Field;
        Click(field == "e_zoneName"  ? "sbSearchByName"
              : field == "me_City"   ? "sbSearchByCity"
              : field == "me_Region" ? "sbSearchByRegion"
                                     : "sbSearchByCountry");
        EXPECT_TRUE(presenter.Texts.empty());
        EXPECT_EQ(M()->FindResults.size(), r.Found);
        EXPECT_EQ(Text("e_zoneName"), r.First);
    }
    // By name: "Ærøskøbing" with the A's, "Łódź" with the L's.
    Click("sbSortByName");
    const std::vector<std::string> names = ListNames();
    const auto at = [&](const char* name) {
        return std::find(names.begin(), names.end(), name) - names.begin();
    };
    EXPECT_LT(at("Ærøskøbing"), at("Gießen"));
    EXPECT_LT(at("Łódź"), at("Lyon"));
    EXPECT_LT(at("Lyon"), at("Nice"));
}

// Escape typed into any control of the manager closes it, as it does a dialog.
TEST_F(ManagerTest, EscapeClosesTheManagerFromEveryControl) {
    TFTimeZoneManager* m = Open();
    ASSERT_TRUE(m && m->isVisible());
    std::vector<std::string> kept;
    for (QWidget* c : m->findChildren<QWidget*>()) {
        if (!(c->focusPolicy() & Qt::TabFocus) || !c->isVisibleTo(m) || !c->isEnabled()) continue;
        if (!m->isVisible()) m = Open();
        c->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(c, &press);
        Settle();
        if (M() && M()->isVisible()) kept.push_back(c->objectName().toStdString());
    }
    EXPECT_EQ(kept, std::vector<std::string>{});
    EXPECT_EQ(presenter.Texts, std::vector<std::string>{}) << "nothing was changed by the key";
}

// Moving through the tree with the keys selects as a click does: Delete and
// Update act on the place the tree highlights and the fields show.
TEST_F(ManagerTest, KeysInTheTreeSelectAsAClickDoes) {
    Open();
    Click("sbExpandAll");
    ClickLeaf("Paris");
    auto* view = C<QTreeView>("tvCountryView");
    view->setFocus();
    const TLocationTree& t = M()->TreeModel()->Tree();
    std::string leaf;
    // Edited: the question comes, and No keeps the place and its highlight.
    Type("me_City", "Paris edited");
    presenter.Answers = {mrNo};
    QTest::keyClick(view, Qt::Key_Down);
    Settle();
    EXPECT_TRUE(presenter.Saw("Changes to the Current Location will be lost"));
    EXPECT_EQ(Text("me_City"), "Paris edited");
    const QModelIndexList shown = view->selectionModel()->selectedIndexes();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(view->currentIndex(), shown[0]);
    EXPECT_EQ(shown[0].data().toString(), "Paris");
    M()->LocationChanged = false;
    for (int i = 0; i < 12 && (leaf.empty() || leaf == "Paris"); ++i) {
        QTest::keyClick(view, Qt::Key_Down);
        Settle();
        const int node = M()->TreeModel()->NodeOf(view->currentIndex());
        ASSERT_GE(node, 0);
        leaf = t.IsLeaf(node) ? t.Nodes[size_t(node)].Text : "";
    }
    ASSERT_FALSE(leaf.empty());
    EXPECT_EQ(Text("e_zoneName"), leaf);
    presenter.Answers = {mrYes};
    Click("sb_DelLoc");
    std::vector<std::string> names = ListNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), leaf), 0) << leaf;
    EXPECT_EQ(std::count(names.begin(), names.end(), "Paris"), 1);
    const std::string zones = ReadFile(dir.filePath("hxzones.hxd"));
    EXPECT_EQ(zones.find(leaf + "\t"), std::string::npos);
    EXPECT_NE(zones.find("Paris\t"), std::string::npos);
}
