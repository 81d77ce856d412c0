#include "clockapp/state/SyncControl.h"

#include "timemodel/HX_messages.h"

std::vector<std::string> TickmatchArguments(const TClockPrefs& prefs, const std::string& server) {
    return {
        "-s",
        server,
        std::to_string(prefs.NTPProtocol),
        std::to_string(prefs.ServerUTCOffset),
        "0", // hidden, ends after the attempt
        prefs.SetDateToo ? "1" : "0",
        prefs.WarnLargeSync ? "1" : "0",
        prefs.KeepSyncLog ? kSyncLogFileName : "!",
    };
}

std::string TrimServerName(const std::string& name) {
    const char* ws = " \t\r\n\f\v";
    const size_t first = name.find_first_not_of(ws);
    if (first == std::string::npos) return {};
    const size_t last = name.find_last_not_of(ws);
    return name.substr(first, last - first + 1);
}

std::string SyncFailReason(const std::string& logLine) {
    std::string line = logLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    const size_t tab = line.rfind('\t');
    const std::string field = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    const std::string fail = "FAIL: ";
    if (field.compare(0, fail.size(), fail) != 0) return {};
    const std::string text = field.substr(fail.size());
    // The log's words stay as they are; the status says them plainly.
    const std::string timedOut = "Response From Time Server Timed Out";
    const std::string notSet = "Could not set system time";
    if (text == timedOut) return "no answer from the time server";
    if (text.compare(0, timedOut.size() + 3, timedOut + " - ") == 0)
        return "no answer from the time server (" + text.substr(timedOut.size() + 3) + ")";
    if (text.compare(0, notSet.size() + 3, notSet + " - ") == 0)
        return "the clock was not set: " + text.substr(notSet.size() + 3);
    if (text == notSet) return "the clock was not set";
    return text;
}

TSyncControl::TSyncControl(TClockPrefs& prefs, const std::vector<std::string>& timeServers)
    : SyncPrefs(prefs), SyncServers(timeServers) {}

void TSyncControl::SyncBroadcast(unsigned msg) {
    BroadcastHXMessage(msg);
}

void TSyncControl::SyncTime() {
    StartChain(false);
}

void TSyncControl::AutoSyncTime() {
    StartChain(true);
}

void TSyncControl::StartChain(bool automatic) {
    SyncProcessMessages();
    if (ConnectionAvailable) {
        AutomaticChain = automatic;
        ServerCycleIndex = 0;
        GetTimeFromServer(SyncPrefs.TimeServer);
        return;
    }
    if (SyncPrefs.ConnectionType != 0) return; // dialling is for dial-up only
    if (DialUpState == TDialUpState::Unknown) {
        // HXLinkhold has not said yet: its first report decides.
        SyncPending = true;
        AutomaticChain = automatic;
        return;
    }
    if (SyncPrefs.ConnectIfRequired) {
        AutomaticChain = automatic;
        SyncPending = true;
        DialledForSync = true;
        SyncBroadcast(HXM_RASDialRequest);
    }
}

void TSyncControl::GetTimeFromServer(const std::string& server) {
    const std::string name = TrimServerName(server);
    if (name.empty()) {
        LaunchFailed("No Time Server", -1,
                     "No time server is set.\n\rEnter one on the Synchronization page of "
                     "the Preferences.");
        return;
    }
    SyncBroadcast(HXM_TerminateTickmatch);
    if (!SyncStartTickmatch(TickmatchArguments(SyncPrefs, name)))
        LaunchFailed("Unable to start tickmatch", 7, {});
}

// Nothing will report on an attempt that never started: the chain ends here.
void TSyncControl::LaunchFailed(const std::string& statusText, int code, const std::string& info) {
    SyncStatus(statusText);
    if (!AutomaticChain) {
        if (code >= 0)
            SyncErrorCode(code);
        else
            SyncInfo(info);
    }
    EndChain();
}

