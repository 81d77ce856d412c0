// The main window's side of the synchronisation road: the messages of
// tickmatch, hxlinkhold and rulewick, the tray icons and status texts of an
// attempt, and the programs and documents the window starts.
#include "clockapp/ClockDisplay.h"

#include "clockapp/MainWindow.h"
#include "clockapp/SmallWindows.h"
#include "clockapp/TrayIcon.h"
#include "platform/qt/HXBus.h"
#include "platform/qt/Launch.h"
#include "platform/rtl/AtomicFile.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"
#include "timemodel/VersionInfo.h"
#include "ui_F_clocks.h"

#include <filesystem>
#include <QApplication>
#include <QFileInfo>
#include <QStatusBar>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// Where a free viewer for the user guide can be had.
constexpr const char* kReaderDownload = "https://pdfreaders.org/";

} // namespace

void TF_clocks::ConnectSync() {
    RegisterHXMessages();
    LinkholdRunning = [] { return IsBusNameOwned(HXLinkholdBusName); };
    FListener =
        std::make_unique<THXMessageListener>([this](unsigned msg) { HandleHXMessage(msg); });
    auto on = [this](QAction* a, void (TF_clocks::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    // SyncTime belongs to a base class: called directly, not through a
    // pointer to a member of this one.
    connect(ui->mi_SyncTimeNow, &QAction::triggered, this, [this] { SyncTime(); });
    on(ui->mi_Timer, &TF_clocks::mi_TimerClick);
    on(ui->pm_about, &TF_clocks::pm_aboutClick);
    on(ui->sb_about, &TF_clocks::pm_aboutClick);
    on(ui->smiClockBorders, &TF_clocks::smiClockBordersClick);
    on(ui->sb_Stopwatch, &TF_clocks::mi_TimerClick);
    on(ui->mi_Help, &TF_clocks::mi_HelpClick);
    on(ui->smiLaunchDateTime, &TF_clocks::smiLaunchDateTimeClick);
    on(ui->smiRulewick, &TF_clocks::smiRulewickClick);
    on(ui->sb_Prefs, &TF_clocks::sb_PrefsClick);
    on(ui->smiSettings, &TF_clocks::sb_PrefsClick);
    ConnectToolWindows();
}

// Each message is handled only once the broadcast has been delivered, so no
// sender waits for what follows.
void TF_clocks::HandleHXMessage(unsigned msg) {
    try {
        if (msg == HXM_SyncAttempt) {
            HandleSyncAttempt();
        } else if (msg == HXM_SyncSuccess) {
            HandleSyncSuccess();
            if (OnSyncLogChanged) OnSyncLogChanged();
        } else if (msg == HXM_SyncFail) {
            HandleSyncFail();
            if (OnSyncLogChanged) OnSyncLogChanged();
        } else if (msg == HXM_DSTRulesChanged) {
            HandleDSTRulesChanged();
        } else if (msg == HXM_RASConnected) {
            HandleRASConnected();
        } else if (msg == HXM_RASDisconnected) {
            HandleRASDisconnected();
        } else if (msg == WM_TIMECHANGE) {
            LoadRegTimeInfo();
        }
    } catch (const std::exception& e) {
        SetStatusText(QString::fromStdString(e.what()));
    } catch (...) {
        // Only a std::exception carries a text to show; the message is handled either way.
    }
}

void TF_clocks::HandleDSTRulesChanged() {
    if (OnDSTRulesChanged) OnDSTRulesChanged();
    if (ITimeZoneManager* m = TimeZoneManager()) m->LoadDSTRules();
}

// One hxlinkhold only: when one runs already it is asked for the state, which
// this window may not have heard yet.
void TF_clocks::ActivateLinkhold() {
    if (LinkholdRunning && LinkholdRunning()) {
        BroadcastHXMessage(HXM_RASInquiry);
        return;
    }
    if (!LaunchCompanion("hxlinkhold", {}, DataDir)) THXMessageBoxes::ShowErrorCode(6);
}

void TF_clocks::ClearSyncLog() {
    const std::string path = DataDir + kSyncLogFileName;
    // Emptied in place under tickmatch's append lock, not removed: a line
    // tickmatch writes meanwhile is kept, never written into a removed file.
    std::error_code ec;
    const bool holdsLines = std::filesystem::file_size(path, ec) > 0 && !ec;
    THXMessageBoxes::ShowErrorCode(holdsLines && ClearLockedLog(path) ? 61 : 62);
}

namespace {
// What a launch that found nothing says; files and programs are named as
// they are installed here (as messages 6, 7 and 30 name them).
std::string NotFoundText(const std::string& what, const std::string& file) {
    return "Horolux could not locate the " + what + "\n\rensure that \"" + file +
           "\" is installed and in the same directory at \"horolux\"";
}
} // namespace

void TF_clocks::mi_TimerClick() {
    if (!LaunchCompanion("hxtimer", {}, DataDir))
        THXMessageBoxes::ShowInfo(NotFoundText("stopwatch application", "hxtimer"));
}

void TF_clocks::smiRulewickClick() {
    if (!LaunchCompanion("rulewick", {}, DataDir))
        THXMessageBoxes::ShowInfo(NotFoundText("DST manager application", "rulewick"));
}

void TF_clocks::smiLaunchDateTimeClick() {
    LaunchDateTimeSettings();
}

void TF_clocks::mi_HelpClick() {
    const std::string path = DataDir + "help.pdf";
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        THXMessageBoxes::ShowInfo(NotFoundText("user guide file", "help.pdf"));
        return;
    }
    auto* loading = new TF_HelpLoading(this);
    loading->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const bool opened = OpenDocument(path);
    delete loading;
    if (!opened)
        THXMessageBoxes::ShowInfo(std::string("A PDF viewer is required to display Horolux "
                                              "Help\n\rGet one for free at ") +
                                  kReaderDownload);
}

void TF_clocks::ViewSyncLog() {
    OpenDocument(DataDir + kSyncLogFileName);
}

void TF_clocks::pm_aboutClick() {
    TVersionInfo version;
    version.ReadVersionInfo();
    TAboutBox about(this);
    about.VersionText = QString::fromStdString(version.FileVersion);
    about.LegalText = QString::fromStdString(version.LegalCopyright);
    about.exec();
}

void TF_clocks::smiClockBordersClick() {
    ShowClockBorders = !ShowClockBorders;
    ui->smiClockBorders->setText(ShowClockBorders ? "Hide Clock Borders" : "Show Clock Borders");
    RefreshClockObjects(true, true);
}

// ------------------------------------------------------ TSyncControl hooks

bool TF_clocks::SyncStartTickmatch(const std::vector<std::string>& args) {
    std::error_code ec;
    FSyncLogMark = std::filesystem::file_size(DataDir + kSyncLogFileName, ec);
    if (ec) FSyncLogMark = 0;
    return LaunchCompanion("tickmatch", args, DataDir);
}

// tickmatch logs a failure before it tells of it: the last line written
// since the attempt started is its own.
std::string TF_clocks::SyncFailLogLine() {
    if (!KeepSyncLog) return {};
    std::ifstream in(DataDir + kSyncLogFileName, std::ios::binary);
    if (!in) return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0) return {};
    // A log cleared meanwhile is read from its start.
    const auto mark = std::streamoff(FSyncLogMark);
    const std::streamoff from = mark <= size ? mark : 0;
    // Only the tail: a huge log is not read whole.
    constexpr std::streamoff kTail = 64 * 1024;
    const std::streamoff start = size - from > kTail ? size - kTail : from;
    in.seekg(start);
    std::string text(size_t(size - start), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const size_t lf = text.rfind('\n');
    return lf == std::string::npos ? text : text.substr(lf + 1);
}

void TF_clocks::SyncStatus(const std::string& text) {
    SetStatusText(QString::fromStdString(text));
}

// The connect and sync sounds share the window's player with the chimes.
void TF_clocks::SyncPlaySound(const std::string& file) {
    ClockDisplayOf(*this).Sound().Play(file);
}

void TF_clocks::SyncTrayIcon(TSyncTrayIcon icon) {
    switch (icon) {
    case TSyncTrayIcon::Connect:
        ti_HoroluxTray->SetIcon(t_SyncConnect->Icon());
        break;
    case TSyncTrayIcon::Success:
        ti_HoroluxTray->SetIcon(t_SyncSuccess->Icon());
        break;
    case TSyncTrayIcon::Fail:
        ti_HoroluxTray->SetIcon(t_Failicon->Icon());
        break;
    case TSyncTrayIcon::Normal:
        ti_HoroluxTray->SetIcon(windowIcon());
        break;
    }
}

void TF_clocks::SyncProcessMessages() {
    QCoreApplication::processEvents();
}

void TF_clocks::SyncMenuEnabled(bool enabled) {
    ui->mi_SyncTimeNow->setEnabled(enabled);
}

void TF_clocks::SyncConnectCaption(const std::string& caption) {
    ui->mi_DialOrDisconnect->setText(QString::fromStdString(caption));
}

void TF_clocks::SyncConnectEnabled(bool enabled) {
    ui->mi_DialOrDisconnect->setEnabled(enabled);
}

bool TF_clocks::SyncSuspended() const {
    return ui->smiSuspendSync->isChecked();
}

void TF_clocks::SyncErrorCode(int code) {
    THXMessageBoxes::ShowErrorCode(code);
}

void TF_clocks::SyncInfo(const std::string& text) {
    THXMessageBoxes::ShowInfo(text);
}
