// The connection monitor with a fake dial-up system, an in-memory store and
// the loopback transport: what is broadcast, dialled and shown.
#include "linkhold/tests/FakeRAS.h"

#include "linkhold/Linkhold.h"
#include "platform/keystore/Registry.h"
#include "timemodel/HXString.h"
#include "timemodel/HX_messages.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using Strings = std::vector<std::string>;

namespace {

class LinkholdTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterHXMessages();
        SetHXMessageTransport(&Bus);
        SetMessagePresenter(&Dialogs);
        Hooks.MainWindowRunning = [this] { return HoroluxRunning; };
        Hooks.Terminate = [this] { ++Terminations; };
        Hooks.EnableTimer = [this] { TimerOn = true; };
        Monitor.emplace(Ras, Store, Hooks);
    }
    void TearDown() override {
        Monitor.reset();
        SetMessagePresenter(nullptr);
        SetHXMessageTransport(nullptr);
    }
    // What was broadcast since the last call.
    Strings Sent() {
        Strings s = std::move(Bus.Sent);
        Bus.Sent.clear();
        return s;
    }
    Strings Shown() {
        Strings s = std::move(Dialogs.Texts);
        Dialogs.Texts.clear();
        return s;
    }

    TLoopbackHXMessageTransport Bus;
    TRecordingDialogs Dialogs;
    TFakeRAS Ras;
    TMemoryLinkholdStore Store;
    TLinkhold::THooks Hooks;
    std::optional<TLinkhold> Monitor;
    bool HoroluxRunning = true;
    bool TimerOn = false;
    int Terminations = 0;
};

const TRASConnection Up0{"ppp0", true}, Dialling0{"ppp0", false}, Up1{"ppp1", true},
    Dialling1{"ppp1", false};

} // namespace

TEST_F(LinkholdTest, StartExportsThePhoneBookReportsOnceThenOnlyChanges) {
    Ras.Entries = {"Home", "Office"};
    Monitor->FormCreate();
    EXPECT_EQ(Sent(), (Strings{"HXM_RASPhoneBookLoaded", "HXM_RASDisconnected"}));
    EXPECT_EQ(Store.Exported, Ras.Entries);
    EXPECT_TRUE(TimerOn);

    enum TAct { Tick, Inquiry, Gone };
    struct TStep {
        std::vector<TRASConnection> links;
        bool broken;
        TAct act;
        Strings sent;
        TLinkhold::TState state;
    };
    using S = TLinkhold::TState;
    const TStep steps[] = {
        {{}, false, Tick, {}, S::csDisconnected},
        {{Dialling0}, false, Tick, {}, S::csDisconnected},
        {{Up0}, false, Tick, {"HXM_RASConnected"}, S::csConnected},
        {{Up0}, false, Tick, {}, S::csConnected},
        // Any connected link counts, wherever it stands in the list.
        {{Up0, Dialling1}, false, Tick, {}, S::csConnected},
        {{Dialling1, Up0}, false, Tick, {}, S::csConnected},
        {{Up0}, false, Inquiry, {"HXM_RASConnected"}, S::csConnected},
        // A failed look is unknown and said to nobody; the recovery is.
        {{}, true, Tick, {}, S::csUnknown},
        {{}, true, Tick, {}, S::csUnknown},
        {{Up0}, false, Tick, {"HXM_RASConnected"}, S::csConnected},
        // A link that was up has gone: reported once, not again by the poll.
        {{}, false, Tick, {"HXM_RASDisconnected"}, S::csDisconnected},
        {{}, false, Gone, {}, S::csDisconnected},
        {{}, false, Inquiry, {"HXM_RASDisconnected"}, S::csDisconnected},
        // One of two links goes: the gone link first, then the one still up.
        {{Up0, Up1}, false, Tick, {"HXM_RASConnected"}, S::csConnected},
        {{Up1}, false, Tick, {"HXM_RASDisconnected", "HXM_RASConnected"}, S::csConnected},
    };
    int i = 0;
    for (const TStep& s : steps) {
        Ras.Links = s.links;
        Ras.Broken = s.broken;
        if (s.act == Tick) Monitor->UpdateTimerTimer();
        if (s.act == Inquiry) Monitor->Dispatch(HXM_RASInquiry);
        if (s.act == Gone) Monitor->WMRasConnectionGone();
        EXPECT_EQ(Sent(), s.sent) << "step " << i;
        EXPECT_EQ(Monitor->ConnectionState, s.state) << "step " << i;
        ++i;
    }
    EXPECT_EQ(Shown(), Strings{});
}