void TSyncControl::EndChain() {
    ServerCycleIndex = 0;
    if (DialledForSync) {
        DialledForSync = false;
        SyncBroadcast(HXM_RASDisconnectRequest);
    }
}

void TSyncControl::HandleSyncAttempt() {
    SyncTrayIcon(TSyncTrayIcon::Connect);
    if (ServerCycleIndex == 0) SyncStatus("Sync Attempt");
    if (SyncPrefs.PlayConnectSound) SyncPlaySound(SyncPrefs.ConnectSound);
}

void TSyncControl::HandleSyncSuccess() {
    SyncTrayIcon(TSyncTrayIcon::Success);
    SyncStatus("Sync Success");
    if (SyncPrefs.PlaySyncSound) SyncPlaySound(SyncPrefs.SyncSound);
    EndChain();
}

void TSyncControl::HandleSyncFail() {
    SyncTrayIcon(TSyncTrayIcon::Fail);
    if (SyncPrefs.CycleTimeServers && ServerCycleIndex < int(SyncServers.size()) &&
        ConnectionAvailable) {
        SyncProcessMessages();
        ++ServerCycleIndex;
        const std::string server = SyncServers[size_t(ServerCycleIndex - 1)];
        SyncStatus("Server-Cycle: " + server);
        SyncProcessMessages();
        GetTimeFromServer(server);
        return;
    }
    const std::string reason = SyncFailReason(SyncFailLogLine());
    SyncStatus(reason.empty() ? "Sync Attempt Failed" : "Sync Attempt Failed: " + reason);
    EndChain();
}

void TSyncControl::HandleRASConnected() {
    DialUpState = TDialUpState::Connected;
    ConnectionAvailable = true;
    if (!DialUpConnected) {
        DialUpConnected = true;
        SyncStatus("Connected");
        if ((SyncPrefs.SyncOnConnect || SyncPending) && !SyncSuspended()) {
            const bool automatic = !SyncPending || AutomaticChain;
            StartChain(automatic);
            SyncPending = false;
        }
    }
    SyncMenuEnabled(true);
    SyncConnectCaption("Disconnect");
}

void TSyncControl::HandleRASDisconnected() {
    const bool firstReport = DialUpState == TDialUpState::Unknown;
    DialUpState = TDialUpState::Disconnected;
    ConnectionAvailable = false;
    DialUpConnected = false;
    SyncStatus("Disconnected");
    SyncMenuEnabled(false);
    SyncConnectCaption("Connect");
    if (SyncPrefs.ResetTrayOnDisc) SyncTrayIcon(TSyncTrayIcon::Normal);
    // A sync asked for before the state was known now takes the gate's road.
    if (firstReport && SyncPending && !DialledForSync) {
        if (SyncPrefs.ConnectIfRequired && SyncPrefs.ConnectionType == 0) {
            DialledForSync = true;
            SyncBroadcast(HXM_RASDialRequest);
        } else {
            SyncPending = false;
        }
    }
}

void TSyncControl::ApplyConnectionType() {
    const int type = SyncPrefs.ConnectionType;
    if (type == 1) {
        ConnectionAvailable = true;
        SyncStatus("Lan Connection");
    } else if (type == 2) {
        ConnectionAvailable = false;
        SyncStatus("No Connection");
    } else if (AppliedConnectionType == 1 || AppliedConnectionType == 2) {
        // What LAN or none left says nothing about a modem line.
        ConnectionAvailable = false;
        DialUpConnected = false;
        DialUpState = TDialUpState::Unknown;
    }
    AppliedConnectionType = type;
    SyncMenuEnabled(ConnectionAvailable);
    SyncConnectEnabled(type == 0);
}

void TSyncControl::DialOrDisconnect() {
    if (SyncPrefs.ConnectionType != 0) return; // nothing would dial
    DialledForSync = false;
    SyncBroadcast(DialUpConnected ? HXM_RASDisconnectRequest : HXM_RASDialRequest);
}
