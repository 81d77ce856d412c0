// The main window's clocks: the controls in the clock area, their layout and
// the window size, the one-second tick, the title and tray texts, chimes, the
// "This Clock" commands and the mouse on clocks.
#pragma once

#include "clockapp/Chimes.h"
#include "clockapp/ClockLayout.h"
#include "clockapp/ClockTick.h"
#include "platform/media/ForegroundCaption.h"
#include "platform/media/HXSound.h"
#include "platform/qt/DeferredBoxes.h"
#include "timemodel/HXMessageBoxes.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QLabel;
class QFrame;
class QMouseEvent;
class IClockDisplayHost;
class IWindowOpener;
class QMainWindow;
class TClockState;
class TF_clocks;
class TSyncControl;

class TClockDisplay : public QObject {
    Q_OBJECT
public:
    // Shows the state's clocks in window, which host serves.
    TClockDisplay(TClockState& state, TSyncControl& sync, IClockDisplayHost& host,
                  IWindowOpener& windows, QMainWindow& window);
    ~TClockDisplay() override;
    // The display shown in window, or null before its first use.
    static TClockDisplay* Of(const QMainWindow& window);

    void RefreshClockObjects(bool relayout, bool rebuild);
    void Timer1Timer();
    // One tick; DisplayOnly leaves out the countdown, zone, alarms and chimes.
    void UpdateClockDisplays(bool displayOnly = false);
    void ConstrainWindow();
    void LoadRegTimeInfo();
    void AppendToForegroundTitle(const std::string& text);
    void setNames();
    void setHints();

    // "This Clock" commands on the current clock.
    void sbAddClockClick();
    void miClkDuplicateClick();
    void miClkInsertBeforeClick();
    void miClkInsertAfterClick();
    void miClkDeleteClick();
    void miClkMoveLeftmostClick();
    void miClkMoveLeftClick();
    void miClkMoveRightClick();
    void miClkMoveRightmostClick();
    void miClkSetTitleClick();
    void smiUseForChimesClick();
    void ClockClick(int tag);
    void ChangeZone(int tag);

    // The clock controls in list order.
    QWidget* ClockControl(int index) const;
    QString DisplayText(int index) const; // digital: the time text
    QString TitleText(int index) const;
    QString TitleCaption() const { return FTitleText; }
    QString TrayText() const { return FTrayText; }

    void SetSoundPlayer(std::unique_ptr<ISoundPlayer> player);
    ISoundPlayer& Sound() { return *FSound; }
    void SetCaptionHost(std::unique_ptr<ICaptionHost> host);
    TChimer& Chimer() { return *FChimer; }
    TTickClock& TickClock() { return FTick; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void ConnectCommands();
    void ClockMouseDown(int tag, QMouseEvent* e);
    void ClockDisplayMouseDown(int tag, QMouseEvent* e);
    void SetCurrent(int tag);
    // Marks the current clock's type and form in the "This Clock" menu.
    void MarkClockChoices();
    void ShowThisClockMenu();
    void ViewOnMap();
    void SwapClocks(int a, int b);
    void MoveClock(int from, int to);
    TChimeSettings ChimeSettings() const;
    bool ValidCurrent() const;
    std::unique_ptr<THXClock> NewClockBeside(int neighbour) const;

    TClockState& W; // the clocks, lists and preferences shown
    TSyncControl& Sync;
    IClockDisplayHost& Host;
    IWindowOpener& Windows;
    QMainWindow& Window;
    std::unique_ptr<ISoundPlayer> FSound;
    std::unique_ptr<TChimer> FChimer;
    std::unique_ptr<ICaptionHost> FCaptionHost;
    std::unique_ptr<TForegroundCaption> FCaption;
    TTickClock FTick;
    std::vector<QPointer<QWidget>> FControls;
    QString FTitleText, FTrayText;
    bool FInTick = false;

    // A message box raised inside the tick is shown once the tick has
    // returned: its loop then runs outside the tick, so the ticks that come
    // while it is open run in full. Questions, which need their answer at
    // once, are still asked where they are raised.
    TDeferredBoxQueue FTickBoxes;
    bool FShowingTickBoxes = false;
    void ShowTickBoxes();
};

// The display of the main window, created with it on first use (defined
// with the main window, which serves it).
TClockDisplay& ClockDisplayOf(TF_clocks& window);