TEST_F(LinkholdTest, AReportThatCannotGoOutIsMadeOnTheNextPoll) {
    Monitor->FormCreate();
    Sent();
    Ras.Links = {Up0};
    SetHXMessageTransport(nullptr);
    Monitor->UpdateTimerTimer();
    EXPECT_EQ(Monitor->ConnectionState, TLinkhold::csDisconnected);
    SetHXMessageTransport(&Bus);
    Monitor->UpdateTimerTimer();
    EXPECT_EQ(Sent(), Strings{"HXM_RASConnected"});
}

TEST_F(LinkholdTest, WithoutHoroluxItSaysSoAndEndsWithoutExportOrReport) {
    HoroluxRunning = false;
    Ras.Entries = {"Office"};
    Monitor->FormCreate();
    EXPECT_EQ(Shown(), Strings{"E:Horolux Should Be Running..."});
    EXPECT_EQ(Terminations, 1);
    EXPECT_TRUE(Monitor->Terminated);
    EXPECT_EQ(Sent(), Strings{});
    EXPECT_EQ(Store.Exports, 0);
    EXPECT_FALSE(TimerOn);
    Monitor->Dispatch(HXM_RASDialRequest);
    EXPECT_TRUE(Ras.Calls.empty());
}

TEST_F(LinkholdTest, DialAndHangUpStartOnlyWhatIsListedAndReportFailures) {
    enum { None = -1, Bad = 0, Ok = 1 };
    struct TCase {
        const char* name;
        const char* entry;
        bool dial, connected, startFails, storeFails;
        int finish;       // how the started command ends
        const char* call; // what the dial-up system was asked, "" for nothing
        int code;         // numbered message shown, 0 for none
        const char* sent;
    };
    // clang-format off
    const TCase cases[] = {
        {"dial",                 "Office",        true,  false, false, false, Ok,   "dial Office ann pw 1", 0,  ""},
        {"dial ends badly",      "Office",        true,  false, false, false, Bad,  "dial Office ann pw 1", 50, ""},
        {"dial cannot start",    "Office",        true,  false, true,  false, None, "dial Office ann pw 1", 50, ""},
        {"dial unlisted",        "../etc/passwd", true,  false, false, false, None, "",                     50, ""},
        {"dial other case",      "office",        true,  false, false, false, None, "",                     50, ""},
        {"dial nothing chosen",  "",              true,  false, false, false, None, "",                     50, ""},
        {"dial store fails",     "Office",        true,  false, false, true,  None, "",                     50, ""},
        {"dial while connected", "Office",        true,  true,  false, false, None, "",                     0,  "HXM_RASConnected"},
        {"hang up",              "Office",        false, true,  false, false, Ok,   "hangup Office  ",      0,  ""},
        {"hang up cannot start", "Office",        false, true,  true,  false, None, "hangup Office  ",      51, ""},
        {"hang up unlisted",     "*",             false, true,  false, false, None, "",                     51, ""},
        {"hang up store fails",  "Office",        false, false, false, true,  None, "",                     51, ""},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Ras = TFakeRAS();
        Ras.Entries = {"Home", "Office"};
        // A link still dialling beside the request does not count as connected.
        Ras.Links = {c.connected ? Up0 : Dialling0};
        Ras.StartFails = c.startFails;
        Store.Prefs = {c.entry, "ann", "pw 1"};
        Store.Fails = c.storeFails;
        Monitor.emplace(Ras, Store, Hooks);
        Monitor->ConnectionState = c.connected ? TLinkhold::csConnected : TLinkhold::csDisconnected;
        const unsigned request = c.dial ? HXM_RASDialRequest : HXM_RASDisconnectRequest;
        Monitor->Dispatch(request);
        if (c.finish != None && !Ras.Running.empty()) {
            // A second request while the first still runs starts nothing more.
            if (c.dial) Monitor->Dispatch(request);
            Ras.Finish(c.finish == Ok);
        }
        Strings calls;
        for (const TFakeRAS::TCall& k : Ras.Calls)
            calls.push_back(k.What + " " + k.Entry + " " + k.UserName + " " + k.Password);
        EXPECT_EQ(calls, *c.call ? Strings{c.call} : Strings{});
        EXPECT_EQ(Shown(), c.code ? Strings{"E:" + HXErrorMessage(c.code).Text} : Strings{});
        EXPECT_EQ(Sent(), *c.sent ? Strings{c.sent} : Strings{});
    }
    EXPECT_EQ(HXErrorMessage(50).Text, "Error(50) Dial Attempt Failed");
    EXPECT_EQ(HXErrorMessage(51).Text, "Error(51) Disconnect Attempt Failed");
}

