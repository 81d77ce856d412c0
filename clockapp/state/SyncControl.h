// The road of one synchronisation and the connection state, without the
// window: the gate, the attempt chain over the time servers, the reports of
// tickmatch and hxlinkhold. The window supplies the effects through the hooks.
#pragma once

#include "clockapp/state/ClockPrefs.h"

#include <string>
#include <vector>

enum class TSyncTrayIcon { Normal, Connect, Success, Fail };

// What HXLinkhold last reported; Unknown until its first report.
enum class TDialUpState { Unknown, Connected, Disconnected };

// Tickmatch's command line: always exactly eight arguments.
std::vector<std::string> TickmatchArguments(const TClockPrefs& prefs, const std::string& server);

// Leading and trailing blanks, tabs and line ends removed.
std::string TrimServerName(const std::string& name);

// Why an attempt failed, in the user's words, from its line of the sync log;
// empty for a line that tells no failure.
std::string SyncFailReason(const std::string& logLine);

class TSyncControl {
public:
    TSyncControl(TClockPrefs& prefs, const std::vector<std::string>& timeServers);
    virtual ~TSyncControl() = default;
    TSyncControl(const TSyncControl&) = delete;
    TSyncControl& operator=(const TSyncControl&) = delete;

    // The gate: runs an attempt when a connection is known, else asks for a
    // dial-up connection when allowed. A user's request reports a launch
    // failure in a message; an automatic one (countdown, start-up,
    // connection) in the status bar only.
    virtual void SyncTime();
    virtual void AutoSyncTime();
    // One tickmatch attempt with the given server.
    void GetTimeFromServer(const std::string& server);

    void HandleSyncAttempt();
    void HandleSyncSuccess();
    void HandleSyncFail();
    void HandleRASConnected();
    void HandleRASDisconnected();

    // The connection part of WM_USER+200: LAN and none decide at once,
    // dial-up keeps what HXLinkhold reported (unknown after a switch to it).
    void ApplyConnectionType();
    // The "Connect"/"Disconnect" command: the user's own connection is never
    // hung up by a synchronisation.
    void DialOrDisconnect();

    bool ConnectionAvailable = false;
    bool DialUpConnected = false;
    bool SyncPending = false;
    bool DialledForSync = false;
    int ServerCycleIndex = 0;
    TDialUpState DialUpState = TDialUpState::Unknown;

protected:
    // Effects, all on the GUI thread.
    virtual void SyncBroadcast(unsigned msg);
    // Starts tickmatch with these arguments; false when it could not start.
    virtual bool SyncStartTickmatch(const std::vector<std::string>& /*args*/) { return false; }
    virtual void SyncStatus(const std::string& /*text*/) {}
    virtual void SyncTrayIcon(TSyncTrayIcon /*icon*/) {}
    virtual void SyncPlaySound(const std::string& /*file*/) {}
    virtual void SyncProcessMessages() {}
    virtual void SyncMenuEnabled(bool /*enabled*/) {}
    virtual void SyncConnectCaption(const std::string& /*caption*/) {}
    // "Connect" can be heard only by the dial-up manager, which runs with
    // the dial-up connection type alone.
    virtual void SyncConnectEnabled(bool /*enabled*/) {}
    virtual bool SyncSuspended() const { return false; }
    // A failure the user should see in a dialog (numbered message or text).
    virtual void SyncErrorCode(int /*code*/) {}
    virtual void SyncInfo(const std::string& /*text*/) {}
    // The log line that the failed attempt wrote; empty when none was.
    virtual std::string SyncFailLogLine() { return {}; }

private:
    void StartChain(bool automatic);
    void EndChain();
    void LaunchFailed(const std::string& statusText, int code, const std::string& info);

    TClockPrefs& SyncPrefs;
    const std::vector<std::string>& SyncServers;
    bool AutomaticChain = false;
    int AppliedConnectionType = -1;
};
