#include "alarms/AlarmWindows.h"

#include "alarms/AlarmExplorer.h"
#include "alarms/AlarmManager.h"
#include "alarms/AlarmMessage.h"
#include "alarms/Dayloom.h"
#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"

void InstallAlarmWindows(TClockState& state, const TWindowServices& services) {
    TClockState* s = &state;
    ISoundService* sound = &services.Sound;
    IListSaver* lists = &services.Lists;
    ILocationPicker* picker = &services.Locations;
    services.Factories.SetAlarmWindowFactories(
        [sound](QWidget* owner) -> IAlarmMessage* { return new TF_AlarmMessage(*sound, owner); },
        [s, lists](QWidget* owner) -> QWidget* { return new TFAlarmExplorer(*s, *lists, owner); });
    services.Factories.SetToolWindowFactory(
        TToolWindow::AlarmManager, [s, lists, picker, sound](QWidget* owner) -> QWidget* {
            return new TFHXalarms(*s, *lists, *picker, *sound, owner);
        });
    services.Factories.SetToolWindowFactory(
        TToolWindow::Dayloom, [s, lists, picker, sound](QWidget* owner) -> QWidget* {
            return new TF_Dayloom(*s, *lists, *picker, *sound, owner);
        });
}
