// The tool windows the main window opens: each is made by its own part of the
// program through a factory, so the main window needs none of their code.
#pragma once

#include <functional>

class QWidget;
class TTimeLocation;

// The single-instance tool windows: their commands stay disabled while one is
// open.
enum class TToolWindow { Dayloom, SysTimeInfo, TimeCalc, Calendar, AlarmManager };
constexpr int kToolWindowCount = 5;

// Makes the window with the owner given (a top-level window owned by it).
// A window whose preparation fails when it is shown throws from
// setVisible(true).
using TToolWindowFactory = std::function<QWidget*(QWidget* owner)>;

// The astronomy window is told which place it shows before it is shown.
class IAstronomyWindow {
public:
    virtual ~IAstronomyWindow() = default;
    virtual QWidget* Window() = 0;
    virtual void SetLocation(const TTimeLocation& location, bool isSystemLocation) = 0;
};
using TAstronomyWindowFactory = std::function<IAstronomyWindow*(QWidget* owner)>;
// Makes another astronomy window for the place and shows it; freed when it
// closes. A window that cannot be made says why; one that fails to show goes.
void OpenAstronomyWindow(const TAstronomyWindowFactory& factory, QWidget* owner,
                         const TTimeLocation& location, bool isSystemLocation);

class TF_clocks;
class THXClock;

// The location manager: made by its own part of the program and kept by the
// main window until the user frees it.
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
using TTimeZoneManagerFactory = std::function<ITimeZoneManager*(TF_clocks& owner)>;
