#include "platform/media/HXSound.h"

#include "timemodel/HXMessageBoxes.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <canberra.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

std::string FreedesktopSoundName(const std::string& alias) {
    static const std::map<std::string, std::string> names = {
        {"systemasterisk", "dialog-information"},
        {"systemexclamation", "dialog-warning"},
        {"systemhand", "dialog-error"},
        {"systemquestion", "dialog-question"},
        {"systemdefault", "bell"},
        {".default", "bell"},
        {"systemstart", "desktop-login"},
        {"systemexit", "desktop-logout"},
        {"mailbeep", "message-new-email"},
        {"minimize", "window-minimized"},
        {"maximize", "window-maximized"},
        {"restoreup", "window-unmaximized"},
        {"restoredown", "window-unmaximized"},
        {"open", "window-new"},
        {"close", "window-close"},
        {"menupopup", "menu-popup"},
        {"menucommand", "menu-click"},
    };
    std::string key = alias;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    auto it = names.find(key);
    return it == names.end() ? std::string() : it->second;
}

namespace {

std::filesystem::path SoundPath(const std::string& sound, const std::string& baseDir) {
    std::string path = sound;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::filesystem::path p(path);
    if (p.is_relative() && !baseDir.empty()) p = std::filesystem::path(baseDir) / p;
    return p;
}

bool IsSoundFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

} // namespace

TSoundSource ResolveSound(const std::string& sound, const std::string& baseDir) {
    if (sound.empty()) return {};
    // An alias wins over a file of the same name, as the system does it.
    const std::string id = FreedesktopSoundName(sound);
    if (!id.empty()) return {TSoundSource::TKind::EventId, id};
    const std::filesystem::path p = SoundPath(sound, baseDir);
    if (IsSoundFile(p)) return {TSoundSource::TKind::File, p.string()};
    return {};
}

std::string MissingSoundFile(const std::string& sound, const std::string& baseDir) {
    if (sound.empty() || !FreedesktopSoundName(sound).empty()) return {};
    const std::filesystem::path p = SoundPath(sound, baseDir);
    return IsSoundFile(p) ? std::string() : p.lexically_normal().string();
}

bool ReportMissingSoundFile(const std::string& sound, const std::string& baseDir) {
    const std::string missing = MissingSoundFile(sound, baseDir);
    if (missing.empty()) return false;
    THXMessageBoxes::ShowError("The sound file \"" + missing + "\" does not exist.");
    return true;
}

