#include "locations/tests/ManagerTest.h"

#include "timemodel/DSTRuleFile.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include <random>

namespace {

constexpr const char* kNorthAmerica = "North America/1.1.4.60.02:00:00/L.1.10.0.02:00:00/";

template <class Base> class TRulesTest : public Base {
protected:
    QString RulePath() const { return this->dir.filePath("hxdst.hxd"); }
    int ComboCount() const { return this->template C<QComboBox>("vcbDaylightSavings")->count(); }
    std::string ComboText() const {
        return this->template C<QComboBox>("vcbDaylightSavings")->currentText().toStdString();
    }
    void Show(const TTimeLocation& l) {
        this->M()->Location = l;
        this->M()->ShowLocation();
    }
};
using RulesTest = TRulesTest<ManagerTest>;
// The rules-changed message comes through the main window.
using RulesWindowTest = TRulesTest<ManagerWindowTest>;

// Showing a place never writes: a rule the list lacks is shown as its
// description, and neither the list nor the rule file takes it in.
TEST_F(RulesTest, ShownPlaceNeverWritesTheRuleFile) {
    Open();
    ASSERT_EQ(ComboCount(), 2);
    // Same name, start and stop: listed already, whatever the notes say.
    TTimeLocation noted = Place("Rome", "Rome", "", "Italy", "", 1);
    noted.Rule.Notes = "own notes";
    Show(noted);
    EXPECT_EQ(ComboCount(), 2);
    EXPECT_EQ(ReadFile(RulePath()), RuleFile);
    // Untouched, the combo keeps the place's own rule.
    ASSERT_TRUE(M()->ReadLocationFields());
    EXPECT_EQ(M()->Location.Rule.Notes, "own notes");

    const TTimeLocation boston = Place("Boston", "Boston", "MA", "USA", "BOS", -5, "2");
    Show(boston);
    EXPECT_EQ(ComboCount(), 2);
    EXPECT_EQ(ComboText(), boston.Rule.Description());
    EXPECT_EQ(ReadFile(RulePath()), RuleFile);
    EXPECT_FALSE(QFile::exists(dir.filePath("hxdst.hx_")));
    ASSERT_TRUE(M()->ReadLocationFields());
    EXPECT_EQ(M()->Location.Rule.DataString(), boston.Rule.DataString());

    // A typed text that names no rule gives the unknown rule.
    auto* combo = C<QComboBox>("vcbDaylightSavings");
    combo->setEditText("Summer somewhere");
    emit combo->lineEdit()->textEdited(combo->currentText());
    ASSERT_TRUE(M()->ReadLocationFields());
    EXPECT_EQ(M()->Location.Rule.Name, "Unknown");
    EXPECT_EQ(M()->Location.Rule.Notes, "DST rule is unknown");
    // A chosen item gives that rule.
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    ASSERT_TRUE(M()->ReadLocationFields());
    EXPECT_EQ(M()->Location.Rule.Name, "Europe");
}

TEST_F(RulesTest, BadLineIsCountedAndTheFileNeverRewritten) {
    const std::string bad =
        RuleFile + "Broken/L.x.3.60.02:00:00/N/\nLater/S.1.4.60.02:00:00/S.1.9.0.02:00:00/\n";
    WriteFile(RulePath(), bad);
    Open();
    M()->LoadDSTRules();
    EXPECT_TRUE(presenter.Saw(" -- DST Rules loaded: 3"));
    EXPECT_EQ(M()->Rules.size(), 2u);
    EXPECT_EQ(ComboCount(), 2);
    Show(Place("Boston", "Boston", "MA", "USA", "BOS", -5, "2"));
    EXPECT_EQ(ComboCount(), 2);
    EXPECT_EQ(ReadFile(RulePath()), bad);
}

TEST_F(RulesTest, MissingFileShowsMessage13AndTheManagerStillWorks) {
    QFile::remove(RulePath());
    Open();
    EXPECT_TRUE(presenter.SawCode(13));
    EXPECT_EQ(ComboCount(), 0);
    Click("sbClear"); // an empty combo
    Type("e_zoneName", "Madrid");
    Click("sb_AddLoc");
    const auto& list = w->StandardLocations;
    const auto madrid =
        std::find_if(list.begin(), list.end(), [](const auto& l) { return l->Name == "Madrid"; });
    ASSERT_NE(madrid, list.end());
    EXPECT_EQ((*madrid)->Rule.Name, "Unknown");
}

TEST_F(RulesWindowTest, RulesChangedMessageReloadsAndKeepsTheShownRule) {
    Open();
    ClickLeaf("Paris");
    const std::string shown = ComboText();
    WriteFile(RulePath(), std::string(kNorthAmerica) + "\n" + RuleFile);
    loop.SendHXMessage("HXM_DSTRulesChanged");
    loop.Deliver();
    EXPECT_EQ(ComboCount(), 3);
    EXPECT_EQ(ComboText(), shown);
    EXPECT_EQ(C<QComboBox>("vcbDaylightSavings")->currentIndex(), 2);
}

// Random rule files: nothing crashes, and showing a place writes none of
// them; one that cannot be read whole is told.
TEST_F(RulesTest, RandomRuleFilesNeverLoseALine) {
    Open();
    const char* pool[] = {"None/N.0.0.0.0:0:0/N.0.0.0.0:0:0/No DST applies",
                          "3",
                          "7",
                          "  \t",
                          "Europe/L.1.03.+060.02:00:00/L.1.10.+000.2:00:00/",
                          "# comment",
                          "VERSION:\t9",
                          "Bad/L.x.1.1.1/",
                          "Odd/6.31.2.45.25:99:99/9.1.1.1.1/notes/more",
                          "/",
                          "",
                          "é/ü/ß/∞",
                          "Half/L.1.3",
                          "Late/S.1.13.60.aa:00:00/N/"};
    std::mt19937 rng(18);
    for (int round = 0; round < 150; ++round) {
        std::string text;
        const int lines = int(rng() % 6);
        for (int i = 0; i < lines; ++i)
            text += std::string(pool[rng() % std::size(pool)]) + (rng() % 2 ? "\n" : "\r\n");
        WriteFile(RulePath(), text);
        const TDSTRuleFileRead before = ReadDSTRuleFile(RulePath().toStdString());
        M()->LoadDSTRules();
        TTimeLocation l = Place("P", "", "", "", "", 0);
        l.Rule.Name = "Round" + std::to_string(round);
        Show(l);
        SCOPED_TRACE(text);
        EXPECT_EQ(ReadFile(RulePath()), text);
        EXPECT_EQ(M()->RuleFileIncomplete(), before.Failed);
        EXPECT_EQ(M()->Rules.size(), before.Rules.size());
    }
}

// ------------------------------------------------------------ submission

TEST(Submission, AddressIsEncodedByteForByte) {
    TTimeLocation l = Place("St. John's & Co", "Zürich", "Zone=1", "A+B", "#1", -3.5);
    l.Latitude = 47.5;
    l.Longitude = -8.25;
    EXPECT_EQ(
        LocationSubmissionAddress("http://www.example.org", l, "2.1.0 beta", "me you@example.org"),
        "http://www.example.org/cgibin/hx/hxlocdata.cgi?data=St.+John's+%26+Co^-3.5^0^47.5^"
        "-8.25^Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/^Z%C3%BCrich^Zone%3D1^A%2BB^%231!"
        "&sender=2.1.0+beta&email=me+you@example.org");
    EXPECT_EQ(EncodeSubmissionValue("50% ^!\t"), "50%25+^!%09");
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QByteArray> Urls;
public slots:
    void Open(const QUrl& url) { Urls.push_back(url.toEncoded()); }
};

TEST_F(RulesTest, SubmitOpensTheAddressAndChangesNothing) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "Open");
    Open();
    int asked = 0;
    M()->AskEmailAddress = [&](QWidget*) -> std::optional<std::string> {
        ++asked;
        return asked == 1 ? std::nullopt : std::optional<std::string>("me you@example.org");
    };
    M()->SubmissionServer = "http://www.example.org";
    TTimeLocation rome = Place("Rome", "Rome", "Lazio", "Italy", "FCO", 1);
    rome.Rule.Notes = "kept";
    Show(rome);
    M()->MenuAction("sbWebSubmit")->trigger(); // Cancel: nothing sent
    EXPECT_TRUE(catcher.Urls.empty());
    EXPECT_TRUE(w->UserEmailAddress.empty());
    M()->MenuAction("sbWebSubmit")->trigger();
    QDesktopServices::unsetUrlHandler("http");
    ASSERT_EQ(catcher.Urls.size(), 1u);
    // Qt's URL class always sends "^" as "%5E", which the server reads back
    // as "^"; nothing else of the address changes on the way.
    EXPECT_EQ(catcher.Urls[0].replace("%5E", "^").toStdString(),
              LocationSubmissionAddress(
                  "http://www.example.org",
                  [&] {
                      TTimeLocation sent = rome;
                      sent.Rule.Notes.clear();
                      return sent;
                  }(),
                  w->CurrentVersion, "me you@example.org"));
    EXPECT_NE(catcher.Urls[0].indexOf("^Rome^Lazio^Italy^FCO!"), -1);
    EXPECT_EQ(w->UserEmailAddress, "me you@example.org");
    EXPECT_EQ(M()->Location.Rule.Notes, "kept");
}

