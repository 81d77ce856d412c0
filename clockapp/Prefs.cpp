#include "clockapp/Prefs.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/state/ListFiles.h"
#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"
#include "platform/media/HXSound.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/TimeField.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/HXClock.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HXString.h"
#include "timemodel/HX_messages.h"
#include "timemodel/RecordCheck.h"
#include "ui_F_hxPrefs.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTime>

#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kRASKey = "SOFTWARE\\Horolux\\RAS";
constexpr const char* kBadDuration =
    "Invalid Auto Sync Duration Time\n\rTime must be in the form HH:MM:SS";
constexpr const char* kOverrideAll =
    "This will modify ALL clocks\n\rAre you sure this is what you want to do?";
constexpr const char* kSoundTitle = "Select Sound File";
constexpr const char* kSoundFilter = "wav files|*.wav";

// One sound row: the edit, its browse and its test button share the Tag.
struct TSoundRow {
    int Tag;
    const char* Edit;
    const char* Browse;
    const char* Test;
};
constexpr TSoundRow kSoundRows[] = {
    {1, "e_Chime60Sound", "sb_OnHourSound", "SpeedButton2"},
    {2, "eTollHourSound", "sbTollHourSound", "sbTestTollHourSound"},
    {3, "e_Chime30Sound", "sb_30minChimeSound", "sbTest30minSound"},
    {4, "e_Chime15Sound", "sb_15minChimeSound", "sbTest15minSound"},
    {5, "eChime45Sound", "sb45MinChimeSound", "sbTest45minSound"},
    {11, "e_MajorAlarmSound", "sb_MajorAlarmSound", "SpeedButton7"},
    {12, "e_NormalAlarmSound", "sb_NormalAlarmSound", "SpeedButton6"},
    {13, "e_MinorAlarmSound", "sb_MinorAlarmSound", "SpeedButton5"},
    {14, "eCountDownSound", "sbStopwatchSound", "sbTestStopwatchSound"},
    {21, "e_ConnectSound", "sb_ConnectSound", "sb_TestConnectSound"},
    {22, "e_SyncSound", "sb_SyncSound", "sb_TestSyncSound"},
};

int TagOf(const QObject* o) {
    return o ? o->property("Tag").toInt() : 0;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

QTime TimeOfDay(double days) {
    double frac = days - std::floor(days);
    const int ms = int(std::lround(frac * 86400000.0)) % 86400000;
    return QTime(0, 0).addMSecs(ms);
}

double DayFraction(const QTime& t) {
    return QTime(0, 0).msecsTo(t) / 86400000.0;
}

// Shows the page a field is on, in the tabs within tabs too.
void ShowPageOf(QWidget* field) {
    for (QWidget* page = field; page->parentWidget(); page = page->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
            tabs && tabs->indexOf(page) >= 0)
            tabs->setCurrentWidget(page);
}

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

std::string FormatAutoDuration(int seconds) {
    if (seconds < 0) seconds = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return buf;
}

std::optional<int> ParseAutoDuration(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        parts.push_back(TrimServerName(text.substr(start, colon - start)));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() != 3) return std::nullopt;
    for (const auto& p : parts)
        if (!AllDigits(p) || p.size() > 6) return std::nullopt;
    const long h = std::stol(parts[0]), m = std::stol(parts[1]), s = std::stol(parts[2]);
    if (m > 59 || s > 59) return std::nullopt;
    const long total = h * 3600 + m * 60 + s;
    if (total <= 0 || total > 999999L * 3600) return std::nullopt;
    return int(total);
}

std::string QtFileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        std::replace(patterns.begin(), patterns.end(), ';', ' ');
        if (!out.empty()) out += ";;";
        out += parts[i] + " (" + patterns + ")";
    }
    return out;
}

