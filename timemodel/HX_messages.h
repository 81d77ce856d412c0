// The thirteen messages the four programs of the suite send each other. Each
// has a fixed name; a program registers the names to get process-wide
// identifiers, broadcasts by identifier and compares incoming identifiers with
// the stored ones. No message carries data.
//
// The wire is a transport behind IHXMessageTransport (the session bus in the
// programs, an in-process loopback in tests). Everything here runs on the GUI
// thread.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

inline constexpr int HXMessageCount = 13;

// In the order of registration.
inline constexpr std::array<const char*, HXMessageCount> HXMessageNames = {
    "HXM_SyncAttempt",          "HXM_SyncSuccess",          "HXM_SyncFail",
    "HXM_TerminateTickmatch",   "HXM_DSTRulesChanged",      "HXM_RASInquiry",
    "HXM_RASDisconnected",      "HXM_RASConnected",         "HXM_RASDialRequest",
    "HXM_RASDisconnectRequest", "HXM_RASTerminateLINKHOLD", "HXM_LoadRASPhoneBook",
    "HXM_RASPhoneBookLoaded",
};

// The identifiers; 0 until RegisterHXMessages has run.
extern unsigned HXM_SyncAttempt;
extern unsigned HXM_SyncSuccess;
extern unsigned HXM_SyncFail;
extern unsigned HXM_TerminateTickmatch;
extern unsigned HXM_DSTRulesChanged;
extern unsigned HXM_RASInquiry;
extern unsigned HXM_RASDisconnected;
extern unsigned HXM_RASConnected;
extern unsigned HXM_RASDialRequest;
extern unsigned HXM_RASDisconnectRequest;
extern unsigned HXM_RASTerminateLINKHOLD;
extern unsigned HXM_LoadRASPhoneBook;
extern unsigned HXM_RASPhoneBookLoaded;

// The system's time-change message, sent by tickmatch after setting the clock.
inline constexpr unsigned WM_TIMECHANGE = 0x001E;

// The sync log in the data directory: tickmatch writes it when it is kept,
// horolux opens it and charts the clock's drift from it.
inline constexpr const char* kSyncLogFileName = "hxsynclog.hxd";

// Registered message numbers live in 0xC000-0xFFFF. Names compare without
// regard to case; registering a name again gives the same number.
unsigned RegisterWindowMessage(const std::string& name);
// The name registered under a number; empty when none.
std::string RegisteredMessageName(unsigned msg);
// The number registered for a name; 0 when the name is not registered.
unsigned FindRegisteredMessage(const std::string& name);

// Registers the thirteen names in table order and stores their identifiers.
void RegisterHXMessages();

// Carries broadcasts to every program of the suite, the sender included.
class IHXMessageTransport {
public:
    virtual ~IHXMessageTransport() = default;
    // Hands one message on; true when it left this process. Returns only
    // after the message is on its way, so the sender may quit at once.
    virtual bool SendHXMessage(const std::string& name) = 0;
    virtual bool SendTimeChange() = 0;
};

// The process-wide transport; nullptr (the default) sends nothing.
void SetHXMessageTransport(IHXMessageTransport* transport);
IHXMessageTransport* HXMessageTransport();

// Broadcasts a registered message. 1 when the transport took it, 0 when the
// identifier names no registered message or there is no transport. Delivery
// is not synchronous: a caller that needs a receiver to have acted first
// must wait for that receiver's own answer.
long BroadcastHXMessage(unsigned msg);
// Broadcasts the system's time-change message.
bool BroadcastTimeChange();

// Receiving. A handler stands for one window's message dispatch and gets the
// message number (a registered identifier or WM_TIMECHANGE).
using THXMessageHandler = std::function<void(unsigned msg)>;
int AddHXMessageHandler(THXMessageHandler handler);
void RemoveHXMessageHandler(int token);

// Called by a transport for each message that arrives. Names this process
// has not registered are dropped.
void DispatchHXMessage(const std::string& name);
void DispatchTimeChange();

// Keeps a handler registered for the lifetime of the object.
class THXMessageListener {
public:
    explicit THXMessageListener(THXMessageHandler handler);
    ~THXMessageListener();
    THXMessageListener(const THXMessageListener&) = delete;
    THXMessageListener& operator=(const THXMessageListener&) = delete;

private:
    int Token;
};

// In-process transport: every broadcast is recorded and delivered to this
// process's handlers when Deliver runs (a bus delivers later, not inside the
// sender's call, so this one does too).
class TLoopbackHXMessageTransport : public IHXMessageTransport {
public:
    bool SendHXMessage(const std::string& name) override;
    bool SendTimeChange() override;
    // Delivers everything sent so far, in order, including what handlers
    // send while it runs.
    void Deliver();
    std::vector<std::string> Sent; // names in order; time changes as "WM_TIMECHANGE"

private:
    std::vector<std::string> Pending;
};
