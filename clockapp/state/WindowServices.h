// What the other windows of the program may ask of the main program: a few
// small services, each given only to the windows that need it, and the
// factories through which the main window makes the windows of the other
// parts without needing their code. The windows read and change the clock
// state (TClockState) directly; nothing here hands out the main window.
#pragma once

#include <functional>
#include <string>

class QDialog;
class QWidget;
class TAlarm;
class THXClock;
class TTimeLocation;

// ----------------------------------------------------------- the windows

// The pop-up's answers (its modal results).
inline constexpr int kAlarmAcknowledged = 1; // "Acknowledge", Enter
inline constexpr int kAlarmTimedOut = 2;     // the countdown ran out
inline constexpr int kAlarmDozewise = 4;     // "Dozewise", Escape

// The alarm pop-up as the main window sees it.
class IAlarmMessage {
public:
    virtual ~IAlarmMessage() = default;
    // The dialog; it ends with one of the answers above.
    virtual QDialog* Dialog() = 0;
    // What it shows: a copy of the alarm, played with that sound.
    virtual void SetAlarm(const TAlarm& alarm, const std::string& soundFile) = 0;
    // The snooze duration as typed, in minutes.
    virtual std::string SnoozeDuration() const = 0;
};

// The single-instance tool windows: their commands stay disabled while one is
// open.
enum class TToolWindow { Dayloom, SysTimeInfo, TimeCalc, Calendar, AlarmManager };
constexpr int kToolWindowCount = 5;

// The astronomy window is told which place it shows before it is shown.
class IAstronomyWindow {
public:
    virtual ~IAstronomyWindow() = default;
    virtual QWidget* Window() = 0;
    virtual void SetLocation(const TTimeLocation& location, bool isSystemLocation) = 0;
};

// The world map window.
class IMapWindow {
public:
    virtual ~IMapWindow() = default;
    virtual QWidget* Window() = 0;
    // The place the map centres on and measures from; a copy is kept.
    virtual void SetHomeLocation(const TTimeLocation& location) = 0;
    // The next activation centres on the home location and marks it.
    virtual void SetCentrePending() = 0;
    // Shows the window and brings it to the foreground.
    virtual void ShowAndRaise() = 0;
    // One tick of the main window: the layers are drawn again, so the night
    // shadow follows the time.
    virtual void Redraw() = 0;
};

// The location manager: kept by the main window until the user frees it.
class ITimeZoneManager {
public:
    virtual ~ITimeZoneManager() = default;
    virtual QWidget* Window() = 0;
    // The clock editor takes one clock of the main window.
    virtual void ConfigureClock(const THXClock& clock, bool isLocal, int index, bool usedForChimes,
                                bool usedForTitle) = 0;
    virtual void RebuildLocationTree() = 0;
    virtual void LoadDSTRules() = 0;
    // Runs the modal pick of a place, starting from location; true and the
    // place chosen in location on "Select This Location".
    virtual bool PickLocation(TTimeLocation& location) = 0;
    // The clock list changed (titles, count, the edited clock's index).
    virtual void ClocksChanged() = 0;
};

// Each factory makes its window as a top-level window owned by the widget
// given (the main window); what else the window needs, the factory was given
// when it was installed. A window whose preparation fails when it is shown
// throws from setVisible(true).
using TToolWindowFactory = std::function<QWidget*(QWidget* owner)>;
using TAstronomyWindowFactory = std::function<IAstronomyWindow*(QWidget* owner)>;
using TAlarmMessageFactory = std::function<IAlarmMessage*(QWidget* owner)>;
// The late-alarm window fills itself from the alarm list; a window with
// nothing to show closes itself.
using TAlarmExplorerFactory = std::function<QWidget*(QWidget* owner)>;
using TMapWindowFactory = std::function<IMapWindow*(QWidget* owner)>;
using TTimeZoneManagerFactory = std::function<ITimeZoneManager*(QWidget* owner)>;

// ----------------------------------------------------------- the services

// The saves of the lists that the windows edit; a failure is reported to the
// user, not raised.
class IListSaver {
public:
    virtual ~IListSaver() = default;
    virtual bool SaveAlarms() = 0;
    virtual bool SaveTemperalEvents() = 0;
};

// The program's sounds, as the preferences set them up (a sound name or a
// file); a sound that cannot be played may throw.
class ISoundService {
public:
    virtual ~ISoundService() = default;
    virtual void PlaySound(const std::string& sound) = 0;
};

// The modal pick of a place in the location manager: true and the chosen
// place in location when the user picked one.
class ILocationPicker {
public:
    virtual ~ILocationPicker() = default;
    virtual bool PickLocation(TTimeLocation& location) = 0;
};

// The clock editor's changes to the main window's clocks.
class IClockEditing {
public:
    virtual ~IClockEditing() = default;
    // Stores the clock at index, moves the title and chime clocks, applies
    // and saves. False for an index that is no longer a clock.
    virtual bool ApplyClockSettings(int index, const THXClock& clock, bool useForTitle,
                                    bool useForChimes) = 0;
    // The clock controls follow the clock list.
    virtual void RefreshClockObjects(bool relayout, bool rebuild) = 0;
};

// The other windows of the program, opened, found or let go through the main
// window, which owns them.
class IWindowOpener {
public:
    virtual ~IWindowOpener() = default;
    // A map is open or can be made.
    virtual bool MapWindowAvailable() const = 0;
    // "View On Map...": opens the map when needed and centres it on location.
    virtual void ShowOnMap(const TTimeLocation& location) = 0;
    // Forgets the map (it frees itself).
    virtual void ReleaseMapWindow() = 0;
    // Makes the location manager when there is none; true when it exists.
    virtual bool ActivateTimeZoneManager() = 0;
    // The location manager, or null.
    virtual ITimeZoneManager* TimeZoneManager() const = 0;
    // Forgets the manager (it frees itself).
    virtual void ReleaseTimeZoneManager() = 0;
    // An astronomy window can be made.
    virtual bool AstronomyWindowAvailable() const = 0;
    // Another astronomy window for the place, owned by owner.
    virtual void ShowAstronomyWindow(QWidget* owner, const TTimeLocation& location,
                                     bool isSystemLocation) = 0;
    // The main window's "DST Rules" and "Check for Upgrade" commands.
    virtual void OpenRulewick() = 0;
    virtual void CheckForUpgrade() = 0;
};

// Where each part of the program installs its windows' factories.
class IWindowFactories {
public:
    virtual ~IWindowFactories() = default;
    virtual void SetToolWindowFactory(TToolWindow which, TToolWindowFactory factory) = 0;
    virtual void SetAstronomyWindowFactory(TAstronomyWindowFactory factory) = 0;
    virtual void SetAlarmWindowFactories(TAlarmMessageFactory message,
                                         TAlarmExplorerFactory explorer) = 0;
    virtual void SetMapWindowFactory(TMapWindowFactory factory) = 0;
    virtual void SetTimeZoneManagerFactory(TTimeZoneManagerFactory factory) = 0;
};

// The services together, as the main program hands them to the parts that
// install windows; each window keeps only those it uses.
struct TWindowServices {
    IListSaver& Lists;
    ISoundService& Sound;
    ILocationPicker& Locations;
    IClockEditing& Clocks;
    IWindowOpener& Windows;
    IWindowFactories& Factories;
};