std::optional<double> ParseLocalOffset(const std::string& text) {
    const std::string t = TrimServerName(text);
    if (t.empty()) return std::nullopt;
    try {
        const double v = ParseFloat(t);
        if (!std::isfinite(v) || v < -24 || v > 24) return std::nullopt;
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

namespace {

// The row of a form: a widget "row_..." holding a label, a field and maybe
// more controls side by side.
QHBoxLayout* LabelledRow(QLayoutItem* item) {
    QWidget* w = item ? item->widget() : nullptr;
    if (!w || !w->objectName().startsWith("row_")) return nullptr;
    auto* h = qobject_cast<QHBoxLayout*>(w->layout());
    if (!h || h->count() < 2 || !qobject_cast<QLabel*>(h->itemAt(0)->widget())) return nullptr;
    return h;
}

// Consecutive labelled rows of a column are put into one grid, so that
// their fields start in one column: labels, then fields, then the rest of
// each row. Text boxes take the spare width; combo boxes keep their own.
void GridLabelledRows(QWidget* root) {
    for (QVBoxLayout* column : root->findChildren<QVBoxLayout*>()) {
        for (int i = 0; i < column->count(); ++i) {
            int end = i;
            while (end < column->count() && LabelledRow(column->itemAt(end)))
                ++end;
            if (end - i < 2) continue;
            // In place first, so that the controls it takes become children of
            // the column's widget, not of the rows that go.
            auto* grid = new QGridLayout;
            grid->setContentsMargins(column->itemAt(i)->widget()->layout()->contentsMargins());
            column->insertLayout(i, grid);
            bool textBoxes = false;
            std::vector<QWidget*> emptied;
            for (int r = 0; r < end - i; ++r) {
                QWidget* row = column->itemAt(i + 1 + r)->widget();
                QHBoxLayout* h = LabelledRow(column->itemAt(i + 1 + r));
                std::vector<QWidget*> parts;
                while (h->count() > 0) {
                    QLayoutItem* it = h->takeAt(0);
                    if (it->widget()) parts.push_back(it->widget());
                    delete it;
                }
                for (size_t k = 0; k < parts.size() && k < 2; ++k)
                    grid->addWidget(parts[k], r, int(k));
                textBoxes = textBoxes || (parts.size() > 1 && qobject_cast<QLineEdit*>(parts[1]));
                // Buttons that belong to the field follow it; a row's last
                // control (a check box) has a column of its own.
                if (parts.size() > 3) {
                    auto* rest = new QHBoxLayout;
                    for (size_t k = 2; k + 1 < parts.size(); ++k)
                        rest->addWidget(parts[k]);
                    grid->addLayout(rest, r, 2);
                }
                if (parts.size() > 2) grid->addWidget(parts.back(), r, 3, Qt::AlignLeft);
                emptied.push_back(row);
            }
            grid->setColumnStretch(textBoxes ? 1 : 4, 1);
            for (QWidget* row : emptied) {
                column->removeWidget(row);
                delete row;
            }
        }
    }
}

} // namespace

TF_hxPrefs::TF_hxPrefs(TF_clocks& main) : QDialog(&main), Main(main), ui(new Ui::F_hxPrefs) {
    ui->setupUi(this);
    GridLabelledRows(this);
    // A combo box is as wide as its longest item, within half the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    for (QComboBox* c : findChildren<QComboBox*>()) {
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        if (screen) c->setMaximumWidth(screen->availableGeometry().width() / 2);
    }
    // FormCreate: messages, the main window's stay-on-top, the server list and
    // a fresh phone book from hxlinkhold.
    RegisterHXMessages();
    setWindowFlag(Qt::WindowStaysOnTopHint, Main.AlwaysOnTop);
    for (const std::string& s : Main.TimeServers)
        ui->lb_TimeServer->addItem(Q(s));
    Listener = std::make_unique<THXMessageListener>([this](unsigned msg) {
        if (msg == HXM_RASPhoneBookLoaded) LoadPhoneBook();
    });
    BroadcastHXMessage(HXM_LoadRASPhoneBook);

    for (QAbstractButton* b : ui->rg_ConnectionType->findChildren<QRadioButton*>())
        connect(b, &QAbstractButton::clicked, this, [this] { rg_ConnectionTypeClick(); });
    connect(ui->cbOverrideLocalOffset, &QAbstractButton::clicked, this,
            [this] { cbOverrideLocalOffsetClick(); });
    connect(ui->OKBtn, &QAbstractButton::clicked, this, [this] { OKBtnClick(); });
    connect(ui->CancelBtn, &QAbstractButton::clicked, this, [this] { reject(); });
    connect(ui->sb_SyncNow, &QAbstractButton::clicked, this, [this] { sb_SyncNowClick(); });
    connect(ui->sbClearSyncLog, &QAbstractButton::clicked, this, [this] { sbClearSyncLogClick(); });
    connect(ui->sbViewSyncLog, &QAbstractButton::clicked, this, [this] { sbViewSyncLogClick(); });
    for (QWidget* e :
         {static_cast<QWidget*>(ui->me_AutoDuration), static_cast<QWidget*>(ui->me_ServerUTCOffset),
          static_cast<QWidget*>(ui->meLocalOffsetOverride)})
        e->installEventFilter(this);
    connect(ui->sbCheckForUpgradesNow, &QAbstractButton::clicked, this,
            [this] { sbCheckForUpgradesNowClick(); });

    for (const TSoundRow& row : kSoundRows) {
        auto* browse = findChild<QAbstractButton*>(row.Browse);
        auto* test = findChild<QAbstractButton*>(row.Test);
        connect(browse, &QAbstractButton::clicked, this,
                [this, browse] { FileDialogClick(browse); });
        connect(test, &QAbstractButton::clicked, this, [this, test] { TestSound(test); });
    }

    connect(ui->cbClockFormat, &QComboBox::currentIndexChanged, this,
            [this] { ProposedClockFormatChange(); });
    connect(ui->cbAdjType, &QAbstractButton::clicked, this,
            [this] { ProposedClockFormatChange(); });
    connect(ui->sbTimeFormatEg, &QAbstractButton::clicked, this, [this] { sbTimeFormatEgClick(); });
    connect(ui->sbDateFormatEg, &QAbstractButton::clicked, this, [this] { sbDateFormatEgClick(); });
    connect(ui->sb_RestoreDefaults, &QAbstractButton::clicked, this,
            [this] { sb_RestoreDefaultsClick(); });
    connect(ui->sbOverrideClockSettings, &QAbstractButton::clicked, this,
            [this] { sbOverrideClockSettingsClick(); });
    ChooseFont = QtFontChooser();
    ChooseColour = QtColourChooser();
    Attributes = new TClockAttributesEditor(ui->l_MajorTimeColour, ui->p_BackgroundColour,
                                            ui->sb_ClockFaceFont, ChooseFont, ChooseColour);
    Attributes->Show();

    ChooseSoundFile = [](const std::string& title, const std::string& dir,
                         const std::string& filter, QWidget* parent) -> std::optional<std::string> {
        const QString file = QFileDialog::getOpenFileName(parent, Q(title), Q(dir), Q(filter));
        if (file.isEmpty()) return std::nullopt;
        return S(file);
    };
}

TF_hxPrefs::~TF_hxPrefs() {
    delete ui;
}

int TF_hxPrefs::RadioIndex(QGroupBox* group) {
    const auto buttons = group->findChildren<QRadioButton*>();
    for (int i = 0; i < int(buttons.size()); ++i)
        if (buttons[i]->isChecked()) return i;
    return -1;
}

void TF_hxPrefs::SetRadioIndex(QGroupBox* group, int index) {
    const auto buttons = group->findChildren<QRadioButton*>();
    if (index >= 0 && index < int(buttons.size())) buttons[index]->setChecked(true);
}

void TF_hxPrefs::EnableGroup(QGroupBox* group, bool enabled) {
    for (QWidget* c : group->findChildren<QWidget*>())
        c->setEnabled(enabled);
}

void TF_hxPrefs::LoadFromPrefs() {
    TF_clocks& m = Main;
    ui->cb_Chime60mins->setChecked(m.Chime60mins);
    ui->cb_Chime30mins->setChecked(m.Chime30mins);
    ui->cb_Chime15mins->setChecked(m.Chime15mins);
    ui->cb_Chime45mins->setChecked(m.Chime45mins);
    ui->cbRestrictChimeTimes->setChecked(m.RestrictChimeTimes);
    ui->dtp_ChimeStartTime->setTime(TimeOfDay(m.ChimeStartTime));
    ui->dtp_ChimeEndTime->setTime(TimeOfDay(m.ChimeEndTime));
    SetRadioIndex(ui->rg_ChimeType, m.ChimeType);
    ui->cbAlwaysOnTop->setChecked(m.AlwaysOnTop);
    ui->cbAlwaysStartMinimized->setChecked(m.AlwaysStartMinimized);
    ui->cbVisibleTaskBar->setChecked(m.VisibleTaskBar);
    ui->cbShowSplash->setChecked(m.ShowSplash);
    SetRadioIndex(ui->rg_ConstrainWindow, m.ConstrainWindowType);
    ui->cbXtoClose->setChecked(m.XtoClose);
    ui->cbActivateMap->setChecked(m.ActivateMap);
    ui->cbLoadLocations->setChecked(m.LoadLocations);
    ui->cbShowClockBorders->setChecked(m.ShowClockBorders);
    ui->seClockSize->setValue(m.AnalogClockSize);
    ui->cbTitleTimeFormat->setEditText(Q(m.TitleTimeFormat));
    ui->cbTitleDateFormat->setEditText(Q(m.TitleDateFormat));
    ui->cbShowTitleName->setChecked(m.ShowTitleName);
    ui->cbShowTitleLocation->setChecked(m.ShowTitleLocation);
    ui->cbTrayTimeFormat->setEditText(Q(m.TrayTimeFormat));
    ui->cbTrayDateFormat->setEditText(Q(m.TrayDateFormat));
    ui->cbShowTrayName->setChecked(m.ShowTrayName);
    ui->cbShowTrayLocation->setChecked(m.ShowTrayLocation);
    ui->cbAddToAllTitles->setChecked(m.AddToAllTitles);
    ui->e_Chime60Sound->setText(Q(m.Chime60Sound));
    ui->eTollHourSound->setText(Q(m.TollHourSound));
    ui->e_Chime30Sound->setText(Q(m.Chime30Sound));
    ui->e_Chime15Sound->setText(Q(m.Chime15Sound));
    ui->eChime45Sound->setText(Q(m.Chime45Sound));
    ui->e_MajorAlarmSound->setText(Q(m.MajorAlarmSound));
    ui->e_NormalAlarmSound->setText(Q(m.NormalAlarmSound));
    ui->e_MinorAlarmSound->setText(Q(m.MinorAlarmSound));
    ui->eCountDownSound->setText(Q(m.CountDownSound));
    ui->e_ConnectSound->setText(Q(m.ConnectSound));
    ui->e_SyncSound->setText(Q(m.SyncSound));
    ui->cbPlayConnectSound->setChecked(m.PlayConnectSound);
    ui->cbPlaySyncSound->setChecked(m.PlaySyncSound);
    ui->lb_TimeServer->setEditText(Q(m.TimeServer));
    ui->me_ServerUTCOffset->setText(QString::number(m.ServerUTCOffset));
    SetRadioIndex(ui->rg_NTPType, m.NTPProtocol);
    ui->cbCycleTimeServers->setChecked(m.CycleTimeServers);
    ui->cbKeepSyncLog->setChecked(m.KeepSyncLog);
    ui->cbAutoSyncOn->setChecked(m.AutoSyncOn);
    ui->me_AutoDuration->setText(Q(FormatAutoDuration(m.AutoSyncDuration)));
    ui->cbSetTimeAtStartup->setChecked(m.SetTimeAtStartup);
    ui->cbSetDateToo->setChecked(m.SetDateToo);
    ui->cbWarnLargeSync->setChecked(m.WarnLargeSync);
    ui->cbRASEntry->setEditText(Q(m.RASServer));
    ui->e_RASUserName->setText(Q(m.RASUserName));
    ui->e_RASPassword->setText(Q(m.RASPassword));
    ui->cbSyncOnConnect->setChecked(m.SyncOnConnect);
    ui->cbConnectIfRequired->setChecked(m.ConnectIfRequired);
    ui->cbResetTrayOnDisc->setChecked(m.ResetTrayOnDisc);
    ui->cbCheckForUpgrades->setChecked(m.CheckForUpgrades);
    ui->e_UserEmailAddress->setText(Q(m.UserEmailAddress));
    ui->cbUseProxySettings->setChecked(m.UseProxySettings);
    ui->e_ProxyServer->setText(Q(m.ProxyServer));
    ui->e_HTTPProxyPort->setText(Q(m.HTTPProxyPort));
    ui->e_SOCKSProxyPort->setText(Q(m.SOCKSProxyPort));
    ui->cbOverrideLocalOffset->setChecked(m.OverrideLocalOffset);
    WorkingConnectionType = m.ConnectionType;
    WorkingLocalOffset = m.LocalOffsetOverride;
}

void TF_hxPrefs::StoreToPrefs() {
    TF_clocks& m = Main;
    m.Chime60mins = ui->cb_Chime60mins->isChecked();
    m.Chime30mins = ui->cb_Chime30mins->isChecked();
    m.Chime15mins = ui->cb_Chime15mins->isChecked();
    m.Chime45mins = ui->cb_Chime45mins->isChecked();
    m.RestrictChimeTimes = ui->cbRestrictChimeTimes->isChecked();
    m.ChimeStartTime = DayFraction(ui->dtp_ChimeStartTime->time());
    m.ChimeEndTime = DayFraction(ui->dtp_ChimeEndTime->time());
    if (RadioIndex(ui->rg_ChimeType) >= 0) m.ChimeType = RadioIndex(ui->rg_ChimeType);
    m.AlwaysOnTop = ui->cbAlwaysOnTop->isChecked();
    m.AlwaysStartMinimized = ui->cbAlwaysStartMinimized->isChecked();
    m.VisibleTaskBar = ui->cbVisibleTaskBar->isChecked();
    m.ShowSplash = ui->cbShowSplash->isChecked();
    if (RadioIndex(ui->rg_ConstrainWindow) >= 0)
        m.ConstrainWindowType = RadioIndex(ui->rg_ConstrainWindow);
    m.XtoClose = ui->cbXtoClose->isChecked();
    m.ActivateMap = ui->cbActivateMap->isChecked();
    m.LoadLocations = ui->cbLoadLocations->isChecked();
    m.AnalogClockSize = ui->seClockSize->value();
    m.TitleTimeFormat = S(ui->cbTitleTimeFormat->currentText());
    m.TitleDateFormat = S(ui->cbTitleDateFormat->currentText());
    m.ShowTitleName = ui->cbShowTitleName->isChecked();
    m.ShowTitleLocation = ui->cbShowTitleLocation->isChecked();
    m.TrayTimeFormat = S(ui->cbTrayTimeFormat->currentText());
    m.TrayDateFormat = S(ui->cbTrayDateFormat->currentText());
    m.ShowTrayName = ui->cbShowTrayName->isChecked();
    m.ShowTrayLocation = ui->cbShowTrayLocation->isChecked();
    m.AddToAllTitles = ui->cbAddToAllTitles->isChecked();
    m.Chime60Sound = S(ui->e_Chime60Sound->text());
    m.TollHourSound = S(ui->eTollHourSound->text());
    m.Chime30Sound = S(ui->e_Chime30Sound->text());
    m.Chime15Sound = S(ui->e_Chime15Sound->text());
    m.Chime45Sound = S(ui->eChime45Sound->text());
    m.MajorAlarmSound = S(ui->e_MajorAlarmSound->text());
    m.NormalAlarmSound = S(ui->e_NormalAlarmSound->text());
    m.MinorAlarmSound = S(ui->e_MinorAlarmSound->text());
    m.CountDownSound = S(ui->eCountDownSound->text());
    m.ConnectSound = S(ui->e_ConnectSound->text());
    m.SyncSound = S(ui->e_SyncSound->text());
    m.PlayConnectSound = ui->cbPlayConnectSound->isChecked();
    m.PlaySyncSound = ui->cbPlaySyncSound->isChecked();
    m.TimeServer = S(ui->lb_TimeServer->currentText());
    int offset = 0;
    if (TryStrToInt(S(ui->me_ServerUTCOffset->text()), offset)) m.ServerUTCOffset = offset;
    if (RadioIndex(ui->rg_NTPType) >= 0) m.NTPProtocol = RadioIndex(ui->rg_NTPType);
    m.CycleTimeServers = ui->cbCycleTimeServers->isChecked();
    m.KeepSyncLog = ui->cbKeepSyncLog->isChecked();
    m.AutoSyncOn = ui->cbAutoSyncOn->isChecked();
    if (auto d = ParseAutoDuration(S(ui->me_AutoDuration->text()))) m.AutoSyncDuration = *d;
    m.SetTimeAtStartup = ui->cbSetTimeAtStartup->isChecked();
    m.SetDateToo = ui->cbSetDateToo->isChecked();
    m.WarnLargeSync = ui->cbWarnLargeSync->isChecked();
    m.RASServer = S(ui->cbRASEntry->currentText());
    m.RASUserName = S(ui->e_RASUserName->text());
    m.RASPassword = S(ui->e_RASPassword->text());
    m.SyncOnConnect = ui->cbSyncOnConnect->isChecked();
    m.ConnectIfRequired = ui->cbConnectIfRequired->isChecked();
    m.ResetTrayOnDisc = ui->cbResetTrayOnDisc->isChecked();
    m.CheckForUpgrades = ui->cbCheckForUpgrades->isChecked();
    m.UserEmailAddress = S(ui->e_UserEmailAddress->text());
    m.UseProxySettings = ui->cbUseProxySettings->isChecked();
    m.ProxyServer = S(ui->e_ProxyServer->text());
    m.HTTPProxyPort = S(ui->e_HTTPProxyPort->text());
    m.SOCKSProxyPort = S(ui->e_SOCKSProxyPort->text());
    m.OverrideLocalOffset = ui->cbOverrideLocalOffset->isChecked();
    m.ConnectionType = WorkingConnectionType;
    m.LocalOffsetOverride = WorkingLocalOffset;
}

void TF_hxPrefs::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!Activated) {
        Activated = true;
        FormActivate();
    }
}

