// The main window's side of the location manager: made through the factory
// that the program installs, so this library needs none of its code.
#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"

#include <QCoreApplication>

void TF_clocks::SetTimeZoneManagerFactory(TTimeZoneManagerFactory factory) {
    FTimeZoneFactory = std::move(factory);
}

// The window owns the manager: once it is gone, so is the manager.
ITimeZoneManager* TF_clocks::TimeZoneManager() const {
    return FTimeZoneWindow ? FTimeZoneManager : nullptr;
}

void TF_clocks::ReleaseTimeZoneManager() {
    FTimeZoneWindow = nullptr;
    FTimeZoneManager = nullptr;
}

void TF_clocks::CreateTimeZoneManager() {
    if (TimeZoneManager() || !FTimeZoneFactory) return;
    ITimeZoneManager* manager = FTimeZoneFactory(this);
    if (!manager) return;
    FTimeZoneManager = manager;
    FTimeZoneWindow = manager->Window();
}

bool TF_clocks::ActivateTimeZoneManager() {
    if (TimeZoneManager()) return true;
    // Without the manager's code there is nothing to activate: no question.
    if (!FTimeZoneFactory) return false;
    if (!ConfirmYes("The Time Zone Manager screen is not currently active\n\rTo select and "
                    "maintain locations it must first be activated.\n\rWould you like to "
                    "activate it now?"))
        return false;
    if (StandardLocations.empty()) {
        try {
            LoadStandardLocations();
        } catch (...) {
            // The manager opens all the same and tells of a missing list itself.
        }
    }
    CreateTimeZoneManager();
    return TimeZoneManager() != nullptr;
}

void TF_clocks::ShowTimeZoneManager() {
    if (!TimeZoneManager()) return;
    QWidget* window = FTimeZoneWindow;
    window->show();
    window->raise();
    window->activateWindow();
}

void TF_clocks::RebuildLocationTree() {
    if (ITimeZoneManager* m = TimeZoneManager()) m->RebuildLocationTree();
}

bool TF_clocks::PickLocation(TTimeLocation& location) {
    if (!ActivateTimeZoneManager()) return false;
    return TimeZoneManager()->PickLocation(location);
}

bool TF_clocks::ApplyClockSettings(int index, const THXClock& clock, bool useForTitle,
                                   bool useForChimes) {
    if (index < 0 || index >= int(Clocks.size())) return false;
    Clocks[size_t(index)]->Copy(clock);
    if (useForTitle || index == HintClock) HintClock = useForTitle ? index : -1;
    if (useForChimes || index == ChimeClock) ChimeClock = useForChimes ? index : -1;
    WMApplySettings();
    UpdateLocalOffsets();
    QCoreApplication::processEvents();
    return true;
}