TEST_F(LinkholdTest, ADialEndingAfterTheMonitorHasGoneShowsNothing) {
    Ras.Entries = {"Office"};
    Store.Prefs = {"Office", "", ""};
    Monitor->Dispatch(HXM_RASDialRequest);
    ASSERT_EQ(Ras.Running.size(), 1u);
    Monitor.reset();
    Ras.Finish(false);
    EXPECT_EQ(Shown(), Strings{});
}

TEST_F(LinkholdTest, TerminateEndsAndNothingIsHandledAfterIt) {
    Ras.Entries = {"Office"};
    Store.Prefs = {"Office", "", ""};
    Monitor->Dispatch(HXM_LoadRASPhoneBook);
    EXPECT_EQ(Sent(), Strings{"HXM_RASPhoneBookLoaded"});
    Monitor->Dispatch(HXM_RASTerminateLINKHOLD);
    EXPECT_EQ(Terminations, 1);
    for (unsigned m : {HXM_RASDialRequest, HXM_RASInquiry, HXM_LoadRASPhoneBook})
        Monitor->Dispatch(m);
    EXPECT_TRUE(Ras.Calls.empty());
    EXPECT_EQ(Sent(), Strings{});
    // A store that cannot take the export is not reported as loaded.
    Monitor.emplace(Ras, Store, Hooks);
    Store.Fails = true;
    Monitor->Dispatch(HXM_LoadRASPhoneBook);
    EXPECT_EQ(Sent(), Strings{});
}

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/linkhold-ks-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        if (const char* old = std::getenv("HOROLUX_KEYSTORE_DIR")) Old = old;
        setenv("HOROLUX_KEYSTORE_DIR", Dir.c_str(), 1);
    }
    void TearDown() override {
        if (Old)
            setenv("HOROLUX_KEYSTORE_DIR", Old->c_str(), 1);
        else
            unsetenv("HOROLUX_KEYSTORE_DIR");
        std::filesystem::remove_all(Dir);
    }
    std::string Dir;
    std::optional<std::string> Old;
    TRegistryLinkholdStore Store;
};

} // namespace

TEST_F(RegistryStoreTest, PrefsAreReadAsStoredAndTheExportLeavesLongerOldListsStanding) {
    // Nothing stored: empty parts, and the key is there afterwards.
    const TLinkholdDialPrefs none = Store.ReadDialPrefs(true);
    EXPECT_EQ(none.Entry + none.UserName + none.Password, "");
    TRegistry reg;
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Horolux\\Prefs"));

    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Horolux\\Prefs", true));
    reg.WriteString("RASServer", "Office");
    reg.WriteString("RASUserName", "ann");
    reg.WriteString("RASPassword", ScramblePassword("pa ss\twörd"));
    reg.CloseKey();
    const TLinkholdDialPrefs p = Store.ReadDialPrefs(true);
    EXPECT_EQ(p.Entry, "Office");
    EXPECT_EQ(p.UserName, "ann");
    EXPECT_EQ(p.Password, "pa ss\twörd");
    const TLinkholdDialPrefs hang = Store.ReadDialPrefs(false);
    EXPECT_EQ(hang.Entry, "Office");
    EXPECT_EQ(hang.Password, "");

    Store.WritePhoneBook({"a", "b", "c", "d", "e"});
    Store.WritePhoneBook({"x", "y", "z"});
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Horolux\\RAS"));
    EXPECT_EQ(reg.ReadInteger("NumEntries"), 3);
    Strings values;
    for (int i = 0; i < 5; ++i)
        values.push_back(reg.ReadString("RasEntry" + std::to_string(i)));
    EXPECT_EQ(values, (Strings{"x", "y", "z", "d", "e"}));
}
