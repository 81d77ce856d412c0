// Sounds: a file path (relative ones against the data directory) or a system
// sound name, played asynchronously or to their end. The program plays
// through ISoundPlayer so tests can record what would sound.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // Starts the sound and returns at once. A sound file that does not exist
    // plays nothing; the program says so once on the console.
    virtual void Play(const std::string& sound) = 0;
    // Starts the sound; Done runs on the GUI thread once it has ended (or
    // could not be played).
    virtual void PlayThen(const std::string& sound, std::function<void()> done) = 0;
    // Plays the sound to its end before returning.
    virtual void PlayAndWait(const std::string& sound) = 0;
    virtual void StopAll() = 0;
};

// The freedesktop sound name for a system sound alias, or "" when the name is
// no alias.
std::string FreedesktopSoundName(const std::string& alias);

// What a sound text stands for: a file to play or a named event sound.
struct TSoundSource {
    enum class TKind { None, File, EventId } Kind = TKind::None;
    std::string Value;
};
TSoundSource ResolveSound(const std::string& sound, const std::string& baseDir);

// The file a sound text names when no such file exists, as looked for
// (relative names against the base directory); empty for a file that is
// there, a system sound name or no sound at all.
std::string MissingSoundFile(const std::string& sound, const std::string& baseDir);
// For the windows where a sound is chosen or tested: when the sound names a
// file that does not exist, says so in one error box naming it, and gives
// true.
bool ReportMissingSoundFile(const std::string& sound, const std::string& baseDir);

// Passes every sound on to another player. A sound file that is not there
// when it is to sound is told through Tell, once: again only after it was
// found in between.
class TMissingSoundTeller : public ISoundPlayer {
public:
    using TTell = std::function<void(const std::string& missingFile)>;
    TMissingSoundTeller(std::unique_ptr<ISoundPlayer> player, std::string baseDir, TTell tell)
        : FPlayer(std::move(player)), FBase(std::move(baseDir)), FTell(std::move(tell)) {}
    void Play(const std::string& sound) override;
    void PlayThen(const std::string& sound, std::function<void()> done) override;
    void PlayAndWait(const std::string& sound) override;
    void StopAll() override { FPlayer->StopAll(); }

private:
    void Check(const std::string& sound);
    std::unique_ptr<ISoundPlayer> FPlayer;
    std::string FBase;
    TTell FTell;
    std::vector<std::string> FTold;
};

// libcanberra; nothing sounds where no sound server is reached.
std::unique_ptr<ISoundPlayer> CreateCanberraPlayer(const std::string& baseDir);

// Records every request; PlayThen completions wait until Finish is called.
class TRecordingSoundPlayer : public ISoundPlayer {
public:
    struct TEntry {
        std::string Sound;
        enum class TMode { Async, Then, Wait } Mode;
        long long AtMs; // of the clock given, or the order of arrival
    };
    std::function<long long()> Clock;
    std::vector<TEntry> Played;
    void Play(const std::string& sound) override;
    void PlayThen(const std::string& sound, std::function<void()> done) override;
    void PlayAndWait(const std::string& sound) override;
    void StopAll() override;
    // Ends the oldest sound still playing with a completion.
    bool FinishOne();
    size_t Pending() const { return FPending.size(); }

private:
    long long Stamp() { return Clock ? Clock() : (long long)Played.size(); }
    std::vector<std::function<void()>> FPending;
};
