// The preferences dialog opened from the main window: every field there and
// back, the proposed clock of "Clock Objects" applied to all clocks, the sound
// rows and the upgrade command.
#include "TestApp.h"
#include "clockapp/tests/WindowTest.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"
#include "clockapp/Prefs.h"
#include "clockapp/TrayIcon.h"
#include "platform/media/HXSound.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/TimeField.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <set>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
using Strings = std::vector<std::string>;

// Answers the boxes in the order given, then as Escape would.
struct TScriptedPresenter : TRecordingPresenter {
    std::deque<TModalResult> Answers;
    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int help) override {
        if (Answers.empty()) return TRecordingPresenter::Present(text, type, buttons, help);
        Texts.push_back(text);
        const TModalResult a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

class PrefsClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;
    int UpgradeChecks = 0;
    void miCheckForUpgradeClick() override { ++UpgradeChecks; }
    void ActivateLinkhold() override {}
};

template <typename T> T* Find(QWidget* dialog, const char* name) {
    T* w = dialog->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void Press(QWidget* target) {
    const QPointF at(2, 2);
    QMouseEvent e(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

class PrefsDialogTest : public TWindowTest<PrefsClocks, TScriptedPresenter> {
protected:
    void TearDown() override {
        TWindowTest::TearDown();
        ResetClockSource();
    }

    // Opens the dialog from the tool bar and runs Body while it is up; the
    // dialog is cancelled afterwards if Body left it open.
    void WithDialog(const std::function<void(TF_hxPrefs&)>& body) {
        bool ran = false;
        AnswerNextModal([&](QWidget* d) {
            ran = true;
            auto* prefs = qobject_cast<TF_hxPrefs*>(d);
            if (prefs) body(*prefs);
            if (d->isVisible()) Find<QPushButton>(d, "CancelBtn")->click();
        });
        w->Action("sb_Prefs")->trigger();
        ASSERT_TRUE(ran);
    }

    void AddClocks() {
        for (int i = 0; i < 2; ++i) {
            auto c = std::make_unique<THXClock>();
            c->ClockType = uint8_t(i); // Location, Local
            c->Location.Name = i ? "Oslo" : "Lima";
            c->TimeFormat = "HH:MM:SS";
            c->DateFormat = "MMM DD";
            c->BackColour = clWhite;
            w->Clocks.push_back(std::move(c));
        }
        w->RefreshClockObjects(true, true);
    }
    Strings ClockLines() const {
        Strings lines;
        for (const auto& c : w->Clocks)
            lines.push_back(c->DataString('\t'));
        return lines;
    }
};

// ------------------------------------------------------------- round trip

// Every preference the dialog edits: a stored value it must show, and the
// value the test then enters in its control.
struct TBoolField {
    const char* Control;
    bool TClockPrefs::*Pref;
};
const TBoolField kBoolFields[] = {
    {"cb_Chime60mins", &TClockPrefs::Chime60mins},
    {"cb_Chime30mins", &TClockPrefs::Chime30mins},
    {"cb_Chime15mins", &TClockPrefs::Chime15mins},
    {"cb_Chime45mins", &TClockPrefs::Chime45mins},
    {"cbRestrictChimeTimes", &TClockPrefs::RestrictChimeTimes},
    {"cbAlwaysOnTop", &TClockPrefs::AlwaysOnTop},
    {"cbAlwaysStartMinimized", &TClockPrefs::AlwaysStartMinimized},
    {"cbVisibleTaskBar", &TClockPrefs::VisibleTaskBar},
    {"cbShowSplash", &TClockPrefs::ShowSplash},
    {"cbXtoClose", &TClockPrefs::XtoClose},
    {"cbActivateMap", &TClockPrefs::ActivateMap},
    {"cbLoadLocations", &TClockPrefs::LoadLocations},
    {"cbShowTitleName", &TClockPrefs::ShowTitleName},
    {"cbShowTitleLocation", &TClockPrefs::ShowTitleLocation},
    {"cbShowTrayName", &TClockPrefs::ShowTrayName},
    {"cbShowTrayLocation", &TClockPrefs::ShowTrayLocation},
    {"cbAddToAllTitles", &TClockPrefs::AddToAllTitles},
    {"cbPlayConnectSound", &TClockPrefs::PlayConnectSound},
    {"cbPlaySyncSound", &TClockPrefs::PlaySyncSound},
    {"cbCycleTimeServers", &TClockPrefs::CycleTimeServers},
    {"cbKeepSyncLog", &TClockPrefs::KeepSyncLog},
    {"cbAutoSyncOn", &TClockPrefs::AutoSyncOn},
    {"cbSetTimeAtStartup", &TClockPrefs::SetTimeAtStartup},
    {"cbSetDateToo", &TClockPrefs::SetDateToo},
    {"cbWarnLargeSync", &TClockPrefs::WarnLargeSync},
    {"cbSyncOnConnect", &TClockPrefs::SyncOnConnect},
    {"cbConnectIfRequired", &TClockPrefs::ConnectIfRequired},
    {"cbResetTrayOnDisc", &TClockPrefs::ResetTrayOnDisc},
    {"cbCheckForUpgrades", &TClockPrefs::CheckForUpgrades},
    {"cbUseProxySettings", &TClockPrefs::UseProxySettings},
    {"cbOverrideLocalOffset", &TClockPrefs::OverrideLocalOffset},
};

struct TTextField {
    const char* Control;
    std::string TClockPrefs::*Pref;
    bool Combo;
};
const TTextField kTextFields[] = {
    {"cbTitleTimeFormat", &TClockPrefs::TitleTimeFormat, true},
    {"cbTitleDateFormat", &TClockPrefs::TitleDateFormat, true},
    {"cbTrayTimeFormat", &TClockPrefs::TrayTimeFormat, true},
    {"cbTrayDateFormat", &TClockPrefs::TrayDateFormat, true},
    {"lb_TimeServer", &TClockPrefs::TimeServer, true},
    {"cbRASEntry", &TClockPrefs::RASServer, true},
    {"e_Chime60Sound", &TClockPrefs::Chime60Sound, false},
    {"eTollHourSound", &TClockPrefs::TollHourSound, false},
    {"e_Chime30Sound", &TClockPrefs::Chime30Sound, false},
    {"e_Chime15Sound", &TClockPrefs::Chime15Sound, false},
    {"eChime45Sound", &TClockPrefs::Chime45Sound, false},
    {"e_MajorAlarmSound", &TClockPrefs::MajorAlarmSound, false},
    {"e_NormalAlarmSound", &TClockPrefs::NormalAlarmSound, false},
    {"e_MinorAlarmSound", &TClockPrefs::MinorAlarmSound, false},
    {"eCountDownSound", &TClockPrefs::CountDownSound, false},
    {"e_ConnectSound", &TClockPrefs::ConnectSound, false},
    {"e_SyncSound", &TClockPrefs::SyncSound, false},
    {"e_RASUserName", &TClockPrefs::RASUserName, false},
    {"e_RASPassword", &TClockPrefs::RASPassword, false},
    {"e_UserEmailAddress", &TClockPrefs::UserEmailAddress, false},
    {"e_ProxyServer", &TClockPrefs::ProxyServer, false},
    {"e_HTTPProxyPort", &TClockPrefs::HTTPProxyPort, false},
    {"e_SOCKSProxyPort", &TClockPrefs::SOCKSProxyPort, false},
};

std::string TextA(const TTextField& f) {
    return std::string("stored ") + f.Control;
}
std::string TextB(const TTextField& f) {
    return std::string("typed ") + f.Control;
}

QString TextOf(QWidget* d, const TTextField& f) {
    if (f.Combo) return Find<QComboBox>(d, f.Control)->currentText();
    return Find<QLineEdit>(d, f.Control)->text();
}

bool Radio(QWidget* d, const std::string& group, int item) {
    return Find<QRadioButton>(d, (group + "_" + std::to_string(item)).c_str())->isChecked();
}
void ChooseRadio(QWidget* d, const std::string& group, int item) {
    Find<QRadioButton>(d, (group + "_" + std::to_string(item)).c_str())->setChecked(true);
}

class PrefsRoundTripTest : public PrefsDialogTest {
protected:
    // Stored values that differ from every default.
    void StoreValuesA() {
        for (const auto& f : kBoolFields)
            (*w).*f.Pref = !((*w).*f.Pref);
        for (const auto& f : kTextFields)
            (*w).*f.Pref = TextA(f);
        w->ChimeStartTime = 7.25 / 24;
        w->ChimeEndTime = 22.75 / 24;
        w->ChimeType = 3;
        w->ConstrainWindowType = 2;
        w->AnalogClockSize = 120;
        w->ServerUTCOffset = -5;
        w->NTPProtocol = 0;
        w->AutoSyncDuration = 7200;
        w->ConnectionType = 1;
        w->LocalOffsetOverride = -3.5;
        w->ShowClockBorders = false;
    }
    void ExpectShowsA(QWidget* d) {
        for (const auto& f : kBoolFields)
            EXPECT_EQ(Find<QCheckBox>(d, f.Control)->isChecked(), (*w).*f.Pref) << f.Control;
        for (const auto& f : kTextFields)
            EXPECT_EQ(TextOf(d, f).toStdString(), TextA(f)) << f.Control;
        EXPECT_EQ(Find<TTimeField>(d, "dtp_ChimeStartTime")->time(), QTime(7, 15));
        EXPECT_EQ(Find<TTimeField>(d, "dtp_ChimeEndTime")->time(), QTime(22, 45));
        EXPECT_TRUE(Radio(d, "rg_ChimeType", 3));
        EXPECT_TRUE(Radio(d, "rg_ConstrainWindow", 2));
        EXPECT_EQ(Find<QSpinBox>(d, "seClockSize")->value(), 120);
        EXPECT_EQ(Find<QLineEdit>(d, "me_ServerUTCOffset")->text(), "-5");
        EXPECT_TRUE(Radio(d, "rg_NTPType", 0));
        EXPECT_EQ(Find<QLineEdit>(d, "me_AutoDuration")->text(), "02:00:00");
        EXPECT_TRUE(Radio(d, "rg_ConnectionType", 2)) << "LAN";
        EXPECT_EQ(Find<QLineEdit>(d, "meLocalOffsetOverride")->text(), "-3.5");
        EXPECT_FALSE(Find<QCheckBox>(d, "cbShowClockBorders")->isChecked());
        EXPECT_EQ(Find<QLineEdit>(d, "e_RASPassword")->echoMode(), QLineEdit::Password);
    }
    void EnterValuesB(QWidget* d) {
        for (const auto& f : kBoolFields) {
            auto* box = Find<QCheckBox>(d, f.Control);
            box->setChecked(!box->isChecked());
        }
        for (const auto& f : kTextFields) {
            const QString text = QString::fromStdString(TextB(f));
            if (f.Combo)
                Find<QComboBox>(d, f.Control)->setEditText(text);
            else
                Find<QLineEdit>(d, f.Control)->setText(text);
        }
        Find<TTimeField>(d, "dtp_ChimeStartTime")->setTime(QTime(6, 30));
        Find<TTimeField>(d, "dtp_ChimeEndTime")->setTime(QTime(23, 0));
        ChooseRadio(d, "rg_ChimeType", 4);
        ChooseRadio(d, "rg_ConstrainWindow", 3);
        Find<QSpinBox>(d, "seClockSize")->setValue(200);
        Find<QLineEdit>(d, "me_ServerUTCOffset")->setText("3");
        ChooseRadio(d, "rg_NTPType", 1);
        Find<QLineEdit>(d, "me_AutoDuration")->setText("01:30:15");
        Find<QLineEdit>(d, "meLocalOffsetOverride")->setText("4.25");
        Find<QCheckBox>(d, "cbShowClockBorders")->setChecked(true);
        Find<QRadioButton>(d, "rg_ConnectionType_0")->click(); // none
    }
};

TEST_F(PrefsRoundTripTest, OkStoresEveryField) {
    const TClockPrefs start = *w;
    StoreValuesA();
    WithDialog([&](TF_hxPrefs& d) {
        ExpectShowsA(&d);
        EnterValuesB(&d);
        Find<QPushButton>(&d, "OKBtn")->click();
    });
    EXPECT_TRUE(presenter.Texts.empty()) << presenter.Texts.front();
    for (const auto& f : kBoolFields)
        EXPECT_EQ((*w).*f.Pref, start.*f.Pref) << f.Control;
    for (const auto& f : kTextFields)
        EXPECT_EQ((*w).*f.Pref, TextB(f)) << f.Control;
    EXPECT_DOUBLE_EQ(w->ChimeStartTime, 6.5 / 24);
    EXPECT_DOUBLE_EQ(w->ChimeEndTime, 23.0 / 24);
    EXPECT_EQ(w->ChimeType, 4);
    EXPECT_EQ(w->ConstrainWindowType, 3);
    EXPECT_EQ(w->AnalogClockSize, 200);
    EXPECT_EQ(w->ServerUTCOffset, 3);
    EXPECT_EQ(w->NTPProtocol, 1);
    EXPECT_EQ(w->AutoSyncDuration, 5415);
    EXPECT_EQ(w->ConnectionType, 2);
    // The override is off now, so the re-read of the host zone after OK
    // shows the host's own offset there.
    EXPECT_DOUBLE_EQ(w->LocalOffsetOverride, w->LocalClock.Location.HostOffset);
    EXPECT_FALSE(w->ShowClockBorders) << "only Override ALL Clocks applies the box";
}

TEST_F(PrefsRoundTripTest, CancelKeepsEveryStoredValue) {
    StoreValuesA();
    const TClockPrefs before = *w;
    WithDialog([&](TF_hxPrefs& d) {
        EnterValuesB(&d);
        Find<QPushButton>(&d, "CancelBtn")->click();
    });
    for (const auto& f : kBoolFields)
        EXPECT_EQ((*w).*f.Pref, before.*f.Pref) << f.Control;
    for (const auto& f : kTextFields)
        EXPECT_EQ((*w).*f.Pref, before.*f.Pref) << f.Control;
    EXPECT_EQ(w->ChimeStartTime, before.ChimeStartTime);
    EXPECT_EQ(w->ChimeEndTime, before.ChimeEndTime);
    EXPECT_EQ(w->ChimeType, 3);
    EXPECT_EQ(w->ConstrainWindowType, 2);
    EXPECT_EQ(w->AnalogClockSize, 120);
    EXPECT_EQ(w->ServerUTCOffset, -5);
    EXPECT_EQ(w->NTPProtocol, 0);
    EXPECT_EQ(w->AutoSyncDuration, 7200);
    EXPECT_EQ(w->ConnectionType, 1);
    EXPECT_EQ(w->LocalOffsetOverride, -3.5);
    EXPECT_FALSE(w->ShowClockBorders);
}

// ------------------------------------------------------------ clock objects

TEST_F(PrefsDialogTest, OverrideAllClocksAsksThenAppliesOnlyTheTickedSettings) {
    AddClocks();
    const Strings original = ClockLines();
    TFont timeFont;
    timeFont.Name = "Serif Sample";
    timeFont.Height = -20;
    timeFont.Color = clYellow;
    TFont faceFont;
    faceFont.Name = "Face Sample";
    faceFont.Bold = true;

    // What each box changes on a clock, with the controls set as below.
    struct TCase {
        const char* Box;
        std::function<void(THXClock&)> Change;
    };
    const std::vector<TCase> cases = {
        {"cbAdjTimeFormat", [](THXClock& c) { c.TimeFormat = "H.M.S"; }},
        {"cbAdjDateFormat", [](THXClock& c) { c.DateFormat = "d/m/yyyy"; }},
        {"cbAdjType", [](THXClock& c) { c.ClockType = 5; }},
        {"cbAdjDateDisplay", [](THXClock& c) { c.ShowDate = true; }},
        {"cbAdjClockAttributes",
         [&](THXClock& c) {
             c.TimeFont = timeFont;
             c.ClockFaceFont = faceFont;
             c.BackColour = clRed;
         }},
    };
    const char* const boxes[] = {"cbAdjType",       "cbAdjDisplayType", "cbAdjTimeFormat",
                                 "cbAdjDateFormat", "cbAdjDateDisplay", "cbAdjClockAttributes"};

    WithDialog([&](TF_hxPrefs& d) {
        EXPECT_FALSE(Find<QComboBox>(&d, "cbClockDisplayFormat")->isEnabled());
        EXPECT_FALSE(Find<QCheckBox>(&d, "cbAdjDisplayType")->isEnabled());
        d.ChooseFont = [&](const TFont& current, QWidget*) -> std::optional<TFont> {
            return current.Name == "Arial" ? timeFont : faceFont;
        };
        d.ChooseColour = [](TColor, QWidget*) -> std::optional<TColor> { return clRed; };
        Find<QComboBox>(&d, "cbClockFormat")->setCurrentText("Julian");
        Find<QComboBox>(&d, "cbClockTimeFormat")->setEditText("H.M.S");
        Find<QComboBox>(&d, "cbClockDateFormat")->setEditText("d/m/yyyy");
        Find<QCheckBox>(&d, "cbDisplayDate")->setChecked(true);
        Press(Find<QLabel>(&d, "l_MajorTimeColour"));
        Press(Find<QWidget>(&d, "p_BackgroundColour"));
        Find<QPushButton>(&d, "sb_ClockFaceFont")->click();
        auto* borders = Find<QCheckBox>(&d, "cbShowClockBorders");
        auto* override = Find<QPushButton>(&d, "sbOverrideClockSettings");
        borders->setChecked(false);

        // No: nothing changes, nothing is rebuilt.
        QPointer<QWidget> control = ClockDisplayOf(*w).ClockControl(0);
        presenter.Answers = {mrNo};
        override->click();
        EXPECT_EQ(
            presenter.Texts,
            Strings{"This will modify ALL clocks\n\rAre you sure this is what you want to do?"});
        EXPECT_TRUE(w->ShowClockBorders);
        EXPECT_EQ(ClockLines(), original);
        EXPECT_FALSE(control.isNull());

        // Yes with no box ticked: only the borders, and the clocks are rebuilt.
        presenter.Answers = {mrYes};
        override->click();
        EXPECT_FALSE(w->ShowClockBorders);
        EXPECT_EQ(ClockLines(), original);
        EXPECT_TRUE(control.isNull()) << "the clock controls are made anew";
        EXPECT_NE(ClockDisplayOf(*w).ClockControl(1), nullptr);

        for (const TCase& c : cases) {
            for (size_t i = 0; i < w->Clocks.size(); ++i)
                w->Clocks[i]->ParseDataString(original[i], '\t');
            for (const char* b : boxes)
                Find<QCheckBox>(&d, b)->setChecked(std::string(b) == c.Box);
            presenter.Answers = {mrYes};
            override->click();
            for (size_t i = 0; i < w->Clocks.size(); ++i) {
                THXClock expected;
                expected.ParseDataString(original[i], '\t');
                c.Change(expected);
                EXPECT_EQ(w->Clocks[i]->DataString('\t'), expected.DataString('\t'))
                    << c.Box << " clock " << i;
            }
        }
        // The last case stays applied through Cancel.
        Find<QPushButton>(&d, "CancelBtn")->click();
    });
    EXPECT_EQ(w->Clocks[1]->TimeFont, timeFont);
    EXPECT_EQ(w->Clocks[1]->BackColour, clRed);
    EXPECT_FALSE(w->ShowClockBorders);
}

// A format the clock file cannot hold is refused for all clocks, with the
// limit named, rather than stored to be refused at the next start.
TEST_F(PrefsDialogTest, OverrideRefusesAFormatTheClockFileCannotHold) {
    AddClocks();
    const Strings original = ClockLines();
    WithDialog([&](TF_hxPrefs& d) {
        for (const char* b : {"cbAdjTimeFormat", "cbAdjDateFormat"}) {
            SCOPED_TRACE(b);
            const bool time = std::string(b) == "cbAdjTimeFormat";
            Find<QCheckBox>(&d, "cbAdjTimeFormat")->setChecked(time);
            Find<QCheckBox>(&d, "cbAdjDateFormat")->setChecked(!time);
            // As many characters as the box takes, two bytes each once stored.
            Find<QComboBox>(&d, time ? "cbClockTimeFormat" : "cbClockDateFormat")
                ->setEditText(QString(40000, QChar(0xE9)));
            presenter.Texts.clear();
            presenter.Answers = {mrYes};
            Find<QPushButton>(&d, "sbOverrideClockSettings")->click();
            ASSERT_EQ(presenter.Texts.size(), 2u);
            const std::string named =
                time ? "\"Time Fmt\" is too long" : "\"Date Fmt\" is too long";
            EXPECT_NE(presenter.Texts[1].find(named), std::string::npos)
                << presenter.Texts[1].substr(0, 80);
            EXPECT_NE(presenter.Texts[1].find("65536"), std::string::npos);
            EXPECT_EQ(ClockLines(), original);
            Find<QComboBox>(&d, time ? "cbClockTimeFormat" : "cbClockDateFormat")
                ->setEditText("HH:MM");
        }
    });
}

TEST_F(PrefsDialogTest, ClockTypeDecidesTimeFormatsAndDateControls) {
    const char* const dateControls[] = {"cbDisplayDate", "cbAdjDateFormat", "cbClockDateFormat",
                                        "cbAdjDateDisplay"};
    WithDialog([&](TF_hxPrefs& d) {
        auto* type = Find<QComboBox>(&d, "cbClockFormat");
        auto* formats = Find<QComboBox>(&d, "cbClockTimeFormat");
        auto* adjType = Find<QCheckBox>(&d, "cbAdjType");
        auto items = [&] {
            Strings s;
            for (int i = 0; i < formats->count(); ++i)
                s.push_back(formats->itemText(i).toStdString());
            return s;
        };
        auto dateEnabled = [&] {
            std::vector<bool> e;
            for (const char* c : dateControls)
                e.push_back(Find<QWidget>(&d, c)->isEnabled());
            return e;
        };
        const std::vector<bool> all(4, true), none(4, false);
        Strings locationFormats;
        THXClock().AssignTimeFormats(locationFormats);

        // Without "Adj. Type" the type does not matter: a Location clock's.
        type->setCurrentText("SwatchBeat");
        EXPECT_EQ(items(), locationFormats);
        EXPECT_EQ(dateEnabled(), all);

        adjType->click();
        EXPECT_TRUE(items().empty()) << "a beat clock has no time formats";
        EXPECT_EQ(dateEnabled(), none);

        type->setCurrentText("Universal");
        EXPECT_EQ(items(), (Strings{"U", "u", "W", "w", "D", "d", "V", "v", "T", "t"}));
        EXPECT_EQ(formats->currentText(), "U");
        EXPECT_EQ(dateEnabled(), none);

        formats->setEditText("HH:MM");
        type->setCurrentText("UTC");
        EXPECT_EQ(items(), locationFormats);
        EXPECT_EQ(formats->currentText(), "HH:MM") << "a format the list offers stays";
        EXPECT_EQ(dateEnabled(), all);

        type->setCurrentText("GMST");
        EXPECT_EQ(dateEnabled(), none);
        adjType->click();
        EXPECT_EQ(dateEnabled(), all);
        EXPECT_EQ(items(), locationFormats);
    });
}

TEST_F(PrefsDialogTest, FormatExamplesShowThePresentTimeInTheFormat) {
    PinClock(45678.25, 2); // 2025-01-21 06:00 UTC, 08:00 here
    WithDialog([&](TF_hxPrefs& d) {
        Find<QComboBox>(&d, "cbClockTimeFormat")->setEditText("HH:MM");
        Find<QToolButton>(&d, "sbTimeFormatEg")->click();
        Find<QComboBox>(&d, "cbClockDateFormat")->setEditText("d/m/yyyy");
        Find<QToolButton>(&d, "sbDateFormatEg")->click();
    });
    EXPECT_EQ(presenter.Texts,
              (Strings{"The current local system time displayed\n\rusing the currently indicated "
                       "time format is:\n\rHH:MM ==> 08:00",
                       "The current local system date displayed\n\rusing the currently indicated "
                       "date format is:\n\rd/m/yyyy ==> 21/1/2025"}));
}

TEST_F(PrefsDialogTest, AttributesShowWhatWasChosenAndRestoreDefaults) {
    WithDialog([&](TF_hxPrefs& d) {
        auto* sample = Find<QLabel>(&d, "l_MajorTimeColour");
        auto* panel = Find<QWidget>(&d, "p_BackgroundColour");
        EXPECT_EQ(sample->text(), "00:00:00");
        EXPECT_EQ(sample->palette().color(QPalette::Window), QColor(Qt::black));
        EXPECT_EQ(sample->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        EXPECT_EQ(sample->font().family(), "Arial");
        EXPECT_EQ(sample->font().pixelSize(), 13);

        TFont bold = d.SampleFont();
        bold.Name = "Chosen";
        bold.Bold = true;
        bold.Height = -30;
        bold.Color = clBlue;
        std::optional<TFont> fontAnswer = bold;
        TFont offered;
        d.ChooseFont = [&](const TFont& current, QWidget*) {
            offered = current;
            return fontAnswer;
        };
        d.ChooseColour = [](TColor, QWidget*) -> std::optional<TColor> { return clNavy; };
        Press(sample);
        EXPECT_EQ(offered.Name, "Arial");
        EXPECT_EQ(sample->font().family(), "Chosen");
        EXPECT_TRUE(sample->font().bold());
        EXPECT_EQ(sample->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        Press(panel);
        EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0, 0, 128));
        EXPECT_EQ(sample->palette().color(QPalette::Window), QColor(0, 0, 128));

        fontAnswer = std::nullopt; // cancelled: the face font stays
        const TFont face = d.FaceFont();
        Find<QPushButton>(&d, "sb_ClockFaceFont")->click();
        EXPECT_EQ(d.FaceFont(), face);

        Find<QPushButton>(&d, "sb_RestoreDefaults")->click();
        EXPECT_EQ(d.PanelColour(), clBlack);
        EXPECT_EQ(d.FaceFont().Color, clBlack);
        EXPECT_EQ(d.SampleFont().Name, "Arial");
        EXPECT_EQ(d.SampleFont().Height, -13);
        EXPECT_EQ(d.SampleFont().Charset, 0);
        EXPECT_EQ(d.SampleFont().Color, clLime);
        EXPECT_FALSE(d.SampleFont().Bold);
        EXPECT_EQ(sample->palette().color(QPalette::Window), QColor(Qt::black));
        EXPECT_EQ(sample->font().family(), "Arial");
    });
}

// ------------------------------------------------------------------ sounds

// A font chosen in Qt's dialog (points) comes back as the record stores it.
TEST(PrefsFields, ChosenFontKeepsColourAndCharsetAndStoresPixels) {
    TFont base;
    base.Color = clLime;
    base.Charset = 0;
    QFont chosen("Serif");
    chosen.setPointSize(12);
    chosen.setItalic(true);
    const TFont f = FromQFont(chosen, base);
    EXPECT_EQ(f.Name, "Serif");
    EXPECT_EQ(f.Height, -16);
    EXPECT_EQ(f.Size, 12);
    EXPECT_TRUE(f.Italic);
    EXPECT_EQ(f.Color, clLime);
    EXPECT_EQ(f.Charset, 0);
    EXPECT_EQ(FromQColor(QColor(1, 2, 3)), RGB(1, 2, 3));
}

TEST(PrefsFields, FileFiltersInQtForm) {
    EXPECT_EQ(QtFileFilter("wav files|*.wav"), "wav files (*.wav)");
    EXPECT_EQ(QtFileFilter("sounds|*.wav;*.ogg|all|*"), "sounds (*.wav *.ogg);;all (*)");
}

TEST_F(PrefsDialogTest, EveryBrowseFillsItsOwnEditAndEveryTestPlaysIt) {
    auto player = std::make_unique<TRecordingSoundPlayer>();
    TRecordingSoundPlayer& played = *player;
    ClockDisplayOf(*w).SetSoundPlayer(std::move(player));
    struct TRow {
        const char* Browse;
        const char* Test;
        const char* Edit;
    };
    const TRow rows[] = {
        {"sb_OnHourSound", "SpeedButton2", "e_Chime60Sound"},
        {"sbTollHourSound", "sbTestTollHourSound", "eTollHourSound"},
        {"sb_30minChimeSound", "sbTest30minSound", "e_Chime30Sound"},
        {"sb_15minChimeSound", "sbTest15minSound", "e_Chime15Sound"},
        {"sb45MinChimeSound", "sbTest45minSound", "eChime45Sound"},
        {"sb_MajorAlarmSound", "SpeedButton7", "e_MajorAlarmSound"},
        {"sb_NormalAlarmSound", "SpeedButton6", "e_NormalAlarmSound"},
        {"sb_MinorAlarmSound", "SpeedButton5", "e_MinorAlarmSound"},
        {"sbStopwatchSound", "sbTestStopwatchSound", "eCountDownSound"},
        {"sb_ConnectSound", "sb_TestConnectSound", "e_ConnectSound"},
        {"sb_SyncSound", "sb_TestSyncSound", "e_SyncSound"},
    };
    const std::string soundsDir = w->DataDir + "sounds";
    QTemporaryDir music;
    auto Music = [&music](const char* name) {
        QFile f(music.filePath(QString(name) + ".wav"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return f.fileName().toStdString();
    };
    WithDialog([&](TF_hxPrefs& d) {
        std::optional<std::string> answer;
        Strings asked;
        d.ChooseSoundFile = [&](const std::string& title, const std::string& dir,
                                const std::string& filter, QWidget*) {
            asked = {title, dir, filter};
            return answer;
        };
        auto edits = [&] {
            Strings s;
            for (const auto& r : rows)
                s.push_back(Find<QLineEdit>(&d, r.Edit)->text().toStdString());
            return s;
        };
        for (const auto& r : rows) {
            const Strings before = edits();
            answer = Music(r.Edit);
            Find<QToolButton>(&d, r.Browse)->click();
            EXPECT_EQ(asked, (Strings{"Select Sound File", soundsDir, "wav files (*.wav)"}));
            Strings expected = before;
            expected[size_t(&r - rows)] = *answer;
            EXPECT_EQ(edits(), expected) << r.Browse;

            answer = std::nullopt; // cancelled: the text stays
            Find<QToolButton>(&d, r.Browse)->click();
            EXPECT_EQ(edits(), expected) << r.Browse;

            played.Played.clear();
            Find<QToolButton>(&d, r.Test)->click();
            ASSERT_EQ(played.Played.size(), 1u) << r.Test;
            EXPECT_EQ(played.Played[0].Sound, Music(r.Edit));
            EXPECT_EQ(played.Played[0].Mode, TRecordingSoundPlayer::TEntry::TMode::Async);
        }
        Find<QLineEdit>(&d, "e_SyncSound")->setText("SystemAsterisk");
        played.Played.clear();
        Find<QToolButton>(&d, "sb_TestSyncSound")->click();
        ASSERT_EQ(played.Played.size(), 1u);
        EXPECT_EQ(played.Played[0].Sound, "SystemAsterisk") << "the edit's text as typed";

        // A file that is not there is said so, once, by name, and not taken.
        const std::string gone = music.filePath("gone.wav").toStdString();
        const Strings said{"The sound file \"" + gone + "\" does not exist."};
        Find<QLineEdit>(&d, "e_Chime60Sound")->setText(QString::fromStdString(gone));
        played.Played.clear();
        presenter.Texts.clear();
        Find<QToolButton>(&d, "SpeedButton2")->click();
        EXPECT_TRUE(played.Played.empty());
        EXPECT_EQ(presenter.Texts, said);
        answer = gone;
        const Strings before = edits();
        presenter.Texts.clear();
        Find<QToolButton>(&d, "sb_SyncSound")->click();
        EXPECT_EQ(edits(), before);
        EXPECT_EQ(presenter.Texts, said);
    });
}

// A sound file typed in that is not there is refused at OK, by name, on its
// page; nothing is taken until it is put right.
TEST_F(PrefsDialogTest, OkRefusesATypedSoundFileThatIsNotThere) {
    QTemporaryDir music;
    const std::string here = music.filePath("here.wav").toStdString();
    const std::string gone = music.filePath("gone.wav").toStdString();
    QFile(QString::fromStdString(here)).open(QIODevice::WriteOnly);
    const std::string chime = w->MinorAlarmSound;
    const bool quarter = w->Chime15mins;
    WithDialog([&](TF_hxPrefs& d) {
        auto* edit = Find<QLineEdit>(&d, "e_MinorAlarmSound");
        auto* tabs = Find<QTabWidget>(&d, "pc_PrefsTabs");
        Find<QCheckBox>(&d, "cb_Chime15mins")->setChecked(!quarter);
        tabs->setCurrentIndex(tabs->count() - 1);
        edit->selectAll();
        edit->insert(QString::fromStdString(gone)); // as typed
        presenter.Texts.clear();
        Find<QPushButton>(&d, "OKBtn")->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(presenter.Texts, Strings{"The sound file \"" + gone + "\" does not exist."});
        EXPECT_TRUE(edit->isVisible()) << "its page and its tab within shown";
        EXPECT_EQ(w->MinorAlarmSound, chime);
        EXPECT_EQ(w->Chime15mins, quarter);
        edit->selectAll();
        edit->insert(QString::fromStdString(here));
        Find<QPushButton>(&d, "OKBtn")->click();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(w->MinorAlarmSound, here);
    EXPECT_EQ(w->Chime15mins, !quarter);
}

// A chime time typed whole over the one shown is taken and stored; one that
// is no time is refused at OK, by name, on its page, and nothing is taken
// until it is put right.
TEST_F(PrefsDialogTest, ChimeTimesTakeATypedTimeAndOkRefusesANonTime) {
    const struct {
        const char *Field, *Caption, *Stored, *Typed;
        double Days;
        const char* Bad;
    } rows[] = {
        {"dtp_ChimeStartTime", "Start", "ChimeStartTime", "09:00:00", 9.0 / 24, "9.00"},
        {"dtp_ChimeEndTime", "End", "ChimeEndTime", "21:30", 21.5 / 24, "24:00"},
    };
    // Selects the whole field and types over it, as a user does.
    auto type = [](QWidget* field, const char* text) {
        auto key = [field](int code, Qt::KeyboardModifiers mods, const QString& typed) {
            for (const QEvent::Type t : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent e(t, code, mods, typed);
                QApplication::sendEvent(field, &e);
            }
        };
        key(Qt::Key_A, Qt::ControlModifier, {});
        for (const QChar c : QString(text)) key(c.toUpper().unicode(), Qt::NoModifier, c);
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Field);
        const bool quarter = w->Chime15mins;
        WithDialog([&](TF_hxPrefs& d) {
            auto* field = Find<QWidget>(&d, r.Field);
            auto* tabs = Find<QTabWidget>(&d, "pc_PrefsTabs");
            Find<QCheckBox>(&d, "cb_Chime15mins")->setChecked(!quarter);
            tabs->setCurrentIndex(tabs->count() - 1);
            type(field, r.Bad);
            presenter.Texts.clear();
            Find<QPushButton>(&d, "OKBtn")->click();
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(presenter.Texts,
                      Strings{std::string("\"") + r.Caption +
                              "\" must be a time of day written as HH:MM:SS: '" + r.Bad +
                              "' is not one."});
            EXPECT_TRUE(field->isVisible()) << "its page shown";
            EXPECT_EQ(w->Chime15mins, quarter);
            type(field, r.Typed);
            Find<QPushButton>(&d, "OKBtn")->click();
            EXPECT_FALSE(d.isVisible());
        });
        EXPECT_EQ(w->Chime15mins, !quarter);
        w->WritePrefs();
        const auto stored = store.GetValue(CU, kPrefsKey, r.Stored);
        ASSERT_TRUE(stored && stored->Bytes.size() == sizeof(double));
        double days = 0;
        std::memcpy(&days, stored->Bytes.data(), sizeof days);
        EXPECT_DOUBLE_EQ(days, r.Days);
    }
}

TEST_F(PrefsDialogTest, CheckForUpgradesNowRunsTheMainWindowsCommand) {
    w->ConnectionType = 1;
    WithDialog([&](TF_hxPrefs& d) {
        auto* now = Find<QPushButton>(&d, "sbCheckForUpgradesNow");
        EXPECT_TRUE(now->isEnabled());
        now->click();
        EXPECT_EQ(w->UpgradeChecks, 1);
        Find<QRadioButton>(&d, "rg_ConnectionType_0")->click();
        EXPECT_FALSE(now->isEnabled()) << "no connection, no upgrade check";
    });
}

} // namespace

// ----------------------------------------------------------------- layout

// The fields of a form's labelled rows start in one column, and every combo
// box shows its longest item whole.
TEST_F(PrefsDialogTest, FieldsShareAColumnAndCombosFitTheirItems) {
    const std::vector<std::pair<const char*, std::vector<const char*>>> pages = {
        {"ts_Sounds",
         {"e_Chime60Sound", "eTollHourSound", "e_Chime30Sound", "e_Chime15Sound", "eChime45Sound"}},
        {"ts_Sounds",
         {"e_MajorAlarmSound", "e_NormalAlarmSound", "e_MinorAlarmSound", "eCountDownSound"}},
        {"ts_Sounds", {"e_ConnectSound", "e_SyncSound"}},
        {"ts_Appearence",
         {"cbClockFormat", "cbClockDisplayFormat", "cbClockTimeFormat", "cbClockDateFormat"}},
        {"ts_Appearence",
         {"cbAdjType", "cbAdjDisplayType", "cbAdjTimeFormat", "cbAdjDateFormat",
          "cbAdjDateDisplay", "cbAdjClockAttributes"}},
        {"tsNetworkOptions", {"cbRASEntry", "e_RASUserName", "e_RASPassword"}},
    };
    WithDialog([&](TF_hxPrefs& d) {
        d.resize(700, 500);
        auto* tabs = Find<QTabWidget>(&d, "pc_PrefsTabs");
        for (const auto& [page, fields] : pages) {
            tabs->setCurrentWidget(Find<QWidget>(&d, page));
            std::set<int> lefts;
            for (const char* name : fields) {
                QWidget* f = Find<QWidget>(&d, name);
                // Show the sub-page that holds the field.
                for (QWidget* p = f; p; p = p->parentWidget())
                    if (auto* sub = qobject_cast<QTabWidget*>(
                            p->parentWidget() ? p->parentWidget()->parentWidget() : nullptr))
                        sub->setCurrentWidget(p);
                QCoreApplication::processEvents();
                lefts.insert(f->mapTo(&d, QPoint(0, 0)).x());
            }
            EXPECT_EQ(lefts.size(), 1u) << page << " " << fields[0];
        }
        auto* size = Find<QWidget>(&d, "seClockSize");
        EXPECT_LE(size->width(), size->sizeHint().width()) << "a number box keeps its own width";
        for (QComboBox* c : d.findChildren<QComboBox*>()) {
            const QFontMetrics fm(c->font());
            int longest = 0;
            for (int i = 0; i < c->count(); ++i)
                longest = std::max(longest, fm.horizontalAdvance(c->itemText(i)));
            EXPECT_GE(c->sizeHint().width(), longest) << c->objectName().toStdString();
            EXPECT_GE(c->minimumSizeHint().width(), std::min(longest, c->maximumWidth()))
                << c->objectName().toStdString();
        }
    });
}