// ------------------------------------------------------------ field texts

TEST_F(RulesTest, RandomFieldTextsNeverHalfChangeTheLocation) {
    Open();
    ClickLeaf("Paris");
    const char* pool[] = {"",    "0",   "12",  "59",  "60",  "61",  "90",
                          "91",  "180", "181", "-1",  "1.5", "1,5", "x",
                          "  7", "1e9", "nan", "inf", "$",   "50%", "999999999999"};
    const char* fields[] = {"eUTCOffset", "e_LatH",  "e_LatM", "e_LatS",
                            "e_LongH",    "e_LongM", "e_LongS"};
    std::mt19937 rng(180);
    for (int round = 0; round < 400; ++round) {
        const TTimeLocation before = M()->Location;
        Type("e_zoneName", "Name" + std::to_string(round));
        for (const char* f : fields)
            C<QLineEdit>(f)->setText(pool[rng() % std::size(pool)]);
        C<QListWidget>("sg_NorthSouth")->setCurrentRow(int(rng() % 2));
        C<QListWidget>("sg_EastWest")->setCurrentRow(int(rng() % 2));
        if (M()->ReadLocationFields()) {
            EXPECT_LE(std::fabs(M()->Location.Latitude), 90);
            EXPECT_LE(std::fabs(M()->Location.Longitude), 180);
            EXPECT_LE(std::fabs(M()->Location.StdOffset), 24);
            EXPECT_EQ(M()->Location.Name, "Name" + std::to_string(round));
        } else {
            EXPECT_TRUE(SameLocationRecord(M()->Location, before));
        }
    }
}

} // namespace

#include "test_rules.moc"
