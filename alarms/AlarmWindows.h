// The alarm pop-up and the late-alarm window, given to the main window.
#pragma once

class TF_clocks;

void InstallAlarmWindows(TF_clocks& window);
