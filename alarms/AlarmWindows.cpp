#include "alarms/AlarmWindows.h"

#include "alarms/AlarmExplorer.h"
#include "alarms/AlarmManager.h"
#include "alarms/AlarmMessage.h"
#include "alarms/Dayloom.h"
#include "clockapp/MainWindow.h"

void InstallAlarmWindows(TF_clocks& window) {
    window.SetAlarmWindowFactories(
        [](TF_clocks& owner) -> IAlarmMessage* { return new TF_AlarmMessage(owner); },
        [](TF_clocks& owner) -> QWidget* { return new TFAlarmExplorer(owner); });
    TF_clocks* main = &window;
    window.SetToolWindowFactory(TToolWindow::AlarmManager,
                                [main](QWidget*) -> QWidget* { return new TFHXalarms(*main); });
    window.SetToolWindowFactory(TToolWindow::Dayloom,
                                [main](QWidget*) -> QWidget* { return new TF_Dayloom(*main); });
}
