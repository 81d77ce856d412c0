#include "tools/TimeTools.h"

#include "clockapp/MainWindow.h"
#include "tools/F_Astronomy.h"
#include "tools/F_SysTimeInfo.h"
#include "tools/F_TimeCalc.h"

void InstallTimeTools(TF_clocks& w) {
    w.SetAstronomyWindowFactory([](QWidget* owner) -> IAstronomyWindow* { return new TF_Astronomy(owner); });
    w.SetToolWindowFactory(TToolWindow::TimeCalc,
                           [&w](QWidget* owner) -> QWidget* { return new TF_TimeCalc(w, owner); });
    w.SetToolWindowFactory(TToolWindow::Calendar,
                           [&w](QWidget* owner) -> QWidget* { return new TFhxCalendar(w, owner); });
    w.SetToolWindowFactory(TToolWindow::SysTimeInfo,
                           [&w](QWidget* owner) -> QWidget* { return new TFSysTimeInfo(w, owner); });
}