void TF_hxPrefs::FormActivate() {
    Attributes->Show();
    static const int itemOfType[3] = {1, 2, 0};
    SetRadioIndex(ui->rg_ConnectionType, itemOfType[WorkingConnectionType % 3]);
    if (WorkingConnectionType == 0) LoadPhoneBook();
    ui->sb_SyncNow->setEnabled(Main.ConnectionAvailable);
    rg_ConnectionTypeClick();
    cbOverrideLocalOffsetClick();
    ui->pc_PrefsTabs->setCurrentWidget(ui->ts_General);
    ui->meLocalOffsetOverride->setText(Q(FloatToStr(WorkingLocalOffset)));
}

void TF_hxPrefs::rg_ConnectionTypeClick() {
    QAction* syncNow = Main.Action("mi_SyncTimeNow");
    switch (RadioIndex(ui->rg_ConnectionType)) {
    case 0:
        WorkingConnectionType = 2;
        EnableGroup(ui->gb_DialPrefs, false);
        EnableGroup(ui->gb_AutoSync, false);
        BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
        LastLinkholdAction = TLinkholdAction::Terminated;
        ui->cbCheckForUpgrades->setEnabled(false);
        ui->sbCheckForUpgradesNow->setEnabled(false);
        ui->sb_SyncNow->setEnabled(false);
        syncNow->setEnabled(false);
        break;
    case 1:
        WorkingConnectionType = 0;
        EnableGroup(ui->gb_DialPrefs, true);
        EnableGroup(ui->gb_AutoSync, true);
        Main.ActivateLinkhold();
        LastLinkholdAction = TLinkholdAction::Started;
        ui->cbCheckForUpgrades->setEnabled(true);
        ui->sbCheckForUpgradesNow->setEnabled(true);
        ui->sb_SyncNow->setEnabled(syncNow->isEnabled());
        LoadPhoneBook();
        break;
    case 2:
        WorkingConnectionType = 1;
        EnableGroup(ui->gb_DialPrefs, false);
        EnableGroup(ui->gb_AutoSync, true);
        BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
        LastLinkholdAction = TLinkholdAction::Terminated;
        ui->cbCheckForUpgrades->setEnabled(true);
        ui->sbCheckForUpgradesNow->setEnabled(true);
        ui->sb_SyncNow->setEnabled(true);
        syncNow->setEnabled(true);
        break;
    default:
        break;
    }
}

