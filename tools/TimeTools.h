// Installs the time-tool windows' factories with the main program.
#pragma once

class TClockState;
struct TWindowServices;

void InstallTimeTools(TClockState& state, const TWindowServices& services);
