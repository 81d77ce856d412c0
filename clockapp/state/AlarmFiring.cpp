#include "clockapp/state/AlarmFiring.h"

#include "timemodel/HX_messages.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

void SetAlarmHostOffsets(TAlarmList& alarms, double hostOffset) {
    for (auto& a : alarms)
        a->Location.HostOffset = hostOffset;
}

void SetEventHostOffsets(TEventList& events, double hostOffset) {
    for (auto& e : events)
        e->Location.HostOffset = hostOffset;
}

int IndexOfAlarm(const TAlarmList& alarms, uint64_t id, int hint) {
    if (hint >= 0 && hint < int(alarms.size()) && alarms[size_t(hint)]->Id.Value() == id)
        return hint;
    for (size_t i = 0; i < alarms.size(); ++i)
        if (alarms[i]->Id.Value() == id) return int(i);
    return -1;
}

TAlarm* FindAlarm(const TAlarmList& alarms, uint64_t id) {
    const int i = IndexOfAlarm(alarms, id);
    return i < 0 ? nullptr : alarms[size_t(i)].get();
}

int CheckDueAlarms(const TAlarmList& alarms, const TAlarmSounds& sounds, IAlarmActions& act) {
    // The effects may change the list (a pop-up's answer, messages handled
    // while the clock is synchronised): the walk follows the alarms that
    // were there when it began and passes over those gone since.
    std::vector<uint64_t> ids;
    ids.reserve(alarms.size());
    for (const auto& a : alarms)
        ids.push_back(a->Id.Value());
    int late = 0;
    bool settled = false;
    int expected = 0;
    for (const uint64_t id : ids) {
        const int i = IndexOfAlarm(alarms, id, expected);
        if (i < 0) continue;
        expected = i + 1;
        TAlarm& a = *alarms[size_t(i)];
        if (!a.IsDue()) {
            if (a.IsLate()) ++late;
            continue;
        }
        a.Sounding = true;
        const int type = a.AlarmType;
        const std::string text = a.Text;
        switch (type) {
        case 0:
            act.SoundAlarm(i, sounds.Major);
            continue;
        case 1:
            act.SoundAlarm(i, sounds.Normal);
            continue;
        case 2:
            act.SoundAlarm(i, sounds.Minor);
            continue;
        case 7:
            act.SoundAlarm(i, text);
            continue;
        case 3:
            act.Broadcast(HXM_RASDialRequest);
            break;
        case 4:
            act.Broadcast(HXM_RASDisconnectRequest);
            break;
        case 5:
            act.SyncTime();
            break;
        case 6:
            act.Launch(text);
            break;
        default:
            // A type nothing acts on is settled at once: it must not stay
            // sounding with nothing to answer it.
            break;
        }
        if (TAlarm* b = FindAlarm(alarms, id)) DismissAndAdvance(*b);
        settled = true;
    }
    // Written at once, so that a crash cannot bring these back as late.
    if (settled) act.WriteAlarms();
    if (late > 0) act.ExploreLateAlarms();
    return late;
}

double SnoozeMinutes(const std::string& text) {
    double v = 0;
    if (TryStrToFloat(text, v) && std::isfinite(v) && v > 0) return v;
    return 5;
}

void DismissAndAdvance(TAlarm& alarm) {
    alarm.Dismiss();
    alarm.NextAlarmTime();
}

void ApplyAlarmAnswer(TAlarm& alarm, bool acknowledged, const std::string& snoozeText) {
    if (acknowledged) {
        DismissAndAdvance(alarm);
        return;
    }
    alarm.Snooze(SnoozeMinutes(snoozeText) / 1440);
    // Only Major and Normal alarms snooze; the others were dismissed and go
    // on to their next repeat as an acknowledged one would.
    if (alarm.Acknowledged) alarm.NextAlarmTime();
    alarm.Sounding = false;
}

std::vector<uint64_t> LateAlarmIds(const TAlarmList& alarms) {
    std::vector<uint64_t> ids;
    for (const auto& a : alarms)
        if (a->IsLate()) ids.push_back(a->Id.Value());
    return ids;
}

std::string LateAlarmRow(const TAlarm& alarm) {
    return alarm.TypeString() + "  ...  " + alarm.Text;
}

void AcknowledgeAlarms(const TAlarmList& alarms, const std::vector<uint64_t>& ids) {
    for (const uint64_t id : ids)
        if (TAlarm* a = FindAlarm(alarms, id)) DismissAndAdvance(*a);
}

void DeleteAlarms(TAlarmList& alarms, const std::vector<uint64_t>& ids) {
    const std::unordered_set<uint64_t> gone(ids.begin(), ids.end());
    std::erase_if(alarms,
                  [&](const std::unique_ptr<TAlarm>& a) { return gone.count(a->Id.Value()); });
}
