// The alarm pop-up's countdown, one step a second: a Normal, Minor or Sound
// File alarm counts down to its automatic snooze ("Dozewise"); a Major one
// counts to its next replay, again and again, and never closes by itself.
#pragma once

#include <string>

class TAlarmCountdown {
public:
    int SecondsLeft = 25;
    std::string Caption = "Dozewise"; // of the Dozewise button

    // When the pop-up shows: a Major alarm replays every 15 seconds.
    void Start(int alarmType);
    bool Replaying() const { return FReplay; }

    enum class TStep { Count, Close, Replay };
    TStep Step();
    // "Wait": true when the countdown stops (every kind but Major).
    bool Wait();

private:
    bool FReplay = false;
};
