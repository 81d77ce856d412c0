#include "linkhold/Linkhold.h"

#include "platform/keystore/Registry.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HXString.h"
#include "timemodel/HX_messages.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kPrefsKey = "SOFTWARE\\Horolux\\Prefs";
constexpr const char* kRASKey = "SOFTWARE\\Horolux\\RAS";

bool AnyConnected(const std::vector<TRASConnection>& links) {
    return std::any_of(links.begin(), links.end(),
                       [](const TRASConnection& c) { return c.Connected; });
}

template <class F> void Quietly(F step) {
    try {
        step();
    } catch (...) {
        // A step that fails must not keep the program from its others.
    }
}

} // namespace

TLinkholdDialPrefs TRegistryLinkholdStore::ReadDialPrefs(bool withCredentials) {
    TLinkholdDialPrefs prefs;
    TRegistry reg;
    // Created when missing; a store that cannot be written is still read.
    if (!reg.OpenKey(kPrefsKey, true) && !reg.OpenKeyReadOnly(kPrefsKey)) return prefs;
    auto read = [&](const char* name) {
        return reg.ValueExists(name) ? reg.ReadString(name) : std::string();
    };
    prefs.Entry = read("RASServer");
    if (withCredentials) {
        prefs.UserName = read("RASUserName");
        // An empty value is an empty password, not the decoder's blanks.
        const std::string scrambled = read("RASPassword");
        if (!scrambled.empty()) prefs.Password = UnscramblePassword(scrambled);
    }
    reg.CloseKey();
    return prefs;
}

void TRegistryLinkholdStore::WritePhoneBook(const std::vector<std::string>& entries) {
    TRegistry reg;
    reg.LazyWrite = false;
    if (!reg.OpenKey(kRASKey, true))
        throw ERegistryException(std::string("cannot write ") + kRASKey);
    reg.WriteInteger("NumEntries", int32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i)
        reg.WriteString("RasEntry" + std::to_string(i), entries[i]);
    reg.CloseKey();
}

TLinkhold::TLinkhold(IRASBackend& backend, ILinkholdStore& store, THooks hooks)
    : Backend(backend), Store(store), Hooks(std::move(hooks)) {}

TLinkhold::~TLinkhold() {
    *Alive = false;
}

void TLinkhold::FormCreate() {
    Quietly([] { RegisterHXMessages(); });
    ConnectionState = csUnknown;
    Quietly([&] {
        if (Hooks.HideForm) Hooks.HideForm();
    });
    const bool mainWindow = Hooks.MainWindowRunning && Hooks.MainWindowRunning();
    if (!mainWindow) {
        // Nothing is exported or broadcast for a horolux that is not there.
        Quietly([] { MessageDlg("Horolux Should Be Running...", TMsgDlgType::mtError, mbOK, 0); });
        Terminated = true;
        if (Hooks.Terminate) Hooks.Terminate();
        return;
    }
    Quietly([&] { LoadPhoneBook(); });
    Quietly([&] { AnswerInquiry(); });
    Quietly([&] {
        if (Hooks.EnableTimer) Hooks.EnableTimer();
    });
}

bool TLinkhold::ReadLinks(std::vector<TRASConnection>& links) {
    try {
        links = Backend.EnumConnections();
        return true;
    } catch (...) {
        return false;
    }
}

void TLinkhold::NoteLinks(const std::vector<TRASConnection>& links) {
    UpLinks.clear();
    for (const TRASConnection& c : links)
        if (c.Connected) UpLinks.insert(c.Name);
}

bool TLinkhold::Listed(const std::string& entry) {
    if (entry.empty()) return false;
    const std::vector<std::string> book = Backend.EnumEntries();
    return std::find(book.begin(), book.end(), entry) != book.end();
}

void TLinkhold::CheckConnection() {
    std::vector<TRASConnection> links;
    TState now = csUnknown;
    if (ReadLinks(links)) {
        NoteLinks(links);
        // Connected when any link is: one still dialling beside it does not count.
        now = AnyConnected(links) ? csConnected : csDisconnected;
    }
    if (now == ConnectionState) return;
    // A report that did not go out is made again on the next poll.
    if (now == csConnected && BroadcastHXMessage(HXM_RASConnected) == 0) return;
    if (now == csDisconnected && BroadcastHXMessage(HXM_RASDisconnected) == 0) return;
    ConnectionState = now;
}

void TLinkhold::AnswerInquiry() {
    ConnectionState = csUnknown;
    CheckConnection();
}

void TLinkhold::UpdateTimerTimer() {
    std::vector<TRASConnection> links;
    if (ReadLinks(links)) {
        const bool gone = std::any_of(UpLinks.begin(), UpLinks.end(), [&](const std::string& n) {
            return std::none_of(links.begin(), links.end(), [&](const TRASConnection& c) {
                return c.Connected && c.Name == n;
            });
        });
        NoteLinks(links);
        if (gone) WMRasConnectionGone();
    }
    CheckConnection();
}

void TLinkhold::WMRasConnectionGone() {
    if (ConnectionState == csDisconnected) return;
    ConnectionState = csDisconnected;
    Quietly([] { BroadcastHXMessage(HXM_RASDisconnected); });
}

void TLinkhold::Dial() {
    try {
        const TLinkholdDialPrefs prefs = Store.ReadDialPrefs(true);
        std::vector<TRASConnection> links;
        if (ReadLinks(links) && AnyConnected(links)) {
            // Already there: the asker hears so again instead of a second dial.
            AnswerInquiry();
            return;
        }
        if (Backend.Dialling()) return;
        if (!Listed(prefs.Entry)) {
            THXMessageBoxes::ShowErrorCode(50);
            return;
        }
        const std::weak_ptr<bool> alive = Alive;
        Backend.Dial(prefs.Entry, prefs.UserName, prefs.Password, [alive](bool ok) {
            const auto a = alive.lock();
            if (!ok && a && *a) THXMessageBoxes::ShowErrorCode(50);
        });
    } catch (...) {
        THXMessageBoxes::ShowErrorCode(50);
    }
}

void TLinkhold::HangUp() {
    try {
        const TLinkholdDialPrefs prefs = Store.ReadDialPrefs(false);
        if (!Listed(prefs.Entry)) {
            THXMessageBoxes::ShowErrorCode(51);
            return;
        }
        const std::weak_ptr<bool> alive = Alive;
        Backend.HangUp(prefs.Entry, [alive](bool ok) {
            const auto a = alive.lock();
            if (!ok && a && *a) THXMessageBoxes::ShowErrorCode(51);
        });
    } catch (...) {
        THXMessageBoxes::ShowErrorCode(51);
    }
}

void TLinkhold::LoadPhoneBook() {
    try {
        Store.WritePhoneBook(Backend.EnumEntries());
    } catch (const std::exception& e) {
        // Not reported as loaded: the preferences keep the list they have.
        std::fprintf(stderr, "hxlinkhold: the phone book could not be exported: %s\n", e.what());
        return;
    }
    BroadcastHXMessage(HXM_RASPhoneBookLoaded);
}

void TLinkhold::Dispatch(unsigned msg) {
    if (Terminated || msg == 0) return;
    if (msg == HXM_RASInquiry) AnswerInquiry();
    if (msg == HXM_RASTerminateLINKHOLD) {
        Terminated = true;
        if (Hooks.Terminate) Hooks.Terminate();
        return;
    }
    if (msg == HXM_RASDialRequest) Dial();
    if (msg == HXM_RASDisconnectRequest) HangUp();
    if (msg == HXM_LoadRASPhoneBook) LoadPhoneBook();
}