void TF_hxPrefs::cbOverrideLocalOffsetClick() {
    ui->meLocalOffsetOverride->setVisible(ui->cbOverrideLocalOffset->isChecked());
}

void TF_hxPrefs::LoadPhoneBook() {
    IHXPrefsStore& store = Main.Store;
    const auto root = THXRootKey::HKEY_CURRENT_USER;
    if (!store.KeyExists(root, kRASKey)) store.CreateKey(root, kRASKey);
    int n = 0;
    if (auto v = store.GetValue(root, kRASKey, "NumEntries");
        v && v->Kind == THXStoredValue::TKind::Integer)
        n = std::max(0, v->Number);
    const QString chosen = ui->cbRASEntry->currentText();
    ui->cbRASEntry->clear();
    for (int i = 0; i < n; ++i) {
        auto v = store.GetValue(root, kRASKey, "RasEntry" + std::to_string(i));
        ui->cbRASEntry->addItem(v && v->Kind == THXStoredValue::TKind::String ? Q(v->Text)
                                                                              : QString());
    }
    ui->cbRASEntry->setEditText(chosen);
}

bool TF_hxPrefs::me_AutoDurationExit() {
    const auto d = ParseAutoDuration(S(ui->me_AutoDuration->text()));
    if (d) {
        ui->me_AutoDuration->setText(Q(FormatAutoDuration(*d)));
        return true;
    }
    THXMessageBoxes::ShowError(kBadDuration);
    ui->me_AutoDuration->setFocus();
    return false;
}

