#include "alarms/AlarmCountdown.h"

namespace {
constexpr int kReplaySeconds = 15;
}

void TAlarmCountdown::Start(int alarmType) {
    FReplay = alarmType == 0;
    if (FReplay) SecondsLeft = kReplaySeconds;
}

TAlarmCountdown::TStep TAlarmCountdown::Step() {
    --SecondsLeft;
    if (!FReplay) {
        // No blank after "in": the caption has always read so.
        Caption = "Dozewise in" + std::to_string(SecondsLeft) + " sec.";
        return SecondsLeft == 0 ? TStep::Close : TStep::Count;
    }
    Caption = "Snooze (Re-notify in " + std::to_string(SecondsLeft) + " sec.)";
    if (SecondsLeft > 0) return TStep::Count;
    SecondsLeft = kReplaySeconds;
    return TStep::Replay;
}

bool TAlarmCountdown::Wait() {
    Caption = "Snooze";
    return !FReplay;
}
