// One tick's alarm check over a thousand alarms at places with daylight-saving
// rules: the offsets, the due and late tests, and the walk.
#include "clockapp/state/AlarmFiring.h"

#include <benchmark/benchmark.h>

namespace {

struct TNoActions : IAlarmActions {
    int Count = 0;
    void SoundAlarm(int, const std::string&) override { ++Count; }
    void Broadcast(unsigned) override { ++Count; }
    void SyncTime() override { ++Count; }
    void Launch(const std::string&) override { ++Count; }
    void WriteAlarms() override { ++Count; }
    void ExploreLateAlarms() override { ++Count; }
};

void BM_AlarmCheckThousandAlarms(benchmark::State& state) {
    const char* rules[] = {
        "Europe/L.1.3.60.01:00:00/L.1.10.0.01:00:00/x",
        "Australia/1.1.10.60.02:00:00/1.1.4.0.02:00:00/x",
        "Chile/1.1.9.60.00:00:00/1.7.4.0.23:00:00/x",
        "0",
    };
    const TDateTime now = EncodeDate(2026, 7, 1) + EncodeTime(12, 0, 0, 0);
    PinClock(now, 2);
    TAlarmList alarms;
    for (int i = 0; i < 1000; ++i) {
        auto a = std::make_unique<TAlarm>();
        a->Location.StdOffset = (i % 25) - 12;
        a->Location.Rule.ReadDataString(rules[i % 4]);
        a->AlarmType = uint8_t(i % 8);
        a->RepeatDays = i % 3 == 0 ? 1 : 0;
        a->Enabled = i % 10 != 0;
        // Most lie ahead; every fifth is acknowledged in the past.
        a->AlarmTime = now + 1 + i / 100.0;
        if (i % 5 == 0) {
            a->AlarmTime = now - 3;
            a->Acknowledged = true;
        }
        alarms.push_back(std::move(a));
    }
    TNoActions act;
    const TAlarmSounds sounds;
    for (auto _ : state) {
        SetAlarmHostOffsets(alarms, 2);
        benchmark::DoNotOptimize(CheckDueAlarms(alarms, sounds, act));
    }
    if (act.Count != 0) state.SkipWithError("an alarm fired");
    ResetClockSource();
}
BENCHMARK(BM_AlarmCheckThousandAlarms)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
