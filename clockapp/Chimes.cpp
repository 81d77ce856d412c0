#include "clockapp/Chimes.h"

#include <cmath>
#include <memory>

int HourTolls(int hour) {
    return hour < 13 ? hour : hour - 12;
}

int ShipsBellStrokes(int hour, bool halfHour) {
    static const int byWatch[4] = {8, 2, 4, 6};
    int n = byWatch[((hour % 24) + 24) % 4];
    if (halfHour) n = n + 1 == 9 ? 1 : n + 1;
    return n;
}

int DogWatchBellStrokes(int hour, bool halfHour) {
    int n = ShipsBellStrokes(hour, false);
    if (hour == 19) n = 2;
    if (hour == 20) n = 4;
    if (halfHour) n = n + 1 == 9 ? 1 : n + 1;
    return n;
}

bool TChimer::InWindow(double t, const TChimeSettings& s) {
    if (!s.RestrictChimeTimes) return true;
    const double eps = 0.5 / SecsPerDay;
    if (s.ChimeStartTime <= s.ChimeEndTime)
        return t + eps >= s.ChimeStartTime && t - eps <= s.ChimeEndTime;
    // A window over midnight, such as 22:00 to 06:00.
    return t + eps >= s.ChimeStartTime || t - eps <= s.ChimeEndTime;
}

void TChimer::Check(TDateTime time, const TChimeSettings& s) {
    int h, m, sec, ms;
    DecodeTime(time, h, m, sec, ms);
    if (m % 15 != 0) return;
    const int64_t slot = int64_t(std::floor(time)) * 1440 + h * 60 + m;
    if (slot == FLastSlot) return;
    FLastSlot = slot;
    // The window is judged at the quarter itself, not at the late tick.
    if (!InWindow((h * 60 + m) / 1440.0, s)) return;
    if (m == 15 && s.Chime15mins) FSound.Play(s.Chime15Sound);
    if (m == 45 && s.Chime45mins) FSound.Play(s.Chime45Sound);
    if (m == 30 && s.Chime30mins) {
        if (s.ChimeType == 3)
            RingShipsBells(h, true, s);
        else
            FSound.Play(s.Chime30Sound);
    }
    if (m == 0 && s.Chime60mins) {
        switch (s.ChimeType) {
        case 0:
            FSound.Play(s.Chime60Sound);
            break;
        case 1:
            SoundHour(h, s);
            break;
        case 2: {
            const uint64_t seq = ++FSequence;
            FBusy = true;
            const int tolls = HourTolls(h);
            const std::string toll = s.TollHourSound;
            FSound.PlayThen(s.Chime60Sound,
                            [this, seq, tolls, toll] { TollFrom(seq, tolls, toll); });
            break;
        }
        case 3:
            RingShipsBells(h, false, s);
            break;
        case 4:
            RingDogWatchBells(h, s);
            break;
        default:
            break;
        }
    }
}

void TChimer::Cancel() {
    ++FSequence;
    FBusy = false;
}

void TChimer::SoundHour(int hour, const TChimeSettings& s) {
    const uint64_t seq = ++FSequence;
    FBusy = true;
    TollFrom(seq, HourTolls(hour), s.TollHourSound);
}

// One toll to its end, a pause of 100 ms, the next.
void TChimer::TollFrom(uint64_t seq, int left, std::string sound) {
    if (seq != FSequence) return;
    if (left <= 0) {
        FBusy = false;
        return;
    }
    FSound.PlayThen(sound, [this, seq, left, sound] {
        FSchedule(100, [this, seq, left, sound] { TollFrom(seq, left - 1, sound); });
    });
}

void TChimer::RingShipsBells(int hour, bool halfHour, const TChimeSettings& s) {
    Strokes(ShipsBellStrokes(hour, halfHour), s.Chime60Sound);
}

void TChimer::RingDogWatchBells(int hour, const TChimeSettings& s) {
    Strokes(DogWatchBellStrokes(hour, false), s.Chime60Sound);
}

// In pairs: 1500 ms before the first stroke of each pair, 200 ms before the
// second.
void TChimer::Strokes(int count, const std::string& sound) {
    const uint64_t seq = ++FSequence;
    FBusy = true;
    auto step = std::make_shared<std::function<void(int)>>();
    *step = [this, seq, count, sound, weak = std::weak_ptr(step)](int i) {
        if (seq != FSequence) return;
        if (i >= count) {
            FBusy = false;
            return;
        }
        auto self = weak.lock();
        FSchedule(i % 2 == 0 ? 1500 : 200, [this, seq, i, sound, self] {
            if (seq != FSequence) return;
            FSound.Play(sound);
            (*self)(i + 1);
        });
    };
    (*step)(0);
}
