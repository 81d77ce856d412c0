// The main window: owner of the clocks, lists and preferences, its tool bar,
// status bar, pop-up menu and tray icon, the start-up and the shutdown.
#pragma once

#include "clockapp/ClockDisplayHost.h"
#include "clockapp/state/ClockState.h"
#include "clockapp/state/SyncControl.h"
#include "clockapp/state/WindowServices.h"
#include "timemodel/HX_messages.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

#include <string>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class TFControledMessage;
class TFSplash;
class TTrayIcon;
class TUpdateHost;
namespace Ui {
class F_clocks;
}

// The main window serves the other windows through the narrow services; they
// never see the window itself.
class TF_clocks : public QMainWindow,
                  public TClockState,
                  public TSyncControl,
                  public IListSaver,
                  public ISoundService,
                  public ILocationPicker,
                  public IClockEditing,
                  public IWindowOpener,
                  public IWindowFactories,
                  public IClockDisplayHost {
    Q_OBJECT
public:
    explicit TF_clocks(IHXPrefsStore& store, QWidget* parent = nullptr);
    ~TF_clocks() override;

    // Start-up: defaultDataDir is the resolved data directory of the
    // installation, args the command-line arguments after the program name.
    void FormCreate(const std::string& defaultDataDir, const std::vector<std::string>& args);
    void FormActivate();
    // Saves preferences, clocks and alarms once (real close, quit, session end).
    void FormDestroy();
    // Writes preferences, clocks and alarms now, and the events while the
    // Dayloom window is open (also when the session ends, which may yet be
    // cancelled); reports a failure.
    void SaveAll();
    // The alarm and Dayloom windows' saves; a failure is reported, not raised.
    bool SaveAlarms() override;
    bool SaveTemperalEvents() override;
    // The services as the other parts' windows are given them.
    TWindowServices WindowServices();
    // The clock display's sound player.
    void PlaySound(const std::string& sound) override;

    // Visible / hidden in the notification area.
    void HXMinimize();
    void HXRestore();
    void ShrinkToTray();
    void ShowFromTray();
    void ShowHideClick();
    void ti_HoroluxTrayRightBtnClick();
    // Another start of the program asked for this window.
    void SecondStart();

    // Show/hide switches and the commands of the window shell.
    void mi_ShowHideClick();
    void HideMainToolbar();
    void ShowMainToolbar();
    void miShowHideToolbarClick();
    void HideStatus();
    void ShowStatusBar(); // the bar; ShowStatus is the stored switch
    void miShowHideStatusClick();
    void miHideTitlebarClick();
    void pClocksDblClick();
    void pClocksResize();
    void mi_AlwaysOnTopClick();
    void SetMainFormAttributes();
    void miTitleBarClockClick();
    void sb_AlarmsClick();
    void mi_DialOrDisconnectClick();
    void mi_ExitClick();
    void miMapClick();
    void miTimeZoneManagerClick();
    // The map window: asks to activate it when there is none; true when it exists.
    bool EnsureMapWindow();
    void smiNoChimesClick();
    void miSortByNameClick();
    void miSortByZoneClick();
    void smiClockTypeClick(QAction* item);
    void smiAnalogClick();
    void smiDigitalClick();
    void smiSuspendSyncClick();

    // Applies the settings, writes preferences and clocks (WM_USER+201).
    void WMApplySettings();
    // Re-reads the host zone and shows the connection state (WM_USER+200).
    void WMConnectionState();
    // Every re-read of the host zone (start, 02:10, WM_USER+200, the time
    // change) is the state's; a zone that cannot be read is told once until
    // a reading succeeds.
    void LoadRegTimeInfo() override;
    void SetStatusText(const QString& text) override;
    QString StatusText() const;

    // The clock area: the clock display builds its controls into this.
    QWidget* ClockArea() const override;
    void RefreshClockObjects(bool relayout, bool rebuild) override;
    // The window's size as the preferences keep it; at every layout of the
    // clocks.
    void KeepWindowSize() override;
    virtual void Timer1Timer();

    QAction* Action(const char* name) const override;
    QMenu* Menu(const char* name) const override;
    QMenu* pm_MainMenu() const override;
    QTimer* TickTimer() const override { return Timer1; }
    void SetTrayHint(const QString& text) override;
    bool Ending() const override { return ExitRequested || Terminating; }
    void SetLastForegroundWindow(QWidget* window) override { LastForegroundWindow = window; }
    TTrayIcon* ti_HoroluxTray = nullptr;
    TTrayIcon* t_SyncConnect = nullptr;
    TTrayIcon* t_Failicon = nullptr;
    TTrayIcon* t_SyncSuccess = nullptr;
    QTimer* Timer1 = nullptr;

    bool ExitRequested = false;
    // The desktop ends the program (a signal): no dialog can be answered.
    bool Terminating = false;
    // The foreground window seen at the last tick.
    QPointer<QWidget> LastForegroundWindow;
    // The splash stays up this long when shown (tests shorten it).
    int SplashDelayMs = 1000;
    // The splash while the start-up runs; none once it is closed.
    QPointer<TFSplash> FSplash;

    // Synchronisation, connection state, messages and launches (MainSync.cpp).
    virtual void ActivateLinkhold();
    void HandleHXMessage(unsigned msg);
    void HandleDSTRulesChanged();
    void ClearSyncLog();
    void mi_TimerClick();
    void mi_HelpClick();
    void smiLaunchDateTimeClick();
    void smiRulewickClick();
    void OpenRulewick() override { smiRulewickClick(); }
    void ViewSyncLog();
    void sb_PrefsClick();
    void pm_aboutClick();
    void smiClockBordersClick();

    // Tool-window openers (ToolWindows.cpp). A command whose window has no
    // factory stays disabled.
    void sb_DayloomClick();
    void sb_SysTimeInfoClick();
    void sb_CalcClick();
    void miCalenderClick();
    void sbCalendarClick();
    void sb_AstroClick();
    void SetToolWindowFactory(TToolWindow which, TToolWindowFactory factory) override;
    void SetAstronomyWindowFactory(TAstronomyWindowFactory factory) override;
    bool AstronomyWindowAvailable() const override { return bool(FAstronomyFactory); }
    void ShowAstronomyWindow(QWidget* owner, const TTimeLocation& location,
                             bool isSystemLocation) override;
    // The open window of that kind, or null.
    QWidget* ToolWindow(TToolWindow which) const;

    // Alarm firing (MainAlarms.cpp). Without window factories a sounding
    // alarm is snoozed at once and late alarms wait.
    void CheckSoundAlarms() override;
    void ExploreLateAlarms();
    void SoundAlarm(int index, const std::string& soundFile);
    void SetAlarmWindowFactories(TAlarmMessageFactory message,
                                 TAlarmExplorerFactory explorer) override;
    // The open late-alarm window, or null.
    QWidget* AlarmExplorer() const;
    // Starts an Execute alarm's program; tests record it instead.
    std::function<bool(const std::string&)> AlarmLauncher;

    // The world map (MapHooks.cpp), made by the factory installed.
    void SetMapWindowFactory(TMapWindowFactory factory) override;
    IMapWindow* MapWindow() const;
    // A map is open or can be made.
    bool MapWindowAvailable() const override { return MapWindowExists() || bool(FMapFactory); }
    // Forgets the map ("Free Memory and Close Window": it frees itself).
    void ReleaseMapWindow() override;
    // "View On Map...": asks to open the map when there is none, then
    // centres it on location and marks it there at its next activation.
    void ShowOnMap(const TTimeLocation& location) override;
    // The tick's step: a visible map is redrawn when AutoRefreshMap is set.
    void RedrawVisibleMap() override;

    // "Check for Upgrade" (UpdateHost.cpp).
    bool CheckForProgramUpgrade();
    virtual void miCheckForUpgradeClick();
    void CheckForUpgrade() override { miCheckForUpgradeClick(); }
    TUpdateHost& UpdateCheck();
    // Whether an hxlinkhold already runs (its bus name is owned).
    std::function<bool()> LinkholdRunning;
    // Called after each attempt's report, when the sync log has a new line.
    std::function<void()> OnSyncLogChanged;
    // Called on "HXM_DSTRulesChanged" while the location manager exists.
    std::function<void()> OnDSTRulesChanged;

    // The location manager (LocationHooks.cpp), made by the factory installed.
    void SetTimeZoneManagerFactory(TTimeZoneManagerFactory factory) override;
    ITimeZoneManager* TimeZoneManager() const override;
    // Forgets the manager (it frees itself).
    void ReleaseTimeZoneManager() override;
    // The modal pick of a place for the other windows: true and the place in
    // location when the user selected one.
    bool PickLocation(TTimeLocation& location) override;
    // The clock editor's "Set Clock": stores the clock at index, moves the
    // title and chime clocks, applies and saves. False for an index that is
    // no longer a clock.
    bool ApplyClockSettings(int index, const THXClock& clock, bool useForTitle,
                            bool useForChimes) override;

protected:
    void closeEvent(QCloseEvent* e) override;
    // Asks every other window to close; false when one stays open.
    bool CloseOtherWindows();
    void changeEvent(QEvent* e) override;
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

    void CaptureWindowState() override;
    void PrefsLoaded() override;
    void ShowError(const std::string& text) override;
    void ShowInfo(const std::string& text) override;
    void ShowErrorCode(int code) override;
    TAnswer AskYesNo(const std::string& text) override;
    TAnswer AskYesNoCancel(const std::string& text) override;
    bool ConfirmYes(const std::string& text) override;
    void ProcessMessages() override;

    // The splash's time on the screen, once it is painted.
    virtual void SplashWait(int ms);
    // Steps that other parts of the program fill in.
    virtual bool CheckForLocationUpdate();
    virtual void CreateTimeZoneManager();
    virtual void CreateMapWindow();
    // The map and location manager windows, supplied by their own code.
    virtual bool MapWindowExists() const;
    virtual void ShowMapWindow();
    bool ActivateTimeZoneManager() override;
    void ShowTimeZoneManager() override;
    void RebuildLocationTree() override;
    void BeginProgress(const std::string& caption, const std::string& text, bool gauge) override;
    void ProgressPosition(int64_t max, int64_t pos) override;
    void EndProgress() override;
    void BusyCursor(bool on) override;

private:
    TTimeZoneManagerFactory FTimeZoneFactory;
    QPointer<QWidget> FTimeZoneWindow;
    ITimeZoneManager* FTimeZoneManager = nullptr;
    std::unique_ptr<TUpdateHost> FUpdateHost;
    TMapWindowFactory FMapFactory;
    IMapWindow* FMapWindow = nullptr;
    QPointer<QWidget> FMapWindowWidget;

    void ConnectMenu();
    // Runs one save; a failure is reported (what + the error text), not raised.
    bool SaveStep(const std::function<void()>& step, const char* saves, const char* what);
    std::set<std::string> FSaveErrors; // what failed to save, told, not saved since
    bool FActivating = false;
    void ShowContextMenu(const QPoint& globalPos);
    void SplashStep(const char* text);
    void KeepOnScreen();
    void ToolbarUnfolded(bool unfolded);
    // Folds the unfolded tool bar once the window is wide enough for its row.
    void FoldToolbarWhenItFits();
    int FToolbarRows = 0; // height the unfolded tool bar rows added to the window
    void FollowVisibility();
    void ConnectSync();
    void ConnectToolWindows();
    void OpenToolWindow(TToolWindow which);
    void UpdateToolCommands();
    struct TToolOpener {
        TToolWindowFactory Factory;
        QPointer<QWidget> Window;
    };
    std::array<TToolOpener, kToolWindowCount> FToolOpeners;
    TAstronomyWindowFactory FAstronomyFactory;

    // TSyncControl's effects.
    bool SyncStartTickmatch(const std::vector<std::string>& args) override;
    void SyncStatus(const std::string& text) override;
    void SyncPlaySound(const std::string& file) override;
    void SyncTrayIcon(TSyncTrayIcon icon) override;
    void SyncProcessMessages() override;
    void SyncMenuEnabled(bool enabled) override;
    void SyncConnectCaption(const std::string& caption) override;
    void SyncConnectEnabled(bool enabled) override;
    bool SyncSuspended() const override;
    void SyncErrorCode(int code) override;
    void SyncInfo(const std::string& text) override;
    std::string SyncFailLogLine() override;
    // The sync log's size when the last attempt started: its line follows.
    std::uintmax_t FSyncLogMark = 0;
    std::unique_ptr<THXMessageListener> FListener;

    Ui::F_clocks* ui;
    QPointer<TFControledMessage> FProgress;
    bool FCreated = false;
    bool FDestroyed = false;
    bool FShownOnce = false;
    bool FInClocksResize = false;

    void AnswerAlarm(uint64_t id, bool acknowledged, const std::string& snoozeText);
    TAlarmMessageFactory FAlarmMessageFactory;
    TAlarmExplorerFactory FAlarmExplorerFactory;
    // The open alarm windows. Last, so that they go before anything they
    // answer to: their answers are dropped while the window is destroyed.
    struct TAlarmWindowSet {
        QPointer<QWidget> Explorer;
        std::vector<QPointer<QWidget>> Messages;
        bool Closing = false;
        ~TAlarmWindowSet();
    };
    TAlarmWindowSet FAlarmWindows;
};
