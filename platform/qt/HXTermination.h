// The end of a session for every program of the suite: SIGTERM (a logout, a
// shutdown, kill), SIGINT and SIGHUP.
#pragma once

#include <functional>

class QObject;

// From the signal on, no dialog is shown (EndMessageDialogs) and the dialogs
// that are up close as Escape closes them; then onSave runs from the event
// loop, to save what the program holds, and the program ends. Nothing waits
// on a question on the way out.
void CatchTermination(QObject* context, std::function<void()> onSave);

// What a signal does before every event loop ends: no more dialogs, those up
// closed, onSave run.
void EndSession(const std::function<void()>& onSave);
