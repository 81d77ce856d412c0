#include "alarms/AlarmWindows.h"

#include "alarms/AlarmExplorer.h"
#include "alarms/AlarmMessage.h"
#include "clockapp/MainWindow.h"

void InstallAlarmWindows(TF_clocks& window) {
    window.SetAlarmWindowFactories(
        [](TF_clocks& owner) -> IAlarmMessage* { return new TF_AlarmMessage(owner); },
        [](TF_clocks& owner) -> QWidget* { return new TFAlarmExplorer(owner); });
}
