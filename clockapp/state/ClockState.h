// The stored state of the main window: preferences, data directory and the
// list files. Qt-free; the window supplies the dialogs and its own geometry
// through the virtual hooks.
#pragma once

#include "clockapp/state/ClockPrefs.h"
#include "clockapp/state/PrefsStore.h"
#include "platform/media/HomePlace.h"
#include "timemodel/Alarm.h"
#include "timemodel/HXClock.h"
#include "timemodel/SaveTemporary.h"
#include "timemodel/TimeLocation.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

inline constexpr const char* kHoroluxKey = "SOFTWARE\\Horolux";
inline constexpr const char* kPrefsKey = "SOFTWARE\\Horolux\\Prefs";

// Result of the command line walk of the start-up.
class THXLineReader;

struct TStartOptions {
    std::string DataDir; // always ends in '/'
    bool ReadOnly = false;
};
// "-datadir" DIR and "-readonly", matched exactly; a later "-datadir" wins and
// a "-datadir" without a directory after it keeps the directory found so far.
TStartOptions ParseStartOptions(const std::string& defaultDir,
                                const std::vector<std::string>& args);

class TClockState : public TClockPrefs {
public:
    explicit TClockState(IHXPrefsStore& store);
    virtual ~TClockState();
    TClockState(const TClockState&) = delete;
    TClockState& operator=(const TClockState&) = delete;

    void SetDefaults();
    void LoadPrefs();
    void WritePrefs();

    // The list files of the data directory.
    // Removes the ".hx_" temporaries of this program's data files that a
    // killed save left behind (the rule file's always, the lists' unless
    // read-only).
    void RemoveStaleSaveTemporaries();
    void LoadCLockInfo();
    void LoadAlarms();
    void LoadTemperalEvents();
    void LoadStandardLocations();
    void LoadStandardTimeServers();
    void WriteClockInfo();
    void WriteAlarms();
    void WriteTemperalEvents();
    void WriteStandardLocations();

    // A downloaded location file waits and the user chose to merge it.
    bool CheckNewLocations();
    void MergeNewLocations();

    // In-place sorts over an index range; every slot keeps its object.
    // Track and Track2, when given, are indexes that follow their clocks
    // through the sort.
    void SortClocksByName(int First, int Last, int* Track = nullptr, int* Track2 = nullptr,
                          int* Track3 = nullptr);
    void SortClocksByOffset(int First, int Last, int* Track = nullptr, int* Track2 = nullptr,
                            int* Track3 = nullptr);
    void SortLocationsByName(int First, int Last);
    void SortLocationsByRegion();
    void SortLocationsByZone();

    // The host's zone into the home clock: its standard offset and rule (the
    // zone's coming twelve months), and the computer's offset now as host
    // offset.
    virtual void LoadRegTimeInfo();
    // Alarms and tracked dates that the earlier release stored at home (a
    // fixed offset, rule unknown) follow the home rule from now on.
    void TakeEarlierHomePlaces();
    // The tracked dates convert with the home clock's host offset.
    void UpdateEventOffsets();
    // The alarms convert with the home clock's host offset.
    void UpdateAlarmOffsets();

    // The computer's offset now (hours east), as the clock source tells it.
    static double HostOffsetNow();
    // The host's zone read again (the start, 02:10, a change of the host's
    // offset or of the system time): the zone's name, the computer's offset,
    // the home rule, and every clock, alarm and Dayloom item after them.
    // False when the zone could not be read: the home clock then keeps the
    // computer's offset without a rule.
    bool ReloadHostZone();
    // The home clock's offsets from the override or the last reading, and
    // every clock, alarm and Dayloom item following the computer's offset.
    void UpdateLocalOffsets();
    // Every clock converts with the host's offset; a Local clock carries it.
    void FollowHostOffset();
    // The clock the title and the tray name, or -1; one that is no longer in
    // the list is forgotten.
    int TitleClock();

