// Helpers of the tool windows the main window opens; the windows' interfaces
// and factories are with the services.
#pragma once

#include "clockapp/state/WindowServices.h"

class QWidget;
class TTimeLocation;

// Makes another astronomy window for the place and shows it; freed when it
// closes. A window that cannot be made says why; one that fails to show goes.
void OpenAstronomyWindow(const TAstronomyWindowFactory& factory, QWidget* owner,
                         const TTimeLocation& location, bool isSystemLocation);
