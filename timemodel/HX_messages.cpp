#include "timemodel/HX_messages.h"

#include <map>

unsigned HXM_SyncAttempt = 0;
unsigned HXM_SyncSuccess = 0;
unsigned HXM_SyncFail = 0;
unsigned HXM_TerminateTickmatch = 0;
unsigned HXM_DSTRulesChanged = 0;
unsigned HXM_RASInquiry = 0;
unsigned HXM_RASDisconnected = 0;
unsigned HXM_RASConnected = 0;
unsigned HXM_RASDialRequest = 0;
unsigned HXM_RASDisconnectRequest = 0;
unsigned HXM_RASTerminateLINKHOLD = 0;
unsigned HXM_LoadRASPhoneBook = 0;
unsigned HXM_RASPhoneBookLoaded = 0;

namespace {

constexpr unsigned kFirstRegistered = 0xC000;
constexpr unsigned kLastRegistered = 0xFFFF;
const char* const kTimeChangeName = "WM_TIMECHANGE";

std::string Fold(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

struct TMessageTable {
    std::map<std::string, unsigned> ByName; // folded name
    std::vector<std::string> Names;         // index = number - kFirstRegistered
};

TMessageTable& Table() {
    static TMessageTable table;
    return table;
}

IHXMessageTransport* gTransport = nullptr;

struct THandlers {
    std::map<int, THXMessageHandler> ByToken;
    int NextToken = 1;
};

THandlers& Handlers() {
    static THandlers handlers;
    return handlers;
}

void Dispatch(unsigned msg) {
    // Handlers may add or remove handlers while they run; one removed during
    // this dispatch is not called afterwards.
    std::vector<int> tokens;
    for (const auto& [token, handler] : Handlers().ByToken)
        tokens.push_back(token);
    for (int token : tokens) {
        auto it = Handlers().ByToken.find(token);
        if (it == Handlers().ByToken.end()) continue;
        THXMessageHandler handler = it->second; // survives its own removal
        handler(msg);
    }
}

} // namespace

unsigned RegisterWindowMessage(const std::string& name) {
    if (name.empty()) return 0;
    TMessageTable& t = Table();
    const std::string key = Fold(name);
    auto it = t.ByName.find(key);
    if (it != t.ByName.end()) return it->second;
    if (kFirstRegistered + t.Names.size() > kLastRegistered) return 0;
    const unsigned id = kFirstRegistered + static_cast<unsigned>(t.Names.size());
    t.Names.push_back(name);
    t.ByName.emplace(key, id);
    return id;
}

std::string RegisteredMessageName(unsigned msg) {
    const TMessageTable& t = Table();
    if (msg < kFirstRegistered || msg - kFirstRegistered >= t.Names.size()) return {};
    return t.Names[msg - kFirstRegistered];
}

unsigned FindRegisteredMessage(const std::string& name) {
    const TMessageTable& t = Table();
    auto it = t.ByName.find(Fold(name));
    return it == t.ByName.end() ? 0 : it->second;
}

void RegisterHXMessages() {
    unsigned* const ids[HXMessageCount] = {
        &HXM_SyncAttempt,          &HXM_SyncSuccess,          &HXM_SyncFail,
        &HXM_TerminateTickmatch,   &HXM_DSTRulesChanged,      &HXM_RASInquiry,
        &HXM_RASDisconnected,      &HXM_RASConnected,         &HXM_RASDialRequest,
        &HXM_RASDisconnectRequest, &HXM_RASTerminateLINKHOLD, &HXM_LoadRASPhoneBook,
        &HXM_RASPhoneBookLoaded,
    };
    for (int i = 0; i < HXMessageCount; ++i)
        *ids[i] = RegisterWindowMessage(HXMessageNames[i]);
}

void SetHXMessageTransport(IHXMessageTransport* transport) {
    gTransport = transport;
}
IHXMessageTransport* HXMessageTransport() {
    return gTransport;
}

long BroadcastHXMessage(unsigned msg) {
    const std::string name = RegisteredMessageName(msg);
    if (name.empty() || gTransport == nullptr) return 0;
    return gTransport->SendHXMessage(name) ? 1 : 0;
}

bool BroadcastTimeChange() {
    return gTransport != nullptr && gTransport->SendTimeChange();
}

int AddHXMessageHandler(THXMessageHandler handler) {
    THandlers& h = Handlers();
    const int token = h.NextToken++;
    h.ByToken.emplace(token, std::move(handler));
    return token;
}

void RemoveHXMessageHandler(int token) {
    Handlers().ByToken.erase(token);
}

void DispatchHXMessage(const std::string& name) {
    const unsigned msg = FindRegisteredMessage(name);
    if (msg != 0) Dispatch(msg);
}

void DispatchTimeChange() {
    Dispatch(WM_TIMECHANGE);
}

THXMessageListener::THXMessageListener(THXMessageHandler handler)
    : Token(AddHXMessageHandler(std::move(handler))) {}

THXMessageListener::~THXMessageListener() {
    RemoveHXMessageHandler(Token);
}

bool TLoopbackHXMessageTransport::SendHXMessage(const std::string& name) {
    Sent.push_back(name);
    Pending.push_back(name);
    return true;
}

bool TLoopbackHXMessageTransport::SendTimeChange() {
    Sent.push_back(kTimeChangeName);
    Pending.push_back(kTimeChangeName);
    return true;
}

void TLoopbackHXMessageTransport::Deliver() {
    for (size_t i = 0; i < Pending.size(); ++i) {
        const std::string name = Pending[i]; // Pending may grow meanwhile
        if (name == kTimeChangeName)
            DispatchTimeChange();
        else
            DispatchHXMessage(name);
    }
    Pending.clear();
}
