// What the tick does with the alarm list: which alarms come due and what each
// type does then, how an answer of the alarm pop-up settles its alarm, and
// which alarms wait in the late-alarm window. Qt-free; the window supplies the
// effects. Alarms are followed by their runtime identity, never by index or
// address: the list can change under any effect (a window deletes alarms, a
// new alarm reuses the memory of a deleted one).
#pragma once

#include "timemodel/Alarm.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using TAlarmList = std::vector<std::unique_ptr<TAlarm>>;
using TEventList = std::vector<std::unique_ptr<TTemperalEvent>>;

// Every location judges "now" with the machine's current offset.
void SetAlarmHostOffsets(TAlarmList& alarms, double hostOffset);
void SetEventHostOffsets(TEventList& events, double hostOffset);

// The list index of the alarm with that identity, -1 when it is gone. Hint is
// where it is expected (looked at first).
int IndexOfAlarm(const TAlarmList& alarms, uint64_t id, int hint = -1);
TAlarm* FindAlarm(const TAlarmList& alarms, uint64_t id);

// The sound preferences of the three alarm kinds.
struct TAlarmSounds {
    std::string Major = "sounds/alarm1.wav";
    std::string Normal = "sounds/alarm2.wav";
    std::string Minor = "sounds/alarm3.wav";
};

// What coming due does, supplied by the main window.
class IAlarmActions {
public:
    virtual ~IAlarmActions() = default;
    // Opens the pop-up for the alarm at that index; the answer settles it.
    virtual void SoundAlarm(int index, const std::string& soundFile) = 0;
    virtual void Broadcast(unsigned msg) = 0;
    virtual void SyncTime() = 0;
    virtual void Launch(const std::string& text) = 0;
    virtual void WriteAlarms() = 0;
    virtual void ExploreLateAlarms() = 0;
};

// One tick's walk over the alarms whose location offsets are current. Acts
// on each due alarm by type, counts the late ones and opens the late window
// when there are any. Returns the late count.
int CheckDueAlarms(const TAlarmList& alarms, const TAlarmSounds& sounds, IAlarmActions& act);

// The pop-up's snooze text as minutes: a positive number, else 5.
double SnoozeMinutes(const std::string& text);
// Acknowledged: dismissed and advanced. Otherwise snoozed by the text's
// minutes; a kind that cannot snooze is dismissed and advanced instead, so a
// repeating alarm keeps its schedule.
void ApplyAlarmAnswer(TAlarm& alarm, bool acknowledged, const std::string& snoozeText);
void DismissAndAdvance(TAlarm& alarm);

// The late alarms in list order, and the text of each one's row.
std::vector<uint64_t> LateAlarmIds(const TAlarmList& alarms);
std::string LateAlarmRow(const TAlarm& alarm);
// Dismisses and advances, or removes, the alarms with these identities; the
// others keep their order. Gone ones are passed over.
void AcknowledgeAlarms(const TAlarmList& alarms, const std::vector<uint64_t>& ids);
void DeleteAlarms(TAlarmList& alarms, const std::vector<uint64_t>& ids);
