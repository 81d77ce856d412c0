// hxlinkhold's work, free of windows and buses: the connection monitor that
// tells the other programs when the dial-up state changes, the dial and
// hang-up requests, and the phone-book export for horolux's preferences.
// Messages go out through BroadcastHXMessage; dialogs through THXMessageBoxes.
#pragma once

#include "linkhold/RAS.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

// What Dial and HangUp read of horolux's preferences.
struct TLinkholdDialPrefs {
    std::string Entry;    // "RASServer"
    std::string UserName; // "RASUserName"
    std::string Password; // "RASPassword", unscrambled
};

class ILinkholdStore {
public:
    virtual ~ILinkholdStore() = default;
    // Missing values read as empty; user name and password only when asked for.
    virtual TLinkholdDialPrefs ReadDialPrefs(bool withCredentials) = 0;
    // "NumEntries" and "RasEntry0".. ; values of a longer earlier export stay.
    virtual void WritePhoneBook(const std::vector<std::string>& entries) = 0;
};

// Over the suite's key store (HKEY_CURRENT_USER).
class TRegistryLinkholdStore : public ILinkholdStore {
public:
    TLinkholdDialPrefs ReadDialPrefs(bool withCredentials) override;
    void WritePhoneBook(const std::vector<std::string>& entries) override;
};

class TLinkhold {
public:
    enum TState : uint8_t { csConnected = 0, csDisconnected = 1, csUnknown = 2 };

    struct THooks {
        std::function<bool()> MainWindowRunning; // horolux is there
        std::function<void()> Terminate;         // end the program
        std::function<void()> HideForm;
        std::function<void()> EnableTimer;
    };

    TLinkhold(IRASBackend& backend, ILinkholdStore& store, THooks hooks);
    ~TLinkhold();
    TLinkhold(const TLinkhold&) = delete;
    TLinkhold& operator=(const TLinkhold&) = delete;

    void FormCreate();
    void CheckConnection();
    void AnswerInquiry();
    void Dial();
    void HangUp();
    void LoadPhoneBook();
    // The window's message dispatch, for the registered messages.
    void Dispatch(unsigned msg);
    // A connection has gone down.
    void WMRasConnectionGone();
    // One poll: a link that was up and has gone counts as that message, then
    // the state is checked.
    void UpdateTimerTimer();

    TState ConnectionState = csUnknown;
    bool Terminated = false;

private:
    // The enumerated links, or nothing when they cannot be examined.
    bool ReadLinks(std::vector<TRASConnection>& links);
    void NoteLinks(const std::vector<TRASConnection>& links);
    bool Listed(const std::string& entry);

    IRASBackend& Backend;
    ILinkholdStore& Store;
    THooks Hooks;
    std::set<std::string> UpLinks; // links seen connected by the last look
    // Cleared on destruction, so a dial that ends later reports to nobody.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
};