void TF_hxPrefs::me_ServerUTCOffsetExit() {
    int v = 0;
    if (!TryStrToInt(S(ui->me_ServerUTCOffset->text()), v)) ui->me_ServerUTCOffset->setText("0");
}

void TF_hxPrefs::meLocalOffsetOverrideExit() {
    if (!ParseLocalOffset(S(ui->meLocalOffsetOverride->text())))
        ui->meLocalOffsetOverride->setText("0");
}

bool TF_hxPrefs::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // A dialog of the check itself takes the focus: check once.
        static bool checking = false;
        if (!checking) {
            checking = true;
            if (watched == ui->me_AutoDuration)
                me_AutoDurationExit();
            else if (watched == ui->me_ServerUTCOffset)
                me_ServerUTCOffsetExit();
            else if (watched == ui->meLocalOffsetOverride)
                meLocalOffsetOverrideExit();
            checking = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The fields are checked again: OK pressed with Enter never leaves them.
void TF_hxPrefs::OKBtnClick() {
    // A chime time that is no time would be stored as midnight.
    for (const auto& [field, label] : {std::pair{ui->dtp_ChimeStartTime, ui->l_ChimeStart},
                                       std::pair{ui->dtp_ChimeEndTime, ui->l_ChimeEnd}})
        if (!field->time().isValid()) {
            ShowPageOf(field);
            ReportBadTime(field, S(label->text()));
            return;
        }
    if (!me_AutoDurationExit()) {
        ui->pc_PrefsTabs->setCurrentWidget(ui->ts_Sync);
        return;
    }
    // A sound typed in that names no file would ring as silence.
    for (const TSoundRow& row : kSoundRows) {
        auto* edit = findChild<QLineEdit*>(row.Edit);
        if (!edit || !edit->isModified() || !ReportMissingSoundFile(S(edit->text()), Main.DataDir))
            continue;
        ShowPageOf(edit);
        edit->setFocus();
        edit->selectAll();
        return;
    }
    me_ServerUTCOffsetExit();
    meLocalOffsetOverrideExit();
    WorkingLocalOffset = ParseLocalOffset(S(ui->meLocalOffsetOverride->text())).value_or(0);
    accept();
}

void TF_hxPrefs::sb_SyncNowClick() {
    Main.SyncTime();
}
void TF_hxPrefs::sbClearSyncLogClick() {
    Main.ClearSyncLog();
}
void TF_hxPrefs::sbViewSyncLogClick() {
    Main.ViewSyncLog();
}
void TF_hxPrefs::sbCheckForUpgradesNowClick() {
    Main.miCheckForUpgradeClick();
}

// ------------------------------------------------------------------- sounds

QLineEdit* TF_hxPrefs::SoundEdit(int tag) const {
    for (const TSoundRow& row : kSoundRows)
        if (row.Tag == tag) return findChild<QLineEdit*>(row.Edit);
    return nullptr;
}

void TF_hxPrefs::FileDialogClick(QObject* button) {
    QLineEdit* edit = SoundEdit(TagOf(button));
    if (!edit || !ChooseSoundFile) return;
    auto file =
        ChooseSoundFile(kSoundTitle, Main.DataDir + "sounds", QtFileFilter(kSoundFilter), this);
    if (!file || ReportMissingSoundFile(*file, Main.DataDir)) return;
    edit->setText(Q(*file));
}

void TF_hxPrefs::TestSound(QObject* button) {
    QLineEdit* edit = SoundEdit(TagOf(button));
    if (!edit || ReportMissingSoundFile(S(edit->text()), Main.DataDir)) return;
    ClockDisplayOf(Main).Sound().Play(S(edit->text()));
}

// ------------------------------------------------------------ clock objects

void TF_hxPrefs::ProposedClockFormatChange() {
    THXClock scratch;
    if (ui->cbAdjType->isChecked()) scratch.SetClockTypeString(S(ui->cbClockFormat->currentText()));
    const bool date = ShowTimeFormats(ui->cbClockTimeFormat, scratch);
    for (QWidget* c :
         {static_cast<QWidget*>(ui->cbDisplayDate), static_cast<QWidget*>(ui->cbAdjDateFormat),
          static_cast<QWidget*>(ui->cbClockDateFormat),
          static_cast<QWidget*>(ui->cbAdjDateDisplay)})
        c->setEnabled(date);
}

void TF_hxPrefs::sbTimeFormatEgClick() {
    const std::string format = S(ui->cbClockTimeFormat->currentText());
    THXMessageBoxes::ShowInfo(TimeFormatExample(format));
}

void TF_hxPrefs::sbDateFormatEgClick() {
    const std::string format = S(ui->cbClockDateFormat->currentText());
    THXMessageBoxes::ShowInfo(DateFormatExample(format));
}

void TF_hxPrefs::l_MajorTimeColourClick() {
    Attributes->ChooseTimeFont();
}

void TF_hxPrefs::p_BackgroundColourClick() {
    Attributes->ChooseBackColour();
}

void TF_hxPrefs::sb_ClockFaceFontClick() {
    Attributes->ChooseFaceFont();
}

// The whole sample font goes back to its start, styles included, so the
// defaults look as they did when the dialog opened.
void TF_hxPrefs::sb_RestoreDefaultsClick() {
    Attributes->RestoreDefaults();
}

void TF_hxPrefs::sbOverrideClockSettingsClick() {
    if (THXMessageBoxes::AskYesNo(kOverrideAll) != mrYes) return;
    const std::string timeFormat = S(ui->cbClockTimeFormat->currentText());
    const std::string dateFormat = S(ui->cbClockDateFormat->currentText());
    const std::string type = S(ui->cbClockFormat->currentText());
    const std::string display = S(ui->cbClockDisplayFormat->currentText());
    const auto apply = [&](THXClock& clock) {
        if (ui->cbAdjTimeFormat->isChecked()) clock.TimeFormat = timeFormat;
        if (ui->cbAdjDateFormat->isChecked()) clock.DateFormat = dateFormat;
        if (ui->cbAdjType->isChecked()) clock.SetClockTypeString(type);
        if (ui->cbAdjDisplayType->isChecked()) clock.SetDisplayKindString(display);
        if (ui->cbAdjDateDisplay->isChecked()) clock.ShowDate = ui->cbDisplayDate->isChecked();
        if (ui->cbAdjClockAttributes->isChecked()) {
            clock.TimeFont = Attributes->TimeFont;
            clock.ClockFaceFont = Attributes->FaceFont;
            clock.BackColour = Attributes->BackColour;
        }
    };
    // A clock the clock file cannot hold is refused before any clock changes.
    for (const auto& clock : Main.Clocks) {
        THXClock probe;
        probe.Copy(*clock);
        apply(probe);
        if (const TRecordFault fault = CheckClockRecord(probe)) {
            THXMessageBoxes::ShowError(RecordFaultText(fault));
            return;
        }
    }
    Main.ShowClockBorders = ui->cbShowClockBorders->isChecked();
    for (auto& clock : Main.Clocks)
        apply(*clock);
    Main.RefreshClockObjects(true, true);
}

// ----------------------------------------------------- the main window's side

void TF_clocks::sb_PrefsClick() {
    const uint8_t storedType = ConnectionType;
    QAction* prefs = Action("sb_Prefs");
    using TAct = TF_hxPrefs::TLinkholdAction;
    TAct last = TAct::None;
    {
        TF_hxPrefs dialog(*this);
        dialog.LoadFromPrefs();
        prefs->setEnabled(false);
        ti_HoroluxTray->SetPopupMenu(nullptr);
        try {
            if (dialog.exec() == QDialog::Accepted) {
                dialog.StoreToPrefs();
                // The next automatic sync is a whole new period away.
                ClockDisplayOf(*this).TickClock().ResetCountdown(AutoSyncDuration);
            }
        } catch (...) {
            // The dialog tells its own errors; the tray and menu are given back below.
        }
        last = dialog.LastLinkholdAction;
    }
    // hxlinkhold runs exactly when the connection type now in force says so,
    // whatever was clicked on the way, and is started or stopped only once.
    const bool mayRun = storedType == 0 || last == TAct::Started;
    if (ConnectionType == 0 && last != TAct::Started)
        ActivateLinkhold();
    else if (ConnectionType != 0 && mayRun && last != TAct::Terminated)
        BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
    resize(FormWidth, FormHeight);
    WMApplySettings();
    prefs->setEnabled(true);
    ti_HoroluxTray->SetPopupMenu(pm_MainMenu());
}