namespace {

// The sound driver's own complaints (ALSA prints a dozen lines for every
// sound on a machine without a sound card) are kept; the first of them
// explains the one line the program writes when no sound can be played.
std::mutex gDriverMutex;
std::string gDriverComplaint;
std::atomic<unsigned> gDriverComplaints{0};
std::atomic<bool> gNoDeviceReported{false};

void KeepDriverComplaint(const char* /*file*/, int /*line*/, const char* /*function*/, int err,
                         const char* fmt, ...) {
    ++gDriverComplaints;
    std::lock_guard l(gDriverMutex);
    if (!gDriverComplaint.empty()) return;
    char text[256] = {};
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    gDriverComplaint = text;
    if (err != 0 && gDriverComplaint.empty()) gDriverComplaint = std::strerror(err < 0 ? -err : err);
}

// ALSA is reached through libcanberra's driver module; its error handler is
// process-wide, so it is set on the library the module will load.
void QuietenSoundDriver() {
    using THandler = void (*)(const char*, int, const char*, int, const char*, ...);
    void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;
    using TSetHandler = int (*)(THandler);
    if (auto set = reinterpret_cast<TSetHandler>(::dlsym(alsa, "snd_lib_error_set_handler")))
        set(&KeepDriverComplaint);
    // The library stays loaded: the driver module uses it for the process's life.
}

// A sound that could not start while the driver complained: there is no
// device to play on. Said once per process, on one line.
void ReportNoSoundDevice(int error) {
    if (gNoDeviceReported.exchange(true)) return;
    std::string why;
    {
        std::lock_guard l(gDriverMutex);
        why = gDriverComplaint;
    }
    if (why.empty()) why = ca_strerror(error);
    std::fprintf(stderr, "%s: no sound device could be opened (%s); sounds are not played\n",
                 program_invocation_short_name, why.c_str());
    std::fflush(stderr);
}

// A sound file that is not there when it should sound: said on one line, once
// per file, as the missing sound device is.
void ReportMissingAtRingTime(const std::string& sound, const std::string& baseDir) {
    const std::string missing = MissingSoundFile(sound, baseDir);
    if (missing.empty()) return;
    static std::mutex m;
    static std::set<std::string> reported;
    {
        std::lock_guard l(m);
        if (!reported.insert(missing).second) return;
    }
    std::fprintf(stderr, "%s: sound file \"%s\" does not exist; it is not played\n",
                 program_invocation_short_name, missing.c_str());
    std::fflush(stderr);
}

// One context for the whole process, never destroyed: destroying it unloads
// the sound driver while the driver's playback thread may still be running
// its last instructions after the completion, which crashes the program.
ca_context* SharedCanberraContext() {
    static ca_context* const ctx = [] {
        QuietenSoundDriver();
        ca_context* c = nullptr;
        return ca_context_create(&c) == CA_SUCCESS ? c : nullptr;
    }();
    return ctx;
}

class TCanberraPlayer : public ISoundPlayer {
public:
    explicit TCanberraPlayer(std::string baseDir)
        : FBase(std::move(baseDir)), FCtx(SharedCanberraContext()) {}
    // What is still playing is cut short, and its completions, which arrive
    // later, are dropped: whoever waited for them went with this player.
    ~TCanberraPlayer() override {
        *FAlive = false;
        StopAll();
    }
    void Play(const std::string& sound) override { Start(sound, nullptr); }
    void PlayThen(const std::string& sound, std::function<void()> done) override {
        // The flag is read on the GUI thread, where the player is destroyed.
        Start(sound, [alive = FAlive, done = std::move(done)] {
            if (*alive && done) done();
        });
    }
    void PlayAndWait(const std::string& sound) override {
        struct TWait {
            std::mutex M;
            std::condition_variable C;
            bool Done = false;
        };
        auto w = std::make_shared<TWait>();
        const TSoundSource src = ResolveSound(sound, FBase);
        if (src.Kind == TSoundSource::TKind::None) ReportMissingAtRingTime(sound, FBase);
        if (!FCtx || src.Kind == TSoundSource::TKind::None) return;
        auto* hold = new std::shared_ptr<TWait>(w);
        if (!PlayFull(
                src,
                [](ca_context*, uint32_t, int, void* u) {
                    auto* p = static_cast<std::shared_ptr<TWait>*>(u);
                    {
                        std::lock_guard l((*p)->M);
                        (*p)->Done = true;
                    }
                    (*p)->C.notify_all();
                    delete p;
                },
                hold)) {
            delete hold;
            return;
        }
        std::unique_lock l(w->M);
        // A sound longer than a minute is not waited for to its end.
        w->C.wait_for(l, std::chrono::seconds(60), [&] { return w->Done; });
    }
    void StopAll() override {
        if (FCtx) ca_context_cancel(FCtx, FId);
    }

private:
    using TCallback = void (*)(ca_context*, uint32_t, int, void*);
    bool PlayFull(const TSoundSource& src, TCallback cb, void* user) {
        ca_proplist* p = nullptr;
        if (ca_proplist_create(&p) != CA_SUCCESS) return false;
        ca_proplist_sets(
            p, src.Kind == TSoundSource::TKind::File ? CA_PROP_MEDIA_FILENAME : CA_PROP_EVENT_ID,
            src.Value.c_str());
        ca_proplist_sets(p, CA_PROP_CANBERRA_CACHE_CONTROL, "volatile");
        {
            std::lock_guard l(gDriverMutex);
            gDriverComplaint.clear();
        }
        const unsigned complaints = gDriverComplaints;
        const int r = ca_context_play_full(FCtx, FId, p, cb, user);
        ca_proplist_destroy(p);
        // A sound that is merely missing fails without the driver's word.
        if (r != CA_SUCCESS && gDriverComplaints != complaints) ReportNoSoundDevice(r);
        return r == CA_SUCCESS;
    }
    void Start(const std::string& sound, std::function<void()> done) {
        const TSoundSource src = ResolveSound(sound, FBase);
        if (src.Kind == TSoundSource::TKind::None) ReportMissingAtRingTime(sound, FBase);
        if (!FCtx || src.Kind == TSoundSource::TKind::None) {
            if (done) Post(std::move(done));
            return;
        }
        auto* hold = new std::function<void()>(std::move(done));
        if (!PlayFull(
                src,
                [](ca_context*, uint32_t, int, void* u) {
                    auto* f = static_cast<std::function<void()>*>(u);
                    if (*f) Post(std::move(*f));
                    delete f;
                },
                hold)) {
            if (*hold) Post(std::move(*hold));
            delete hold;
        }
    }
    // Completions arrive on the sound library's thread; the program works on
    // the GUI thread only.
    static void Post(std::function<void()> f) {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
    }
    // Each player stops only its own sounds.
    static uint32_t NextId() {
        static std::atomic<uint32_t> next{1};
        return next++;
    }
    std::string FBase;
    ca_context* FCtx = nullptr;
    const uint32_t FId = NextId();
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace

std::unique_ptr<ISoundPlayer> CreateCanberraPlayer(const std::string& baseDir) {
    return std::make_unique<TCanberraPlayer>(baseDir);
}

void TMissingSoundTeller::Check(const std::string& sound) {
    const std::string missing = MissingSoundFile(sound, FBase);
    if (missing.empty()) {
        // Found again (or no file at all): should it go, it is told anew.
        if (!FTold.empty() && !sound.empty())
            std::erase(FTold, SoundPath(sound, FBase).lexically_normal().string());
        return;
    }
    if (std::find(FTold.begin(), FTold.end(), missing) != FTold.end()) return;
    FTold.push_back(missing);
    if (FTell) FTell(missing);
}

void TMissingSoundTeller::Play(const std::string& sound) {
    Check(sound);
    FPlayer->Play(sound);
}
void TMissingSoundTeller::PlayThen(const std::string& sound, std::function<void()> done) {
    Check(sound);
    FPlayer->PlayThen(sound, std::move(done));
}
void TMissingSoundTeller::PlayAndWait(const std::string& sound) {
    Check(sound);
    FPlayer->PlayAndWait(sound);
}

void TRecordingSoundPlayer::Play(const std::string& sound) {
    Played.push_back({sound, TEntry::TMode::Async, Stamp()});
}
void TRecordingSoundPlayer::PlayThen(const std::string& sound, std::function<void()> done) {
    Played.push_back({sound, TEntry::TMode::Then, Stamp()});
    FPending.push_back(std::move(done));
}
void TRecordingSoundPlayer::PlayAndWait(const std::string& sound) {
    Played.push_back({sound, TEntry::TMode::Wait, Stamp()});
}
void TRecordingSoundPlayer::StopAll() {
    FPending.clear();
}
bool TRecordingSoundPlayer::FinishOne() {
    if (FPending.empty()) return false;
    auto f = std::move(FPending.front());
    FPending.erase(FPending.begin());
    if (f) f();
    return true;
}
