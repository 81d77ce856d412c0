// Escape for the windows that are not dialogs.
#pragma once

class QWidget;

// Escape closes the window, as it cancels a dialog: once no control of the
// window has taken the key.
void CloseOnEscape(QWidget* window);