    // The lists the window owns, in file order.
    std::vector<std::unique_ptr<THXClock>> Clocks;
    std::vector<std::unique_ptr<TAlarm>> Alarms;
    std::vector<std::unique_ptr<TTemperalEvent>> TemperalEvents;
    std::vector<std::unique_ptr<TTimeLocation>> StandardLocations;
    std::vector<std::string> TimeServers;
    THXClock LocalClock;
    std::string LocalZoneName;
    THomeZone HomeZone; // as last read by LoadRegTimeInfo

    IHXPrefsStore& Store;
    std::string DataDir; // ends in '/'
    // The installation's data (ends in '/'; empty: none): a newer location
    // list there is offered to the user's own as a waiting update.
    std::string InstalledDataDir;
    bool ReadOnly = false;
    bool StartMinimizedPending = false;
    int CurrentClock = 0;
    // The clock the location manager's clock editor edits; follows inserts,
    // deletes, moves and sorts like the title clock, -1 when it was deleted.
    int EditedClock = -1;
    double StartTime = 0; // when the program started (local)

    // Names of the values that LoadPrefs found unusable and left at their
    // defaults (wrong type, out of range); for tests and diagnostics.
    std::vector<std::string> RejectedPrefs;

    // Answers of the question dialogs.
    enum class TAnswer { Yes, No, Cancel };

    // The program's dialogs; the window shows them, headless use answers No.
    // The windows that work on the state report through them too.
    virtual void ShowError(const std::string& /*text*/) {}
    virtual void ShowInfo(const std::string& /*text*/) {}
    virtual void ShowErrorCode(int /*code*/) {}
    virtual TAnswer AskYesNo(const std::string& /*text*/) { return TAnswer::No; }
    virtual TAnswer AskYesNoCancel(const std::string& /*text*/) { return TAnswer::Cancel; }
    virtual bool ConfirmYes(const std::string& /*text*/) { return false; }

protected:
    // Lets pending window messages run (the window pumps its event loop).
    virtual void ProcessMessages() {}

    // Window hooks: the fields from the window before a write, and the loaded
    // fields onto the window after a read.
    virtual void CaptureWindowState() {}
    virtual void PrefsLoaded() {}
    // The home clock as one record (TAB separator).
    virtual std::string HomeClockRecord() const;
    virtual void ReadHomeClockRecord(const std::string& text);
    virtual void CreateHomeClock();
    virtual std::string ScramblePasswordText(const std::string& p) const;
    virtual std::string UnscramblePasswordText(const std::string& d) const;

    // The progress window of the location loader and the merge.
    virtual void BeginProgress(const std::string& /*caption*/, const std::string& /*text*/,
                               bool /*gauge*/) {}
    virtual void ProgressPosition(int64_t /*max*/, int64_t /*pos*/) {}
    virtual void EndProgress() {}
    virtual void BusyCursor(bool /*on*/) {}
    // The location manager's tree, when the manager exists.
    virtual void RebuildLocationTree() {}

private:
    void ReadPrefValue(THXRootKey root, const std::string& key, const TPrefDef& def);
    void ReadLegacyClocks();
    void ReadHostZoneAfterClocks();
    // opened: the file already read, not read again.
    bool ReadLocationFile(const std::string& path, bool merge, THXLineReader* opened = nullptr);
    // After the location list is read: a newer installed list left waiting,
    // the waiting list offered, and the items whose places it changed.
    void TakeWaitingLocations();
    void LeaveInstalledLocations();
    std::vector<TTimeLocation> WaitingLocations() const;
    void OfferNewRules(const std::vector<TTimeLocation>& incoming);
    std::string DamagedNote(const std::string& file);
    void ReportMissingList(const std::string& baseName, int code);
    bool OpenList(THXLineReader& in, const std::string& baseName, int missingCode);
    void CheckListWritable(const std::string& baseName) const;
    std::set<std::string> UnreadLists; // there at load, but not readable
    std::optional<double> FHostOffset; // the computer's offset at the last zone reading
    // Each list file as last read or written: a save never replaces what
    // another program put there meanwhile without asking.
    std::map<std::string, TFileStamp> ListStamps;
    void WriteListLines(const std::string& baseName, const std::vector<std::string>& lines);
};
