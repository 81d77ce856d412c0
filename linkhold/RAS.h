// The dial-up connections as hxlinkhold sees them: a phone book of entries
// that can be dialled, the connections that exist, and dialling and hanging
// up, which run in the background and report when they are done.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <functional>
#include <string>
#include <vector>

// The connections cannot be examined at all.
class ERASError : public Exception {
public:
    using Exception::Exception;
};

struct TRASConnection {
    std::string Name;       // the link's own name (an interface such as "ppp0")
    bool Connected = false; // up and carrying traffic; false while it is still dialling
};

class IRASBackend {
public:
    // Called once, later or before Dial/HangUp return: false when the command
    // could not be started or (dialling only) ended with an error.
    using TDone = std::function<void(bool ok)>;

    virtual ~IRASBackend() = default;
    // The entries in name order; empty when there are none or none can be read.
    virtual std::vector<std::string> EnumEntries() = 0;
    // Every connection there is; raises ERASError when they cannot be examined.
    virtual std::vector<TRASConnection> EnumConnections() = 0;
    // The password goes to the dialler only where the entry asks for it, and
    // never on a command line or in an environment.
    virtual void Dial(const std::string& entry, const std::string& userName,
                      const std::string& password, TDone done) = 0;
    virtual void HangUp(const std::string& entry, TDone done) = 0;
    // A dial started here has not finished yet.
    virtual bool Dialling() const = 0;
};

// --- The rules of the pppd backend that need no system, for tests. ---

// A name pon can take as it stands: letters, digits, ".", "_" and "-", not
// beginning with "." or "-".
bool IsDiallablePeerName(const std::string& name);
// A package manager's or an editor's leftover copy of a peer file.
bool IsBackupPeerName(const std::string& name);
// Whether the peer file's options load pppd's passwordfd plugin.
bool PeerLoadsPasswordFd(const std::string& peerFileText);
// Up and running from the text of an interface's "flags" file ("0x10d1\n");
// false when the text is not a number.
bool InterfaceFlagsConnected(const std::string& flagsText);
// The phone book of a peers directory and the ppp links of a net class
// directory (each entry a directory with a "flags" file). The latter raises
// ERASError when the directory cannot be read.
std::vector<std::string> ListPeers(const std::string& peersDir);
std::vector<TRASConnection> ListPppLinks(const std::string& netClassDir);
