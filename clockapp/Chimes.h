// Hour and quarter chimes, the hourly toll and ship's bells. The toll and the
// bells play as a sequence of timed strokes, so the window keeps ticking while
// they sound.
#pragma once

#include "platform/media/HXSound.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TChimeSettings {
    bool RestrictChimeTimes = false;
    double ChimeStartTime = 8.0 / 24.0;
    double ChimeEndTime = 21.0 / 24.0;
    bool Chime15mins = true, Chime30mins = true, Chime45mins = true, Chime60mins = true;
    int ChimeType = 1; // 0 once, 1 toll, 2 once and toll, 3 ship's bells, 4 dog watch
    std::string Chime15Sound, Chime30Sound, Chime45Sound, Chime60Sound, TollHourSound;
};

// Runs Action after Ms milliseconds on the GUI thread.
using TScheduleFn = std::function<void(int ms, std::function<void()> action)>;

// Strokes of the bells for the hour (0-23) and half hour.
int ShipsBellStrokes(int hour, bool halfHour);
int DogWatchBellStrokes(int hour, bool halfHour);
// Tolls of the hour: midnight none, noon twelve.
int HourTolls(int hour);

class TChimer {
public:
    TChimer(ISoundPlayer& sound, TScheduleFn schedule)
        : FSound(sound), FSchedule(std::move(schedule)) {}

    // One tick with the chime clock's time. Each quarter chimes once, on the
    // first tick of its minute, whatever second that tick comes at.
    void Check(TDateTime time, const TChimeSettings& s);
    void SoundHour(int hour, const TChimeSettings& s);
    void RingShipsBells(int hour, bool halfHour, const TChimeSettings& s);
    void RingDogWatchBells(int hour, const TChimeSettings& s);
    bool Sounding() const { return FSequence != 0 && FBusy; }
    // Stops a toll or bells still to come.
    void Cancel();

private:
    void Strokes(int count, const std::string& sound);
    void TollFrom(uint64_t seq, int left, std::string sound);
    static bool InWindow(double timeOfDay, const TChimeSettings& s);

    ISoundPlayer& FSound;
    TScheduleFn FSchedule;
    int64_t FLastSlot = -1;
    uint64_t FSequence = 0;
    bool FBusy = false;
};
