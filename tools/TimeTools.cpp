#include "tools/TimeTools.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "tools/F_Astronomy.h"
#include "tools/F_SysTimeInfo.h"
#include "tools/F_TimeCalc.h"

void InstallTimeTools(TClockState& state, const TWindowServices& services) {
    IWindowFactories& f = services.Factories;
    ILocationPicker* picker = &services.Locations;
    const TClockState* s = &state;
    f.SetAstronomyWindowFactory(
        [](QWidget* owner) -> IAstronomyWindow* { return new TF_Astronomy(owner); });
    f.SetToolWindowFactory(TToolWindow::TimeCalc, [s, picker](QWidget* owner) -> QWidget* {
        return new TF_TimeCalc(*s, *picker, owner);
    });
    f.SetToolWindowFactory(TToolWindow::Calendar,
                           [s](QWidget* owner) -> QWidget* { return new TFhxCalendar(*s, owner); });
    f.SetToolWindowFactory(TToolWindow::SysTimeInfo,
                           [s](QWidget* owner) -> QWidget* { return new TFSysTimeInfo(*s, owner); });
}
