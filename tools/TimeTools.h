// Installs the time-tool windows' factories on the main window.
#pragma once

class TF_clocks;

void InstallTimeTools(TF_clocks& mainWindow);
