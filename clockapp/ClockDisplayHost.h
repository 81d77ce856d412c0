// What the clock display needs of the window it shows the clocks in, beyond
// the window's own widget: its commands, tick timer, status and tray texts,
// and the steps of the tick that belong to the window.
#pragma once

class QAction;
class QMenu;
class QString;
class QTimer;
class QWidget;

class IClockDisplayHost {
public:
    virtual ~IClockDisplayHost() = default;
    // The clock area: the display builds its controls into this.
    virtual QWidget* ClockArea() const = 0;
    virtual QAction* Action(const char* name) const = 0;
    virtual QMenu* Menu(const char* name) const = 0;
    virtual QMenu* pm_MainMenu() const = 0;
    // The one-second timer of the tick; none before the window made it.
    virtual QTimer* TickTimer() const = 0;
    virtual void SetStatusText(const QString& text) = 0;
    virtual void SetTrayHint(const QString& text) = 0;
    // The program is ending: no box is shown any more.
    virtual bool Ending() const = 0;
    // The foreground window seen at this tick.
    virtual void SetLastForegroundWindow(QWidget* window) = 0;
    virtual void CheckSoundAlarms() = 0;
    // The window's size into the preferences, at every layout of the clocks.
    virtual void KeepWindowSize() = 0;
    virtual void RedrawVisibleMap() = 0;
    virtual void ShowTimeZoneManager() = 0;
};
