// The alarm and Dayloom windows, given to the main window: the alarm pop-up,
// the late-alarm window, the alarm manager and the Dayloom window.
#pragma once

class TClockState;
struct TWindowServices;

void InstallAlarmWindows(TClockState& state, const TWindowServices& services);
