#include "tools/TimeTools.h"

#include "clockapp/MainWindow.h"
#include "tools/F_Astronomy.h"

void InstallTimeTools(TF_clocks& w) {
    w.SetAstronomyWindowFactory([](QWidget* owner) -> IAstronomyWindow* { return new TF_Astronomy(owner); });
}
