// The alarm pop-up and the late-alarm window as the main window sees them:
// made by their own part of the program through factories, so the main
// window needs none of their code.
#pragma once

#include <functional>
#include <string>

class QDialog;
class QWidget;
class TAlarm;
class TF_clocks;

// The pop-up's answers (its modal results).
inline constexpr int kAlarmAcknowledged = 1; // "Acknowledge", Enter
inline constexpr int kAlarmTimedOut = 2;     // the countdown ran out
inline constexpr int kAlarmDozewise = 4;     // "Dozewise", Escape

class IAlarmMessage {
public:
    virtual ~IAlarmMessage() = default;
    // The dialog; it ends with one of the answers above.
    virtual QDialog* Dialog() = 0;
    // What it shows: a copy of the alarm, played with that sound.
    virtual void SetAlarm(const TAlarm& alarm, const std::string& soundFile) = 0;
    // The snooze duration as typed, in minutes.
    virtual std::string SnoozeDuration() const = 0;
};
using TAlarmMessageFactory = std::function<IAlarmMessage*(TF_clocks& owner)>;

// The late-alarm window fills itself from the owner's alarm list; a window
// with nothing to show closes itself.
using TAlarmExplorerFactory = std::function<QWidget*(TF_clocks& owner)>;
